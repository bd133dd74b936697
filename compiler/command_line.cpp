#include "compiler/command_line.h"

#include "compiler/compiler.h"

namespace qavz {

int RunCheckCommand(const std::string& path) {
  return CheckSourceFile(path.c_str(), false, false, CompileMessages::kStderr) ? 0 : 1;
}

int RunListingCommand(const std::string& path, bool echo) {
  return CheckSourceFile(path.c_str(), true, echo, CompileMessages::kStderr) ? 0 : 1;
}

}  // namespace qavz
