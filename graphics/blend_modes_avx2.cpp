// The blend-mode kernels on AVX2: eight pixels per register. Only the code
// after the target switch uses AVX2, and all of it has internal linkage, so
// nothing compiled here can stand in for code that runs without AVX2.
#include "graphics/blend_modes.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "graphics/blend_tables.h"

// Clang ignores GCC's target pragma; its own attribute region does the same.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "graphics/blend_modes_simd.h"

namespace qavz {

namespace {

struct Avx2 {
  using R = __m256i;
  static constexpr int kPixels = 8;
  static R Load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(uint32_t* p, R v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static R Set32(uint32_t v) { return _mm256_set1_epi32(int32_t(v)); }
  static R Set16(uint32_t v) { return _mm256_set1_epi16(int16_t(v)); }
  static R Zero() { return _mm256_setzero_si256(); }
  static R And(R a, R b) { return _mm256_and_si256(a, b); }
  static R Or(R a, R b) { return _mm256_or_si256(a, b); }
  static R Xor(R a, R b) { return _mm256_xor_si256(a, b); }
  static R AndNot(R a, R b) { return _mm256_andnot_si256(a, b); }
  static R Add16(R a, R b) { return _mm256_add_epi16(a, b); }
  static R Sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
  static R Sub32(R a, R b) { return _mm256_sub_epi32(a, b); }
  static R MulLo16(R a, R b) { return _mm256_mullo_epi16(a, b); }
  static R MulHi16U(R a, R b) { return _mm256_mulhi_epu16(a, b); }
  template <int N>
  static R Srl16(R a) {
    return _mm256_srli_epi16(a, N);
  }
  template <int N>
  static R Srl32(R a) {
    return _mm256_srli_epi32(a, N);
  }
  // Unpacking and packing work within each 128-bit half; packing undoes
  // unpacking, so pixels keep their places.
  static R Lo8(R a, R zero) { return _mm256_unpacklo_epi8(a, zero); }
  static R Hi8(R a, R zero) { return _mm256_unpackhi_epi8(a, zero); }
  static R Pack(R lo, R hi) { return _mm256_packus_epi16(lo, hi); }
  static R PackMask(R lo, R hi) { return _mm256_packs_epi16(lo, hi); }
  static R CmpEq16(R a, R b) { return _mm256_cmpeq_epi16(a, b); }
  static R CmpEq32(R a, R b) { return _mm256_cmpeq_epi32(a, b); }
  static R CmpGt32(R a, R b) { return _mm256_cmpgt_epi32(a, b); }
  static R Min8(R a, R b) { return _mm256_min_epu8(a, b); }
  static R Max8(R a, R b) { return _mm256_max_epu8(a, b); }
  static R AddSat8(R a, R b) { return _mm256_adds_epu8(a, b); }
  static R SubSat8(R a, R b) { return _mm256_subs_epu8(a, b); }
  static R SetPixel16(uint32_t l0, uint32_t l1, uint32_t l2, uint32_t l3) {
    return _mm256_set_epi16(int16_t(l3), int16_t(l2), int16_t(l1), int16_t(l0), int16_t(l3), int16_t(l2),
                            int16_t(l1), int16_t(l0), int16_t(l3), int16_t(l2), int16_t(l1), int16_t(l0),
                            int16_t(l3), int16_t(l2), int16_t(l1), int16_t(l0));
  }
  // Each pixel's alpha word in its three colour lanes, 0 in its alpha lane.
  static R AlphaWords(R p) {
    const R spread = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, -1, -1, 14, 15, 14, 15, 14, 15, -1, -1, 6, 7, 6, 7, 6,
                                      7, -1, -1, 14, 15, 14, 15, 14, 15, -1, -1);
    return _mm256_shuffle_epi8(p, spread);
  }
  static int MoveMask(R mask) { return _mm256_movemask_ps(_mm256_castsi256_ps(mask)); }
  // Whether every bit of `mask` is set in `a`, or none is.
  static bool AllBits(R a, R mask) { return _mm256_testc_si256(a, mask); }
  static bool NoBits(R a, R mask) { return _mm256_testz_si256(a, mask); }
  template <int N>
  static R Sll16(R a) {
    return _mm256_slli_epi16(a, N);
  }
  template <int N>
  static R Sll32(R a) {
    return _mm256_slli_epi32(a, N);
  }
  // Word unpacking works within halves: pixels 0-3 and 8-11 go to the low
  // half first, so that unpacking yields 0-7, then 8-15.
  static R PrepareUnpack16(R a) { return _mm256_permute4x64_epi64(a, 0xD8); }
  static R UnpackLo16(R a, R b) { return _mm256_unpacklo_epi16(a, b); }
  static R UnpackHi16(R a, R b) { return _mm256_unpackhi_epi16(a, b); }
  static R Add32(R a, R b) { return _mm256_add_epi32(a, b); }
  // Words of 15 bits or fewer: a's eight, then b's (packing works within halves).
  static R Words(R a, R b) { return _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8); }
  // Sixteen bytes as words.
  static R WrittenWords(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static R WidenBytes(const uint8_t* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  }
  static void NarrowBytes(R v, uint8_t* p) {
    const R low = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12,
                                   -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    R bytes =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, low), _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(bytes));
  }
  static R GatherTable(const uint32_t* table, const uint8_t* p) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), WidenBytes(p), 4);
  }
  // Scalar loads: the gather instruction is slower than they are on some processors.
  static R GatherBytes(const uint8_t* base, R index) {
    alignas(32) uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    for (uint32_t& i : at) i = base[i];
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(at));
  }
  // Reads four bytes at each index: the colour map is followed by more of
  // the table block.
  static R GatherMapBytes(const uint8_t* base, R index) {
    return _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(base), index, 1),
                            Set32(0xFF));
  }
  static constexpr bool kHasShuffle = true;
  // Eight 3-byte pixels as words (alpha 0); reads 28 bytes.
  static R Expand24(const uint8_t* p) {
    const R spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                                      5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), spread);
  }
  // Eight words as 3-byte pixels: exactly 24 bytes written.
  static void Compress24(R v, uint8_t* p) {
    const R squeeze = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5,
                                       6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    R packed = _mm256_shuffle_epi8(v, squeeze);
    for (int half = 0; half < 2; ++half) {
      __m128i h = half ? _mm256_extracti128_si256(packed, 1) : _mm256_castsi256_si128(packed);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 12 * half), h);
      int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(h, 8));
      std::memcpy(p + 12 * half + 8, &last, 4);
    }
  }
};

ModeKernels BuildAvx2Kernels() { return Simd<Avx2>::Table(std::make_integer_sequence<int, kBlendModes>{}); }

}  // namespace

}  // namespace qavz

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace qavz {

const ModeKernels* Avx2ModeKernels() noexcept {
  if (!__builtin_cpu_supports("avx2")) return nullptr;
  static const ModeKernels kernels = BuildAvx2Kernels();
  return &kernels;
}

}  // namespace qavz

#else

namespace qavz {
const ModeKernels* Avx2ModeKernels() noexcept { return nullptr; }
}  // namespace qavz

#endif
