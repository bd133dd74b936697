// The row conversions of every mode-kernel table against a model of the
// compute spaces: the blit loops take whichever table is in use, so the
// vector rows must give the portable values exactly, at every row length
// (whole registers and the ends after them) and with keys marked or not.
#include "graphics/blend_modes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "graphics/blend_tables.h"

namespace qavz {
namespace {

uint32_t Widen5(uint32_t f) { return f * 255 / 31; }
uint32_t Index555(uint32_t rgb) {
  return ((rgb >> 19) & 31) << 10 | ((rgb >> 11) & 31) << 5 | ((rgb >> 3) & 31);
}
uint32_t Alpha(uint32_t keyBits, uint32_t own, KeyMark mark) {
  if (!mark.on) return own & 0xFF000000u;
  return keyBits == mark.key ? 0xFE000000u : 0xFF000000u;
}

struct Impl {
  const char* name;
  const ModeKernels* kernels;
};

void PrintTo(const Impl& impl, std::ostream* os) { *os << impl.name; }

std::vector<Impl> Impls() {
  std::vector<Impl> impls = {
      {"portable", &PortableModeKernels()}, {"sse2", Sse2ModeKernels()}, {"avx2", Avx2ModeKernels()}};
  std::erase_if(impls, [](const Impl& i) { return i.kernels == nullptr; });
  return impls;
}

class BlendRows : public testing::TestWithParam<Impl> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BuildBlendTables());
    savedMap_.assign(BlendTables().colourMap, BlendTables().colourMap + 32768);
    for (int i = 0; i < 32768; ++i) BlendTables().colourMap[i] = uint8_t(rng_());
  }
  void TearDown() override { std::copy(savedMap_.begin(), savedMap_.end(), BlendTables().colourMap); }

  // Random words where a quarter of the pixels carry `key` in `keyBits`.
  std::vector<uint32_t> Words(int32_t n, uint32_t key, uint32_t keyBits) {
    std::vector<uint32_t> w(size_t(n) + 1);
    for (uint32_t& v : w) v = rng_() % 4 == 0 ? (rng_() & ~keyBits) | key : uint32_t(rng_());
    return w;
  }
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> b(n + 1);
    for (uint8_t& v : b) v = uint8_t(rng_());
    return b;
  }

  std::mt19937 rng_{11};
  std::vector<uint8_t> savedMap_;
};

// Lengths that cover no register, whole registers and every end after them.
constexpr int32_t kMaxLength = 70;
const KeyMark kMarks[2] = {{false, 0}, {true, 0x00A0B0C0u & 0xFFFFFF}};

TEST_P(BlendRows, QuantiseAndIndexRgbWords) {
  const ModeKernels& k = *GetParam().kernels;
  const uint8_t* map = BlendTables().colourMap;
  for (KeyMark mark : kMarks)
    for (int32_t n = 0; n <= kMaxLength; ++n) {
      std::vector<uint32_t> in = Words(n, mark.key, 0xFFFFFF), out(in.size(), 0xDEADBEEF);
      k.quantise555(in.data(), out.data(), n, mark);
      for (int32_t i = 0; i < n; ++i) {
        uint32_t v = in[size_t(i)];
        uint32_t want = Widen5((v >> 3) & 31) | Widen5((v >> 11) & 31) << 8 | Widen5((v >> 19) & 31) << 16 |
                        Alpha(v & 0xFFFFFF, v, mark);
        ASSERT_EQ(out[size_t(i)], want) << GetParam().name << " quantise n " << n << " at " << i;
      }
      ASSERT_EQ(out[size_t(n)], 0xDEADBEEF) << "written past the row";
      // In place, as the loops call it.
      std::vector<uint32_t> same = in;
      k.quantise555(same.data(), same.data(), n, mark);
      ASSERT_TRUE(std::equal(same.begin(), same.begin() + n, out.begin()));

      k.indexOfRgb(in.data(), out.data(), n, map, mark);
      for (int32_t i = 0; i < n; ++i) {
        uint32_t v = in[size_t(i)];
        ASSERT_EQ(out[size_t(i)], map[Index555(v)] | Alpha(v & 0xFFFFFF, v, mark))
            << GetParam().name << " index n " << n << " at " << i;
      }
      same = in;
      k.indexOfRgb(same.data(), same.data(), n, map, mark);
      ASSERT_TRUE(std::equal(same.begin(), same.begin() + n, out.begin()));
    }
}

