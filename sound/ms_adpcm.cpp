#include "sound/ms_adpcm.h"

#include <climits>
#include <cstring>

namespace qavz {

namespace {

// How the step size adapts to each 4-bit code.
constexpr int32_t kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                     768, 614, 512, 409, 307, 230, 230, 230};
constexpr int32_t kSmallestDelta = 16;
// Hostile data must not grow the step beyond what the arithmetic holds.
constexpr int32_t kLargestDelta = INT_MAX / 768;

struct Channel {
  int32_t coef1 = 0, coef2 = 0;
  int32_t delta = 0;
  int32_t sample1 = 0, sample2 = 0;
  bool valid = false;
};

int16_t S16(const uint8_t* p) { return int16_t(uint16_t(p[0] | p[1] << 8)); }

int16_t Expand(Channel& c, int nibble) {
  if (!c.valid) return 0;
  // Integer division, truncating toward zero, as the published decoder does.
  int64_t predicted = (int64_t(c.sample1) * c.coef1 + int64_t(c.sample2) * c.coef2) / 256;
  int64_t sample = predicted + int64_t(nibble >= 8 ? nibble - 16 : nibble) * c.delta;
  if (sample > 32767) sample = 32767;
  if (sample < -32768) sample = -32768;
  c.sample2 = c.sample1;
  c.sample1 = int32_t(sample);
  c.delta = int32_t(int64_t(kAdaptation[nibble]) * c.delta / 256);
  if (c.delta < kSmallestDelta) c.delta = kSmallestDelta;
  if (c.delta > kLargestDelta) c.delta = kLargestDelta;
  return int16_t(sample);
}

}  // namespace

void DecodeAdpcmBlock(const WaveFormat& format, const uint8_t* block, int16_t* out) {
  const int channels = format.channels;
  Channel state[2];
  const uint8_t* p = block;
  for (int c = 0; c < channels; ++c) {
    uint8_t index = *p++;
    if (index < format.coef1.size()) {
      state[c].coef1 = format.coef1[index];
      state[c].coef2 = format.coef2[index];
      state[c].valid = true;
    }
  }
  for (int c = 0; c < channels; ++c, p += 2) state[c].delta = S16(p);
  for (int c = 0; c < channels; ++c, p += 2) state[c].sample1 = S16(p);
  for (int c = 0; c < channels; ++c, p += 2) state[c].sample2 = S16(p);
  // The header's second sample is the block's first.
  for (int c = 0; c < channels; ++c) {
    out[c] = state[c].valid ? int16_t(state[c].sample2) : 0;
    out[channels + c] = state[c].valid ? int16_t(state[c].sample1) : 0;
  }
  const int total = (format.samplesPerBlock - 2) * channels;
  int16_t* o = out + 2 * channels;
  for (int i = 0; i < total; ++i) {
    int nibble = (i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4);
    o[i] = Expand(state[channels == 2 ? (i & 1) : 0], nibble);
  }
}

}  // namespace qavz
