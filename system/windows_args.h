// A Windows command line split into arguments as the Windows shell splits
// it (CommandLineToArgvW): the program name first, then the arguments with
// their quotes and backslashes undone. Bytes stay bytes; a Shift-JIS
// character whose second byte is a backslash stays whole.
#pragma once

#include <string>
#include <vector>

namespace qavz {

std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace qavz
