// The menu natives over the node table and the built menu: ids, the 64-node
// limit, deletion, separators, check, enable and radio marks, menu_get.
#include <gtest/gtest.h>

#include "system/menu_nodes.h"
#include "system/menus.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

using test::ScriptMemory;

class MenuNatives : public testing::Test {
 protected:
  void SetUp() override { Native_menu_init(0); }
  int32_t Add(int32_t parent, int32_t id, const std::string& text, int32_t group = 0) {
    return Native_menu_add(m.Args({parent, id, int32_t(m.Str(text)), group}));
  }
  const MenuItem* Item(int32_t id) {
    std::shared_ptr<Menu> menu = LatestBuiltMenu();
    return menu ? FindByCommand(*menu, id) : nullptr;
  }
  int32_t Call(int32_t (*native)(Addr), std::initializer_list<int32_t> args) { return native(m.Args(args)); }
  ScriptMemory m;
};

TEST_F(MenuNatives, IdsMustBeNonZeroAndPositiveOnesUnique) {
  EXPECT_EQ(Add(0, 100, "&File"), 1);
  EXPECT_EQ(Add(100, 101, "&Open"), 1);
  EXPECT_EQ(Add(0, 100, "again"), 0) << "a positive id is taken";
  EXPECT_EQ(Add(100, 0, "zero"), 0);
  EXPECT_EQ(Add(0, -5, "a"), 1);
  EXPECT_EQ(Add(0, -5, "b"), 1) << "negative ids may repeat";
  EXPECT_EQ(Add(999, 102, "orphan"), 0) << "no parent 999";
  EXPECT_EQ(Native_menu_add(m.Args({0, 103, 0, 0})), 0) << "no text";
}

TEST_F(MenuNatives, SixtyThreeNodesFitTheSixtyFourthIsRefused) {
  for (int32_t i = 1; i <= 63; ++i) ASSERT_EQ(Add(0, i, "item"), 1) << i;
  EXPECT_EQ(Add(0, 64, "item"), 0);
  EXPECT_EQ(Call(Native_menu_del, {5}), 1);
  EXPECT_EQ(Add(0, 64, "item"), 1) << "a freed node is taken again";
  EXPECT_EQ(FindMenuNode(64), 5) << "the lowest free node";
}

TEST_F(MenuNatives, DeletingAFirstChildKeepsItsSiblingsAndDropsItsChildren) {
  Add(0, 1, "top");
  Add(1, 10, "first");
  Add(10, 11, "grandchild");
  Add(1, 12, "second");
  Add(1, 13, "third");
  EXPECT_EQ(Call(Native_menu_del, {10}), 1);
  EXPECT_EQ(FindMenuNode(11), kNoNode) << "descendants go with it";
  EXPECT_EQ(Call(Native_menu_del, {10}), 0);
  Native_menu_build(0);
  const MenuItem* top = Item(1);
  ASSERT_NE(top, nullptr);
  ASSERT_EQ(top->kind, MenuItemKind::kPopup);
  ASSERT_EQ(top->sub->items.size(), 2u);
  EXPECT_EQ(top->sub->items[0].id, 12);
  EXPECT_EQ(top->sub->items[1].id, 13);
  EXPECT_EQ(Call(Native_menu_del, {0}), 1) << "0 empties the table";
  EXPECT_EQ(FindMenuNode(1), kNoNode);
}

TEST_F(MenuNatives, BuildMakesPopupsSeparatorsAndRadioItems) {
  Add(0, 1, "&Game");
  Add(1, 2, "&Start");
  Add(1, 3, "-");
  Add(1, 4, "Easy", 7);
  Add(0, 5, "&Quit");
  EXPECT_EQ(Native_menu_build(0), 1);
  std::shared_ptr<Menu> menu = LatestBuiltMenu();
  ASSERT_EQ(menu->items.size(), 2u);
  EXPECT_EQ(menu->items[0].kind, MenuItemKind::kPopup);
  EXPECT_EQ(menu->items[1].kind, MenuItemKind::kString) << "a childless top item is a command";
  const Menu& game = *menu->items[0].sub;
  EXPECT_EQ(game.items[1].kind, MenuItemKind::kSeparator);
  EXPECT_TRUE(game.items[2].radioCheck);
  EXPECT_FALSE(game.items[0].radioCheck);
  EXPECT_EQ(MenuNodeAt(FindMenuNode(4)).menu, menu->items[0].sub.get()) << "each node knows its menu";
}

TEST_F(MenuNatives, RadioMarksTheItemAndClearsTheRestOfItsGroupRange) {
  Add(0, 1, "Level");
  Add(1, 10, "A", 2);
  Add(1, 11, "B", 2);
  Add(1, 12, "C", 2);
  Native_menu_build(0);
  EXPECT_EQ(Call(Native_menu_check, {10, 1}), 1);
  EXPECT_EQ(Call(Native_menu_check, {12, 1}), 1);
  EXPECT_EQ(Call(Native_menu_radio, {11}), 1);
  EXPECT_FALSE(Item(10)->checked);
  EXPECT_TRUE(Item(11)->checked);
  EXPECT_FALSE(Item(12)->checked);
  EXPECT_EQ(Call(Native_menu_radio, {99}), 0) << "unknown id";
}

