// The natives that reach the window: update repaints the part of the window
// that shows a rectangle of the page, setorg moves the picture.
#include <algorithm>

#include "core/config.h"
#include "core/window_link.h"
#include "graphics/pages.h"
#include "graphics/present.h"
#include "vm/native_table.h"

namespace qavz {

// update(rect or 0): repaints the window area showing the rectangle of the
// page (the whole window for 0) and returns once it is painted; 0 when the
// rectangle lies outside the page area.
int32_t Native_update(Addr args) {
  Addr address = ArgAddr(args, 0);
  if (address == 0) {
    RepaintWindow(0, 0, 0, 0, true);
    return 1;
  }
  Rect r;
  Arena& arena = TheArena();
  if (!arena.Read(address, r.left) || !arena.Read(address + 4, r.top) || !arena.Read(address + 8, r.right) ||
      !arena.Read(address + 12, r.bottom))
    return 0;
  // The page is shown moved by the menu offset; the client area it lands in
  // is Width x Height before any scaling.
  const DisplayState& d = Display();
  int64_t dx = d.menuOffsetX.load(), dy = d.menuOffsetY.load();
  auto moved = [](int64_t v, int64_t by) {
    return int32_t(std::clamp<int64_t>(v - by, INT32_MIN, INT32_MAX));
  };
  Rect shown{moved(r.left, dx), moved(r.top, dy), moved(r.right, dx), moved(r.bottom, dy)};
  Rect area = Overlap(shown, Rect{0, 0, TheConfig().width, TheConfig().height});
  if (NoArea(area)) return 0;
  RepaintWindow(area.left, area.top, area.right, area.bottom, false);
  return 1;
}

// setorg(x, y): the shift origin, seen by the next repaint.
int32_t Native_setorg(Addr args) {
  Display().originX.store(Arg(args, 0));
  Display().originY.store(Arg(args, 1));
  return 1;
}

}  // namespace qavz
