// The 56 pixel operations of every implementation against a model written
// from the formulas: K0..K4 exactly (portable and vector roundings), and
// the shared slots (keyed copy, conversions, desaturate, grey tint).
#include "graphics/pixel_ops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/blend_tables.h"

namespace qavz {
namespace {

// Formats in slot order: bytes per pixel and the (shift, bits) of each channel.
struct Field {
  int shift, bits;
};
struct FormatModel {
  const char* name;
  int bytes;
  std::vector<Field> fields;  // blended channels, the 32-bit alpha byte included
  uint32_t keyBits;
};
const FormatModel kFormats[4] = {
    {"32", 4, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}, 0xFFFFFF},
    {"24", 3, {{0, 8}, {8, 8}, {16, 8}}, 0xFFFFFF},
    {"565", 2, {{0, 5}, {5, 6}, {11, 5}}, 0xFFFF},
    {"555", 2, {{0, 5}, {5, 5}, {10, 5}}, 0x7FFF},
};

uint32_t Get(uint32_t p, Field f) { return (p >> f.shift) & ((1u << f.bits) - 1); }

// One channel blended by the formulas. `vector`: weight w + (w >> 7) on
// 8 bits for every format; portable: w + 1, and 5-bit weights for 16 bits.
int32_t LerpChannel(bool vector, bool sixteen, bool maskWeight, int32_t s, int32_t u, int32_t w) {
  if (vector) {
    int32_t wv = w + (w >> 7);
    return (s * (256 - wv) + u * wv) >> 8;
  }
  if (!sixteen) return (s * 256 + (u - s) * (w + 1)) >> 8;
  int32_t w5 = maskWeight ? (w + 1) >> 3 : w / 8 + 1;
  return (s * 32 + (u - s) * w5) >> 5;
}
int32_t TintChannel(bool vector, bool sixteen, int32_t c, int32_t s, int32_t a) {
  if (vector) {
    int32_t wv = a + (a >> 7);
    return (c * wv + s * (256 - wv)) >> 8;
  }
  if (!sixteen) return (c * (a + 1) + s * (255 - a)) / 256;
  return (c * (a / 8 + 1) + s * (32 - a / 8)) >> 5;
}

uint32_t LerpPixel(const FormatModel& f, bool vector, bool maskWeight, uint32_t s, uint32_t u, int32_t w) {
  uint32_t out = 0;
  for (Field c : f.fields)
    out |= uint32_t(LerpChannel(vector, f.bytes == 2, maskWeight, int32_t(Get(s, c)), int32_t(Get(u, c)), w))
           << c.shift;
  return out;
}
uint32_t TintPixel(const FormatModel& f, bool vector, uint32_t colour, uint32_t s, int32_t a) {
  uint32_t out = 0;
  for (Field c : f.fields)
    out |= uint32_t(TintChannel(vector, f.bytes == 2, int32_t(Get(colour, c)), int32_t(Get(s, c)), a))
           << c.shift;
  return out;
}

// A bottom-up image of random bytes, as planes store them.
struct TestImage {
  int32_t width, height, bytes, pitch;
  std::vector<uint8_t> data;
  TestImage(int32_t w, int32_t h, int32_t b, std::mt19937& rng) : width(w), height(h), bytes(b) {
    pitch = (w * b + 3) & ~3;
    data.resize(size_t(pitch) * h);
    for (uint8_t& v : data) v = uint8_t(rng());
  }
  uint8_t* At(int32_t x, int32_t y) {
    return data.data() + size_t(height - 1 - y) * pitch + size_t(x) * bytes;
  }
  uint32_t Pixel(int32_t x, int32_t y) {
    uint32_t v = 0;
    std::memcpy(&v, At(x, y), size_t(bytes));
    return v;
  }
  void Set(int32_t x, int32_t y, uint32_t v) { std::memcpy(At(x, y), &v, size_t(bytes)); }
  Image Img() { return {At(0, 0), -ptrdiff_t(pitch)}; }
  ConstImage Const() { return {At(0, 0), -ptrdiff_t(pitch)}; }
};

uint32_t Mask(int bytes) { return bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1; }

struct Impl {
  const char* name;
  bool vector;
};

class PixelOpsTest : public testing::TestWithParam<std::tuple<std::string, int>> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BuildBlendTables());
    implName_ = std::get<0>(GetParam());
    format_ = std::get<1>(GetParam());
    ops_ = implName_ == "portable" ? &PortablePixelOps() : VectorPixelOps();
    if (!ops_) GTEST_SKIP() << "no vector unit";
  }
  const FormatModel& F() const { return kFormats[format_]; }
  bool Vector() const { return implName_ != "portable"; }
  std::string implName_;
  int format_ = 0;
  const PixelOps* ops_ = nullptr;
  std::mt19937 rng_{1234};
};

