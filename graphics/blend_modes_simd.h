// The blend-mode kernels written once over a vector-unit wrapper V
// (blend_modes_sse2.cpp, blend_modes_avx2.cpp). Everything here has internal
// linkage, so the AVX2 build of it never stands in for the SSE2 one.
//
// Pixels are unpacked to 16-bit lanes; T[w][x] = (w x + 128) / 255 is
// computed exactly as ((w x + 128) * 0x8081) >> 23, which needs only the
// high half of a 16-bit product. Row ends shorter than a register go to the
// portable kernel, which gives the same values.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "graphics/blend_modes.h"
#include "graphics/blend_tables.h"

namespace qavz {
namespace {

// For each pattern of 8 bits, 8 bytes of 0 or 1.
constexpr std::array<uint64_t, 256> SpreadBits() {
  std::array<uint64_t, 256> table{};
  for (uint32_t bits = 0; bits < 256; ++bits)
    for (int k = 0; k < 8; ++k) table[bits] |= uint64_t((bits >> k) & 1) << (8 * k);
  return table;
}
constexpr std::array<uint64_t, 256> kSpreadBits = SpreadBits();

template <class V>
struct Simd {
  using R = typename V::R;

  // Constants of one call. Weights carry 0 in each pixel's alpha lane (255
  // for the modes that draw under), so T[0][x] + T[255][da] leaves the
  // destination's alpha as it was without a merge.
  struct Consts {
    R c128 = V::Set16(128), c8081 = V::Set16(0x8081), c255 = V::Set16(255), zero = V::Zero();
    R alphaMask = V::Set32(0xFF000000u), ones = V::Set32(0xFFFFFFFFu);
    R alphaLane255 = V::SetPixel16(0, 0, 0, 255);
    R a16, aColour16, invA16, invP16, scaledColour16, colour;
    R srcKey, srcKeyMask, dstKey, dstKeyMask, channels, pLane, sign;
    R rampStart, rampLast;  // A, A + P - 1

    bool fullAlpha;
    const ModeArgs& m;
    explicit Consts(const ModeArgs& args) : m(args) {
      a16 = V::Set16(args.alpha);
      aColour16 = V::SetPixel16(args.alpha, args.alpha, args.alpha, 0);
      invA16 = V::Set16(255 - args.alpha);
      invP16 = V::Set16(255 - args.second);
      scaledColour16 = V::Lo8(V::Set32(args.scaledColour), zero);
      colour = V::Set32(args.colour);
      srcKey = V::Set32(args.srcKey);
      srcKeyMask = V::Set32(args.srcKeyMask);
      dstKey = V::Set32(args.dstKey);
      dstKeyMask = V::Set32(args.dstKeyMask);
      channels = V::Set32(args.channels);
      sign = V::Set32(0x80000000u);
      pLane = V::Set32(args.second ^ 0x80000000u);
      fullAlpha = args.alpha == 255;
      rampStart = V::Set32(args.alpha);
      rampLast = V::Set32(args.alpha + args.second - 1);
    }
  };

  static constexpr int kAllPixels = (1 << V::kPixels) - 1;

