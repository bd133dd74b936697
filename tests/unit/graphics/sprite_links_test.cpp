// Links between sprites: parents and descendant chains, refusals, removal
// of families, sorting, and records whose links a script overwrote.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/messages.h"
#include "tests/unit/graphics/sprite_test_support.h"
#include "vm/system_variables.h"

namespace qavz {
namespace {

using test::GraphicsMessages;
using test::kRed;
using test::SpriteTest;

class SpriteLinks : public SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    Image(5, 4, 4, kRed);
  }
  int32_t Link(Addr parent, Addr child) { return Call(Native_sp_link, {At(parent), At(child)}); }
  std::vector<Addr> List(int layer) {
    std::vector<Addr> out;
    for (SpriteRecord* s : LayerList(layer)) out.push_back(AddressOf(s));
    return out;
  }
  std::vector<Addr> Chain(Addr from) {
    std::vector<Addr> out;
    for (Addr a = Rec(from).chain; a != 0 && out.size() < 50; a = Rec(a).chain) out.push_back(a);
    return out;
  }
};

TEST_F(SpriteLinks, ChildrenOrParentsOfTheirParentAreRefused) {
  Addr a = Set(0, 0, 0, 5), b = Set(0, 0, 0, 5), c = Set(1, 0, 0, 5);
  EXPECT_EQ(Link(a, a), 0);
  EXPECT_EQ(LastMessage(), msg::kChildIsAncestor);
  EXPECT_EQ(Link(a, b), 1);
  EXPECT_EQ(Link(b, c), 1);
  GraphicsMessages().clear();
  EXPECT_EQ(Link(b, a), 0);  // a is b's parent
  EXPECT_EQ(LastMessage(), msg::kChildIsAncestor);
  GraphicsMessages().clear();
  EXPECT_EQ(Link(c, a), 0);  // a is c's grandparent
  EXPECT_EQ(LastMessage(), msg::kChildIsAncestor);
  EXPECT_EQ(Rec(a).parent, 0u);
  // Addresses that are no sprite: refused without a message.
  GraphicsMessages().clear();
  EXPECT_EQ(Link(a, 0), 0);
  EXPECT_EQ(Link(a + 4, b), 0);
  EXPECT_EQ(Link(a, Set(40, 0, 0, 5)), 0);  // the spare
  EXPECT_TRUE(GraphicsMessages().empty());
}

TEST_F(SpriteLinks, TheChainVisitsDescendantsNewestFirst) {
  Addr p = Set(0, 0, 0, 5), c1 = Set(0, 0, 0, 5), c2 = Set(0, 0, 0, 5), g = Set(2, 0, 0, 5);
  Link(p, c1);
  Link(p, c2);
  Link(c1, g);
  EXPECT_EQ(Chain(p), (std::vector<Addr>{c2, c1, g}));
  EXPECT_EQ(Rec(g).parent, c1);
  // Children of the same layer move to just before their parent.
  EXPECT_EQ(List(0), (std::vector<Addr>{c1, c2, p}));
  // Moving c1 with its child under c2 takes the whole family along.
  EXPECT_EQ(Link(c2, c1), 1);
  EXPECT_EQ(Chain(p), (std::vector<Addr>{c2, c1, g}));
  EXPECT_EQ(Chain(c2), (std::vector<Addr>{c1, g}));
  EXPECT_EQ(Rec(c1).parent, c2);
  EXPECT_EQ(List(0), (std::vector<Addr>{c1, c2, p}));
}

TEST_F(SpriteLinks, ResetRemovesTheWholeFamily) {
  Addr p = Set(0, 0, 0, 5), c = Set(1, 0, 0, 5), g = Set(2, 0, 0, 5), other = Set(0, 0, 0, 5);
  Link(p, c);
  Link(c, g);
  Addr area = Addr(Call(Native_hit_set, {0, 1, At(g), 0, 0}));
  Draw();
  EXPECT_EQ(Call(Native_sp_reset, {At(c)}), 1);
  for (Addr s : {c, g}) {
    EXPECT_EQ(Rec(s).kind, 1);
    EXPECT_NE(Rec(s).flags & 0x2000, 0);
  }
  EXPECT_EQ(Rec(p).kind, 2);
  EXPECT_EQ(Rec(p).chain, 0u);  // out of the parent's chain
  EXPECT_EQ(Hit(area).owner, 0u);
  EXPECT_EQ(GetSystemVariable(kSysSpCount), 4);
  Draw(1);
  EXPECT_EQ(GetSystemVariable(kSysSpCount), 2);
  EXPECT_TRUE(List(1).empty());
  EXPECT_TRUE(List(2).empty());
  EXPECT_EQ(List(0), (std::vector<Addr>{p, other}));
}

