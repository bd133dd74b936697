// MIDI files from untrusted bytes: the reader refuses them or gives a piece
// whose plain form reads back the same, and the player loads and plays that
// form for a moment without trouble.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/midi_synth.h"
#include "sound/midi_file.h"

using namespace qavz;

namespace {

bool Synth() {
  static const bool open = [] {
    bool fontFailed = false;
    return platform::OpenMidiSynth("/usr/share/sounds/sf2/default-GM.sf2", 22050, &fontFailed);
  }();
  return open;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MidiPiece piece;
  if (!ReadMidiFile(data, size, piece)) return 0;
  if (piece.lengthMicroseconds < 0 || piece.tracks <= 0) __builtin_trap();
  MidiPiece again;
  if (!ReadMidiFile(piece.file.data(), piece.file.size(), again) || again.file != piece.file ||
      again.lengthMicroseconds != piece.lengthMicroseconds)
    __builtin_trap();
  // As the MIDI player does: a piece without length never repeats.
  if (Synth() && platform::MidiPlayerLoad(piece.file.data(), piece.file.size()) &&
      platform::MidiPlayerStart(piece.lengthMicroseconds > 0)) {
    std::vector<int16_t> out(2 * 512);
    for (int i = 0; i < 8; ++i) platform::RenderMidi(out.data(), 512);
    platform::MidiPlayerHalt();
    platform::MidiPlayerUnload();
  }
  return 0;
}
