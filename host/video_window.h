// The window's side of media video: paints that the media thread asks for,
// run on the window thread, and the menu offset the video rectangle moves by.
#pragma once

#include "host/message_queue.h"

namespace qavz {

// Makes core/video_overlay.h paint through this window. Idempotent.
void InstallVideoWindow() noexcept;
// kMsgVideoPaint: paints the part of the client area the video asked for.
int32_t OnVideoPaintMessage(const Message& message);

}  // namespace qavz
