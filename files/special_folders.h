// Where the folders a Windows title asks for live on Linux.
//
// The "Windows directory" and "system directory" are folders of the
// runtime's own under the user's data directory ($XDG_DATA_HOME/qavz/windows
// and .../windows/system32, created when first asked for); shell special
// folders are their XDG counterparts.
#pragma once

#include <string>

namespace qavz {

// Host paths without a trailing separator; empty when unknown.
std::string WindowsDirectory();
std::string SystemDirectory();
// A shell special-folder identifier (creation flags in the high bits are
// ignored); empty for identifiers without a counterpart.
std::string SpecialFolder(int identifier);

// A host path written the Windows way ('\' between parts) that the path
// mapping takes back to the same place.
std::string TitleStylePath(const std::string& hostPath);

// `directory` (title style or host), a '\' unless it already ends with '\'
// or '/', then `name`.
std::string JoinTitlePath(const std::string& directory, const std::string& name);

}  // namespace qavz
