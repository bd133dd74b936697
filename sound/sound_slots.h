// The 64 sound slots: slot 0 is the stream, slots 1..63 static sounds decoded
// whole at load. The operations run on the window thread; each is the
// device side of one sound native (see sound/services.h).
#pragma once

#include <cstdint>

#include "sound/sound_stream.h"

namespace qavz {

constexpr int32_t kSoundSlots = 64;

// Device start and stop ("Sound"): without the device every load fails and
// every other operation does nothing and gives 0.
bool StartSoundOutput();
void StopSoundOutput();
bool SoundOutputOn();
// Frees every slot (service shut-down).
void FreeAllSoundSlots();

int32_t Op_snd_load(int32_t slot, int32_t path);
int32_t Op_snd_free(int32_t slot, int32_t);
int32_t Op_snd_play(int32_t slot, int32_t loop);
int32_t Op_snd_stop(int32_t slot, int32_t);
int32_t Op_snd_pause(int32_t slot, int32_t);
int32_t Op_snd_replay(int32_t slot, int32_t);
int32_t Op_snd_setvol(int32_t slot, int32_t volume);
int32_t Op_snd_getvol(int32_t slot, int32_t);
int32_t Op_snd_isplay(int32_t slot, int32_t);
int32_t Op_snd_setloop(int32_t slot, int32_t ms);
int32_t Op_snd_getpos(int32_t slot, int32_t);

// Tests: the stream of slot 0.
SoundStream& TheSoundStream();

}  // namespace qavz
