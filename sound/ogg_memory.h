// The Ogg decoder reads a file that is already in memory through these four
// callbacks. Every move is checked against the block, so a hostile stream
// cannot make the decoder read outside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ogg_vorbis.h"

namespace qavz {

struct OggMemory {
  const uint8_t* data = nullptr;  // null once the block is gone
  size_t length = 0;
  size_t cursor = 0;
};

// read: copies the smaller of size x count and the bytes left, advances,
// gives the bytes copied divided by size. seek: origin 0 needs
// 0 <= offset <= length, origin 1 a new cursor inside the block (ends
// included), origin 2 offset <= 0 and -offset <= length; 0 on success, -1
// (cursor unchanged) otherwise. close: 0 while the block exists, else -1.
// tell: the cursor, or -1 without a block.
extern const platform::OggCallbacks kOggMemoryCallbacks;

}  // namespace qavz
