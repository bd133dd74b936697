#include "files/pack_archive.h"

#include <array>
#include <cstring>

namespace qavz {

namespace {

// Primary weights of the single-byte characters. Archives were sorted by the
// builders' platform collation, which puts symbols first (in this order),
// then digits, then letters without case; control bytes go before all.
constexpr char kSymbolOrder[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

constexpr std::array<uint16_t, 256> MakeWeights() {
  std::array<uint16_t, 256> w{};
  uint16_t next = 1;
  for (int c = 1; c < 0x20; ++c) w[c] = next++;
  for (const char* s = kSymbolOrder; *s; ++s) w[uint8_t(*s)] = next++;
  for (int c = '0'; c <= '9'; ++c) w[c] = next++;
  for (int c = 'a'; c <= 'z'; ++c) {
    w[c] = next;
    w[c - 'a' + 'A'] = next++;
  }
  w[0x7F] = next++;
  for (int c = 0x80; c < 0x100; ++c) w[c] = uint16_t(next + c);  // kana and the rest
  return w;
}
constexpr std::array<uint16_t, 256> kWeights = MakeWeights();

bool IsWordSortMark(uint8_t c) { return c == '-' || c == '\''; }
uint8_t Fold(uint8_t c) { return c >= 'A' && c <= 'Z' ? uint8_t(c + 32) : c; }

// Next character unit of `s` from `i`: its weight (double bytes above every
// single byte) and how many bytes it takes.
uint32_t Unit(std::string_view s, size_t i, size_t& width) {
  uint8_t c = uint8_t(s[i]);
  if (IsShiftJisLeadByte(c) && i + 1 < s.size()) {
    width = 2;
    return 0x10000u + (uint32_t(c) << 8) + uint8_t(s[i + 1]);
  }
  width = 1;
  return kWeights[c];
}

int ComparePrimary(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  for (;;) {
    while (i < a.size() && IsWordSortMark(uint8_t(a[i]))) ++i;
    while (j < b.size() && IsWordSortMark(uint8_t(b[j]))) ++j;
    if (i == a.size() || j == b.size()) return int(j == b.size()) - int(i == a.size());
    size_t wa, wb;
    uint32_t ua = Unit(a, i, wa), ub = Unit(b, j, wb);
    if (ua != ub) return ua < ub ? -1 : 1;
    i += wa;
    j += wb;
  }
}

}  // namespace

bool SplitMemberName(std::string_view name, std::vector<std::string>& parts) {
  parts.clear();
  std::string part;
  for (size_t i = 0; i <= name.size(); ++i) {
    uint8_t c = i < name.size() ? uint8_t(name[i]) : 0;
    if (i < name.size() && c != '\\' && c != '/') {
      part += char(c);
      if (IsShiftJisLeadByte(c) && i + 1 < name.size()) part += name[++i];
      continue;
    }
    if (part.empty() || part == "." || part == "..") return false;
    parts.push_back(std::move(part));
    part.clear();
  }
  return true;
}

bool PackNameEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    uint8_t x = uint8_t(a[i]), y = uint8_t(b[i]);
    if (IsShiftJisLeadByte(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (Fold(x) != Fold(y)) {
      return false;
    }
  }
  return true;
}

int PackNameCompare(std::string_view a, std::string_view b) {
  if (int r = ComparePrimary(a, b)) return r;
  if (PackNameEqual(a, b)) return 0;
  // Equal but for the word-sort marks: the shorter name first, then bytes.
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    uint8_t x = Fold(uint8_t(a[i])), y = Fold(uint8_t(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool ReadPackHeader(const uint8_t header[kPackHeaderSize], uint64_t archiveSize, int32_t& count) {
  if (std::memcmp(header, kPackMagic, sizeof kPackMagic) != 0) return false;
  int32_t n;
  std::memcpy(&n, header + 8, 4);
  if (n < 0) return false;
  if (kPackHeaderSize + uint64_t(n) * kPackEntrySize > archiveSize) return false;
  count = n;
  return true;
}

std::string_view PackEntryName(const uint8_t* entry) {
  const char* name = reinterpret_cast<const char*>(entry);
  return std::string_view(name, strnlen(name, kPackNameSize));
}

PackLookup FindPackMember(const uint8_t* entries, int32_t count, uint64_t archiveSize, std::string_view name,
                          PackMember& member) {
  // Only the entries the search touches are examined, so a lookup stays
  // O(log N); a name that fills its 32 bytes marks a broken archive.
  auto nameAt = [&](int32_t i, bool& broken) {
    std::string_view n = PackEntryName(entries + size_t(i) * kPackEntrySize);
    broken = broken || n.size() == kPackNameSize;
    return n;
  };
  bool broken = false;
  int32_t found = -1;
  int32_t low = 0, high = count - 1;
  while (low <= high && !broken) {
    int32_t middle = low + (high - low) / 2;
    int r = PackNameCompare(name, nameAt(middle, broken));
    if (r < 0) {
      high = middle - 1;
    } else if (r > 0) {
      low = middle + 1;
    } else {
      found = middle;
      break;
    }
  }
  // An archive sorted by another collation: confirm with a scan.
  for (int32_t i = 0; found < 0 && !broken && i < count; ++i)
    if (PackNameEqual(name, nameAt(i, broken)) && !broken) found = i;
  if (broken) return PackLookup::kBadArchive;
  if (found < 0) return PackLookup::kNotFound;
  const uint8_t* e = entries + size_t(found) * kPackEntrySize;
  std::memcpy(&member.offset, e + 32, 4);
  std::memcpy(&member.size, e + 36, 4);
  if (uint64_t(member.offset) + member.size > archiveSize) return PackLookup::kBadArchive;
  return PackLookup::kFound;
}

}  // namespace qavz
