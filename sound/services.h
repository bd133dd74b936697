// The device side of the sound, MIDI, CD and media natives: one operation
// per ServiceRequest id, run on the window thread. The host installs the
// table at start-up and runs the device start and stop steps at their
// places in its sequences.
#pragma once

#include <cstdint>
#include <span>

namespace qavz {

// native name, ServiceRequest id: the natives of this subsystem in id order.
#define QAVZ_SOUND_SERVICES(X)                                                                 \
  X(snd_load, 1164)                                                                            \
  X(snd_free, 1165) X(snd_play, 1166) X(snd_stop, 1167) X(snd_pause, 1168) X(snd_replay, 1169) \
      X(snd_setvol, 1170) X(snd_getvol, 1171) X(snd_isplay, 1172) X(snd_setloop, 1173) X(snd_getpos, 1174)

struct SoundService {
  uint32_t id;
  const char* native;
  int32_t (*operation)(int32_t wParam, int32_t lParam);
};
std::span<const SoundService> SoundServices();

// Device start-up and exit steps, each run only when its key is on.
void StartSoundDevice();  // "Sound"
void StopSoundDevice();

}  // namespace qavz