  static R Select(R mask, R a, R b) { return V::Or(V::And(mask, a), V::AndNot(mask, b)); }
  // T[w][x] on 16-bit lanes.
  static R Scale(const Consts& c, R w, R x) {
    return V::template Srl16<7>(V::MulHi16U(V::Add16(V::MulLo16(w, x), c.c128), c.c8081));
  }
  // T[w][x] + T[255 - w][d] on 16-bit lanes.
  static R Over16(const Consts& c, R x, R d, R w) {
    return V::Add16(Scale(c, w, x), Scale(c, V::Sub16(c.c255, w), d));
  }
  // Blend x by w over d, whole pixels; w given for the low and high halves.
  static R Over(const Consts& c, R x, R d, R wlo, R whi) {
    return V::Pack(Over16(c, V::Lo8(x, c.zero), V::Lo8(d, c.zero), wlo),
                   Over16(c, V::Hi8(x, c.zero), V::Hi8(d, c.zero), whi));
  }
  static R ScaleAll(const Consts& c, R w16, R x) {
    return V::Pack(Scale(c, w16, V::Lo8(x, c.zero)), Scale(c, w16, V::Hi8(x, c.zero)));
  }
  // w = T[A][alpha] of each pixel in its colour lanes, 0 in its alpha lane.
  static R AlphaWeight(const Consts& c, R p16) {
    R a = V::AlphaWords(p16);
    return c.fullAlpha ? a : Scale(c, c.a16, a);
  }
  // Pixels whose colour-lane weight equals `value` (0 or 255).
  static R WeightIs(const Consts& c, R wlo, R whi, uint32_t value) {
    return V::CmpEq32(V::Or(V::Pack(wlo, whi), c.alphaMask), V::Set32(value | 0xFF000000u));
  }
  static R SourceKeyed(const Consts& c, R s) { return V::CmpEq32(V::And(s, c.srcKeyMask), c.srcKey); }
  // Weight bytes (one per pixel, in its low lane) spread to the colour
  // lanes, `alpha` in the alpha lane, as 16-bit halves.
  static void SpreadWeights(const Consts& c, R w, uint32_t alpha, R& wlo, R& whi) {
    R all = V::Or(V::Or(w, V::template Sll32<8>(w)), V::Or(V::template Sll32<16>(w), V::Set32(alpha << 24)));
    wlo = V::Lo8(all, c.zero);
    whi = V::Hi8(all, c.zero);
  }
  // D[da][255 - sa], the index computed a register at a time.
  static R CompositeWeight(R s, R d) {
    R index = V::Add32(V::And(V::template Srl32<16>(d), V::Set32(0xFF00)),
                       V::Sub32(V::Set32(255), V::template Srl32<24>(s)));
    return V::GatherBytes(&BlendTables().composite[0][0], index);
  }
  static bool AllZero(R w) { return V::NoBits(w, V::Set32(0xFF)); }
  static bool AllFull(R w) { return V::AllBits(w, V::Set32(0xFF)); }

  // Results whose alpha lane is not the destination's and pixels left by a
  // key or a window need a merge with d.
  static constexpr bool Merges(int mode) {
    return mode <= 2 || mode == 4 || mode == 5 || mode == 6 || mode == 11 || mode == 23;
  }

