#include "graphics/bitmap_file.h"

#include <gtest/gtest.h>

#include <random>

#include "files/archive_tools.h"
#include "tests/unit/graphics/plane_test_support.h"

namespace qavz {
namespace {

using test::GraphicsTest;
namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

// A bitmap file written field by field, independently of the encoder.
struct BmpSpec {
  bool fileHeader = true;
  uint32_t headerBytes = 40;
  int32_t width = 5, height = 3;
  uint16_t depth = 8;
  uint32_t compression = 0;
  uint32_t imageSize = 0;  // 0: left for the reader to compute
  uint32_t coloursUsed = 0;
  std::vector<uint32_t> palette;  // written 4 bytes an entry, 3 with the 12-byte header
  std::vector<uint8_t> pixels;    // padded rows, bottom row first
};

int32_t Pitch(int32_t width, int32_t depth) { return (width * depth + 31) / 32 * 4; }

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

std::vector<uint8_t> BuildBmp(const BmpSpec& s) {
  std::vector<uint8_t> info;
  Put(info, s.headerBytes, 4);
  if (s.headerBytes == 12) {
    Put(info, uint32_t(s.width), 2);
    Put(info, uint32_t(s.height), 2);
    Put(info, 1, 2);
    Put(info, s.depth, 2);
  } else {
    Put(info, uint32_t(s.width), 4);
    Put(info, uint32_t(s.height), 4);
    Put(info, 1, 2);
    Put(info, s.depth, 2);
    Put(info, s.compression, 4);
    Put(info, s.imageSize, 4);
    Put(info, 2835, 4);
    Put(info, 2835, 4);
    Put(info, s.coloursUsed, 4);
    Put(info, 0, 4);
    info.resize(s.headerBytes, 0);
  }
  for (uint32_t c : s.palette) Put(info, c, s.headerBytes == 12 ? 3 : 4);
  std::vector<uint8_t> file;
  if (s.fileHeader) {
    file = {'B', 'M'};
    Put(file, uint32_t(14 + info.size() + s.pixels.size()), 4);
    Put(file, 0, 4);
    Put(file, uint32_t(14 + info.size()), 4);
  }
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), s.pixels.begin(), s.pixels.end());
  return file;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(n);
  for (uint8_t& b : bytes) b = uint8_t(random());
  return bytes;
}

BmpSpec RandomBitmap(int32_t width, int32_t height, uint16_t depth, uint32_t seed) {
  BmpSpec s;
  s.width = width;
  s.height = height;
  s.depth = depth;
  s.pixels = RandomBytes(size_t(Pitch(width, depth)) * size_t(height), seed);
  if (depth <= 8)
    for (int i = 0; i < (1 << depth); ++i) s.palette.push_back(uint32_t(i * 0x010305 + seed) & 0xFFFFFF);
  return s;
}

// The plane's pixel memory against the file's rows, padding excluded.
void ExpectPixels(const Plane& plane, const BmpSpec& s) {
  ASSERT_EQ(plane.width, s.width);
  ASSERT_EQ(plane.height, s.height);
  ASSERT_EQ(plane.depth, s.depth);
  int32_t pitch = Pitch(s.width, s.depth);
  int32_t usedBits = s.width * s.depth;
  for (int32_t row = 0; row < s.height; ++row)
    for (int32_t bit = 0; bit < usedBits; bit += 8) {
      uint8_t mask = usedBits - bit >= 8 ? 0xFF : uint8_t(0xFF00 >> (usedBits - bit));
      size_t at = size_t(row) * size_t(pitch) + size_t(bit / 8);
      ASSERT_EQ(plane.host[at] & mask, s.pixels[at] & mask) << "row " << row << " byte " << bit / 8;
    }
  for (size_t i = 0; i < s.palette.size(); ++i) EXPECT_EQ(plane.colours[i], s.palette[i]) << i;
}

class BitmapFiles : public GraphicsTest {
 protected:
  int32_t Load(int32_t slot, const std::string& name) {
    return Call(Native_gload, {slot, At(memory_.Str(name))});
  }
  int32_t Save(const std::string& name, int32_t slot, Addr rect = 0) {
    return Call(Native_gsave, {At(memory_.Str(name)), slot, At(rect)});
  }
};

class EveryDepth : public BitmapFiles, public testing::WithParamInterface<uint16_t> {};

