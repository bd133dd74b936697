// Media files (movies, audio files, CD track files) decoded with FFmpeg:
// audio as 16-bit interleaved PCM of one or two channels, video as XRGB
// pixels (blue in the low byte) at the picture's own size.
#pragma once

#include <cstdint>
#include <vector>

namespace qavz::platform {

struct MediaInfo {
  bool hasAudio = false;
  bool hasVideo = false;
  int width = 0, height = 0;         // video
  int sampleRate = 0, channels = 0;  // audio as decoded: 1 or 2 channels
  double duration = 0;               // seconds; 0 when unknown
};

enum class MediaItem : uint8_t { kAudio, kVideo, kEnd, kError };

struct MediaFrame {
  double time = 0;               // seconds from the start of the file
  std::vector<int16_t> samples;  // kAudio: interleaved
  std::vector<uint32_t> pixels;  // kVideo: width x height, top row first
  int width = 0, height = 0;
};

struct MediaDecoder;

// Opens a host path; null when the file cannot be read or holds neither
// audio nor (with `wantVideo`) video that can be decoded.
MediaDecoder* OpenMediaFile(const char* hostPath, bool wantVideo);
void CloseMediaFile(MediaDecoder* media);
const MediaInfo& MediaFileInfo(const MediaDecoder* media);
// The next decoded audio block or picture in file order; kEnd at the end.
MediaItem ReadMediaFile(MediaDecoder* media, MediaFrame& frame);
// Goes to `seconds` (the nearest earlier point the file allows).
bool SeekMediaFile(MediaDecoder* media, double seconds);

}  // namespace qavz::platform
