// Drawing text: the rotated box and where text lands in it, the two indices
// of plain text, smooth coverage as alpha, as blend and as a mask, bad input,
// and golden images of the default face.
//
// Golden images are tests/golden/text_*.pgm (8-bit planes, one byte a
// pixel). They change only on purpose: rerun with QAVZ_UPDATE_GOLDEN=1 to
// rewrite them, e.g.
//   QAVZ_UPDATE_GOLDEN=1 build/tests/qavz_graphics_tests --gtest_filter='TextGolden*'
// A mismatch writes NAME.actual.pgm and NAME.diff.pgm to the working folder.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "graphics/blend_tables.h"
#include "graphics/colour.h"
#include "text_test_support.h"

namespace qavz::test {
namespace {

using TextDraw = TextTest;

// The smallest rectangle holding every pixel that differs from `background`.
Rect InkBox(const Plane& p, uint8_t background = 0) {
  Rect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x)
      if (*p.Pixel(x, y) != background)
        r = Rect{std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
                 std::max(r.bottom, y + 1)};
  return r;
}

struct BoxCase {
  int32_t escapement;
  Rect expected;  // for cx = 100, cy = 16
};
class RotatedBox : public testing::TestWithParam<BoxCase> {};

TEST_P(RotatedBox, FollowsTheQuadrantFormulas) {
  Rect r = RotatedTextBox(GetParam().escapement, 100, 16), e = GetParam().expected;
  EXPECT_EQ(r.left, e.left);
  EXPECT_EQ(r.top, e.top);
  EXPECT_EQ(r.right, e.right);
  EXPECT_EQ(r.bottom, e.bottom);
}

INSTANTIATE_TEST_SUITE_P(Quadrants, RotatedBox,
                         testing::Values(BoxCase{0, {0, 0, 100, 16}}, BoxCase{450, {0, -70, 82, 11}},
                                         BoxCase{900, {0, -100, 16, 0}}, BoxCase{1350, {-70, -82, 11, 0}},
                                         BoxCase{1800, {-100, -16, 0, 0}}, BoxCase{2250, {-82, -11, 0, 70}},
                                         BoxCase{2700, {-16, 0, 0, 100}}, BoxCase{3150, {-11, 0, 70, 82}},
                                         BoxCase{10, {0, -1, 100, 15}}));

// Whatever the escapement, the drawn text lies inside its box placed at (x, y).
class EscapementPlacement : public TextTest, public testing::WithParamInterface<int32_t> {};

TEST_P(EscapementPlacement, TextStaysInItsBoxAtXY) {
  int32_t e = GetParam();
  for (uint16_t style : {uint16_t(0), uint16_t(kFontSmooth)}) {
    Plane* p = Drawn(Description(kMsGothic, 16, style, e), 8, 200, 200, "Ag\x82\xA0", 60, 70);
    ASSERT_NE(p, nullptr);
    const FontObject* font = MakeFontObject(0);
    ASSERT_NE(font, nullptr);
    TextBox t = MeasureTextBox(*font, DecodeScriptText("Ag\x82\xA0", true));
    int32_t scale = style ? 8 : 1;
    int32_t width = (t.box.right - t.box.left + scale - 1) / scale,
            height = (t.box.bottom - t.box.top) / scale;
    Rect ink = InkBox(*p);
    EXPECT_GE(ink.left, 60) << e << " " << style;
    EXPECT_GE(ink.top, 70) << e << " " << style;
    EXPECT_LE(ink.right, 60 + width + 1) << e << " " << style;
    EXPECT_LE(ink.bottom, 70 + height + 1) << e << " " << style;
    // The box is filled well, not just touched in a corner.
    EXPECT_GT(ink.right - ink.left, width / 2) << e << " " << style;
    EXPECT_GT(ink.bottom - ink.top, height / 2) << e << " " << style;
  }
}

INSTANTIATE_TEST_SUITE_P(Angles, EscapementPlacement,
                         testing::Values(0, 300, 900, 1500, 1800, 2400, 2700, 3300));

TEST_F(TextDraw, ItalicBoxIsCyOverFourPlusOneWider) {
  for (uint16_t smooth : {uint16_t(0), uint16_t(kFontSmooth)}) {
    ASSERT_EQ(FontSet(0, Description(kMsGothic, 16, smooth)), 1);
    TextBox plain = MeasureTextBox(*MakeFontObject(0), U"Hello");
    ASSERT_EQ(FontSet(0, Description(kMsGothic, 16, uint16_t(smooth | kFontItalic))), 1);
    TextBox italic = MeasureTextBox(*MakeFontObject(0), U"Hello");
    int32_t cy = smooth ? 128 : 16;
    EXPECT_EQ(plain.cy, cy);
    EXPECT_EQ(italic.cx, plain.cx);
    EXPECT_EQ(italic.box.right - italic.box.left, plain.box.right + cy / 4 + 1) << "smooth " << smooth;
  }
}

TEST_F(TextDraw, HeightsAsWindowsFontHeights) {
  auto cell = [&](int32_t height) {
    EXPECT_EQ(FontSet(0, Description(kMsGothic, height)), 1);
    const FontObject* f = MakeFontObject(0);
    return f ? f->face->CellHeight() : -1;
  };
  EXPECT_EQ(cell(16), 16);
  EXPECT_EQ(cell(0), 16) << "0 asks for the default height";
  EXPECT_EQ(cell(-16), 16) << "the stand-in for a Windows face has its em as its cell";
  EXPECT_EQ(cell(-32), 32);
  EXPECT_EQ(cell(1 << 20), -1) << "too large a font cannot be made";
  EXPECT_EQ(cell(INT32_MIN), -1);
  ASSERT_NE(CreatePlane(1, 32, 32, 8), nullptr);
  ASSERT_EQ(FontSet(0, Description(kMsGothic, 1 << 20)), 1);
  EXPECT_EQ(Text(1, 0, 0, 0xFF, "A"), 0);
  ASSERT_EQ(FontSet(0, Description(kMsGothic, 1 << 28, kFontSmooth)), 1);
  EXPECT_EQ(Text(1, 0, 0, 0xFF, "A"), 0) << "eight times the height overflows no integer";
  // Zero draws as the default height does.
  Plane* zero = Drawn(Description(kMsGothic, 0), 8, 64, 24, "Ab", 0, 0, 0xFF, 0, 2);
  Plane* sixteen = Drawn(Description(kMsGothic, 16), 8, 64, 24, "Ab", 0, 0, 0xFF, 0, 3);
  EXPECT_EQ(PlaneBytes(*zero), PlaneBytes(*sixteen));
}

TEST_F(TextDraw, PlainTextWritesExactlyTheTwoIndicesOnEightBitPlanes) {
  for (uint32_t opaque : {0u, kTextOpaque}) {
    Plane* p = Drawn(Description(kMsGothic, 16, kFontUnderline), 8, 160, 40, "Text \x8E\x9A", 10, 10,
                     opaque | 200u << 8 | 7u, 99);
    ASSERT_NE(p, nullptr);
    int counts[256] = {};
    for (uint8_t b : PlaneBytes(*p)) ++counts[b];
    EXPECT_GT(counts[7], 50);
    EXPECT_EQ(counts[7] + counts[99] + counts[200], 160 * 40);
    EXPECT_EQ(counts[200] > 0, opaque != 0);
    if (opaque) {
      const FontObject* f = MakeFontObject(0);
      int32_t cx = MeasureTextBox(*f, DecodeScriptText("Text \x8E\x9A", true)).cx;
      EXPECT_EQ(counts[7] + counts[200], cx * 16) << "the background fills the extent";
    }
  }
}

TEST_F(TextDraw, PlainTextOnDirectColourPlanesUsesTheDisplayPalette) {
  Display().displayPalette[7] = 0x123456;
  Display().displayPalette[9] = 0xABCDEF;
  for (int32_t depth : {16, 24, 32}) {
    Plane* p = Drawn(Description(kMsGothic, 16), depth, 40, 20, "W", 0, 0, kTextOpaque | 9u << 8 | 7u, 0x55);
    ASSERT_NE(p, nullptr);
    std::map<uint32_t, int> seen;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 8; ++x) {
        uint32_t v = 0;
        std::memcpy(&v, p->Pixel(x, y), size_t(depth / 8));
        ++seen[v];
      }
    uint32_t ink = depth == 16 ? Pack555(0x123456) : 0x123456,
             paper = depth == 16 ? Pack555(0xABCDEF) : 0xABCDEF;
    EXPECT_EQ(seen.size(), 2u) << depth;
    EXPECT_GT(seen[ink], 0) << depth;
    EXPECT_GT(seen[paper], 0) << depth;
  }
}

