// The input natives. getkey, getjoy and getmouse ask the window thread,
// which owns the devices; getpoint, key_get and key_init read what the window
// procedure counted; the cursor natives hand their work to the window thread,
// which owns the window.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/config.h"
#include "core/service_request.h"
#include "core/window_link.h"
#include "input/char_ring.h"
#include "input/mouse.h"
#include "platform/video.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

constexpr uint32_t kGetKey = 1194, kGetJoy = 1195, kGetMouse = 1196;

// A request that failed leaves its record zeroed, also when no window
// thread answered it.
int32_t Request(uint32_t id, Addr args, Addr record, uint32_t size) {
  int32_t result = SendServiceRequest(id, args);
  if (result == 0)
    if (uint8_t* bytes = TheArena().Span(record, size)) std::memset(bytes, 0, size);
  return result;
}

// The snapshot slot of the calling script thread.
int CallingThread() {
  uint32_t thread = CurrentContext ? CurrentContext->threadIndex : 0;
  return thread < uint32_t(kSnapshotThreads) ? int(thread) : 0;
}

// Where the window thread last found the pointer, in client coordinates.
int32_t gPointerX = 0, gPointerY = 0;

int32_t QueryPointer(int32_t, int32_t) noexcept {
  int32_t x = 0, y = 0;
  bool known = platform::Video().cursorPosition(&x, &y);
  gPointerX = known ? x : 0;
  gPointerY = known ? y : 0;
  return 1;
}

// Page coordinates from client ones: scaled by page size / client size
// when the two differ.
int32_t ToPage(int32_t client, int32_t page, int32_t clientSize) {
  if (clientSize <= 0 || clientSize == page) return client;
  return int32_t(int64_t(client) * page / clientSize);
}

int32_t SetPointerShape(int32_t n, int32_t) noexcept {
  platform::Video().setCursor(n == 0 ? platform::PointerShape::kHidden : platform::PointerShape::kArrow);
  return 1;
}

// The confinement cur_clip asks for; set under NativeLock, applied by the
// window thread.
std::mutex gClipMutex;
bool gClipOn = false;
platform::FrameBox gClip;

int32_t ApplyClip(int32_t, int32_t) noexcept {
  std::lock_guard lock(gClipMutex);
  platform::Video().clipCursor(gClipOn ? &gClip : nullptr);
  return 1;
}

int32_t WarpPointer(int32_t x, int32_t y) noexcept {
  platform::Video().warpCursor(x, y);
  return 1;
}

}  // namespace

int32_t Native_getkey(Addr args) { return Request(kGetKey, args, ArgAddr(args, 0), 256); }

int32_t Native_getjoy(Addr args) { return Request(kGetJoy, args, ArgAddr(args, 1), 12); }

int32_t Native_getmouse(Addr args) { return Request(kGetMouse, args, ArgAddr(args, 0), 16); }

// The record: x, y in page coordinates, the wheel since this thread last
// asked, the held and changed bits. 0 acknowledges the changes seen so far.
int32_t Native_getpoint(Addr args) {
  Addr record = ArgAddr(args, 0);
  int thread = CallingThread();
  if (record == 0) {
    AcknowledgePoint(thread);
    return 1;
  }
  if (!TheArena().Live(record, 16)) return 0;
  RunOnWindowThread(QueryPointer, 0, 0);
  int32_t clientWidth = 0, clientHeight = 0;
  WindowClientSize(&clientWidth, &clientHeight);
  const Config& config = TheConfig();
  int32_t words[4] = {ToPage(gPointerX, config.width, clientWidth),
                      ToPage(gPointerY, config.height, clientHeight), TakePointWheel(thread),
                      PointFlags(thread)};
  for (int i = 0; i < 4; ++i) TheArena().Write(record + 4u * uint32_t(i), words[i]);
  return 1;
}

int32_t Native_key_init(Addr) {
  ClearTypedChars();
  return 1;
}

int32_t Native_key_get(Addr) { return TakeTypedChar(); }

// 0 hides the cursor over the client area, 1 is the arrow.
int32_t Native_cur_set(Addr args) {
  int32_t n = Arg(args, 0);
  if (n != 0 && n != 1) return 0;
  RunOnWindowThread(SetPointerShape, n, 0);
  return 1;
}

// Confines the pointer to the part of the rectangle (client pixels) inside
// the client area; no rectangle, or one outside it, frees the pointer.
int32_t Native_cur_clip(Addr args) {
  Addr rect = ArgAddr(args, 0);
  int32_t r[4] = {};
  bool given = rect != 0 && TheArena().Live(rect, 16);
  for (int i = 0; given && i < 4; ++i) r[i] = TheArena().Word(rect + 4u * uint32_t(i));
  int32_t width = 0, height = 0;
  WindowClientSize(&width, &height);
  platform::FrameBox box{std::max(r[0], 0), std::max(r[1], 0), std::min(r[2], width), std::min(r[3], height)};
  {
    std::lock_guard lock(gClipMutex);
    gClipOn = given && box.left < box.right && box.top < box.bottom;
    gClip = box;
  }
  RunOnWindowThread(ApplyClip, 0, 0);
  return 1;
}

int32_t Native_cur_setpos(Addr args) {
  RunOnWindowThread(WarpPointer, Arg(args, 0), Arg(args, 1));
  return 1;
}

}  // namespace qavz
