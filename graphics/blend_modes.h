// The 25 blend modes of gcopy and gblit as per-row kernels.
//
// A kernel works on pixels already brought to the destination's compute
// space: one 32-bit word per pixel with channel 0 in bits 0-7, 1 in 8-15, 2
// in 16-23 (blue, green, red; an 8-bit destination without colour mapping
// keeps its index in channel 0) and the pixel's alpha in bits 24-31: the
// source's alpha byte, its attached plane's byte or 255, and for the
// destination its alpha byte or 255. Kernels blend with the scale table T
// (T[a][v] = (a v + 128) / 255) exactly; the vector kernels compute the same
// values without the tables.
#pragma once

#include <cstdint>

#include "vm/arena.h"

namespace qavz {

// The 12-byte blit parameter record in host form.
struct BlitParams {
  uint8_t mode = 0;         // 0 .. 24
  uint8_t channelMask = 0;  // mode 22: bit 0 blue, bit 1 green, bit 2 red
  uint8_t alpha = 0;        // A
  uint8_t second = 0;       // P: mode 10 tint strength, 11 window width, 12 ramp width
  uint32_t key = 0;         // K, a colour argument
  uint32_t colour = 0;      // F, a colour argument
};
static_assert(sizeof(BlitParams) == 12, "the record's layout is fixed");

// The record at `address`; address 0 gives mode 0. False when the record is
// not in live script memory.
bool ReadBlitParams(Addr address, BlitParams& out) noexcept;

constexpr int kBlendModes = 25;

// One blit's parameters in the destination's compute space.
struct ModeArgs {
  uint32_t alpha = 0;         // A
  uint32_t second = 0;        // P
  uint32_t colour = 0;        // F
  uint32_t scaledColour = 0;  // per channel T[A][F] (modes 5, 6) or T[P][F] (mode 10)
  // Modes 1, 4, 6 leave the pixels whose source has (s & srcKeyMask) == srcKey.
  uint32_t srcKey = 0, srcKeyMask = 0;
  // Mode 2 draws only where (d & dstKeyMask) == dstKey.
  uint32_t dstKey = 0, dstKeyMask = 0;
  uint32_t channels = 0;   // mode 22: the channels copied (M)
  uint32_t limit = 255;    // largest channel value: 31 on 5-bit fields, where mode 13 saturates
  uint8_t ramp[256] = {};  // mode 12: R
};

// Fills the fields that do not depend on the compute space: A, P, M and R.
void PrepareModeArgs(const BlitParams& params, ModeArgs& args) noexcept;
// Per channel T[a][c] of a compute-space colour.
uint32_t ScaleColour(uint32_t a, uint32_t colour) noexcept;

// d[i] receives the mode's result for (s[i], d[i]); a written pixel takes the
// result's colour channels and keeps its alpha (mode 23 takes the source's
// alpha and keeps the colour). `written`, when given, receives 1 for each
// written pixel and 0 for each pixel the mode leaves.
using ModeKernel = void (*)(uint32_t* d, const uint32_t* s, uint8_t* written, int32_t n, const ModeArgs& m);

// Rows of contiguous pixels into the RGB compute space (alpha lane 255) and
// back: 24-bit pixels, and 16-bit pixels through the 5-5-5 table (bit 15
// ignored; only the pixels marked written are stored).
using From24 = void (*)(const uint8_t* p, uint32_t* out, int32_t n);
using To24 = void (*)(const uint32_t* in, uint8_t* p, int32_t n);
using From555 = void (*)(const uint8_t* p, uint32_t* out, int32_t n);
using To555 = void (*)(const uint32_t* in, const uint8_t* written, uint8_t* p, int32_t n);

// Where `on`, a pixel whose key bits equal `key` gets alpha 254 and every
// other pixel 255: the mark by which a compute space that loses the key
// still knows the keyed pixels.
struct KeyMark {
  bool on = false;
  uint32_t key = 0;
};

// Rows for the other compute spaces, all of them contiguous:
// RGB words (alpha lane kept, or marked) with each channel truncated to 5
// bits and widened again as the 5-5-5 table does (in and out may be the same);
using Quantise555 = void (*)(const uint32_t* in, uint32_t* out, int32_t n, KeyMark mark);
// RGB words to palette indices through the 5-5-5 colour map;
using IndexOfRgb = void (*)(const uint32_t* in, uint32_t* out, int32_t n, const uint8_t* colourMap,
                            KeyMark mark);
// 16-bit pixels to palette indices through the colour map (bit 15 ignored, alpha 255 or marked);
using IndexOf555 = void (*)(const uint8_t* p, uint32_t* out, int32_t n, const uint8_t* colourMap,
                            KeyMark mark);
// 8-bit pixels through a table of 256 words;
using FromTable8 = void (*)(const uint8_t* p, const uint32_t* table, uint32_t* out, int32_t n);
// 8-bit pixels as themselves with alpha 255, and back as each word's low byte.
using From8 = void (*)(const uint8_t* p, uint32_t* out, int32_t n);
using To8 = void (*)(const uint32_t* in, uint8_t* p, int32_t n);

struct ModeKernels {
  ModeKernel mode[kBlendModes];
  From24 from24;
  To24 to24;
  From555 from555;
  To555 to555;
  Quantise555 quantise555;
  IndexOfRgb indexOfRgb;
  IndexOf555 indexOf555;
  FromTable8 fromTable8;
  From8 from8;
  To8 to8;
};

const ModeKernels& PortableModeKernels() noexcept;
// The vector kernels, or null where the processor lacks the instructions.
const ModeKernels* Sse2ModeKernels() noexcept;
const ModeKernels* Avx2ModeKernels() noexcept;

}  // namespace qavz