TEST_F(TextDraw, PlainTextOnOneAndFourBitPlanesTakesTheNearestEntry) {
  // Display entry 0xE0 is pure red: entry 12 of the 16-colour table, and
  // white (entry 1) of the 2-colour one for 0xFF.
  Plane* four = Drawn(Description(kMsGothic, 16), 4, 40, 20, "W", 0, 0, 0xE0, 0x33, 1);
  Plane* one = Drawn(Description(kMsGothic, 16), 1, 40, 20, "W", 0, 0, 0xFF, 0x00, 2);
  ASSERT_TRUE(four && one);
  int red = 0, white = 0;
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      uint8_t nibble = (*four->Pixel(x, y) >> (x & 1 ? 0 : 4)) & 15;
      EXPECT_TRUE(nibble == 3 || nibble == 12) << x << "," << y;
      red += nibble == 12;
      white += (*one->Pixel(x, y) >> (7 - (x & 7))) & 1;
    }
  EXPECT_EQ(four->colours[12], 0xFF0000u);
  EXPECT_GT(red, 20);
  EXPECT_EQ(white, red) << "the same glyph on both planes";
}

TEST_F(TextDraw, SmoothTextAsAlphaRisesFromZeroToFull) {
  Plane* p = Drawn(Description(kMsGothic, 24, kFontSmooth), 32, 100, 40,
                   "\x8E\x9A"
                   "O",
                   4, 4, kTextAlpha | 0xFF, 0);
  ASSERT_NE(p, nullptr);
  int full = 0, partial = 0;
  for (int32_t y = 0; y < p->height; ++y)
    for (int32_t x = 0; x < p->width; ++x) {
      const uint8_t* px = p->Pixel(x, y);
      if (px[3] == 0) {
        EXPECT_EQ(px[0] | px[1] | px[2], 0) << "untouched pixels stay as they were";
        continue;
      }
      EXPECT_EQ(px[0] & px[1] & px[2], 255) << "covered pixels take the text colour";
      (px[3] == 255 ? full : partial)++;
    }
  EXPECT_GT(full, 20);
  EXPECT_GT(partial, 20);
}

