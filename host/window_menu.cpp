#include "host/window_menu.h"

#include <memory>

#include "core/config.h"
#include "graphics/pages.h"
#include "host/display_mode.h"
#include "host/message_queue.h"
#include "host/script_threads.h"
#include "host/window_view.h"
#include "system/menu_view.h"
#include "system/menus.h"

namespace qavz {

namespace {

using platform::Event;
using platform::EventKind;

MenuView& View() {
  static MenuView view;
  return view;
}

std::shared_ptr<Menu> gHidden;  // taken off the window while auto-hidden

// The host's own menu (the menu resource of old); labels in UTF-8.
std::shared_ptr<Menu> HostMenu() {
  auto file = std::make_shared<Menu>(), view = std::make_shared<Menu>(), bar = std::make_shared<Menu>();
  file->items = {CommandItem(kCommandRestart, "再起動(&R)"), SeparatorItem(),
                 CommandItem(kCommandClose, "終了(&X)")};
  view->items = {CommandItem(kCommandWindowed, "ウィンドウ(&W)"),
                 CommandItem(kCommandFullScreen, "フルスクリーン(&F)")};
  bar->items = {PopupItem(0, "ファイル(&F)", file), PopupItem(0, "表示(&V)", view)};
  return bar;
}

// The window system's menu initialisation: the display mode's radio mark.
// Runs with MenuLock held.
void OnMenuOpen() {
  if (const std::shared_ptr<Menu>& menu = View().ShownMenu())
    CheckRadioRange(*menu, kCommandWindowed, kCommandFullScreen,
                    IsFullScreen() ? kCommandFullScreen : kCommandWindowed);
}

bool AutoHide() { return TheConfig().autoHideMenu != 0 && IsFullScreen(); }

// The layer covers the menu rows and the client area: the client area and
// the rows above it in a window, the Width x Height picture in full screen.
void FitLayer() {
  int32_t rows = View().BarHeight();
  int width = 0, height = 0;
  if (IsFullScreen()) {
    width = TheConfig().width, height = TheConfig().height;
  } else {
    platform::Video().clientSize(&width, &height);
    height += rows;
  }
  View().SetLayerSize(width, height);
  platform::Frame& layer = platform::MenuLayer();
  if (layer.width != width || layer.height != height) layer.Resize(width, height);
}

// Draws the layer when it changed and shows it.
void Flush() {
  if (!View().Dirty()) return;
  platform::Frame& layer = platform::MenuLayer();
  platform::FrameBox used;
  if (layer.width > 0 && layer.height > 0) {
    MenuBox box = View().Draw(layer.pixels.data());
    used = platform::FrameBox{box.left, box.top, box.right, box.bottom};
  }
  platform::Video().presentMenuLayer(used);
}

// After the bar came or went: the window keeps its client size (the rows
// are added above it), and in full screen with auto-hide the picture keeps
// its place under the bar through the menu offset.
void Relayout() {
  int32_t rows = View().BarHeight();
  platform::Video().setMenuRows(rows);
  Display().menuOffsetY.store(AutoHide() && View().ShownMenu() ? rows : 0);
  FitLayer();
  Flush();
  PaintWholeWindow();
}

void Show() {
  View().SetMenu(std::move(gHidden));
  gHidden = nullptr;
  Relayout();
}

void Hide() {
  gHidden = View().ShownMenu();
  View().SetMenu(nullptr);
  Relayout();
}

// Auto-hide, on every mouse move: the top row of the screen shows the
// hidden menu; the pointer anywhere but on the bar hides it again.
void AutoHideOnMove(int32_t layerY) {
  if (!AutoHide()) return;
  if (gHidden && layerY <= 0)
    Show();
  else if (View().ShownMenu() && !View().Active() && layerY >= View().BarHeight())
    Hide();
}

// Keys as a window's menu gets them: either Alt is the one Alt key.
uint8_t MenuKey(uint8_t key) {
  constexpr uint8_t kVkLeftAlt = 0xA4, kVkRightAlt = 0xA5;
  return key == kVkLeftAlt || key == kVkRightAlt ? uint8_t(platform::kVkMenu) : key;
}

// The command the view reports, if any, after it took an event.
void DispatchCommand() {
  int32_t id;
  if (View().TakeCommand(&id)) OnMenuCommand(id);
}

}  // namespace

void ResetWindowMenu() {
  gHidden = nullptr;
  View().SetOnOpen(OnMenuOpen);
  View().SetMenu(TheConfig().menu != 0 ? HostMenu() : nullptr);
  Display().menuOffsetX.store(0);
  Relayout();
}

void InstallBuiltMenu() {
  std::shared_ptr<Menu> built = LatestBuiltMenu();
  if (gHidden) {
    gHidden = built;
  } else if (View().ShownMenu()) {
    View().SetMenu(built);
    Relayout();
  }
}

int32_t RedrawMenuBar() {
  if (!platform::Video().windowExists()) return 0;
  FitLayer();
  View().Refresh();
  Flush();
  return 1;
}

bool MenuTakesEvent(const Event& event) {
  MenuView& view = View();
  int32_t y = event.height + view.BarHeight();  // layer coordinates
  uint8_t key = MenuKey(event.key);
  bool taken = false;
  switch (event.kind) {
    case EventKind::kKeyDown:
      // The key that opens the menu brings the auto-hidden menu back first.
      if (gHidden && AutoHide() && (key == platform::kVkMenu || (event.modifiers & platform::kModAlt)))
        Show();
      taken = view.KeyDown(key, event.modifiers);
      break;
    case EventKind::kKeyUp:
      taken = view.KeyUp(key, event.modifiers);
      break;
    case EventKind::kMouseDown:
      taken = view.MouseDown(event.width, y, event.key);
      break;
    case EventKind::kMouseUp:
      taken = view.MouseUp(event.width, y, event.key);
      break;
    case EventKind::kMouseMove:
      taken = view.MouseMove(event.width, y);
      AutoHideOnMove(y);
      break;
    case EventKind::kDeactivate:
      view.Close();
      break;
    default:
      break;
  }
  Flush();
  DispatchCommand();
  return taken;
}

void MenuClientResized() {
  FitLayer();
  Flush();
}

void MenuBeforeDisplaySwitch(bool fullScreen) {
  if (TheConfig().autoHideMenu == 0) return;
  View().Close();
  if (fullScreen && View().ShownMenu()) Hide();
  if (!fullScreen && gHidden) Show();
}

void MenuAfterDisplaySwitch() { Relayout(); }

void OnMenuCommand(int32_t id) {
  RecordMenuCommand(id);
  switch (id) {
    case kCommandClose:
      PostMainMessage(Message{kMsgClose, 0, 0, {}});
      break;
    case kCommandRestart:
      RestartProgram();
      break;
    case kCommandWindowed:
      if (IsFullScreen()) SwitchDisplayMode(false);
      break;
    case kCommandFullScreen:
      if (!IsFullScreen()) SwitchDisplayMode(true);
      break;
    default:
      break;
  }
}

bool MenuBarShown() { return View().ShownMenu() != nullptr; }
bool MenuHidden() { return gHidden != nullptr; }

}  // namespace qavz
