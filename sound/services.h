// The device side of the sound, MIDI, CD and media natives: one operation
// per ServiceRequest id, run on the window thread. The host installs the
// table at start-up and runs the device start and stop steps at their
// places in its sequences.
#pragma once

#include <cstdint>
#include <span>

namespace qavz {

// The natives of this subsystem in id order: name, ServiceRequest id.
// clang-format off
#define QAVZ_SOUND_SERVICES(X) \
  X(midi_load, 1144) /* load a MIDI file */ \
  X(midi_free, 1145) /* free the MIDI file */ \
  X(midi_play, 1146) /* play */ \
  X(midi_stop, 1147) /* stop */ \
  X(midi_pause, 1148) /* pause */ \
  X(midi_replay, 1149) /* resume */ \
  X(midi_setvol, 1150) /* set volume */ \
  X(midi_getvol, 1151) /* get volume */ \
  X(midi_isplay, 1152) /* is it playing */ \
  X(midi_getpos, 1153) /* get position */ \
  X(midi_repeat, 1154) /* set repeat */ \
  X(snd_load, 1164) /* load a sound into a slot */ \
  X(snd_free, 1165) /* free a slot (-1: all) */ \
  X(snd_play, 1166) /* play a slot */ \
  X(snd_stop, 1167) /* stop a slot */ \
  X(snd_pause, 1168) /* pause a slot */ \
  X(snd_replay, 1169) /* resume a slot */ \
  X(snd_setvol, 1170) /* set a slot's volume */ \
  X(snd_getvol, 1171) /* get a slot's volume */ \
  X(snd_isplay, 1172) /* is a slot playing */ \
  X(snd_setloop, 1173) /* set the stream's loop point */ \
  X(snd_getpos, 1174) /* get a slot's position */
// clang-format on

struct SoundService {
  uint32_t id;
  const char* native;
  int32_t (*operation)(int32_t wParam, int32_t lParam);
};
std::span<const SoundService> SoundServices();

// Device start-up and exit steps, each run only when its key is on.
void StartSoundDevice();  // "Sound"
void StopSoundDevice();
void StartMusicDevice();  // "Music"
void StopMusicDevice();

}  // namespace qavz
