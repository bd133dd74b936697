// The mbs family: Shift-JIS strings walked a character at a time.
#include <algorithm>
#include <cstring>

#include "stdlib/script_text.h"
#include "stdlib/shift_jis.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

uint32_t FoldLower(uint32_t code) noexcept {
  if (code >= 'A' && code <= 'Z') return code + ('a' - 'A');
  return code > 0xFF ? DoubleByteLower(code) : code;
}

uint32_t FoldUpper(uint32_t code) noexcept {
  if (code >= 'a' && code <= 'z') return code - ('a' - 'A');
  return code > 0xFF ? DoubleByteUpper(code) : code;
}

// Compares character codes after `fold`; -1, 0 or 1.
int32_t CompareChars(Addr args, uint32_t (*fold)(uint32_t) noexcept) noexcept {
  ScriptText a, b;
  if (!GetScriptText(ArgAddr(args, 0), a) || !GetScriptText(ArgAddr(args, 1), b)) return 0;
  for (uint32_t i = 0, j = 0;;) {
    size_t la = CharLength(a.bytes + i), lb = CharLength(b.bytes + j);
    // A lead byte before the terminator is no character: the string ends there.
    uint32_t ca = IsLeadByte(a.bytes[i]) && la == 1 ? 0 : fold(CharCode(a.bytes + i, la));
    uint32_t cb = IsLeadByte(b.bytes[j]) && lb == 1 ? 0 : fold(CharCode(b.bytes + j, lb));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
    i += uint32_t(la);
    j += uint32_t(lb);
  }
}

// Rewrites every character through `map` in place; the width of a character
// never changes, since the mappings stay within their byte class.
int32_t MapChars(Addr s, uint32_t (*map)(uint32_t) noexcept) noexcept {
  ScriptText text;
  if (!GetScriptText(s, text)) return 0;
  for (uint32_t i = 0; i < text.length;) {
    size_t len = CharLength(text.bytes + i);
    uint32_t code = map(CharCode(text.bytes + i, len));
    if (len == 2) {
      text.bytes[i] = uint8_t(code >> 8);
      text.bytes[i + 1] = uint8_t(code);
    } else {
      text.bytes[i] = uint8_t(code);
    }
    i += uint32_t(len);
  }
  return int32_t(s);
}

// Byte offset after `count` characters from `from`, stopping at the end or
// at a lead byte before the terminator, which is no character.
uint32_t SkipChars(const ScriptText& t, uint32_t from, uint32_t count, uint32_t* skipped) noexcept {
  uint32_t i = from, n = 0;
  while (n < count && i < t.length && !(IsLeadByte(t.bytes[i]) && t.bytes[i + 1] == 0)) {
    i += uint32_t(CharLength(t.bytes + i));
    ++n;
  }
  if (skipped) *skipped = n;
  return std::min(i, t.length);
}

int32_t Copy(Addr args, bool append) noexcept {
  ScriptText src, dst;
  Addr d = ArgAddr(args, 0);
  if (!GetScriptText(ArgAddr(args, 1), src)) return 0;
  uint32_t at = 0;
  if (append) {
    if (!GetScriptText(d, dst)) return 0;
    at = dst.length;
  }
  uint32_t room = WritableRoom(d);
  if (room <= at) return 0;
  PutText(TheArena().Span(d, room) + at, room - at, src.bytes, src.length, true);
  return int32_t(d);
}

}  // namespace

int32_t Native_mbslen(Addr args) {
  ScriptText s;
  return GetScriptText(ArgAddr(args, 0), s) ? int32_t(MbsLength(s.bytes, s.length)) : 0;
}

int32_t Native_mbscpy(Addr args) { return Copy(args, false); }
int32_t Native_mbscat(Addr args) { return Copy(args, true); }

int32_t Native_mbscmp(Addr args) {
  return CompareChars(args, [](uint32_t c) noexcept { return c; });
}
int32_t Native_mbscmpi(Addr args) { return CompareChars(args, FoldLower); }

// The case tables are our own, so the double-byte mapping never fails.
int32_t Native_mbslwr(Addr args) { return MapChars(ArgAddr(args, 0), FoldLower); }
int32_t Native_mbsupr(Addr args) { return MapChars(ArgAddr(args, 0), FoldUpper); }

// mbscut: dst, src, start, count. Copies `count` characters after the first
// `start`; the unused part of the count becomes zero bytes after the copy
// (as far as dst's live memory goes). Negative start or count counts as 0.
int32_t Native_mbscut(Addr args) {
  ScriptText src;
  Addr d = ArgAddr(args, 0);
  if (!GetScriptText(ArgAddr(args, 1), src)) return 0;
  uint32_t start = uint32_t(std::max(Arg(args, 2), 0));
  uint32_t count = uint32_t(std::max(Arg(args, 3), 0));
  uint32_t room = WritableRoom(d);
  if (room == 0) return 0;
  uint32_t copied = 0;
  uint32_t from = SkipChars(src, 0, start, nullptr);
  uint32_t to = SkipChars(src, from, count, &copied);
  uint8_t* out = TheArena().Span(d, room);
  uint32_t kept = PutText(out, room, src.bytes + from, to - from, true);
  uint32_t padding = count > copied ? count - copied - 1 : 0;
  uint32_t zeros = std::min(padding, room - kept - 1);
  std::memset(out + kept + 1, 0, zeros);
  return int32_t(d);
}

// mbschr: s, c. A double-byte character is found by its code only.
int32_t Native_mbschr(Addr args) {
  ScriptText s;
  Addr a = ArgAddr(args, 0);
  if (!GetScriptText(a, s)) return 0;
  uint32_t c = uint32_t(Arg(args, 1));
  for (uint32_t i = 0;;) {
    if (s.bytes[i] == 0) return c == 0 ? int32_t(a + i) : 0;
    if (IsLeadByte(s.bytes[i])) {
      if (s.bytes[i + 1] == 0) return 0;
      if (CharCode(s.bytes + i, 2) == c) return int32_t(a + i);
      i += 2;
    } else {
      if (s.bytes[i] == c) return int32_t(a + i);
      i += 1;
    }
  }
}

}  // namespace qavz
