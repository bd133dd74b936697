// Compressed files from untrusted bytes: decoding refuses or stays inside the
// declared length; any bytes compress and expand back to themselves.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/lzw.h"

using namespace qavz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  uint32_t declared = 0;
  if (ExpandFromMemory(data, size, out, &declared) && out.size() > declared) __builtin_trap();

  std::vector<uint8_t> packed, back;
  if (size == 0) return 0;
  if (!CompressToMemory(data, uint32_t(size), packed)) __builtin_trap();
  if (!ExpandFromMemory(packed.data(), packed.size(), back, &declared)) __builtin_trap();
  if (declared != size || back.size() != size || !std::equal(back.begin(), back.end(), data))
    __builtin_trap();
  return 0;
}