TEST_P(BlendRows, SixteenBitPixelsToIndicesAndBack) {
  const ModeKernels& k = *GetParam().kernels;
  const uint8_t* map = BlendTables().colourMap;
  for (KeyMark mark : {KeyMark{false, 0}, KeyMark{true, 0x1234}})
    for (int32_t n = 0; n <= kMaxLength; ++n) {
      std::vector<uint8_t> raw = Bytes(size_t(n) * 2);
      for (int32_t i = 0; i < n; i += 3) {  // the key, once with bit 15 set
        raw[size_t(2 * i)] = 0x34;
        raw[size_t(2 * i + 1)] = uint8_t(i % 2 ? 0x92 : 0x12);
      }
      std::vector<uint32_t> out(size_t(n) + 1, 0xDEADBEEF);
      k.indexOf555(raw.data(), out.data(), n, map, mark);
      for (int32_t i = 0; i < n; ++i) {
        uint32_t w = (raw[size_t(2 * i)] | uint32_t(raw[size_t(2 * i + 1)]) << 8) & 0x7FFF;
        ASSERT_EQ(out[size_t(i)], map[w] | Alpha(w, 0xFF000000u, mark))
            << GetParam().name << " n " << n << " at " << i;
      }
      ASSERT_EQ(out[size_t(n)], 0xDEADBEEF);

      // Back to 5-5-5: only the written pixels change, bit 15 of the others kept.
      std::vector<uint32_t> rgb = Words(n, 0, 0);
      std::vector<uint8_t> written = Bytes(size_t(n)), row = raw;
      for (uint8_t& b : written) b &= 1;
      k.to555(rgb.data(), written.data(), row.data(), n);
      for (int32_t i = 0; i < n; ++i) {
        uint32_t got = row[size_t(2 * i)] | uint32_t(row[size_t(2 * i + 1)]) << 8;
        uint32_t was = raw[size_t(2 * i)] | uint32_t(raw[size_t(2 * i + 1)]) << 8;
        ASSERT_EQ(got, written[size_t(i)] ? Index555(rgb[size_t(i)]) : was)
            << GetParam().name << " to555 n " << n << " at " << i;
      }
      ASSERT_EQ(row.back(), raw.back()) << "written past the row";
    }
}

TEST_P(BlendRows, EightBitPixels) {
  const ModeKernels& k = *GetParam().kernels;
  std::vector<uint32_t> table = Words(256, 0, 0);
  for (int32_t n = 0; n <= kMaxLength; ++n) {
    std::vector<uint8_t> raw = Bytes(size_t(n));
    std::vector<uint32_t> looked(size_t(n) + 1, 0xDEADBEEF), plain(size_t(n) + 1, 0xDEADBEEF);
    k.fromTable8(raw.data(), table.data(), looked.data(), n);
    k.from8(raw.data(), plain.data(), n);
    for (int32_t i = 0; i < n; ++i) {
      ASSERT_EQ(looked[size_t(i)], table[raw[size_t(i)]]) << GetParam().name << " n " << n << " at " << i;
      ASSERT_EQ(plain[size_t(i)], raw[size_t(i)] | 0xFF000000u) << GetParam().name << " n " << n;
    }
    ASSERT_EQ(looked[size_t(n)], 0xDEADBEEF);
    ASSERT_EQ(plain[size_t(n)], 0xDEADBEEF);
    std::vector<uint32_t> words = Words(n, 0, 0);
    std::vector<uint8_t> back = Bytes(size_t(n)), before = back;
    k.to8(words.data(), back.data(), n);
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(back[size_t(i)], uint8_t(words[size_t(i)])) << GetParam().name;
    ASSERT_EQ(back.back(), before.back()) << "written past the row";
  }
}

INSTANTIATE_TEST_SUITE_P(EveryTable, BlendRows, testing::ValuesIn(Impls()),
                         [](const testing::TestParamInfo<Impl>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace qavz
