#include "vm/arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace qavz {
namespace {

TEST(Arena, BlocksAreZeroFilledAndAboveTheLowest64KiB) {
  Arena& arena = TheArena();
  Addr a = arena.Alloc(140);
  ASSERT_NE(a, 0u);
  EXPECT_GE(a, Arena::kLowest);
  EXPECT_EQ(arena.BlockSize(a), 140u);
  for (uint32_t i = 0; i < 140; ++i) EXPECT_EQ(arena.Span(a, 140)[i], 0);
  EXPECT_FALSE(arena.Live(0, 1));
  EXPECT_FALSE(arena.Live(Arena::kLowest - 4, 4));
  arena.Free(a);
}

TEST(Arena, FreedMemoryFaultsAndComesBackZeroed) {
  Arena& arena = TheArena();
  Addr a = arena.Alloc(4096 * 3);
  ASSERT_TRUE(arena.Write<int32_t>(a + 100, 77));
  ASSERT_TRUE(arena.Free(a));
  int32_t v = -1;
  EXPECT_FALSE(arena.Read(a + 100, v));
  EXPECT_EQ(v, -1);
  EXPECT_FALSE(arena.Free(a)) << "double free is refused";
  Addr b = arena.Alloc(4096 * 3);
  ASSERT_NE(b, 0u);
  EXPECT_EQ(arena.Word(b + 100, -1), 0);
  arena.Free(b);
}

TEST(Arena, AccessesThatCrossTheBlockEndAreRefused) {
  Arena& arena = TheArena();
  Addr a = arena.Alloc(4096);
  EXPECT_TRUE(arena.Live(a + 4092, 4));
  EXPECT_FALSE(arena.Live(a + 4093, 4)) << "a guard page follows every block";
  EXPECT_FALSE(arena.Live(0xFFFFFFFEu, 4)) << "wrap-around";
  EXPECT_EQ(arena.LiveExtent(a + 96), 4000u);
  arena.Free(a);
}

TEST(Arena, StringsStopAtDeadMemory) {
  Arena& arena = TheArena();
  Addr a = arena.Alloc(4096);
  uint8_t* p = arena.Span(a, 4096);
  std::memset(p, 'x', 4096);  // no terminator inside the block
  std::string s;
  EXPECT_EQ(arena.StrLen(a), -1);
  EXPECT_FALSE(arena.ReadString(a, s, 8192));
  EXPECT_TRUE(arena.ReadString(a, s, 10));
  EXPECT_EQ(s, "xxxxxxxxxx");
  p[5] = 0;
  EXPECT_EQ(arena.StrLen(a + 2), 3);
  EXPECT_FALSE(arena.WriteString(a + 4090, "toolong", 7));
  EXPECT_EQ(p[4090], 'x') << "a refused write touches nothing";
  arena.Free(a);
}

TEST(Arena, ReuseDoesNotGrowTheAddressSpace) {
  Arena& arena = TheArena();
  uint64_t before = arena.LiveBytes();
  Addr first = arena.Alloc(8 << 20);
  arena.Free(first);
  Addr highest = first;
  for (int i = 0; i < 200; ++i) {
    Addr big = arena.Alloc(8 << 20);
    Addr small = arena.Alloc(140);
    ASSERT_NE(big, 0u);
    ASSERT_NE(small, 0u);
    highest = std::max({highest, big, small});
    arena.Free(big);
    arena.Free(small);
  }
  // 1.6 GiB went through the loop; freed space comes back once it has left
  // the quarantine, so the addresses stay within a few blocks of the start.
  EXPECT_LT(uint64_t(highest) - first, uint64_t(256) << 20) << "coalesced free space is reused";
  EXPECT_EQ(arena.LiveBytes(), before);
}

}  // namespace
}  // namespace qavz

namespace qavz {
namespace {

TEST(Arena, AddressesStayPositiveAsSignedInts) {
  Arena& arena = TheArena();
  Addr big = arena.Alloc(1u << 30);
  Addr refused = arena.Alloc(1u << 30);  // the second GiB cannot fit below 2 GiB
  EXPECT_NE(big, 0u);
  EXPECT_LT(uint64_t(big) + (1u << 30), Arena::kHighest);
  EXPECT_EQ(refused, 0u);
  arena.Free(big);
  Addr small = arena.Alloc(140);
  EXPECT_GT(int32_t(small), 0);
  arena.Free(small);
}

TEST(Arena, FreedAddressesAreNotHandedOutAgainAtOnce) {
  Arena& arena = TheArena();
  Addr old = arena.Alloc(4096);
  ASSERT_TRUE(arena.Free(old));
  for (int i = 0; i < 64; ++i) {
    Addr fresh = arena.Alloc(4096);
    EXPECT_NE(fresh, old) << "a stale address must keep faulting";
    arena.Free(fresh);
  }
  EXPECT_FALSE(arena.Live(old, 1));
}

}  // namespace
}  // namespace qavz
