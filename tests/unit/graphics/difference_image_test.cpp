#include "graphics/difference_image.h"

#include <gtest/gtest.h>

#include "tests/unit/graphics/plane_test_support.h"

namespace qavz {
namespace {

using test::GraphicsTest;

std::vector<uint8_t> BuildDiff(int32_t depth, Rect rect, std::vector<uint8_t> codes,
                               const char* magic = "DIFF") {
  std::vector<uint8_t> image(12, 0x77);  // bytes 4 to 11 are not read
  std::memcpy(image.data(), magic, 4);
  for (int32_t v : {depth, rect.left, rect.top, rect.right, rect.bottom})
    for (int i = 0; i < 4; ++i) image.push_back(uint8_t(uint32_t(v) >> (8 * i)));
  image.insert(image.end(), codes.begin(), codes.end());
  return image;
}

class DifferenceImages : public GraphicsTest, public testing::WithParamInterface<int32_t> {
 protected:
  Plane& Target() {
    Plane& plane = MakePlane(2, 8, 6, GetParam());
    std::memset(plane.host, 0x11, plane.ImageBytes());
    return plane;
  }
  std::vector<uint8_t> Pixels(int count, uint8_t first) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count * GetParam() / 8; ++i) bytes.push_back(uint8_t(first + i));
    return bytes;
  }
  // Skip `skip`, copy `count` pixels; optionally end the line.
  std::vector<uint8_t> Run(uint8_t skip, int count, uint8_t first, bool endLine) {
    std::vector<uint8_t> codes;
    if (skip) codes.push_back(skip);
    codes.push_back(0);
    codes.push_back(uint8_t(count + 1));
    std::vector<uint8_t> pixels = Pixels(count, first);
    codes.insert(codes.end(), pixels.begin(), pixels.end());
    if (endLine) codes.insert(codes.end(), {0, 0});
    return codes;
  }
  int32_t Dcopy(int32_t x, int32_t y, const std::vector<uint8_t>& image, Addr rect = 0) {
    Addr at = memory_.Buffer(uint32_t(image.size()));
    std::memcpy(memory_.Host(at), image.data(), image.size());
    return Call(Native_dcopy, {2, x, y, At(at), At(rect)});
  }
};

TEST_P(DifferenceImages, RunsSkipCopyAndEndLines) {
  Plane& plane = Target();
  std::vector<uint8_t> codes = Run(1, 2, 0x40, true);
  std::vector<uint8_t> second = Run(0, 1, 0x60, false);
  codes.insert(codes.end(), second.begin(), second.end());
  codes.insert(codes.end(), {0, 1});
  ASSERT_EQ(Dcopy(3, 2, BuildDiff(GetParam(), {1, 0, 3, 2}, codes)), 1);
  int32_t bpp = GetParam() / 8;
  EXPECT_EQ(plane.Pixel(3, 2)[0], 0x11);
  std::vector<uint8_t> two = Pixels(2, 0x40), one = Pixels(1, 0x60);
  EXPECT_EQ(std::memcmp(plane.Pixel(4, 2), two.data(), two.size()), 0);
  EXPECT_EQ(plane.Pixel(6, 2)[0], 0x11);
  EXPECT_EQ(std::memcmp(plane.Pixel(3, 3), one.data(), one.size()), 0);
  EXPECT_EQ(plane.Pixel(3, 3)[bpp], 0x11);
}

TEST_P(DifferenceImages, ARectangleOnePixelPastAnEdgeIsRefused) {
  Plane& plane = Target();
  std::vector<uint8_t> before(plane.host, plane.host + plane.ImageBytes());
  std::vector<uint8_t> codes = Run(0, 1, 0x40, false);
  codes.insert(codes.end(), {0, 1});
  // Placed at (2, 1): the rectangle (0, 0, 6, 5) just fits the 8 x 6 plane.
  for (Rect r : {Rect{0, 0, 7, 5}, Rect{0, 0, 6, 6}, Rect{-3, 0, 6, 5}, Rect{0, -2, 6, 5}}) {
    EXPECT_EQ(Dcopy(2, 1, BuildDiff(GetParam(), r, codes)), 0) << r.left << "," << r.top << "," << r.right;
    EXPECT_EQ(std::vector<uint8_t>(plane.host, plane.host + plane.ImageBytes()), before);
  }
  EXPECT_EQ(Dcopy(2, 1, BuildDiff(GetParam(), {0, 0, 6, 5}, codes)), 1);
}