  // Mode results: `leave` marks the pixels the mode does not write. Modes
  // whose formula already yields d where they leave it set `leave` only
  // when the caller asks which pixels were written.
  template <int Mode, bool Written>
  static R Apply(const Consts& c, R s, R d, R& leave) {
    leave = c.zero;
    if constexpr (Mode == 0 || Mode == 23) {
      return s;
    } else if constexpr (Mode == 1) {
      leave = SourceKeyed(c, s);
      return s;
    } else if constexpr (Mode == 2) {
      leave = V::AndNot(V::CmpEq32(V::And(d, c.dstKeyMask), c.dstKey), c.ones);
      return s;
    } else if constexpr (Mode == 3 || Mode == 4) {
      if (Mode == 4) leave = SourceKeyed(c, s);
      return Over(c, s, d, c.aColour16, c.aColour16);
    } else if constexpr (Mode == 5 || Mode == 6) {
      if (Mode == 6) leave = SourceKeyed(c, s);
      return V::Pack(V::Add16(c.scaledColour16, Scale(c, c.invA16, V::Lo8(s, c.zero))),
                     V::Add16(c.scaledColour16, Scale(c, c.invA16, V::Hi8(s, c.zero))));
    } else if constexpr (Mode == 7 || Mode == 10 || Mode == 24) {
      R wlo = AlphaWeight(c, V::Lo8(s, c.zero)), whi = AlphaWeight(c, V::Hi8(s, c.zero));
      if (Written) leave = WeightIs(c, wlo, whi, 0);
      R x = s;
      if (Mode == 10)
        x = V::Pack(V::Add16(c.scaledColour16, Scale(c, c.invP16, V::Lo8(s, c.zero))),
                    V::Add16(c.scaledColour16, Scale(c, c.invP16, V::Hi8(s, c.zero))));
      if (Mode == 24) x = c.colour;
      return Over(c, x, d, wlo, whi);
    } else if constexpr (Mode == 8) {
      R wlo = V::Or(AlphaWeight(c, V::Lo8(d, c.zero)), c.alphaLane255);
      R whi = V::Or(AlphaWeight(c, V::Hi8(d, c.zero)), c.alphaLane255);
      if (Written) leave = WeightIs(c, wlo, whi, 0xFFFFFF);
      return Over(c, d, s, wlo, whi);
    } else if constexpr (Mode == 9) {
      // Runs of opaque sources over mostly transparent or opaque
      // destinations give registers of one weight: s, or d itself.
      R w = CompositeWeight(s, d), wlo, whi;
      if (AllZero(w)) return Select(c.alphaMask, d, s);
      if (AllFull(w)) {
        if (Written) leave = c.ones;
        return d;
      }
      SpreadWeights(c, w, 255, wlo, whi);
      if (Written) leave = WeightIs(c, wlo, whi, 0xFFFFFF);
      return Over(c, d, s, wlo, whi);
    } else if constexpr (Mode == 11) {
      R diff = V::Xor(V::Sub32(V::template Srl32<24>(s), V::Set32(c.m.alpha)), c.sign);
      leave = V::CmpGt32(diff, c.pLane);
      return s;
    } else if constexpr (Mode == 12) {
      // R is 0 from A + P and 255 below A: opaque sources and ramps that
      // have passed give registers of one weight without a look-up.
      R sa = V::template Srl32<24>(s);
      if (V::MoveMask(V::CmpGt32(sa, c.rampLast)) == kAllPixels) {
        if (Written) leave = c.ones;
        return d;
      }
      if (V::MoveMask(V::CmpGt32(c.rampStart, sa)) == kAllPixels) return Select(c.alphaMask, d, s);
      R wlo, whi;
      SpreadWeights(c, V::GatherBytes(c.m.ramp, sa), 0, wlo, whi);
      if (Written) leave = WeightIs(c, wlo, whi, 0);
      return Over(c, s, d, wlo, whi);
    } else if constexpr (Mode == 13) {
      return V::AddSat8(d, ScaleAll(c, c.aColour16, s));
    } else if constexpr (Mode == 14) {
      return V::SubSat8(d, ScaleAll(c, c.aColour16, s));
    } else if constexpr (Mode == 15) {
      R x = V::Pack(Scale(c, V::Lo8(s, c.zero), V::Lo8(d, c.zero)),
                    Scale(c, V::Hi8(s, c.zero), V::Hi8(d, c.zero)));
      return Over(c, x, d, c.aColour16, c.aColour16);
    } else if constexpr (Mode == 16) {
      return Over(c, V::And(s, d), d, c.aColour16, c.aColour16);
    } else if constexpr (Mode == 17) {
      return Over(c, V::Or(s, d), d, c.aColour16, c.aColour16);
    } else if constexpr (Mode == 18) {
      return Over(c, V::Xor(s, d), d, c.aColour16, c.aColour16);
    } else if constexpr (Mode == 19) {
      R sl = V::Lo8(s, c.zero), sh = V::Hi8(s, c.zero), dl = V::Lo8(d, c.zero), dh = V::Hi8(d, c.zero);
      R lo = V::Sub16(c.c255, Scale(c, V::Sub16(c.c255, dl), V::Sub16(c.c255, sl)));
      R hi = V::Sub16(c.c255, Scale(c, V::Sub16(c.c255, dh), V::Sub16(c.c255, sh)));
      return Over(c, V::Pack(lo, hi), d, c.aColour16, c.aColour16);
    } else if constexpr (Mode == 20) {
      return Over(c, V::Max8(s, d), d, c.aColour16, c.aColour16);
    } else if constexpr (Mode == 21) {
      return Over(c, V::Min8(s, d), d, c.aColour16, c.aColour16);
    } else if constexpr (Mode == 22) {
      return Select(c.channels, s, d);
    }
  }

