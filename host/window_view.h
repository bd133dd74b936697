// What the main window shows: its client size, painting from the ViewPage,
// the repaint request of update (through core/window_link.h) and snapshots.
#pragma once

#include <cstdint>
#include <string>

#include "host/message_queue.h"

namespace qavz {

// Makes the window link of the graphics natives point here. Idempotent.
void InstallWindowView() noexcept;

// A new window of `width` x `height`: records the client size.
void ResetWindowView(int32_t width, int32_t height);
// The client area changed size (not on minimising).
void RecordClientSize(int32_t width, int32_t height);
// The client area as painting sees it: Width x Height in full screen.
void LogicalClientSize(int32_t* width, int32_t* height);

// Window thread: paints part of the client area, or all of it.
void PaintClientArea(int32_t left, int32_t top, int32_t right, int32_t bottom);
void PaintWholeWindow();
// The repaint request of a script thread (message kMsgRepaint).
int32_t OnRepaintMessage(const Message& message);

// Writes the last presented frame as PNG; false with the reason in *error.
bool SaveSnapshot(const std::string& path, std::string* error);
// F12: a snapshot into the user's pictures folder, named after the title
// and the time; the path written, or empty (the reason on standard error).
std::string SnapshotToPictures();

}  // namespace qavz