// Sizes that leave register tails in every implementation.
constexpr int32_t kW = 37, kH = 5;

TEST_P(PixelOpsTest, LerpTintAndMaskedOperationsFollowTheFormulas) {
  const FormatModel& f = F();
  const PixelGroup& g = ops_->group[format_];
  for (uint32_t alpha : {0u, 1u, 7u, 8u, 127u, 128u, 200u, 255u}) {
    TestImage s(kW, kH, f.bytes, rng_), u(kW, kH, f.bytes, rng_), dst(kW, kH, f.bytes, rng_);
    TestImage mask(kW, kH, 1, rng_);
    uint32_t colour = uint32_t(rng_()) & Mask(f.bytes);
    g.lerp(alpha, kW, kH, dst.Img(), s.Const(), u.Const());
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        ASSERT_EQ(dst.Pixel(x, y),
                  LerpPixel(f, Vector(), false, s.Pixel(x, y), u.Pixel(x, y), int32_t(alpha)))
            << "K3 alpha " << alpha << " at " << x << "," << y;
    g.tint(alpha, kW, kH, dst.Img(), s.Const(), colour);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        ASSERT_EQ(dst.Pixel(x, y), TintPixel(f, Vector(), colour, s.Pixel(x, y), int32_t(alpha))) << "K4";
    g.maskedLerp(mask.Const(), kW, kH, dst.Img(), s.Const(), u.Const());
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        ASSERT_EQ(dst.Pixel(x, y),
                  LerpPixel(f, Vector(), true, s.Pixel(x, y), u.Pixel(x, y), mask.Pixel(x, y)))
            << "K1";
    g.maskedColour(mask.Const(), kW, kH, dst.Img(), s.Const(), colour);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        ASSERT_EQ(dst.Pixel(x, y), LerpPixel(f, Vector(), true, s.Pixel(x, y), colour, mask.Pixel(x, y)))
            << "K2";
  }
}

TEST_P(PixelOpsTest, KeyedLerpKeepsSourceWhereTheSecondImageIsTheKey) {
  const FormatModel& f = F();
  TestImage s(kW, kH, f.bytes, rng_), u(kW, kH, f.bytes, rng_), dst(kW, kH, f.bytes, rng_);
  uint32_t key = u.Pixel(3, 2);
  // Every third pixel is the key, some with other bits above the compared ones.
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; x += 3)
      u.Set(x, y, (key & f.keyBits) | (uint32_t(rng_()) & ~f.keyBits & Mask(f.bytes)));
  for (uint32_t alpha : {0u, 100u, 255u}) {
    ops_->group[format_].keyedLerp(alpha, kW, kH, dst.Img(), s.Const(), u.Const(), key);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        uint32_t sv = s.Pixel(x, y), uv = u.Pixel(x, y);
        uint32_t want = (uv & f.keyBits) == (key & f.keyBits)
                            ? sv
                            : LerpPixel(f, Vector(), false, sv, uv, int32_t(alpha));
        ASSERT_EQ(dst.Pixel(x, y), want) << x << "," << y;
      }
  }
}

TEST_P(PixelOpsTest, KeyedCopySkipsTheKey) {
  const FormatModel& f = F();
  TestImage src(kW, kH, f.bytes, rng_), dst(kW, kH, f.bytes, rng_);
  TestImage before = dst;
  uint32_t key = src.Pixel(0, 0);
  for (int32_t x = 0; x < kW; x += 2) src.Set(x, 1, key);
  ops_->keyedCopy[format_](key, kW, kH, dst.Img(), src.Const());
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      bool keyed = (src.Pixel(x, y) & f.keyBits) == (key & f.keyBits);
      ASSERT_EQ(dst.Pixel(x, y), keyed ? before.Pixel(x, y) : src.Pixel(x, y));
    }
}

