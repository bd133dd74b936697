// The pixel operations: 56 row loops over rectangles of pixels, as one table
// of function pointers per implementation (portable, and vector on x86-64),
// chosen once at start-up like a pixman implementation chain.
//
// Every operation takes a width x height rectangle and, for each image it
// touches, the first pixel and the signed byte step to the next row down the
// picture (negative for planes, whose rows are stored bottom-up).
//
// Formats: 32 (B, G, R, A), 24 (B, G, R), 5-6-5 and 5-5-5 (little-endian
// words). The vector implementation blends with the weight w + (w >> 7) in
// place of w + 1 on 16-bit lanes, and keeps 16-bit formats at the full 8-bit
// weight, so its K0..K4 results may differ from the portable ones by a unit
// per channel; every other slot gives the portable results exactly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qavz {

struct Image {
  uint8_t* first;
  ptrdiff_t step;
};
struct ConstImage {
  const uint8_t* first;
  ptrdiff_t step;
};

// K0: where U equals the key the result is S, elsewhere S + (U - S) * (alpha + 1) / 256.
using KeyedLerpOp = void (*)(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s,
                             ConstImage u, uint32_t key);
// K1: an 8-bit mask image weighs each pixel: S + (U - S) * (m + 1) / 256.
using MaskedLerpOp = void (*)(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s,
                              ConstImage u);
// K2: S + (colour - S) * (m + 1) / 256.
using MaskedColourOp = void (*)(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s,
                                uint32_t colour);
// K3: S + (U - S) * (alpha + 1) / 256.
using LerpOp = void (*)(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u);
// K4: (colour * (alpha + 1) + S * (255 - alpha)) / 256.
using TintOp = void (*)(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s,
                        uint32_t colour);
// Copies the source pixels that differ from the key.
using KeyedCopyOp = void (*)(uint32_t key, int32_t width, int32_t height, Image dst, ConstImage src);
using ConvertOp = void (*)(int32_t width, int32_t height, Image dst, ConstImage src);
// Each channel c + ((amount + 1) * (Y128 - 128 c) >> 15), Y128 = 38 R + 77 G + 13 B.
using DesaturateOp = void (*)(uint32_t amount, int32_t width, int32_t height, Image dst, ConstImage src);
using DesaturateKeyedOp = void (*)(uint32_t amount, int32_t width, int32_t height, Image dst, ConstImage src,
                                   uint32_t key);
// Each channel ((tint channel + 1) * Y128) >> 15.
using GreyTintOp = void (*)(uint32_t tint, int32_t width, int32_t height, Image dst, ConstImage src);
using GreyTintKeyedOp = void (*)(uint32_t tint, int32_t width, int32_t height, Image dst, ConstImage src,
                                 uint32_t key);

// Formats of the group, keyed-copy, desaturate and grey-tint slots.
enum PixelFormat : int { kFormat32, kFormat24, kFormat565, kFormat555 };
// Formats of the conversion slots, in their own order.
enum ConvertFormat : int { kConvert555, kConvert565, kConvert24, kConvert32 };

struct PixelGroup {
  KeyedLerpOp keyedLerp;        // K0
  MaskedLerpOp maskedLerp;      // K1
  MaskedColourOp maskedColour;  // K2
  LerpOp lerp;                  // K3
  TintOp tint;                  // K4
};
struct DesaturateOps {
  DesaturateKeyedOp keyed;
  DesaturateOp plain;
};
struct GreyTintOps {
  GreyTintKeyedOp keyed;
  GreyTintOp plain;
};

// The 56 slots in order.
struct PixelOps {
  PixelGroup group[4];          // 0-19: one group per PixelFormat
  KeyedCopyOp keyedCopy[4];     // 20-23: per PixelFormat
  ConvertOp convert[4][4];      // 24-39: [source][destination], ConvertFormat order
  DesaturateOps desaturate[4];  // 40-47: per PixelFormat, keyed slot first
  GreyTintOps greyTint[4];      // 48-55: per PixelFormat, keyed slot first
};
constexpr int kPixelOpSlots = 56;
static_assert(sizeof(PixelOps) == kPixelOpSlots * sizeof(void*), "56 slots, nothing else");
static_assert(offsetof(PixelOps, keyedCopy) == 20 * sizeof(void*));
static_assert(offsetof(PixelOps, convert) == 24 * sizeof(void*));
static_assert(offsetof(PixelOps, desaturate) == 40 * sizeof(void*));
static_assert(offsetof(PixelOps, greyTint) == 48 * sizeof(void*));

const PixelOps& PortablePixelOps() noexcept;
// The vector table, or null where the processor has no vector unit we use.
const PixelOps* VectorPixelOps() noexcept;

struct ModeKernels;  // graphics/blend_modes.h

// One implementation of the whole pixel engine: the 56 operations and the
// per-mode kernels of the blit loops.
struct PixelImplementation {
  const char* name;  // "portable", "sse2", "avx2"
  const PixelOps* ops;
  const ModeKernels* modes;
};

// The implementation in use: the best the processor supports, unless the
// environment variable QAVZ_PIXEL_OPS names another ("portable", "sse2",
// "avx2"); chosen on first use.
const PixelImplementation& ThePixelImplementation() noexcept;
inline const PixelOps& ThePixelOps() noexcept { return *ThePixelImplementation().ops; }
// Switches the implementation (tests and benchmarks compare them). False,
// and nothing changed, when the name is unknown or the processor lacks it.
bool SelectPixelImplementation(const char* name) noexcept;

}  // namespace qavz
