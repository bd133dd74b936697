#include "platform/ogg_encoder.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <ctime>
#include <functional>

namespace qavz::platform {

struct OggEncoder {
  std::FILE* file = nullptr;
  ogg_stream_state stream{};
  vorbis_info info{};
  vorbis_comment comment{};
  vorbis_dsp_state dsp{};
  vorbis_block block{};
  int channels = 2;
  bool ok = true;
};

namespace {

void WritePage(OggEncoder* e, const ogg_page& page) {
  e->ok = e->ok && std::fwrite(page.header, 1, size_t(page.header_len), e->file) == size_t(page.header_len) &&
          std::fwrite(page.body, 1, size_t(page.body_len), e->file) == size_t(page.body_len);
}

// Takes every finished block through the encoder and writes full pages.
void Drain(OggEncoder* e) {
  ogg_packet packet;
  ogg_page page;
  while (vorbis_analysis_blockout(&e->dsp, &e->block) == 1) {
    vorbis_analysis(&e->block, nullptr);
    vorbis_bitrate_addblock(&e->block);
    while (vorbis_bitrate_flushpacket(&e->dsp, &packet)) {
      ogg_stream_packetin(&e->stream, &packet);
      while (ogg_stream_pageout(&e->stream, &page)) WritePage(e, page);
    }
  }
}

}  // namespace

OggEncoder* CreateOggEncoder(const std::string& hostPath, int channels, int rate, float quality) {
  auto* e = new OggEncoder;
  e->channels = channels;
  vorbis_info_init(&e->info);
  if (vorbis_encode_init_vbr(&e->info, channels, rate, quality) != 0) {
    vorbis_info_clear(&e->info);
    delete e;
    return nullptr;
  }
  e->file = std::fopen(hostPath.c_str(), "wb");
  if (!e->file) {
    vorbis_info_clear(&e->info);
    delete e;
    return nullptr;
  }
  vorbis_comment_init(&e->comment);
  vorbis_comment_add_tag(&e->comment, "ENCODER", "qavz cdimport");
  vorbis_analysis_init(&e->dsp, &e->info);
  vorbis_block_init(&e->dsp, &e->block);
  // Streams are told apart by their serial number; this one needs no more
  // than to differ from other files'.
  ogg_stream_init(&e->stream, int(std::hash<std::string>{}(hostPath) ^ size_t(std::time(nullptr))));
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&e->dsp, &e->comment, &header, &comments, &codebooks);
  ogg_stream_packetin(&e->stream, &header);
  ogg_stream_packetin(&e->stream, &comments);
  ogg_stream_packetin(&e->stream, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&e->stream, &page)) WritePage(e, page);
  return e;
}

bool EncodeOgg(OggEncoder* e, const int16_t* samples, size_t frames) {
  if (!e || !e->ok) return false;
  constexpr size_t kChunk = 4096;
  for (size_t done = 0; done < frames;) {
    size_t n = frames - done < kChunk ? frames - done : kChunk;
    float** buffer = vorbis_analysis_buffer(&e->dsp, int(n));
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < e->channels; ++c)
        buffer[c][i] = float(samples[(done + i) * size_t(e->channels) + size_t(c)]) / 32768.0f;
    vorbis_analysis_wrote(&e->dsp, int(n));
    Drain(e);
    done += n;
  }
  return e->ok;
}

bool FinishOggEncoder(OggEncoder* e) {
  if (!e) return false;
  vorbis_analysis_wrote(&e->dsp, 0);  // end of stream
  Drain(e);
  ogg_page page;
  while (ogg_stream_flush(&e->stream, &page)) WritePage(e, page);
  bool ok = e->ok && std::fclose(e->file) == 0;
  ogg_stream_clear(&e->stream);
  vorbis_block_clear(&e->block);
  vorbis_dsp_clear(&e->dsp);
  vorbis_comment_clear(&e->comment);
  vorbis_info_clear(&e->info);
  delete e;
  return ok;
}

}  // namespace qavz::platform
