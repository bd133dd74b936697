// Every blend mode for every pair of depths, through gblit (the loop
// tables) and gcopy (the direct paths), checked pixel by pixel against a
// model written from the formulas, in every pixel implementation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/config.h"
#include "graphics/blend_tables.h"
#include "graphics/blit.h"
#include "graphics/colour.h"
#include "graphics/pixel_ops.h"
#include "graphics/plane.h"
#include "vm/system_variables.h"

namespace qavz {
namespace {

constexpr int32_t kDst = 1000, kSrc = 1001, kMask = 1002;
// Wide enough for every register width and its row-end tail; the alpha-run
// scenes are wider, so that runs fill four registers of eight pixels.
constexpr int32_t kNarrow = 19, kWide = 70, kH = 6;

// ---- the model ----

uint32_t T(uint32_t a, uint32_t v) { return (a * v + 128) / 255; }
uint32_t Composite(uint32_t i, uint32_t k) {
  if (i == 0) return 255;
  double ratio = double(k) / i;
  return uint32_t(std::min(255.0, std::trunc(255.0 * ratio / (1.0 - k / 255.0 + ratio))));
}
uint32_t E5(uint32_t f) { return f * 255 / 31; }
uint32_t To555(uint32_t rgb) {
  return ((rgb >> 19) & 31) << 10 | ((rgb >> 11) & 31) << 5 | ((rgb >> 3) & 31);
}
uint32_t Rgb555(uint32_t p) { return E5((p >> 10) & 31) << 16 | E5((p >> 5) & 31) << 8 | E5(p & 31); }
uint32_t Ch(uint32_t p, int i) { return (p >> (8 * i)) & 255; }

struct Scene {
  const Plane* dst;
  const Plane* src;
  const Plane* mask;
  BlitParams p;
  bool mapping;
  bool gcopy;
  bool mmx;
  bool vectorOps;
};

uint32_t Raw(const Plane& plane, int32_t x, int32_t y) {
  uint32_t v = 0;
  std::memcpy(&v, plane.Pixel(x, y), size_t(plane.depth / 8));
  return v;
}

// The colour of a raw pixel as an RGB value.
uint32_t RgbOf(const Plane& plane, uint32_t raw) {
  switch (plane.depth) {
    case 8:
      return plane.colours[raw] & 0xFFFFFF;
    case 16:
      return Rgb555(raw);
    default:
      return raw & 0xFFFFFF;
  }
}

uint32_t KeyFor(uint32_t key, int32_t depth) {
  uint32_t k = ColourForDepth(key, depth);
  return depth == 16 ? To555(k) : k;
}
uint32_t KeyBits(int32_t depth) { return depth == 8 ? 0xFF : depth == 16 ? 0x7FFF : 0xFFFFFF; }

// One pixel through the pixel operations of the unscaled copy (same format).
std::optional<uint32_t> HandOff(const Scene& c, uint32_t s, uint32_t d, int maskByte) {
  int32_t depth = c.dst->depth;
  std::vector<std::pair<int, int>> fields =
      depth == 16 ? std::vector<std::pair<int, int>>{{0, 5}, {5, 5}, {10, 5}}
                  : std::vector<std::pair<int, int>>{{0, 8}, {8, 8}, {16, 8}, {24, 8}};
  if (depth == 24) fields.pop_back();
  auto lerp = [&](uint32_t a, uint32_t b, int32_t w, bool maskWeight) {
    uint32_t out = 0;
    for (auto [shift, bits] : fields) {
      int32_t x = int32_t((a >> shift) & ((1u << bits) - 1)), u = int32_t((b >> shift) & ((1u << bits) - 1)),
              r;
      if (c.vectorOps) {
        int32_t wv = w + (w >> 7);
        r = (x * (256 - wv) + u * wv) >> 8;
      } else if (depth != 16) {
        r = (x * 256 + (u - x) * (w + 1)) >> 8;
      } else {
        int32_t w5 = maskWeight ? (w + 1) >> 3 : w / 8 + 1;
        r = (x * 32 + (u - x) * w5) >> 5;
      }
      out |= uint32_t(r) << shift;
    }
    return out;
  };
  auto pixel = [depth](uint32_t colour) {
    uint32_t rgb = ColourForDepth(colour, depth);
    return depth == 16 ? To555(rgb) : rgb;
  };
  int32_t a = c.p.alpha;
  switch (c.p.mode) {
    case 3:
      return lerp(d, s, a, false);
    case 4:
      return (s & KeyBits(depth)) == pixel(c.p.key) ? d : lerp(d, s, a, false);
    case 5: {
      if (c.vectorOps || depth != 16) return lerp(s, pixel(c.p.colour), a, false);
      uint32_t f = pixel(c.p.colour), out = 0;
      for (auto [shift, bits] : fields)
        out |= ((((f >> shift) & 31) * (a / 8 + 1) + ((s >> shift) & 31) * (32 - a / 8)) >> 5) << shift;
      return out;
    }
    default:  // 7 with the attached plane as the mask
      return lerp(d, s, maskByte, true);
  }
}

bool HandedOff(const Scene& c) {
  if (!c.gcopy || !c.mmx || c.src->depth != c.dst->depth || c.dst->depth < 16) return false;
  int m = c.p.mode;
  return m == 3 || m == 4 || m == 5 || (m == 7 && c.mask && c.p.alpha == 255);
}

// The direct unscaled copy of mode 0: raw bytes between equal depths, opaque
// 32-bit results from other depths.
uint32_t DirectCopy(const Scene& c, uint32_t s) {
  const Plane &src = *c.src, &dst = *c.dst;
  if (src.depth == dst.depth) return s;
  uint32_t rgb = RgbOf(src, s);
  switch (dst.depth) {
    case 8:
      return BlendTables().colourMap[src.depth == 16 ? s & 0x7FFF : To555(rgb)];
    case 16:
      return To555(rgb);
    case 24:
      return rgb;
    default:
      return rgb | 0xFF000000;
  }
}

bool NotProvided(int mode, int32_t srcDepth, int32_t dstDepth) {
  bool masked = mode == 7 || mode == 10 || mode == 11 || mode == 12;
  return (masked && srcDepth == 8) || (mode == 8 && dstDepth == 8) ||
         (mode == 9 && (srcDepth == 8 || dstDepth == 8)) || (mode == 24 && srcDepth != 8);
}

// The new raw destination pixel, or nothing when the mode leaves it.
std::optional<uint32_t> Model(const Scene& c, uint32_t sRaw, uint32_t dRaw, int maskByte) {
  const Plane &src = *c.src, &dst = *c.dst;
  const BlitParams& p = c.p;
  int mode = p.mode;
  if (HandedOff(c)) return HandOff(c, sRaw, dRaw, maskByte);
  bool indexSpace = dst.depth == 8 && !c.mapping;
  bool direct = c.gcopy && mode != 10 && mode <= 18 && !(dst.depth == 8 && c.mapping);
  if (direct && mode == 0) return DirectCopy(c, sRaw);
  bool fields = direct && src.depth == 16 && dst.depth == 16;
  uint32_t limit = fields ? 31 : 255;

  uint32_t sa = src.depth == 32 ? sRaw >> 24 : 255, da = dst.depth == 32 ? dRaw >> 24 : 255;
  if (c.mask && (mode == 7 || mode == 10 || mode == 11 || mode == 12)) sa = uint32_t(maskByte);
  if ((mode == 1 || mode == 4 || mode == 6) && (sRaw & KeyBits(src.depth)) == KeyFor(p.key, src.depth))
    return std::nullopt;
  if (mode == 2 && (dRaw & KeyBits(dst.depth)) != KeyFor(p.key, dst.depth)) return std::nullopt;
  if (mode == 23) {
    if (dst.depth != 32) return std::nullopt;
    return (dRaw & 0xFFFFFF) | (sa << 24);
  }

  // Channels of s, d and F in the compute space.
  uint32_t s, d, f;
  if (indexSpace) {
    s = src.depth == 8 ? sRaw
                       : BlendTables().colourMap[src.depth == 16 ? sRaw & 0x7FFF : To555(RgbOf(src, sRaw))];
    d = dRaw;
    f = ColourForDepth(p.colour, 8);
  } else if (fields) {
    auto split = [](uint32_t v) { return (v & 31) | ((v >> 5) & 31) << 8 | ((v >> 10) & 31) << 16; };
    s = split(sRaw);
    d = split(dRaw);
    f = split(To555(ColourForDepth(p.colour, 16)));
  } else {
    // Converted to the destination's depth first: into 16 bits, 5 bits a channel.
    s = RgbOf(src, sRaw);
    if (dst.depth == 16) s = Rgb555(To555(s));
    d = RgbOf(dst, dRaw);
    f = ColourForDepth(p.colour, 32);
  }
  uint32_t a = p.alpha, pp = p.second;
  int channels = indexSpace ? 1 : 3;
  uint32_t out = 0;
  auto blend = [](uint32_t x, uint32_t y, uint32_t w) { return T(w, x) + T(255 - w, y); };
  for (int i = 0; i < channels; ++i) {
    uint32_t sc = Ch(s, i), dc = Ch(d, i), fc = Ch(f, i), r = 0;
    auto mix = [&](uint32_t x) { return T(a, x) + T(255 - a, dc); };
    switch (mode) {
      case 0:
      case 1:
      case 2:
      case 11:
        if (mode == 11 && sa - a > pp) return std::nullopt;
        r = sc;
        break;
      case 3:
      case 4:
        r = blend(sc, dc, a);
        break;
      case 5:
      case 6:
        r = T(a, fc) + T(255 - a, sc);
        break;
      case 7:
      case 10: {
        uint32_t x = mode == 10 ? T(pp, fc) + T(255 - pp, sc) : sc, w = T(a, sa);
        if (w == 0) return std::nullopt;
        r = w == 255 ? x : blend(x, dc, w);
        break;
      }
      case 8:
      case 9: {
        uint32_t w = mode == 8 ? T(a, da) : Composite(da, 255 - sa);
        if (w == 255) return std::nullopt;
        r = w == 0 ? sc : blend(dc, sc, w);
        break;
      }
      case 12: {
        int32_t ia = int32_t(a), ip = int32_t(pp), is = int32_t(sa);
        uint32_t w = is < ia         ? 255
                     : is >= ia + ip ? 0
                                     : uint32_t(std::clamp(255 + (ia - is) * 255 / ip, 0, 255));
        if (w == 0) return std::nullopt;
        r = w > 254 ? sc : blend(sc, dc, w);
        break;
      }
      case 13:
        r = std::min(limit, dc + T(a, sc));
        break;
      case 14:
        r = uint32_t(std::max(0, int32_t(dc) - int32_t(T(a, sc))));
        break;
      case 15:
        r = mix(T(sc, dc));
        break;
      case 16:
        r = mix(sc & dc);
        break;
      case 17:
        r = mix(sc | dc);
        break;
      case 18:
        r = mix(sc ^ dc);
        break;
      case 19:
        r = mix(255 - T(255 - dc, 255 - sc));
        break;
      case 20:
        r = mix(std::max(sc, dc));
        break;
      case 21:
        r = mix(std::min(sc, dc));
        break;
      case 22:
        r = (p.channelMask >> i) & 1 ? sc : dc;
        break;
      case 24: {
        uint32_t w = T(a, sRaw);
        if (w == 0) return std::nullopt;
        r = w == 255 ? fc : blend(fc, dc, w);
        break;
      }
    }
    out |= r << (8 * i);
  }
  if (indexSpace) return out;
  if (fields) return Ch(out, 0) | Ch(out, 1) << 5 | Ch(out, 2) << 10;
  switch (dst.depth) {
    case 8:
      return BlendTables().colourMap[To555(out)];
    case 16:
      return To555(out);
    case 24:
      return out;
    default:
      return out | (da << 24);
  }
}

// ---- the scenes ----

void FillRandom(Plane& plane, std::mt19937& rng) {
  for (size_t i = 0; i < plane.ImageBytes(); ++i) plane.host[i] = uint8_t(rng());
  if (plane.depth == 8)
    for (uint32_t& c : plane.colours) c = rng() & 0xFFFFFF;
}

void SetRaw(Plane& plane, int32_t x, int32_t y, uint32_t v) {
  std::memcpy(plane.Pixel(x, y), &v, size_t(plane.depth / 8));
}

// A colour argument naming the colour of a raw pixel of `plane`.
uint32_t ArgumentFor(const Plane& plane, uint32_t raw) {
  return plane.depth == 8 ? 0x01000000u | raw : RgbOf(plane, raw);
}

struct Case {
  int mode, srcDepth, dstDepth;
};

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  char name[64];
  std::snprintf(name, sizeof name, "Mode%02d_%dto%d", info.param.mode, info.param.srcDepth,
                info.param.dstDepth);
  return name;
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (int mode = 0; mode < 25; ++mode)
    for (int s : {8, 16, 24, 32})
      for (int d : {8, 16, 24, 32}) cases.push_back({mode, s, d});
  return cases;
}

class BlitModes : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BuildBlendTables());
    savedMap_.assign(BlendTables().colourMap, BlendTables().colourMap + 32768);
    std::mt19937 rng(7);
    for (int i = 0; i < 32768; ++i) BlendTables().colourMap[i] = uint8_t(rng());
    savedMmx_ = TheConfig().mmx;
    savedImpl_ = ThePixelImplementation().name;
  }
  void TearDown() override {
    std::copy(savedMap_.begin(), savedMap_.end(), BlendTables().colourMap);
    TheConfig().mmx = savedMmx_;
    SelectPixelImplementation(savedImpl_.c_str());
    ColorMapping().store(0);
    SetAttachment(kSrc, -1);
    for (int32_t slot : {kDst, kSrc, kMask}) FreePlane(slot);
  }

  // One blit of the case on fresh random planes, checked whole against the model.
  void Run(const Case& k, BlitParams p, bool gcopy, bool masked, bool mapping, uint32_t seed,
           bool alphaRuns) {
    std::mt19937 rng(seed);
    const int32_t kW = alphaRuns ? kWide : kNarrow;
    Plane* dst = CreatePlane(kDst, kW, kH, k.dstDepth);
    Plane* src = CreatePlane(kSrc, kW, kH, k.srcDepth);
    ASSERT_TRUE(dst && src);
    FillRandom(*dst, rng);
    FillRandom(*src, rng);
    Plane* mask = nullptr;
    SetAttachment(kSrc, -1);
    if (masked) {
      mask = CreatePlane(kMask, kW, kH, 8);
      FillRandom(*mask, rng);
      SetAttachment(kSrc, kMask);
    }
    // Rows whose alpha runs transparent, then opaque, then varies, as sprites do.
    if (alphaRuns)
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < 64; ++x) {
          uint8_t alpha = x < 32 ? 0 : 255;
          if (mask) *mask->Pixel(x, y) = alpha;
          if (src->depth == 32) src->Pixel(x, y)[3] = alpha;
        }
    // Keys that hit: a quarter of the pixels carry the key's colour.
    uint32_t srcKey = Raw(*src, 2, 1), dstKey = Raw(*dst, 3, 2);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = y % 4; x < kW; x += 4) {
        SetRaw(*src, x, y, srcKey);
        SetRaw(*dst, (x + 1) % kW, y, dstKey);
      }
    p.key = k.mode == 2 ? ArgumentFor(*dst, dstKey) : ArgumentFor(*src, srcKey);
    ColorMapping().store(mapping ? 1 : 0);

    std::vector<uint8_t> before(dst->host, dst->host + dst->ImageBytes());
    Scene scene{dst,
                src,
                mask,
                p,
                mapping,
                gcopy,
                TheConfig().mmx != 0,
                std::string(ThePixelImplementation().name) != "portable"};
    // Mode preparation, as the drivers do it.
    BlitParams prepared = p;
    int32_t expected = 1;
    if ((p.mode == 3 || p.mode == 4) && p.alpha == 0) expected = 0;
    if ((p.mode == 3 || p.mode == 4) && p.alpha == 255) prepared.mode = uint8_t(p.mode - 3);
    if (p.mode == 10 && p.second == 0) prepared.mode = 7;
    if (p.mode == 22 && p.channelMask == 0) expected = 0;
    scene.p = prepared;
    bool drawn = expected == 1 && !NotProvided(prepared.mode, k.srcDepth, k.dstDepth);
    std::vector<uint8_t> want = before;
    if (drawn)
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
          int maskByte = mask ? *mask->Pixel(x, y) : -1;
          auto out = Model(scene, Raw(*src, x, y), Raw(*dst, x, y), maskByte);
          if (out) std::memcpy(want.data() + (dst->Pixel(x, y) - dst->host), &*out, size_t(dst->depth / 8));
        }

    int32_t result =
        gcopy ? CopyPlane(kDst, 0, 0, kSrc, nullptr, p) : BlitPlane(kDst, nullptr, kSrc, nullptr, p, 0);
    std::string what = std::string(gcopy ? "gcopy" : "gblit") + (masked ? " masked" : "") +
                       (mapping ? " mapped" : "") + " impl " + ThePixelImplementation().name + " mmx " +
                       std::to_string(TheConfig().mmx) + " A " + std::to_string(p.alpha) + " P " +
                       std::to_string(p.second);
    ASSERT_EQ(result, expected) << what;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        size_t at = size_t(dst->Pixel(x, y) - dst->host);
        uint32_t got = 0, exp = 0, old = 0;
        std::memcpy(&got, dst->host + at, size_t(dst->depth / 8));
        std::memcpy(&exp, want.data() + at, size_t(dst->depth / 8));
        std::memcpy(&old, before.data() + at, size_t(dst->depth / 8));
        ASSERT_EQ(got, exp) << what << " at " << x << "," << y << " s " << std::hex << Raw(*src, x, y)
                            << " d was " << old;
      }
    ASSERT_TRUE(std::equal(want.begin(), want.end(), dst->host)) << what << ": row padding changed";
  }

  std::vector<uint8_t> savedMap_;
  int32_t savedMmx_ = 0;
  std::string savedImpl_;
};

