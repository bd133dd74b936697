// What the system natives (menus, caption, message box, window shape and
// dragging) need of the main window, which the host owns: the host installs
// these at start-up and runs each on the window thread. Without a host (unit
// tests of the natives) there is no window: each gives its no-window result.
#pragma once

#include <cstdint>
#include <string>

namespace qavz {

struct SystemLink {
  // menu_build: the menu just built takes the place of the window's shown
  // or auto-hidden menu (a window without a menu shows none).
  void (*installMenu)() noexcept;
  // menu_draw: the menu bar drawn again; 1, or 0 without a window.
  int32_t (*drawMenuBar)() noexcept;
  // caption: the window's title from Shift-JIS text; 1, or 0 without one.
  int32_t (*setCaption)(const std::string& shiftJis) noexcept;
  // mbox: a box with the Windows type flags owned by the window; the
  // button's result, 0 when no box can be shown.
  int32_t (*messageBox)(uint32_t type, const std::string& caption, const std::string& text) noexcept;
  // setrgn and setdrag with their arguments; 0 without a window.
  int32_t (*setShape)(int32_t plane, int32_t index) noexcept;
  int32_t (*setDrag)(int32_t plane, int32_t index) noexcept;
};

void InstallSystemLink(const SystemLink& link) noexcept;
const SystemLink& TheSystemLink() noexcept;

}  // namespace qavz
