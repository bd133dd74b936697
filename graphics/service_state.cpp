// Graphics per-run state: the blend tables at start-up, the display set-up at
// the start of every run and its release at the end, the font slots, the
// effect states. Sprites are not built yet, so there is nothing of theirs to
// create or free.
#include "core/config.h"
#include "core/report_error.h"
#include "core/service_hooks.h"
#include "graphics/blend_tables.h"
#include "graphics/dirty_rects.h"
#include "graphics/draw.h"
#include "graphics/messages.h"
#include "graphics/pages.h"
#include "graphics/plane.h"

namespace qavz {

namespace {

void FreeAllPlanes() {
  for (int32_t slot = 0; slot < kPlaneSlots; ++slot) {
    SetAttachment(slot, -1);
    FreePlane(slot);
  }
}

}  // namespace

void InitColourTables() { BuildBlendTables(); }

// Display set-up: no planes, the 3-3-2 palette in the script and display
// palettes, and plane 0 of the configured size and depth, filled with colour
// 0, as both pages.
void CreatePalette() {
  FreeAllPlanes();
  ClearDirtyRects();
  DisplayState& display = Display();
  uint32_t cube[256];
  DefaultColours(8, cube);
  for (int i = 0; i < 256; ++i) {
    display.scriptPalette[i].store(cube[i]);
    display.displayPalette[i].store(cube[i]);
  }
  display.viewPage.store(0);
  display.activePage.store(0);
  display.originX.store(0);
  display.originY.store(0);
  const Config& config = TheConfig();
  Plane* page = CreatePlane(0, config.width, config.height, config.depth);
  if (!page) {
    ReportError(kLevelFault, msg::kCreatePlaneFailed);
    return;
  }
  FillRect(*page, Rect{0, 0, page->width, page->height}, 0);
}

void ResetFontState() {
  void ResetFontSlots() noexcept;  // graphics/font_slots.h
  ResetFontSlots();
}
void FreeFonts() {
  void FreeFontSlots() noexcept;  // graphics/font_slots.h
  FreeFontSlots();
}
void FreePagesAndSurfaces() { FreeAllPlanes(); }
void ResetSprites() {
  void ResetSpriteSystem() noexcept;  // graphics/sprite_natives.cpp
  ResetSpriteSystem();
}
void FreeEffectStates() {
  void FreeAllEffectStates() noexcept;  // graphics/effects.h
  FreeAllEffectStates();
}

}  // namespace qavz