  // One register of pixels through the mode.
  template <int Mode, bool Written>
  static void Step(const Consts& c, uint32_t* d, const uint32_t* s, uint8_t* written) {
    R sv = V::Load(s), dv = V::Load(d), leave;
    R out = Apply<Mode, Written>(c, sv, dv, leave);
    if constexpr (Mode == 23)
      out = Select(c.alphaMask, sv, dv);
    else if constexpr (Merges(Mode))
      out = Select(V::Or(leave, c.alphaMask), dv, out);
    V::Store(d, out);
    if constexpr (Written) {
      uint64_t bytes = kSpreadBits[~uint32_t(V::MoveMask(leave)) & ((1u << V::kPixels) - 1)];
      std::memcpy(written, &bytes, V::kPixels);
    }
  }

  // Source alpha over runs of transparent or (at full alpha) opaque pixels,
  // as sprites have them, four registers at a time: a transparent run is
  // left, an opaque one copied. False when the pixels are mixed.
  template <bool Written>
  static bool AlphaRun(const Consts& c, uint32_t* d, const uint32_t* s, uint8_t* written) {
    R s0 = V::Load(s), s1 = V::Load(s + V::kPixels), s2 = V::Load(s + 2 * V::kPixels);
    R s3 = V::Load(s + 3 * V::kPixels);
    bool clear = V::NoBits(V::Or(V::Or(s0, s1), V::Or(s2, s3)), c.alphaMask);
    bool opaque = c.fullAlpha && V::AllBits(V::And(V::And(s0, s1), V::And(s2, s3)), c.alphaMask);
    if (!clear && !opaque) return false;
    if (opaque) {
      const R regs[4] = {s0, s1, s2, s3};
      for (int k = 0; k < 4; ++k) {
        uint32_t* at = d + k * V::kPixels;
        V::Store(at, Select(c.alphaMask, V::Load(at), regs[k]));
      }
    }
    if constexpr (Written) std::memset(written, opaque, 4 * V::kPixels);
    return true;
  }

  template <int Mode, bool Written>
  static void Run(uint32_t* d, const uint32_t* s, uint8_t* written, int32_t n, const ModeArgs& m) {
    Consts c(m);
    int32_t i = 0;
    if constexpr (Mode == 7)
      for (; i + 4 * V::kPixels <= n; i += 4 * V::kPixels)
        if (!AlphaRun<Written>(c, d + i, s + i, Written ? written + i : nullptr))
          for (int k = 0; k < 4; ++k) {
            int32_t at = i + k * V::kPixels;
            Step<Mode, Written>(c, d + at, s + at, Written ? written + at : nullptr);
          }
    for (; i + V::kPixels <= n; i += V::kPixels)
      Step<Mode, Written>(c, d + i, s + i, Written ? written + i : nullptr);
    if (i < n) PortableModeKernels().mode[Mode](d + i, s + i, written ? written + i : nullptr, n - i, m);
  }

  template <int Mode>
  static void Kernel(uint32_t* d, const uint32_t* s, uint8_t* written, int32_t n, const ModeArgs& m) {
    // Saturating at 31 (5-bit fields) is left to the portable kernel.
    if (Mode == 13 && m.limit != 255) return PortableModeKernels().mode[Mode](d, s, written, n, m);
    if (written)
      Run<Mode, true>(d, s, written, n, m);
    else
      Run<Mode, false>(d, s, written, n, m);
  }

  // ---- pixel rows to and from the compute space ----

