// The SDL video driver: the main window and the debug output window, each
// with a renderer and a streaming texture that its frame is uploaded into,
// SDL's event queue and the runtime's message box. The main window also
// shows the menu layer over its frame, grows by the menu rows, lets the
// program's drag colour move it (SDL's hit test) and takes its outline from
// the X shape extension. Every call but Wake runs on the main thread, which
// owns the windows.
#include <SDL.h>
#include <SDL_syswm.h>
// After SDL_syswm.h, which brings in Xlib.
#include <X11/extensions/shape.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_box.h"
#include "platform/video.h"

namespace qavz::platform {

namespace {

// A window with what it needs to show its frame.
struct Target {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  FramePlacement placement = FramePlacement::kOneToOne;
  SDL_Texture* layer = nullptr;  // the main window's menu layer
  int layerWidth = 0;
  int layerHeight = 0;
};

Target gTargets[kWindowCount];
SDL_Window*& gWindow = gTargets[kMainWindow].window;

bool gFullScreen = false;
FullScreenScale gScale = FullScreenScale::kFit;
int gSavedX = 0, gSavedY = 0, gSavedWidth = 0, gSavedHeight = 0;  // the client area before full screen
int gMinWidth = 0, gMinHeight = 0;                                // the smallest client area
int32_t gMenuRows = 0;
FrameBox gLayerUsed;  // the part of the menu layer shown; empty for none
bool (*gDragTest)(int32_t x, int32_t y) = nullptr;
bool gShaped = false;
std::vector<FrameBox> gShape;  // client rectangles

std::vector<std::string> gDropped;  // files of the drop in progress
SDL_Cursor* gArrow = nullptr;       // the arrow, made when first asked for

std::atomic<Uint32> gWakeType{0};  // 0 until Init registered it
// One wake event in SDL's queue at a time: the loop drains every queued
// message when it sees it, and a later message pushes a new one.
std::atomic<bool> gWakePending{false};

bool Available() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

const char* Failure() {
  if (!Available()) return "no display (DISPLAY and WAYLAND_DISPLAY are unset)";
  const char* reason = SDL_GetError();
  return reason && *reason ? reason : "SDL could not start its video subsystem";
}

bool Init() {
  // The host handles SIGINT and SIGTERM itself (it runs the exit sequence),
  // and closing a window is the host's business, not a quit.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Stretching repeats and drops pixels, as colour-on-colour stretching does.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // Input methods draw their own composition and candidate windows; the
  // program only gets the committed text.
  SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
  // A click that activates the window counts, as a click on any window does.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // The window's class, as other programs find it ("QAVZ_MAIN").
  setenv("SDL_VIDEO_X11_WMCLASS", "QAVZ_MAIN", 1);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
  Uint32 type = SDL_RegisterEvents(1);
  if (type == Uint32(-1)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
  gWakeType.store(type);
  gWakePending.store(false);
  return true;
}

void DestroyTarget(Target& target) {
  if (target.layer) SDL_DestroyTexture(target.layer);
  if (target.texture) SDL_DestroyTexture(target.texture);
  if (target.renderer) SDL_DestroyRenderer(target.renderer);
  if (target.window) SDL_DestroyWindow(target.window);
  target = Target{};
}

void DestroyDebugWindow() { DestroyTarget(gTargets[kDebugWindow]); }

void DestroyWindow() {
  if (gWindow) SDL_StopTextInput();
  DestroyDebugWindow();
  DestroyTarget(gTargets[kMainWindow]);
  gFullScreen = false;
  gDropped.clear();
  gMenuRows = 0;
  gLayerUsed = {};
  gDragTest = nullptr;
  gShaped = false;
  gShape.clear();
}

void Quit() {
  DestroyWindow();
  if (gArrow) SDL_FreeCursor(gArrow);
  gArrow = nullptr;
  gWakeType.store(0);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

// A renderer of the window's own; the software one when no other starts.
bool AttachRenderer(Target& target) {
  target.renderer = SDL_CreateRenderer(target.window, -1, 0);
  if (!target.renderer) target.renderer = SDL_CreateRenderer(target.window, -1, SDL_RENDERER_SOFTWARE);
  return target.renderer != nullptr;
}

bool CreateWindow(const WindowSpec& spec) {
  SDL_EventState(SDL_DROPFILE, spec.acceptFiles ? SDL_ENABLE : SDL_DISABLE);
  SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
  // Created hidden so that the window manager learns its minimum size
  // before it is shown.
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (spec.popup) flags |= SDL_WINDOW_BORDERLESS;
  if (spec.sizable) flags |= SDL_WINDOW_RESIZABLE;
  Target& target = gTargets[kMainWindow];
  target.window = SDL_CreateWindow(spec.caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   spec.clientWidth, spec.clientHeight, flags);
  if (!target.window) return false;
  // Without a renderer the window stays black; it still works as a window.
  // A renderer may make the window anew, so the size limit comes after it.
  AttachRenderer(target);
  gMinWidth = spec.minWidth;
  gMinHeight = spec.minHeight;
  if (spec.minWidth > 0 && spec.minHeight > 0)
    SDL_SetWindowMinimumSize(target.window, spec.minWidth, spec.minHeight);
  SDL_ShowWindow(target.window);
  SDL_RaiseWindow(target.window);  // shown and given the keyboard focus
  SDL_ShowCursor(SDL_ENABLE);
  SDL_StartTextInput();
  return true;
}

bool CreateDebugWindow(const WindowSpec& spec) {
  Target& target = gTargets[kDebugWindow];
  if (target.window) return true;
  target.window =
      SDL_CreateWindow(spec.caption.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                       spec.clientWidth, spec.clientHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (!target.window) return false;
  AttachRenderer(target);
  if (spec.minWidth > 0 && spec.minHeight > 0)
    SDL_SetWindowMinimumSize(target.window, spec.minWidth, spec.minHeight);
  return true;
}

void ShowDebugWindow(bool shown) {
  SDL_Window* window = gTargets[kDebugWindow].window;
  if (!window) return;
  if (shown) {
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
  } else {
    SDL_HideWindow(window);
  }
}

bool DebugWindowShown() {
  SDL_Window* window = gTargets[kDebugWindow].window;
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0;
}

bool WindowExists() { return gWindow != nullptr; }

// The window less the menu rows above the client area.
void ClientSize(int* width, int* height) {
  *width = *height = 0;
  if (!gWindow) return;
  SDL_GetWindowSize(gWindow, width, height);
  if (!gFullScreen) *height = std::max(*height - gMenuRows, 0);
}

bool DesktopMode(int* width, int* height, int* bitsPerPixel) {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(gWindow ? SDL_GetWindowDisplayIndex(gWindow) : 0, &mode) != 0) return false;
  *width = mode.w;
  *height = mode.h;
  *bitsPerPixel = int(SDL_BITSPERPIXEL(mode.format));
  return true;
}

uint32_t SystemWindow() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!gWindow || !SDL_GetWindowWMInfo(gWindow, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return uint32_t(info.info.x11.window);
}

void SetCaption(const char* utf8) {
  if (gWindow) SDL_SetWindowTitle(gWindow, utf8);
}

void RestoreAndRaise() {
  if (!gWindow) return;
  if (SDL_GetWindowFlags(gWindow) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(gWindow);
  SDL_RaiseWindow(gWindow);
}

void Unmaximize() {
  if (gWindow && (SDL_GetWindowFlags(gWindow) & SDL_WINDOW_MAXIMIZED)) SDL_RestoreWindow(gWindow);
}

// Where the main window's frame and menu layer land: in full screen the
// box the frame is scaled into (the menu layer shares it), in a window its
// pixels one to one.
FrameBox ScreenBox() {
  const Frame& frame = WindowFrame(kMainWindow);
  int outWidth = 0, outHeight = 0;
  SDL_GetRendererOutputSize(gTargets[kMainWindow].renderer, &outWidth, &outHeight);
  return FullScreenBox(frame.width, frame.height, outWidth, outHeight, gScale);
}

// A point or edge of the layer (menu rows and client area) in the window.
int32_t LayerToWindow(int64_t v, int64_t boxFrom, int64_t boxSize, int64_t frameSize) {
  if (!gFullScreen || frameSize <= 0) return int32_t(v);
  return int32_t(boxFrom + v * boxSize / frameSize);
}

// A window point in client coordinates (y < 0 on the menu rows), and back.
void ClientFromWindow(int32_t* x, int32_t* y);
void WindowFromClient(int32_t* x, int32_t* y);

// The program's outline on the X window: its client rectangles below the
// menu rows, scaled with the frame in full screen; no outline, the whole
// window. Other windowing systems keep their rectangle.
void ApplyShape() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!gWindow || !SDL_GetWindowWMInfo(gWindow, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  ::Window window = info.info.x11.window;
  int eventBase, errorBase;
  if (!XShapeQueryExtension(display, &eventBase, &errorBase)) return;
  if (!gShaped) {
    XShapeCombineMask(display, window, ShapeBounding, 0, 0, 0, ShapeSet);
    XFlush(display);
    return;
  }
  const Frame& frame = WindowFrame(kMainWindow);
  FrameBox box = gFullScreen ? ScreenBox() : FrameBox{};
  std::vector<XRectangle> rectangles;
  rectangles.reserve(gShape.size());
  auto clamp = [](int64_t v) { return std::clamp<int64_t>(v, -32768, 32767); };
  for (const FrameBox& r : gShape) {
    int64_t left = LayerToWindow(r.left, box.left, box.right - box.left, frame.width);
    int64_t right = LayerToWindow(r.right, box.left, box.right - box.left, frame.width);
    int64_t top = LayerToWindow(int64_t(r.top) + gMenuRows, box.top, box.bottom - box.top, frame.height);
    int64_t bottom =
        LayerToWindow(int64_t(r.bottom) + gMenuRows, box.top, box.bottom - box.top, frame.height);
    left = clamp(left), top = clamp(top), right = clamp(right), bottom = clamp(bottom);
    if (left >= right || top >= bottom) continue;
    rectangles.push_back(
        XRectangle{short(left), short(top), (unsigned short)(right - left), (unsigned short)(bottom - top)});
  }
  XShapeCombineRectangles(display, window, ShapeBounding, 0, 0, rectangles.data(), int(rectangles.size()),
                          ShapeSet, Unsorted);
  XFlush(display);
}

// Back to the window at the place and client size it had before full
// screen, with the menu rows it has now.
void LeaveFullScreen() {
  SDL_SetWindowFullscreen(gWindow, 0);
  SDL_SetWindowSize(gWindow, gSavedWidth, gSavedHeight + gMenuRows);
  SDL_SetWindowPosition(gWindow, gSavedX, gSavedY);
  gFullScreen = false;
}

bool SetFullScreen(bool on, FullScreenScale scale) {
  if (!gWindow) return false;
  gScale = scale;
  if (on == gFullScreen) return true;
  if (on) {
    SDL_GetWindowPosition(gWindow, &gSavedX, &gSavedY);
    ClientSize(&gSavedWidth, &gSavedHeight);
    if (SDL_SetWindowFullscreen(gWindow, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
      LeaveFullScreen();
      SDL_RaiseWindow(gWindow);
      return false;
    }
    gFullScreen = true;
  } else {
    LeaveFullScreen();
  }
  ApplyShape();
  SDL_RaiseWindow(gWindow);
  return true;
}

// Makes the texture match the frame; true when it was (re)made, so all of
// the frame must be uploaded.
bool FitTexture(Target& target, const Frame& frame, bool* ok) {
  *ok = true;
  if (target.texture && target.textureWidth == frame.width && target.textureHeight == frame.height)
    return false;
  if (target.texture) SDL_DestroyTexture(target.texture);
  target.texture = SDL_CreateTexture(target.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                     frame.width, frame.height);
  target.textureWidth = target.texture ? frame.width : 0;
  target.textureHeight = target.texture ? frame.height : 0;
  *ok = target.texture != nullptr;
  return true;
}

void Upload(Target& target, const Frame& frame, FrameBox box) {
  box.left = std::max(box.left, 0);
  box.top = std::max(box.top, 0);
  box.right = std::min(box.right, frame.width);
  box.bottom = std::min(box.bottom, frame.height);
  if (box.left >= box.right || box.top >= box.bottom) return;
  SDL_Rect rect{box.left, box.top, box.right - box.left, box.bottom - box.top};
  const uint32_t* first = frame.pixels.data() + size_t(box.top) * size_t(frame.width) + size_t(box.left);
  SDL_UpdateTexture(target.texture, &rect, first, frame.width * 4);
}

// Where the frame lands in the renderer's output, and the part of it shown:
// below the menu rows in a window; in full screen scaled into the screen
// and moved down under the menu rows, its bottom rows cut off.
void Placement(const Target& target, const Frame& frame, int32_t window, SDL_Rect* source,
               SDL_Rect* destination) {
  int outWidth = 0, outHeight = 0;
  SDL_GetRendererOutputSize(target.renderer, &outWidth, &outHeight);
  *source = SDL_Rect{0, 0, frame.width, frame.height};
  int32_t rows = window == kMainWindow ? gMenuRows : 0;
  if (window == kMainWindow && gFullScreen) {
    FrameBox box = ScreenBox();
    int32_t shift = int32_t(int64_t(rows) * (box.bottom - box.top) / frame.height);
    source->h = std::max(frame.height - rows, 0);
    *destination = SDL_Rect{box.left, box.top + shift, box.right - box.left, box.bottom - box.top - shift};
  } else if (target.placement == FramePlacement::kStretch) {
    *destination = SDL_Rect{0, rows, outWidth, std::max(outHeight - rows, 0)};
  } else {
    *destination = SDL_Rect{0, rows, frame.width, frame.height};
  }
}

// The used part of the menu layer over the window.
void DrawMenuLayer(const Target& target) {
  if (!target.layer || gLayerUsed.left >= gLayerUsed.right || gLayerUsed.top >= gLayerUsed.bottom) return;
  const Frame& frame = WindowFrame(kMainWindow);
  FrameBox box = gFullScreen ? ScreenBox() : FrameBox{};
  SDL_Rect source{gLayerUsed.left, gLayerUsed.top, gLayerUsed.right - gLayerUsed.left,
                  gLayerUsed.bottom - gLayerUsed.top};
  int32_t left = LayerToWindow(gLayerUsed.left, box.left, box.right - box.left, frame.width);
  int32_t right = LayerToWindow(gLayerUsed.right, box.left, box.right - box.left, frame.width);
  int32_t top = LayerToWindow(gLayerUsed.top, box.top, box.bottom - box.top, frame.height);
  int32_t bottom = LayerToWindow(gLayerUsed.bottom, box.top, box.bottom - box.top, frame.height);
  SDL_Rect destination{left, top, right - left, bottom - top};
  SDL_RenderCopy(target.renderer, target.layer, &source, &destination);
}

// Draws the window anew from its textures: the frame, black round it, and
// for the main window the menu layer on top.
void Compose(int32_t window) {
  Target& target = gTargets[window];
  const Frame& frame = WindowFrame(window);
  if (!target.renderer) return;
  int outWidth = 0, outHeight = 0;
  SDL_GetRendererOutputSize(target.renderer, &outWidth, &outHeight);
  SDL_Rect source{}, destination{0, 0, 0, 0};
  if (target.texture && frame.width > 0) Placement(target, frame, window, &source, &destination);
  // Black round the frame where it does not cover the whole window.
  if (destination.x > 0 || destination.y > 0 || destination.x + destination.w < outWidth ||
      destination.y + destination.h < outHeight) {
    SDL_SetRenderDrawColor(target.renderer, 0, 0, 0, 255);
    SDL_RenderClear(target.renderer);
  }
  if (target.texture && source.w > 0 && source.h > 0)
    SDL_RenderCopy(target.renderer, target.texture, &source, &destination);
  if (window == kMainWindow) DrawMenuLayer(target);
  SDL_RenderPresent(target.renderer);
}

void PresentFrame(int32_t window, const FramePresent& present) {
  if (uint32_t(window) >= uint32_t(kWindowCount)) return;
  Target& target = gTargets[window];
  const Frame& frame = WindowFrame(window);
  if (!target.window || !target.renderer || frame.width <= 0) return;
  bool ok = true;
  bool all = FitTexture(target, frame, &ok);
  if (!ok) return;
  Upload(target, frame, all ? FrameBox{0, 0, frame.width, frame.height} : present.changed);
  target.placement = present.placement;
  Compose(window);
}

// The menu rows: the window grows or shrinks by them, the client area stays.
void SetMenuRows(int32_t rows) {
  rows = std::max(rows, 0);
  if (rows == gMenuRows) return;
  int32_t delta = rows - gMenuRows;
  gMenuRows = rows;
  if (!gWindow) return;
  if (!gFullScreen) {
    int width = 0, height = 0;
    SDL_GetWindowSize(gWindow, &width, &height);
    if (gMinWidth > 0 && gMinHeight > 0) SDL_SetWindowMinimumSize(gWindow, gMinWidth, gMinHeight + rows);
    SDL_SetWindowSize(gWindow, width, height + delta);
  }
  ApplyShape();
  Compose(kMainWindow);
}

void PresentMenuLayer(const FrameBox& used) {
  Target& target = gTargets[kMainWindow];
  const Frame& layer = MenuLayer();
  gLayerUsed = {};
  if (target.renderer && layer.width > 0 && layer.height > 0 && used.left < used.right &&
      used.top < used.bottom) {
    if (!target.layer || target.layerWidth != layer.width || target.layerHeight != layer.height) {
      if (target.layer) SDL_DestroyTexture(target.layer);
      target.layer = SDL_CreateTexture(target.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                       layer.width, layer.height);
      target.layerWidth = target.layer ? layer.width : 0;
      target.layerHeight = target.layer ? layer.height : 0;
      if (target.layer) SDL_SetTextureBlendMode(target.layer, SDL_BLENDMODE_BLEND);
    }
    if (target.layer) {
      FrameBox box{std::max(used.left, 0), std::max(used.top, 0), std::min(used.right, layer.width),
                   std::min(used.bottom, layer.height)};
      if (box.left < box.right && box.top < box.bottom) {
        SDL_Rect rect{box.left, box.top, box.right - box.left, box.bottom - box.top};
        const uint32_t* first =
            layer.pixels.data() + size_t(box.top) * size_t(layer.width) + size_t(box.left);
        SDL_UpdateTexture(target.layer, &rect, first, layer.width * 4);
        gLayerUsed = box;
      }
    }
  }
  Compose(kMainWindow);
}

SDL_HitTestResult HitTest(SDL_Window*, const SDL_Point* area, void*) {
  if (!gDragTest || gFullScreen) return SDL_HITTEST_NORMAL;
  int32_t x = area->x, y = area->y;
  ClientFromWindow(&x, &y);
  return y >= 0 && gDragTest(x, y) ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

void SetDragTest(bool (*test)(int32_t x, int32_t y)) {
  gDragTest = test;
  if (gWindow) SDL_SetWindowHitTest(gWindow, test ? HitTest : nullptr, nullptr);
}

void SetShape(const std::vector<FrameBox>* rectangles) {
  gShaped = rectangles != nullptr;
  gShape = rectangles ? *rectangles : std::vector<FrameBox>{};
  ApplyShape();
}

// Which of our windows an event is for: 0 (no window has the keyboard)
// counts as the main window; any other window, such as a message box that
// is gone, gives -1 and its event is dropped.
constexpr int32_t kForeignWindow = -1;

int32_t WindowOf(Uint32 windowId) {
  if (windowId == 0) return kMainWindow;
  SDL_Window* window = SDL_GetWindowFromID(windowId);
  for (int32_t id = 0; id < kWindowCount; ++id)
    if (window && window == gTargets[id].window) return id;
  return kForeignWindow;
}

uint8_t Modifiers(Uint16 mod) {
  return uint8_t(((mod & KMOD_SHIFT) ? kModShift : 0) | ((mod & KMOD_CTRL) ? kModCtrl : 0) |
                 ((mod & KMOD_ALT) ? kModAlt : 0));
}

// Key events carry SDL's scancodes as they are: SDL numbers keys by their
// USB HID keyboard usage ids, the numbering of Event::scancode.
static_assert(SDL_SCANCODE_A == 4 && SDL_SCANCODE_RETURN == 0x28 && SDL_SCANCODE_INTERNATIONAL1 == 0x87 &&
                  SDL_SCANCODE_LANG1 == 0x90 && SDL_SCANCODE_RGUI == 0xE7,
              "SDL scancodes are USB HID usages");

// The client area as the program sees it: in full screen the picture is
// scaled into a box of the screen, elsewhere a window pixel is a client one.
FrameBox PictureBox() {
  const Frame& frame = WindowFrame(kMainWindow);
  int outWidth = 0, outHeight = 0;
  SDL_GetWindowSize(gWindow, &outWidth, &outHeight);
  if (!gFullScreen || frame.width <= 0 || frame.height <= 0) return FrameBox{0, 0, outWidth, outHeight};
  return FullScreenBox(frame.width, frame.height, outWidth, outHeight, gScale);
}

int32_t FloorDiv(int64_t a, int64_t b) { return int32_t(a >= 0 ? a / b : -((-a + b - 1) / b)); }

// The menu rows lie above the client area: in a window's pixels, in full
// screen in the frame's (the picture moves down under them).
void ClientFromWindow(int32_t* x, int32_t* y) {
  if (gFullScreen) {
    const Frame& frame = WindowFrame(kMainWindow);
    FrameBox box = PictureBox();
    int32_t w = std::max(box.right - box.left, 1), h = std::max(box.bottom - box.top, 1);
    *x = FloorDiv(int64_t(*x - box.left) * std::max(frame.width, 1), w);
    *y = FloorDiv(int64_t(*y - box.top) * std::max(frame.height, 1), h);
  }
  *y -= gMenuRows;
}

void WindowFromClient(int32_t* x, int32_t* y) {
  *y += gMenuRows;
  if (!gFullScreen) return;
  const Frame& frame = WindowFrame(kMainWindow);
  FrameBox box = PictureBox();
  *x = box.left + FloorDiv(int64_t(*x) * (box.right - box.left), std::max(frame.width, 1));
  *y = box.top + FloorDiv(int64_t(*y) * (box.bottom - box.top), std::max(frame.height, 1));
}

// Whether window pixel (x, y) is off the main window's rectangle, its frame
// included (the window manager may not say how wide the frame is).
bool OffMainWindow(int32_t x, int32_t y) {
  if (!gWindow || !(SDL_GetWindowFlags(gWindow) & SDL_WINDOW_SHOWN)) return true;
  int width = 0, height = 0, top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowSize(gWindow, &width, &height);
  if (gFullScreen || SDL_GetWindowBordersSize(gWindow, &top, &left, &bottom, &right) != 0)
    top = left = bottom = right = 0;
  return x < -left || y < -top || x >= width + right || y >= height + bottom;
}

// A mouse event at window pixel (x, y) of `windowId`, in client coordinates.
// `outside`: off the window (the main window: its rectangle with the frame).
void PlaceMouse(Uint32 windowId, int32_t x, int32_t y, Event* event) {
  event->window = WindowOf(windowId);
  if (event->window == kMainWindow) {
    event->outside = OffMainWindow(x, y);
    ClientFromWindow(&x, &y);
  } else {
    int32_t width = 0, height = 0;
    if (event->window != kForeignWindow) SDL_GetWindowSize(gTargets[event->window].window, &width, &height);
    event->outside = x < 0 || y < 0 || x >= width || y >= height;
  }
  event->width = x;
  event->height = y;
}

EventKind WindowEventKind(const SDL_WindowEvent& e, Event* event) {
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
      return EventKind::kClose;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      return EventKind::kActivate;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      return EventKind::kDeactivate;
    case SDL_WINDOWEVENT_EXPOSED:
      return EventKind::kExposed;
    case SDL_WINDOWEVENT_MAXIMIZED:
      return EventKind::kMaximized;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      event->width = e.data1;
      event->height = e.data2;
      if (event->window == kMainWindow && !gFullScreen) event->height = std::max(e.data2 - gMenuRows, 0);
      return EventKind::kResized;
    default:
      return EventKind::kNone;
  }
}

void TranslateKey(const SDL_KeyboardEvent& e, Event* event) {
  event->kind = e.type == SDL_KEYDOWN ? EventKind::kKeyDown : EventKind::kKeyUp;
  event->window = WindowOf(e.windowID);
  event->scancode = uint16_t(e.keysym.scancode);
  event->modifiers = Modifiers(e.keysym.mod) | (e.repeat ? kModRepeat : 0);
}

// The wheel in 1/120 notches as the hand turned it: a flipped (natural)
// direction is turned back, and the parts of a notch a touchpad reports are
// summed so none is lost.
int32_t WheelUnits(const SDL_MouseWheelEvent& e) {
  static float remainder = 0;
#if SDL_VERSION_ATLEAST(2, 0, 18)
  float notches = e.preciseY;
#else
  float notches = float(e.y);
#endif
  if (e.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
  float units = notches * 120 + remainder;
  int32_t whole = int32_t(units);
  remainder = units - float(whole);
  return whole;
}

void TranslateButton(const SDL_MouseButtonEvent& e, Event* event) {
  event->kind = e.type == SDL_MOUSEBUTTONDOWN ? EventKind::kMouseDown : EventKind::kMouseUp;
  PlaceMouse(e.windowID, e.x, e.y, event);
  event->key = e.button;
  event->clicks = e.clicks;
}

void Translate(SDL_Event& e, Event* event) {
  switch (e.type) {
    case SDL_QUIT:
      event->kind = EventKind::kClose;
      break;
    case SDL_WINDOWEVENT:
      event->window = WindowOf(e.window.windowID);
      event->kind = WindowEventKind(e.window, event);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(e.key, event);
      break;
    case SDL_TEXTINPUT:
      event->kind = EventKind::kText;
      event->window = WindowOf(e.text.windowID);
      event->text = e.text.text;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.which != SDL_TOUCH_MOUSEID) TranslateButton(e.button, event);
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.which == SDL_TOUCH_MOUSEID) break;
      event->kind = EventKind::kMouseMove;
      PlaceMouse(e.motion.windowID, e.motion.x, e.motion.y, event);
      event->dx = e.motion.xrel;
      event->dy = e.motion.yrel;
      break;
    case SDL_MOUSEWHEEL:
      event->kind = EventKind::kMouseWheel;
      event->window = WindowOf(e.wheel.windowID);
      event->width = e.wheel.x;
      event->height = e.wheel.y;
      event->wheel = WheelUnits(e.wheel);
      break;
    case SDL_DROPBEGIN:
      gDropped.clear();
      break;
    case SDL_DROPFILE:
      if (e.drop.file) gDropped.emplace_back(e.drop.file);
      SDL_free(e.drop.file);
      break;
    case SDL_DROPCOMPLETE:
      event->kind = EventKind::kDropFiles;
      event->window = WindowOf(e.drop.windowID);
      event->modifiers = Modifiers(Uint16(SDL_GetModState()));
      event->files = std::exchange(gDropped, {});
      break;
    default:
      break;
  }
}

bool WaitEvent(Event* event, int timeoutMs) {
  SDL_Event e;
  int got = timeoutMs < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeoutMs);
  if (!got) return false;
  *event = Event{};
  if (e.type == gWakeType.load()) {
    gWakePending.store(false);
    event->kind = EventKind::kWake;
  } else {
    Translate(e, event);
    if (event->window == kForeignWindow) *event = Event{};
  }
  return true;
}

void Wake() {
  Uint32 type = gWakeType.load();
  if (type == 0 || gWakePending.exchange(true)) return;
  SDL_Event e{};
  e.type = type;
  SDL_PushEvent(&e);
}

int MessageBox(const char* utf8Caption, const char* utf8Text, unsigned type) {
  return ShowMessageBox(StandardBox(utf8Caption, utf8Text, type), gWindow);
}

void SetCursor(PointerShape shape) {
  if (shape == PointerShape::kHidden) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  if (!gArrow) gArrow = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  if (gArrow) SDL_SetCursor(gArrow);
  SDL_ShowCursor(SDL_ENABLE);
}

void ClipCursor(const FrameBox* box) {
  if (!gWindow) return;
  if (!box) {
    SDL_SetWindowMouseRect(gWindow, nullptr);
    return;
  }
  int32_t left = box->left, top = box->top, right = box->right, bottom = box->bottom;
  WindowFromClient(&left, &top);
  WindowFromClient(&right, &bottom);
  SDL_Rect rect{left, top, std::max(right - left, 1), std::max(bottom - top, 1)};
  SDL_SetWindowMouseRect(gWindow, &rect);
}

void WarpCursor(int32_t x, int32_t y) {
  if (!gWindow) return;
  WindowFromClient(&x, &y);
  SDL_WarpMouseInWindow(gWindow, x, y);
}

// The pointer relative to the client area: over the window (or captured
// by it) as its events left it; elsewhere from the screen, which SDL may
// only know as of its last look.
bool CursorPosition(int32_t* x, int32_t* y) {
  if (!gWindow) return false;
  int px = 0, py = 0;
  if (SDL_GetMouseFocus() == gWindow) {
    SDL_GetMouseState(&px, &py);
  } else {
    int windowX = 0, windowY = 0;
    SDL_GetGlobalMouseState(&px, &py);
    SDL_GetWindowPosition(gWindow, &windowX, &windowY);
    px -= windowX;
    py -= windowY;
  }
  *x = px;
  *y = py;
  ClientFromWindow(x, y);
  return true;
}

uint8_t MouseButtons() {
  Uint32 state = SDL_GetGlobalMouseState(nullptr, nullptr);
  return uint8_t(
      ((state & SDL_BUTTON_LMASK) ? kButtonLeft : 0) | ((state & SDL_BUTTON_RMASK) ? kButtonRight : 0) |
      ((state & SDL_BUTTON_MMASK) ? kButtonMiddle : 0) | ((state & SDL_BUTTON_X1MASK) ? kButtonX1 : 0) |
      ((state & SDL_BUTTON_X2MASK) ? kButtonX2 : 0));
}

void CaptureMouse(bool on) { SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE); }

uint8_t LockKeys() {
  SDL_Keymod mod = SDL_GetModState();
  return uint8_t(((mod & KMOD_CAPS) ? kLockCaps : 0) | ((mod & KMOD_NUM) ? kLockNum : 0) |
                 ((mod & KMOD_SCROLL) ? kLockScroll : 0));
}

// QAVZ_KEYBOARD ("104" or "106") decides; else the layout in force: a
// Japanese one has @ where the US one has [.
KeyboardLayout Layout() {
  const char* name = std::getenv("QAVZ_KEYBOARD");
  if (name && *name) return std::strcmp(name, "106") == 0 ? KeyboardLayout::k106 : KeyboardLayout::k104;
  return SDL_GetKeyFromScancode(SDL_SCANCODE_LEFTBRACKET) == SDLK_AT ? KeyboardLayout::k106
                                                                     : KeyboardLayout::k104;
}

}  // namespace

extern const VideoDriver kSdlVideo = {
    .name = "sdl",
    .available = Available,
    .init = Init,
    .failure = Failure,
    .quit = Quit,
    .createWindow = CreateWindow,
    .destroyWindow = DestroyWindow,
    .windowExists = WindowExists,
    .clientSize = ClientSize,
    .desktopMode = DesktopMode,
    .setCaption = SetCaption,
    .systemWindow = SystemWindow,
    .restoreAndRaise = RestoreAndRaise,
    .unmaximize = Unmaximize,
    .setFullScreen = SetFullScreen,
    .waitEvent = WaitEvent,
    .wake = Wake,
    .messageBox = MessageBox,
    .presentFrame = PresentFrame,
    .createDebugWindow = CreateDebugWindow,
    .destroyDebugWindow = DestroyDebugWindow,
    .showDebugWindow = ShowDebugWindow,
    .debugWindowShown = DebugWindowShown,
    .setCursor = SetCursor,
    .clipCursor = ClipCursor,
    .warpCursor = WarpCursor,
    .cursorPosition = CursorPosition,
    .mouseButtons = MouseButtons,
    .captureMouse = CaptureMouse,
    .lockKeys = LockKeys,
    .keyboardLayout = Layout,
    .setMenuRows = SetMenuRows,
    .presentMenuLayer = PresentMenuLayer,
    .setDragTest = SetDragTest,
    .setShape = SetShape,
};

}  // namespace qavz::platform