TEST_F(SpriteLinks, InitFreesTheMaskedLayers) {
  Addr a = Set(0, 0, 0, 5), b = Set(1, 0, 0, 5), c = Set(2, 0, 0, 5);
  Link(a, b);
  Addr area = Addr(Call(Native_hit_set, {0, 1, At(a), 0, 0}));
  Call(Native_sp_org, {-1, 5, 5});
  EXPECT_EQ(Call(Native_sp_init, {0x1}), 1);
  EXPECT_EQ(GetSystemVariable(kSysSpCount), 2);
  EXPECT_EQ(Rec(b).parent, 0u);  // orphans become roots
  EXPECT_EQ(Hit(area).owner, 0u);
  EXPECT_EQ(Placed(c), (Rect{-5, -5, -1, -1}));
  EXPECT_EQ(Call(Native_sp_init, {-1}), 1);
  EXPECT_EQ(GetSystemVariable(kSysSpCount), 0);
  EXPECT_EQ(Hit(area).prev, 0u);                           // areas go too
  EXPECT_EQ(Placed(Set(0, 0, 0, 5)), (Rect{0, 0, 4, 4}));  // origins are back to 0
}

TEST_F(SpriteLinks, SortIsByTheFamilyKeyAndStable) {
  Addr s30 = Set(0, 0, 30, 5), s10 = Set(0, 0, 10, 5), s20 = Set(0, 0, 20, 5);
  Addr t1 = Set(0, 0, 20, 5), t2 = Set(0, 0, 20, 5);
  EXPECT_EQ(Call(Native_sp_sort, {1}), 1);
  EXPECT_EQ(List(0), (std::vector<Addr>{s10, s20, t1, t2, s30}));
  EXPECT_EQ(Rec(s10).prev, AddressOf(&Pool()->heads[0]));
  EXPECT_EQ(Rec(s30).next, 0u);
  // The bias and the position shift take part; so do the ancestors.
  Rec(s30).sortBias = -25;
  Rec(t2).shift = 1;  // 20 >> 1
  Addr child = Set(1, 0, -15, 5), other = Set(1, 0, 0, 5);
  Link(s10, child);  // key 10 - 15 = -5
  Call(Native_sp_sort, {3});
  EXPECT_EQ(List(0), (std::vector<Addr>{s30, s10, t2, s20, t1}));
  EXPECT_EQ(List(1), (std::vector<Addr>{child, other}));
}

// Garbage in the links: lists that loop or leave the pool, parents that
// loop, layer numbers out of range. Every native ends and nothing outside
// the pool is written.
TEST_F(SpriteLinks, OverwrittenLinksAreBoundedAndRefused) {
  test::ScriptMemory canary(4096);
  Addr outside = canary.Buffer(256, 0x5A);
  Addr a = Set(0, 10, 10, 5), b = Set(0, 20, 10, 5), c = Set(1, 30, 10, 5), d = Set(2, 40, 10, 5);
  Addr e = Set(3, 50, 10, 5);
  Addr area = Addr(Call(Native_hit_set, {0, 1, At(a), 0, 0}));
  Addr area2 = Addr(Call(Native_hit_set, {0, 1, At(c), 0, 0}));
  Draw();
  Rec(b).next = a;  // the layer list loops
  Rec(b).flags |= 1;
  Rec(c).next = outside;  // leaves the pool
  Rec(c).parent = d;      // parents loop
  Rec(d).parent = c;
  Rec(c).chain = d;
  Rec(d).chain = c;
  Rec(c).flags |= 1;
  Rec(e).layer = 200;  // out of range
  Rec(e).flags |= 1;
  Rec(a).pending = outside;
  Rec(a).hits = outside;
  Hit(area2).next = area;  // the group list loops
  Hit(area).next = area2;
  int32_t result = 0;
  Draw(~0u, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Link(c, a), 0);  // c's ancestry never ends
  EXPECT_EQ(Call(Native_sp_sort, {-1}), 1);
  EXPECT_EQ(Call(Native_sp_rect, {At(c), At(RectArgs(0, 0, 0, 0))}), 0);
  Call(Native_hit_check, {At(area)});
  Call(Native_hit_point, {12, 12, -1});
  EXPECT_EQ(Call(Native_sp_reset, {At(c)}), 1);
  EXPECT_EQ(Call(Native_sp_reset, {At(e)}), 1);
  Draw(~0u, &result);
  EXPECT_EQ(result, 1);
  Rec(a).next = outside + 7;
  EXPECT_EQ(Call(Native_sp_init, {-1}), 1);
  for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(canary.Host(outside)[i], 0x5A) << i;
  EXPECT_EQ(GetSystemVariable(kSysSpCount), 0);
}

}  // namespace
}  // namespace qavz
