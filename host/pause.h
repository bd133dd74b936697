// Pausing everything that runs in time: sound, MIDI, CD audio and media, the
// time base and the script threads. Deactivation (with "Pause" on) and the
// display-mode switch both pause; the pauses nest, so everything runs again
// only when the last of them ends. Window thread only.
#pragma once

namespace qavz {

void PauseEverything();
void ResumeEverything();  // ends one pause; extra calls do nothing
bool EverythingPaused();
void ResetPause();  // a new run starts unpaused

}  // namespace qavz
