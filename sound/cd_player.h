// CD audio: the disc's tracks played one at a time, what follows a track's
// end chosen by the repeat mode, and the CD volume as a master volume and a
// fade level over the start-up value of the CD volume control (the gain of
// the CD's voice). The operations run on the window thread; fades and track
// ends are handled on the CD's own timer thread, under the same lock.
#pragma once

#include <cstdint>
#include <string>

#include "sound/cd_disc.h"

namespace qavz {

// Fades move the level by this much per tick; 32 ticks make a fade.
constexpr int32_t kCdFadeStep = 313;
constexpr int32_t kCdFullLevel = 10000;

// Device start and stop ("CD"). The disc is read from the folder the
// title's "[qavz]" key "CDFolder" names, else the title's own folder.
bool StartCdAudio();
void StopCdAudio();
bool CdAudioOn();
// Stops what plays (service shut-down).
void StopCdPlay();
// Holds the fade timer and track ends while the application is inactive
// (the track itself stands still with the audio output).
void PauseCdAudio(bool pause);

int32_t Op_cd_play(int32_t track, int32_t fadeMs);
int32_t Op_cd_stop(int32_t, int32_t fadeMs);
int32_t Op_cd_pause(int32_t, int32_t);
int32_t Op_cd_replay(int32_t, int32_t);
int32_t Op_cd_setvol(int32_t, int32_t volume);
int32_t Op_cd_getvol(int32_t, int32_t);
int32_t Op_cd_isplay(int32_t, int32_t);
int32_t Op_cd_getpos(int32_t, int32_t kind);
int32_t Op_cd_getlen(int32_t track, int32_t);
int32_t Op_cd_repeat(int32_t mode, int32_t);
int32_t Op_cd_eject(int32_t, int32_t);

// Tests: a folder for the disc, the timer stepped by hand (true: the thread
// leaves fades alone), one timer tick, what the timer and the control hold,
// and a track end as the device would report it.
void SetCdFolderForTests(const std::string& hostFolder);

// The folder of the title's CD audio: the one [qavz] CDFolder names, else
// the base folder; and the disc found there, as cd_play would find it.
std::string CdFolder();
CdDisc ReadTitleCdDisc();
void SetCdManualTimer(bool manual);
void CdTimerTick();
int32_t CdFadeLevel();
int32_t CdTimerPeriod();  // 0 while no fade runs
int32_t CdControlValue();
int32_t CdControlStartValue();
int32_t CdCurrentTrack();
void CdTrackFinished();

}  // namespace qavz
