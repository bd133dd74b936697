#include "host/debug_window.h"

#include <algorithm>
#include <deque>

#include "graphics/ui_text.h"
#include "host/bitmap_font.h"

namespace qavz {

namespace {

using platform::Event;
using platform::EventKind;

constexpr char kCaption[] = "Debug Output";
constexpr char kClearLabel[] = "クリア(&C)";  // button 1001
constexpr char kCloseLabel[] = "閉じる(&X)";  // button 1002

constexpr int32_t kInitialWidth = 560;
constexpr int32_t kInitialHeight = 360;
constexpr int32_t kScale = 2;   // the built-in font's pixels on the screen (buttons)
constexpr int32_t kRowGap = 2;  // between the lines of the list
constexpr int32_t kMargin = 8;
constexpr int32_t kButtonHeight = 28;
constexpr int32_t kBar = 8;  // scroll bar thickness
constexpr int32_t kPadding = 3;
constexpr int32_t kWheelLines = 3;
// The oldest lines go beyond this many, so a chatty script cannot use up
// the memory.
constexpr size_t kMaxLines = 65536;

constexpr uint32_t kFace = 0xD4D0C8, kLight = 0xFFFFFF, kShadow = 0x808080, kDark = 0x404040;
constexpr uint32_t kListPaper = 0xFFFFFF, kInk = 0x000000, kThumb = 0xA0A0A0;

struct Box {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct DebugWindow {
  bool exists = false;
  bool dirty = true;
  int32_t width = kInitialWidth;
  int32_t height = kInitialHeight;
  std::deque<std::string> lines;
  int32_t widest = 0;
  int32_t extent = 0;
  size_t topIndex = 0;
  int32_t scrollX = 0;
};

DebugWindow gDebug;

// The list's lines are drawn by the text engine in the default face; without
// that face (no fonts installed) the built-in font stands in.
int32_t RowHeight() { return UiTextAvailable() ? UiLineHeight() + kRowGap : kFontCellHeight * kScale; }

int32_t LineWidth(const std::string& utf8) {
  return UiTextAvailable() ? UiTextWidth(utf8) : TextWidth(utf8, kScale);
}

void DrawLine(const Canvas& c, int32_t x, int32_t y, const std::string& line) {
  Rect clip{std::max(c.clipLeft, 0), std::max(c.clipTop, 0), std::min(c.clipRight, c.width),
            std::min(c.clipBottom, c.height)};
  if (clip.left >= clip.right || clip.top >= clip.bottom) return;
  if (!DrawUiText(UiCanvas{c.pixels, c.width, c.height, c.width, clip}, x, y, line, kInk))
    DrawText(c, x, y, line, kInk, kScale);
}

// Where the parts of the dialog lie in its client area.
struct Layout {
  Box list, inner, clear, close;
  size_t visibleRows = 1;
};

Layout LayoutFor(int32_t width, int32_t height) {
  Layout l;
  int32_t closeWidth = TextWidth(kCloseLabel, kScale) + 24, clearWidth = TextWidth(kClearLabel, kScale) + 24;
  int32_t buttonTop = height - kMargin - kButtonHeight;
  l.close = Box{width - kMargin - closeWidth, buttonTop, width - kMargin, buttonTop + kButtonHeight};
  l.clear =
      Box{l.close.left - kMargin - clearWidth, buttonTop, l.close.left - kMargin, buttonTop + kButtonHeight};
  l.list = Box{kMargin, kMargin, width - kMargin, buttonTop - kMargin};
  l.inner = Box{l.list.left + 1, l.list.top + 1, l.list.right - 1 - kBar, l.list.bottom - 1 - kBar};
  l.visibleRows = size_t(std::max(1, (l.inner.bottom - l.inner.top - kPadding) / RowHeight()));
  return l;
}

size_t MaxTop() {
  size_t visible = LayoutFor(gDebug.width, gDebug.height).visibleRows;
  return gDebug.lines.size() > visible ? gDebug.lines.size() - visible : 0;
}

void ScrollTo(int64_t top) {
  gDebug.topIndex = size_t(std::clamp<int64_t>(top, 0, int64_t(MaxTop())));
  gDebug.dirty = true;
}

void ScrollXBy(int32_t dx) {
  Layout l = LayoutFor(gDebug.width, gDebug.height);
  int32_t room = std::max(0, gDebug.extent - (l.inner.right - l.inner.left));
  gDebug.scrollX = std::clamp(gDebug.scrollX + dx, 0, room);
  gDebug.dirty = true;
}

void Hide() {
  platform::Video().showDebugWindow(false);
  gDebug.dirty = true;
}

// --- Drawing ---

void Fill(const Canvas& c, const Box& b, uint32_t colour) {
  int32_t left = std::max(b.left, 0), right = std::min(b.right, c.width);
  if (left >= right) return;
  for (int32_t y = std::max(b.top, 0); y < std::min(b.bottom, c.height); ++y)
    std::fill(c.pixels + size_t(y) * size_t(c.width) + left, c.pixels + size_t(y) * size_t(c.width) + right,
              colour);
}

// A raised edge (light above and left, dark below and right), or sunken.
void Edge(const Canvas& c, const Box& b, bool raised) {
  uint32_t topLeft = raised ? kLight : kShadow, bottomRight = raised ? kDark : kLight;
  Fill(c, Box{b.left, b.top, b.right, b.top + 1}, topLeft);
  Fill(c, Box{b.left, b.top, b.left + 1, b.bottom}, topLeft);
  Fill(c, Box{b.left, b.bottom - 1, b.right, b.bottom}, bottomRight);
  Fill(c, Box{b.right - 1, b.top, b.right, b.bottom}, bottomRight);
}

void DrawButton(const Canvas& c, const Box& b, const char* label) {
  Fill(c, b, kFace);
  Edge(c, b, true);
  int32_t textWidth = TextWidth(label, kScale) - TextWidth("&", kScale);
  int32_t x = b.left + (b.right - b.left - textWidth) / 2, y = b.top + (b.bottom - b.top - 8 * kScale) / 2;
  DrawText(Canvas{c.pixels, c.width, c.height, b.left, b.top, b.right, b.bottom}, x, y, label, kInk, kScale,
           true);
}

void DrawScrollBars(const Canvas& c, const Layout& l) {
  Box vertical{l.inner.right, l.inner.top, l.inner.right + kBar, l.inner.bottom};
  Box horizontal{l.inner.left, l.inner.bottom, l.inner.right, l.inner.bottom + kBar};
  Fill(c, vertical, kFace);
  Fill(c, horizontal, kFace);
  Fill(c, Box{vertical.left, horizontal.top, vertical.right, horizontal.bottom}, kFace);
  size_t count = gDebug.lines.size();
  if (count > l.visibleRows) {
    int32_t track = vertical.bottom - vertical.top;
    int32_t top = vertical.top + int32_t(int64_t(track) * int64_t(gDebug.topIndex) / int64_t(count));
    int32_t size = std::max<int32_t>(kBar, int32_t(int64_t(track) * int64_t(l.visibleRows) / int64_t(count)));
    Fill(c, Box{vertical.left + 1, top, vertical.right - 1, std::min(top + size, vertical.bottom)}, kThumb);
  }
  int32_t view = l.inner.right - l.inner.left;
  if (gDebug.extent > view) {
    int32_t track = horizontal.right - horizontal.left;
    int32_t left = horizontal.left + int32_t(int64_t(track) * gDebug.scrollX / gDebug.extent);
    int32_t size = std::max<int32_t>(kBar, int32_t(int64_t(track) * view / gDebug.extent));
    Fill(c, Box{left, horizontal.top + 1, std::min(left + size, horizontal.right), horizontal.bottom - 1},
         kThumb);
  }
}

void DrawList(const Canvas& c, const Layout& l) {
  Fill(c, l.list, kListPaper);
  Edge(c, l.list, false);
  Canvas inside{c.pixels, c.width, c.height, l.inner.left, l.inner.top, l.inner.right, l.inner.bottom};
  int32_t y = l.inner.top + kPadding;
  int32_t rowHeight = RowHeight();
  for (size_t i = gDebug.topIndex; i < gDebug.lines.size() && y < l.inner.bottom; ++i, y += rowHeight)
    DrawLine(inside, l.inner.left + kPadding - gDebug.scrollX, y, gDebug.lines[i]);
  DrawScrollBars(c, l);
}

void Draw() {
  platform::Frame& frame = platform::WindowFrame(platform::kDebugWindow);
  if ((frame.width != gDebug.width || frame.height != gDebug.height) &&
      !frame.Resize(gDebug.width, gDebug.height))
    return;
  Canvas c{frame.pixels.data(), frame.width, frame.height, 0, 0, frame.width, frame.height};
  Layout l = LayoutFor(frame.width, frame.height);
  Fill(c, Box{0, 0, frame.width, frame.height}, kFace);
  DrawList(c, l);
  DrawButton(c, l.clear, kClearLabel);
  DrawButton(c, l.close, kCloseLabel);
  platform::FramePresent present;
  present.changed = present.client = platform::FrameBox{0, 0, frame.width, frame.height};
  platform::Video().presentFrame(platform::kDebugWindow, present);
}

// --- Events ---

void OnKeyDown(const Event& e) {
  size_t page = LayoutFor(gDebug.width, gDebug.height).visibleRows;
  bool alt = (e.modifiers & platform::kModAlt) != 0;
  switch (e.key) {
    case platform::kVkF8:
      ToggleDebugWindow();
      break;
    case platform::kVkEscape:
      Hide();
      break;
    case 'C':
      if (alt) ClearDebugLines();
      break;
    case 'X':
      if (alt) Hide();
      break;
    case platform::kVkUp:
      ScrollTo(int64_t(gDebug.topIndex) - 1);
      break;
    case platform::kVkDown:
      ScrollTo(int64_t(gDebug.topIndex) + 1);
      break;
    case platform::kVkPrior:
      ScrollTo(int64_t(gDebug.topIndex) - int64_t(page));
      break;
    case platform::kVkNext:
      ScrollTo(int64_t(gDebug.topIndex) + int64_t(page));
      break;
    case platform::kVkHome:
      ScrollTo(0);
      break;
    case platform::kVkEnd:
      ScrollTo(int64_t(gDebug.lines.size()));
      break;
    case platform::kVkLeft:
      ScrollXBy(-kFontCellWidth * kScale * 4);
      break;
    case platform::kVkRight:
      ScrollXBy(kFontCellWidth * kScale * 4);
      break;
    default:
      break;
  }
}

void OnMouseDown(const Event& e) {
  if (e.key != 1) return;
  Layout l = LayoutFor(gDebug.width, gDebug.height);
  if (l.clear.Contains(e.width, e.height)) ClearDebugLines();
  if (l.close.Contains(e.width, e.height)) Hide();
}

void OnWheel(const Event& e) {
  if (e.height != 0) ScrollTo(int64_t(gDebug.topIndex) - int64_t(e.height) * kWheelLines);
  if (e.width != 0) ScrollXBy(e.width * kFontCellWidth * kScale * 4);
}

}  // namespace

bool CreateDebugWindow() {
  if (gDebug.exists) return true;
  platform::WindowSpec spec;
  spec.caption = kCaption;
  spec.clientWidth = kInitialWidth;
  spec.clientHeight = kInitialHeight;
  spec.minWidth = 240;
  spec.minHeight = 120;
  spec.sizable = true;
  if (!platform::Video().createDebugWindow(spec)) return false;
  gDebug = DebugWindow{};
  gDebug.exists = true;
  return true;
}

void DestroyDebugWindow() {
  if (!gDebug.exists) return;
  platform::Video().destroyDebugWindow();
  gDebug = DebugWindow{};
}

bool DebugWindowExists() { return gDebug.exists; }

void AppendDebugLine(const std::string& utf8) {
  if (!gDebug.exists) return;
  int32_t width = LineWidth(utf8);
  if (width > gDebug.widest) {
    gDebug.widest = width;
    gDebug.extent = width + 5;
  }
  if (gDebug.lines.size() == kMaxLines) gDebug.lines.pop_front();
  gDebug.lines.push_back(utf8);
  // The new line goes to the top of the view, as far as the list scrolls.
  ScrollTo(int64_t(gDebug.lines.size()) - 1);
}

void ClearDebugLines() {
  if (!gDebug.exists) return;
  gDebug.lines.clear();
  gDebug.widest = gDebug.extent = 0;
  gDebug.topIndex = 0;
  gDebug.scrollX = 0;
  gDebug.dirty = true;
}

void ToggleDebugWindow() {
  if (!gDebug.exists) return;
  platform::Video().showDebugWindow(!platform::Video().debugWindowShown());
  gDebug.dirty = true;
}

void HandleDebugWindowEvent(const Event& e) {
  if (!gDebug.exists) return;
  switch (e.kind) {
    case EventKind::kClose:
      Hide();
      break;
    case EventKind::kResized:
      gDebug.width = std::max(e.width, 1);
      gDebug.height = std::max(e.height, 1);
      ScrollTo(int64_t(gDebug.topIndex));
      ScrollXBy(0);
      break;
    case EventKind::kExposed:
      gDebug.dirty = true;
      break;
    case EventKind::kKeyDown:
      OnKeyDown(e);
      break;
    case EventKind::kMouseDown:
      OnMouseDown(e);
      break;
    case EventKind::kMouseWheel:
      OnWheel(e);
      break;
    default:
      break;
  }
}

void FlushDebugWindow() {
  if (!gDebug.exists || !gDebug.dirty || !platform::Video().debugWindowShown()) return;
  gDebug.dirty = false;
  Draw();
}

DebugListState DebugList() {
  DebugListState s;
  s.lines = gDebug.lines.size();
  s.widest = gDebug.widest;
  s.extent = gDebug.extent;
  s.topIndex = gDebug.topIndex;
  s.shown = gDebug.exists && platform::Video().debugWindowShown();
  return s;
}

const std::string& DebugLine(size_t index) {
  static const std::string kNone;
  return index < gDebug.lines.size() ? gDebug.lines[index] : kNone;
}

}  // namespace qavz