TEST_F(TextDraw, SmoothTextIntoEightBitPlanesIsACoverageMask) {
  const std::string text = "\x83\x65\x83\x4C\x83\x58\x83\x67 ABC";
  Plane* zero = Drawn(Description(kMsGothic, 20, kFontSmooth), 8, 160, 32, text, 2, 3, 0xFF, 0, 1);
  Plane* grey = Drawn(Description(kMsGothic, 20, kFontSmooth), 8, 160, 32, text, 2, 3, 0xFF, 77, 2);
  ASSERT_TRUE(zero && grey);
  int full = 0, partial = 0;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 160; ++x) {
      uint8_t k = *zero->Pixel(x, y), g = *grey->Pixel(x, y);
      EXPECT_EQ(g, k == 0 ? 77 : k) << x << "," << y;
      full += k == 255;
      partial += k > 0 && k < 255;
    }
  EXPECT_GT(full, 30);
  EXPECT_GT(partial, 30);
}

TEST_F(TextDraw, SmoothBlendsTowardTheTextColourByCoverage) {
  ASSERT_TRUE(BuildBlendTables());
  Plane* mask = Drawn(Description(kMsGothic, 16, kFontSmooth), 8, 60, 24, "Rg", 1, 1, 0xFF, 0, 1);
  Display().displayPalette[5] = 0x20C040;
  for (int32_t depth : {16, 24, 32}) {
    Plane* p = Drawn(Description(kMsGothic, 16, kFontSmooth), depth, 60, 24, "Rg", 1, 1, 5, 0x66, 2);
    ASSERT_TRUE(mask && p);
    const auto& t = BlendTables().scale;
    for (int32_t y = 0; y < 24; ++y)
      for (int32_t x = 0; x < 60; ++x) {
        uint32_t k = *mask->Pixel(x, y), v = 0;
        std::memcpy(&v, p->Pixel(x, y), size_t(depth / 8));
        uint32_t expected;
        if (depth == 16) {
          uint32_t bg = 0x6666;
          auto f = [&](int s, uint32_t c) {
            return uint32_t(std::min<int>(31, t[k][c >> 3] + t[255 - k][(bg >> s) & 31])) << s;
          };
          expected = k == 0 ? bg : k == 255 ? Pack555(0x20C040) : (f(10, 0x20) | f(5, 0xC0) | f(0, 0x40));
        } else {
          auto c = [&](int s) { return uint32_t(t[k][(0x20C040 >> s) & 0xFF] + t[255 - k][0x66]) << s; };
          expected = k == 0 ? 0x666666 : k == 255 ? 0x20C040 : (c(16) | c(8) | c(0));
          if (depth == 32) expected |= 0x66000000;  // the alpha byte is kept
        }
        EXPECT_EQ(v, expected) << depth << " at " << x << "," << y << " k " << k;
      }
  }
}

