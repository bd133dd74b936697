// File searches with Windows wildcards, filling the 320-byte find record in
// script memory; file_size and file_check use the same search.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/save_folder.h"
#include "files/files_state.h"
#include "platform/file_system.h"
#include "platform/path_map.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// The find record: attributes, creation/access/write times, size high and
// low, two reserved words, the name (260) and the short name (14).
constexpr uint32_t kFindRecordSize = 320;
constexpr uint32_t kNameOffset = 44, kNameSize = 260;

struct Match {
  std::string name;
  platform::FileFacts facts;
};

struct Search {
  std::vector<Match> matches;
  size_t next = 0;
};

std::unordered_map<int32_t, Search> gSearches;
int32_t gLastSearch = 0;

uint8_t Fold(char c) { return uint8_t(c >= 'A' && c <= 'Z' ? c + 32 : c); }

// '*' any run, '?' one character, letters without case.
bool Glob(const std::string& p, const std::string& n) {
  size_t i = 0, j = 0, star = std::string::npos, mark = 0;
  while (j < n.size()) {
    if (i < p.size() && (p[i] == '?' || (p[i] != '*' && Fold(p[i]) == Fold(n[j])))) {
      ++i;
      ++j;
    } else if (i < p.size() && p[i] == '*') {
      star = i++;
      mark = j;
    } else if (star != std::string::npos) {
      i = star + 1;
      j = ++mark;
    } else {
      return false;
    }
  }
  while (i < p.size() && p[i] == '*') ++i;
  return i == p.size();
}

// Windows wildcard rules: "*.*" is everything, and "name.*" or "name." also
// match a name without any dot.
bool WildMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (Glob(pattern, name)) return true;
  if (name.find('.') != std::string::npos) return false;
  size_t n = pattern.size();
  if (n >= 2 && pattern.compare(n - 2, 2, ".*") == 0) return Glob(pattern.substr(0, n - 2), name);
  if (n >= 1 && pattern[n - 1] == '.') return Glob(pattern.substr(0, n - 1), name);
  return false;
}

uint64_t FileTime(const platform::Timestamp& t) {
  return uint64_t(t.seconds + 11644473600LL) * 10000000u + t.nanoseconds / 100;
}

void Put32(uint8_t* at, uint32_t v) { std::memcpy(at, &v, 4); }

bool FillRecord(Addr record, const Match& m) {
  uint8_t r[kFindRecordSize] = {};
  Put32(r, FileAttributes(m.name, m.facts));
  const platform::Timestamp* times[3] = {&m.facts.creation, &m.facts.access, &m.facts.write};
  for (int i = 0; i < 3; ++i) {
    uint64_t ft = FileTime(*times[i]);
    Put32(r + 4 + 8 * i, uint32_t(ft));
    Put32(r + 8 + 8 * i, uint32_t(ft >> 32));
  }
  uint64_t size = m.facts.directory ? 0 : m.facts.size;
  Put32(r + 28, uint32_t(size >> 32));
  Put32(r + 32, uint32_t(size));
  std::memcpy(r + kNameOffset, m.name.data(), std::min<size_t>(m.name.size(), kNameSize - 1));
  uint8_t* out = TheArena().Span(record, kFindRecordSize);
  if (!out) return false;
  std::memcpy(out, r, kFindRecordSize);
  return true;
}

}  // namespace

uint32_t FileAttributes(const std::string& name, const platform::FileFacts& facts) {
  uint32_t a = facts.directory ? 0x10u : 0x20u;  // directory, or archive for files
  if (facts.readOnly) a |= 0x01;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") a |= 0x02;  // hidden
  return a;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

// Every entry of the pattern's directory whose name matches, in the order of
// the name without case; "." and ".." as Windows lists them. Under a
// read-only install the folder's counterpart in the save folder counts too,
// and its files stand for those of the same name: reads go there first.
static std::vector<Match> FindMatches(const std::string& pattern) {
  std::vector<Match> found;
  size_t sep = pattern.find_last_of("\\/");
  std::string dirPart = sep == std::string::npos ? std::string() : pattern.substr(0, sep + 1);
  std::string namePattern = sep == std::string::npos ? pattern : pattern.substr(sep + 1);
  if (namePattern.empty()) return found;
  std::filesystem::path base(dirPart.empty() ? std::string(".") : platform::MapPath(dirPart));
  if (base.empty()) base = std::filesystem::path("/");
  std::error_code ec;
  std::vector<std::string> names;
  if (!std::filesystem::is_directory(base, ec)) return found;
  if (std::filesystem::weakly_canonical(base, ec) != "/") {
    names.emplace_back(".");
    names.emplace_back("..");
  }
  for (std::filesystem::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  for (const std::string& n : names) {
    if (!WildMatch(namePattern, n)) continue;
    Match m{n, {}};
    if (platform::GetFileFacts((base / n).string(), m.facts)) found.push_back(std::move(m));
  }
  std::string saved = SavePlace(base.string());
  for (std::filesystem::directory_iterator it(saved, ec), end; !saved.empty() && !ec && it != end;
       it.increment(ec)) {
    Match m{it->path().filename().string(), {}};
    if (!WildMatch(namePattern, m.name) || !platform::GetFileFacts(it->path().string(), m.facts)) continue;
    auto same =
        std::find_if(found.begin(), found.end(), [&](const Match& f) { return SameName(f.name, m.name); });
    if (same == found.end())
      found.push_back(std::move(m));
    else
      same->facts = m.facts;
  }
  std::sort(found.begin(), found.end(), [](const Match& a, const Match& b) {
    return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                        [](char x, char y) { return Fold(x) < Fold(y); });
  });
  return found;
}

static void FirstMatchSize(const std::string& pattern, uint64_t& size, bool& any) {
  std::vector<Match> m = FindMatches(pattern);
  any = !m.empty();
  size = any && !m[0].facts.directory ? m[0].facts.size : 0;
}

int32_t Native_find_first(Addr args) {
  std::string pattern;
  Addr record = ArgAddr(args, 1);
  if (!TheArena().ReadString(ArgAddr(args, 0), pattern) || !TheArena().Live(record, kFindRecordSize))
    return -1;
  Search s;
  s.matches = FindMatches(pattern);
  if (s.matches.empty() || !FillRecord(record, s.matches[0])) return -1;
  s.next = 1;
  do {
    gLastSearch = gLastSearch == INT32_MAX ? 1 : gLastSearch + 1;
  } while (gSearches.count(gLastSearch));
  gSearches[gLastSearch] = std::move(s);
  return gLastSearch;
}

int32_t Native_find_next(Addr args) {
  auto it = gSearches.find(Arg(args, 0));
  if (it == gSearches.end()) return 0;
  Search& s = it->second;
  if (s.next >= s.matches.size() || !FillRecord(ArgAddr(args, 1), s.matches[s.next])) return 0;
  s.next++;
  return 1;
}

int32_t Native_find_close(Addr args) { return gSearches.erase(Arg(args, 0)) ? 1 : 0; }

int32_t Native_file_size(Addr args) {
  std::string pattern;
  uint64_t size = 0;
  bool any = false;
  if (!TheArena().ReadString(ArgAddr(args, 0), pattern)) return 0;
  FirstMatchSize(pattern, size, any);
  return int32_t(uint32_t(size));
}

int32_t Native_file_check(Addr args) {
  std::string pattern;
  uint64_t size = 0;
  bool any = false;
  if (!TheArena().ReadString(ArgAddr(args, 0), pattern)) return 0;
  FirstMatchSize(pattern, size, any);
  return any ? 1 : 0;
}

}  // namespace qavz
