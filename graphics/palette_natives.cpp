// The page and palette natives: which plane is shown and drawn into, the
// script palette and its copy into the display palette, and the colour map.
#include <algorithm>
#include <cstring>

#include "core/report_error.h"
#include "core/window_link.h"
#include "graphics/blend_tables.h"
#include "graphics/colour_map.h"
#include "graphics/messages.h"
#include "graphics/pages.h"
#include "graphics/plane.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// vpage and apage: a slot number of 1024 or more is reported, an empty slot
// refused quietly.
int32_t SelectPage(std::atomic<int32_t>& page, int32_t slot, const char* outOfRange) {
  if (uint32_t(slot) >= uint32_t(kPlaneSlots)) {
    ReportError(kLevelFault, "%s", outOfRange);
    return 0;
  }
  if (!PlaneAt(slot)) return 0;
  page.store(slot);
  return 1;
}

// pal_sets and pal_gets: entries from `first` to at most 255.
int32_t MoveScriptPalette(Addr args, bool intoPalette) {
  int32_t first = Arg(args, 0), count = Arg(args, 1);
  if (uint32_t(first) > 255 || count <= 0) return 0;
  int32_t n = std::min(count, 256 - first);
  uint8_t* array = TheArena().Span(ArgAddr(args, 2), uint32_t(n) * 4);
  if (!array) return 0;
  std::atomic<uint32_t>* palette = Display().scriptPalette + first;
  for (int32_t i = 0; i < n; ++i) {
    uint32_t value;
    if (intoPalette) {
      std::memcpy(&value, array + 4 * i, 4);
      palette[i].store(value);
    } else {
      value = palette[i].load();
      std::memcpy(array + 4 * i, &value, 4);
    }
  }
  return 1;
}

}  // namespace

int32_t Native_vpage(Addr args) {
  return SelectPage(Display().viewPage, Arg(args, 0), msg::kViewPageOutOfRange);
}

int32_t Native_apage(Addr args) {
  return SelectPage(Display().activePage, Arg(args, 0), msg::kActivePageOutOfRange);
}

int32_t Native_pal_set(Addr args) {
  int32_t index = Arg(args, 0);
  if (uint32_t(index) > 255) return 0;
  Display().scriptPalette[index].store(uint32_t(Arg(args, 1)));
  return 1;
}

int32_t Native_pal_get(Addr args) {
  int32_t index = Arg(args, 0);
  return uint32_t(index) > 255 ? 0 : int32_t(Display().scriptPalette[index].load());
}

int32_t Native_pal_sets(Addr args) { return MoveScriptPalette(args, true); }
int32_t Native_pal_gets(Addr args) { return MoveScriptPalette(args, false); }

int32_t Native_pal_load(Addr args) {
  const Plane* plane = PlaneAt(Arg(args, 0));
  int32_t first = Arg(args, 1), from = Arg(args, 2), count = Arg(args, 3);
  if (!plane || plane->depth > 8) return 0;
  if (uint32_t(first) > 255 || uint32_t(from) >= uint32_t(plane->colourCount) || count <= 0) return 0;
  int32_t n = std::min({count, plane->colourCount - from, 256 - first});
  for (int32_t i = 0; i < n; ++i) Display().scriptPalette[first + i].store(plane->colours[from + i]);
  return n;
}

int32_t Native_pal_change(Addr) {
  DisplayState& display = Display();
  for (int i = 0; i < 256; ++i) display.displayPalette[i].store(display.scriptPalette[i].load() & 0xFFFFFF);
  // Only an 8-bit page is shown through the display palette.
  const Plane* page = PlaneAt(display.viewPage.load());
  if (page && page->depth == 8) RepaintWindow(0, 0, 0, 0, true);
  return 1;
}

int32_t Native_pal_map(Addr args) {
  Addr at = ArgAddr(args, 0);
  uint32_t palette[256];
  uint8_t* map = BlendTables().colourMap;
  if (at == 0 || !map || !TheArena().Read(at, palette)) return 0;
  BuildColourMap(palette, map);
  return 1;
}

}  // namespace qavz
