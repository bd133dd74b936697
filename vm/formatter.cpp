// The printf-family formatter over script memory.
//
// Scripts pass every argument as one 32-bit stack word, so the formatter
// walks the words itself instead of handing script data to the host's
// varargs. Each directive is parsed here, checked, and rebuilt into a
// directive the host's snprintf can only format safely (numbers), or
// formatted here (strings, characters, %n, %p).
//
// The caller says how many bytes it can take (a destination's live memory),
// and the formatter builds no field much past that: a field is made only as
// wide and as precise as the bytes still wanted can show, in a way that
// leaves those bytes exactly as the full field would have them.
#include "vm/formatter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/lead_bytes.h"

namespace qavz {

namespace {

// Widths and precisions are taken as written up to a gigabyte, beyond any
// field the host formats.
constexpr int64_t kMaxField = 1 << 30;
// A number's bytes besides its precision digits: sign, prefix, exponent and
// the up to 309 integer digits of a double.
constexpr int kBodySlack = 400;
// A double's decimal expansion ends within 1,100 digits after the point, so
// digits past that are zeros and no rounding reaches back from them.
constexpr int kExactDigits = 1200;

// Consecutive argument words; words outside live memory read as 0.
struct ArgWords {
  Addr next;
  uint32_t Word() {
    uint32_t v = uint32_t(TheArena().Word(next, 0));
    next += 4;
    return v;
  }
  uint64_t Pair() {
    uint64_t lo = Word();
    return lo | (uint64_t(Word()) << 32);
  }
};

// The length of the zero-terminated text at `a`, at most `max` bytes and
// stopping at the first dead page, of which the first `keep` bytes go to
// `out`; -1 when `a` is 0 or dead.
int64_t ReadBounded(Addr a, uint32_t max, size_t keep, std::string& out) {
  Arena& arena = TheArena();
  if (a == 0 || !arena.Live(a, 1)) return -1;
  int64_t n = arena.StrLen(a, max);
  if (n < 0) n = std::min(arena.LiveExtent(a), max);
  out.assign(reinterpret_cast<const char*>(arena.Span(a, 1)), std::min(size_t(n), keep));
  return n;
}

// The same for UTF-16 text (%S / %ls): ASCII as is, anything else as '?'.
int64_t ReadWide(Addr a, uint32_t max, size_t keep, std::string& out) {
  Arena& arena = TheArena();
  if (a == 0 || !arena.Live(a, 2)) return -1;
  out.clear();
  uint16_t unit;
  int64_t n = 0;
  for (Addr p = a; n < max && arena.Read(p, unit) && unit != 0; p += 2, ++n)
    if (size_t(n) < keep) out.push_back(unit < 0x80 ? char(unit) : '?');
  return n;
}

struct Directive {
  char flags[8] = {};
  int flagCount = 0;
  bool left = false, zero = false;
  int width = 0;
  int precision = -1;  // none
  enum Size { kDefault, kChar, kShort, kLong, kWide64 } size = kDefault;
  bool wide = false;  // l or w on c / s
  char conversion = 0;
};

int Clamp(int64_t v) { return int(std::min(v, kMaxField)); }

// Parses after the '%'; returns the index after the conversion, or 0 when
// the format ends inside the directive.
size_t ParseDirective(const std::string& f, size_t i, ArgWords& words, Directive& d) {
  for (; i < f.size() && std::strchr("-+ #0", f[i]); ++i) {
    if (d.flagCount < 7 && !std::strchr(d.flags, f[i])) d.flags[d.flagCount++] = f[i];
    d.left |= f[i] == '-';
    d.zero |= f[i] == '0';
  }
  int64_t width = 0;
  if (i < f.size() && f[i] == '*') {
    width = int32_t(words.Word());
    ++i;
  } else {
    for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i)
      width = std::min<int64_t>(width * 10 + (f[i] - '0'), kMaxField);
  }
  if (width < 0) d.left = true;
  d.width = Clamp(width < 0 ? -width : width);
  if (i < f.size() && f[i] == '.') {
    int64_t p = 0;
    if (++i < f.size() && f[i] == '*') {
      p = int32_t(words.Word());
      ++i;
    } else {
      for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i)
        p = std::min<int64_t>(p * 10 + (f[i] - '0'), kMaxField);
    }
    d.precision = p < 0 ? -1 : Clamp(p);
  }
  auto take = [&](const char* s) {
    size_t n = std::strlen(s);
    if (f.compare(i, n, s) != 0) return false;
    i += n;
    return true;
  };
  if (take("I64") || take("ll") || take("q") || take("j") || take("L"))
    d.size = Directive::kWide64;
  else if (take("I32") || take("I") || take("z") || take("t"))
    d.size = Directive::kDefault;
  else if (take("hh"))
    d.size = Directive::kChar;
  else if (take("h"))
    d.size = Directive::kShort;
  else if (take("l") || take("w"))
    d.size = Directive::kLong, d.wide = true;
  if (i >= f.size()) return 0;
  d.conversion = f[i];
  if (d.conversion == 'C' || d.conversion == 'S') d.wide = d.size != Directive::kShort;
  return i + 1;
}

