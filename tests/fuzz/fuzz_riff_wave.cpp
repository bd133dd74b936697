// Wave files from untrusted bytes: a file either fails to open or decodes
// its whole length (PCM or Microsoft ADPCM) without reading outside itself,
// from the start and from any loop point, and never allocates more than
// its blocks decode to.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sound/sound_source.h"

using namespace qavz;

namespace {
// Decoding stops here: a small file may still declare a long sound.
constexpr uint64_t kMostDecoded = 8u << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Ogg has its own target; here every file goes to the wave reader.
  std::vector<uint8_t> bytes(data, data + size);
  if (size >= 4 && std::memcmp(data, "OggS", 4) == 0) bytes[0] = 'X';
  SoundSource source;
  if (!source.OpenBytes(std::move(bytes))) return 0;
  platform::PcmFormat format;
  source.Format(format);
  const uint64_t length = source.DecodedLength();
  // ADPCM decodes four bits to sixteen: a sound is never more than about
  // four times its file.
  if (length > uint64_t(size) * 4 + 65536) __builtin_trap();
  std::vector<uint8_t> out(65536);
  uint64_t done = 0;
  while (done < length && done < kMostDecoded) {
    size_t n = source.Deliver(out.data(), out.size());
    if (n == 0) break;
    done += n;
  }
  // Past the end everything is silence.
  source.Deliver(out.data(), 16);
  const uint32_t frame = source.FrameBytes();
  if (frame > 0 && length > 0) {
    uint64_t point = (uint64_t(size) * 7919 % length) / frame * frame;
    source.GoTo(point);
    source.Deliver(out.data(), out.size());
  }
  return 0;
}
