#include "platform/menu_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <mutex>
#include <string>

#include "platform/message_box.h"

namespace qavz::platform {

namespace {

constexpr int kEmPixels = 12;  // a 9-point menu font on a 96 dpi screen
constexpr int32_t kFallbackHeight = 14;

// One face for the process, opened on first use (thread-safe static
// initialisation) and kept to the end; glyphs are rendered under its mutex.
struct MenuFace {
  std::mutex mutex;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int32_t ascent = 0, height = 0;
};

MenuFace* Open() {
  auto* f = new MenuFace;
  std::string file = JapaneseFontFile();
  if (!file.empty() && FT_Init_FreeType(&f->library) == 0 &&
      FT_New_Face(f->library, file.c_str(), 0, &f->face) == 0 &&
      FT_Set_Pixel_Sizes(f->face, 0, kEmPixels) == 0) {
    f->ascent = int32_t((f->face->size->metrics.ascender + 63) >> 6);
    f->height = f->ascent + int32_t((-f->face->size->metrics.descender + 63) >> 6);
  } else {
    f->face = nullptr;
  }
  return f;
}

MenuFace& Opened() {
  static MenuFace* face = Open();
  return *face;
}

// The next code point of UTF-8 text at `i` (advanced); U+FFFD for a bad byte.
char32_t Next(std::string_view s, size_t& i) {
  uint8_t c = uint8_t(s[i++]);
  int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || i + size_t(extra) > s.size()) return U'\uFFFD';
  char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k, ++i) {
    uint8_t t = uint8_t(s[i]);
    if ((t & 0xC0) != 0x80) return U'\uFFFD';
    cp = (cp << 6) | (t & 0x3F);
  }
  return cp;
}

uint32_t Mix(uint32_t paper, uint32_t ink, uint32_t a) {
  uint32_t out = 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t p = (paper >> shift) & 0xFF, q = (ink >> shift) & 0xFF;
    out |= ((q * a + p * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

}  // namespace

int32_t MenuTextHeight() noexcept {
  MenuFace& f = Opened();
  std::lock_guard lock(f.mutex);
  return f.face ? f.height : kFallbackHeight;
}

int32_t MenuTextWidth(std::string_view utf8) noexcept {
  MenuFace& f = Opened();
  std::lock_guard lock(f.mutex);
  int64_t width = 0;
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = Next(utf8, i);
    if (!f.face || FT_Load_Char(f.face, FT_ULong(c), FT_LOAD_DEFAULT) != 0) {
      width += kFallbackHeight / 2;
      continue;
    }
    width += (f.face->glyph->advance.x + 32) >> 6;
  }
  return int32_t(std::min<int64_t>(width, INT32_MAX));
}

bool DrawMenuText(uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y,
                  std::string_view utf8, uint32_t argb) noexcept {
  MenuFace& f = Opened();
  std::lock_guard lock(f.mutex);
  if (!f.face) return false;
  int64_t pen = x;
  int32_t baseline = y + f.ascent;
  for (size_t i = 0; i < utf8.size() && pen < width;) {
    if (FT_Load_Char(f.face, FT_ULong(Next(utf8, i)), FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = f.face->glyph;
    const FT_Bitmap& bitmap = g->bitmap;
    int64_t left = pen + g->bitmap_left;
    int32_t top = baseline - g->bitmap_top;
    pen += (g->advance.x + 32) >> 6;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) continue;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      int64_t py = int64_t(top) + row;
      if (py < 0 || py >= height) continue;
      const uint8_t* src = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
      uint32_t* out = pixels + size_t(py) * size_t(width);
      for (unsigned col = 0; col < bitmap.width; ++col) {
        int64_t px = left + col;
        if (src[col] && px >= 0 && px < width) out[px] = Mix(out[px], argb, src[col]);
      }
    }
  }
  return true;
}

}  // namespace qavz::platform