TEST_F(TextDraw, CoverageTablesSumAFullBlockTo255) {
  const CoverageTables& t = Coverage();
  EXPECT_EQ(t.n[0], 0);
  EXPECT_EQ(t.n[0x81], 8);
  EXPECT_EQ(t.n[255], 32);
  EXPECT_EQ(t.lastRow[255], 31);
  EXPECT_EQ(t.lastRow[0x7F], 28);
  EXPECT_EQ(7 * t.n[255] + t.lastRow[255], 255);
}

TEST_F(TextDraw, SmoothTextHonoursTheClipRectangle) {
  Plane* p = CreatePlane(1, 100, 40, 8);
  ASSERT_NE(p, nullptr);
  FillPlane(*p, 3);
  ASSERT_EQ(FontSet(0, Description(kMsGothic, 16, kFontSmooth)), 1);
  p->clip = Rect{20, 5, 40, 30};
  EXPECT_EQ(Text(1, 0, 0, kTextOpaque | 0x00FF, "WWWWWWWW"), 1);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 100; ++x)
      if (x < 20 || x >= 40 || y < 5 || y >= 30) {
        EXPECT_EQ(*p->Pixel(x, y), 3) << x << "," << y;
      }
  EXPECT_EQ(*p->Pixel(21, 15), 0) << "the opaque background fills the clipped box";
  EXPECT_EQ(*p->Pixel(21, 16), 3) << "the box is 16 rows high";
  EXPECT_EQ(Text(1, 50, 0, 0xFF, "W"), 0) << "a box beyond the clip rectangle draws nothing";
  EXPECT_EQ(Text(1, -100, 0, 0xFF, "W"), 0);
}

