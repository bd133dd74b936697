// The blend-mode kernels written once over a vector-unit wrapper V
// (blend_modes_sse2.cpp, blend_modes_avx2.cpp). Everything here has internal
// linkage, so the AVX2 build of it never stands in for the SSE2 one.
//
// Pixels are unpacked to 16-bit lanes; T[w][x] = (w x + 128) / 255 is
// computed exactly as ((w x + 128) * 0x8081) >> 23, which needs only the
// high half of a 16-bit product. Row ends shorter than a register go to the
// portable kernel, which gives the same values.
#pragma once

#include <cstdint>
#include <utility>

#include "graphics/blend_modes.h"
#include "graphics/blend_tables.h"

namespace qavz {
namespace {

template <class V>
struct Simd {
  using R = typename V::R;

  // Constants of one call.
  struct Consts {
    R c128 = V::Set16(128), c8081 = V::Set16(0x8081), c255 = V::Set16(255), zero = V::Zero();
    R alphaMask = V::Set32(0xFF000000u), ones = V::Set32(0xFFFFFFFFu);
    R a16, invA16, p16, invP16, scaledColour16, colour;
    R srcKey, srcKeyMask, dstKey, dstKeyMask, channels, pLane, sign;
    const ModeArgs& m;
    explicit Consts(const ModeArgs& args) : m(args) {
      a16 = V::Set16(args.alpha);
      invA16 = V::Set16(255 - args.alpha);
      p16 = V::Set16(args.second);
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
    }
  };

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
  // Each pixel's alpha in all four of its lanes.
  static R AlphaLo(const Consts& c, R p) { return V::AlphaLanes(V::Lo8(p, c.zero)); }
  static R AlphaHi(const Consts& c, R p) { return V::AlphaLanes(V::Hi8(p, c.zero)); }
  // Pixels whose weight (in all lanes) equals `value`.
  static R WeightIs(R wlo, R whi, R value) {
    return V::PackMask(V::CmpEq16(wlo, value), V::CmpEq16(whi, value));
  }
  static R SourceKeyed(const Consts& c, R s) { return V::CmpEq32(V::And(s, c.srcKeyMask), c.srcKey); }
  // Per-pixel weights from a table, spread over the pixel's bytes.
  template <class Lookup>
  static void Gather(const Consts& c, const uint32_t* s, const uint32_t* d, Lookup lookup, R& wlo, R& whi) {
    alignas(32) uint32_t w[V::kPixels];
    for (int k = 0; k < V::kPixels; ++k) w[k] = lookup(s[k] >> 24, d[k] >> 24) * 0x01010101u;
    R all = V::Load(w);
    wlo = V::Lo8(all, c.zero);
    whi = V::Hi8(all, c.zero);
  }