// Desaturate and grey tint: 16-bit fields widened by bit replication,
// narrowed by truncation; a 32-bit pixel keeps its alpha.
uint32_t Widen(uint32_t v, int bits) {
  return bits == 8 ? v : bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4);
}

uint32_t RecolourModel(const FormatModel& f, uint32_t p, bool grey, uint32_t value) {
  uint32_t c8[3];
  for (int i = 0; i < 3; ++i) c8[i] = Widen(Get(p, f.fields[i]), f.fields[i].bits);
  int32_t y = 38 * int32_t(c8[2]) + 77 * int32_t(c8[1]) + 13 * int32_t(c8[0]);
  uint32_t out = f.bytes == 4 ? p & 0xFF000000 : 0;
  for (int i = 0; i < 3; ++i) {
    int32_t c = int32_t(c8[i]);
    int32_t r = grey ? ((int32_t((value >> (8 * i)) & 255) + 1) * y) >> 15
                     : c + (((int32_t(value) + 1) * (y - 128 * c)) >> 15);
    out |= (uint32_t(r) >> (8 - f.fields[i].bits)) << f.fields[i].shift;
  }
  return out;
}

TEST_P(PixelOpsTest, DesaturateAndGreyTintFollowTheLuminance) {
  const FormatModel& f = F();
  for (bool grey : {false, true})
    for (bool keyed : {false, true}) {
      TestImage src(kW, kH, f.bytes, rng_), dst(kW, kH, f.bytes, rng_);
      TestImage before = dst;
      uint32_t key = src.Pixel(1, 1), value = grey ? uint32_t(rng_()) & 0xFFFFFF : 170;
      if (grey) {
        keyed ? ops_->greyTint[format_].keyed(value, kW, kH, dst.Img(), src.Const(), key)
              : ops_->greyTint[format_].plain(value, kW, kH, dst.Img(), src.Const());
      } else {
        keyed ? ops_->desaturate[format_].keyed(value, kW, kH, dst.Img(), src.Const(), key)
              : ops_->desaturate[format_].plain(value, kW, kH, dst.Img(), src.Const());
      }
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
          uint32_t p = src.Pixel(x, y);
          bool skip = keyed && (p & f.keyBits) == (key & f.keyBits);
          ASSERT_EQ(dst.Pixel(x, y), skip ? before.Pixel(x, y) : RecolourModel(f, p, grey, value))
              << (grey ? "grey" : "desaturate") << (keyed ? " keyed" : "") << " at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, PixelOpsTest,
                         testing::Combine(testing::Values("portable", "vector"), testing::Range(0, 4)),
                         [](const auto& info) {
                           return std::get<0>(info.param) + "_" + kFormats[std::get<1>(info.param)].name;
                         });

// Conversions: slot 24 + 4 * source + destination in the order 5-5-5, 5-6-5, 24, 32.
uint32_t ToRgbModel(int format, uint32_t p) {
  auto c = [](uint32_t v, int bits) { return Widen(v, bits); };
  switch (format) {
    case 0:
      return c((p >> 10) & 31, 5) << 16 | c((p >> 5) & 31, 5) << 8 | c(p & 31, 5);
    case 1:
      return c((p >> 11) & 31, 5) << 16 | c((p >> 5) & 63, 6) << 8 | c(p & 31, 5);
    default:
      return p & 0xFFFFFF;
  }
}
uint32_t ConvertModel(int from, int to, uint32_t p) {
  if (from == to) return p;
  if (from == 0 && to == 1) {
    uint32_t g = (p >> 5) & 31;
    return (((p >> 10) & 31) << 11) | (((g << 1) | (g & 1)) << 5) | (p & 31);
  }
  if (from == 1 && to == 0) return (((p >> 11) & 31) << 10) | (((p >> 6) & 31) << 5) | (p & 31);
  uint32_t rgb = ToRgbModel(from, p);
  uint32_t r = rgb >> 16 & 255, g = rgb >> 8 & 255, b = rgb & 255;
  switch (to) {
    case 0:
      return (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
    case 1:
      return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    case 2:
      return rgb;
    default:
      return rgb | 0xFF000000;
  }
}

TEST(PixelOpsConvert, EveryPairInEveryImplementation) {
  ASSERT_TRUE(BuildBlendTables());
  const int bytes[4] = {2, 2, 3, 4};
  for (const PixelOps* ops : {&PortablePixelOps(), VectorPixelOps()}) {
    if (!ops) continue;
    std::mt19937 rng(99);
    for (int from = 0; from < 4; ++from)
      for (int to = 0; to < 4; ++to) {
        TestImage src(kW, kH, bytes[from], rng), dst(kW, kH, bytes[to], rng);
        ops->convert[from][to](kW, kH, dst.Img(), src.Const());
        for (int32_t y = 0; y < kH; ++y)
          for (int32_t x = 0; x < kW; ++x)
            ASSERT_EQ(dst.Pixel(x, y), ConvertModel(from, to, src.Pixel(x, y)))
                << "slot " << 24 + 4 * from + to << " at " << x << "," << y;
      }
  }
}

TEST(PixelOpsConvert, FiveFiveFiveToFiveSixFiveRepeatsTheLowGreenBit) {
  uint16_t in[2] = {uint16_t(1 << 5), uint16_t(30 << 5)}, out[2] = {};
  PortablePixelOps().convert[kConvert555][kConvert565](2, 1, Image{reinterpret_cast<uint8_t*>(out), 4},
                                                       ConstImage{reinterpret_cast<uint8_t*>(in), 4});
  EXPECT_EQ(out[0], 3 << 5);
  EXPECT_EQ(out[1], 60 << 5);
}

TEST(PixelOpsEdges, PortableLerpAtFullAlphaGivesTheSecondImage) {
  std::mt19937 rng(5);
  for (int format = 0; format < 4; ++format) {
    TestImage s(kW, kH, kFormats[format].bytes, rng), u(kW, kH, kFormats[format].bytes, rng);
    TestImage dst(kW, kH, kFormats[format].bytes, rng);
    PortablePixelOps().group[format].lerp(255, kW, kH, dst.Img(), s.Const(), u.Const());
    uint32_t used = format == 3 ? 0x7FFF : Mask(kFormats[format].bytes);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        ASSERT_EQ(dst.Pixel(x, y), u.Pixel(x, y) & used) << kFormats[format].name;
  }
}

TEST(PixelOpsEdges, VectorDiffersFromPortableByAtMostOneUnitOnBytes) {
  const PixelOps* vector = VectorPixelOps();
  if (!vector) GTEST_SKIP() << "no vector unit";
  std::mt19937 rng(8);
  for (int format : {kFormat32, kFormat24}) {
    int bytes = kFormats[format].bytes;
    TestImage s(kW, kH, bytes, rng), u(kW, kH, bytes, rng), a(kW, kH, bytes, rng), b(kW, kH, bytes, rng);
    for (uint32_t alpha = 0; alpha < 256; alpha += 5) {
      PortablePixelOps().group[format].lerp(alpha, kW, kH, a.Img(), s.Const(), u.Const());
      vector->group[format].lerp(alpha, kW, kH, b.Img(), s.Const(), u.Const());
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW * bytes; ++x) {
          int diff = int(a.At(0, y)[x]) - int(b.At(0, y)[x]);
          ASSERT_LE(std::abs(diff), 1) << "alpha " << alpha;
        }
    }
  }
}

TEST(PixelImplementationChain, ForcedPortableAndBack) {
  std::string before = ThePixelImplementation().name;
  ASSERT_TRUE(SelectPixelImplementation("portable"));
  EXPECT_STREQ(ThePixelImplementation().name, "portable");
  EXPECT_EQ(ThePixelImplementation().ops, &PortablePixelOps());
  EXPECT_FALSE(SelectPixelImplementation("mmx2000"));
  EXPECT_STREQ(ThePixelImplementation().name, "portable");
  ASSERT_TRUE(SelectPixelImplementation(before.c_str()));
}

}  // namespace
}  // namespace qavz
