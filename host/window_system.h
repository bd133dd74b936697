// The window work of the system natives (menus, caption, message box,
// window shape and dragging): the link the natives call through, and its
// handlers on the window thread.
#pragma once

#include <cstdint>

#include "host/message_queue.h"

namespace qavz {

// Makes the system natives' link point here. Idempotent.
void InstallWindowSystem() noexcept;
// What the null driver's boxes answer: QAVZ_MBOX_ANSWER, else the
// configuration's [qavz] "MessageBoxAnswer", else each box's default button.
void ConfigureMessageBoxes();

// Window-thread handlers of kMsgInstallMenu .. kMsgDragArea.
int32_t OnInstallMenu(const Message& message);
int32_t OnDrawMenuBar(const Message& message);
int32_t OnCaption(const Message& message);
int32_t OnMessageBox(const Message& message);
int32_t OnWindowShape(const Message& message);
int32_t OnDragArea(const Message& message);

// The drag setting (setdrag) as the window's hit test reads it.
bool DragAt(int32_t x, int32_t y);

}  // namespace qavz
