// Lead bytes of code page 932 (Shift-JIS): the one fact about the encoding
// that every layer walking script text needs.
#pragma once

#include <array>
#include <cstdint>

namespace qavz {

// Lead bytes of code page 932: 0x81..0x9F and 0xE0..0xFC.
constexpr std::array<bool, 256> kLeadByte = [] {
  std::array<bool, 256> t{};
  for (int b = 0x81; b <= 0x9F; ++b) t[b] = true;
  for (int b = 0xE0; b <= 0xFC; ++b) t[b] = true;
  return t;
}();
inline bool IsLeadByte(uint8_t b) noexcept { return kLeadByte[b]; }

}  // namespace qavz
