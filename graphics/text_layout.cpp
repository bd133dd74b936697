// Text layout: script text as code points, the extent and the rotated box.
#include <cmath>
#include <numbers>

#include "core/lead_bytes.h"
#include "graphics/text_draw.h"
#include "platform/text_encoding.h"

namespace qavz {

namespace {

constexpr char32_t kDefaultChar = U'\u30FB';  // '・'
constexpr char32_t kYen = U'\u00A5';

bool TrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Sine and cosine of an escapement; exact on the axes, where rounding would
// move a truncated box coordinate by a whole pixel.
void SinCos(int32_t escapement, double& s, double& c) {
  switch (escapement) {
    case 0:
      s = 0, c = 1;
      return;
    case 900:
      s = 1, c = 0;
      return;
    case 1800:
      s = 0, c = -1;
      return;
    case 2700:
      s = -1, c = 0;
      return;
    default: {
      double angle = escapement * std::numbers::pi / 1800;
      s = std::sin(angle), c = std::cos(angle);
    }
  }
}

}  // namespace

std::u32string DecodeScriptText(const std::string& shiftJis, bool yenAt5C) {
  std::u32string out;
  out.reserve(shiftJis.size());
  for (size_t i = 0; i < shiftJis.size(); ++i) {
    uint8_t b = uint8_t(shiftJis[i]);
    char32_t c;
    if (IsLeadByte(b)) {
      if (i + 1 < shiftJis.size() && TrailByte(uint8_t(shiftJis[i + 1]))) {
        c = platform::ShiftJisToUnicode(uint32_t(b) << 8 | uint8_t(shiftJis[++i]));
      } else {
        c = 0;
      }
    } else {
      c = b == 0x5C && yenAt5C ? kYen : platform::ShiftJisToUnicode(b);
    }
    out.push_back(c == 0 ? kDefaultChar : c);
  }
  return out;
}

Rect RotatedTextBox(int32_t e, int32_t cx, int32_t cy) noexcept {
  if (e == 0) return Rect{0, 0, cx, cy};
  if (e == 2700) return Rect{-cy, 0, 0, cx};
  double s, c;
  SinCos(e, s, c);
  auto t = [](double v) { return int32_t(std::trunc(v)); };
  if (e > 0 && e < 900) return Rect{0, t(-s * cx), t(s * cy + c * cx), t(c * cy)};
  if (e >= 900 && e < 1800) return Rect{t(c * cx), t(c * cy - s * cx), t(s * cy), 0};
  if (e >= 1800 && e < 2700) return Rect{t(s * cy + c * cx), t(c * cy), 0, t(-s * cx)};
  return Rect{t(s * cy), 0, t(c * cx), t(c * cy - s * cx)};
}

int32_t TextWidth(TextFace& face, const std::u32string& text) {
  int64_t width = 0;
  for (char32_t c : text) width += face.Advance(c);
  return int32_t(std::min<int64_t>(width, INT32_MAX / 2));
}

TextBox MeasureTextBox(const FontObject& font, const std::u32string& text) {
  TextBox t;
  t.cx = TextWidth(*font.face, text);
  t.cy = font.face->CellHeight();
  int32_t width = font.style & kFontItalic ? t.cx + t.cy / 4 + 1 : t.cx;
  t.box = RotatedTextBox(font.face->Escapement(), width, t.cy);
  return t;
}

TextPlacement::TextPlacement(double x, double y, int32_t escapement) : originX(x), originY(y) {
  SinCos(escapement, s, c);
}

}  // namespace qavz
