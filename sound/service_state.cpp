// Sound per-run state: what the service shut-down frees and stops, and what
// holds still while the application is inactive.
#include "core/service_hooks.h"
#include "platform/audio_out.h"
#include "sound/cd_player.h"
#include "sound/media_player.h"
#include "sound/midi_player.h"
#include "sound/sound_slots.h"

namespace qavz {

void CloseMedia() { CloseMediaPlayback(); }
void StopMedia() { StopMediaPlayback(); }
void FreeAllSounds() { FreeAllSoundSlots(); }
void FreeMidi() { FreeMidiPiece(); }
void StopCd() { StopCdPlay(); }

// The whole mix stops in time (sound slots, the stream, MIDI, CD tracks and
// media sound); the CD's fades and the media's pictures wait with it.
void PauseDevices(bool pause) {
  platform::PauseAudioOutput(pause);
  PauseCdAudio(pause);
  PauseMediaPlayback(pause);
}

}  // namespace qavz
