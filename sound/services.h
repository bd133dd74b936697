// The device side of the sound, MIDI, CD and media natives: one operation
// per ServiceRequest id, run on the window thread. The host installs the
// table at start-up and runs the device start and stop steps at their
// places in its sequences.
#pragma once

#include <cstdint>
#include <span>

namespace qavz {

// The natives of this subsystem in id order: name, ServiceRequest id.
// clang-format off
#define QAVZ_SOUND_SERVICES(X) \
  X(cd_play, 1124) /* start CD play */ \
  X(cd_stop, 1125) /* stop CD play */ \
  X(cd_pause, 1126) /* pause CD play */ \
  X(cd_replay, 1127) /* resume CD play */ \
  X(cd_setvol, 1128) /* set CD volume */ \
  X(cd_getvol, 1129) /* get CD volume */ \
  X(cd_isplay, 1130) /* is the CD playing */ \
  X(cd_getpos, 1131) /* get CD position */ \
  X(cd_getlen, 1132) /* get CD length */ \
  X(cd_repeat, 1133) /* set CD repeat */ \
  X(cd_eject, 1134) /* eject the disc */ \
  X(midi_load, 1144) /* load a MIDI file */ \
  X(midi_free, 1145) /* free the MIDI file */ \
  X(midi_play, 1146) /* play */ \
  X(midi_stop, 1147) /* stop */ \
  X(midi_pause, 1148) /* pause */ \
  X(midi_replay, 1149) /* resume */ \
  X(midi_setvol, 1150) /* set volume */ \
  X(midi_getvol, 1151) /* get volume */ \
  X(midi_isplay, 1152) /* is it playing */ \
  X(midi_getpos, 1153) /* get position */ \
  X(midi_repeat, 1154) /* set repeat */ \
  X(snd_load, 1164) /* load a sound into a slot */ \
  X(snd_free, 1165) /* free a slot (-1: all) */ \
  X(snd_play, 1166) /* play a slot */ \
  X(snd_stop, 1167) /* stop a slot */ \
  X(snd_pause, 1168) /* pause a slot */ \
  X(snd_replay, 1169) /* resume a slot */ \
  X(snd_setvol, 1170) /* set a slot's volume */ \
  X(snd_getvol, 1171) /* get a slot's volume */ \
  X(snd_isplay, 1172) /* is a slot playing */ \
  X(snd_setloop, 1173) /* set the stream's loop point */ \
  X(snd_getpos, 1174) /* get a slot's position */ \
  X(media_open, 1184) /* open a media file */ \
  X(media_close, 1185) /* close it */ \
  X(media_play, 1186) /* play */ \
  X(media_stop, 1187) /* stop */ \
  X(media_pause, 1188) /* pause */ \
  X(media_replay, 1189) /* resume */ \
  X(media_isplay, 1190) /* is it playing */ \
  X(media_repeat, 1191) /* set repeat */ \
  X(media_size, 1192) /* set the video rectangle */ \
  X(media_setvol, 1193) /* set volume */
// clang-format on

struct SoundService {
  uint32_t id;
  const char* native;
  int32_t (*operation)(int32_t wParam, int32_t lParam);
};
std::span<const SoundService> SoundServices();

// Media's hooks: closed and reopened around a display-mode switch, the video
// placed again when the client area changes size. Idempotent.
void InstallSoundHooks() noexcept;

// Device start-up and exit steps, each run only when its key is on.
void StartSoundDevice();  // "Sound"
void StopSoundDevice();
void StartMusicDevice();  // "Music"
void StopMusicDevice();
void StartCdDevice();  // "CD"
void StopCdDevice();

}  // namespace qavz
