// Graphics per-run state. Planes, palettes, fonts, sprites and effects are not
// built yet, so there is nothing to create or free.
#include "core/service_hooks.h"

namespace qavz {

void InitColourTables() {}
void CreatePalette() {}
void ResetFontState() {}
void FreeFonts() {}
void FreePagesAndSurfaces() {}
void ResetSprites() {}
void FreeEffectStates() {
  void FreeAllEffectStates() noexcept;  // graphics/effects.h
  FreeAllEffectStates();
}

}  // namespace qavz
