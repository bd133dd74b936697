#include "sound/riff_wave.h"

#include <cstring>

namespace qavz {

namespace {

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct Chunk {
  size_t start = 0;  // first byte of the chunk's data
  size_t size = 0;   // its declared size, cut at `end` of the parent
};

// Looks for chunk `id` among the chunks from `at` to `end`, each padded to
// an even size, as a descend into the parent does. With `form` the chunk
// must be a "RIFF" list of that form type. False when none is found or a
// header does not fit.
bool FindChunk(const uint8_t* bytes, size_t at, size_t end, const char* id, const char* form, Chunk& out) {
  while (at <= end && end - at >= 8) {
    const uint8_t* header = bytes + at;
    uint64_t declared = U32(header + 4);
    size_t start = at + 8;
    size_t size = size_t(declared < end - start ? declared : end - start);
    if (std::memcmp(header, id, 4) == 0 &&
        (!form || (size >= 4 && std::memcmp(bytes + start, form, 4) == 0))) {
      out = Chunk{start, size};
      return true;
    }
    uint64_t next = uint64_t(start) + declared + (declared & 1);
    if (next > end) return false;
    at = size_t(next);
  }
  return false;
}

bool ReadAdpcm(const uint8_t* fmt, size_t size, WaveFormat& f) {
  if (size < 22) return false;
  f.samplesPerBlock = U16(fmt + 18);
  uint16_t count = U16(fmt + 20);
  if (count == 0 || size - 22 < size_t(count) * 4) return false;
  for (uint16_t i = 0; i < count; ++i) {
    f.coef1.push_back(int16_t(U16(fmt + 22 + 4 * i)));
    f.coef2.push_back(int16_t(U16(fmt + 24 + 4 * i)));
  }
  // A block holds a 7-byte header per channel and then two samples a byte.
  if (f.channels < 1 || f.channels > 2 || f.blockAlign < 7 * f.channels) return false;
  size_t capacity = 2 + size_t(f.blockAlign - 7 * f.channels) * 2 / f.channels;
  return f.samplesPerBlock >= 2 && f.samplesPerBlock <= capacity;
}

}  // namespace

bool ParseWave(const uint8_t* bytes, size_t size, WaveFile& out) {
  Chunk riff, fmt, data;
  if (!bytes || !FindChunk(bytes, 0, size, "RIFF", "WAVE", riff)) return false;
  size_t formEnd = riff.start + riff.size;
  if (!FindChunk(bytes, riff.start + 4, formEnd, "fmt ", nullptr, fmt) || fmt.size < 16) return false;
  const uint8_t* p = bytes + fmt.start;
  WaveFormat f;
  f.formatTag = U16(p);
  f.channels = U16(p + 2);
  f.samplesPerSec = U32(p + 4);
  f.avgBytesPerSec = U32(p + 8);
  f.blockAlign = U16(p + 12);
  f.bitsPerSample = U16(p + 14);
  if (f.formatTag == kWaveFormatAdpcm) {
    if (!ReadAdpcm(p, fmt.size, f)) return false;
  } else if (f.formatTag != kWaveFormatPcm) {
    return false;
  }
  // The search for the data goes on after the format chunk.
  uint64_t afterFmt = uint64_t(fmt.start) + fmt.size + (fmt.size & 1);
  if (afterFmt > formEnd || !FindChunk(bytes, size_t(afterFmt), formEnd, "data", nullptr, data)) return false;
  out.format = std::move(f);
  out.dataOffset = data.start;
  out.dataLength = data.size;
  return true;
}

}  // namespace qavz
