#include "graphics/present.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/config.h"
#include "core/video_overlay.h"
#include "graphics/pages.h"
#include "platform/video.h"

namespace qavz {

namespace {

using platform::Frame;
using platform::FramePlacement;

// Channels of a 5-5-5 pixel widened to 8 bits as getpixel does.
inline uint32_t Expand555(uint32_t v) {
  uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
  return ((r << 3 | r >> 2) << 16) | ((g << 3 | g >> 2) << 8) | (b << 3 | b >> 2);
}

void Row1(const uint8_t* row, int32_t x, int32_t n, const uint32_t* palette, uint32_t* out) {
  for (int32_t i = 0; i < n; ++i, ++x) out[i] = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
}
void Row4(const uint8_t* row, int32_t x, int32_t n, const uint32_t* palette, uint32_t* out) {
  for (int32_t i = 0; i < n; ++i, ++x) out[i] = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
}
void Row8(const uint8_t* row, int32_t x, int32_t n, const uint32_t* palette, uint32_t* out) {
  row += x;
  for (int32_t i = 0; i < n; ++i) out[i] = palette[row[i]];
}
void Row16(const uint8_t* row, int32_t x, int32_t n, const uint32_t*, uint32_t* out) {
  row += size_t(x) * 2;
  for (int32_t i = 0; i < n; ++i) out[i] = Expand555(uint32_t(row[2 * i]) | uint32_t(row[2 * i + 1]) << 8);
}
// Four bytes read per pixel, the fourth masked off; the last pixel is read
// alone, since its fourth byte may lie past the plane.
void Row24(const uint8_t* row, int32_t x, int32_t n, const uint32_t*, uint32_t* out) {
  if (n <= 0) return;
  row += size_t(x) * 3;
  for (int32_t i = 0; i < n - 1; ++i) {
    uint32_t v;
    std::memcpy(&v, row + size_t(i) * 3, 4);
    out[i] = v & 0xFFFFFF;
  }
  const uint8_t* last = row + size_t(n - 1) * 3;
  out[n - 1] = uint32_t(last[0]) | uint32_t(last[1]) << 8 | uint32_t(last[2]) << 16;
}
// The fourth byte is alpha for the blits; the window shows colour only.
void Row32(const uint8_t* row, int32_t x, int32_t n, const uint32_t*, uint32_t* out) {
  row += size_t(x) * 4;
  for (int32_t i = 0; i < n; ++i) {
    uint32_t v;
    std::memcpy(&v, row + size_t(i) * 4, 4);
    out[i] = v & 0xFFFFFF;
  }
}

using RowConverter = void (*)(const uint8_t* row, int32_t x, int32_t n, const uint32_t* palette,
                              uint32_t* out);

struct DepthRow {
  int32_t depth;
  RowConverter convert;
};
constexpr DepthRow kDepthRows[] = {{1, Row1}, {4, Row4}, {8, Row8}, {16, Row16}, {24, Row24}, {32, Row32}};

RowConverter ConverterFor(int32_t depth) {
  for (const DepthRow& row : kDepthRows)
    if (row.depth == depth) return row.convert;
  return nullptr;
}

void FillBlack(uint32_t* out, int32_t n) {
  if (n > 0) std::fill_n(out, n, 0u);
}

// The colours an indexed page is shown in: the display palette for 8 bits,
// the page's own table below that.
void ShownColours(const Plane& page, uint32_t* palette) {
  if (page.depth == 8) {
    for (int i = 0; i < 256; ++i)
      palette[i] = Display().displayPalette[i].load(std::memory_order_relaxed) & 0xFFFFFF;
  } else {
    for (int i = 0; i < 256; ++i) palette[i] = page.colours[i] & 0xFFFFFF;
  }
}

// The window's picture as it was last painted.
struct PaintedState {
  FramePlacement placement = FramePlacement::kOneToOne;
};
PaintedState gPainted;

// One to one: client (cx, cy) shows page (cx + ox + mx, cy + oy + my), with
// the strips the shift origin uncovers black.
void PaintOneToOne(const Plane* page, Frame& frame, const Rect& area) {
  const DisplayState& d = Display();
  int32_t ox = d.originX.load(), oy = d.originY.load();
  int32_t sx = ox + d.menuOffsetX.load(), sy = oy + d.menuOffsetY.load();
  int32_t width = frame.width, height = frame.height;
  // Client columns [keepLeft, keepRight) and rows [keepTop, keepBottom) may
  // show the page; the strips outside them are black.
  int64_t keepLeft = ox < 0 ? -int64_t(ox) : 0, keepRight = ox > 0 ? int64_t(width) - ox : width;
  int64_t keepTop = oy < 0 ? -int64_t(oy) : 0, keepBottom = oy > 0 ? int64_t(height) - oy : height;
  RowConverter convert = page ? ConverterFor(page->depth) : nullptr;
  uint32_t palette[256];
  if (convert) ShownColours(*page, palette);
  for (int32_t cy = area.top; cy < area.bottom; ++cy) {
    uint32_t* out = frame.pixels.data() + size_t(cy) * size_t(width);
    int64_t py = int64_t(cy) + sy;
    if (!convert || cy < keepTop || cy >= keepBottom || py < 0 || py >= page->height) {
      FillBlack(out + area.left, area.right - area.left);
      continue;
    }
    // The page's columns [0, width) sit at client columns [-sx, width - sx).
    int64_t from = std::max<int64_t>({area.left, keepLeft, -int64_t(sx)});
    int64_t to = std::min<int64_t>({area.right, keepRight, int64_t(page->width) - sx});
    if (from >= to) {
      FillBlack(out + area.left, area.right - area.left);
      continue;
    }
    FillBlack(out + area.left, int32_t(from - area.left));
    convert(page->Row(int32_t(py)), int32_t(from + sx), int32_t(to - from), palette, out + from);
    FillBlack(out + to, int32_t(area.right - to));
  }
}

// Stretched: the frame is the page itself; converts the page rows and
// columns that the client area `area` shows.
Rect PaintStretched(const Plane& page, Frame& frame, const Rect& area, int32_t clientWidth,
                    int32_t clientHeight) {
  Rect source{int32_t(int64_t(area.left) * page.width / clientWidth),
              int32_t(int64_t(area.top) * page.height / clientHeight),
              int32_t((int64_t(area.right) * page.width + clientWidth - 1) / clientWidth),
              int32_t((int64_t(area.bottom) * page.height + clientHeight - 1) / clientHeight)};
  source = Overlap(source, Rect{0, 0, page.width, page.height});
  RowConverter convert = ConverterFor(page.depth);
  uint32_t palette[256];
  ShownColours(page, palette);
  for (int32_t y = source.top; y < source.bottom; ++y)
    convert(page.Row(y), source.left, source.right - source.left, palette,
            frame.pixels.data() + size_t(y) * size_t(frame.width) + size_t(source.left));
  return source;
}

}  // namespace

Rect Overlap(const Rect& a, const Rect& b) noexcept {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  return NoArea(r) ? Rect{} : r;
}

Rect ClientAreaOf(const Rect& rect, int32_t width, int32_t height, int32_t clientWidth,
                  int32_t clientHeight) noexcept {
  if (width <= 0 || height <= 0 || clientWidth <= 0 || clientHeight <= 0) return Rect{};
  if (clientWidth == width && clientHeight == height) return Overlap(rect, Rect{0, 0, width, height});
  auto scale = [](int32_t v, int32_t to, int32_t from) {
    return int32_t(std::clamp<int64_t>(int64_t(v) * to / from, INT32_MIN, INT32_MAX));
  };
  Rect scaled{scale(rect.left, clientWidth, width), scale(rect.top, clientHeight, height),
              scale(rect.right, clientWidth, width) + 1, scale(rect.bottom, clientHeight, height) + 1};
  return Overlap(scaled, Rect{0, 0, clientWidth, clientHeight});
}

void ConvertPageRow(const Plane& page, int32_t y, int32_t x, int32_t count, const uint32_t* palette,
                    uint32_t* out) noexcept {
  if (RowConverter convert = ConverterFor(page.depth)) convert(page.Row(y), x, count, palette, out);
}

void PaintWindow(const PaintRequest& request) noexcept {
  const Config& config = TheConfig();
  Frame& frame = platform::WindowFrame(platform::kMainWindow);
  Rect client{0, 0, request.clientWidth, request.clientHeight};
  Rect area = Overlap(request.area, client);
  if (NoArea(area)) return;
  platform::FramePresent present;
  {
    std::lock_guard lock(PlaneTableLock());
    const Plane* page = PlaneAt(Display().viewPage.load());
    bool oneToOne =
        request.fullScreen || (request.clientWidth == config.width && request.clientHeight == config.height);
    // Without a page the window is black, shown one to one.
    int32_t frameWidth = oneToOne || !page ? config.width : page->width;
    int32_t frameHeight = oneToOne || !page ? config.height : page->height;
    FramePlacement placement = oneToOne || !page ? FramePlacement::kOneToOne : FramePlacement::kStretch;
    // A new frame, or one laid out differently, is painted whole.
    if (frame.width != frameWidth || frame.height != frameHeight || placement != gPainted.placement) {
      if (!frame.Resize(frameWidth, frameHeight)) return;
      gPainted.placement = placement;
      area = client;
    }
    present.placement = placement;
    present.client = {area.left, area.top, area.right, area.bottom};
    if (placement == FramePlacement::kOneToOne) {
      Rect inFrame = Overlap(area, Rect{0, 0, frame.width, frame.height});
      if (!NoArea(inFrame)) PaintOneToOne(page, frame, inFrame);
      present.changed = {inFrame.left, inFrame.top, inFrame.right, inFrame.bottom};
    } else {
      Rect source = PaintStretched(*page, frame, area, request.clientWidth, request.clientHeight);
      present.changed = {source.left, source.top, source.right, source.bottom};
    }
    // Media video lies over the page.
    DrawVideoPicture(frame.pixels.data(), frame.width, frame.height, request.clientWidth,
                     request.clientHeight, present.changed.left, present.changed.top, present.changed.right,
                     present.changed.bottom);
  }
  platform::Video().presentFrame(platform::kMainWindow, present);
}

}  // namespace qavz
