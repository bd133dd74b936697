// Shift-JIS helpers of the string natives.
#include "stdlib/shift_jis.h"

namespace qavz {

size_t MbsLength(const uint8_t* s, size_t bytes) noexcept {
  size_t count = 0;
  for (size_t i = 0; i < bytes; ++count) {
    if (IsLeadByte(s[i])) {
      if (i + 1 >= bytes) break;  // dangling lead byte is not a character
      i += 2;
    } else {
      i += 1;
    }
  }
  return count;
}

// Upper-case ranges of double-byte letters and the distance to lower case.
// Cyrillic lower case skips trail byte 0x7F, so it is split in two rows.
struct CaseRange {
  uint32_t upperFirst, upperLast;
  int32_t toLower;
};
constexpr CaseRange kDoubleByteCase[] = {
    {0x8260, 0x8279, 0x21},  // full-width A..Z -> a..z
    {0x839F, 0x83B6, 0x20},  // Greek
    {0x8440, 0x844E, 0x30},  // Cyrillic A..N (lower 0x8470..0x847E)
    {0x844F, 0x8460, 0x31},  // Cyrillic O..Ya (lower 0x8480..0x8491)
};

uint32_t DoubleByteLower(uint32_t code) noexcept {
  for (const CaseRange& r : kDoubleByteCase)
    if (code >= r.upperFirst && code <= r.upperLast) return code + r.toLower;
  return code;
}

uint32_t DoubleByteUpper(uint32_t code) noexcept {
  for (const CaseRange& r : kDoubleByteCase)
    if (code >= r.upperFirst + r.toLower && code <= r.upperLast + r.toLower) return code - r.toLower;
  return code;
}

// Collation standing in for the user locale's string comparison. Primary keys
// order characters as: control characters, then punctuation and symbols (by
// byte), digits, letters alphabetically with case ignored, then every other
// character (half-width katakana, then double-byte characters by code).
// Full-width digits and letters share the primary key of their ASCII forms and
// katakana that of their hiragana, as the locale's sort does. A shorter string
// sorts before any longer string it starts. When the primary keys tie, the
// first case difference decides, lower case first ("a" < "A"); then the first
// width or kana difference, narrow and hiragana first. strcmpi skips the case
// level only.
namespace {

// Full-width digits and letters, and katakana with a hiragana form.
uint32_t NarrowForm(uint32_t code) noexcept {
  if (code >= 0x824F && code <= 0x8258) return '0' + (code - 0x824F);
  if (code >= 0x8260 && code <= 0x8279) return 'A' + (code - 0x8260);
  if (code >= 0x8281 && code <= 0x829A) return 'a' + (code - 0x8281);
  if (code >= 0x8340 && code <= 0x837E) return 0x829F + (code - 0x8340);
  if (code >= 0x8380 && code <= 0x8393) return 0x829F + (code - 0x8341);
  return code;
}

uint32_t PrimaryKey(uint32_t code) noexcept {
  code = NarrowForm(code);
  if (code < 0x20 || code == 0x7F) return code;  // controls
  if (code < 0x80) {
    if (code >= '0' && code <= '9') return 0x200 + code;
    if (code >= 'A' && code <= 'Z') return 0x300 + (code - 'A') * 2;
    if (code >= 'a' && code <= 'z') return 0x300 + (code - 'a') * 2;
    return 0x100 + code;  // punctuation and symbols
  }
  if (code < 0x100) return 0x400 + code;  // half-width katakana and the rest
  return 0x10000 + code;
}

int CaseRank(uint32_t code) noexcept {
  uint32_t narrow = NarrowForm(code);
  return (narrow >= 'A' && narrow <= 'Z') || DoubleByteLower(code) != code ? 1 : 0;
}

int VariantRank(uint32_t code) noexcept { return NarrowForm(code) != code ? 1 : 0; }

int Sign(int64_t v) noexcept { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

int CollateCompare(const uint8_t* a, const uint8_t* b, bool ignoreCase) noexcept {
  int caseOrder = 0, variantOrder = 0;
  size_t i = 0, j = 0;
  for (;;) {
    if (a[i] == 0 || b[j] == 0) {
      if (a[i] != b[j]) return a[i] == 0 ? -1 : 1;
      return (!ignoreCase && caseOrder) ? caseOrder : variantOrder;
    }
    size_t la = CharLength(a + i), lb = CharLength(b + j);
    uint32_t ca = CharCode(a + i, la), cb = CharCode(b + j, lb);
    uint32_t ka = PrimaryKey(ca), kb = PrimaryKey(cb);
    if (ka != kb) return Sign(int64_t(ka) - int64_t(kb));
    if (caseOrder == 0) caseOrder = Sign(CaseRank(ca) - CaseRank(cb));
    if (variantOrder == 0) variantOrder = Sign(VariantRank(ca) - VariantRank(cb));
    i += la;
    j += lb;
  }
}

}  // namespace qavz
