#include "platform/process.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

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

std::string ExecutableFile() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.string();
}

std::vector<std::string> LoadedLibraries() {
  std::vector<std::string> libraries;
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    size_t slash = line.find('/');
    if (slash == std::string::npos) continue;
    std::string path = line.substr(slash);
    if (path.find(".so") == std::string::npos) continue;
    bool seen = false;
    for (const std::string& l : libraries) seen = seen || l == path;
    if (!seen) libraries.push_back(path);
  }
  return libraries;
}

}  // namespace qavz::platform