  // Mode results: `leave` marks the pixels the mode does not write. Modes
  // whose formula already yields d where they leave it set `leave` only
  // when the caller asks which pixels were written.
  template <int Mode, bool Written>
  static R Apply(const Consts& c, const uint32_t* sp, const uint32_t* dp, R s, R d, R& leave) {
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
      return Over(c, s, d, c.a16, c.a16);
    } else if constexpr (Mode == 5 || Mode == 6) {
      if (Mode == 6) leave = SourceKeyed(c, s);
      return V::Pack(V::Add16(c.scaledColour16, Scale(c, c.invA16, V::Lo8(s, c.zero))),
                     V::Add16(c.scaledColour16, Scale(c, c.invA16, V::Hi8(s, c.zero))));
    } else if constexpr (Mode == 7 || Mode == 10 || Mode == 24) {
      R wlo = Scale(c, c.a16, AlphaLo(c, s)), whi = Scale(c, c.a16, AlphaHi(c, s));
      if (Written) leave = WeightIs(wlo, whi, c.zero);
      R x = s;
      if (Mode == 10)
        x = V::Pack(V::Add16(c.scaledColour16, Scale(c, c.invP16, V::Lo8(s, c.zero))),
                    V::Add16(c.scaledColour16, Scale(c, c.invP16, V::Hi8(s, c.zero))));
      if (Mode == 24) x = c.colour;
      return Over(c, x, d, wlo, whi);
    } else if constexpr (Mode == 8) {
      R wlo = Scale(c, c.a16, AlphaLo(c, d)), whi = Scale(c, c.a16, AlphaHi(c, d));
      if (Written) leave = WeightIs(wlo, whi, c.c255);
      return Over(c, d, s, wlo, whi);
    } else if constexpr (Mode == 9) {
      const uint8_t(*composite)[256] = BlendTables().composite;
      R wlo, whi;
      Gather(
          c, sp, dp, [composite](uint32_t sa, uint32_t da) { return uint32_t(composite[da][255 - sa]); }, wlo,
          whi);
      if (Written) leave = WeightIs(wlo, whi, c.c255);
      return Over(c, d, s, wlo, whi);
    } else if constexpr (Mode == 11) {
      R diff = V::Xor(V::Sub32(V::template Srl32<24>(s), V::Set32(c.m.alpha)), c.sign);
      leave = V::CmpGt32(diff, c.pLane);
      return s;
    } else if constexpr (Mode == 12) {
      const uint8_t* ramp = c.m.ramp;
      R wlo, whi;
      Gather(
          c, sp, dp, [ramp](uint32_t sa, uint32_t) { return uint32_t(ramp[sa]); }, wlo, whi);
      if (Written) leave = WeightIs(wlo, whi, c.zero);
      return Over(c, s, d, wlo, whi);
    } else if constexpr (Mode == 13) {
      return V::AddSat8(d, ScaleAll(c, c.a16, s));
    } else if constexpr (Mode == 14) {
      return V::SubSat8(d, ScaleAll(c, c.a16, s));
    } else if constexpr (Mode == 15) {
      R x = V::Pack(Scale(c, V::Lo8(s, c.zero), V::Lo8(d, c.zero)),
                    Scale(c, V::Hi8(s, c.zero), V::Hi8(d, c.zero)));
      return Over(c, x, d, c.a16, c.a16);
    } else if constexpr (Mode == 16) {
      return Over(c, V::And(s, d), d, c.a16, c.a16);
    } else if constexpr (Mode == 17) {
      return Over(c, V::Or(s, d), d, c.a16, c.a16);
    } else if constexpr (Mode == 18) {
      return Over(c, V::Xor(s, d), d, c.a16, c.a16);
    } else if constexpr (Mode == 19) {
      R sl = V::Lo8(s, c.zero), sh = V::Hi8(s, c.zero), dl = V::Lo8(d, c.zero), dh = V::Hi8(d, c.zero);
      R lo = V::Sub16(c.c255, Scale(c, V::Sub16(c.c255, dl), V::Sub16(c.c255, sl)));
      R hi = V::Sub16(c.c255, Scale(c, V::Sub16(c.c255, dh), V::Sub16(c.c255, sh)));
      return Over(c, V::Pack(lo, hi), d, c.a16, c.a16);
    } else if constexpr (Mode == 20) {
      return Over(c, V::Max8(s, d), d, c.a16, c.a16);
    } else if constexpr (Mode == 21) {
      return Over(c, V::Min8(s, d), d, c.a16, c.a16);
    } else if constexpr (Mode == 22) {
      return Select(c.channels, s, d);
    }
  }

  template <int Mode, bool Written>
  static void Run(uint32_t* d, const uint32_t* s, uint8_t* written, int32_t n, const ModeArgs& m) {
    Consts c(m);
    int32_t i = 0;
    for (; i + V::kPixels <= n; i += V::kPixels) {
      R sv = V::Load(s + i), dv = V::Load(d + i), leave;
      R result = Apply<Mode, Written>(c, s + i, d + i, sv, dv, leave);
      R out = Mode == 23 ? Select(c.alphaMask, sv, dv) : Select(V::Or(leave, c.alphaMask), dv, result);
      V::Store(d + i, out);
      if constexpr (Written) {
        uint32_t bits = ~uint32_t(V::MoveMask(leave));
        for (int k = 0; k < V::kPixels; ++k) written[i + k] = (bits >> k) & 1;
      }
    }
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

  template <int... Modes>
  static ModeKernels Table(std::integer_sequence<int, Modes...>) {
    return {{Kernel<Modes>...}};
  }
};

}  // namespace
}  // namespace qavz