// Appends snprintf(spec, width, precision, value) in full.
template <typename T>
void AppendNumber(std::string& out, const char* spec, const Directive& d, T value) {
  int width = d.left ? -d.width : d.width;
  char buf[160];
  int n = std::snprintf(buf, sizeof buf, spec, width, d.precision, value);
  if (n < 0) return;
  if (size_t(n) < sizeof buf) {
    out.append(buf, size_t(n));
    return;
  }
  size_t old = out.size();
  out.resize(old + size_t(n) + 1);
  std::snprintf(&out[old], size_t(n) + 1, spec, width, d.precision, value);
  out.resize(old + size_t(n));
}

// Pads the field of a `length`-byte text, of which `text` holds the first
// `shown` bytes, to the field width; zero padding on the left, as the
// platform's printf does for strings too. Padding past `room` is not made.
void AppendField(std::string& out, const char* text, size_t shown, size_t length, const Directive& d,
                 size_t room) {
  size_t pad = std::min(size_t(d.width) > length ? size_t(d.width) - length : 0, room);
  if (!d.left) out.append(pad, d.zero ? '0' : ' ');
  out.append(text, shown);
  if (d.left) out.append(pad, ' ');
}

// "%<flags>*.*<length><conversion>" for the host.
std::string HostSpec(const Directive& d, const char* length, char conversion) {
  std::string spec = "%";
  spec += d.flags;
  spec += "*.*";
  spec += length;
  spec += conversion;
  return spec;
}

void FormatInteger(std::string& out, const Directive& d, ArgWords& words) {
  bool isSigned = d.conversion == 'd' || d.conversion == 'i';
  if (d.size == Directive::kWide64) {
    uint64_t v = words.Pair();
    std::string spec = HostSpec(d, "ll", d.conversion);
    if (isSigned)
      AppendNumber(out, spec.c_str(), d, (long long)(int64_t(v)));
    else
      AppendNumber(out, spec.c_str(), d, (unsigned long long)v);
    return;
  }
  uint32_t w = words.Word();
  int64_t s = int32_t(w);
  uint64_t u = w;
  if (d.size == Directive::kShort) s = int16_t(w), u = uint16_t(w);
  if (d.size == Directive::kChar) s = int8_t(w), u = uint8_t(w);
  std::string spec = HostSpec(d, "ll", d.conversion);
  if (isSigned)
    AppendNumber(out, spec.c_str(), d, (long long)s);
  else
    AppendNumber(out, spec.c_str(), d, (unsigned long long)u);
}

