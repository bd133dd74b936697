// The script's menu description: a table of 64 nodes, node 0 the root, that
// menu_add and menu_del edit and menu_build turns into a built menu. Script
// threads use it under NativeLock; it needs no lock of its own.
#pragma once

#include <cstdint>
#include <memory>

#include "system/menu_model.h"

namespace qavz {

constexpr int kMenuNodes = 64;
constexpr int kNoNode = -1;
constexpr size_t kMenuTextBytes = 63;  // a node's text, the terminator aside

struct MenuNode {
  bool used = false;
  Menu* menu = nullptr;  // the built menu that holds the item (menu_build)
  int32_t id = 0;
  int32_t group = 0;  // radio group; 0 for none
  char text[kMenuTextBytes + 1] = {};
  int32_t next = kNoNode;   // next sibling
  int32_t child = kNoNode;  // first child: the node is a pop-up
};

// Only the root remains.
void ResetMenuNodes() noexcept;
// The node with `id`, depth first from the root (0 is the root); kNoNode.
int32_t FindMenuNode(int32_t id) noexcept;
// Appends a node under `parent`; false when text is null, id is 0, a
// positive id is taken, the parent is missing or all 63 nodes are in use.
bool AddMenuNode(int32_t parent, int32_t id, const char* text, int32_t group) noexcept;
// Unlinks the node with `id` and clears it and its descendants; 0 resets
// the table. False when the id is not found.
bool DeleteMenuNode(int32_t id) noexcept;
const MenuNode& MenuNodeAt(int32_t index) noexcept;

// A menu built from the root's children, each node remembering the menu
// its item went into. Call with MenuLock held (it sets those pointers while
// the previous build may still be shown).
std::shared_ptr<Menu> BuildMenuFromNodes();

// The smallest and largest id among the used nodes of `group`.
void GroupRange(int32_t group, int32_t* first, int32_t* last) noexcept;

}  // namespace qavz
