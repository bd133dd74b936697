// Bitmap files exchanged with other programs: files that ImageMagick and
// Python's PIL write load with the same pixels, and files gsave writes read
// back in them with the same colours. A test skips when its tool is missing
// (CI installs both).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <tuple>

#include "tests/unit/graphics/plane_test_support.h"

namespace qavz {
namespace {

using test::GraphicsTest;
using test::ReadBytes;
using test::WriteBytes;

std::string ImageMagick() {
  for (const char* path : {"/usr/bin/convert", "/usr/bin/magick"})
    if (access(path, X_OK) == 0) return path;
  return "";
}

std::string PythonWithPil() {
  for (const char* path : {"/usr/bin/python3", "/usr/local/bin/python3"})
    if (access(path, X_OK) == 0 &&
        std::system((std::string(path) + " -c 'import PIL' 2>/dev/null").c_str()) == 0)
      return path;
  return "";
}

bool RunTool(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

constexpr int32_t kWidth = 9, kHeight = 5;

// The picture's colour at (x, y): `colours` distinct colours, or black and
// white for 2.
uint32_t PictureColour(int32_t x, int32_t y, int colours) {
  int i = (x + y * kWidth) % colours;
  if (colours == 2) return i ? 0xFFFFFF : 0;
  return uint32_t((i * 97) % 256) << 16 | uint32_t((i * 53 + 40) % 256) << 8 | uint32_t((i * 29 + 200) % 256);
}

void WritePpm(const std::string& path, int colours) {
  std::vector<uint8_t> bytes;
  std::string head = "P6 " + std::to_string(kWidth) + " " + std::to_string(kHeight) + " 255\n";
  bytes.assign(head.begin(), head.end());
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      uint32_t c = PictureColour(x, y, colours);
      bytes.insert(bytes.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
  WriteBytes(path, bytes);
}

struct ForeignCase {
  const char* name;
  bool python;
  const char* command;  // %s: the tool, then input and output are in.ppm and out.bmp
  int colours;
  int32_t depth;  // 0: the file is refused
};
void PrintTo(const ForeignCase& c, std::ostream* os) { *os << c.name; }

class ForeignBitmaps : public GraphicsTest, public testing::WithParamInterface<ForeignCase> {};

TEST_P(ForeignBitmaps, LoadWithTheSamePixels) {
  const ForeignCase& c = GetParam();
  std::string tool = c.python ? PythonWithPil() : ImageMagick();
  if (tool.empty()) GTEST_SKIP() << (c.python ? "python3 with PIL" : "ImageMagick") << " is not installed";
  WritePpm("in.ppm", c.colours);
  char command[512];
  std::snprintf(command, sizeof command, c.command, tool.c_str());
  ASSERT_TRUE(RunTool(command)) << command;
  int32_t loaded = Call(Native_gload, {3, At(memory_.Str("out.bmp"))});
  if (c.depth == 0) {
    EXPECT_EQ(loaded, 0);
    return;
  }
  ASSERT_EQ(loaded, 1);
  EXPECT_EQ(PlaneAt(3)->depth, c.depth);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      ASSERT_EQ(uint32_t(Call(Native_getpixel, {3, x, y})), PictureColour(x, y, c.colours)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Writers, ForeignBitmaps,
    testing::Values(
        ForeignCase{"ImageMagick24", false, "%s in.ppm BMP3:out.bmp", 40, 24},
        ForeignCase{"ImageMagick8", false, "%s in.ppm -type Palette -compress none BMP3:out.bmp", 20, 8},
        // It run-length encodes 8-bit files unless told not to.
        ForeignCase{"ImageMagickRle8", false, "%s in.ppm -type Palette BMP3:out.bmp", 20, 0},
        ForeignCase{"ImageMagick4", false, "%s in.ppm -type Palette BMP3:out.bmp", 12, 4},
        ForeignCase{"ImageMagick1", false, "%s in.ppm -type Bilevel BMP3:out.bmp", 2, 1},
        // Its default header is the 124-byte one, which is not read.
        ForeignCase{"ImageMagickDefault", false, "%s in.ppm out.bmp", 40, 0},
        ForeignCase{"Pil24", true, "%s -c \"from PIL import Image; Image.open('in.ppm').save('out.bmp')\"",
                    40, 24},
        ForeignCase{"Pil8", true,
                    "%s -c \"from PIL import Image; Image.open('in.ppm').convert('P', "
                    "palette=Image.ADAPTIVE).save('out.bmp')\"",
                    20, 8},
        ForeignCase{"Pil1", true,
                    "%s -c \"from PIL import Image; Image.open('in.ppm').convert('1').save('out.bmp')\"", 2,
                    1},
        ForeignCase{"Pil32", true,
                    "%s -c \"from PIL import Image; Image.open('in.ppm').convert('RGBA').save('out.bmp')\"",
                    40, 32}));

struct ReaderCase {
  const char* name;
  bool python;
  const char* command;  // %s: the tool; reads saved.bmp, writes out.rgb (8-bit RGB rows, top first)
};
void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }

class SavedBitmaps : public GraphicsTest,
                     public testing::WithParamInterface<std::tuple<ReaderCase, int32_t>> {};

TEST_P(SavedBitmaps, OpenInOtherPrograms) {
  const ReaderCase& reader = std::get<0>(GetParam());
  int32_t depth = std::get<1>(GetParam());
  std::string tool = reader.python ? PythonWithPil() : ImageMagick();
  if (tool.empty()) GTEST_SKIP() << reader.name << " is not installed";
  Plane& plane = MakePlane(3, kWidth, kHeight, depth);
  std::mt19937 random{uint32_t(depth)};
  for (size_t i = 0; i < plane.ImageBytes(); ++i) plane.host[i] = uint8_t(random());
  for (int32_t i = 0; i < plane.colourCount; ++i) plane.colours[i] = random() & 0xFFFFFF;
  ASSERT_EQ(Call(Native_gsave, {At(memory_.Str("saved.bmp")), 3, 0}), 1);
  char command[512];
  std::snprintf(command, sizeof command, reader.command, tool.c_str());
  ASSERT_TRUE(RunTool(command)) << command;
  std::vector<uint8_t> rgb = ReadBytes("out.rgb");
  ASSERT_EQ(rgb.size(), size_t(kWidth * kHeight * 3));
  // Readers widen 5-bit channels by bit replication or by scaling.
  int tolerance = depth == 16 ? 1 : 0;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      uint32_t want = uint32_t(Call(Native_getpixel, {3, x, y}));
      const uint8_t* got = &rgb[size_t((y * kWidth + x) * 3)];
      for (int ch = 0; ch < 3; ++ch)
        ASSERT_NEAR(got[ch], (want >> (16 - 8 * ch)) & 0xFF, tolerance) << x << "," << y << " channel " << ch;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Readers, SavedBitmaps,
    testing::Combine(testing::Values(ReaderCase{"ImageMagick", false,
                                                "%s saved.bmp -alpha off -depth 8 rgb:out.rgb"},
                                     ReaderCase{"Pil", true,
                                                "%s -c \"from PIL import Image; open('out.rgb', 'wb').write("
                                                "Image.open('saved.bmp').convert('RGB').tobytes())\""}),
                     testing::Values(1, 4, 8, 16, 24, 32)),
    [](const testing::TestParamInfo<std::tuple<ReaderCase, int32_t>>& info) {
      return std::string(std::get<0>(info.param).name) + std::to_string(std::get<1>(info.param));
    });

}  // namespace
}  // namespace qavz