  // 5-5-5 pixels, 2 * kPixels at a time: each field widened by (f * 2106) >> 8,
  // which is f * 255 / 31 rounded down.
  static void FromPixels555(const uint8_t* p, uint32_t* out, int32_t n) {
    const R five = V::Set16(31), widen = V::Set16(2106), opaque = V::Set16(0xFF00);
    int32_t i = 0;
    for (; i + 2 * V::kPixels <= n; i += 2 * V::kPixels) {
      R w = V::PrepareUnpack16(V::Load(reinterpret_cast<const uint32_t*>(p + 2 * i)));
      R b = V::template Srl16<8>(V::MulLo16(V::And(w, five), widen));
      R g = V::template Srl16<8>(V::MulLo16(V::And(V::template Srl16<5>(w), five), widen));
      R r = V::template Srl16<8>(V::MulLo16(V::And(V::template Srl16<10>(w), five), widen));
      R bg = V::Or(b, V::template Sll16<8>(g)), ra = V::Or(r, opaque);
      V::Store(out + i, V::UnpackLo16(bg, ra));
      V::Store(out + i + V::kPixels, V::UnpackHi16(bg, ra));
    }
    if (i < n) PortableModeKernels().from555(p + 2 * i, out + i, n - i);
  }

  // 5-5-5 words in 32-bit lanes.
  static R Pack555(R v) {
    const R five = V::Set32(31);
    R b = V::And(V::template Srl32<3>(v), five), g = V::And(V::template Srl32<11>(v), five);
    R r = V::And(V::template Srl32<19>(v), five);
    return V::Or(V::Or(b, V::template Sll32<5>(g)), V::template Sll32<10>(r));
  }

  // 2 * kPixels at a time, the pixels not written merged back from the row.
  static void ToPixels555(const uint32_t* in, const uint8_t* written, uint8_t* p, int32_t n) {
    const R zero = V::Zero();
    int32_t i = 0;
    for (; i + 2 * V::kPixels <= n; i += 2 * V::kPixels) {
      R words = V::Words(Pack555(V::Load(in + i)), Pack555(V::Load(in + i + V::kPixels)));
      R leave = V::CmpEq16(V::WrittenWords(written + i), zero);
      uint32_t* at = reinterpret_cast<uint32_t*>(p + 2 * i);
      V::Store(at, Select(leave, V::Load(at), words));
    }
    if (i < n) PortableModeKernels().to555(in + i, written + i, p + 2 * i, n - i);
  }

  // ---- rows for the 5-bit and index spaces ----

  // Each word's alpha, or 255 and 254 on the marked key.
  static R AlphaOf(R v, R keyBits, KeyMark mark) {
    if (!mark.on) return V::And(v, V::Set32(0xFF000000u));
    R hit = V::CmpEq32(keyBits, V::Set32(mark.key));
    return V::Xor(V::Set32(0xFF000000u), V::And(hit, V::Set32(0x01000000u)));
  }

  // Channels truncated to 5 bits, then widened by (f * 2106) >> 8.
  static void Quantise555(const uint32_t* in, uint32_t* out, int32_t n, KeyMark mark) {
    const R fields = V::Set32(0x1F1F1F), widen = V::Set16(2106), zero = V::Zero(), rgb = V::Set32(0xFFFFFF);
    int32_t i = 0;
    for (; i + V::kPixels <= n; i += V::kPixels) {
      R v = V::Load(in + i), f = V::And(V::template Srl32<3>(v), fields);
      R lo = V::template Srl16<8>(V::MulLo16(V::Lo8(f, zero), widen));
      R hi = V::template Srl16<8>(V::MulLo16(V::Hi8(f, zero), widen));
      V::Store(out + i, V::Or(V::Pack(lo, hi), AlphaOf(v, V::And(v, rgb), mark)));
    }
    if (i < n) PortableModeKernels().quantise555(in + i, out + i, n - i, mark);
  }

  // The 5-5-5 index and the alpha beside it computed a register at a time,
  // then each index's colour-map entry. `in` may be `out`.
  static void LookUp(R indexAndAlpha, const uint8_t* colourMap, uint32_t* out) {
    R index = V::And(indexAndAlpha, V::Set32(0x7FFF)), alpha = V::AndNot(V::Set32(0x7FFF), indexAndAlpha);
    V::Store(out, V::Or(alpha, V::GatherMapBytes(colourMap, index)));
  }

