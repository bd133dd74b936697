// File facts the standard library does not give: birth time, permissions as
// a read-only flag, setting access and write times, and local calendar time;
// and writing below a folder without following symbolic links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qavz::platform {

struct Timestamp {
  int64_t seconds = 0;  // since 1970-01-01 UTC
  uint32_t nanoseconds = 0;
};

struct FileFacts {
  bool directory = false;
  bool readOnly = false;  // no write permission for the owner
  uint64_t size = 0;
  Timestamp creation;  // birth time, or the write time where the file system has none
  Timestamp access;
  Timestamp write;
};

// False when the path does not exist or cannot be examined.
bool GetFileFacts(const std::string& hostPath, FileFacts& facts);

// Opens a regular file for binary reading; null for anything else. A FIFO or
// device is refused without waiting for a writer, so a data file can never
// block the thread that opens it.
std::FILE* OpenRegularFile(const std::string& hostPath);

// Writes all `size` bytes to a descriptor, retrying short and interrupted
// writes; false on an error.
bool WriteAll(int fd, const uint8_t* data, size_t size);
// Adds or removes write permission (the owner's, and group/other's only
// where the owner had it). False on failure.
bool SetReadOnly(const std::string& hostPath, bool readOnly);
// Sets the times given (nullptr keeps one). False on failure.
bool SetFileTimes(const std::string& hostPath, const Timestamp* access, const Timestamp* write);

// True when files can be made in the folder (permissions and a writable
// file system).
bool CanWriteFolder(const std::string& hostPath);

// Broken-down local time, Windows order of fields.
struct LocalDate {
  uint16_t year, month, dayOfWeek, day, hour, minute, second, millisecond;
};
LocalDate ToLocalDate(const Timestamp& t);
// False for a date the calendar cannot represent.
bool FromLocalDate(const LocalDate& d, Timestamp& t);

// Writes files below one folder, never through a symbolic link inside it:
// each folder on the way is opened relative to the one above it and files
// are opened with O_NOFOLLOW, so a link planted in the tree (file.txt ->
// ../outside/target.txt) is refused instead of written through. An existing
// file with other hard links is replaced rather than written into.
class TreeWriter {
 public:
  enum class Result { kWritten, kLink, kNotPlain, kFailed };

  TreeWriter() = default;
  ~TreeWriter();
  TreeWriter(const TreeWriter&) = delete;
  TreeWriter& operator=(const TreeWriter&) = delete;

  // Opens `root`, which must exist; links in `root` itself are the caller's
  // choice and are followed. False when it is not a folder.
  bool Open(const std::string& root);
  // Writes the file at `parts` below the root, creating the folders on the
  // way. Anything but kWritten writes no file and names in `at` the part at
  // fault: a link, something other than a folder or plain file, or the part
  // whose creation failed.
  Result Write(const std::vector<std::string>& parts, const void* data, size_t size, size_t& at);

 private:
  int root_ = -1;
};

}  // namespace qavz::platform
