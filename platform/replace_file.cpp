#include "platform/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/file_system.h"

namespace qavz::platform {

namespace {

constexpr char kMarker[] = ".qavz-tmp.";
constexpr size_t kMarkerSize = sizeof kMarker - 1;
constexpr size_t kRandomSize = 6;  // mkstemp's XXXXXX
// Room left for the target's own name within one directory entry.
constexpr size_t kNameRoom = NAME_MAX - kMarkerSize - kRandomSize;

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The part of a temporary name before its random characters.
std::string TempPrefix(const std::string& targetName) { return targetName.substr(0, kNameRoom) + kMarker; }

bool IsRandomChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Permission bits of a new file: what fopen would give under this umask.
mode_t NewFileMode() {
  static const mode_t mask = [] {
    mode_t m = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
      char line[128];
      unsigned value;
      while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "Umask: %o", &value) == 1) m = mode_t(value);
      std::fclose(f);
    }
    return m;
  }();
  return 0666 & ~mask;
}

void SyncDirectory(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Removes `name` in `dirFd` when it is a plain file that no writer locks.
bool RemoveIfStale(int dirFd, const char* name) {
  struct stat before;
  if (fstatat(dirFd, name, &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode)) return false;
  int fd = openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool removed = false;
  struct stat held, now;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 &&
      fstatat(dirFd, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == held.st_ino &&
      now.st_dev == held.st_dev)
    removed = unlinkat(dirFd, name, 0) == 0;
  close(fd);
  return removed;
}

}  // namespace

bool FileReplacement::Begin(const std::string& path) {
  Abandon();
  failed_ = false;
  target_ = path;
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
  }
  std::string dir = DirectoryOf(target_), name = NameOf(target_);
  if (name.empty()) return false;
  RemoveStaleReplacements(dir, name);
  std::string base = (target_.find('/') == std::string::npos ? "" : dir + "/") + TempPrefix(name);
  // A cleaner of another run may take a file between its creation and our
  // lock; one that was removed so is replaced by a fresh one.
  for (int attempt = 0; attempt < 4 && fd_ < 0; ++attempt) {
    temp_ = base + "XXXXXX";
    int fd = mkostemp(temp_.data(), O_CLOEXEC);
    if (fd < 0) return false;
    struct stat own;
    if (flock(fd, LOCK_EX) == 0 && fstat(fd, &own) == 0 && own.st_nlink > 0) {
      fd_ = fd;
    } else {
      close(fd);
    }
  }
  if (fd_ < 0) return false;
  fchmod(fd_, stat(target_.c_str(), &st) == 0 ? st.st_mode & 07777 : NewFileMode());
  return true;
}

bool FileReplacement::Write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return false;
  if (!WriteAll(fd_, static_cast<const uint8_t*>(data), size)) failed_ = true;
  return !failed_;
}

bool FileReplacement::Commit() {
  if (fd_ < 0) return false;
  // The data reaches the disk before the name does; the lock is held until
  // the temporary name is gone.
  bool ok = !failed_ && fsync(fd_) == 0 && rename(temp_.c_str(), target_.c_str()) == 0;
  if (!ok) unlink(temp_.c_str());
  ok = close(fd_) == 0 && ok;
  fd_ = -1;
  if (ok) SyncDirectory(DirectoryOf(target_));
  return ok;
}

void FileReplacement::Abandon() {
  if (fd_ < 0) return;
  unlink(temp_.c_str());
  close(fd_);
  fd_ = -1;
}

bool ReplaceFile(const std::string& path, const void* data, size_t size) {
  FileReplacement file;
  return file.Begin(path) && file.Write(data, size) && file.Commit();
}

bool ReplaceFile(const std::string& path, const std::string& bytes) {
  return ReplaceFile(path, bytes.data(), bytes.size());
}

bool IsReplacementName(const std::string& name) {
  if (name.size() < 1 + kMarkerSize + kRandomSize) return false;
  size_t at = name.size() - kRandomSize - kMarkerSize;
  if (name.compare(at, kMarkerSize, kMarker) != 0) return false;
  for (size_t i = name.size() - kRandomSize; i < name.size(); ++i)
    if (!IsRandomChar(name[i])) return false;
  return true;
}

int RemoveStaleReplacements(const std::string& dir, const std::string& target) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return 0;
  std::string prefix = target.empty() ? "" : TempPrefix(target);
  std::vector<std::string> stale;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (IsReplacementName(name) && (prefix.empty() || (name.size() == prefix.size() + kRandomSize &&
                                                       name.compare(0, prefix.size(), prefix) == 0)))
      stale.push_back(name);
  }
  int removed = 0;
  for (const std::string& name : stale) removed += RemoveIfStale(dirfd(d), name.c_str()) ? 1 : 0;
  closedir(d);
  return removed;
}

}  // namespace qavz::platform
