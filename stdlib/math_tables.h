// The fixed-point sine and arctangent tables, built once at start-up.
#pragma once

#include <cstdint>

namespace qavz {

constexpr int kSineEntries = 2560;   // 2048 per turn plus a quarter for cosine
constexpr int kArctanEntries = 257;  // atan(i / 256) in 1/2048 turns

// The tables, built on first use when start-up has not built them yet.
const int32_t* SineTable() noexcept;
const int32_t* ArctanTable() noexcept;

}  // namespace qavz
