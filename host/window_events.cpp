// What the main window does with the user's actions: closing, activation,
// painting, sizing, its keyboard shortcuts and dropped files; keys, text and
// the mouse also go to the input devices. Events of the debug output window
// go to it.
#include <cctype>
#include <filesystem>

#include "compiler/compiler.h"
#include "core/config.h"
#include "core/service_hooks.h"
#include "core/video_overlay.h"
#include "host/debug_window.h"
#include "host/display_mode.h"
#include "host/main_window.h"
#include "host/pause.h"
#include "host/script_threads.h"
#include "host/window_menu.h"
#include "host/window_view.h"
#include "input/input_devices.h"
#include "input/key_table.h"
#include "platform/video.h"
#include "vm/interpreter.h"

namespace qavz {

namespace {

using platform::Event;
using platform::EventKind;

bool gDeactivated = false;

// With "Pause" on, losing the focus pauses sound, the time base and the
// script threads, and regaining it resumes them; a repeated notification of
// the same state does nothing, so the pause never nests by accident.
void Activate(bool active) {
  if (!TheConfig().pause || active != gDeactivated) return;
  gDeactivated = !active;
  ActiveFlag().store(active ? 1 : 0);
  if (gDeactivated) {
    PauseEverything();
  } else {
    ResumeEverything();
  }
}

// The maximise command: without "Resize" the window goes full screen
// instead (when it can), and never takes the screen as a window.
void OnMaximized() {
  if (TheConfig().resize != 0) return;
  platform::Video().unmaximize();
  SwitchDisplayMode(true);
}

void OnKeyDown(const Event& e) {
  bool repeat = (e.modifiers & platform::kModRepeat) != 0;
  if (e.key == platform::kVkF8) ToggleDebugWindow();
  if (e.key == platform::kVkF12 && !repeat) SnapshotToPictures();
}

// Alt+Enter toggles full screen when the key comes up.
void OnKeyUp(const Event& e) {
  if (e.key == platform::kVkReturn && (e.modifiers & platform::kModAlt)) SwitchDisplayMode(!IsFullScreen());
}

bool IsSourceFile(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& ch : extension) ch = char(std::tolower(uint8_t(ch)));
  return extension == ".c";
}

// Debug mode: the program stops and the services start afresh, then every
// dropped ".c" file is compiled as a check, Shift asking for the listing
// and Ctrl for the source lines in it. Nothing is run afterwards.
void OnDropFiles(const Event& e) {
  if (TheConfig().debugMode == 0) return;
  StopMedia();
  StopAllThreads();
  StartServices();
  bool listing = (e.modifiers & platform::kModShift) != 0, echo = (e.modifiers & platform::kModCtrl) != 0;
  for (const std::string& file : e.files)
    if (IsSourceFile(file)) CheckSourceFile(file.c_str(), listing, echo);
}

}  // namespace

namespace {
void HandleKeyedEvent(const Event& event);
}  // namespace

void ResetWindowEvents() { gDeactivated = false; }

void HandleWindowEvent(const Event& event) {
  HandleInputEvent(event);
  // Shortcuts go by virtual key, in the layout the user types on.
  bool key = event.kind == EventKind::kKeyDown || event.kind == EventKind::kKeyUp;
  if (key && event.scancode != 0) {
    Event keyed = event;
    keyed.key = VirtualKeyOf(event.scancode, CurrentKeyboardLayout());
    return HandleKeyedEvent(keyed);
  }
  HandleKeyedEvent(event);
}

namespace {

void HandleKeyedEvent(const Event& event) {
  if (event.window == platform::kDebugWindow) {
    // F8 toggles the window from either window; the rest is the dialog's.
    if (event.kind == EventKind::kActivate || event.kind == EventKind::kDeactivate) {
      Activate(event.kind == EventKind::kActivate);
      return;
    }
    HandleDebugWindowEvent(event);
    return;
  }
  // The menu bar sees keys and the mouse first; what it takes is not the
  // program's.
  if (MenuTakesEvent(event)) return;
  switch (event.kind) {
    case EventKind::kClose:
      SendMainMessage(Message{kMsgClose, 0, 0, {}});
      break;
    case EventKind::kActivate:
    case EventKind::kDeactivate:
      Activate(event.kind == EventKind::kActivate);
      break;
    case EventKind::kExposed:
      PaintWholeWindow();
      break;
    case EventKind::kResized:
      RecordClientSize(event.width, event.height);
      NotifyVideoAreaChanged();  // the media window follows the client area
      MenuClientResized();
      PaintWholeWindow();
      break;
    case EventKind::kMaximized:
      OnMaximized();
      break;
    case EventKind::kKeyDown:
      OnKeyDown(event);
      break;
    case EventKind::kKeyUp:
      OnKeyUp(event);
      break;
    case EventKind::kDropFiles:
      OnDropFiles(event);
      break;
    default:
      break;  // kWake: the queue is pumped on the next pass
  }
}

}  // namespace

}  // namespace qavz
