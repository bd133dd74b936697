// `qavz check FILE.c` and `qavz listing [--echo] FILE.c`.
#pragma once

#include <string>

namespace qavz {

// Runs the sizing pass as the dropped-file check does; messages on standard
// error in UTF-8. Returns the exit status: 0 compiled, 1 failed.
int RunCheckCommand(const std::string& path);

// The same check with the listing switch on: writes "<base name>.txt" in the
// current directory, with the source lines when `echo` is set.
int RunListingCommand(const std::string& path, bool echo);

}  // namespace qavz
