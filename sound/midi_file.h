// Standard MIDI files: read strictly, measured, and written out again in a
// plain form for the player, so that the player only ever meets well-formed
// data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qavz {

struct MidiPiece {
  // The piece again: one header, every track with explicit status bytes and
  // an end-of-track event; SMPTE timing turned into an equivalent tempo.
  std::vector<uint8_t> file;
  int tracks = 0;
  // Time of the last event of any track: the length of one pass.
  int64_t lengthMicroseconds = 0;
};

// Reads a standard MIDI file (or one wrapped in a RIFF "RMID" form). False
// when the header or any track is malformed: a chunk or event running past
// its end, a data byte where a status byte is needed, a status the file
// format does not allow, a time division of 0, or no track at all.
bool ReadMidiFile(const uint8_t* data, size_t size, MidiPiece& out);

}  // namespace qavz
