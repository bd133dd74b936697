#include "sound/services.h"

#include <iterator>

#include "core/display_switch.h"
#include "core/video_overlay.h"
#include "sound/cd_player.h"
#include "sound/media_player.h"
#include "sound/midi_player.h"
#include "sound/sound_slots.h"

namespace qavz {

namespace {

// One wrapper per row: an operation that runs out of memory gives 0 rather
// than unwinding through the window thread's message loop.
template <int32_t (*Operation)(int32_t, int32_t)>
int32_t Guarded(int32_t wParam, int32_t lParam) {
  try {
    return Operation(wParam, lParam);
  } catch (...) {
    return 0;
  }
}

#define QAVZ_SERVICE_ROW(name, id) {id, #name, &Guarded<&Op_##name>},
constexpr SoundService kServices[] = {QAVZ_SOUND_SERVICES(QAVZ_SERVICE_ROW)};
static_assert(std::size(kServices) == 43, "11 CD, 11 MIDI, 11 sound and 10 media requests");
#undef QAVZ_SERVICE_ROW

}  // namespace

std::span<const SoundService> SoundServices() { return kServices; }

void InstallSoundHooks() noexcept {
  AddDisplaySwitchHook(DisplaySwitchHook{MediaBeforeDisplaySwitch, MediaAfterDisplaySwitch});
  SetVideoAreaListener(MediaVideoAreaChanged);
}

void StartSoundDevice() { StartSoundOutput(); }
void StopSoundDevice() { StopSoundOutput(); }
void StartMusicDevice() { StartMidiOutput(); }
void StopMusicDevice() { StopMidiOutput(); }
void StartCdDevice() { StartCdAudio(); }
void StopCdDevice() { StopCdAudio(); }

}  // namespace qavz
