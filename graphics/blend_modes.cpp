// The portable blend-mode kernels: one table look-up per channel.
#include "graphics/blend_modes.h"

#include <algorithm>
#include <utility>

#include "graphics/blend_tables.h"

namespace qavz {

namespace {

using Scale = const uint8_t (*)[256];

inline uint32_t Channel(uint32_t p, int i) { return (p >> (8 * i)) & 255; }
inline uint32_t Alpha(uint32_t p) { return p >> 24; }

// Per colour channel f(s channel, d channel).
template <class F>
inline uint32_t PerChannel(uint32_t s, uint32_t d, F f) {
  return f(Channel(s, 0), Channel(d, 0)) | (f(Channel(s, 1), Channel(d, 1)) << 8) |
         (f(Channel(s, 2), Channel(d, 2)) << 16);
}

// Blend x by w: T[w][x] + T[255 - w][d].
inline uint32_t Over(Scale t, uint32_t x, uint32_t d, uint32_t w) {
  return PerChannel(x, d, [t, w](uint32_t xc, uint32_t dc) { return uint32_t(t[w][xc] + t[255 - w][dc]); });
}
// T[A][f(s, d)] + T[255 - A][d].
template <class F>
inline uint32_t Mix(Scale t, uint32_t s, uint32_t d, uint32_t a, F f) {
  return PerChannel(
      s, d, [t, a, f](uint32_t sc, uint32_t dc) { return uint32_t(t[a][f(sc, dc)] + t[255 - a][dc]); });
}

// Each mode: Apply(s, d, m, out) returns false when the pixel is left alone.
struct Ctx {
  Scale t;
  const ModeArgs& m;
};

bool SourceKeyed(uint32_t s, const ModeArgs& m) { return (s & m.srcKeyMask) == m.srcKey; }

// Source alpha blend (modes 7, 10, 12 once w is known).
inline bool AlphaOver(Scale t, uint32_t s, uint32_t d, uint32_t w, uint32_t& out) {
  if (w == 0) return false;
  out = w == 255 ? s : Over(t, s, d, w);
  return true;
}
// Destination alpha (modes 8, 9): draw under d by w.
inline bool AlphaUnder(Scale t, uint32_t s, uint32_t d, uint32_t w, uint32_t& out) {
  if (w == 255) return false;
  out = w == 0 ? s : Over(t, d, s, w);
  return true;
}

template <int Mode>
inline bool Apply(const Ctx& c, uint32_t s, uint32_t d, uint32_t& out) {
  const ModeArgs& m = c.m;
  Scale t = c.t;
  uint32_t a = m.alpha;
  if constexpr (Mode == 0) {
    out = s;
  } else if constexpr (Mode == 1) {
    if (SourceKeyed(s, m)) return false;
    out = s;
  } else if constexpr (Mode == 2) {
    if ((d & m.dstKeyMask) != m.dstKey) return false;
    out = s;
  } else if constexpr (Mode == 3 || Mode == 4) {
    if (Mode == 4 && SourceKeyed(s, m)) return false;
    out = Over(t, s, d, a);
  } else if constexpr (Mode == 5 || Mode == 6) {
    if (Mode == 6 && SourceKeyed(s, m)) return false;
    out = PerChannel(m.scaledColour, s,
                     [t, a](uint32_t fc, uint32_t sc) { return uint32_t(fc + t[255 - a][sc]); });
  } else if constexpr (Mode == 7) {
    return AlphaOver(t, s, d, t[a][Alpha(s)], out);
  } else if constexpr (Mode == 8) {
    return AlphaUnder(t, s, d, t[a][Alpha(d)], out);
  } else if constexpr (Mode == 9) {
    return AlphaUnder(t, s, d, BlendTables().composite[Alpha(d)][255 - Alpha(s)], out);
  } else if constexpr (Mode == 10) {
    uint32_t p = m.second;
    uint32_t tinted = PerChannel(m.scaledColour, s,
                                 [t, p](uint32_t fc, uint32_t sc) { return uint32_t(fc + t[255 - p][sc]); });
    return AlphaOver(t, tinted, d, t[a][Alpha(s)], out);
  } else if constexpr (Mode == 11) {
    if (Alpha(s) - a > m.second) return false;
    out = s;
  } else if constexpr (Mode == 12) {
    uint32_t w = m.ramp[Alpha(s)];
    if (w == 0) return false;
    out = w > 254 ? s : Over(t, s, d, w);
  } else if constexpr (Mode == 13) {
    uint32_t limit = m.limit;
    out =
        PerChannel(s, d, [t, a, limit](uint32_t sc, uint32_t dc) { return std::min(limit, dc + t[a][sc]); });
  } else if constexpr (Mode == 14) {
    const uint8_t* sat = BlendTables().saturate;
    out =
        PerChannel(s, d, [t, a, sat](uint32_t sc, uint32_t dc) { return uint32_t(sat[int(dc) - t[a][sc]]); });
  } else if constexpr (Mode == 15) {
    out = Mix(t, s, d, a, [t](uint32_t sc, uint32_t dc) { return t[sc][dc]; });
  } else if constexpr (Mode == 16) {
    out = Mix(t, s, d, a, [](uint32_t sc, uint32_t dc) { return sc & dc; });
  } else if constexpr (Mode == 17) {
    out = Mix(t, s, d, a, [](uint32_t sc, uint32_t dc) { return sc | dc; });
  } else if constexpr (Mode == 18) {
    out = Mix(t, s, d, a, [](uint32_t sc, uint32_t dc) { return sc ^ dc; });
  } else if constexpr (Mode == 19) {
    out = Mix(t, s, d, a, [t](uint32_t sc, uint32_t dc) { return 255u - t[255 - dc][255 - sc]; });
  } else if constexpr (Mode == 20) {
    out = Mix(t, s, d, a, [](uint32_t sc, uint32_t dc) { return std::max(sc, dc); });
  } else if constexpr (Mode == 21) {
    out = Mix(t, s, d, a, [](uint32_t sc, uint32_t dc) { return std::min(sc, dc); });
  } else if constexpr (Mode == 22) {
    out = (s & m.channels) | (d & ~m.channels);
  } else if constexpr (Mode == 23) {
    out = s;  // only its alpha is taken
  } else if constexpr (Mode == 24) {
    uint32_t w = t[a][Alpha(s)];
    if (w == 0) return false;
    out = w == 255 ? m.colour : Over(t, m.colour, d, w);
  }
  return true;
}

template <int Mode>
void Kernel(uint32_t* d, const uint32_t* s, uint8_t* written, int32_t n, const ModeArgs& m) {
  Ctx c{BlendTables().scale, m};
  for (int32_t i = 0; i < n; ++i) {
    uint32_t out;
    bool write = Apply<Mode>(c, s[i], d[i], out);
    if (write)
      d[i] = Mode == 23 ? (d[i] & 0x00FFFFFF) | (out & 0xFF000000) : (out & 0x00FFFFFF) | (d[i] & 0xFF000000);
    if (written) written[i] = write;
  }
}

void FromPixels24(const uint8_t* p, uint32_t* out, int32_t n) {
  for (int32_t i = 0; i < n; ++i, p += 3)
    out[i] = p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | 0xFF000000u;
}
void ToPixels24(const uint32_t* in, uint8_t* p, int32_t n) {
  for (int32_t i = 0; i < n; ++i, p += 3) {
    p[0] = uint8_t(in[i]);
    p[1] = uint8_t(in[i] >> 8);
    p[2] = uint8_t(in[i] >> 16);
  }
}
void FromPixels555(const uint8_t* p, uint32_t* out, int32_t n) {
  const uint32_t* rgb = BlendTables().rgbOf555;
  for (int32_t i = 0; i < n; ++i, p += 2) out[i] = rgb[(p[0] | uint32_t(p[1]) << 8) & 0x7FFF] | 0xFF000000u;
}
void ToPixels555(const uint32_t* in, const uint8_t* written, uint8_t* p, int32_t n) {
  for (int32_t i = 0; i < n; ++i, p += 2) {
    if (!written[i]) continue;
    uint32_t v = in[i], w = ((v >> 19) & 31) << 10 | ((v >> 11) & 31) << 5 | ((v >> 3) & 31);
    p[0] = uint8_t(w);
    p[1] = uint8_t(w >> 8);
  }
}

// Alpha 255, or 254 on a marked key.
inline uint32_t MarkedAlpha(uint32_t keyBits, KeyMark mark) {
  return mark.on && keyBits == mark.key ? 0xFE000000u : 0xFF000000u;
}
// f * 255 / 31 rounded down, for f < 32.
inline uint32_t Widen5(uint32_t f) { return (f * 2106) >> 8; }

void Quantise(const uint32_t* in, uint32_t* out, int32_t n, KeyMark mark) {
  for (int32_t i = 0; i < n; ++i) {
    uint32_t v = in[i], alpha = mark.on ? MarkedAlpha(v & 0xFFFFFF, mark) : v & 0xFF000000u;
    out[i] = Widen5((v >> 3) & 31) | Widen5((v >> 11) & 31) << 8 | Widen5((v >> 19) & 31) << 16 | alpha;
  }
}
void IndicesOfRgb(const uint32_t* in, uint32_t* out, int32_t n, const uint8_t* colourMap, KeyMark mark) {
  for (int32_t i = 0; i < n; ++i) {
    uint32_t v = in[i], alpha = mark.on ? MarkedAlpha(v & 0xFFFFFF, mark) : v & 0xFF000000u;
    out[i] = colourMap[((v >> 19) & 31) << 10 | ((v >> 11) & 31) << 5 | ((v >> 3) & 31)] | alpha;
  }
}
void IndicesOf555(const uint8_t* p, uint32_t* out, int32_t n, const uint8_t* colourMap, KeyMark mark) {
  for (int32_t i = 0; i < n; ++i, p += 2) {
    uint32_t w = (p[0] | uint32_t(p[1]) << 8) & 0x7FFF;
    out[i] = colourMap[w] | MarkedAlpha(w, mark);
  }
}
void FromTable(const uint8_t* p, const uint32_t* table, uint32_t* out, int32_t n) {
  for (int32_t i = 0; i < n; ++i) out[i] = table[p[i]];
}
void FromBytes(const uint8_t* p, uint32_t* out, int32_t n) {
  for (int32_t i = 0; i < n; ++i) out[i] = p[i] | 0xFF000000u;
}
void ToBytes(const uint32_t* in, uint8_t* p, int32_t n) {
  for (int32_t i = 0; i < n; ++i) p[i] = uint8_t(in[i]);
}

template <int... Modes>
constexpr ModeKernels Table(std::integer_sequence<int, Modes...>) {
  return {{Kernel<Modes>...}, FromPixels24, ToPixels24, FromPixels555, ToPixels555, Quantise,
          IndicesOfRgb,       IndicesOf555, FromTable,  FromBytes,     ToBytes};
}

}  // namespace

bool ReadBlitParams(Addr address, BlitParams& out) noexcept {
  out = BlitParams{};
  return address == 0 || TheArena().Read(address, out);
}

void PrepareModeArgs(const BlitParams& params, ModeArgs& args) noexcept {
  args.alpha = params.alpha;
  args.second = params.second;
  args.channels = ((params.channelMask & 1) ? 0x0000FFu : 0) | ((params.channelMask & 2) ? 0x00FF00u : 0) |
                  ((params.channelMask & 4) ? 0xFF0000u : 0);
  // R[i]: 255 below A, 0 from A + P, a falling ramp between. Only mode 12
  // reads it, and a blit of a small sprite should not pay for it.
  if (params.mode != 12) return;
  int32_t a = params.alpha, p = params.second;
  for (int32_t i = 0; i < 256; ++i) {
    int32_t r = i < a ? 255 : i >= a + p ? 0 : std::clamp(255 + (a - i) * 255 / p, 0, 255);
    args.ramp[i] = uint8_t(r);
  }
}

uint32_t ScaleColour(uint32_t a, uint32_t colour) noexcept {
  Scale t = BlendTables().scale;
  return PerChannel(colour, 0, [t, a](uint32_t c, uint32_t) { return uint32_t(t[a][c]); });
}

const ModeKernels& PortableModeKernels() noexcept {
  static constexpr ModeKernels kernels = Table(std::make_integer_sequence<int, kBlendModes>{});
  return kernels;
}

}  // namespace qavz
