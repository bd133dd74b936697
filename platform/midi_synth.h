// The MIDI synthesiser: FluidSynth with a General MIDI SoundFont, and its
// standard MIDI file player. The synthesiser renders into memory; the
// caller plays what it renders. One synthesiser per process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qavz::platform {

// Starts the synthesiser at `rate` frames per second with the SoundFont at
// `soundFont` (a host path). False when either fails; `soundFontFailed`
// tells which.
bool OpenMidiSynth(const char* soundFont, int rate, bool* soundFontFailed);
void CloseMidiSynth();
bool MidiSynthOpen();

// Sees every channel-volume and other controller message the player sends
// before the synthesiser does, and gives the value to send instead. Runs
// on the rendering thread.
using MidiControlFilter = int (*)(void* user, int channel, int controller, int value);
void SetMidiControlFilter(MidiControlFilter filter, void* user);

// The player: a standard MIDI file from memory (copied). A new piece
// replaces the old one and stands at its start, stopped.
bool MidiPlayerLoad(const uint8_t* data, size_t size);
void MidiPlayerUnload();
// Plays on from where it stands; `endless` starts it again at its end. A
// piece whose events all lie at its start must not be endless: the player
// would start it again and again without time passing.
bool MidiPlayerStart(bool endless);
// Stops where it is (every sounding note ends); a start goes on from there.
void MidiPlayerHalt();
// True from a start until a halt (also after a piece that does not repeat
// has played to its end: the caller times the piece itself).
bool MidiPlayerPlaying();

// A controller message sent straight to the synthesiser, and a channel's
// current controller value.
void MidiControlChange(int channel, int controller, int value);
int MidiControlValue(int channel, int controller);
// Every note off and the controllers back to their defaults.
void MidiReset();

// Renders `frames` stereo frames of 16-bit samples; the player moves on by
// as much time.
void RenderMidi(int16_t* out, int frames);

}  // namespace qavz::platform
