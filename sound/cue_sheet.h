// Cue sheets: the table of contents of a disc image, as its tracks, their
// kinds and where each starts in which file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavz {

constexpr int kCdFramesPerSecond = 75;

struct CueTrack {
  int number = 0;
  bool audio = false;
  int file = -1;       // index into CueSheet::files
  int64_t start = -1;  // INDEX 01 in CD frames (1/75 s) from the file's start
};

struct CueFile {
  std::string name;  // as written (a path relative to the sheet)
  std::string type;  // WAVE, MP3, BINARY, ... in capitals
};

struct CueSheet {
  std::vector<CueFile> files;
  std::vector<CueTrack> tracks;  // in the sheet's order
};

// Reads the FILE, TRACK and INDEX 01 commands and ignores the rest. False
// when a track has no file or no INDEX 01, a time is not mm:ss:ff (seconds
// below 60, frames below 75), track numbers do not rise from 1 to at most
// 99, or there is no track.
bool ParseCueSheet(const std::string& text, CueSheet& out);

}  // namespace qavz
