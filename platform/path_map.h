// Windows paths in titles find Linux files.
#pragma once

#include <string>

namespace qavz::platform {

// Turns backslashes into slashes and, where the exact name does not exist,
// matches each component without regard to ASCII letter case. Returns the
// host path to open or create (a missing last component keeps its spelling
// so the file can be created). Relative paths stay relative to the current
// directory. Bytes stay bytes (Shift-JIS names are matched as they are).
std::string MapPath(const std::string& windowsPath);

}  // namespace qavz::platform
