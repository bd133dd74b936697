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

// The entries of `dir` that `name` may stand for: the same name in another
// letter case, or the name in UTF-8 (a Shift-JIS name whose file was
// unpacked on Linux).
std::vector<std::string> MatchingEntries(const std::string& dir, const std::string& name) {
  std::vector<std::string> found;
  std::string utf8 = ToUtf8(name);
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return found;
  while (dirent* e = readdir(d))
    if (SameIgnoringCase(name, e->d_name) || (utf8 != name && SameIgnoringCase(utf8, e->d_name)))
      found.push_back(e->d_name);
  closedir(d);
  return found;
}

std::string Join(const std::vector<std::string>& parts, size_t from) {
  std::string out;
  for (size_t i = from; i < parts.size(); ++i) out += (i > from ? "/" : "") + parts[i];
  return out;
}

// Maps parts[i..] below `dir` (which ends with '/' or is empty) into `out`
// and returns how many of them exist. Where several entries match a
// component (Data and data), the one under which most of the rest exists
// wins; from the first component that matches nothing, the rest keeps its
// spelling (a file or folder about to be created).
size_t MapFrom(const std::string& dir, const std::vector<std::string>& parts, size_t i, std::string& out) {
  if (i == parts.size()) {
    out = dir;
    return 0;
  }
  const std::string& part = parts[i];
  const char* separator = i + 1 < parts.size() ? "/" : "";
  std::vector<std::string> options;
  bool plain = part.empty() || part == "." || part == "..";
  if (plain || Exists(dir + part)) options.push_back(part);
  if (!plain)
    for (const std::string& entry : MatchingEntries(dir, part))
      if (entry != part) options.push_back(entry);
  if (options.empty()) {
    out = dir + Join(parts, i);
    return 0;
  }
  size_t best = 0;
  for (size_t k = 0; k < options.size(); ++k) {
    std::string mapped;
    size_t found = 1 + MapFrom(dir + options[k] + separator, parts, i + 1, mapped);
    if (k == 0 || found > best) {
      best = found;
      out = mapped;
    }
    if (found == parts.size() - i) break;  // all of it exists
  }
  return best;
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
  std::string mapped;
  MapFrom("", parts, 0, mapped);
  return mapped;
}

}  // namespace qavz::platform
