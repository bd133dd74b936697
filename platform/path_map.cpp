#include "platform/path_map.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/text_encoding.h"

namespace qavz::platform {

namespace {

// A Shift-JIS lead byte: the next byte is its trail, which may be 0x5C.
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Backslashes become slashes, except a trail byte of a double-byte
// character (such as the second byte of "表", 0x95 0x5C) in a Shift-JIS path.
std::string Slashes(const std::string& path) {
  std::string out = path;
  bool utf8 = IsUtf8(path);  // no byte of a UTF-8 character is a backslash
  for (size_t i = 0; i < out.size(); ++i) {
    if (!utf8 && IsLeadByte(uint8_t(out[i])) && i + 1 < out.size()) {
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

// The other spelling of `name`: UTF-8 for a Shift-JIS name, code page 932
// for a UTF-8 one; empty for ASCII or where there is none.
std::string OtherEncoding(const std::string& name) {
  bool ascii = true;
  for (char c : name) ascii = ascii && uint8_t(c) < 0x80;
  if (ascii) return {};
  return IsUtf8(name) ? ToShiftJisExactly(name) : ToUtf8(name);
}

// One entry a component may stand for, and how it was matched.
struct Option {
  std::string name;
  PathMatch match;
};

// The entries of `dir` that `name` may stand for other than itself: the
// same name in another letter case, then the name in the other encoding.
void MatchingEntries(const std::string& dir, const std::string& name, std::vector<Option>& options) {
  std::string other = OtherEncoding(name);
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return;
  std::vector<Option> encoded;
  while (dirent* e = readdir(d)) {
    if (name == e->d_name) continue;
    if (SameIgnoringCase(name, e->d_name))
      options.push_back({e->d_name, PathMatch::kCase});
    else if (!other.empty() && SameIgnoringCase(other, e->d_name))
      encoded.push_back({e->d_name, PathMatch::kEncoding});
  }
  closedir(d);
  options.insert(options.end(), encoded.begin(), encoded.end());
}

std::string Join(const std::vector<std::string>& parts, size_t from) {
  std::string out;
  for (size_t i = from; i < parts.size(); ++i) out += (i > from ? "/" : "") + parts[i];
  return out;
}

// The components of `path` with "." and empty ones dropped and ".." taken
// against the component before it, as Windows reads a path; ".." stays only
// at the start of a relative path (and goes at the root).
std::vector<std::string> Components(const std::string& path, bool absolute) {
  std::vector<std::string> parts;
  size_t up = 0;  // leading ".." kept
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part != "..") {
      parts.push_back(part);
    } else if (parts.size() > up) {
      parts.pop_back();
    } else if (!absolute) {
      parts.push_back(part);
      ++up;
    }
  }
  return parts;
}

std::string Child(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// One place a prefix of the path may stand for, and the file it reaches.
struct Candidate {
  std::string path;
  dev_t device;
  ino_t inode;
  PathMatch match;  // the worst match on the way
};

// Candidates kept per component: several folders differing only in case
// (Data and data) are searched side by side, never more than this many.
constexpr size_t kMaxCandidates = 16;

std::atomic<uint64_t> gListings{0};

// The entries of `dir` that `part` may stand for: the exact spelling first.
std::vector<Option> Options(const std::string& dir, const std::string& part) {
  std::vector<Option> options;
  if (Exists(Child(dir, part))) options.push_back({part, PathMatch::kExact});
  gListings.fetch_add(1, std::memory_order_relaxed);
  MatchingEntries(dir, part, options);
  return options;
}

}  // namespace

// Components are matched level by level, the candidates of each level in
// order of preference (exact spelling first). A candidate that reaches a
// file already reached by an earlier one is dropped, since everything below
// it is the same, so the work grows with the number of components, not with
// the ways of spelling them. The first candidate of the deepest level that
// exists wins; the components after it keep their spelling (a file or folder
// about to be created).
std::string MapPath(const std::string& windowsPath) {
  PathMatch ignored;
  return MapPath(windowsPath, ignored);
}

std::string MapPath(const std::string& windowsPath, PathMatch& match) {
  std::string path = Slashes(windowsPath);
  match = PathMatch::kExact;
  if (path.empty() || Exists(path)) return path;
  bool absolute = path[0] == '/';
  std::vector<std::string> parts = Components(path, absolute);
  std::string root = absolute ? "/" : "";
  size_t i = 0;
  for (; i < parts.size() && parts[i] == ".."; ++i) root = Child(root, "..");
  std::vector<Candidate> level = {{root, 0, 0, PathMatch::kExact}};
  for (; i < parts.size(); ++i) {
    std::vector<Candidate> next;
    for (const Candidate& c : level) {
      for (const Option& option : Options(c.path, parts[i])) {
        std::string child = Child(c.path, option.name);
        struct stat st;
        if (stat(child.c_str(), &st) != 0 && lstat(child.c_str(), &st) != 0) continue;
        bool seen = false;
        for (const Candidate& n : next) seen = seen || (n.device == st.st_dev && n.inode == st.st_ino);
        PathMatch how = std::max(c.match, option.match);
        if (!seen && next.size() < kMaxCandidates) next.push_back({child, st.st_dev, st.st_ino, how});
      }
    }
    if (next.empty()) break;
    // A spelling in another letter case beats one in another encoding.
    std::stable_sort(next.begin(), next.end(),
                     [](const Candidate& a, const Candidate& b) { return a.match < b.match; });
    level = std::move(next);
  }
  std::string mapped = level[0].path;
  match = i == parts.size() ? level[0].match : PathMatch::kMissing;
  if (i == parts.size()) return mapped.empty() ? "." : mapped;
  return Child(mapped, Join(parts, i));
}

uint64_t PathMapListings() { return gListings.load(std::memory_order_relaxed); }

}  // namespace qavz::platform
