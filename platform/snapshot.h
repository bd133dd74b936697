// Saving what a window shows as a PNG file, for bug reports and tests.
#pragma once

#include <string>

#include "platform/video.h"

namespace qavz::platform {

// Writes the frame as an 8-bit RGB PNG file at `path` (a host path),
// replacing it. False with the reason in *error when the frame is empty or
// the file cannot be written; a half-written file is removed.
bool WritePng(const std::string& path, const Frame& frame, std::string* error);
// Reads a PNG file into a frame (XRGB8888, alpha dropped); false with the
// reason in *error.
bool ReadPng(const std::string& path, Frame* frame, std::string* error);

// The user's pictures folder: XDG_PICTURES_DIR, then the one named in
// ~/.config/user-dirs.dirs, then ~/Pictures. Created when missing; empty when
// there is no home folder.
std::string PicturesFolder();

}  // namespace qavz::platform
