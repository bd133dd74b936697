// FastFile: a plain file, or a member of the pack archive named after one of
// the directories of the path.
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/report_error.h"
#include "core/save_folder.h"
#include "files/exp_file.h"
#include "files/messages.h"
#include "files/pack_archive.h"
#include "platform/file_system.h"
#include "platform/path_map.h"
#include "platform/text_encoding.h"

namespace qavz {

struct FastFile {
  bool inArchive = false;
  std::FILE* handle = nullptr;
  uint32_t base = 0;      // members: the member's offset in the archive
  uint32_t size = 0;      // members: the member's size
  uint64_t position = 0;  // absolute position in the disk file
};

namespace {

void Report(const char* format, const char* path) {
  ReportError(kLevelData, format, platform::ToUtf8(path).c_str());
}

// Opens an existing regular file for reading (a directory, FIFO or device
// does not open).
std::FILE* OpenForReading(const std::string& titlePath) {
  return platform::OpenRegularFile(ReadPlace(platform::MapPath(titlePath)));
}

uint64_t DiskSize(std::FILE* f) {
  long at = std::ftell(f);
  if (std::fseek(f, 0, SEEK_END) != 0) return 0;
  long end = std::ftell(f);
  std::fseek(f, at, SEEK_SET);
  return end < 0 ? 0 : uint64_t(end);
}

// Positions of the separators '\' and '/' in a Shift-JIS path; the second
// byte of a double-byte character may be 0x5C and is not one.
std::vector<size_t> Separators(const std::string& path) {
  std::vector<size_t> at;
  for (size_t i = 0; i < path.size(); ++i) {
    uint8_t c = uint8_t(path[i]);
    if (IsShiftJisLeadByte(c)) {
      ++i;
    } else if (c == '\\' || c == '/') {
      at.push_back(i);
    }
  }
  return at;
}

// Member names hold '\' between their parts; a title that wrote '/' means
// the same member.
std::string MemberName(const std::string& path, size_t from) {
  std::string name = path.substr(from);
  std::vector<size_t> seps = Separators(name);
  for (size_t i : seps) name[i] = '\\';
  return name;
}

// Reads the directory of the open archive and positions it on the member.
// False after the message.
bool EnterMember(FastFile& f, const std::string& member, const char* path) {
  uint64_t archiveSize = DiskSize(f.handle);
  uint8_t header[kPackHeaderSize];
  int32_t count = 0;
  if (std::fread(header, 1, sizeof header, f.handle) != sizeof header ||
      !ReadPackHeader(header, archiveSize, count)) {
    Report(msg::kReadFailed, path);
    return false;
  }
  std::unique_ptr<uint8_t[]> entries(new (std::nothrow) uint8_t[size_t(count) * kPackEntrySize + 1]);
  if (!entries) {
    ReportError(kLevelData, msg::kFastFileNoMemory);
    return false;
  }
  size_t bytes = size_t(count) * kPackEntrySize;
  if (std::fread(entries.get(), 1, bytes, f.handle) != bytes) {
    Report(msg::kReadFailed, path);
    return false;
  }
  PackMember m{};
  switch (FindPackMember(entries.get(), count, archiveSize, member, m)) {
    case PackLookup::kNotFound:
      Report(msg::kNotFound, path);
      return false;
    case PackLookup::kBadArchive:
      Report(msg::kReadFailed, path);
      return false;
    case PackLookup::kFound:
      break;
  }
  if (std::fseek(f.handle, long(m.offset), SEEK_SET) != 0) {
    Report(msg::kSeekFailed, path);
    return false;
  }
  f.inArchive = true;
  f.base = m.offset;
  f.size = m.size;
  f.position = m.offset;
  return true;
}

}  // namespace

FastFile* OpenFastFile(const char* path) {
  std::unique_ptr<FastFile> f(new (std::nothrow) FastFile);
  if (!f) {
    ReportError(kLevelData, msg::kFastFileNoMemory);
    return nullptr;
  }
  if (!path) path = "";
  std::string p = path;
  f->handle = OpenForReading(p);
  if (f->handle) return f.release();

  // The innermost directory that has an archive decides; outer archives are
  // not tried even when the member is missing from it.
  std::vector<size_t> seps = Separators(p);
  for (auto it = seps.rbegin(); it != seps.rend() && !f->handle; ++it) {
    f->handle = OpenForReading(p.substr(0, *it) + ".bin");
    if (f->handle && !EnterMember(*f, MemberName(p, *it + 1), path)) {
      std::fclose(f->handle);
      return nullptr;
    }
  }
  if (!f->handle) {
    Report(msg::kOpenFailed, path);
    return nullptr;
  }
  return f.release();
}

int CloseFastFile(FastFile* file) {
  if (!file) return 0;
  if (file->handle) std::fclose(file->handle);
  delete file;
  return 1;
}

int32_t FastFileSize(const FastFile* file) {
  if (!file) return -1;
  if (file->inArchive) return int32_t(file->size);
  return int32_t(uint32_t(DiskSize(file->handle)));
}

int32_t SeekFastFile(FastFile* file, int32_t distance, int origin) {
  if (!file) return -1;
  if (!file->inArchive) {
    static const int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2 || std::fseek(file->handle, distance, kWhence[origin]) != 0) return -1;
    long at = std::ftell(file->handle);
    if (at < 0) return -1;
    file->position = uint64_t(at);
    return int32_t(uint32_t(at));
  }
  // Members: the target must stay inside the member; a refused seek moves
  // nothing.
  int64_t base = file->base, size = file->size, target;
  switch (origin) {
    case 0:
      if (distance < 0 || distance > size) return -1;
      target = base + distance;
      break;
    case 1:
      target = int64_t(file->position) + distance;
      if (target < base || target > base + size) return -1;
      break;
    case 2:
      if (distance > 0 || -int64_t(distance) > size) return -1;
      target = base + size + distance;
      break;
    default:
      return -1;
  }
  if (std::fseek(file->handle, long(target), SEEK_SET) != 0) return -1;
  file->position = uint64_t(target);
  return int32_t(target - base);
}

bool ReadFastFile(FastFile* file, void* buffer, uint32_t count, uint32_t* read) {
  if (read) *read = 0;
  if (!file || !buffer) return false;
  // A member ends at its size: reading on would hand out the next member.
  if (file->inArchive) {
    uint64_t end = uint64_t(file->base) + file->size;
    uint64_t left = file->position < end ? end - file->position : 0;
    if (count > left) count = uint32_t(left);
  }
  size_t got = count ? std::fread(buffer, 1, count, file->handle) : 0;
  file->position += got;
  if (read) *read = uint32_t(got);
  return !std::ferror(file->handle);
}

}  // namespace qavz
