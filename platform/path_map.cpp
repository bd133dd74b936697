#include "platform/path_map.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "platform/text_encoding.h"

namespace qavz::platform {

namespace {

// A Shift-JIS lead byte: the next byte is its trail, which may be 0x5C.
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Backslashes become slashes, except a trail byte of a double-byte
// character (such as the second byte of "表", 0x95 0x5C).
std::string Slashes(const std::string& path) {
  std::string out = path;
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(uint8_t(out[i])) && i + 1 < out.size()) {
      ++i;
    } else if (out[i] == '\\') {
      out[i] = '/';
    }
  }
  return out;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool SameIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    unsigned char x = uint8_t(a[i]), y = uint8_t(b[i]);
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

// The entry of `dir` that `name` stands for: without regard to letter case,
// then the name in UTF-8 (a Shift-JIS name whose file was unpacked on Linux).
// Empty when there is none.
std::string FindEntry(const std::string& dir, const std::string& name) {
  std::string utf8 = ToUtf8(name);
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string found, foundUtf8;
  while (dirent* e = readdir(d)) {
    if (found.empty() && SameIgnoringCase(name, e->d_name)) found = e->d_name;
    if (foundUtf8.empty() && utf8 != name && SameIgnoringCase(utf8, e->d_name)) foundUtf8 = e->d_name;
  }
  closedir(d);
  return found.empty() ? foundUtf8 : found;
}

}  // namespace

std::string MapPath(const std::string& windowsPath) {
  std::string path = Slashes(windowsPath);
  if (path.empty() || Exists(path)) return path;
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    size_t end = path.find('/', start);
    parts.push_back(path.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // `done` is the mapped prefix; once a component is missing, the rest keep
  // their spelling (a file or folder that is about to be created).
  std::string done;
  bool missing = false;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    std::string next = part;
    if (!missing && !part.empty() && part != "." && part != "..") {
      std::string candidate = done + part;
      if (!Exists(candidate)) {
        std::string entry = FindEntry(done, part);
        if (entry.empty()) missing = true;
        else next = entry;
      }
    }
    done += next;
    if (i + 1 < parts.size()) done += '/';
  }
  return done;
}

}  // namespace qavz::platform
