// The messages of the sound, MIDI and media devices, exactly as the user
// sees them (error box at level 1).
#pragma once

namespace qavz::msg {

// Sound output and sound slots.
inline constexpr char kSoundInitFailed[] = "DirectSound の初期化に失敗しました。";
inline constexpr char kSoundPriorityFailed[] = "DirectSound の優先協調レベルの変更に失敗しました。";
inline constexpr char kPrimaryBufferFailed[] = "プライマリサウンドバッファの作成に失敗しました。";
inline constexpr char kPrimaryFormatFailed[] =
    "プライマリサウンドバッファの再生フォーマット設定に失敗しました。";
inline constexpr char kSoundCooperativeFailed[] = "DirectSound の協調レベルの設定に失敗しました。";
inline constexpr char kCreateBufferFailed[] = "IDirectSound_CreateSoundBuffer に失敗しました。";
inline constexpr char kBufferLockFailed[] = "IDirectSoundBuffer_Lock に失敗しました。";
inline constexpr char kBufferUnlockFailed[] = "IDirectSoundBuffer_Unlock に失敗しました。";
inline constexpr char kQueryNotifyFailed[] = "IDirectSoundBuffer_QueryInterface に失敗しました。";
inline constexpr char kSetNotifyFailed[] = "IDirectSoundNotify_SetNotificationPositions に失敗しました。";
inline constexpr char kGetVolumeFailed[] = "IDirectSoundBuffer_GetVolume に失敗しました。";

// MIDI.
inline constexpr char kPerformanceInitFailed[] = "DirectMusicPerformance の初期化に失敗しました。";
inline constexpr char kPortFailed[] = "ポートの選択に失敗しました。";
inline constexpr char kLoaderFailed[] = "DirectMusicLoader の作成に失敗しました。";

// Media.
inline constexpr char kMediaGraphFailed[] = "InitDirectMedia - IGraphBuilder の作成に失敗しました。";
inline constexpr char kMediaRenderFailed[] = "InitDirectMedia - レンダーファイルのオープンに失敗しました。";
inline constexpr char kMediaControlFailed[] = "InitDirectMedia - IMediaControl の作成に失敗しました。";
inline constexpr char kMediaEventFailed[] = "InitDirectMedia - IMediaEventEx の作成に失敗しました。";
inline constexpr char kMediaPositionFailed[] = "InitDirectMedia - IMediaPosition の作成に失敗しました。";
inline constexpr char kMediaVideoWindowFailed[] = "InitDirectMedia - IVideoWindow の作成に失敗しました。";
inline constexpr char kMediaBasicVideoFailed[] = "InitDirectMedia - IBasicVideo の作成に失敗しました。";
inline constexpr char kMediaBasicAudioFailed[] = "InitDirectMedia - IBasicAudio の作成に失敗しました。";

}  // namespace qavz::msg
