#include "net/byte_ring.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qavz {
namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7);
  return v;
}

// A ring whose indices both stand at `start`.
std::unique_ptr<ByteRing> RingAt(uint32_t start) {
  auto ring = std::make_unique<ByteRing>();
  std::vector<uint8_t> filler(start);
  ring->Put(filler.data(), start);
  ring->Take(filler.data(), start);
  return ring;
}

TEST(ByteRing, HoldsAtMost8191Bytes) {
  auto ring = std::make_unique<ByteRing>();
  auto bytes = Pattern(10000, 1);
  EXPECT_EQ(ring->Put(bytes.data(), 10000), 8191u);
  EXPECT_EQ(ring->Used(), 8191u);
  EXPECT_EQ(ring->Free(), 0u);
  EXPECT_EQ(ring->Put(bytes.data(), 1), 0u) << "a full ring takes nothing";
  std::vector<uint8_t> out(10000);
  EXPECT_EQ(ring->Take(out.data(), 10000), 8191u);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 8191, bytes.begin()));
  EXPECT_EQ(ring->Take(out.data(), 1), 0u) << "an empty ring gives nothing";
}

class ByteRingAt : public testing::TestWithParam<uint32_t> {};

TEST_P(ByteRingAt, KeepsOrderAcrossTheWrap) {
  auto ring = RingAt(GetParam());
  auto bytes = Pattern(8191, 3);
  ASSERT_EQ(ring->Put(bytes.data(), 5000), 5000u);
  std::vector<uint8_t> out(8191);
  ASSERT_EQ(ring->Take(out.data(), 1234), 1234u);
  ASSERT_EQ(ring->Put(bytes.data() + 5000, 3191), 3191u);
  EXPECT_EQ(ring->Used(), 8191u - 1234u);
  ASSERT_EQ(ring->Take(out.data() + 1234, 8191), 8191u - 1234u);
  EXPECT_EQ(out, bytes);
  EXPECT_EQ(ring->Used(), 0u);
}

// The network thread moves bytes through pieces: the used piece and the one
// after it hold exactly the used bytes, likewise for the free ones.
TEST_P(ByteRingAt, PiecesCoverTheUsedAndFreeBytes) {
  for (uint32_t used : {0u, 1u, 100u, 4096u, 8190u, 8191u}) {
    auto ring = RingAt(GetParam());
    auto bytes = Pattern(used, 5);
    ring->Put(bytes.data(), used);
    uint32_t freeBytes = 0;
    ByteRing::Piece f1 = ring->FreePiece();
    freeBytes += f1.size;
    ring->Commit(f1.size);
    ByteRing::Piece f2 = ring->FreePiece();
    freeBytes += f2.size;
    ring->Commit(f2.size);
    EXPECT_EQ(freeBytes, 8191u - used) << "used " << used;
    EXPECT_EQ(ring->FreePiece().size, 0u);

    auto fresh = RingAt(GetParam());
    fresh->Put(bytes.data(), used);
    std::vector<uint8_t> seen;
    for (int i = 0; i < 2; ++i) {
      ByteRing::Piece p = fresh->UsedPiece();
      seen.insert(seen.end(), p.data, p.data + p.size);
      fresh->Consume(p.size);
    }
    EXPECT_EQ(seen, bytes) << "used " << used;
    EXPECT_EQ(fresh->Used(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Starts, ByteRingAt, testing::Values(0u, 1u, 4000u, 8190u, 8191u));

}  // namespace
}  // namespace qavz
