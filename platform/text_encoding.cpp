#include "platform/text_encoding.h"

#include <iconv.h>

#include <cstdint>
#include <memory>
#include <mutex>

namespace qavz::platform {

namespace {

// Length of the UTF-8 sequence starting at `s[i]`, or 0 when malformed.
size_t Utf8Sequence(const std::string& s, size_t i) {
  auto byte = [&](size_t k) { return k < s.size() ? uint8_t(s[k]) : 0u; };
  uint8_t lead = byte(i);
  size_t n = lead < 0x80                    ? 1
             : lead >= 0xC2 && lead <= 0xDF ? 2
             : (lead & 0xF0) == 0xE0        ? 3
             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                            : 0;
  for (size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  if (n == 3 && ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) > 0x9F))) return 0;
  if (n == 4 && ((lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) > 0x8F))) return 0;
  return n;
}

}  // namespace

bool IsUtf8(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size();) {
    size_t n = Utf8Sequence(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string ToUtf8(const std::string& shiftJis) {
  if (IsUtf8(shiftJis)) return shiftJis;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == iconv_t(-1)) return shiftJis;
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(shiftJis.data());
  size_t inLeft = shiftJis.size();
  while (inLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, size_t(dst - buffer));
    if (r == size_t(-1) && dstLeft == sizeof buffer) {  // no progress: a bad byte
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

std::string ToShiftJisExactly(const std::string& utf8) {
  if (!IsUtf8(utf8)) return {};
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == iconv_t(-1)) return {};
  std::string out(utf8.size() + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  char* dst = out.data();
  size_t inLeft = utf8.size(), dstLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == size_t(-1) || inLeft != 0) return {};
  out.resize(out.size() - dstLeft);
  return out;
}

namespace {

// One iconv call per code; false when iconv has no character for it.
char32_t Convert(iconv_t cd, const char* bytes, size_t n) {
  char32_t out = 0;
  char* in = const_cast<char*>(bytes);
  char* dst = reinterpret_cast<char*>(&out);
  size_t inLeft = n, dstLeft = sizeof out;
  size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return r == size_t(-1) || inLeft != 0 || dstLeft != 0 ? 0 : out;
}

// Every code of code page 932 by its value, built once through iconv.
std::unique_ptr<char32_t[]> BuildShiftJisTable() {
  auto table = std::make_unique<char32_t[]>(65536);
  iconv_t cd = iconv_open("UTF-32LE", "CP932");
  if (cd == iconv_t(-1)) {
    for (char32_t c = 0; c < 0x80; ++c) table[c] = c;
    return table;
  }
  for (uint32_t b = 0; b < 256; ++b) {
    char one = char(b);
    table[b] = b == 0 ? 0 : Convert(cd, &one, 1);
  }
  for (uint32_t lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (uint32_t trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      char pair[2] = {char(lead), char(trail)};
      table[lead << 8 | trail] = Convert(cd, pair, 2);
    }
  }
  iconv_close(cd);
  return table;
}

}  // namespace

char32_t ShiftJisToUnicode(uint32_t code) {
  static std::once_flag once;
  static std::unique_ptr<char32_t[]> table;
  std::call_once(once, [] { table = BuildShiftJisTable(); });
  return code < 65536 ? table[code] : 0;
}

std::string ToShiftJis(const std::string& utf8) {
  // Without the converter only ASCII has a known form; never pass UTF-8
  // bytes on as if they were Shift-JIS.
  iconv_t cd = iconv_open("CP932", "UTF-8");
  bool converter = cd != iconv_t(-1);
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = Utf8Sequence(utf8, i);
    if (n == 0 || (!converter && n > 1)) {  // a stray byte, or no converter
      out += '?';
      i += n ? n : 1;
      continue;
    }
    if (n == 1) {
      out += utf8[i++];
      continue;
    }
    char buffer[8];
    char* in = const_cast<char*>(utf8.data() + i);
    size_t inLeft = n;
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    if (iconv(cd, &in, &inLeft, &dst, &dstLeft) == size_t(-1)) {
      out += '?';
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else {
      out.append(buffer, size_t(dst - buffer));
    }
    i += n;
  }
  if (converter) iconv_close(cd);
  return out;
}

}  // namespace qavz::platform
