// ExpFile: a compressed file expanded into memory, or a stream over a
// FastFile.
#include "files/exp_file.h"

#include <cstring>
#include <new>

#include "core/data_files.h"
#include "core/report_error.h"
#include "files/lzw.h"
#include "files/messages.h"

namespace qavz {

struct ExpFile {
  bool expanded = false;
  std::vector<uint8_t> data;  // expanded: the decoded bytes; the rest up to length reads as 0
  uint32_t position = 0;
  uint32_t length = 0;       // expanded: as the compressed header gives it
  FastFile* fast = nullptr;  // stream: owned
};

ExpFile* OpenExpFile(const char* path) {
  ExpFile* file = new (std::nothrow) ExpFile;
  if (!file) {
    ReportError(kLevelData, msg::kExpFileNoMemory);
    return nullptr;
  }
  BitReader reader;
  if (!reader.Open(path)) {
    delete file;
    return nullptr;
  }
  uint32_t magic = 0;
  if (!reader.Read(magic, 32) || magic != kCompressedMagic) {
    // Not compressed (or shorter than the magic): read it as it is.
    reader.Close();
    file->fast = OpenFastFile(path);
    if (!file->fast) {
      delete file;
      return nullptr;
    }
    return file;
  }
  bool ok = reader.Read(file->length, 32);
  try {
    ok = ok && LzwDecode(reader, file->length, file->data);
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    delete file;
    return nullptr;
  }
  file->expanded = true;
  return file;
}

int CloseExpFile(ExpFile* file) {
  if (!file) return 0;
  if (file->fast) CloseFastFile(file->fast);
  delete file;
  return 1;
}

int32_t ExpFileSize(const ExpFile* file) {
  if (!file) return -1;
  return file->expanded ? int32_t(file->length) : FastFileSize(file->fast);
}

int32_t SeekExpFile(ExpFile* file, int32_t offset, int origin) {
  if (!file) return -1;
  if (!file->expanded) return SeekFastFile(file->fast, offset, origin);
  int64_t p;
  switch (origin) {
    case 0:
      p = offset;
      break;
    case 1:
      p = int64_t(file->position) + offset;
      break;
    case 2:
      p = int64_t(file->length) + offset;
      break;
    default:
      return int32_t(file->position);
  }
  if (p < 0 || p > int64_t(file->length)) return -1;
  file->position = uint32_t(p);
  return int32_t(file->position);
}

bool ReadExpFile(ExpFile* file, void* buffer, uint32_t count, uint32_t* read) {
  if (read) *read = 0;
  if (!file || !buffer) return false;
  if (!file->expanded) return ReadFastFile(file->fast, buffer, count, read);
  uint32_t n = count < file->length - file->position ? count : file->length - file->position;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint32_t decoded = uint32_t(file->data.size());
  uint32_t have = file->position < decoded ? decoded - file->position : 0;
  if (have > n) have = n;
  if (have) std::memcpy(out, file->data.data() + file->position, have);
  if (n > have) std::memset(out + have, 0, n - have);  // past what the stream produced
  file->position += n;
  if (read) *read = n;
  return true;
}

namespace {
DataFileResult LoadWhole(const char* path, std::vector<uint8_t>& out) {
  ExpFilePtr file(OpenExpFile(path));
  if (!file) return DataFileResult::kMissing;
  int32_t size = ExpFileSize(file.get());
  if (size < 0) return DataFileResult::kUnreadable;
  if (file->expanded && file->data.size() == file->length) {
    out.swap(file->data);
    return DataFileResult::kOk;
  }
  try {
    out.resize(uint32_t(size));
  } catch (...) {
    return DataFileResult::kNoMemory;
  }
  uint32_t got = 0;
  if (size == 0) return DataFileResult::kOk;
  bool ok = ReadExpFile(file.get(), out.data(), uint32_t(size), &got) && got == uint32_t(size);
  return ok ? DataFileResult::kOk : DataFileResult::kUnreadable;
}

DataFileResult LoadForLoader(const char* path, std::vector<uint8_t>& out) noexcept {
  try {
    return LoadWhole(path, out);
  } catch (const std::bad_alloc&) {
    return DataFileResult::kNoMemory;
  }
}
}  // namespace

bool LoadExpFile(const char* path, std::vector<uint8_t>& out) {
  return LoadForLoader(path, out) == DataFileResult::kOk;
}

void InstallFileLoader() noexcept { InstallDataFileLoader(&LoadForLoader); }

}  // namespace qavz
