// Extension libraries: the table of 256 loaded libraries that scripts number
// 0 .. 255, the functions found in them, and the host record handed to each
// library (include/qavz_extension.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavz {

constexpr int kDllSlots = 256;

// The files a script's library path may stand for, in the order tried: the
// Windows name with ".dll" as lib<name>.so, <name>.so and itself, beside the
// title (a path with a folder only there); a bare name also on the system's
// library path. Each is a host path with a folder, or a bare name for the
// system's search. Paths that leave the title's folder are dropped.
std::vector<std::string> LibraryCandidates(const std::string& windowsPath);

// Functions handed to scripts are numbers, not host addresses: this many at
// most, each valid until its library is unloaded.
constexpr int kMaxFunctions = 65536;
constexpr int32_t kFunctionBase = 0x40000000;

}  // namespace qavz
