// Font slots: the 44-byte description, slot limits, the current slot, font
// objects made only on a change, and how face names find their files.
#include <cstddef>

#include "core/config.h"
#include "platform/fonts.h"
#include "tests/support/temp_files.h"
#include "text_test_support.h"

namespace qavz::test {
namespace {

using FontSlots = TextTest;

TEST_F(FontSlots, DescriptionIsTheFortyFourByteRecord) {
  Addr out = memory_.Buffer(48, 0xEE);
  ASSERT_EQ(Native_font_get(memory_.Args({31, int32_t(out)})), 1);
  const uint8_t* b = memory_.Host(out);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b)), kMsGothic);
  for (size_t i = kMsGothic.size(); i < 32; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(memory_.WordAt(out + 32), 16);
  for (size_t i = 36; i < 44; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[44], 0xEE) << "font_get writes exactly 44 bytes";

  // Every byte goes in and comes out as it was, the unread ones included.
  Addr in = memory_.Buffer(44);
  for (uint32_t i = 0; i < 44; ++i) memory_.Host(in)[i] = uint8_t(i * 7 + 1);
  ASSERT_EQ(Native_font_set(memory_.Args({5, int32_t(in)})), 1);
  Addr back = memory_.Buffer(44);
  ASSERT_EQ(Native_font_get(memory_.Args({5, int32_t(back)})), 1);
  EXPECT_EQ(std::memcmp(memory_.Host(in), memory_.Host(back), 44), 0);
}

TEST_F(FontSlots, SlotsAboveThirtyOneAndMissingRecordsAreRefused) {
  Addr d = memory_.Buffer(44);
  for (int32_t slot : {32, 33, -1, 1 << 30}) {
    EXPECT_EQ(Native_font_set(memory_.Args({slot, int32_t(d)})), 0) << slot;
    EXPECT_EQ(Native_font_get(memory_.Args({slot, int32_t(d)})), 0) << slot;
  }
  EXPECT_EQ(Native_font_set(memory_.Args({0, 0})), 0);
  EXPECT_EQ(Native_font_get(memory_.Args({0, 0})), 0);
  // A record running into dead memory is not half copied.
  Addr tail = memory_.Tail(40);
  EXPECT_EQ(Native_font_set(memory_.Args({0, int32_t(tail)})), 0);
  EXPECT_EQ(Native_font_get(memory_.Args({0, int32_t(tail)})), 0);
}

TEST_F(FontSlots, CurrentSlotIsTheLowByteAndSlot32DrawsNothing) {
  Plane* p = CreatePlane(1, 64, 32, 8);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(FontUse(32), 1);
  EXPECT_EQ(CurrentFontSlot(), 32);
  EXPECT_EQ(Text(1, 0, 0, 0xFF, "A"), 0);
  EXPECT_EQ(PlaneBytes(*p), std::vector<uint8_t>(64 * 32, 0));
  EXPECT_EQ(FontUse(0x105), 1);
  EXPECT_EQ(CurrentFontSlot(), 5);
  EXPECT_EQ(Text(1, 0, 0, 0xFF, "A"), 1);
  EXPECT_NE(PlaneBytes(*p), std::vector<uint8_t>(64 * 32, 0));
  ResetFontSelection(0);  // what thd_begin does for a new thread
  EXPECT_EQ(CurrentFontSlot(), 0);
}

TEST_F(FontSlots, EachScriptThreadHasItsOwnCurrentSlot) {
  MachineContext third{};
  third.threadIndex = 3;
  MachineContext* saved = CurrentContext;
  CurrentContext = &third;
  EXPECT_EQ(FontUse(7), 1);
  EXPECT_EQ(CurrentFontSlot(), 7);
  CurrentContext = saved;
  EXPECT_EQ(CurrentFontSlot(), 0) << "thread 0 keeps its slot";
  CurrentContext = &third;
  ResetFontSelection(3);
  EXPECT_EQ(CurrentFontSlot(), 0);
  CurrentContext = saved;
}

