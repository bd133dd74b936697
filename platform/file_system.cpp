#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace qavz::platform {

namespace {
Timestamp FromTimespec(const struct statx_timestamp& t) { return Timestamp{int64_t(t.tv_sec), t.tv_nsec}; }
}  // namespace

bool GetFileFacts(const std::string& hostPath, FileFacts& facts) {
  struct statx sx {};
  unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;
  if (statx(AT_FDCWD, hostPath.c_str(), 0, mask, &sx) != 0) return false;
  facts.directory = S_ISDIR(sx.stx_mode);
  facts.readOnly = (sx.stx_mode & S_IWUSR) == 0;
  facts.size = sx.stx_size;
  facts.access = FromTimespec(sx.stx_atime);
  facts.write = FromTimespec(sx.stx_mtime);
  facts.creation = (sx.stx_mask & STATX_BTIME) ? FromTimespec(sx.stx_btime) : facts.write;
  return true;
}

bool SetReadOnly(const std::string& hostPath, bool readOnly) {
  struct stat st {};
  if (stat(hostPath.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (readOnly) {
    mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return mode == (st.st_mode & 07777) || chmod(hostPath.c_str(), mode) == 0;
}

bool SetFileTimes(const std::string& hostPath, const Timestamp* access, const Timestamp* write) {
  struct timespec times[2];
  times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
  if (access) times[0] = {time_t(access->seconds), long(access->nanoseconds)};
  if (write) times[1] = {time_t(write->seconds), long(write->nanoseconds)};
  return utimensat(AT_FDCWD, hostPath.c_str(), times, 0) == 0;
}

LocalDate ToLocalDate(const Timestamp& t) {
  time_t s = time_t(t.seconds);
  struct tm tm {};
  localtime_r(&s, &tm);
  return LocalDate{uint16_t(tm.tm_year + 1900), uint16_t(tm.tm_mon + 1),
                   uint16_t(tm.tm_wday),        uint16_t(tm.tm_mday),
                   uint16_t(tm.tm_hour),        uint16_t(tm.tm_min),
                   uint16_t(tm.tm_sec),         uint16_t(t.nanoseconds / 1000000)};
}

bool FromLocalDate(const LocalDate& d, Timestamp& t) {
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 || d.minute > 59 ||
      d.second > 59 || d.millisecond > 999)
    return false;
  struct tm tm {};
  tm.tm_year = d.year - 1900;
  tm.tm_mon = d.month - 1;
  tm.tm_mday = d.day;
  tm.tm_hour = d.hour;
  tm.tm_min = d.minute;
  tm.tm_sec = d.second;
  tm.tm_isdst = -1;
  time_t s = mktime(&tm);
  if (s == time_t(-1) && !(d.year == 1969 || d.year == 1970)) return false;
  t.seconds = int64_t(s);
  t.nanoseconds = uint32_t(d.millisecond) * 1000000u;
  return true;
}

TreeWriter::~TreeWriter() {
  if (root_ >= 0) close(root_);
}

bool TreeWriter::Open(const std::string& root) {
  if (root_ >= 0) close(root_);
  root_ = open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return root_ >= 0;
}

namespace {

// Why `name` in `dir` could not be opened as asked.
TreeWriter::Result Classify(int dir, const std::string& name, bool wantFolder) {
  struct stat st;
  if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return TreeWriter::Result::kFailed;
  if (S_ISLNK(st.st_mode)) return TreeWriter::Result::kLink;
  bool fits = wantFolder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
  return fits ? TreeWriter::Result::kFailed : TreeWriter::Result::kNotPlain;
}

// Opens `name` in `dir` for writing as a plain file of its own, or -1 with
// `result` set.
int OpenPlainFile(int dir, const std::string& name, TreeWriter::Result& result) {
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int fd = openat(dir, name.c_str(), flags, 0666);
  if (fd < 0) {
    result = Classify(dir, name, false);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    result = TreeWriter::Result::kNotPlain;
    return -1;
  }
  if (st.st_nlink > 1) {  // shared with another name: leave that one alone
    close(fd);
    if (unlinkat(dir, name.c_str(), 0) != 0 || (fd = openat(dir, name.c_str(), flags | O_EXCL, 0666)) < 0) {
      result = TreeWriter::Result::kFailed;
      return -1;
    }
  }
  if (ftruncate(fd, 0) != 0) {
    close(fd);
    result = TreeWriter::Result::kFailed;
    return -1;
  }
  return fd;
}

}  // namespace

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

TreeWriter::Result TreeWriter::Write(const std::vector<std::string>& parts, const void* data, size_t size,
                                     size_t& at) {
  at = 0;
  if (root_ < 0 || parts.empty()) return Result::kFailed;
  int dir = dup(root_);
  if (dir < 0) return Result::kFailed;
  for (; at + 1 < parts.size(); ++at) {
    const char* name = parts[at].c_str();
    if (mkdirat(dir, name, 0777) != 0 && errno != EEXIST) {
      close(dir);
      return Result::kFailed;
    }
    int next = openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    Result why = next < 0 ? Classify(dir, parts[at], true) : Result::kWritten;
    close(dir);
    if (next < 0) return why;
    dir = next;
  }
  Result result = Result::kWritten;
  int fd = OpenPlainFile(dir, parts[at], result);
  close(dir);
  if (fd < 0) return result;
  bool ok = WriteAll(fd, static_cast<const uint8_t*>(data), size);
  ok = close(fd) == 0 && ok;
  return ok ? Result::kWritten : Result::kFailed;
}

std::FILE* OpenRegularFile(const std::string& hostPath) {
  int fd = open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = fdopen(fd, "rb");
  if (!f) close(fd);
  return f;
}

bool CanWriteFolder(const std::string& hostPath) {
  return access(hostPath.empty() ? "." : hostPath.c_str(), W_OK | X_OK) == 0;
}

}  // namespace qavz::platform
