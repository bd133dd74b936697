// Stream natives over standard C streams, and the SystemFile natives.
//
// Scripts see a stream as a 32-bit handle into a table of open streams; a
// handle that is not open is refused, never followed. Streams a script leaves
// open stay open until the process ends.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

#include "core/save_folder.h"
#include "files/files_state.h"
#include "files/special_folders.h"
#include "files/system_file.h"
#include "platform/path_map.h"
#include "platform/replace_file.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

struct OpenStream {
  std::FILE* file;
  bool text;  // opened without 'b'
};
std::unordered_map<int32_t, OpenStream> gStreams;
int32_t gLastHandle = 0;

std::FILE* Stream(int32_t handle) {
  auto it = gStreams.find(handle);
  return it == gStreams.end() ? nullptr : it->second.file;
}

bool IsText(int32_t handle) {
  auto it = gStreams.find(handle);
  return it != gStreams.end() && it->second.text;
}

int32_t AddStream(std::FILE* f, bool text) {
  do {
    gLastHandle = gLastHandle == INT32_MAX ? 1 : gLastHandle + 1;
  } while (gStreams.count(gLastHandle));
  gStreams[gLastHandle] = OpenStream{f, text};
  return gLastHandle;
}

// The standard mode strings: r, w or a, then any of '+', 'b' and 't' once
// each. Files are written as they are; in text mode fgets reads a CR LF line
// end as LF.
bool HostMode(const std::string& mode, std::string& host) {
  if (mode.empty() || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return false;
  int plus = 0, b = 0, t = 0;
  for (size_t i = 1; i < mode.size(); ++i) {
    char c = mode[i];
    if (c == '+')
      ++plus;
    else if (c == 'b')
      ++b;
    else if (c == 't')
      ++t;
    else
      return false;
  }
  if (plus > 1 || b + t > 1) return false;
  host = mode.substr(0, 1) + (plus ? "+b" : "b");
  return true;
}

std::string FileNamePart(const std::string& name) {
  size_t at = name.find_last_of("\\/:");
  return at == std::string::npos ? name : name.substr(at + 1);
}

// Where a file opened in `hostMode` is: reads look in the save folder first;
// writes go there, and a file opened to be changed ("a", "r+") starts as a
// copy of the title's own.
std::string TitlePlace(const std::string& host, const std::string& hostMode) {
  if (hostMode[0] == 'r' && hostMode.find('+') == std::string::npos) return ReadPlace(host);
  std::string place = WritePlace(host);
  std::error_code ec;
  if (place != host && hostMode[0] != 'w' && !std::filesystem::exists(place, ec))
    std::filesystem::copy_file(host, place, ec);
  return place;
}

// Opens `name`, or else the file of that name in the Windows directory.
std::FILE* OpenWithFallback(const std::string& name, const std::string& hostMode) {
  std::FILE* f = std::fopen(TitlePlace(platform::MapPath(name), hostMode).c_str(), hostMode.c_str());
  if (f) return f;
  std::string windows = WindowsDirectory();
  if (windows.empty()) return nullptr;
  std::string path = JoinTitlePath(TitleStylePath(windows), FileNamePart(name));
  return std::fopen(platform::MapPath(path).c_str(), hostMode.c_str());
}

// Bytes covered by `size` x `count` items, or false when negative or past
// 32 bits.
bool ItemBytes(int32_t size, int32_t count, uint32_t& bytes) {
  if (size < 0 || count < 0) return false;
  uint64_t n = uint64_t(size) * uint64_t(count);
  if (n > 0xFFFFFFFFu) return false;
  bytes = uint32_t(n);
  return true;
}

struct SystemFileMirror {
  std::string name;  // title path; empty when nothing is bound
  Addr block = 0;
  uint32_t size = 0;
} gSystemFile;

}  // namespace

// The binding ends with every service start-up and shut-down (the host saves
// the block then); sysio must not outlive it.
void ForgetSystemFile() { gSystemFile = SystemFileMirror{}; }

int32_t Native_fopen(Addr args) {
  std::string name, mode, hostMode;
  if (!TheArena().ReadString(ArgAddr(args, 0), name) || !TheArena().ReadString(ArgAddr(args, 1), mode, 8) ||
      !HostMode(mode, hostMode))
    return 0;
  // Closed again if the stream table cannot take it.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(OpenWithFallback(name, hostMode), &std::fclose);
  if (!f) return 0;
  int32_t handle = AddStream(f.get(), mode.find('b') == std::string::npos);
  f.release();
  return handle;
}