TEST_F(FontSlots, ObjectsAreRemadeOnlyWhenTheDescriptionChanges) {
  ASSERT_NE(CreatePlane(1, 200, 40, 8), nullptr);
  ASSERT_EQ(Text(1, 0, 0, 0xFF, "abc"), 1);
  uint64_t first = FontObjectSerial(0);
  ASSERT_NE(first, 0u);
  ASSERT_EQ(Text(1, 0, 0, 0xFF, "abc"), 1);
  EXPECT_EQ(FontObjectSerial(0), first);
  ASSERT_EQ(FontSet(0, Description(kMsGothic, 16)), 1);  // the same bytes again
  ASSERT_EQ(Text(1, 0, 0, 0xFF, "abc"), 1);
  EXPECT_EQ(FontObjectSerial(0), first);

  ASSERT_EQ(FontSet(0, Description(kMsGothic, 20)), 1);
  ASSERT_EQ(Text(1, 0, 0, 0xFF, "abc"), 1);
  uint64_t second = FontObjectSerial(0);
  EXPECT_GT(second, first);

  // Back to a description drawn before: a new object, but its glyphs come
  // from the shared face and nothing is drawn again.
  ASSERT_EQ(FontSet(0, Description(kMsGothic, 16)), 1);
  TextFaceCounters before = TextFaceCount();
  ASSERT_EQ(Text(1, 0, 0, 0xFF, "abc"), 1);
  EXPECT_GT(FontObjectSerial(0), second);
  EXPECT_EQ(TextFaceCount().facesOpened, before.facesOpened);
  EXPECT_EQ(TextFaceCount().glyphsDrawn, before.glyphsDrawn);
}

TEST_F(FontSlots, ResetRestoresTheDefaultDescription) {
  ASSERT_EQ(FontSet(3, Description("Other", 40, kFontBold)), 1);
  ASSERT_EQ(FontUse(3), 1);
  ResetFontSlots();
  EXPECT_EQ(CurrentFontSlot(), 0);
  Addr out = memory_.Buffer(44);
  ASSERT_EQ(Native_font_get(memory_.Args({3, int32_t(out)})), 1);
  FontDescription d = DefaultFontDescription();
  EXPECT_EQ(std::memcmp(memory_.Host(out), &d, 44), 0);
  EXPECT_EQ(FontObjectSerial(3), 0u);
}

// The Japanese Windows faces resolve to the IPA faces the set-up installs.
struct FaceCase {
  const char* name;
  const char* file;
};
class FaceNames : public testing::TestWithParam<FaceCase> {};

TEST_P(FaceNames, ResolveToTheIpaFaces) {
  platform::FontFile file;
  ASSERT_TRUE(platform::FindFontFile(GetParam().name, false, false, file))
      << "no Japanese font: the set-up installs fonts-ipafont-gothic and fonts-ipafont-mincho";
  // The Debian alternatives link to the same files.
  EXPECT_EQ(std::filesystem::canonical(file.path).filename(), GetParam().file) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Windows, FaceNames,
    testing::Values(FaceCase{"ＭＳ ゴシック", "ipag.ttf"}, FaceCase{"MS Gothic", "ipag.ttf"},
                    FaceCase{"ＭＳゴシック", "ipag.ttf"}, FaceCase{"@ＭＳ ゴシック", "ipag.ttf"},
                    FaceCase{"ＭＳ 明朝", "ipam.ttf"}, FaceCase{"MS Mincho", "ipam.ttf"},
                    FaceCase{"ＭＳ Ｐゴシック", "ipagp.ttf"}, FaceCase{"MS PGothic", "ipagp.ttf"},
                    FaceCase{"ＭＳ Ｐ明朝", "ipamp.ttf"}, FaceCase{"MS PMincho", "ipamp.ttf"},
                    FaceCase{"MS UI Gothic", "ipagp.ttf"}, FaceCase{"No Such Face 123", "ipag.ttf"}));

TEST_F(FontSlots, UnknownFaceDrawsInTheDefaultFace) {
  Plane* a = Drawn(Description("No Such Face 123", 16), 8, 120, 24,
                   "\x82\xA0"
                   "Ab",
                   0, 0, 0xFF, 0, 1);
  Plane* b = Drawn(Description(kMsGothic, 16), 8, 120, 24,
                   "\x82\xA0"
                   "Ab",
                   0, 0, 0xFF, 0, 2);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(PlaneBytes(*a), PlaneBytes(*b));
}

