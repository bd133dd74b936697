// Ogg Vorbis decoding (vorbisfile) over a data source of the caller's own:
// the caller gives the four stream callbacks, as ov_open_callbacks takes them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qavz::platform {

struct OggCallbacks {
  size_t (*read)(void* ptr, size_t size, size_t count, void* source);
  int (*seek)(void* source, int64_t offset, int whence);  // 0 start, 1 current, 2 end
  int (*close)(void* source);
  long (*tell)(void* source);
};

struct OggVorbis;  // one open decoder

// Null when the data is not an Ogg Vorbis stream.
OggVorbis* OpenOggVorbis(void* source, const OggCallbacks& callbacks);
// Closes the decoder (ov_clear: the close callback runs).
void CloseOggVorbis(OggVorbis* ogg);
// ov_info of the current link; false when it has none.
bool OggInfo(OggVorbis* ogg, int* channels, int* rate);
// ov_pcm_total of the whole stream: samples per channel, negative on error.
int64_t OggPcmTotal(OggVorbis* ogg);
// ov_read as 16-bit signed little-endian: bytes read, 0 at the end, negative
// for a hole or an error in the data. `section` gets the bitstream number.
long ReadOggVorbis(OggVorbis* ogg, uint8_t* buffer, int bytes, int* section);
// ov_pcm_seek to a sample position; 0 on success.
int SeekOggVorbis(OggVorbis* ogg, int64_t sample);

}  // namespace qavz::platform
