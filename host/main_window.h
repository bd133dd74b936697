// The main window: creation, its procedure and the message loop.
#pragma once

#include <cstdint>

#include "core/config.h"
#include "host/message_queue.h"
#include "platform/video.h"

namespace qavz {

// Creates the window for `config` (centred, client area "Width" x "Height",
// caption "Title", a frameless pop-up for an empty title, a sizing border
// with "Resize") and, as its creation does, posts the request to load the
// main program. False when the window cannot be created.
bool CreateMainWindow(const Config& config);

// The window procedure: answers the host's messages on the window thread.
int32_t MainWindowProcedure(const Message& message);
// Makes the procedure ready for a new run (the close not yet handled).
void ResetMainWindow();

// What the windows do with the user's actions (window_events.cpp).
void HandleWindowEvent(const platform::Event& event);
void ResetWindowEvents();  // a new run starts active

struct LoopOptions {
  bool exitWhenEnded = false;  // close once every script thread has ended
  int64_t timeoutMs = -1;      // close after this long; -1 never
};
// Runs until the quit message; returns its code. `timedOut` tells whether
// the timeout closed the window.
int RunMessageLoop(const LoopOptions& options, bool& timedOut);
// Ends the message loop after the current message (the quit message).
void PostQuit(int code);

// The error box as the host shows it: caption "QAV ERROR : Error", an OK
// button, owned by the main window; from any thread.
int ShowErrorBox(const char* utf8Text);

}  // namespace qavz
