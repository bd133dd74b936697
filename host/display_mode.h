// The display-mode object ("Draw") and the full-screen state.
#pragma once

#include <cstdint>

namespace qavz {

// A new run starts windowed, without the object; the system variables learn
// the desktop's size and depth and reach the switch through the window
// thread. Call once the video driver is chosen.
void ResetDisplayMode();
// Start-up and exit steps for "Draw".
void CreateDisplayModeObject();
void ReleaseDisplayModeObject();

// Switches to full screen (true) or back to the window. Without the
// display-mode object nothing happens and the result is 0; asking for the
// current state gives 1 at once; a failed switch leaves the window windowed
// and gives 1.
int SwitchDisplayMode(bool fullScreen);
bool IsFullScreen();
// The wait before and after the change (500 ms); tests shorten it.
void SetDisplaySwitchSettle(uint32_t milliseconds);

}  // namespace qavz
