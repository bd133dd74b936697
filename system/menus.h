// The script's menus as the host sees them: the menu the last menu_build
// made, and the last command the window received, for menu_get.
#pragma once

#include <cstdint>
#include <memory>

#include "system/menu_model.h"

namespace qavz {

// The menu of the last menu_build (null before the first); the host puts it
// on the window when menu_build asks it to.
std::shared_ptr<Menu> LatestBuiltMenu();

// Every menu command the main window receives, the host's own included.
void RecordMenuCommand(int32_t id) noexcept;

}  // namespace qavz