TEST_F(MenuNatives, StateChangesReachTheBuiltItemAndChangesAfterBuildWaitForTheNext) {
  Add(0, 1, "File");
  Add(1, 2, "Save");
  Native_menu_build(0);
  EXPECT_EQ(Call(Native_menu_enable, {2, 0}), 1);
  EXPECT_TRUE(Item(2)->greyed);
  EXPECT_EQ(Call(Native_menu_enable, {2, 5}), 1);
  EXPECT_FALSE(Item(2)->greyed);
  EXPECT_EQ(Call(Native_menu_check, {2, 1}), 1);
  EXPECT_TRUE(Item(2)->checked);
  EXPECT_EQ(Call(Native_menu_enable, {77, 1}), 0);
  EXPECT_EQ(Call(Native_menu_check, {77, 1}), 0);
  Add(1, 3, "Load");
  EXPECT_EQ(Item(3), nullptr) << "not before the next build";
  EXPECT_EQ(Call(Native_menu_check, {3, 1}), 1) << "found in the table, no item yet";
  Native_menu_build(0);
  ASSERT_NE(Item(3), nullptr);
  EXPECT_FALSE(Item(3)->checked);
}

TEST_F(MenuNatives, MenuGetGivesTheLastCommandOnce) {
  EXPECT_EQ(Native_menu_get(0), 0);
  RecordMenuCommand(40002);
  RecordMenuCommand(101);
  EXPECT_EQ(Native_menu_get(0), 101);
  EXPECT_EQ(Native_menu_get(0), 0);
}

TEST_F(MenuNatives, LongTextIsCutAtSixtyThreeBytes) {
  Add(0, 1, std::string(100, 'x'));
  EXPECT_EQ(std::string(MenuNodeAt(FindMenuNode(1)).text), std::string(63, 'x'));
}

// Items found by command: plain items first where they stand, a pop-up's
// own id only when nothing inside has it.
TEST(MenuModel, FindByCommandPrefersItemsInsidePopups) {
  Menu root;
  auto sub = std::make_shared<Menu>();
  sub->items.push_back(CommandItem(7, "inner"));
  root.items.push_back(PopupItem(7, "popup", sub));
  Menu* holder = nullptr;
  EXPECT_EQ(FindByCommand(root, 7, &holder)->text, "inner");
  EXPECT_EQ(holder, sub.get());
  sub->items[0].id = 8;
  EXPECT_EQ(FindByCommand(root, 7, &holder)->text, "popup");
  EXPECT_EQ(holder, &root);
  EXPECT_EQ(FindByCommand(root, 9), nullptr);
}

TEST(MenuModel, RadioRangeNeedsOneMenu) {
  Menu root;
  for (int32_t id : {1, 2, 3}) {
    root.items.push_back(CommandItem(id, "x"));
    root.items.back().checked = true;
  }
  auto sub = std::make_shared<Menu>();
  sub->items.push_back(CommandItem(4, "x"));
  root.items.push_back(PopupItem(9, "x", sub));
  EXPECT_FALSE(CheckRadioRange(root, 1, 4, 2)) << "first and last in different menus";
  EXPECT_TRUE(root.items[0].checked);
  EXPECT_TRUE(CheckRadioRange(root, 3, 1, 1)) << "the range by position, either way round";
  EXPECT_TRUE(root.items[0].checked && root.items[0].radioCheck);
  EXPECT_FALSE(root.items[1].checked || root.items[2].checked);
}

struct LabelCase {
  std::string text, shown, shortcut;
  int32_t underline;
  uint8_t key;
};
class MenuLabels : public testing::TestWithParam<LabelCase> {};

TEST_P(MenuLabels, AccessKeyAndShortcut) {
  MenuLabel label = LabelOf(GetParam().text);
  EXPECT_EQ(label.text, GetParam().shown);
  EXPECT_EQ(label.shortcut, GetParam().shortcut);
  EXPECT_EQ(label.underline, GetParam().underline);
  EXPECT_EQ(label.accessKey, GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MenuLabels,
    testing::Values(LabelCase{"&File", "File", "", 0, 'F'},
                    LabelCase{"E&xit\tAlt+F4", "Exit", "Alt+F4", 1, 'X'},
                    LabelCase{"Fish && Chips", "Fish & Chips", "", -1, 0},
                    LabelCase{"none", "none", "", -1, 0},
                    // Shift-JIS "表" ends in 0x5C; the '&' after it still marks 'h'.
                    LabelCase{"\x95\x5C&h", "\x95\x5Ch", "", 2, 'H'},
                    // UTF-8 "終了(&X)": the bytes before '(' are not a Shift-JIS pair with it.
                    LabelCase{"\xE7\xB5\x82\xE4\xBA\x86(&X)", "\xE7\xB5\x82\xE4\xBA\x86(X)", "", 7, 'X'},
                    LabelCase{"trailing&", "trailing&", "", -1, 0}));

}  // namespace
}  // namespace qavz
