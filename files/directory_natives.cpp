// Directory and file management natives. Paths a native gives back are
// written the Windows way ('\' between parts, a trailing '\'), which the path
// mapping takes back to the same place.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/save_folder.h"
#include "files/files_state.h"
#include "files/special_folders.h"
#include "platform/file_system.h"
#include "platform/path_map.h"
#include "vm/native_table.h"

namespace qavz {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kPathBufferSize = 260;

bool ReadPath(Addr args, int i, std::string& host) {
  std::string title;
  if (!TheArena().ReadString(ArgAddr(args, i), title) || title.empty()) return false;
  host = platform::MapPath(title);
  return !host.empty();
}

// A path as reads find it: the save folder's copy first.
bool ReadFoundPath(Addr args, int i, std::string& host) {
  if (!ReadPath(args, i, host)) return false;
  host = ReadPlace(host);
  return true;
}

// A folder with its trailing '\' into the 260-byte buffer; its length, or 0
// when it does not fit (nothing written).
int32_t PutFolder(Addr buffer, const std::string& hostDir) {
  if (!buffer || hostDir.empty()) return 0;
  std::string s = TitleStylePath(hostDir);
  if (s.back() != '\\') s += '\\';
  if (s.size() >= kPathBufferSize) return 0;
  return TheArena().WriteString(buffer, s.data(), s.size()) ? int32_t(s.size()) : 0;
}

bool IsDirectory(const std::string& host) {
  std::error_code ec;
  return fs::is_directory(host, ec);
}

bool IsRegularFile(const std::string& host) {
  std::error_code ec;
  return fs::is_regular_file(host, ec);
}

// The date record: year, month, day of week, day, hour, minute, second,
// millisecond, 16 bits each.
constexpr uint32_t kDateRecordSize = 16;

bool PutDate(Addr record, const platform::Timestamp& t) {
  platform::LocalDate d = platform::ToLocalDate(t);
  uint8_t* out = TheArena().Span(record, kDateRecordSize);
  if (!out) return false;
  static_assert(sizeof d == kDateRecordSize);
  std::memcpy(out, &d, kDateRecordSize);
  return true;
}

bool GetDate(Addr record, platform::Timestamp& t) {
  platform::LocalDate d;
  return TheArena().Read(record, d) && platform::FromLocalDate(d, t);
}

bool Exists(const std::string& host) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(host, ec));
}

// Under a read-only install a file or folder the title made lives only in
// the save folder: its place there, or empty when the path has no such
// place or the title's folder has the original (which stays as it is).
std::string MadeByTitle(const std::string& host) {
  std::string saved = SavePlace(host);
  return saved.empty() || Exists(host) || !Exists(saved) ? std::string() : saved;
}

}  // namespace

int32_t Native_dir_getpath(Addr args) {
  int32_t kind = Arg(args, 0);
  Addr buffer = ArgAddr(args, 1);
  if (!buffer) return 0;
  std::string dir = kind == 36 ? WindowsDirectory() : kind == 37 ? SystemDirectory() : SpecialFolder(kind);
  return PutFolder(buffer, dir);
}

int32_t Native_dir_getcur(Addr args) {
  std::error_code ec;
  fs::path cur = fs::current_path(ec);
  return ec ? 0 : PutFolder(ArgAddr(args, 0), cur.string());
}

int32_t Native_dir_setcur(Addr args) {
  std::string host;
  std::error_code ec;
  if (!ReadPath(args, 0, host)) return 0;
  fs::current_path(host, ec);
  return ec ? 0 : 1;
}

int32_t Native_dir_create(Addr args) {
  std::string host;
  std::error_code ec;
  if (!ReadPath(args, 0, host)) return 0;
  std::string saved = SavePlace(host);
  if (!saved.empty()) {
    // Made in the save folder, where its parent is (or is made, when the
    // title's folder has the parent).
    fs::path parent = fs::path(host).parent_path(), savedParent = fs::path(saved).parent_path();
    if (Exists(host) || Exists(saved) || !(IsDirectory(parent.string()) || IsDirectory(savedParent.string())))
      return 0;
    fs::create_directories(savedParent, ec);
    host = saved;
  }
  return fs::create_directory(host, ec) && !ec ? 1 : 0;
}

int32_t Native_dir_delete(Addr args) {
  std::string host;
  std::error_code ec;
  if (!ReadPath(args, 0, host)) return 0;
  if (std::string made = MadeByTitle(host); !made.empty()) host = made;
  if (!IsDirectory(host)) return 0;
  return fs::remove(host, ec) && !ec ? 1 : 0;
}