TEST_F(TextDraw, MissingPlaneStringOrTextGiveTheResults) {
  ASSERT_NE(CreatePlane(1, 20, 20, 8), nullptr);
  EXPECT_EQ(Text(2, 0, 0, 0xFF, "A"), 0);
  EXPECT_EQ(Text(1024, 0, 0, 0xFF, "A"), 0);
  EXPECT_EQ(Native_gtext(memory_.Args({1, 0, 0, 0xFF, 0})), 0);
  EXPECT_EQ(Native_gtext(memory_.Args({1, 0, 0, 0xFF, 0x10})), 0);
  EXPECT_EQ(Text(1, 0, 0, 0xFF, ""), 1);
  // A string that runs into dead memory is no string.
  Addr tail = memory_.Tail(3);
  std::memset(memory_.Host(tail), 'A', 3);
  EXPECT_EQ(Native_gtext(memory_.Args({1, 0, 0, 0xFF, int32_t(tail)})), 0);
}

// Text far larger than the plane, anywhere, changes nothing beyond it.
TEST_F(TextDraw, TextBeyondThePlaneStaysInsideIt) {
  Plane* before = CreatePlane(1, 64, 64, 32);
  Plane* p = CreatePlane(2, 40, 20, 8);
  Plane* after = CreatePlane(3, 64, 64, 32);
  ASSERT_TRUE(before && p && after);
  FillPlane(*before, 0x5A);
  FillPlane(*after, 0xA5);
  FreeSmoothScratch();
  std::string longText;
  for (int i = 0; i < 400; ++i)
    longText +=
        "\x8A\xBF"
        "W";
  const int32_t far = 1 << 30;
  for (uint16_t style :
       {uint16_t(0), uint16_t(kFontSmooth | kFontUnderline | kFontItalic), uint16_t(kFontBold)})
    for (int32_t e : {0, 450, 1800, 2700})
      for (auto [x, y] : {std::pair{-300, -5}, std::pair{-far, 0}, std::pair{far, far}, std::pair{0, 10},
                          std::pair{INT32_MIN, INT32_MAX}}) {
        ASSERT_EQ(FontSet(0, Description(kMsGothic, style & kFontSmooth ? 30 : 120, style, e)), 1);
        int32_t r = Text(2, x, y, kTextOpaque | 0x1FF, longText);
        EXPECT_TRUE(r == 0 || r == 1);
      }
  EXPECT_EQ(PlaneBytes(*before), std::vector<uint8_t>(64 * 64 * 4, 0x5A));
  EXPECT_EQ(PlaneBytes(*after), std::vector<uint8_t>(64 * 64 * 4, 0xA5));
  EXPECT_LE(SmoothScratchBytes(), size_t(40 * 20 * 8)) << "the scratch covers the visible part only";
}

TEST_F(TextDraw, BrokenShiftJisDrawsTheDefaultCharacter) {
  Plane* broken = Drawn(Description(kMsGothic, 16), 8, 80, 20, "\x82 A\x82", 0, 0, 0xFF, 0, 1);
  Plane* dots = Drawn(Description(kMsGothic, 16), 8, 80, 20, "\x81\x45 A\x81\x45", 0, 0, 0xFF, 0, 2);
  ASSERT_TRUE(broken && dots);
  EXPECT_EQ(PlaneBytes(*broken), PlaneBytes(*dots));
}

