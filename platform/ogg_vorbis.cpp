#include "platform/ogg_vorbis.h"

#include <vorbis/vorbisfile.h>

#include <new>

namespace qavz::platform {

struct OggVorbis {
  OggVorbis_File file;
};

OggVorbis* OpenOggVorbis(void* source, const OggCallbacks& callbacks) {
  ov_callbacks cb;
  cb.read_func = callbacks.read;
  cb.seek_func = reinterpret_cast<int (*)(void*, ogg_int64_t, int)>(callbacks.seek);
  cb.close_func = callbacks.close;
  cb.tell_func = callbacks.tell;
  static_assert(sizeof(ogg_int64_t) == sizeof(int64_t));
  auto* ogg = new (std::nothrow) OggVorbis;
  if (!ogg) return nullptr;
  if (ov_open_callbacks(source, &ogg->file, nullptr, 0, cb) != 0) {
    delete ogg;  // a failed open leaves nothing to clear
    return nullptr;
  }
  return ogg;
}

void CloseOggVorbis(OggVorbis* ogg) {
  if (!ogg) return;
  ov_clear(&ogg->file);
  delete ogg;
}

bool OggInfo(OggVorbis* ogg, int* channels, int* rate) {
  vorbis_info* info = ov_info(&ogg->file, -1);
  if (!info) return false;
  *channels = info->channels;
  *rate = int(info->rate);
  return true;
}

int64_t OggPcmTotal(OggVorbis* ogg) { return ov_pcm_total(&ogg->file, -1); }

long ReadOggVorbis(OggVorbis* ogg, uint8_t* buffer, int bytes, int* section) {
  return ov_read(&ogg->file, reinterpret_cast<char*>(buffer), bytes, 0, 2, 1, section);
}

int SeekOggVorbis(OggVorbis* ogg, int64_t sample) { return ov_pcm_seek(&ogg->file, sample); }

}  // namespace qavz::platform
