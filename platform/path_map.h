// Windows paths in titles find Linux files.
#pragma once

#include <cstdint>
#include <string>

namespace qavz::platform {

// Turns backslashes into slashes and, where the exact name does not exist,
// resolves "." and ".." against the names before them (as Windows does) and
// matches each component without regard to ASCII letter case. Returns the
// host path to open or create (a missing last component keeps its spelling
// so the file can be created). Relative paths stay relative to the current
// directory. Bytes stay bytes (Shift-JIS names are matched as they are).
// The work is linear in the number of components.
std::string MapPath(const std::string& windowsPath);

// Folders MapPath has listed so far, for tests of its bound.
uint64_t PathMapListings();

}  // namespace qavz::platform
