// Finding the server's addresses for a client.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace qavz {

enum class Lookup { kFound, kNotFound, kAbandoned };

// The addresses of `host`: itself when it is a numeric IPv4 or IPv6
// address, else what the name service gives, IPv4 first. The name service
// is asked on a helper thread and `keepGoing` is checked every poll while
// it answers, so ending the session never waits for a slow lookup (the
// helper finishes on its own). `api` must outlive the helper.
Lookup LookUpHost(platform::SocketApi& api, const std::string& host,
                  std::vector<platform::SocketAddress>* out, const std::atomic<bool>& keepGoing);

}  // namespace qavz
