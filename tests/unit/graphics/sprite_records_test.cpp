// The sprite and hit-area records as scripts see them: every field at its
// byte offset, the spare record, and sp_count.
#include <gtest/gtest.h>

#include "tests/unit/graphics/sprite_test_support.h"
#include "vm/system_variables.h"

namespace qavz {
namespace {

using test::SpriteTest;

class SpriteRecords : public SpriteTest {
 protected:
  int32_t Word(Addr a, uint32_t offset) { return memory_.WordAt(a + offset); }
  uint8_t Byte(Addr a, uint32_t offset) { return TheArena().Span(a + offset, 1)[0]; }
  int32_t SpCount() { return GetSystemVariable(kSysSpCount); }
};

TEST_F(SpriteRecords, SpSetFillsTheRecordToTheByte) {
  Image(5, 12, 10, test::kRed);
  Call(Native_sp_flag, {0x1234});
  Addr params = memory_.Args({0x11220307, 0x00ABCDEF, 0x00123456});
  Addr s = Set(3, 40, -7, 5, RectArgs(1, 2, 9, 8), params);
  ASSERT_NE(s, 0u);
  EXPECT_EQ(Byte(s, 0), 2);
  EXPECT_EQ(Byte(s, 1), 3);
  EXPECT_EQ(Word(s, 0) >> 16, 0x1234);
  for (uint32_t offset : {4u, 5u, 6u, 7u}) EXPECT_EQ(Byte(s, offset), 0) << offset;
  EXPECT_EQ(Word(s, 8), 0);
  EXPECT_EQ(Word(s, 12), 5);
  EXPECT_EQ(Word(s, 16), 40);
  EXPECT_EQ(Word(s, 20), -7);
  EXPECT_EQ(Word(s, 24), 0);
  EXPECT_EQ(Word(s, 28), 0);
  EXPECT_EQ(Word(s, 32), 0x10000);
  EXPECT_EQ(Word(s, 36), 0x10000);
  EXPECT_EQ(Word(s, 48), 0);
  EXPECT_EQ(Word(s, 52), 1);
  EXPECT_EQ(Word(s, 56), 2);
  EXPECT_EQ(Word(s, 60), 9);
  EXPECT_EQ(Word(s, 64), 8);
  EXPECT_EQ(Word(s, 68), 0x11220307);
  EXPECT_EQ(Word(s, 72), 0x00ABCDEF);
  EXPECT_EQ(Word(s, 76), 0x00123456);
  for (uint32_t offset = 112; offset < 140; offset += 4)
    if (offset != 120) {
      EXPECT_EQ(Word(s, offset), 0) << offset;
    }
  EXPECT_NE(Word(s, 120), 0);  // the layer head

  // The whole plane and mode 0 when neither is given.
  Addr t = Set(3, 0, 0, 5);
  EXPECT_EQ(Word(t, 52), 0);
  EXPECT_EQ(Word(t, 60), 12);
  EXPECT_EQ(Word(t, 64), 10);
  EXPECT_EQ(Word(t, 68), 0);
  // Appended to the list: linked both ways.
  EXPECT_EQ(Addr(Word(s, 124)), t);
  EXPECT_EQ(Addr(Word(t, 120)), s);
  EXPECT_EQ(Word(t, 124), 0);
}

TEST_F(SpriteRecords, ComputedFieldsAfterADraw) {
  Image(5, 10, 6, test::kRed);
  Addr s = Set(0, 20, 30, 5);
  Rec(s).hotX = 5;
  Rec(s).hotY = 3;
  Draw();
  EXPECT_EQ(memory_.WordAt(s + 40), 0x10000);
  EXPECT_EQ(memory_.WordAt(s + 44), 0x10000);
  EXPECT_EQ(memory_.WordAt(s + 48) >> 16, 0);  // effective angle
  EXPECT_EQ(Rec(s).box, (Rect{15, 27, 25, 33}));
  for (uint32_t o = 0; o < 16; o += 4) EXPECT_EQ(memory_.WordAt(s + 80 + o), memory_.WordAt(s + 96 + o));
  EXPECT_EQ(memory_.WordAt(s + 80), 15);
  EXPECT_EQ(memory_.WordAt(s + 92), 33);
  EXPECT_EQ(Rec(s).flags & 0x8000, 0x8000);
  EXPECT_EQ(Rec(s).flags & 3, 0);
}

TEST_F(SpriteRecords, HitAreaFieldsToTheByte) {
  Image(5, 10, 6, test::kRed);
  Addr s = Set(0, 0, 0, 5);
  Addr a = Addr(Call(Native_hit_set, {4, 0x30, At(s), 0, 77}));
  Addr b = Addr(Call(Native_hit_set, {4, 0x1, 0, At(RectArgs(-1, -2, 3, 4)), -5}));
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_EQ(Word(a, 0), 4);
  EXPECT_EQ(Word(a, 4), 0x30);
  EXPECT_EQ(Word(a, 8), 0);
  EXPECT_EQ(Word(a, 12), 0);
  EXPECT_EQ(Word(a, 16), 10);  // the sprite's source size
  EXPECT_EQ(Word(a, 20), 6);
  EXPECT_EQ(Addr(Word(a, 24)), s);
  EXPECT_EQ(Word(a, 28), 77);
  EXPECT_NE(Word(a, 32), 0);  // the group head
  EXPECT_EQ(Addr(Word(a, 36)), b);
  EXPECT_EQ(Word(a, 40), 0);
  EXPECT_EQ(Addr(memory_.WordAt(s + 128)), a);
  EXPECT_EQ(Addr(Word(b, 32)), a);
  EXPECT_EQ(Word(b, 8), -1);
  EXPECT_EQ(Word(b, 20), 4);
  EXPECT_EQ(Word(b, 24), 0);
  EXPECT_EQ(Word(b, 28), -5);
  EXPECT_EQ(Call(Native_hit_reset, {At(a)}), 1);
  EXPECT_EQ(Word(a, 32), 0);  // free
  EXPECT_EQ(memory_.WordAt(s + 128), 0);
  EXPECT_NE(Word(b, 32), 0);
}

// Refused sp_set calls hand out the spare record: not 0, in no list, and
// writes through it change nothing on the page.
TEST_F(SpriteRecords, RefusalsReturnTheSpare) {
  Image(5, 8, 8, test::kRed);
  struct Case {
    int32_t layer, plane;
    bool rect;
  };
  for (Case c : {Case{40, 5, false}, Case{32, 5, false}, Case{0, 1024, false}, Case{0, -1, false},
                 Case{0, 9, false}}) {
    Addr spare = Set(c.layer, 10, 10, c.plane, c.rect ? RectArgs(0, 0, 4, 4) : 0);
    ASSERT_NE(spare, 0u);
    EXPECT_EQ(SpriteAt(spare), nullptr);
    Rec(spare).kind = 2;
    Rec(spare).flags = 1;
    Rec(spare).plane = 5;
  }
  EXPECT_EQ(SpCount(), 0);
  Draw();
  EXPECT_EQ(Count(test::kRed), 0);
  // The low byte names the layer; an empty slot with a rectangle is kept.
  EXPECT_NE(SpriteAt(Set(0x100, 1, 1, 5)), nullptr);
  EXPECT_NE(SpriteAt(Set(0, 1, 1, 9, RectArgs(0, 0, 4, 4))), nullptr);
  EXPECT_EQ(SpCount(), 2);
}

TEST_F(SpriteRecords, AFullPoolReturnsTheSpare) {
  Image(5, 2, 2, test::kRed);
  for (int i = 0; i < kSpriteRecords; ++i) ASSERT_NE(SpriteAt(Set(i % 32, 0, 0, 5)), nullptr) << i;
  EXPECT_EQ(SpCount(), kSpriteRecords);
  Addr spare = Set(0, 0, 0, 5);
  EXPECT_EQ(SpriteAt(spare), nullptr);
  EXPECT_NE(spare, 0u);
  EXPECT_EQ(Call(Native_sp_init, {-1}), 1);
  EXPECT_EQ(SpCount(), 0);
}

TEST_F(SpriteRecords, SpCountFallsOnlyAfterTheDrawThatFollowsAReset) {
  Image(5, 4, 4, test::kRed);
  EXPECT_EQ(SpCount(), 0);
  Addr a = Set(0, 0, 0, 5);
  EXPECT_EQ(SpCount(), 1);
  Addr b = Set(7, 0, 0, 5);
  EXPECT_EQ(SpCount(), 2);
  Draw(1);
  EXPECT_EQ(Call(Native_sp_reset, {At(a)}), 1);
  EXPECT_EQ(Call(Native_sp_reset, {At(b)}), 1);
  EXPECT_EQ(Rec(a).kind, 1);
  EXPECT_EQ(Rec(a).flags & 0x2000, 0x2000);
  EXPECT_EQ(SpCount(), 2);
  Draw(1);  // b's layer is not drawn, but removed records go anyway
  EXPECT_EQ(SpCount(), 0);
  EXPECT_EQ(Rec(a).kind, 0);
  EXPECT_EQ(Call(Native_sp_reset, {0}), 0);
  // The freed record is the next one handed out.
  EXPECT_EQ(Set(0, 0, 0, 5), a);
}

TEST_F(SpriteRecords, SpFlagReturnsThePreviousDefault) {
  EXPECT_EQ(Call(Native_sp_flag, {0x0104}), 0);
  EXPECT_EQ(Call(Native_sp_flag, {0x0003}), 0x0104);
  Image(5, 4, 4, test::kRed);
  EXPECT_EQ(Rec(Set(0, 0, 0, 5)).flags, 3);
  ResetSprites();
  EXPECT_EQ(Call(Native_sp_flag, {0}), 0);
}

}  // namespace
}  // namespace qavz
