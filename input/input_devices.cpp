#include "input/input_devices.h"

#include <cstring>

#include "core/report_error.h"
#include "input/char_ring.h"
#include "input/joystick_axes.h"
#include "input/keyboard.h"
#include "input/messages.h"
#include "input/mouse.h"
#include "platform/joystick.h"
#include "platform/text_encoding.h"
#include "vm/arena.h"

namespace qavz {

namespace {

using platform::Event;
using platform::EventKind;

// Window thread only.
InputBackEnd gBackEnd = InputBackEnd::kPlain;
bool gDevicesPresent = false;  // DirectInput's keyboard and mouse
bool gAcquired = false;        // DirectInput devices: the main window is in front
bool gForeground = true;       // the main window has the focus
bool gCaptured = false;
platform::KeyboardLayout gLayout = platform::KeyboardLayout::k104;

bool DirectInput() { return gBackEnd == InputBackEnd::kDirectInput; }

// DirectInput's foreground devices can only be acquired while the main
// window is in front; a read of a device that lost them tries once more.
bool AcquireForRead() {
  if (!gAcquired) gAcquired = gForeground;
  return gAcquired;
}

void SetForeground(bool active) {
  gForeground = active;
  gAcquired = active;
  gLayout = platform::Video().keyboardLayout();
  if (active) {
    SyncLockKeys(platform::Video().lockKeys());
  } else {
    ReleaseAllKeys();
    int32_t ignored[3];
    TakeMouseMotion(&ignored[0], &ignored[1], &ignored[2]);
  }
}

void Capture(bool on) {
  if (on == gCaptured) return;
  gCaptured = on;
  platform::Video().captureMouse(on);
}

void OnKey(const Event& e) {
  bool down = e.kind == EventKind::kKeyDown;
  KeyboardEvent(e.scancode, down, (e.modifiers & platform::kModRepeat) != 0, gLayout);
  if (down && e.window == platform::kMainWindow)
    if (uint8_t c = ControlCharacter(e.scancode, e.modifiers)) PushTypedByte(c);
}

void OnMouse(const Event& e) {
  switch (e.kind) {
    case EventKind::kMouseDown:
      // The second click of a double click, the fourth...
      MouseButtonEvent(e.key, true, e.clicks >= 2 && e.clicks % 2 == 0);
      break;
    case EventKind::kMouseUp:
      MouseButtonEvent(e.key, false, false);
      break;
    case EventKind::kMouseMove:
      Capture(MouseMoveEvent(e.outside));
      if (gAcquired) AddMouseMotion(e.dx, e.dy);
      break;
    case EventKind::kMouseWheel:
      MouseWheelEvent(e.wheel);
      break;
    default:
      break;
  }
}

// A record the operation fills: zeroed when the read fails.
int32_t Fail(uint8_t* record, uint32_t size) {
  if (record) std::memset(record, 0, size);
  return 0;
}

void PutWords(uint8_t* record, std::initializer_list<int32_t> words) {
  for (int32_t word : words) {
    std::memcpy(record, &word, 4);
    record += 4;
  }
}

// 1194: the 256-byte key-state array at wParam.
int32_t GetKey(int32_t wParam, int32_t) {
  uint8_t* state = TheArena().Span(Addr(wParam), 256);
  if (!state) return 0;
  if (!DirectInput()) {
    FillVirtualKeyState(state, gLayout, platform::Video().mouseButtons());
    return 1;
  }
  if (!gDevicesPresent || !AcquireForRead()) return Fail(state, 256);
  FillScanCodeState(state, gLayout);
  return 1;
}

// 1195: joystick wParam into the record at lParam.
int32_t GetJoy(int32_t wParam, int32_t lParam) {
  uint8_t* record = TheArena().Span(Addr(lParam), 12);
  if (!record) return 0;
  platform::JoystickReading r;
  if (uint32_t(wParam) >= uint32_t(kMaxJoysticks)) return Fail(record, 12);
  if (DirectInput() && !AcquireForRead()) return Fail(record, 12);
  if (!platform::ReadJoystick(wParam, &r)) return Fail(record, 12);
  int32_t x, y;
  if (DirectInput()) {
    x = DirectInputAxis(r.x, r.minimum, r.maximum);
    y = DirectInputAxis(r.y, r.minimum, r.maximum);
  } else {
    AxisCalibration c = CalibrateAxis(r.minimum, r.maximum);
    x = PlainAxis(r.x, c);
    y = PlainAxis(r.y, c);
  }
  PutWords(record, {x, y, int32_t(r.buttons)});
  return 1;
}

// 1196: the mouse into the record at lParam.
int32_t GetMouse(int32_t, int32_t lParam) {
  uint8_t* record = TheArena().Span(Addr(lParam), 16);
  if (!record) return 0;
  uint8_t held = platform::Video().mouseButtons();
  if (!DirectInput()) {
    PutWords(record, {0, 0, 0, held & 7});
    return 1;
  }
  if (!gDevicesPresent || !AcquireForRead()) return Fail(record, 16);
  int32_t dx, dy, dz;
  TakeMouseMotion(&dx, &dy, &dz);
  PutWords(record, {dx, dy, dz, held & 15});
  return 1;
}

constexpr InputService kServices[] = {
    {1194, GetKey},    // getkey
    {1195, GetJoy},    // getjoy
    {1196, GetMouse},  // getmouse
};

}  // namespace

void StartInput(InputBackEnd backEnd, bool deviceOpen) {
  gBackEnd = backEnd;
  gDevicesPresent = deviceOpen;
  if (backEnd == InputBackEnd::kDirectInput && !deviceOpen)
    ReportError(kLevelFault, "%s", msg::kInputCreateDeviceFailed);
  gCaptured = false;
  SetForeground(true);
  ResetKeyboard(platform::Video().lockKeys());
  ResetMouse();
  ClearTypedChars();
  platform::Video().setCursor(platform::PointerShape::kArrow);
  platform::Video().clipCursor(nullptr);
}

void StopInput() {
  Capture(false);
  platform::Video().clipCursor(nullptr);
  platform::Video().setCursor(platform::PointerShape::kArrow);
  gDevicesPresent = false;
  gAcquired = false;
}

void HandleInputEvent(const Event& e) {
  switch (e.kind) {
    case EventKind::kKeyDown:
    case EventKind::kKeyUp:
      OnKey(e);
      break;
    case EventKind::kText:
      if (e.window == platform::kMainWindow) PushTypedText(platform::ToShiftJis(e.text));
      break;
    case EventKind::kActivate:
    case EventKind::kDeactivate:
      if (e.window == platform::kMainWindow) SetForeground(e.kind == EventKind::kActivate);
      break;
    default:
      if (e.window == platform::kMainWindow) OnMouse(e);
      break;
  }
}

platform::KeyboardLayout CurrentKeyboardLayout() { return gLayout; }

std::span<const InputService> InputServices() { return kServices; }

}  // namespace qavz
