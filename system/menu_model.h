// Built menus: what menu_build makes of the node table and what the window
// shows as its menu bar. A menu is a list of items; an item with a sub-menu
// is a pop-up. Items are found by command id as the window system finds
// them, so the state natives and the host's own commands share one rule.
//
// Script threads change item states (menu_enable, menu_check, menu_radio)
// while the window thread draws and tracks the same menus: both hold
// MenuLock() around every access to items.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qavz {

struct Menu;

enum class MenuItemKind : uint8_t {
  kString,     // a command
  kSeparator,  // a line between groups
  kPopup,      // opens its sub-menu
};

struct MenuItem {
  int32_t id = 0;  // command id (pop-ups carry one too)
  MenuItemKind kind = MenuItemKind::kString;
  bool radioCheck = false;  // the check mark is drawn as a bullet
  bool checked = false;
  bool greyed = false;  // shown grey and cannot be chosen
  // Shift-JIS bytes: '&' marks the access key ("&&" is one '&'), a tab
  // starts the shortcut text shown at the right.
  std::string text;
  std::shared_ptr<Menu> sub;  // kPopup only
};

struct Menu {
  std::vector<MenuItem> items;
};

MenuItem CommandItem(int32_t id, std::string text);
MenuItem SeparatorItem();
MenuItem PopupItem(int32_t id, std::string text, std::shared_ptr<Menu> sub);

// Held around every read or change of built menus' items.
std::mutex& MenuLock() noexcept;

// The item with command id `id` in `menu` or its sub-menus: plain items are
// matched in order, each pop-up's sub-menu searched where it stands, and a
// pop-up whose own id matches counts only when nothing inside matched.
// *holder receives the menu that holds the item. Null when there is none.
MenuItem* FindByCommand(Menu& menu, int32_t id, Menu** holder = nullptr) noexcept;

// Gives the item `chosen` the radio mark and clears the mark of every item
// between the items `first` and `last` (by position, in the menu that holds
// them); all three are found by command and must sit in one menu. False
// (nothing changed) otherwise.
bool CheckRadioRange(Menu& menu, int32_t first, int32_t last, int32_t chosen) noexcept;

// The text as shown: without the '&' marks, the shortcut text apart, and the
// access key (an ASCII letter or digit upper-cased, 0 for none). Text that
// is well-formed UTF-8 is read as UTF-8 (the host's own labels), any other
// as Shift-JIS.
struct MenuLabel {
  std::string text;            // Shift-JIS
  std::string shortcut;        // after the tab, Shift-JIS
  int32_t underline = -1;      // byte offset in `text` of the access character
  int32_t underlineBytes = 0;  // and its length in bytes
  uint8_t accessKey = 0;
};
MenuLabel LabelOf(const std::string& text);

}  // namespace qavz
