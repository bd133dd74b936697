// The main window's menu bar: the host's own menu (with "Menu" on) until a
// script builds one, drawn by the runtime over its menu layer, hidden in
// full screen with "AutoHideMenu" until the pointer reaches the top of the
// screen, and the host's own commands 40001 to 40004. Window thread only.
#pragma once

#include <cstdint>

#include "platform/video.h"

namespace qavz {

// The host's own commands.
enum HostCommand : int32_t {
  kCommandClose = 40001,
  kCommandRestart = 40002,
  kCommandWindowed = 40003,
  kCommandFullScreen = 40004,
};

// A new window: with "Menu" on it shows the host's own menu.
void ResetWindowMenu();
// menu_build: the built menu replaces the shown or the auto-hidden menu.
void InstallBuiltMenu();
// menu_draw: the bar drawn again; 1, or 0 without a window.
int32_t RedrawMenuBar();

// Offers an event of the main window to the menu first: true when the menu
// took it (it must then not reach the program). Mouse moves also hide and
// show the auto-hidden menu.
bool MenuTakesEvent(const platform::Event& event);
// The client area changed size: the menu layer follows.
void MenuClientResized();
// Around a display-mode switch: the auto-hidden menu goes before full
// screen and comes back before the window; afterwards the layer and the
// menu offset follow the new mode.
void MenuBeforeDisplaySwitch(bool fullScreen);
void MenuAfterDisplaySwitch();

// A menu command: recorded for menu_get, and the host's own acted on.
void OnMenuCommand(int32_t id);

// For tests: the bar is shown, an auto-hidden menu is waiting.
bool MenuBarShown();
bool MenuHidden();

}  // namespace qavz
