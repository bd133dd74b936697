// The menu bar the runtime draws inside its window, and its pop-ups: layout,
// drawing and tracking by keyboard and mouse, as a window's menu behaves.
//
// Coordinates are those of the window's menu layer: the bar takes the rows
// [0, BarHeight()) and the client area lies below it. The view draws the bar
// and every open pop-up into an ARGB canvas of that layer (0 = nothing
// drawn there) and reports the command the user chose. Window thread only;
// item states are read under MenuLock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "system/menu_model.h"

namespace qavz {

// How the view measures and draws item text (Shift-JIS, or UTF-8 for the
// host's own labels): the platform's face, or fixed metrics in tests.
struct MenuFont {
  int32_t (*lineHeight)();
  int32_t (*width)(const std::string& text);
  // Draws with the line's top left corner at (x, y) over ARGB pixels.
  void (*draw)(uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y, const std::string& text,
               uint32_t argb);
};
// The platform's menu face.
const MenuFont& PlatformMenuFont() noexcept;

struct MenuBox {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool Empty() const { return left >= right || top >= bottom; }
  int32_t Width() const { return right - left; }
};

class MenuView {
 public:
  explicit MenuView(const MenuFont& font = PlatformMenuFont());

  // The menu shown as the bar (null: none); any tracking ends.
  void SetMenu(std::shared_ptr<Menu> menu);
  const std::shared_ptr<Menu>& ShownMenu() const { return menu_; }
  // The size of the layer: the window's width, the bar and client rows.
  void SetLayerSize(int32_t width, int32_t height);
  // Rows the bar takes (0 without a menu).
  int32_t BarHeight() const;
  // Asked before the menu opens (the window system's menu initialisation);
  // it runs with MenuLock held and changes items directly.
  void SetOnOpen(void (*onOpen)()) { onOpen_ = onOpen; }

  // Events in layer coordinates; true when the menu took the event (it then
  // must not reach the program).
  bool KeyDown(uint8_t key, uint8_t modifiers);
  bool KeyUp(uint8_t key, uint8_t modifiers);
  bool MouseDown(int32_t x, int32_t y, uint8_t button);
  bool MouseUp(int32_t x, int32_t y, uint8_t button);
  bool MouseMove(int32_t x, int32_t y);

  // True while the menu is tracking (an item of the bar highlighted or a
  // pop-up open).
  bool Active() const { return mode_ != Mode::kIdle; }
  // True when (x, y) lies on the bar or an open pop-up.
  bool Covers(int32_t x, int32_t y) const;
  // Leaves tracking without a command.
  void Close();
  // The bar drawn again from the items' states (menu_draw).
  void Refresh() { dirty_ = true; }

  // The command chosen since the last call, if any.
  bool TakeCommand(int32_t* id);
  // True when the picture of the layer changed since the last Draw.
  bool Dirty() const { return dirty_; }
  // Draws the layer into `pixels` (width x height of SetLayerSize, cleared
  // to 0 first); returns the box that holds everything drawn.
  MenuBox Draw(uint32_t* pixels);

  // For tests: the highlighted bar item, the open pop-ups' selections.
  int32_t BarSelection() const { return barSel_; }
  std::vector<int32_t> OpenSelections() const;
  MenuBox PopupBox(size_t level) const;
  MenuBox BarItemBox(size_t index) const;
  MenuBox PopupItemBox(size_t level, size_t index) const;

 private:
  enum class Mode : uint8_t { kIdle, kBar, kOpen };
  struct Level {
    std::shared_ptr<Menu> menu;
    MenuBox box;
    std::vector<MenuBox> items;
    int32_t sel = -1;
  };

  void Layout();
  void Enter();
  void OpenBarItem(int32_t index, bool selectFirst);
  void OpenSub(bool selectFirst);
  void Choose(int32_t id);
  void MoveBar(int32_t step);
  void MoveSel(Level& level, int32_t step);
  bool KeyInBar(uint8_t key);
  bool KeyInPopup(uint8_t key);
  bool Access(uint8_t key);
  Level MakeLevel(std::shared_ptr<Menu> menu, int32_t x, int32_t y, int32_t minTop);
  int32_t BarItemAt(int32_t x, int32_t y) const;
  bool ItemAt(int32_t x, int32_t y, size_t* level, int32_t* index) const;
  int32_t ItemHeight(const MenuItem& item) const;
  void DrawBar(uint32_t* pixels) const;
  void DrawLevel(uint32_t* pixels, const Level& level) const;

  const MenuFont& font_;
  std::shared_ptr<Menu> menu_;
  int32_t width_ = 0, height_ = 0;
  std::vector<MenuBox> bar_;  // one box per bar item
  Mode mode_ = Mode::kIdle;
  int32_t barSel_ = -1;
  std::vector<Level> open_;
  bool altAlone_ = false;
  bool pressedOnBar_ = false;  // a press on a bar command waits for its release
  bool hasCommand_ = false;
  int32_t command_ = 0;
  bool dirty_ = true;
  void (*onOpen_)() = nullptr;
};

}  // namespace qavz
