#include "sound/services.h"

#include <iterator>

#include "sound/midi_player.h"
#include "sound/sound_slots.h"

namespace qavz {

namespace {

#define QAVZ_SERVICE_ROW(name, id) {id, #name, &Op_##name},
constexpr SoundService kServices[] = {QAVZ_SOUND_SERVICES(QAVZ_SERVICE_ROW)};
#undef QAVZ_SERVICE_ROW

}  // namespace

std::span<const SoundService> SoundServices() { return kServices; }

void StartSoundDevice() { StartSoundOutput(); }
void StopSoundDevice() { StopSoundOutput(); }
void StartMusicDevice() { StartMidiOutput(); }
void StopMusicDevice() { StopMidiOutput(); }

}  // namespace qavz