  static void IndicesOfRgb(const uint32_t* in, uint32_t* out, int32_t n, const uint8_t* colourMap,
                           KeyMark mark) {
    const R rgb = V::Set32(0xFFFFFF), b = V::Set32(0x1F), g = V::Set32(0x3E0), r = V::Set32(0x7C00);
    int32_t i = 0;
    for (; i + V::kPixels <= n; i += V::kPixels) {
      R v = V::Load(in + i);
      R index = V::Or(V::Or(V::And(V::template Srl32<3>(v), b), V::And(V::template Srl32<6>(v), g)),
                      V::And(V::template Srl32<9>(v), r));
      LookUp(V::Or(index, AlphaOf(v, V::And(v, rgb), mark)), colourMap, out + i);
    }
    if (i < n) PortableModeKernels().indexOfRgb(in + i, out + i, n - i, colourMap, mark);
  }

  static void IndicesOf555(const uint8_t* p, uint32_t* out, int32_t n, const uint8_t* colourMap,
                           KeyMark mark) {
    const R low15 = V::Set32(0x7FFF), opaque = V::Set32(0xFF000000u), zero = V::Zero();
    int32_t i = 0;
    for (; i + 2 * V::kPixels <= n; i += 2 * V::kPixels) {
      R w = V::PrepareUnpack16(V::Load(reinterpret_cast<const uint32_t*>(p + 2 * i)));
      const R halves[2] = {V::UnpackLo16(w, zero), V::UnpackHi16(w, zero)};
      for (int h = 0; h < 2; ++h) {
        R index = V::And(halves[h], low15);
        LookUp(V::Or(index, AlphaOf(opaque, index, mark)), colourMap, out + i + h * V::kPixels);
      }
    }
    if (i < n) PortableModeKernels().indexOf555(p + 2 * i, out + i, n - i, colourMap, mark);
  }

  static void FromTable8(const uint8_t* p, const uint32_t* table, uint32_t* out, int32_t n) {
    int32_t i = 0;
    for (; i + V::kPixels <= n; i += V::kPixels) V::Store(out + i, V::GatherTable(table, p + i));
    if (i < n) PortableModeKernels().fromTable8(p + i, table, out + i, n - i);
  }

  static void From8(const uint8_t* p, uint32_t* out, int32_t n) {
    const R opaque = V::Set32(0xFF000000u);
    int32_t i = 0;
    for (; i + V::kPixels <= n; i += V::kPixels) V::Store(out + i, V::Or(V::WidenBytes(p + i), opaque));
    if (i < n) PortableModeKernels().from8(p + i, out + i, n - i);
  }

  static void To8(const uint32_t* in, uint8_t* p, int32_t n) {
    int32_t i = 0;
    for (; i + V::kPixels <= n; i += V::kPixels) V::NarrowBytes(V::Load(in + i), p + i);
    if (i < n) PortableModeKernels().to8(in + i, p + i, n - i);
  }

  // 24-bit pixels through byte shuffles; without them the portable rows.
  static void FromPixels24(const uint8_t* p, uint32_t* out, int32_t n) {
    int32_t i = 0;
    if constexpr (V::kHasShuffle) {
      const R opaque = V::Set32(0xFF000000u);
      // Each register reads 4 bytes past its pixels, so stop short of the row's end.
      for (; i + V::kPixels + 2 <= n; i += V::kPixels)
        V::Store(out + i, V::Or(V::Expand24(p + 3 * i), opaque));
    }
    if (i < n) PortableModeKernels().from24(p + 3 * i, out + i, n - i);
  }

  static void ToPixels24(const uint32_t* in, uint8_t* p, int32_t n) {
    int32_t i = 0;
    if constexpr (V::kHasShuffle)
      for (; i + V::kPixels <= n; i += V::kPixels) V::Compress24(V::Load(in + i), p + 3 * i);
    if (i < n) PortableModeKernels().to24(in + i, p + 3 * i, n - i);
  }

  template <int... Modes>
  static ModeKernels Table(std::integer_sequence<int, Modes...>) {
    return {{Kernel<Modes>...}, FromPixels24, ToPixels24, FromPixels555, ToPixels555, Quantise555,
            IndicesOfRgb,       IndicesOf555, FromTable8, From8,         To8};
  }
};

}  // namespace
}  // namespace qavz
