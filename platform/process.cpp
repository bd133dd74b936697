#include "platform/process.h"

#include <fcntl.h>
#include <sys/stat.h>
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

namespace {

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat old;
  fchmod(fd, stat(path.c_str(), &old) == 0 ? old.st_mode & 07777 : 0644);
  bool ok = WriteAll(fd, bytes) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  std::string dir = fs::path(path).parent_path().string();
  int dirFd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

void ExitNow(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(status);
}

}  // namespace qavz::platform
