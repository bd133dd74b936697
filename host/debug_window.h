// The debug output window: "Debug Output", a list of the lines scripts write
// with log_out, and the buttons "クリア(&C)" and "閉じる(&X)". It exists only
// in debug mode, starts hidden, and F8 shows and hides it; closing it only
// hides it. Window thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/video.h"

namespace qavz {

// Creates it hidden beside the main window; false when the driver cannot.
bool CreateDebugWindow();
void DestroyDebugWindow();
bool DebugWindowExists();

// Appends a line (UTF-8): the widest line sets the horizontal extent (its
// width + 5) and the list scrolls so that the new line is in view.
void AppendDebugLine(const std::string& utf8);
// The "クリア(&C)" button: empties the list and resets the extent.
void ClearDebugLines();
// F8: shows the window when hidden, hides it when shown.
void ToggleDebugWindow();
// Events of the debug window (buttons, keys, wheel, close, size).
void HandleDebugWindowEvent(const platform::Event& event);
// Draws and presents the window when something changed since; the message
// loop calls it whenever the queue is drained.
void FlushDebugWindow();

// The list as it stands, for tests.
struct DebugListState {
  size_t lines = 0;
  int32_t widest = 0;  // width in pixels of the widest line
  int32_t extent = 0;  // horizontal scroll extent: widest + 5, 0 when empty
  size_t topIndex = 0;
  bool shown = false;
};
DebugListState DebugList();
const std::string& DebugLine(size_t index);

}  // namespace qavz