// A string's length decides its padding only up to the width, and no more
// of it than the room can show.
void FormatString(std::string& out, const Directive& d, ArgWords& words, size_t room) {
  Addr a = words.Word();
  uint64_t precision = d.precision >= 0 ? uint64_t(d.precision) : 0xFFFFFFFFu;
  uint32_t max = uint32_t(std::min<uint64_t>(precision, std::max<uint64_t>(room, uint64_t(d.width))));
  std::string text;
  int64_t n = d.wide ? ReadWide(a, max, room, text) : ReadBounded(a, max, room, text);
  if (n < 0) {
    text.assign("(null)", std::min<size_t>(6, max));
    n = int64_t(text.size());
  }
  AppendField(out, text.data(), text.size(), size_t(n), d, room);
}

// A number's directive cut down to what `room` bytes can show. Past room +
// 32 digits an integer shows only its sign or prefix and leading zeros
// there, and past kExactDigits a double only its exact digits and zeros, so
// the precision is cut; the width loses as much (the padding stays the
// same), except for %g without '#', whose length does not grow with the
// precision. A field still wider than the room and its body starts or ends
// with more padding than fits either way.
Directive FitNumber(Directive d, size_t room) {
  int64_t r = int64_t(std::min<size_t>(room, size_t(kMaxField)));
  bool isFloat = std::strchr("eEfFgGaA", d.conversion) != nullptr;
  int64_t keep = r + (isFloat ? kExactDigits : 32);
  if (d.precision > keep) {
    bool trimsZeros = (d.conversion == 'g' || d.conversion == 'G') && !std::strchr(d.flags, '#');
    if (!trimsZeros) d.width = int(std::max<int64_t>(d.width - (d.precision - keep), 0));
    d.precision = int(keep);
  }
  d.width = int(std::min<int64_t>(d.width, r + std::max(d.precision, 0) + kBodySlack));
  return d;
}

void FormatOne(std::string& out, const Directive& d, ArgWords& words, size_t room) {
  switch (d.conversion) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      FormatInteger(out, FitNumber(d, room), words);
      return;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A': {
      uint64_t bits = words.Pair();
      double v;
      std::memcpy(&v, &bits, sizeof v);
      Directive fitted = FitNumber(d, room);
      AppendNumber(out, HostSpec(fitted, "", d.conversion).c_str(), fitted, v);
      return;
    }
    case 'c':
    case 'C': {
      uint32_t w = words.Word();
      char c = d.wide ? (w < 0x80 ? char(w) : '?') : char(w);
      AppendField(out, &c, 1, 1, d, room);
      return;
    }
    case 's':
    case 'S':
      FormatString(out, d, words, room);
      return;
    case 'p': {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%08X", unsigned(words.Word()));
      AppendField(out, buf, 8, 8, d, room);
      return;
    }
    case 'n':
      words.Word();  // the count is never stored into script memory
      return;
    default:
      return;
  }
}

bool KnownConversion(char c) { return c && std::strchr("diuoxXeEfFgGaAcCsSpn", c); }

}  // namespace

std::string FormatScriptText(Addr format, Addr firstArg, size_t limit) {
  std::string f, out;
  if (ReadBounded(format, 0xFFFFFFFFu, 0xFFFFFFFFu, f) < 0) return out;
  ArgWords words{firstArg};
  for (size_t i = 0; i < f.size() && out.size() < limit;) {
    if (f[i] != '%') {
      // Copy whole characters so a trail byte equal to '%' is not a directive.
      size_t len = IsLeadByte(uint8_t(f[i])) && i + 1 < f.size() ? 2 : 1;
      out.append(f, i, len);
      i += len;
      continue;
    }
    if (i + 1 < f.size() && f[i + 1] == '%') {
      out.push_back('%');
      i += 2;
      continue;
    }
    Directive d;
    size_t next = ParseDirective(f, i + 1, words, d);
    if (next == 0 || !KnownConversion(d.conversion)) {
      // An unknown or unfinished directive prints as written.
      size_t end = next == 0 ? f.size() : next;
      out.append(f, i, end - i);
      i = end;
      continue;
    }
    FormatOne(out, d, words, limit - out.size());
    i = next;
  }
  if (out.size() > limit) out.resize(limit);
  return out;
}

}  // namespace qavz
