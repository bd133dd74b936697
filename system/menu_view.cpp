#include "system/menu_view.h"

#include <algorithm>

#include "platform/menu_text.h"
#include "platform/text_encoding.h"
#include "platform/video.h"

namespace qavz {

namespace {

using platform::kModAlt;
using platform::kModCtrl;
using platform::kModRepeat;
using platform::kModShift;

// The classic look: grey face, dark blue highlight.
constexpr uint32_t kFace = 0xFFD4D0C8, kInk = 0xFF000000, kGreyInk = 0xFF808080, kHighlight = 0xFF0A246A,
                   kHighlightInk = 0xFFFFFFFF, kShadow = 0xFF808080, kLight = 0xFFFFFFFF, kDark = 0xFF404040;
constexpr int32_t kBarPad = 3;      // above and below the bar's text
constexpr int32_t kBarItemPad = 7;  // left and right of a bar item's text
constexpr int32_t kFrame = 3;       // a pop-up's border and margin
constexpr int32_t kGutter = 18;     // left of an item's text: the check mark
constexpr int32_t kArrowRoom = 16;  // right of an item's text: the sub-menu arrow
constexpr int32_t kShortcutGap = 20;
constexpr int32_t kSeparatorHeight = 8;
constexpr uint8_t kVkF10 = platform::kVkF1 + 9;

bool IsAlnum(uint8_t key) { return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'); }
bool Choosable(const MenuItem& item) { return item.kind == MenuItemKind::kString && !item.greyed; }
bool Opens(const MenuItem& item) { return item.kind == MenuItemKind::kPopup && item.sub && !item.greyed; }

void Fill(uint32_t* pixels, int32_t width, int32_t height, MenuBox box, uint32_t argb) {
  box.left = std::max(box.left, 0), box.top = std::max(box.top, 0);
  box.right = std::min(box.right, width), box.bottom = std::min(box.bottom, height);
  if (box.Empty()) return;
  for (int32_t y = box.top; y < box.bottom; ++y)
    std::fill(pixels + size_t(y) * size_t(width) + size_t(box.left),
              pixels + size_t(y) * size_t(width) + size_t(box.right), argb);
}

MenuBox Union(const MenuBox& a, const MenuBox& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return MenuBox{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom)};
}

const MenuFont kPlatformFont = {
    .lineHeight = [] { return platform::MenuTextHeight(); },
    .width = [](const std::string& text) { return platform::MenuTextWidth(platform::ToUtf8(text)); },
    .draw =
        [](uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y, const std::string& text,
           uint32_t argb) {
          platform::DrawMenuText(pixels, width, height, x, y, platform::ToUtf8(text), argb);
        },
};

}  // namespace

const MenuFont& PlatformMenuFont() noexcept { return kPlatformFont; }

MenuView::MenuView(const MenuFont& font) : font_(font) {}

void MenuView::SetMenu(std::shared_ptr<Menu> menu) {
  Close();
  menu_ = std::move(menu);
  Layout();
  dirty_ = true;
}

void MenuView::SetLayerSize(int32_t width, int32_t height) {
  if (width == width_ && height == height_) return;
  Close();
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  dirty_ = true;
}

int32_t MenuView::BarHeight() const { return menu_ ? font_.lineHeight() + 2 * kBarPad : 0; }

// Bar items side by side from the left; a separator is a narrow gap.
void MenuView::Layout() {
  bar_.clear();
  if (!menu_) return;
  int32_t x = 0, height = BarHeight();
  for (const MenuItem& item : menu_->items) {
    int32_t w = item.kind == MenuItemKind::kSeparator
                    ? kSeparatorHeight
                    : font_.width(LabelOf(item.text).text) + 2 * kBarItemPad;
    bar_.push_back(MenuBox{x, 0, x + w, height});
    x += w;
  }
}

int32_t MenuView::ItemHeight(const MenuItem& item) const {
  return item.kind == MenuItemKind::kSeparator ? kSeparatorHeight : font_.lineHeight() + 5;
}

// A pop-up of `menu` with its top left corner at (x, y), moved left and up
// to stay inside the layer (but never above minTop).
MenuView::Level MenuView::MakeLevel(std::shared_ptr<Menu> menu, int32_t x, int32_t y, int32_t minTop) {
  Level level;
  int32_t textWidth = 0, shortcutWidth = 0, height = 2 * kFrame;
  for (const MenuItem& item : menu->items) {
    MenuLabel label = LabelOf(item.text);
    textWidth = std::max(textWidth, font_.width(label.text));
    if (!label.shortcut.empty()) shortcutWidth = std::max(shortcutWidth, font_.width(label.shortcut));
    height += ItemHeight(item);
  }
  int32_t width =
      2 * kFrame + kGutter + textWidth + (shortcutWidth ? kShortcutGap + shortcutWidth : 0) + kArrowRoom;
  x = std::max(0, std::min(x, width_ - width));
  y = std::max(minTop, std::min(y, height_ - height));
  level.box = MenuBox{x, y, x + width, y + height};
  int32_t top = y + kFrame;
  for (const MenuItem& item : menu->items) {
    int32_t h = ItemHeight(item);
    level.items.push_back(MenuBox{x + kFrame, top, x + width - kFrame, top + h});
    top += h;
  }
  level.menu = std::move(menu);
  return level;
}

// The window system's menu initialisation, once as tracking starts.
void MenuView::Enter() {
  if (mode_ == Mode::kIdle && onOpen_) onOpen_();
}

void MenuView::OpenBarItem(int32_t index, bool selectFirst) {
  open_.clear();
  barSel_ = index;
  mode_ = Mode::kBar;
  dirty_ = true;
  const MenuItem& item = menu_->items[size_t(index)];
  if (!Opens(item)) return;
  open_.push_back(MakeLevel(item.sub, bar_[size_t(index)].left, BarHeight(), BarHeight()));
  mode_ = Mode::kOpen;
  if (selectFirst) MoveSel(open_.back(), 1);
}

// Opens the sub-menu of the top pop-up's selected item beside it.
void MenuView::OpenSub(bool selectFirst) {
  Level& top = open_.back();
  if (top.sel < 0) return;
  const MenuItem& item = top.menu->items[size_t(top.sel)];
  if (!Opens(item)) return;
  const MenuBox& at = top.items[size_t(top.sel)];
  Level sub = MakeLevel(item.sub, top.box.right - kFrame, at.top - kFrame, 0);
  if (sub.box.left < top.box.right - kFrame && top.box.left - sub.box.Width() + kFrame >= 0) {
    int32_t shift = sub.box.left - (top.box.left - sub.box.Width() + kFrame);
    sub.box.left -= shift, sub.box.right -= shift;
    for (MenuBox& b : sub.items) b.left -= shift, b.right -= shift;
  }
  open_.push_back(std::move(sub));
  if (selectFirst) MoveSel(open_.back(), 1);
  dirty_ = true;
}

void MenuView::Close() {
  if (mode_ != Mode::kIdle || !open_.empty() || barSel_ >= 0) dirty_ = true;
  mode_ = Mode::kIdle;
  open_.clear();
  barSel_ = -1;
  pressedOnBar_ = false;
}

void MenuView::Choose(int32_t id) {
  Close();
  hasCommand_ = true;
  command_ = id;
}

bool MenuView::TakeCommand(int32_t* id) {
  if (!hasCommand_) return false;
  hasCommand_ = false;
  *id = command_;
  return true;
}

// The next bar item that is not a separator, `step` away.
void MenuView::MoveBar(int32_t step) {
  int32_t n = int32_t(bar_.size());
  if (n == 0) return;
  int32_t i = barSel_;
  for (int32_t tries = 0; tries < n; ++tries) {
    i = ((i < 0 && step < 0 ? n : i) + step + n) % n;
    if (menu_->items[size_t(i)].kind != MenuItemKind::kSeparator) break;
  }
  if (mode_ == Mode::kOpen) {
    OpenBarItem(i, true);
  } else {
    barSel_ = i;
    dirty_ = true;
  }
}

void MenuView::MoveSel(Level& level, int32_t step) {
  int32_t n = int32_t(level.items.size());
  int32_t i = level.sel < 0 ? (step > 0 ? -1 : n) : level.sel;
  for (int32_t tries = 0; tries < n; ++tries) {
    i = (i + step + n) % n;
    if (level.menu->items[size_t(i)].kind != MenuItemKind::kSeparator) {
      level.sel = i;
      break;
    }
  }
  dirty_ = true;
}

// An access key: on the bar it opens or chooses the item; in a pop-up the
// only item with that key opens or is chosen, several are stepped through.
bool MenuView::Access(uint8_t key) {
  if (mode_ != Mode::kOpen) {
    for (size_t i = 0; i < menu_->items.size(); ++i) {
      const MenuItem& item = menu_->items[i];
      if (item.kind == MenuItemKind::kSeparator || LabelOf(item.text).accessKey != key) continue;
      if (Choosable(item))
        Choose(item.id);
      else
        OpenBarItem(int32_t(i), true);
      return true;
    }
    return false;
  }
  Level& top = open_.back();
  std::vector<int32_t> matches;
  for (size_t i = 0; i < top.menu->items.size(); ++i) {
    const MenuItem& item = top.menu->items[i];
    if (item.kind != MenuItemKind::kSeparator && LabelOf(item.text).accessKey == key)
      matches.push_back(int32_t(i));
  }
  if (matches.empty()) return false;
  dirty_ = true;
  if (matches.size() > 1) {
    auto next = std::upper_bound(matches.begin(), matches.end(), top.sel);
    top.sel = next == matches.end() ? matches.front() : *next;
    return true;
  }
  top.sel = matches.front();
  const MenuItem& item = top.menu->items[size_t(top.sel)];
  if (Choosable(item))
    Choose(item.id);
  else
    OpenSub(true);
  return true;
}

bool MenuView::KeyDown(uint8_t key, uint8_t modifiers) {
  if (!menu_) return false;
  std::lock_guard lock(MenuLock());
  if (key == platform::kVkMenu) {
    if (modifiers & kModRepeat) return Active();
    // Alt during tracking ends it; alone (down and up) it starts it.
    altAlone_ = !Active();
    if (Active()) Close();
    return !altAlone_;
  }
  altAlone_ = false;
  if (!Active()) {
    bool onlyAlt = (modifiers & (kModAlt | kModCtrl)) == kModAlt;
    if (key == kVkF10 && !(modifiers & (kModAlt | kModCtrl | kModShift)) && !bar_.empty()) {
      Enter();
      barSel_ = -1;
      mode_ = Mode::kBar;
      MoveBar(1);
      return true;
    }
    if (!onlyAlt || !IsAlnum(key)) return false;
    for (const MenuItem& item : menu_->items)
      if (item.kind != MenuItemKind::kSeparator && LabelOf(item.text).accessKey == key) {
        Enter();
        mode_ = Mode::kBar;
        Access(key);
        return true;
      }
    return false;
  }
  return mode_ == Mode::kBar ? KeyInBar(key) : KeyInPopup(key);
}

bool MenuView::KeyUp(uint8_t key, uint8_t) {
  if (key != platform::kVkMenu || !altAlone_) return Active();
  altAlone_ = false;
  if (!menu_ || Active() || bar_.empty()) return false;
  std::lock_guard lock(MenuLock());
  Enter();
  mode_ = Mode::kBar;
  barSel_ = -1;
  MoveBar(1);
  return true;
}

// Tracking with only the bar highlighted: arrows move along it, Down or
// Enter opens the item, Esc leaves.
bool MenuView::KeyInBar(uint8_t key) {
  switch (key) {
    case platform::kVkLeft:
      MoveBar(-1);
      break;
    case platform::kVkRight:
      MoveBar(1);
      break;
    case platform::kVkDown:
    case platform::kVkUp:
    case platform::kVkReturn:
      if (barSel_ >= 0) {
        const MenuItem& item = menu_->items[size_t(barSel_)];
        if (Opens(item))
          OpenBarItem(barSel_, true);
        else if (key == platform::kVkReturn && Choosable(item))
          Choose(item.id);
      }
      break;
    case platform::kVkEscape:
      Close();
      break;
    default:
      if (IsAlnum(key)) Access(key);
      break;
  }
  return true;
}

// Tracking in a pop-up: arrows move and cross into sub-menus and along the
// bar, Enter chooses, Esc closes one pop-up.
bool MenuView::KeyInPopup(uint8_t key) {
  Level& top = open_.back();
  const MenuItem* selected = top.sel >= 0 ? &top.menu->items[size_t(top.sel)] : nullptr;
  switch (key) {
    case platform::kVkUp:
      MoveSel(top, -1);
      break;
    case platform::kVkDown:
      MoveSel(top, 1);
      break;
    case platform::kVkRight:
      if (selected && Opens(*selected))
        OpenSub(true);
      else
        MoveBar(1);
      break;
    case platform::kVkLeft:
      if (open_.size() > 1)
        open_.pop_back(), dirty_ = true;
      else
        MoveBar(-1);
      break;
    case platform::kVkReturn:
      if (selected && Opens(*selected))
        OpenSub(true);
      else if (selected && Choosable(*selected))
        Choose(selected->id);
      break;
    case platform::kVkEscape:
      open_.pop_back();
      if (open_.empty()) mode_ = Mode::kBar;
      dirty_ = true;
      break;
    default:
      if (IsAlnum(key)) Access(key);
      break;
  }
  return true;
}

int32_t MenuView::BarItemAt(int32_t x, int32_t y) const {
  if (y < 0 || y >= BarHeight()) return -1;
  for (size_t i = 0; i < bar_.size(); ++i)
    if (bar_[i].Contains(x, y) && menu_->items[i].kind != MenuItemKind::kSeparator) return int32_t(i);
  return -1;
}

// The top-most open pop-up under (x, y) and its item there (-1 on the
// border or a separator); false when no pop-up is there.
bool MenuView::ItemAt(int32_t x, int32_t y, size_t* level, int32_t* index) const {
  for (size_t l = open_.size(); l-- > 0;) {
    if (!open_[l].box.Contains(x, y)) continue;
    *level = l;
    *index = -1;
    for (size_t i = 0; i < open_[l].items.size(); ++i)
      if (open_[l].items[i].Contains(x, y) && open_[l].menu->items[i].kind != MenuItemKind::kSeparator)
        *index = int32_t(i);
    return true;
  }
  return false;
}

bool MenuView::Covers(int32_t x, int32_t y) const {
  size_t level;
  int32_t index;
  return (menu_ && y >= 0 && y < BarHeight() && x >= 0 && x < width_) || ItemAt(x, y, &level, &index);
}

bool MenuView::MouseDown(int32_t x, int32_t y, uint8_t button) {
  if (!menu_) return false;
  std::lock_guard lock(MenuLock());
  altAlone_ = false;
  if (y >= 0 && y < BarHeight()) {
    int32_t bar = BarItemAt(x, y);
    if (button != 1) return true;
    if (bar < 0 || (mode_ == Mode::kOpen && bar == barSel_)) {
      Close();
      return true;
    }
    Enter();
    OpenBarItem(bar, false);
    pressedOnBar_ = mode_ == Mode::kBar;
    return true;
  }
  if (!Active()) return false;
  size_t level;
  int32_t index;
  // A press in a pop-up waits for its release; one elsewhere only ends the
  // tracking.
  if (!ItemAt(x, y, &level, &index)) Close();
  return true;
}

bool MenuView::MouseUp(int32_t x, int32_t y, uint8_t button) {
  if (!Active()) return false;
  std::lock_guard lock(MenuLock());
  if (button != 1) return true;
  if (pressedOnBar_) {
    pressedOnBar_ = false;
    int32_t bar = BarItemAt(x, y);
    if (bar >= 0 && bar == barSel_ && Choosable(menu_->items[size_t(bar)]))
      Choose(menu_->items[size_t(bar)].id);
    else
      Close();
    return true;
  }
  size_t level;
  int32_t index;
  if (ItemAt(x, y, &level, &index) && index >= 0) {
    const MenuItem& item = open_[level].menu->items[size_t(index)];
    if (Choosable(item)) Choose(item.id);
  }
  return true;
}

bool MenuView::MouseMove(int32_t x, int32_t y) {
  if (!Active()) return false;
  std::lock_guard lock(MenuLock());
  int32_t bar = BarItemAt(x, y);
  if (bar >= 0 && bar != barSel_ && !pressedOnBar_) {
    if (mode_ == Mode::kOpen) {
      OpenBarItem(bar, false);
    } else {
      barSel_ = bar;
      dirty_ = true;
    }
    return true;
  }
  size_t level;
  int32_t index;
  if (!ItemAt(x, y, &level, &index)) return true;
  Level& at = open_[level];
  // Pointing at the item whose sub-menu is open keeps that sub-menu.
  bool keep = index >= 0 && level + 1 < open_.size() && at.sel == index;
  if (!keep) open_.resize(level + 1);
  if (at.sel != index) dirty_ = true;
  at.sel = index;
  if (!keep && index >= 0 && Opens(at.menu->items[size_t(index)])) OpenSub(false);
  return true;
}

std::vector<int32_t> MenuView::OpenSelections() const {
  std::vector<int32_t> out;
  for (const Level& level : open_) out.push_back(level.sel);
  return out;
}

MenuBox MenuView::PopupBox(size_t level) const { return level < open_.size() ? open_[level].box : MenuBox{}; }
MenuBox MenuView::BarItemBox(size_t index) const { return index < bar_.size() ? bar_[index] : MenuBox{}; }
MenuBox MenuView::PopupItemBox(size_t level, size_t index) const {
  return level < open_.size() && index < open_[level].items.size() ? open_[level].items[index] : MenuBox{};
}

MenuBox MenuView::Draw(uint32_t* pixels) {
  dirty_ = false;
  std::fill(pixels, pixels + size_t(width_) * size_t(height_), 0u);
  if (!menu_) return MenuBox{};
  std::lock_guard lock(MenuLock());
  DrawBar(pixels);
  MenuBox used{0, 0, width_, std::min(BarHeight(), height_)};
  for (const Level& level : open_) {
    DrawLevel(pixels, level);
    used = Union(used, level.box);
  }
  used.left = std::max(used.left, 0), used.top = std::max(used.top, 0);
  used.right = std::min(used.right, width_), used.bottom = std::min(used.bottom, height_);
  return used;
}

namespace {

// A label with its access character underlined, its top left at (x, y).
void DrawLabel(const MenuFont& font, uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y,
               const MenuLabel& label, uint32_t ink) {
  font.draw(pixels, width, height, x, y, label.text, ink);
  if (label.underline < 0) return;
  int32_t from = x + font.width(label.text.substr(0, size_t(label.underline)));
  int32_t w = font.width(label.text.substr(size_t(label.underline), size_t(label.underlineBytes)));
  int32_t line = y + font.lineHeight() - 1;
  Fill(pixels, width, height, MenuBox{from, line, from + w, line + 1}, ink);
}

// A check mark or a radio bullet centred at (cx, cy).
void DrawMark(uint32_t* pixels, int32_t width, int32_t height, int32_t cx, int32_t cy, bool bullet,
              uint32_t ink) {
  if (bullet) {
    for (int32_t dy = -3; dy <= 3; ++dy)
      for (int32_t dx = -3; dx <= 3; ++dx)
        if (dx * dx + dy * dy <= 10)
          Fill(pixels, width, height, MenuBox{cx + dx, cy + dy, cx + dx + 1, cy + dy + 1}, ink);
    return;
  }
  // Down two steps to the right, then up four.
  for (int32_t i = 0; i < 7; ++i) {
    int32_t x = cx - 3 + i, y = i < 3 ? cy - 1 + i : cy + 1 - (i - 2);
    Fill(pixels, width, height, MenuBox{x, y, x + 1, y + 3}, ink);
  }
}

void DrawArrow(uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t cy, uint32_t ink) {
  for (int32_t i = 0; i < 4; ++i)
    Fill(pixels, width, height, MenuBox{x + i, cy - 3 + i, x + i + 1, cy + 4 - i}, ink);
}

}  // namespace

void MenuView::DrawBar(uint32_t* pixels) const {
  int32_t height = BarHeight();
  Fill(pixels, width_, height_, MenuBox{0, 0, width_, height}, kFace);
  for (size_t i = 0; i < bar_.size(); ++i) {
    const MenuItem& item = menu_->items[i];
    if (item.kind == MenuItemKind::kSeparator) continue;
    bool lit = Active() && int32_t(i) == barSel_;
    if (lit) Fill(pixels, width_, height_, bar_[i], kHighlight);
    uint32_t ink = item.greyed ? kGreyInk : lit ? kHighlightInk : kInk;
    DrawLabel(font_, pixels, width_, height_, bar_[i].left + kBarItemPad, kBarPad, LabelOf(item.text), ink);
  }
}

void MenuView::DrawLevel(uint32_t* pixels, const Level& level) const {
  const MenuBox& b = level.box;
  Fill(pixels, width_, height_, b, kDark);
  Fill(pixels, width_, height_, MenuBox{b.left, b.top, b.right - 1, b.bottom - 1}, kLight);
  Fill(pixels, width_, height_, MenuBox{b.left + 1, b.top + 1, b.right - 1, b.bottom - 1}, kShadow);
  Fill(pixels, width_, height_, MenuBox{b.left + 1, b.top + 1, b.right - 2, b.bottom - 2}, kFace);
  int32_t lineHeight = font_.lineHeight();
  for (size_t i = 0; i < level.items.size(); ++i) {
    const MenuItem& item = level.menu->items[i];
    const MenuBox& r = level.items[i];
    if (item.kind == MenuItemKind::kSeparator) {
      int32_t mid = (r.top + r.bottom) / 2 - 1;
      Fill(pixels, width_, height_, MenuBox{r.left + 1, mid, r.right - 1, mid + 1}, kShadow);
      Fill(pixels, width_, height_, MenuBox{r.left + 1, mid + 1, r.right - 1, mid + 2}, kLight);
      continue;
    }
    bool lit = int32_t(i) == level.sel;
    if (lit) Fill(pixels, width_, height_, r, kHighlight);
    uint32_t ink = item.greyed ? kGreyInk : lit ? kHighlightInk : kInk;
    int32_t textTop = r.top + (r.bottom - r.top - lineHeight) / 2, cy = (r.top + r.bottom) / 2;
    if (item.checked) DrawMark(pixels, width_, height_, r.left + kGutter / 2, cy, item.radioCheck, ink);
    MenuLabel label = LabelOf(item.text);
    DrawLabel(font_, pixels, width_, height_, r.left + kGutter, textTop, label, ink);
    if (!label.shortcut.empty())
      font_.draw(pixels, width_, height_, r.right - kArrowRoom - font_.width(label.shortcut), textTop,
                 label.shortcut, ink);
    if (item.kind == MenuItemKind::kPopup)
      DrawArrow(pixels, width_, height_, r.right - kArrowRoom + 5, cy, ink);
  }
}

}  // namespace qavz
