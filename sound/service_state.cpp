// Sound per-run state. The sound, MIDI, CD and media devices are not built
// yet, so there is nothing to stop or free.
#include "core/service_hooks.h"

namespace qavz {

void CloseMedia() {}
void StopMedia() {}
void FreeAllSounds() {}
void FreeMidi() {}
void StopCd() {}
void PauseDevices(bool) {}

}  // namespace qavz
