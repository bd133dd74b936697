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
// Each component is matched by its exact name first, then in another letter
// case, then as the same text in the other encoding (a Shift-JIS name whose
// file on disk is named in UTF-8, as most archive tools unpack Japanese names
// on Linux, or a UTF-8 name whose file has raw code page 932 bytes).
std::string MapPath(const std::string& windowsPath);

// How the path MapPath gives was found: the worst match of its components.
enum class PathMatch { kExact, kCase, kEncoding, kMissing };
std::string MapPath(const std::string& windowsPath, PathMatch& match);

// Folders MapPath has listed so far, for tests of its bound.
uint64_t PathMapListings();

}  // namespace qavz::platform