int32_t Native_file_copy(Addr args) {
  std::string from, to;
  std::error_code ec;
  if (!ReadPath(args, 0, from) || !ReadPath(args, 1, to)) return 0;
  from = ReadPlace(from);
  if (!IsRegularFile(from) || IsDirectory(to)) return 0;
  bool keep = Arg(args, 2) != 0;
  std::string target = WritePlace(to);
  if (target != to && (IsDirectory(target) || (keep && Exists(to)))) return 0;
  auto option = keep ? fs::copy_options::none : fs::copy_options::overwrite_existing;
  return fs::copy_file(from, target, option, ec) && !ec ? 1 : 0;
}

int32_t Native_file_move(Addr args) {
  std::string from, to;
  std::error_code ec;
  if (!ReadPath(args, 0, from) || !ReadPath(args, 1, to)) return 0;
  // Moving never replaces an existing file.
  if (std::string made = MadeByTitle(from); !made.empty()) from = made;
  std::string saved = SavePlace(to);
  if (!fs::exists(from, ec) || Exists(to) || (!saved.empty() && Exists(saved))) return 0;
  if (!saved.empty()) to = WritePlace(to);
  fs::rename(from, to, ec);
  if (!ec) return 1;
  if (ec != std::errc::cross_device_link || !IsRegularFile(from)) return 0;
  ec.clear();
  if (!fs::copy_file(from, to, fs::copy_options::none, ec) || ec) return 0;
  return fs::remove(from, ec) && !ec ? 1 : 0;
}

int32_t Native_file_delete(Addr args) {
  std::string host;
  std::error_code ec;
  platform::FileFacts facts;
  if (!ReadPath(args, 0, host)) return 0;
  if (std::string made = MadeByTitle(host); !made.empty()) host = made;
  if (!platform::GetFileFacts(host, facts)) return 0;
  if (facts.directory || facts.readOnly) return 0;  // a read-only file is not deleted
  return fs::remove(host, ec) && !ec ? 1 : 0;
}

int32_t Native_file_getattr(Addr args) {
  std::string host;
  platform::FileFacts facts;
  if (!ReadFoundPath(args, 0, host) || !platform::GetFileFacts(host, facts)) return -1;
  return int32_t(FileAttributes(fs::path(host).filename().string(), facts));
}

int32_t Native_file_setattr(Addr args) {
  std::string host;
  platform::FileFacts facts;
  if (!ReadFoundPath(args, 0, host) || !platform::GetFileFacts(host, facts)) return 0;
  // Only read-only has a Linux meaning; hidden, system and archive are kept
  // by the name and the file type.
  return platform::SetReadOnly(host, (Arg(args, 1) & 0x01) != 0) ? 1 : 0;
}

int32_t Native_file_gettime(Addr args) {
  std::string host;
  platform::FileFacts facts;
  if (!ReadFoundPath(args, 0, host) || !IsRegularFile(host)) return 0;
  std::FILE* f = std::fopen(host.c_str(), "rb");
  if (!f) return 0;
  bool ok = platform::GetFileFacts(host, facts);
  std::fclose(f);
  if (!ok) return 0;
  const platform::Timestamp* times[3] = {&facts.creation, &facts.access, &facts.write};
  for (int i = 0; i < 3; ++i) {
    Addr record = ArgAddr(args, 1 + i);
    if (record && !TheArena().Live(record, kDateRecordSize)) return 0;
  }
  for (int i = 0; i < 3; ++i)
    if (Addr record = ArgAddr(args, 1 + i)) PutDate(record, *times[i]);
  return 1;
}

int32_t Native_file_settime(Addr args) {
  std::string host;
  if (!ReadFoundPath(args, 0, host) || !IsRegularFile(host)) return 0;
  std::FILE* f = std::fopen(host.c_str(), "r+b");
  if (!f) return 0;
  std::fclose(f);
  // The creation time (argument 1) has no settable counterpart here.
  platform::Timestamp access, write;
  Addr accessRecord = ArgAddr(args, 2), writeRecord = ArgAddr(args, 3);
  bool haveAccess = accessRecord && GetDate(accessRecord, access);
  bool haveWrite = writeRecord && GetDate(writeRecord, write);
  if ((accessRecord && !haveAccess) || (writeRecord && !haveWrite)) return 0;
  if (!haveAccess && !haveWrite) return 1;
  return platform::SetFileTimes(host, haveAccess ? &access : nullptr, haveWrite ? &write : nullptr) ? 1 : 0;
}

}  // namespace qavz
