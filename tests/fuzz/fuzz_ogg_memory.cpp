// Ogg Vorbis from untrusted bytes through the memory callbacks: the
// callbacks keep the cursor inside the block whatever the decoder asks, and
// a stream decodes, seeks and ends without reading outside it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/ogg_vorbis.h"
#include "sound/ogg_memory.h"
#include "sound/sound_source.h"

using namespace qavz;

namespace {

constexpr size_t kMostDecoded = 4u << 20;

// The callbacks alone, driven by the input's own bytes as operations.
void DriveCallbacks(const uint8_t* data, size_t size) {
  OggMemory m{data, size, 0};
  const platform::OggCallbacks& cb = kOggMemoryCallbacks;
  uint8_t buffer[256];
  std::vector<uint8_t> whole(size + 1);  // room for all that is left
  for (size_t i = 0; i + 9 <= size && i < 512; i += 9) {
    int64_t offset;
    std::memcpy(&offset, data + i + 1, 8);
    switch (data[i] % 4) {
      case 0:
        cb.read(buffer, 1 + data[i] % 7, size_t(offset & 0x1F), &m);  // at most 217 bytes
        break;
      case 1:
        cb.seek(&m, offset % int64_t(size + 3), data[i] / 4 % 4);
        break;
      case 2:
        cb.tell(&m);
        break;
      default:
        cb.read(whole.data(), size_t(offset) | 1, 2, &m);  // a size x count that may overflow
        break;
    }
    if (m.cursor > m.length) __builtin_trap();
  }
  OggMemory gone;
  if (cb.close(&gone) != -1 || cb.tell(&gone) != -1 || cb.read(buffer, 1, 1, &gone) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DriveCallbacks(data, size);
  std::vector<uint8_t> bytes(data, data + size);
  if (size >= 4) std::memcpy(bytes.data(), "OggS", 4);
  SoundSource source;
  if (!source.OpenBytes(std::move(bytes))) return 0;
  platform::PcmFormat format;
  source.Format(format);
  std::vector<uint8_t> out(32768);
  size_t done = 0;
  while (done < kMostDecoded) {
    size_t n = source.Deliver(out.data(), out.size());
    done += out.size();
    if (n < out.size()) break;
  }
  source.GoTo(source.DecodedLength() / 2);
  source.Deliver(out.data(), out.size());
  source.Rewind();
  source.Deliver(out.data(), out.size());
  return 0;
}
