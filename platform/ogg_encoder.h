// Ogg Vorbis encoding (vorbisenc) of 16-bit PCM into a file, for qavz
// cdimport's track files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qavz::platform {

struct OggEncoder;  // one file being written

// Creates `hostPath` for `channels` at `rate` Hz, variable bit rate of
// `quality` (-0.1 to 1.0). Null when the file or the encoder cannot be made.
OggEncoder* CreateOggEncoder(const std::string& hostPath, int channels, int rate, float quality);
// Encodes `frames` frames of interleaved signed 16-bit samples; false on an
// error (the file is then incomplete).
bool EncodeOgg(OggEncoder* encoder, const int16_t* samples, size_t frames);
// Ends the stream (every sample written keeps its place: the last page's
// position gives the exact length), closes the file and frees the encoder;
// false when anything failed on the way.
bool FinishOggEncoder(OggEncoder* encoder);

}  // namespace qavz::platform
