#include "graphics/ui_text.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "graphics/text_face.h"

namespace qavz {

namespace {

constexpr int32_t kUiHeight = 16;

struct UiFace {
  std::mutex mutex;
  bool tried = false;
  std::unique_ptr<TextFace> face;
};

// The face, opened on first use; call with the mutex held.
TextFace* Face(UiFace& ui) {
  if (!ui.tried) {
    ui.tried = true;
    FaceKey key;
    if (platform::DefaultFontFile(key.file)) {
      key.height = kUiHeight;
      key.depth = platform::GlyphDepth::kGrey;
      ui.face = TextFace::Open(key);
    }
  }
  return ui.face.get();
}

UiFace& TheUiFace() {
  static UiFace ui;
  return ui;
}

// The next code point of UTF-8 text at `i` (advanced); U+FFFD for a bad byte.
char32_t Next(std::string_view s, size_t& i) {
  uint8_t c = uint8_t(s[i++]);
  int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || i + size_t(extra) > s.size()) return U'\uFFFD';
  char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    uint8_t t = uint8_t(s[i]);
    if ((t & 0xC0) != 0x80) return U'\uFFFD';
    cp = (cp << 6) | (t & 0x3F);
    ++i;
  }
  return cp;
}

uint32_t Mix(uint32_t paper, uint32_t ink, uint32_t a) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t p = (paper >> shift) & 0xFF, q = (ink >> shift) & 0xFF;
    out |= ((q * a + p * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

}  // namespace

bool UiTextAvailable() noexcept {
  UiFace& ui = TheUiFace();
  std::lock_guard lock(ui.mutex);
  return Face(ui) != nullptr;
}

int32_t UiLineHeight() noexcept {
  UiFace& ui = TheUiFace();
  std::lock_guard lock(ui.mutex);
  TextFace* face = Face(ui);
  return face ? face->CellHeight() : kUiHeight;
}

int32_t UiTextWidth(std::string_view utf8) noexcept {
  UiFace& ui = TheUiFace();
  std::lock_guard lock(ui.mutex);
  TextFace* face = Face(ui);
  if (!face) return 0;
  int64_t width = 0;
  try {
    for (size_t i = 0; i < utf8.size();) width += face->Advance(Next(utf8, i));
  } catch (...) {
    return 0;
  }
  return int32_t(std::min<int64_t>(width, INT32_MAX));
}

bool DrawUiText(const UiCanvas& canvas, int32_t x, int32_t y, std::string_view utf8, uint32_t rgb) noexcept {
  UiFace& ui = TheUiFace();
  std::lock_guard lock(ui.mutex);
  TextFace* face = Face(ui);
  if (!face) return false;
  const Rect& clip = canvas.clip;
  int64_t pen = x;
  int32_t baseline = y + face->Metrics().ascent;
  try {
    for (size_t i = 0; i < utf8.size() && pen < clip.right;) {
      const TextGlyph& g = face->Glyph(Next(utf8, i));
      int64_t left = pen + g.left;
      pen += g.advance;
      if (left + g.width <= clip.left) continue;
      for (int32_t r = 0; r < g.height; ++r) {
        int32_t py = baseline + g.top + r;
        if (py < clip.top || py >= clip.bottom) continue;
        uint32_t* row = canvas.pixels + size_t(py) * size_t(canvas.stride);
        for (int32_t c = 0; c < g.width; ++c) {
          int64_t px = left + c;
          uint8_t a = g.bits[size_t(r) * size_t(g.pitch) + size_t(c)];
          if (a && px >= clip.left && px < clip.right) row[px] = Mix(row[px], rgb, a);
        }
      }
    }
  } catch (...) {
    return false;
  }
  return true;
}

}  // namespace qavz
