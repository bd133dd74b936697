// Archive directories from untrusted bytes: the header check and the member
// lookup must refuse or find, never read outside the image.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/pack_archive.h"

using namespace qavz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kPackHeaderSize) return 0;
  int32_t count = 0;
  if (!ReadPackHeader(data, size, count)) return 0;
  // Copy the directory exactly, so reading one byte past it is caught.
  std::vector<uint8_t> entries(data + kPackHeaderSize,
                               data + kPackHeaderSize + size_t(count) * kPackEntrySize);
  std::vector<std::string> names = {"a", "bg\\title.bmp", "ZZ", "-", std::string(31, 'x')};
  if (count > 0) names.emplace_back(PackEntryName(entries.data()));
  if (size > 16) names.emplace_back(reinterpret_cast<const char*>(data + size - 16), 16);
  for (const std::string& name : names) {
    PackMember m{};
    PackLookup r = FindPackMember(entries.data(), count, size, name, m);
    if (r == PackLookup::kFound && uint64_t(m.offset) + m.size > size) __builtin_trap();
  }
  // The order must be antisymmetric on whatever names the image holds.
  for (int32_t i = 0; i + 1 < count && i < 64; ++i) {
    std::string_view a = PackEntryName(&entries[size_t(i) * kPackEntrySize]);
    std::string_view b = PackEntryName(&entries[size_t(i + 1) * kPackEntrySize]);
    int ab = PackNameCompare(a, b), ba = PackNameCompare(b, a);
    if ((ab < 0) != (ba > 0) || (ab == 0) != (ba == 0) || (ab == 0) != PackNameEqual(a, b)) __builtin_trap();
  }
  return 0;
}
