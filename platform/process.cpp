#include "platform/process.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace qavz::platform {

namespace fs = std::filesystem;

std::string PathAsStarted(const char* argv0) {
  if (!argv0 || !*argv0) return {};
  std::string name = argv0;
  std::error_code error;
  if (name.find('/') != std::string::npos) return fs::absolute(name, error).lexically_normal().string();
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0)
      return fs::absolute(candidate, error).lexically_normal().string();
    start = end + 1;
  }
  return {};
}

void ExitNow(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(status);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace qavz::platform
