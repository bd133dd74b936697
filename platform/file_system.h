// File facts the standard library does not give: birth time, permissions as
// a read-only flag, setting access and write times, and local calendar time.
#pragma once

#include <cstdint>
#include <string>

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
// Adds or removes write permission (the owner's, and group/other's only
// where the owner had it). False on failure.
bool SetReadOnly(const std::string& hostPath, bool readOnly);
// Sets the times given (nullptr keeps one). False on failure.
bool SetFileTimes(const std::string& hostPath, const Timestamp* access, const Timestamp* write);

// Broken-down local time, Windows order of fields.
struct LocalDate {
  uint16_t year, month, dayOfWeek, day, hour, minute, second, millisecond;
};
LocalDate ToLocalDate(const Timestamp& t);
// False for a date the calendar cannot represent.
bool FromLocalDate(const LocalDate& d, Timestamp& t);

}  // namespace qavz::platform
