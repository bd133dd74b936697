// The disc of a title's CD audio, made of files: track01.ogg, track02.wav,
// track03.flac... (letter case aside) in a folder, and optionally a cue
// sheet there whose tracks make the table of contents.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qavz {

struct CdTrack {
  bool audio = false;
  int32_t seconds = 0;  // the track's length, whole seconds
  // What plays it: a host path, from `start` seconds for `length` seconds
  // (length < 0: to the file's end). Empty when nothing can play it.
  std::string path;
  double start = 0;
  double length = -1;
};

struct CdDisc {
  std::vector<CdTrack> tracks;  // track n at index n - 1
  int32_t TotalSeconds() const;
};

// Seconds of sound in a host file, negative when it cannot be read.
using DurationProbe = std::function<double(const std::string& hostPath)>;

// The disc in `folder` (a host path). Without a cue sheet ("*.cue", the
// first by name) the tracks are the track files: as many as the highest
// number, each as long as its file, a number without a file a data track.
// With one, the sheet gives the tracks, their kinds and lengths (from each
// INDEX 01 to the next in the same file, the last to its file's end); a
// track plays from its own track file when there is one, else from its
// part of the sheet's file. No files: an empty disc.
CdDisc ReadCdDisc(const std::string& folder, const DurationProbe& duration);

}  // namespace qavz
