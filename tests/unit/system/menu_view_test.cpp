// Tracking the menu bar by keyboard and mouse, with fixed text metrics: the
// command the user ends on is the one reported, greyed items and separators
// are never chosen, and Alt, the access keys, arrows, Enter and Esc behave
// as a window's menu does.
#include "system/menu_view.h"

#include <gtest/gtest.h>

#include "platform/video.h"

namespace qavz {
namespace {

using platform::kModAlt;
using platform::kVkDown;
using platform::kVkEscape;
using platform::kVkLeft;
using platform::kVkMenu;
using platform::kVkReturn;
using platform::kVkRight;
using platform::kVkUp;

const MenuFont kFixed = {
    .lineHeight = [] { return 12; },
    .width = [](const std::string& text) { return int32_t(text.size()) * 8; },
    .draw = [](uint32_t*, int32_t, int32_t, int32_t, int32_t, const std::string&, uint32_t) {},
};

MenuItem Item(int32_t id, const std::string& text, bool greyed = false) {
  MenuItem item = CommandItem(id, text);
  item.greyed = greyed;
  return item;
}
MenuItem Separator() { return SeparatorItem(); }
MenuItem Popup(int32_t id, const std::string& text, std::vector<MenuItem> items) {
  auto sub = std::make_shared<Menu>();
  sub->items = std::move(items);
  return PopupItem(id, text, sub);
}

int gOpened = 0;

class MenuTracking : public testing::Test {
 protected:
  void SetUp() override {
    auto menu = std::make_shared<Menu>();
    menu->items = {
        Popup(1, "&File", {Item(101, "&Open"), Separator(), Item(102, "&Save", true), Item(103, "E&xit")}),
        Popup(2, "&View",
              {Popup(20, "&Size", {Item(201, "&Small"), Item(202, "&Large")}), Item(203, "&Full")}),
        Item(3, "&Help"),
    };
    view.SetLayerSize(320, 240);
    view.SetMenu(menu);
    gOpened = 0;
    view.SetOnOpen([] { ++gOpened; });
  }
  void Key(uint8_t key, uint8_t modifiers = 0) {
    view.KeyDown(key, modifiers);
    view.KeyUp(key, modifiers);
  }
  void AltTap() {
    EXPECT_FALSE(view.KeyDown(kVkMenu, kModAlt)) << "Alt itself still reaches the program";
    EXPECT_TRUE(view.KeyUp(kVkMenu, 0));
  }
  int32_t Command() {
    int32_t id = 0;
    return view.TakeCommand(&id) ? id : 0;
  }
  void Click(const MenuBox& box) {
    int32_t x = (box.left + box.right) / 2, y = (box.top + box.bottom) / 2;
    view.MouseDown(x, y, 1);
    view.MouseUp(x, y, 1);
  }
  MenuView view{kFixed};
};

TEST_F(MenuTracking, AltAloneHighlightsTheFirstBarItemThenArrowsAndEnterChoose) {
  AltTap();
  EXPECT_TRUE(view.Active());
  EXPECT_EQ(gOpened, 1) << "the menu is initialised as tracking starts";
  EXPECT_EQ(view.BarSelection(), 0);
  Key(kVkDown);
  EXPECT_EQ(view.OpenSelections(), std::vector<int32_t>{0}) << "the pop-up opens on its first item";
  Key(kVkDown);
  EXPECT_EQ(view.OpenSelections(), std::vector<int32_t>{2}) << "the separator is passed over";
  Key(kVkReturn);
  EXPECT_TRUE(view.Active()) << "a greyed item is not chosen";
  EXPECT_EQ(Command(), 0);
  Key(kVkDown);
  Key(kVkReturn);
  EXPECT_FALSE(view.Active());
  EXPECT_EQ(Command(), 103);
  EXPECT_EQ(Command(), 0) << "reported once";
}

TEST_F(MenuTracking, AltWithAnAccessKeyOpensThatPopupAndALetterChooses) {
  EXPECT_FALSE(view.KeyDown(kVkMenu, kModAlt));
  EXPECT_TRUE(view.KeyDown('V', kModAlt));
  view.KeyUp('V', kModAlt);
  view.KeyUp(kVkMenu, 0);
  EXPECT_TRUE(view.Active()) << "Alt was not alone: its release changes nothing";
  EXPECT_EQ(view.BarSelection(), 1);
  EXPECT_TRUE(view.KeyDown('S', 0));
  EXPECT_EQ(view.OpenSelections(), (std::vector<int32_t>{0, 0})) << "a pop-up item's key opens it";
  Key('L');
  EXPECT_EQ(Command(), 202);
  EXPECT_FALSE(view.KeyDown('H', kModAlt | platform::kModCtrl)) << "Ctrl+Alt is not the menu's";
  EXPECT_TRUE(view.KeyDown('H', kModAlt));
  EXPECT_EQ(Command(), 3) << "a command on the bar is chosen at once";
}

TEST_F(MenuTracking, ArrowsCrossIntoSubMenusAndAlongTheBarEscBacksOut) {
  AltTap();
  Key(kVkRight);
  Key(kVkDown);  // View open on Size
  Key(kVkRight);
  EXPECT_EQ(view.OpenSelections(), (std::vector<int32_t>{0, 0}));
  Key(kVkLeft);
  EXPECT_EQ(view.OpenSelections(), std::vector<int32_t>{0});
  Key(kVkDown);
  Key(kVkRight);  // Full has no sub-menu: on to the next bar item
  EXPECT_EQ(view.BarSelection(), 2);
  EXPECT_TRUE(view.OpenSelections().empty()) << "Help is a command: only highlighted";
  Key(kVkLeft);
  EXPECT_EQ(view.BarSelection(), 1);
  Key(kVkLeft);
  EXPECT_EQ(view.BarSelection(), 0);
  Key(kVkUp);
  EXPECT_EQ(view.OpenSelections(), std::vector<int32_t>{0});
  Key(kVkEscape);
  EXPECT_TRUE(view.Active());
  EXPECT_TRUE(view.OpenSelections().empty());
  Key(kVkEscape);
  EXPECT_FALSE(view.Active());
  EXPECT_EQ(Command(), 0);
}

TEST_F(MenuTracking, AltEndsTrackingAndAltEnterNeverStartsIt) {
  AltTap();
  EXPECT_TRUE(view.KeyDown(kVkMenu, kModAlt)) << "taken: it ends the tracking";
  EXPECT_FALSE(view.Active());
  view.KeyUp(kVkMenu, 0);
  EXPECT_FALSE(view.Active());
  view.KeyDown(kVkMenu, kModAlt);
  EXPECT_FALSE(view.KeyDown(kVkReturn, kModAlt));
  view.KeyUp(kVkReturn, kModAlt);
  EXPECT_FALSE(view.KeyUp(kVkMenu, 0));
  EXPECT_FALSE(view.Active());
  EXPECT_FALSE(view.KeyDown('F', 0)) << "plain letters are the program's";
}

TEST_F(MenuTracking, MouseOpensFollowsAndChooses) {
  view.MouseDown(view.BarItemBox(0).left + 2, 3, 1);
  EXPECT_TRUE(view.Active());
  EXPECT_EQ(view.OpenSelections(), std::vector<int32_t>{-1}) << "opened by the mouse, nothing selected";
  view.MouseUp(view.BarItemBox(0).left + 2, 3, 1);
  EXPECT_TRUE(view.Active()) << "released on the bar: stays open";
  MenuBox hover = view.BarItemBox(1);
  view.MouseMove(hover.left + 2, 3);
  EXPECT_EQ(view.BarSelection(), 1) << "moving along the bar switches pop-ups";
  MenuBox size = view.PopupItemBox(0, 0);
  view.MouseMove(size.left + 2, size.top + 2);
  ASSERT_EQ(view.OpenSelections().size(), 2u) << "pointing at a pop-up item opens it";
  Click(view.PopupItemBox(1, 0));
  EXPECT_EQ(Command(), 201);
  Click(view.BarItemBox(2));
  EXPECT_EQ(Command(), 3);
}

TEST_F(MenuTracking, AClickOutsideEndsTrackingAndIsTaken) {
  EXPECT_FALSE(view.MouseDown(100, 200, 1)) << "the page's, while idle";
  Click(view.BarItemBox(0));
  EXPECT_TRUE(view.MouseDown(300, 200, 1));
  EXPECT_FALSE(view.Active());
  Click(view.BarItemBox(0));
  MenuBox saved = view.PopupItemBox(0, 2);
  Click(saved);
  EXPECT_TRUE(view.Active()) << "greyed";
  Click(view.PopupItemBox(0, 1));
  EXPECT_TRUE(view.Active()) << "separator";
  Click(view.BarItemBox(0));
  EXPECT_FALSE(view.Active()) << "a second click on the open item closes it";
  EXPECT_EQ(Command(), 0);
}

TEST_F(MenuTracking, PopupsStayInsideTheLayerAndDrawingCoversThem) {
  view.SetLayerSize(60, 240);
  AltTap();
  Key(kVkRight);
  Key(kVkDown);
  MenuBox box = view.PopupBox(0);
  EXPECT_GE(box.left, 0);
  EXPECT_EQ(box.left, 0) << "wider than the layer: from its left edge";
  std::vector<uint32_t> pixels(60 * 240, 0xDEADBEEF);
  MenuBox used = view.Draw(pixels.data());
  EXPECT_EQ(used.top, 0);
  EXPECT_EQ(used.bottom, box.bottom);
  EXPECT_NE(pixels[0], 0u) << "the bar";
  EXPECT_EQ(pixels[size_t(239) * 60], 0u) << "nothing below the pop-up";
  EXPECT_FALSE(view.Dirty());
}

TEST_F(MenuTracking, WithoutAMenuNothingIsTaken) {
  view.SetMenu(nullptr);
  EXPECT_EQ(view.BarHeight(), 0);
  EXPECT_FALSE(view.KeyDown(kVkMenu, kModAlt));
  EXPECT_FALSE(view.KeyUp(kVkMenu, 0));
  EXPECT_FALSE(view.MouseDown(5, 5, 1));
  EXPECT_FALSE(view.Active());
}

}  // namespace
}  // namespace qavz