TEST_P(EveryDepth, LoadsThePixelsAndColourTable) {
  BmpSpec s = RandomBitmap(7, 5, GetParam(), 11);
  WriteBytes("a.bmp", BuildBmp(s));
  ASSERT_EQ(Load(3, "a.bmp"), 1);
  ExpectPixels(*PlaneAt(3), s);
  EXPECT_EQ(PlaneAt(3)->name, "a.bmp");
  EXPECT_EQ(PlaneAt(3)->clip.right, 7);
  EXPECT_EQ(PlaneAt(3)->clip.bottom, 5);
}

TEST_P(EveryDepth, SavedFilesLoadBackTheSame) {
  BmpSpec s = RandomBitmap(13, 6, GetParam(), 5);
  WriteBytes("a.bmp", BuildBmp(s));
  ASSERT_EQ(Load(3, "a.bmp"), 1);
  ASSERT_EQ(Save("b.bmp", 3), 1);
  ASSERT_EQ(Load(4, "b.bmp"), 1);
  ExpectPixels(*PlaneAt(4), s);
}

TEST_P(EveryDepth, SavingARectangleTakesItsRowsBottomUp) {
  BmpSpec s = RandomBitmap(21, 9, GetParam(), 7);
  WriteBytes("a.bmp", BuildBmp(s));
  ASSERT_EQ(Load(3, "a.bmp"), 1);
  Addr rect = memory_.Args({3, 2, 17, 8});  // starts off a byte boundary at depths 1 and 4
  ASSERT_EQ(Save("part.bmp", 3, rect), 1);
  ASSERT_EQ(Load(4, "part.bmp"), 1);
  const Plane& whole = *PlaneAt(3);
  const Plane& part = *PlaneAt(4);
  ASSERT_EQ(part.width, 14);
  ASSERT_EQ(part.height, 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 14; ++x)
      ASSERT_EQ(Call(Native_getpixel, {4, x, y}), Call(Native_getpixel, {3, x + 3, y + 2})) << x << "," << y;
  EXPECT_EQ(std::memcmp(part.colours, whole.colours, sizeof whole.colours), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, EveryDepth, testing::Values(1, 4, 8, 16, 24, 32));

struct HeaderCase {
  const char* name;
  bool fileHeader;
  uint32_t headerBytes;
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class HeaderVariants : public BitmapFiles, public testing::WithParamInterface<HeaderCase> {};

TEST_P(HeaderVariants, Load) {
  for (uint16_t depth : {1, 4, 8, 24}) {
    BmpSpec s = RandomBitmap(9, 4, depth, depth);
    s.fileHeader = GetParam().fileHeader;
    s.headerBytes = GetParam().headerBytes;
    WriteBytes("h.bmp", BuildBmp(s));
    ASSERT_EQ(Load(3, "h.bmp"), 1) << depth;
    ExpectPixels(*PlaneAt(3), s);
  }
}

INSTANTIATE_TEST_SUITE_P(Headers, HeaderVariants,
                         testing::Values(HeaderCase{"FileAndInfo", true, 40},
                                         HeaderCase{"InfoOnly", false, 40},
                                         HeaderCase{"FileAndCore", true, 12},
                                         HeaderCase{"CoreOnly", false, 12}));

TEST_F(BitmapFiles, ColoursUsedShortensTheTableAndMovesThePixels) {
  BmpSpec s = RandomBitmap(4, 2, 8, 3);
  s.palette.resize(3);
  s.coloursUsed = 3;
  s.fileHeader = false;  // the pixels follow the three entries
  WriteBytes("c.bmp", BuildBmp(s));
  ASSERT_EQ(Load(3, "c.bmp"), 1);
  ExpectPixels(*PlaneAt(3), s);
  EXPECT_EQ(PlaneAt(3)->colours[3], 0u);
}

TEST_F(BitmapFiles, TheFileHeaderOffsetLocatesThePixels) {
  BmpSpec s = RandomBitmap(4, 2, 24, 3);
  std::vector<uint8_t> file = BuildBmp(s);
  file.insert(file.begin() + 54, 10, 0xCC);  // a gap before the pixels
  file[10] = 64;
  WriteBytes("o.bmp", file);
  ASSERT_EQ(Load(3, "o.bmp"), 1);
  ExpectPixels(*PlaneAt(3), s);
}

TEST_F(BitmapFiles, ASmallImageSizeReadsOnlyThatMuch) {
  BmpSpec s = RandomBitmap(4, 2, 8, 3);
  s.imageSize = 4;  // the bottom row only
  WriteBytes("s.bmp", BuildBmp(s));
  ASSERT_EQ(Load(3, "s.bmp"), 1);
  EXPECT_EQ(std::memcmp(PlaneAt(3)->host, s.pixels.data(), 4), 0);
  EXPECT_EQ(PlaneAt(3)->host[4], 0);
}

struct RefusedCase {
  const char* name;
  void (*change)(BmpSpec&);
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedFiles : public BitmapFiles, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedFiles, ReportTheFileAndLeaveTheSlotEmpty) {
  SetErrorLevel(1);
  BmpSpec s = RandomBitmap(6, 4, 8, 1);
  GetParam().change(s);
  WriteBytes("bad.bmp", BuildBmp(s));
  CreatePlane(3, 2, 2, 8);
  uint64_t live = TheArena().LiveBytes();
  EXPECT_EQ(Load(3, "bad.bmp"), 0);
  EXPECT_EQ(PlaneAt(3), nullptr);
  EXPECT_EQ(LastMessage(), "LoadPlane : 画像ファイルの読み込みに失敗しました。\nFile : bad.bmp");
  EXPECT_LE(TheArena().LiveBytes(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedFiles,
    testing::Values(RefusedCase{"V4Header", [](BmpSpec& s) { s.headerBytes = 108; }},
                    RefusedCase{"V5Header", [](BmpSpec& s) { s.headerBytes = 124; }},
                    RefusedCase{"Os2V2Header", [](BmpSpec& s) { s.headerBytes = 64; }},
                    RefusedCase{"TopDown", [](BmpSpec& s) { s.height = -4; }},
                    RefusedCase{"ZeroHeight", [](BmpSpec& s) { s.height = 0; }},
                    RefusedCase{"ZeroWidth", [](BmpSpec& s) { s.width = 0; }},
                    RefusedCase{"Rle8", [](BmpSpec& s) { s.compression = 1; }},
                    RefusedCase{"Rle4", [](BmpSpec& s) { s.compression = 2; }},
                    RefusedCase{"Bitfields", [](BmpSpec& s) { s.compression = 3; }},
                    RefusedCase{"Depth2", [](BmpSpec& s) { s.depth = 2; }},
                    RefusedCase{"Depth0", [](BmpSpec& s) { s.depth = 0; }},
                    RefusedCase{"Huge", [](BmpSpec& s) { s.width = s.height = 100000; }},
                    RefusedCase{"LargerThanTheFile", [](BmpSpec& s) { s.width = s.height = 20000; }},
                    RefusedCase{"BeyondThePlaneLimitWithASmallImageSize",
                                [](BmpSpec& s) {
                                  s.width = s.height = 30000;
                                  s.depth = 32;
                                  s.imageSize = 16;
                                }},
                    RefusedCase{"ShortPixels", [](BmpSpec& s) { s.pixels.pop_back(); }},
                    RefusedCase{"HugeColourTable", [](BmpSpec& s) { s.coloursUsed = 0x40000000; }},
                    RefusedCase{"NotABitmap", [](BmpSpec& s) {
                                  s.fileHeader = false;
                                  s.headerBytes = 0x4D42;
                                }}));

TEST_F(BitmapFiles, EveryTruncationIsRefused) {
  for (uint16_t depth : {1, 8, 24}) {
    std::vector<uint8_t> file = BuildBmp(RandomBitmap(3, 3, depth, 9));
    for (size_t n = 0; n < file.size(); ++n) {
      Plane* plane = LoadBitmap(3, file.data(), n);
      EXPECT_EQ(plane, nullptr) << "depth " << depth << ", " << n << " of " << file.size() << " bytes";
    }
    EXPECT_NE(LoadBitmap(3, file.data(), file.size()), nullptr);
  }
}

TEST_F(BitmapFiles, AMissingFileEmptiesTheGivenSlot) {
  SetErrorLevel(1);
  CreatePlane(3, 2, 2, 8);
  EXPECT_EQ(Load(3, "none.bmp"), 0);
  EXPECT_EQ(PlaneAt(3), nullptr);
  EXPECT_EQ(LastMessage(), "LoadPlane : 画像ファイルの読み込みに失敗しました。\nFile : none.bmp");
}

TEST_F(BitmapFiles, AnAddressArgumentReceivesTheSlot) {
  WriteBytes("a.bmp", BuildBmp(RandomBitmap(2, 2, 24, 1)));
  Addr slot = memory_.Buffer(4);
  EXPECT_EQ(Load(At(slot), "a.bmp"), 1);
  EXPECT_EQ(memory_.WordAt(slot), 1023);
  EXPECT_NE(PlaneAt(1023), nullptr);
}

TEST_F(BitmapFiles, LoadsFromPackArchivesAndCompressedFiles) {
  BmpSpec s = RandomBitmap(5, 5, 8, 4);
  WriteBytes("DATA/pic.bmp", BuildBmp(s));
  std::vector<std::string> words = {"pack", "DATA"};
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  ASSERT_EQ(RunArchiveTool(int(argv.size()), argv.data()), 0);
  fs::remove_all("DATA");
  ASSERT_EQ(Load(3, "DATA\\pic.bmp"), 1);
  ExpectPixels(*PlaneAt(3), s);

  WriteBytes("plain.bmp", BuildBmp(s));
  words = {"compress", "plain.bmp", "packed.bmp"};
  argv.clear();
  for (std::string& w : words) argv.push_back(w.data());
  ASSERT_EQ(RunArchiveTool(int(argv.size()), argv.data()), 0);
  ASSERT_EQ(Load(4, "packed.bmp"), 1);
  ExpectPixels(*PlaneAt(4), s);
}

TEST_F(BitmapFiles, SavedHeadersDescribeTheFile) {
  Plane& plane = MakePlane(3, 10, 4, 8);
  plane.colours[7] = 0x01020304;
  Addr rect = memory_.Args({-5, 1, 30, 3});  // wider than the plane
  ASSERT_EQ(Save("h.bmp", 3, rect), 1);
  std::vector<uint8_t> file = ReadBytes("h.bmp");
  auto word = [&](size_t at) {
    return uint32_t(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24);
  };
  ASSERT_EQ(file.size(), 54u + 1024 + 12 * 2);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(word(2), file.size());
  EXPECT_EQ(word(6), 0u);
  EXPECT_EQ(word(10), 54u + 1024);
  EXPECT_EQ(word(14), 40u);
  EXPECT_EQ(word(18), 10u);
  EXPECT_EQ(word(22), 2u);
  EXPECT_EQ(word(26), 1u | 8u << 16);
  EXPECT_EQ(word(30), 0u);
  EXPECT_EQ(word(34), 24u);
  EXPECT_EQ(word(46), 256u);
  EXPECT_EQ(word(50), 256u);
  EXPECT_EQ(word(54 + 7 * 4), 0x01020304u);
}

TEST_F(BitmapFiles, SavingNothingFails) {
  MakePlane(3, 10, 4, 24);
  EXPECT_EQ(Save("n.bmp", 3, memory_.Args({10, 0, 20, 4})), 0);
  EXPECT_EQ(Save("n.bmp", 3, memory_.Args({5, 3, 2, 4})), 0);
  EXPECT_EQ(Save("n.bmp", 4), 0);
  EXPECT_FALSE(fs::exists("n.bmp"));
}

TEST_F(BitmapFiles, SavingReplacesAnExistingFileWhole) {
  WriteBytes("r.bmp", std::vector<uint8_t>(100000, 0xAA));
  MakePlane(3, 2, 2, 24);
  ASSERT_EQ(Save("r.bmp", 3), 1);
  EXPECT_EQ(ReadBytes("r.bmp").size(), 54u + 16);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(BitmapFiles, AFileThatCannotBeCreatedIsReported) {
  MakePlane(3, 2, 2, 24);
  EXPECT_EQ(Save("nowhere\\x.bmp", 3), 0);
  EXPECT_EQ(LastMessage(), "SavePlane : 'nowhere\\x.bmp' ファイルの作成に失敗しました。");
  fs::create_directory("taken.bmp");
  EXPECT_EQ(Save("taken.bmp", 3), 0);
  EXPECT_EQ(LastMessage(), "SavePlane : 'taken.bmp' ファイルの作成に失敗しました。");
}

}  // namespace
}  // namespace qavz
