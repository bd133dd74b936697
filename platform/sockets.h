// Nonblocking TCP sockets for the network subsystem.
//
// The session logic above sees sockets only through SocketApi, so tests and
// the fuzzer can put a scripted fake in place of the system's sockets. Every
// call returns at once: sockets are nonblocking, and a call that would have
// to wait fails with kWouldBlock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavz::platform {

using SocketId = int32_t;
constexpr SocketId kNoSocket = -1;

// Why a socket call failed, named after the condition.
enum class SocketError : uint8_t {
  kNone,
  kInterrupted,
  kBadHandle,
  kAccess,
  kFault,
  kInvalid,
  kTooManyFiles,
  kWouldBlock,
  kInProgress,
  kAlready,
  kNotSocket,
  kDestinationRequired,
  kMessageSize,
  kProtocolType,
  kProtocolOption,
  kProtocolNotSupported,
  kSocketTypeNotSupported,
  kOperationNotSupported,
  kProtocolFamilyNotSupported,
  kAddressFamilyNotSupported,
  kAddressInUse,
  kAddressNotAvailable,
  kNetworkDown,
  kNetworkUnreachable,
  kNetworkReset,
  kConnectionAborted,
  kConnectionReset,
  kNoBuffers,
  kIsConnected,
  kNotConnected,
  kShutDown,
  kTooManyReferences,
  kTimedOut,
  kConnectionRefused,
  kLoop,
  kNameTooLong,
  kHostDown,
  kHostUnreachable,
  kNotEmpty,
  kProcessLimit,
  kUsers,
  kQuota,
  kStale,
  kRemote,
  // Name lookup.
  kHostNotFound,
  kTryAgain,
  kNoRecovery,
  kNoData,
  kOther,
};

// An IPv4 or IPv6 address with a port.
struct SocketAddress {
  uint8_t family = 0;  // 4 or 6
  uint8_t bytes[16] = {};
  uint16_t port = 0;
  uint32_t scope = 0;  // IPv6 interface index
};

class SocketApi {
 public:
  virtual ~SocketApi() = default;

  // A listening socket on every local address at `port` (IPv6 and IPv4
  // both where the system has IPv6), address reuse on, backlog 5.
  virtual SocketId Listen(uint16_t port, SocketError* error) = 0;
  // A connection waiting on `listener`, or kNoSocket (kWouldBlock when none).
  virtual SocketId Accept(SocketId listener, SocketAddress* peer, SocketError* error) = 0;
  // Linger on with a time of 0: closing resets the connection at once.
  virtual bool SetLingerZero(SocketId socket, SocketError* error) = 0;
  // Starts connecting to `to`. The socket may still be connecting: see
  // ConnectResult.
  virtual SocketId Connect(const SocketAddress& to, SocketError* error) = 0;
  // Waits up to `waitMs` for a connection started by Connect: kNone once
  // connected, kInProgress while it is still under way, else why it failed.
  virtual SocketError ConnectResult(SocketId socket, int32_t waitMs) = 0;
  // Bytes sent (possibly fewer than `size`), or -1 with the error.
  virtual int32_t Send(SocketId socket, const uint8_t* data, int32_t size, SocketError* error) = 0;
  // Bytes received, 0 when the peer has closed, or -1 with the error.
  virtual int32_t Receive(SocketId socket, uint8_t* data, int32_t size, SocketError* error) = 0;
  // Waits up to `waitMs` until one of `count` sockets is readable (data, a
  // waiting connection, the peer's close or an error) and sets `ready[i]`
  // for each; returns how many, 0 on time-out, -1 on failure.
  virtual int32_t WaitReadable(const SocketId* sockets, bool* ready, int32_t count, int32_t waitMs,
                               SocketError* error) = 0;
  virtual void Close(SocketId socket) = 0;

  // A numeric address: IPv4 in the forms inet_addr takes ("127.0.0.1",
  // "127.1", "0x7f.0.0.1"), else IPv6 ("::1", "fe80::1%lo").
  virtual bool ParseAddress(const std::string& text, SocketAddress* out) = 0;
  // Looks a host name up: its IPv4 addresses first, then IPv6. May take as
  // long as the name service does.
  virtual bool Resolve(const std::string& name, std::vector<SocketAddress>* out, SocketError* error) = 0;
  // Dotted IPv4 (also for an IPv4 address carried in IPv6) or IPv6 text.
  virtual std::string AddressText(const SocketAddress& address) = 0;
};

// The system's sockets.
SocketApi& SystemSockets();

}  // namespace qavz::platform
