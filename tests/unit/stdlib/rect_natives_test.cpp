#include <gtest/gtest.h>

#include <array>

#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

using test::ScriptMemory;
using Rect = std::array<int32_t, 4>;

class RectTest : public testing::Test {
 protected:
  Addr Make(Rect r) { return m.Args({r[0], r[1], r[2], r[3]}); }
  Rect At(Addr a) { return {m.WordAt(a), m.WordAt(a + 4), m.WordAt(a + 8), m.WordAt(a + 12)}; }
  int32_t Call(int32_t (*native)(Addr), std::initializer_list<int32_t> args) { return native(m.Args(args)); }
  ScriptMemory m;
};

TEST_F(RectTest, InIsHalfOpen) {
  int32_t r = int32_t(Make({10, 20, 30, 40}));
  EXPECT_NE(Call(Native_rc_in, {r, 10, 20}), 0) << "left/top edge is inside";
  EXPECT_EQ(Call(Native_rc_in, {r, 30, 25}), 0) << "right edge is outside";
  EXPECT_EQ(Call(Native_rc_in, {r, 15, 40}), 0) << "bottom edge is outside";
  EXPECT_NE(Call(Native_rc_in, {r, 29, 39}), 0);
  EXPECT_EQ(Call(Native_rc_in, {r, 9, 25}), 0);
}

TEST_F(RectTest, SettersAndMovers) {
  Addr r = Make({1, 1, 1, 1});
  EXPECT_NE(Call(Native_rc_set, {int32_t(r), 1, 2, 3, 4}), 0);
  EXPECT_EQ(At(r), (Rect{1, 2, 3, 4}));
  EXPECT_NE(Call(Native_rc_setwh, {int32_t(r), 5, 6, 10, 20}), 0);
  EXPECT_EQ(At(r), (Rect{5, 6, 15, 26}));
  EXPECT_NE(Call(Native_rc_move, {int32_t(r), -5, 4}), 0);
  EXPECT_EQ(At(r), (Rect{0, 10, 10, 30}));
  EXPECT_NE(Call(Native_rc_inflate, {int32_t(r), 2, 3}), 0);
  EXPECT_EQ(At(r), (Rect{-2, 7, 12, 33}));
  Addr copy = Make({9, 9, 9, 9});
  EXPECT_NE(Call(Native_rc_copy, {int32_t(copy), int32_t(r)}), 0);
  EXPECT_EQ(At(copy), At(r));
  EXPECT_NE(Call(Native_rc_empty, {int32_t(r)}), 0);
  EXPECT_EQ(At(r), (Rect{0, 0, 0, 0}));
  EXPECT_NE(Call(Native_rc_check, {int32_t(r)}), 0);
  EXPECT_EQ(Call(Native_rc_check, {int32_t(copy)}), 0);
}

TEST_F(RectTest, IntersectAndUnion) {
  Addr a = Make({0, 0, 10, 10}), b = Make({5, 5, 20, 20}), far = Make({50, 50, 60, 60});
  Addr empty = Make({5, 5, 5, 9}), dst = Make({7, 7, 7, 7});
  EXPECT_NE(Call(Native_rc_intersect, {int32_t(dst), int32_t(a), int32_t(b)}), 0);
  EXPECT_EQ(At(dst), (Rect{5, 5, 10, 10}));
  EXPECT_EQ(Call(Native_rc_intersect, {int32_t(dst), int32_t(a), int32_t(far)}), 0);
  EXPECT_EQ(At(dst), (Rect{0, 0, 0, 0}));
  Addr touching = Make({10, 0, 20, 10});
  EXPECT_EQ(Call(Native_rc_intersect, {int32_t(dst), int32_t(a), int32_t(touching)}), 0);

  EXPECT_NE(Call(Native_rc_union, {int32_t(dst), int32_t(a), int32_t(far)}), 0);
  EXPECT_EQ(At(dst), (Rect{0, 0, 60, 60}));
  EXPECT_NE(Call(Native_rc_union, {int32_t(dst), int32_t(empty), int32_t(b)}), 0);
  EXPECT_EQ(At(dst), (Rect{5, 5, 20, 20})) << "an empty operand is ignored";
  EXPECT_EQ(Call(Native_rc_union, {int32_t(dst), int32_t(empty), int32_t(empty)}), 0);
  EXPECT_EQ(At(dst), (Rect{0, 0, 0, 0}));
  // The destination may be an operand.
  EXPECT_NE(Call(Native_rc_intersect, {int32_t(a), int32_t(a), int32_t(b)}), 0);
  EXPECT_EQ(At(a), (Rect{5, 5, 10, 10}));
}

TEST_F(RectTest, ZeroAddressesChangeNothing) {
  Addr a = Make({0, 0, 10, 10});
  using Native = int32_t (*)(Addr);
  for (Native n : {Native_rc_empty, Native_rc_set, Native_rc_setwh, Native_rc_move, Native_rc_inflate,
                   Native_rc_in, Native_rc_check})
    EXPECT_EQ(Call(n, {0, 1, 2, 3, 4}), 0);
  for (Native n : {Native_rc_copy, Native_rc_intersect, Native_rc_union}) {
    EXPECT_EQ(Call(n, {0, int32_t(a), int32_t(a)}), 0);
    EXPECT_EQ(Call(n, {int32_t(a), 0, int32_t(a)}), 0);
    EXPECT_EQ(At(a), (Rect{0, 0, 10, 10}));
  }
  EXPECT_EQ(Call(Native_rc_set, {int32_t(m.Tail(8)), 1, 2, 3, 4}), 0) << "record crosses into dead memory";
}

}  // namespace
}  // namespace qavz
