// The fixed-point sine and arctangent tables, built once at start-up and
// shared by the arithmetic natives and by rotation in drawing and effects:
// sine[i] = sin(i * 2 pi / 2048) * 65536 truncated (cosine at i + 512),
// arctan[i] = atan(i / 256) * 1024 / pi truncated.
#pragma once

#include <cstdint>

namespace qavz {

constexpr int kSineEntries = 2560;   // 2048 per turn plus a quarter for cosine
constexpr int kArctanEntries = 257;  // atan(i / 256) in 1/2048 turns

// Device start-up step 1 and exit step 11. A failed allocation leaves both
// unbuilt.
void BuildMathTables();
void FreeMathTables();

// The tables, built on first use when start-up has not built them yet.
const int32_t* SineTable() noexcept;
const int32_t* ArctanTable() noexcept;

}  // namespace qavz
