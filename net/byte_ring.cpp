#include "net/byte_ring.h"

#include <algorithm>
#include <cstring>

namespace qavz {

uint32_t ByteRing::Put(const uint8_t* data, uint32_t n) noexcept {
  n = std::min(n, Free());
  if (n == 0) return 0;
  uint32_t first = std::min(n, kSize - write_);
  std::memcpy(bytes_ + write_, data, first);
  std::memcpy(bytes_, data + first, n - first);
  Commit(n);
  return n;
}

uint32_t ByteRing::Take(uint8_t* out, uint32_t n) noexcept {
  n = std::min(n, Used());
  if (n == 0) return 0;
  uint32_t first = std::min(n, kSize - read_);
  std::memcpy(out, bytes_ + read_, first);
  std::memcpy(out + first, bytes_, n - first);
  Consume(n);
  return n;
}

ByteRing::Piece ByteRing::UsedPiece() noexcept {
  uint32_t end = write_ >= read_ ? write_ : kSize;
  return Piece{bytes_ + read_, end - read_};
}

// The byte just before the read index stays free, so a full ring never looks
// empty.
ByteRing::Piece ByteRing::FreePiece() noexcept {
  uint32_t stop = (read_ + kSize - 1) & (kSize - 1);
  uint32_t end = stop >= write_ ? stop : kSize;
  return Piece{bytes_ + write_, end - write_};
}

}  // namespace qavz
