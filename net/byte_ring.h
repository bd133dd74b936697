// One direction of a connection: 8,192 bytes with a read and a write index.
// Equal indices mean empty, so a ring holds at most 8,191 bytes.
//
// The ring itself takes no lock: the session's lock guards every index. The
// script side only ever writes free bytes and the network side only ever
// reads used ones (or the other way round for the receive ring), so the
// network thread may move bytes between a piece and a socket outside the
// lock and publish the count under it.
#pragma once

#include <cstdint>

namespace qavz {

class ByteRing {
 public:
  static constexpr uint32_t kSize = 8192;
  static constexpr uint32_t kCapacity = kSize - 1;

  struct Piece {
    uint8_t* data;
    uint32_t size;
  };

  uint32_t Used() const noexcept { return (write_ - read_) & (kSize - 1); }
  uint32_t Free() const noexcept { return kCapacity - Used(); }
  void Clear() noexcept { read_ = write_ = 0; }

  // Copies min(n, Free()) bytes in at the write index; returns that count.
  uint32_t Put(const uint8_t* data, uint32_t n) noexcept;
  // Copies min(n, Used()) bytes out from the read index; returns that count.
  uint32_t Take(uint8_t* out, uint32_t n) noexcept;

  // The used bytes that follow the read index without wrapping.
  Piece UsedPiece() noexcept;
  // The free bytes that follow the write index without wrapping.
  Piece FreePiece() noexcept;
  // Marks n bytes of UsedPiece() read / n bytes of FreePiece() written.
  void Consume(uint32_t n) noexcept { read_ = (read_ + n) & (kSize - 1); }
  void Commit(uint32_t n) noexcept { write_ = (write_ + n) & (kSize - 1); }

  uint32_t ReadIndex() const noexcept { return read_; }
  uint32_t WriteIndex() const noexcept { return write_; }

 private:
  uint8_t bytes_[kSize] = {};
  uint32_t read_ = 0;
  uint32_t write_ = 0;
};

}  // namespace qavz