// "[qavz]" "Font.<face>" names a title's own font file, relative to its folder.
TEST_F(FontSlots, ConfigurationMapsAFaceToAFile) {
  TempDir dir;
  platform::FontFile mincho;
  ASSERT_TRUE(platform::FindFontFile("MS Mincho", false, false, mincho));
  std::filesystem::create_directories(dir / "fonts");
  std::filesystem::copy_file(mincho.path, dir / "fonts/own.ttf");
  WriteFile(dir / "GAME.cfg",
            "[General]\r\nWidth=640\r\n[qavz]\r\nFont.TitleFace = fonts\\OWN.ttf\r\n"
            "Font.Second=fonts/own.ttf,0\r\nFont.Broken=fonts/missing.ttf\r\n"
            "Font.\x82\x6C\x82\x72 \x96\xBE\x92\xA9=fonts/own.ttf,0\r\n"
            "Font.ＭＳ Ｐ明朝=fonts/own.ttf,1\r\n");
  TitlePaths saved = ThePaths();
  ThePaths().baseDir = dir.path() + "/";
  ThePaths().configFile = dir / "GAME.cfg";
  ResetFontSlots();  // forgets earlier look-ups
  platform::FontFile file;
  EXPECT_TRUE(ConfiguredFontFile("TitleFace", file));
  EXPECT_EQ(file.path, dir / "fonts/own.ttf");
  EXPECT_TRUE(ConfiguredFontFile("titleface", file)) << "keys compare without case";
  EXPECT_TRUE(ConfiguredFontFile("Second", file));
  EXPECT_EQ(file.index, 0);
  EXPECT_FALSE(ConfiguredFontFile("Unlisted", file));
  EXPECT_TRUE(ConfiguredFontFile("\x82\x6C\x82\x72 \x96\xBE\x92\xA9", file)) << "a Shift-JIS key";
  EXPECT_TRUE(ConfiguredFontFile("\x82\x6C\x82\x72 \x82\x6F\x96\xBE\x92\xA9", file)) << "a UTF-8 key";
  EXPECT_EQ(file.index, 1);

  // The title's face draws like the mincho it is a copy of (asked for by its
  // own name, so sized by its own metrics); a file that is
  // missing falls back to fontconfig's face for the name.
  Plane* own = Drawn(Description("TitleFace", 16), 8, 120, 24, "\x8A\xBF\x8E\x9A", 0, 0, 0xFF, 0, 1);
  Plane* ref = Drawn(Description("IPAMincho", 16), 8, 120, 24, "\x8A\xBF\x8E\x9A", 0, 0, 0xFF, 0, 2);
  Plane* broken = Drawn(Description("Broken", 16), 8, 120, 24, "\x8A\xBF\x8E\x9A", 0, 0, 0xFF, 0, 3);
  ASSERT_TRUE(own && ref && broken);
  EXPECT_EQ(PlaneBytes(*own), PlaneBytes(*ref));
  EXPECT_NE(PlaneBytes(*broken), std::vector<uint8_t>(120 * 24, 0));
  ThePaths() = saved;
  ResetFontSlots();
}

// Shift-JIS as code points: pairs, half-width katakana, the yen sign of the
// Japanese faces, and the default character for every broken pair.
struct DecodeCase {
  const char* bytes;
  bool yen;
  std::u32string expected;
};
class Decoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, GivesCodePoints) {
  EXPECT_EQ(DecodeScriptText(GetParam().bytes, GetParam().yen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ShiftJis, Decoding,
    testing::Values(DecodeCase{"\x82\xA0\x8A\xBF"
                               "A",
                               false, U"あ漢A"},
                    DecodeCase{"\xB1\xDF", false, U"ｱﾟ"},
                    DecodeCase{"\x5C"
                               "100",
                               true, U"¥100"},
                    DecodeCase{"\x5C", false, U"\\"}, DecodeCase{"\x81\x60", false, U"～"},
                    DecodeCase{"\x82\x20"
                               "A",
                               false, U"・ A"},                // lead byte before a space
                    DecodeCase{"A\x82", false, U"A・"},        // lead byte at the end
                    DecodeCase{"\x82\x7F", false, U"・\x7F"},  // 0x7F is no trail byte
                    DecodeCase{"\x85\x40", false, U"・"},      // an unassigned pair
                    DecodeCase{"\xFD\xA0", false, U"・・"}));  // bytes the code page leaves out

}  // namespace
}  // namespace qavz::test
