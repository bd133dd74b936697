// Planes, font descriptions and native calls for the text tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/font_slots.h"
#include "graphics/pages.h"
#include "graphics/plane.h"
#include "graphics/text_draw.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz::test {

// "ＭＳ ゴシック" in Shift-JIS.
inline const std::string kMsGothic = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

inline FontDescription Description(const std::string& face, int32_t height, uint16_t style = 0,
                                   int32_t escapement = 0) {
  FontDescription d{};
  std::memcpy(d.face, face.data(), std::min(face.size(), sizeof d.face));
  d.height = height;
  d.escapement = escapement;
  d.style = style;
  return d;
}

// A plane's bytes, row by row from the top, without row padding.
inline std::vector<uint8_t> PlaneBytes(const Plane& p) {
  size_t rowBytes = size_t(p.width) * size_t(p.depth) / 8;
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < p.height; ++y) out.insert(out.end(), p.Row(y), p.Row(y) + rowBytes);
  return out;
}

inline void FillPlane(Plane& p, uint8_t byte) { std::memset(p.host, byte, p.ImageBytes()); }

// Every text test starts from reset slots, the 3-3-2 display palette and an
// empty plane table, and calls natives through script memory.
class TextTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetFontSlots();
    for (int i = 0; i < 256; ++i) {
      uint32_t rgb = uint32_t(((i >> 5) & 7) * 255 / 7) << 16 | uint32_t(((i >> 2) & 7) * 255 / 7) << 8 |
                     uint32_t((i & 3) * 85);
      Display().displayPalette[i] = rgb;
    }
  }
  void TearDown() override {
    for (int32_t slot = 0; slot < kPlaneSlots; ++slot) FreePlane(slot);
    ResetFontSlots();
  }
  int32_t FontSet(int32_t slot, const FontDescription& d) {
    Addr a = memory_.Buffer(sizeof d);
    std::memcpy(memory_.Host(a), &d, sizeof d);
    return Native_font_set(memory_.Args({slot, int32_t(a)}));
  }
  int32_t FontUse(int32_t slot) { return Native_font_use(memory_.Args({slot})); }
  int32_t Text(int32_t plane, int32_t x, int32_t y, uint32_t colour, const std::string& text) {
    return Native_gtext(memory_.Args({plane, x, y, int32_t(colour), int32_t(memory_.Str(text))}));
  }
  // A plane of `depth` filled with `fill`, `text` drawn at (x, y) in `d`.
  Plane* Drawn(const FontDescription& d, int32_t depth, int32_t width, int32_t height,
               const std::string& text, int32_t x = 0, int32_t y = 0, uint32_t colour = 0xFF,
               uint8_t fill = 0, int32_t slot = 1) {
    Plane* p = CreatePlane(slot, width, height, depth);
    EXPECT_NE(p, nullptr);
    if (!p) return nullptr;
    FillPlane(*p, fill);
    EXPECT_EQ(FontSet(0, d), 1);
    EXPECT_EQ(Text(slot, x, y, colour, text), 1);
    return p;
  }
  ScriptMemory memory_{1 << 20};
};

}  // namespace qavz::test