TEST_P(DifferenceImages, MalformedImagesLeaveThePlaneUntouched) {
  Plane& plane = Target();
  std::vector<uint8_t> before(plane.host, plane.host + plane.ImageBytes());
  std::vector<uint8_t> good = Run(0, 2, 0x40, false);
  good.insert(good.end(), {0, 1});
  std::vector<uint8_t> noEnd = Run(0, 2, 0x40, true);     // runs out of data
  std::vector<uint8_t> pastRow = Run(5, 4, 0x40, false);  // past the row's end
  pastRow.insert(pastRow.end(), {0, 1});
  std::vector<uint8_t> belowPlane = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
  std::vector<uint8_t> pixels = Pixels(1, 0x40);
  belowPlane.insert(belowPlane.end(), pixels.begin(), pixels.end());
  belowPlane.insert(belowPlane.end(), {0, 1});
  std::vector<uint8_t> cutPixels = Run(0, 3, 0x40, false);
  cutPixels.pop_back();
  std::vector<uint8_t> cutHeader = BuildDiff(GetParam(), {0, 0, 8, 6}, {});
  cutHeader.pop_back();
  const std::vector<std::vector<uint8_t>> images = {
      BuildDiff(GetParam(), {0, 0, 8, 6}, good, "DIFX"),
      BuildDiff(GetParam() == 8 ? 16 : 8, {0, 0, 8, 6}, good),
      BuildDiff(GetParam(), {0, 0, 0, 6}, good),
      BuildDiff(GetParam(), {0, 3, 8, 3}, good),
      BuildDiff(GetParam(), {0, 0, 8, 6}, noEnd),
      BuildDiff(GetParam(), {0, 0, 8, 6}, pastRow),
      BuildDiff(GetParam(), {0, 0, 8, 6}, belowPlane),
      BuildDiff(GetParam(), {0, 0, 8, 6}, cutPixels),
      BuildDiff(GetParam(), {0, 0, 8, 6}, {0}),
      cutHeader,
  };
  for (size_t i = 0; i < images.size(); ++i) {
    EXPECT_FALSE(ApplyDifference(plane, 0, 0, images[i].data(), images[i].size())) << "image " << i;
    EXPECT_EQ(std::vector<uint8_t>(plane.host, plane.host + plane.ImageBytes()), before) << "image " << i;
  }
}

TEST_P(DifferenceImages, DloadCopiesTheRectangleEvenWhenRefused) {
  Plane& plane = Target();
  std::vector<uint8_t> codes = Run(0, 1, 0x40, false);
  codes.insert(codes.end(), {0, 1});
  test::WriteBytes("d.dif", BuildDiff(GetParam(), {1, 2, 3, 4}, codes));
  Addr name = memory_.Str("d.dif");
  Addr rect = memory_.Buffer(16);
  EXPECT_EQ(Call(Native_dload, {2, 7, 0, At(name), At(rect)}), 0);  // x + right = 10 > 8
  EXPECT_EQ(memory_.WordAt(rect), 1);
  EXPECT_EQ(memory_.WordAt(rect + 12), 4);
  EXPECT_EQ(Call(Native_dload, {2, 0, 0, At(name), 0}), 1);
  std::vector<uint8_t> pixel = Pixels(1, 0x40);
  EXPECT_EQ(std::memcmp(plane.Pixel(0, 0), pixel.data(), pixel.size()), 0);
  EXPECT_EQ(Call(Native_dload, {2, 0, 0, At(memory_.Str("none.dif")), 0}), 0);
  EXPECT_EQ(Call(Native_dload, {3, 0, 0, At(name), 0}), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, DifferenceImages, testing::Values(8, 16, 24, 32));

TEST_F(GraphicsTest, DifferenceImagesRefuseSubBytePlanes) {
  for (int32_t depth : {1, 4}) {
    Plane& plane = MakePlane(2, 16, 4, depth);
    std::vector<uint8_t> image = BuildDiff(depth, {0, 0, 8, 4}, {0, 2, 0xFF, 0, 1});
    EXPECT_FALSE(ApplyDifference(plane, 0, 0, image.data(), image.size()));
    EXPECT_EQ(plane.host[plane.ImageBytes() - plane.pitch], 0);
  }
}

TEST_F(GraphicsTest, DcopyNeverReadsPastLiveMemory) {
  Plane& plane = MakePlane(2, 64, 4, 8);
  // The image sits at the very end of its block; its runs would go on into
  // the next page, which is not live.
  std::vector<uint8_t> image = BuildDiff(8, {0, 0, 64, 4}, {0, 40});
  Addr at = memory_.Tail(uint32_t(image.size()) + 39);
  std::memcpy(memory_.Host(at), image.data(), image.size());
  std::memset(memory_.Host(at + uint32_t(image.size())), 0x5A, 39);
  EXPECT_EQ(Call(Native_dcopy, {2, 0, 0, At(at), 0}), 0);
  EXPECT_EQ(plane.Pixel(0, 0)[0], 0);
}

}  // namespace
}  // namespace qavz
