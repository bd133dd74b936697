#include "sound/services.h"

#include <iterator>

#include "sound/cd_player.h"
#include "sound/media_player.h"
#include "sound/midi_player.h"
#include "sound/sound_slots.h"

namespace qavz {

namespace {

#define QAVZ_SERVICE_ROW(name, id) {id, #name, &Op_##name},
constexpr SoundService kServices[] = {QAVZ_SOUND_SERVICES(QAVZ_SERVICE_ROW)};
static_assert(std::size(kServices) == 43, "11 CD, 11 MIDI, 11 sound and 10 media requests");
#undef QAVZ_SERVICE_ROW

}  // namespace

std::span<const SoundService> SoundServices() { return kServices; }

void StartSoundDevice() { StartSoundOutput(); }
void StopSoundDevice() { StopSoundOutput(); }
void StartMusicDevice() { StartMidiOutput(); }
void StopMusicDevice() { StopMidiOutput(); }
void StartCdDevice() { StartCdAudio(); }
void StopCdDevice() { StopCdAudio(); }

}  // namespace qavz
