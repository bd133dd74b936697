// Sound per-run state: what the service shut-down frees and what pauses
// while the application is inactive.
#include "core/service_hooks.h"
#include "platform/audio_out.h"
#include "sound/midi_player.h"
#include "sound/sound_slots.h"

namespace qavz {

void CloseMedia() {}
void StopMedia() {}
void FreeAllSounds() { FreeAllSoundSlots(); }
void FreeMidi() { FreeMidiPiece(); }
void StopCd() {}
void PauseDevices(bool pause) { platform::PauseAudioOutput(pause); }

}  // namespace qavz
