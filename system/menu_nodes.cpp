#include "system/menu_nodes.h"

#include <algorithm>
#include <cstring>

namespace qavz {

namespace {

MenuNode gNodes[kMenuNodes];

// Depth first from `node`: the node itself, its children, then its next
// siblings.
int32_t Search(int32_t node, int32_t id) {
  for (; node != kNoNode; node = gNodes[node].next) {
    if (gNodes[node].id == id) return node;
    if (int32_t inside = Search(gNodes[node].child, id); inside != kNoNode) return inside;
  }
  return kNoNode;
}

bool IdTaken(int32_t id) {
  for (int i = 1; i < kMenuNodes; ++i)
    if (gNodes[i].used && gNodes[i].id == id) return true;
  return false;
}

void Clear(int32_t node) {
  while (node != kNoNode) {
    int32_t next = gNodes[node].next;
    Clear(gNodes[node].child);
    gNodes[node] = MenuNode{};
    node = next;
  }
}

// Removes `node` from the child list under `parent`, wherever it is linked.
bool Unlink(int32_t parent, int32_t node) {
  for (int32_t* link = &gNodes[parent].child; *link != kNoNode; link = &gNodes[*link].next) {
    if (*link == node) {
      *link = gNodes[node].next;
      gNodes[node].next = kNoNode;
      return true;
    }
    if (Unlink(*link, node)) return true;
  }
  return false;
}

void Build(int32_t node, Menu& into) {
  for (; node != kNoNode; node = gNodes[node].next) {
    MenuNode& n = gNodes[node];
    MenuItem item;
    item.id = n.id;
    item.text = n.text;
    if (n.child != kNoNode) {
      item.kind = MenuItemKind::kPopup;
      item.sub = std::make_shared<Menu>();
      Build(n.child, *item.sub);
    } else if (std::strcmp(n.text, "-") == 0) {
      item.kind = MenuItemKind::kSeparator;
    } else {
      item.radioCheck = n.group != 0;
    }
    into.items.push_back(std::move(item));
    n.menu = &into;
  }
}

}  // namespace

void ResetMenuNodes() noexcept {
  for (MenuNode& node : gNodes) node = MenuNode{};
  gNodes[0].used = true;
}

int32_t FindMenuNode(int32_t id) noexcept {
  if (!gNodes[0].used) ResetMenuNodes();
  return id == 0 ? 0 : Search(gNodes[0].child, id);
}

bool AddMenuNode(int32_t parent, int32_t id, const char* text, int32_t group) noexcept {
  if (!text || id == 0 || (id > 0 && IdTaken(id))) return false;
  int32_t up = FindMenuNode(parent);
  if (up == kNoNode) return false;
  int32_t node = 1;
  while (node < kMenuNodes && gNodes[node].used) ++node;
  if (node == kMenuNodes) return false;
  MenuNode& n = gNodes[node];
  n = MenuNode{};
  n.used = true;
  n.id = id;
  n.group = group;
  std::strncpy(n.text, text, kMenuTextBytes);
  int32_t* link = &gNodes[up].child;
  while (*link != kNoNode) link = &gNodes[*link].next;
  *link = node;
  return true;
}

bool DeleteMenuNode(int32_t id) noexcept {
  if (id == 0) {
    ResetMenuNodes();
    return true;
  }
  int32_t node = FindMenuNode(id);
  if (node == kNoNode) return false;
  Unlink(0, node);
  Clear(gNodes[node].child);
  gNodes[node] = MenuNode{};
  return true;
}

const MenuNode& MenuNodeAt(int32_t index) noexcept {
  static const MenuNode kNone{};
  return index >= 0 && index < kMenuNodes ? gNodes[index] : kNone;
}

std::shared_ptr<Menu> BuildMenuFromNodes() {
  if (!gNodes[0].used) ResetMenuNodes();
  auto root = std::make_shared<Menu>();
  try {
    Build(gNodes[0].child, *root);
  } catch (...) {
    // No node may point into the half-built menu that goes with the throw.
    for (MenuNode& node : gNodes) node.menu = nullptr;
    throw;
  }
  return root;
}

void GroupRange(int32_t group, int32_t* first, int32_t* last) noexcept {
  bool any = false;
  for (int i = 1; i < kMenuNodes; ++i) {
    if (!gNodes[i].used || gNodes[i].group != group) continue;
    *first = any ? std::min(*first, gNodes[i].id) : gNodes[i].id;
    *last = any ? std::max(*last, gNodes[i].id) : gNodes[i].id;
    any = true;
  }
  if (!any) *first = *last = 0;
}

}  // namespace qavz
