// The str family: byte strings in script memory, plus sprintf and atoi.
//
// No script passes the size of a destination, so every write is kept within
// the live memory that follows the destination address: a text that would
// run past it is cut there and still terminated.
#include <algorithm>
#include <cstring>
#include <new>

#include "stdlib/script_text.h"
#include "stdlib/shift_jis.h"
#include "vm/formatter.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// Copies `n` bytes of `src` to dst and terminates; dst on success.
int32_t CopyTo(Addr dst, const uint8_t* src, uint32_t n, bool wholeChars) noexcept {
  uint32_t room = WritableRoom(dst);
  if (room == 0) return 0;
  PutText(TheArena().Span(dst, room), room, src, n, wholeChars);
  return int32_t(dst);
}

// Copy: dst, src.
int32_t CopyNative(Addr args, bool wholeChars) noexcept {
  ScriptText src;
  if (!GetScriptText(ArgAddr(args, 1), src)) return 0;
  return CopyTo(ArgAddr(args, 0), src.bytes, src.length, wholeChars);
}

// Append: dst, src.
int32_t AppendNative(Addr args, bool wholeChars) noexcept {
  ScriptText dst, src;
  if (!GetScriptText(ArgAddr(args, 0), dst) || !GetScriptText(ArgAddr(args, 1), src)) return 0;
  Addr d = ArgAddr(args, 0);
  uint32_t room = WritableRoom(d) - dst.length;
  PutText(dst.bytes + dst.length, room, src.bytes, src.length, wholeChars);
  return int32_t(d);
}

// Changes every byte in [from, to] by `delta`, trail bytes included.
int32_t MapBytes(Addr s, uint8_t from, uint8_t to, int delta) noexcept {
  ScriptText text;
  if (!GetScriptText(s, text)) return 0;
  for (uint32_t i = 0; i < text.length; ++i)
    if (text.bytes[i] >= from && text.bytes[i] <= to) text.bytes[i] = uint8_t(text.bytes[i] + delta);
  return int32_t(s);
}

bool IsBlank(uint8_t c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int32_t Native_strlen(Addr args) {
  ScriptText s;
  return GetScriptText(ArgAddr(args, 0), s) ? int32_t(s.length) : 0;
}

int32_t Native_strcpy(Addr args) { return CopyNative(args, false); }
int32_t Native_strcat(Addr args) { return AppendNative(args, false); }

int32_t Native_strcmp(Addr args) {
  ScriptText a, b;
  if (!GetScriptText(ArgAddr(args, 0), a) || !GetScriptText(ArgAddr(args, 1), b)) return 0;
  return CollateCompare(a.bytes, b.bytes, false);
}

int32_t Native_strcmpi(Addr args) {
  ScriptText a, b;
  if (!GetScriptText(ArgAddr(args, 0), a) || !GetScriptText(ArgAddr(args, 1), b)) return 0;
  return CollateCompare(a.bytes, b.bytes, true);
}

int32_t Native_strlwr(Addr args) { return MapBytes(ArgAddr(args, 0), 'A', 'Z', 'a' - 'A'); }
int32_t Native_strupr(Addr args) { return MapBytes(ArgAddr(args, 0), 'a', 'z', 'A' - 'a'); }

// strcut: dst, src, start, count. A negative start or count counts as 0.
int32_t Native_strcut(Addr args) {
  ScriptText src;
  if (!GetScriptText(ArgAddr(args, 1), src)) return 0;
  uint32_t start = uint32_t(std::max(Arg(args, 2), 0));
  uint32_t count = uint32_t(std::max(Arg(args, 3), 0));
  uint32_t n = start > src.length ? 0 : std::min(count, src.length - start);
  const uint8_t* from = start > src.length ? src.bytes + src.length : src.bytes + start;
  return CopyTo(ArgAddr(args, 0), from, n, false);
}

int32_t Native_strchr(Addr args) {
  ScriptText s;
  Addr a = ArgAddr(args, 0);
  if (!GetScriptText(a, s)) return 0;
  const void* hit = std::memchr(s.bytes, uint8_t(Arg(args, 1)), s.length + 1);
  return hit ? int32_t(a + uint32_t(static_cast<const uint8_t*>(hit) - s.bytes)) : 0;
}

// sprintf: dst, format, arguments... Gives the characters written, as
// mbslen counts them. The text is formatted as far as the live memory at dst
// reaches, plus one byte, so a cut falls on a character boundary.
int32_t Native_sprintf(Addr args) {
  Addr dst = ArgAddr(args, 0);
  uint32_t room = WritableRoom(dst);
  if (room == 0) return 0;
  std::string text = FormatScriptText(ArgAddr(args, 1), args + 8, room);
  uint8_t* out = TheArena().Span(dst, room);
  uint32_t n = PutText(out, room, reinterpret_cast<const uint8_t*>(text.data()),
                       uint32_t(std::min<size_t>(text.size(), 0xFFFFFFFEu)), true);
  // mbslen of dst: a %c of 0 ends the string there.
  const void* zero = std::memchr(out, 0, n);
  if (zero) n = uint32_t(static_cast<const uint8_t*>(zero) - out);
  return int32_t(MbsLength(out, n));
}

// atoi: blanks, an optional sign, decimal digits; wraps at 32 bits.
int32_t Native_atoi(Addr args) {
  ScriptText s;
  if (!GetScriptText(ArgAddr(args, 0), s)) return 0;
  const uint8_t* p = s.bytes;
  while (IsBlank(*p)) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + uint32_t(*p - '0');
  return int32_t(negative ? 0u - value : value);
}

}  // namespace qavz
