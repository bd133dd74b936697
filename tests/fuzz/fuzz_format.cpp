// Random formats and argument words through the formatter and sprintf.
// Input: format bytes, a zero byte, then argument words. Words whose low two
// bits are 01 become addresses inside a live string, so %s reads real text
// as well as wild addresses.
#include <cstdint>
#include <cstring>

#include "vm/formatter.h"
#include "vm/native_table.h"

using namespace qavz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  static Addr block = TheArena().Alloc(4 * 4096);  // format | words | text | destination at the end
  Arena& arena = TheArena();
  uint8_t* host = arena.Span(block, 4 * 4096);
  std::memset(host, 0, 4 * 4096);
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  size_t formatLen = zero ? size_t(zero - data) : size;
  std::memcpy(host, data, formatLen);
  Addr text = block + 3 * 4096 - 64;
  static const char kText[] = "some text \x82\xA0\x82\xA2 and more";
  std::memcpy(host + 3 * 4096 - 64, kText, sizeof kText);

  Addr args = block + 8192;  // [dst, format, words...]
  arena.Write<uint32_t>(args, block + 4 * 4096 - 40);
  arena.Write<uint32_t>(args + 4, block);
  size_t words = zero ? (size - formatLen - 1) / 4 : 0;
  if (words > 500) words = 500;
  for (size_t i = 0; i < words; ++i) {
    uint32_t w;
    std::memcpy(&w, zero + 1 + 4 * i, 4);
    if ((w & 3) == 1) w = text + (w >> 2) % 40;
    arena.Write<uint32_t>(args + 8 + 4 * uint32_t(i), w);
  }
  std::string out = FormatScriptText(block, args + 8);
  if (out.size() > kMaxFormatted) __builtin_trap();
  Native_sprintf(args);
  return 0;
}