TEST_F(TextDraw, GtextfFormatsIntoAKilobyte) {
  ASSERT_NE(CreatePlane(1, 300, 20, 8), nullptr);
  ASSERT_NE(CreatePlane(2, 300, 20, 8), nullptr);
  Addr format = memory_.Str("%d:%s");
  Addr word = memory_.Str(
      "\x8E\x9A"
      "ok");
  ASSERT_EQ(Native_gtextf(memory_.Args({1, 3, 2, 0xFF, int32_t(format), -42, int32_t(word)})), 1);
  ASSERT_EQ(Text(2, 3, 2, 0xFF,
                 "-42:\x8E\x9A"
                 "ok"),
            1);
  EXPECT_EQ(PlaneBytes(*PlaneAt(1)), PlaneBytes(*PlaneAt(2)));

  // A result past 1,023 bytes is cut there (at a character boundary): the
  // text is right-aligned by an escapement of 1800, so the cut shows.
  ASSERT_EQ(FontSet(0, Description(kMsGothic, 16, 0, 1800)), 1);
  std::string longText = "AB";
  while (longText.size() < 1098) longText += "\x82\xA0";
  longText += "Z";
  std::string cut = longText.substr(0, 1022);  // the pair at 1022 would end past 1023
  FillPlane(*PlaneAt(1), 0);
  FillPlane(*PlaneAt(2), 0);
  Addr plain = memory_.Str("%s");
  ASSERT_EQ(Native_gtextf(memory_.Args({1, 0, 0, 0xFF, int32_t(plain), int32_t(memory_.Str(longText))})), 1);
  ASSERT_EQ(Text(2, 0, 0, 0xFF, cut), 1);
  EXPECT_EQ(PlaneBytes(*PlaneAt(1)), PlaneBytes(*PlaneAt(2)));
  EXPECT_EQ(Native_gtextf(memory_.Args({1, 0, 0, 0xFF, 0})), 0);
}

// --- Golden images ---

std::string Pgm(const Plane& p) {
  std::ostringstream out;
  out << "P5\n" << p.width << " " << p.height << "\n255\n";
  std::vector<uint8_t> bytes = PlaneBytes(p);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return out.str();
}

void CompareWithGolden(const Plane& p, const std::string& name) {
  std::filesystem::path golden =
      std::filesystem::path(QAVZ_SOURCE_DIR) / "tests" / "golden" / (name + ".pgm");
  std::string actual = Pgm(p);
  if (std::getenv("QAVZ_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << actual;
  std::ifstream in(golden, std::ios::binary);
  std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (actual == expected) return;
  std::ofstream(name + ".actual.pgm", std::ios::binary) << actual;
  std::string diff = actual;
  size_t header = actual.size() - size_t(p.width) * size_t(p.height);
  for (size_t i = header; i < diff.size(); ++i)
    diff[i] = char(i < expected.size() && expected[i] == actual[i] ? 0 : 255);
  std::ofstream(name + ".diff.pgm", std::ios::binary) << diff;
  ADD_FAILURE() << name << " differs from " << golden << ": wrote " << name << ".actual.pgm and " << name
                << ".diff.pgm (QAVZ_UPDATE_GOLDEN=1 rewrites the golden image on purpose)";
}

struct GoldenCase {
  const char* name;
  uint16_t style;
  int32_t height, escapement;
  int32_t width, length;
};
class TextGolden : public TextTest, public testing::WithParamInterface<GoldenCase> {};

TEST_P(TextGolden, MatchesTheStoredImage) {
  const GoldenCase& c = GetParam();
  // "漢字とかな ABC xyz 123"
  const std::string text = "\x8A\xBF\x8E\x9A\x82\xC6\x82\xA9\x82\xC8 ABC xyz 123";
  Plane* p =
      Drawn(Description(kMsGothic, c.height, c.style, c.escapement), 8, c.width, c.length, text, 2, 2, 0xFF);
  ASSERT_NE(p, nullptr);
  CompareWithGolden(*p, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    DefaultFace, TextGolden,
    testing::Values(GoldenCase{"text_plain16", 0, 16, 0, 200, 20},
                    GoldenCase{"text_bold_underline16", kFontBold | kFontUnderline, 16, 0, 220, 20},
                    GoldenCase{"text_italic_strike24", kFontItalic | kFontStrikeOut, 24, 0, 300, 28},
                    GoldenCase{"text_smooth16", kFontSmooth, 16, 0, 200, 20},
                    GoldenCase{"text_smooth_rotated900", kFontSmooth, 16, 900, 22, 200}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qavz::test
