// The menu natives. They run on script threads under NativeLock: the node
// table needs no other lock, the built menus are shared with the window
// thread under MenuLock, and putting a menu on the window is the window
// thread's work.
#include <atomic>
#include <string>

#include "core/service_hooks.h"
#include "core/system_link.h"
#include "system/menu_nodes.h"
#include "system/menus.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

std::shared_ptr<Menu> gLatest;  // under MenuLock
std::atomic<int32_t> gLastCommand{0};

// The built item of the node with `id`, changed by `change` under MenuLock;
// false when no node has the id. A node added since the last build has no
// item yet, and the change does nothing.
template <typename Change>
bool ChangeItem(int32_t id, Change change) {
  int32_t node = FindMenuNode(id);
  if (node == kNoNode) return false;
  std::lock_guard lock(MenuLock());
  if (Menu* menu = MenuNodeAt(node).menu)
    if (MenuItem* item = FindByCommand(*menu, id)) change(*item);
  return true;
}

}  // namespace

std::shared_ptr<Menu> LatestBuiltMenu() {
  std::lock_guard lock(MenuLock());
  return gLatest;
}

void RecordMenuCommand(int32_t id) noexcept { gLastCommand.store(id); }

// A new run starts with only the root and no command waiting (the restart
// command itself included). The window keeps showing the bar it has.
void ResetMenuTable() {
  ResetMenuNodes();
  gLastCommand.store(0);
}

// menu_init(): only the root remains.
int32_t Native_menu_init(Addr) {
  ResetMenuNodes();
  return 1;
}

// menu_add(parent id, id, text, group)
int32_t Native_menu_add(Addr args) {
  Addr textAddress = ArgAddr(args, 2);
  std::string text;
  if (textAddress == 0 || !TheArena().ReadString(textAddress, text, kMenuTextBytes)) return 0;
  return AddMenuNode(Arg(args, 0), Arg(args, 1), text.c_str(), Arg(args, 3)) ? 1 : 0;
}

// menu_del(id): 0 removes everything.
int32_t Native_menu_del(Addr args) { return DeleteMenuNode(Arg(args, 0)) ? 1 : 0; }

// menu_build(): the nodes become a menu, which the window puts in place of
// its own.
int32_t Native_menu_build(Addr) {
  {
    std::lock_guard lock(MenuLock());
    gLatest = BuildMenuFromNodes();
  }
  TheSystemLink().installMenu();
  return 1;
}

// menu_enable(id, flag): 0 greys the item, anything else enables it.
int32_t Native_menu_enable(Addr args) {
  bool enable = Arg(args, 1) != 0;
  return ChangeItem(Arg(args, 0), [enable](MenuItem& item) { item.greyed = !enable; }) ? 1 : 0;
}

// menu_check(id, flag)
int32_t Native_menu_check(Addr args) {
  bool check = Arg(args, 1) != 0;
  return ChangeItem(Arg(args, 0), [check](MenuItem& item) { item.checked = check; }) ? 1 : 0;
}

// menu_radio(id): the mark moves to the item within its group's id range.
int32_t Native_menu_radio(Addr args) {
  int32_t id = Arg(args, 0);
  int32_t node = FindMenuNode(id);
  if (node == kNoNode) return 0;
  int32_t first, last;
  GroupRange(MenuNodeAt(node).group, &first, &last);
  std::lock_guard lock(MenuLock());
  if (Menu* menu = MenuNodeAt(node).menu) CheckRadioRange(*menu, first, last, id);
  return 1;
}

// menu_draw()
int32_t Native_menu_draw(Addr) { return TheSystemLink().drawMenuBar(); }

// menu_get(): the last command, once.
int32_t Native_menu_get(Addr) { return gLastCommand.exchange(0); }

}  // namespace qavz
