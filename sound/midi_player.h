// MIDI music: one piece at a time, played by the synthesiser into a stream
// of its own, with the volume tool scaling every channel volume the piece
// sets. The operations run on the window thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace qavz {

// The volume tool: it sees every controller message of the piece, keeps
// the last channel volume (controller 7) set on each channel and passes it
// on scaled by volume x master / 10000.
class MidiVolumeTool {
 public:
  void Reset();
  // A controller message of the piece: the value to send instead.
  int Process(int channel, int controller, int value);
  // Sets the volume (0..100) and gives what each channel's volume becomes.
  void SetVolume(int volume, int (&channelVolumes)[16]);
  int Volume();

 private:
  std::mutex lock_;
  int volume_ = 100;
  int master_ = 100;  // never changed
  int stored_[16] = {127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127};
};

// Device start and stop ("Music").
bool StartMidiOutput();
void StopMidiOutput();
bool MidiOutputOn();
// Frees the piece (service shut-down).
void FreeMidiPiece();

// The SoundFont MIDI plays with: the one [qavz] SoundFont names, else the
// first General MIDI font installed (the usual path when there is none).
std::string SoundFontPath();

int32_t Op_midi_load(int32_t, int32_t path);
int32_t Op_midi_free(int32_t, int32_t);
int32_t Op_midi_play(int32_t, int32_t);
int32_t Op_midi_stop(int32_t, int32_t);
int32_t Op_midi_pause(int32_t, int32_t);
int32_t Op_midi_replay(int32_t, int32_t);
int32_t Op_midi_setvol(int32_t, int32_t volume);
int32_t Op_midi_getvol(int32_t, int32_t);
int32_t Op_midi_isplay(int32_t, int32_t);
int32_t Op_midi_getpos(int32_t, int32_t);
int32_t Op_midi_repeat(int32_t repeat, int32_t);

}  // namespace qavz