TEST_P(BlitModes, MatchesTheModel) {
  const Case& k = GetParam();
  std::vector<const char*> impls = {"portable", "sse2", "avx2"};
  BlitParams params[3];
  std::mt19937 rng(uint32_t(k.mode * 256 + k.srcDepth * 4 + k.dstDepth));
  for (BlitParams& p : params) {
    p.mode = uint8_t(k.mode);
    p.alpha = uint8_t(rng() % 254 + 1);
    p.second = uint8_t(rng() % 80 + 1);
    p.channelMask = uint8_t(rng() % 7 + 1);
    p.colour = rng() & 0xFFFFFF;
  }
  params[1].alpha = 255;
  params[1].colour |= 0x01000000;  // a palette index
  params[2].alpha = 0;
  params[2].second = 0;
  for (const char* impl : impls) {
    if (!SelectPixelImplementation(impl)) continue;
    for (int mmx : {0, 1}) {
      TheConfig().mmx = mmx;
      for (bool gcopy : {false, true})
        for (bool masked : {false, true})
          for (bool mapping : {false, true}) {
            if (masked && !(k.mode == 7 || k.mode == 10 || k.mode == 11 || k.mode == 12)) continue;
            if (mapping && k.dstDepth != 8) continue;
            for (const BlitParams& p : params) {
              for (bool runs : {false, true}) Run(k, p, gcopy, masked, mapping, rng(), runs);
              if (HasFatalFailure()) return;
            }
          }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPair, BlitModes, testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace qavz