int32_t Native_fclose(Addr args) {
  int32_t handle = Arg(args, 0);
  std::FILE* f = Stream(handle);
  if (!f) return EOF;
  gStreams.erase(handle);
  return std::fclose(f);
}

int32_t Native_fread(Addr args) {
  std::FILE* f = Stream(Arg(args, 3));
  uint32_t bytes;
  int32_t size = Arg(args, 1), count = Arg(args, 2);
  if (!f || !ItemBytes(size, count, bytes) || bytes == 0) return 0;
  uint8_t* buffer = TheArena().Span(ArgAddr(args, 0), bytes);
  return buffer ? int32_t(std::fread(buffer, size_t(size), size_t(count), f)) : 0;
}

int32_t Native_fwrite(Addr args) {
  std::FILE* f = Stream(Arg(args, 3));
  uint32_t bytes;
  int32_t size = Arg(args, 1), count = Arg(args, 2);
  if (!f || !ItemBytes(size, count, bytes) || bytes == 0) return 0;
  const uint8_t* buffer = TheArena().Span(ArgAddr(args, 0), bytes);
  return buffer ? int32_t(std::fwrite(buffer, size_t(size), size_t(count), f)) : 0;
}

int32_t Native_fseek(Addr args) {
  std::FILE* f = Stream(Arg(args, 0));
  int32_t origin = Arg(args, 2);
  static const int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (!f || origin < 0 || origin > 2) return -1;
  return std::fseek(f, Arg(args, 1), kWhence[origin]) == 0 ? 0 : -1;
}

int32_t Native_ftell(Addr args) {
  std::FILE* f = Stream(Arg(args, 0));
  if (!f) return -1;
  long at = std::ftell(f);
  return at < 0 || at > INT32_MAX ? -1 : int32_t(at);
}

int32_t Native_fgets(Addr args) {
  Addr buffer = ArgAddr(args, 0);
  int32_t size = Arg(args, 1);
  std::FILE* f = Stream(Arg(args, 2));
  if (!f || size <= 0) return 0;
  char* at = reinterpret_cast<char*>(TheArena().Span(buffer, uint32_t(size)));
  if (!at) return 0;
  if (!std::fgets(at, size, f)) return 0;
  // Text read from a file written on Windows: a line ends with "\n" alone,
  // as the original's text mode gives it.
  if (IsText(Arg(args, 2))) {
    size_t n = std::strlen(at);
    if (n >= 2 && at[n - 2] == '\r' && at[n - 1] == '\n') {
      at[n - 2] = '\n';
      at[n - 1] = 0;
    }
  }
  return int32_t(buffer);
}

int32_t Native_fputs(Addr args) {
  std::string text;
  std::FILE* f = Stream(Arg(args, 1));
  if (!f || !TheArena().ReadString(ArgAddr(args, 0), text, 0xFFFFFFFFu)) return EOF;
  return std::fputs(text.c_str(), f) < 0 ? EOF : 0;
}

int32_t Native_sysfile(Addr args) {
  Addr nameAddr = ArgAddr(args, 0), block = ArgAddr(args, 1);
  int32_t size = Arg(args, 2);
  if (!nameAddr || !block || size == 0) return 0;
  // The name is bound with at most 259 characters; a block that is not
  // wholly live memory is refused rather than bound.
  std::string name;
  if (size < 0 || !TheArena().Span(block, uint32_t(size))) return 0;
  if (!TheArena().ReadString(nameAddr, name, 259)) return 0;
  gSystemFile = SystemFileMirror{name, block, uint32_t(size)};
  BindSystemFile(WritePlace(platform::MapPath(name)), block, uint32_t(size));
  std::FILE* f = OpenWithFallback(name, "rb");
  if (!f) return 0;
  std::fread(TheArena().Span(block, uint32_t(size)), uint32_t(size), 1, f);
  std::fclose(f);
  return 1;
}

int32_t Native_sysio(Addr args) {
  const SystemFileMirror& b = gSystemFile;
  if (b.name.empty()) return 0;
  bool write = Arg(args, 0) != 0;
  uint8_t* data = TheArena().Span(b.block, b.size);
  if (!data) return 0;
  std::string path = platform::MapPath(b.name);
  path = write ? WritePlace(path) : ReadPlace(path);
  // A save replaces the file whole, so a run killed mid-write leaves the
  // previous save rather than an empty or torn one.
  if (write) return platform::ReplaceFile(path, data, b.size) ? 1 : 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fread(data, b.size, 1, f);
  std::fclose(f);
  return 1;
}

}  // namespace qavz
