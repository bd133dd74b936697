// The blend-mode kernels on SSE2: four pixels per register.
#include "graphics/blend_modes.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstring>

#include "graphics/blend_modes_simd.h"

namespace qavz {

namespace {

struct Sse2 {
  using R = __m128i;
  static constexpr int kPixels = 4;
  static R Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint32_t* p, R v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static R Set32(uint32_t v) { return _mm_set1_epi32(int32_t(v)); }
  static R Set16(uint32_t v) { return _mm_set1_epi16(int16_t(v)); }
  static R Zero() { return _mm_setzero_si128(); }
  static R And(R a, R b) { return _mm_and_si128(a, b); }
  static R Or(R a, R b) { return _mm_or_si128(a, b); }
  static R Xor(R a, R b) { return _mm_xor_si128(a, b); }
  static R AndNot(R a, R b) { return _mm_andnot_si128(a, b); }
  static R Add16(R a, R b) { return _mm_add_epi16(a, b); }
  static R Sub16(R a, R b) { return _mm_sub_epi16(a, b); }
  static R Sub32(R a, R b) { return _mm_sub_epi32(a, b); }
  static R MulLo16(R a, R b) { return _mm_mullo_epi16(a, b); }
  static R MulHi16U(R a, R b) { return _mm_mulhi_epu16(a, b); }
  template <int N>
  static R Srl16(R a) {
    return _mm_srli_epi16(a, N);
  }
  template <int N>
  static R Srl32(R a) {
    return _mm_srli_epi32(a, N);
  }
  static R Lo8(R a, R zero) { return _mm_unpacklo_epi8(a, zero); }
  static R Hi8(R a, R zero) { return _mm_unpackhi_epi8(a, zero); }
  static R Pack(R lo, R hi) { return _mm_packus_epi16(lo, hi); }
  static R PackMask(R lo, R hi) { return _mm_packs_epi16(lo, hi); }
  static R CmpEq16(R a, R b) { return _mm_cmpeq_epi16(a, b); }
  static R CmpEq32(R a, R b) { return _mm_cmpeq_epi32(a, b); }
  static R CmpGt32(R a, R b) { return _mm_cmpgt_epi32(a, b); }
  static R Min8(R a, R b) { return _mm_min_epu8(a, b); }
  static R Max8(R a, R b) { return _mm_max_epu8(a, b); }
  static R AddSat8(R a, R b) { return _mm_adds_epu8(a, b); }
  static R SubSat8(R a, R b) { return _mm_subs_epu8(a, b); }
  static R SetPixel16(uint32_t l0, uint32_t l1, uint32_t l2, uint32_t l3) {
    return _mm_set_epi16(int16_t(l3), int16_t(l2), int16_t(l1), int16_t(l0), int16_t(l3), int16_t(l2),
                         int16_t(l1), int16_t(l0));
  }
  // Each pixel's alpha word in its three colour lanes, 0 in its alpha lane.
  static R AlphaWords(R p) {
    R spread = _mm_shufflehi_epi16(_mm_shufflelo_epi16(p, 0xFF), 0xFF);
    return _mm_and_si128(spread, _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1));
  }
  static int MoveMask(R mask) { return _mm_movemask_ps(_mm_castsi128_ps(mask)); }
  // Whether every bit of `mask` is set in `a`, or none is.
  static bool AllBits(R a, R mask) { return MoveMask(_mm_cmpeq_epi32(_mm_and_si128(a, mask), mask)) == 15; }
  static bool NoBits(R a, R mask) { return MoveMask(_mm_cmpeq_epi32(_mm_and_si128(a, mask), Zero())) == 15; }
  template <int N>
  static R Sll16(R a) {
    return _mm_slli_epi16(a, N);
  }
  template <int N>
  static R Sll32(R a) {
    return _mm_slli_epi32(a, N);
  }
  static R PrepareUnpack16(R a) { return a; }
  static R UnpackLo16(R a, R b) { return _mm_unpacklo_epi16(a, b); }
  static R UnpackHi16(R a, R b) { return _mm_unpackhi_epi16(a, b); }
  static R Add32(R a, R b) { return _mm_add_epi32(a, b); }
  // Words of 15 bits or fewer: a's four, then b's.
  static R Words(R a, R b) { return _mm_packs_epi32(a, b); }
  // Eight bytes as words.
  static R WrittenWords(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), Zero());
  }
  static R WidenBytes(const uint8_t* p) {
    int32_t four;
    std::memcpy(&four, p, 4);
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(four), Zero()), Zero());
  }
  static void NarrowBytes(R v, uint8_t* p) {
    R words = _mm_packs_epi32(_mm_and_si128(v, Set32(0xFF)), Zero());
    int32_t four = _mm_cvtsi128_si32(_mm_packus_epi16(words, Zero()));
    std::memcpy(p, &four, 4);
  }
  // No gather instruction: the look-ups stay scalar.
  static R GatherTable(const uint32_t* table, const uint8_t* p) {
    return _mm_setr_epi32(int32_t(table[p[0]]), int32_t(table[p[1]]), int32_t(table[p[2]]),
                          int32_t(table[p[3]]));
  }
  static R GatherBytes(const uint8_t* base, R index) {
    alignas(16) uint32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), index);
    for (uint32_t& i : at) i = base[i];
    return _mm_load_si128(reinterpret_cast<const __m128i*>(at));
  }
  static R GatherMapBytes(const uint8_t* base, R index) { return GatherBytes(base, index); }
  // SSE2 has no byte shuffle: 24-bit rows stay portable.
  static constexpr bool kHasShuffle = false;
  static R Expand24(const uint8_t*) { return Zero(); }
  static void Compress24(R, uint8_t*) {}
};

}  // namespace

const ModeKernels* Sse2ModeKernels() noexcept {
  static const ModeKernels kernels = Simd<Sse2>::Table(std::make_integer_sequence<int, kBlendModes>{});
  return &kernels;
}

}  // namespace qavz

#else

namespace qavz {
const ModeKernels* Sse2ModeKernels() noexcept { return nullptr; }
}  // namespace qavz

#endif
