#include "platform/media_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <new>

namespace qavz::platform {

namespace {

// Pictures beyond this are refused rather than allocated.
constexpr int kLargestSide = 8192;

struct StreamDecoder {
  int index = -1;
  AVCodecContext* codec = nullptr;
  AVRational timeBase{1, 1};
};

bool OpenStream(AVFormatContext* format, AVMediaType type, StreamDecoder& out) {
  int index = av_find_best_stream(format, type, -1, -1, nullptr, 0);
  if (index < 0) return false;
  AVStream* stream = format->streams[index];
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!decoder) return false;
  AVCodecContext* codec = avcodec_alloc_context3(decoder);
  if (!codec) return false;
  codec->thread_count = 1;
  if (avcodec_parameters_to_context(codec, stream->codecpar) < 0 ||
      avcodec_open2(codec, decoder, nullptr) < 0) {
    avcodec_free_context(&codec);
    return false;
  }
  out.index = index;
  out.codec = codec;
  out.timeBase = stream->time_base;
  return true;
}

void Quiet() { av_log_set_level(AV_LOG_QUIET); }

}  // namespace

struct MediaDecoder {
  AVFormatContext* format = nullptr;
  StreamDecoder audio, video;
  SwrContext* resampler = nullptr;
  SwsContext* scaler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  MediaInfo info;
  bool draining = false;  // the file has no more packets
  bool audioFlushed = false, videoFlushed = false;

  ~MediaDecoder() {
    swr_free(&resampler);
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&audio.codec);
    avcodec_free_context(&video.codec);
    avformat_close_input(&format);
  }
};

namespace {

bool SetUpAudio(MediaDecoder& m) {
  AVCodecContext* c = m.audio.codec;
  if (c->sample_rate <= 0 || c->ch_layout.nb_channels <= 0) return false;
  m.info.sampleRate = c->sample_rate;
  m.info.channels = c->ch_layout.nb_channels >= 2 ? 2 : 1;
  AVChannelLayout in, out;
  // A file that names no speakers gets the usual ones for its channel count.
  if (c->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in, c->ch_layout.nb_channels);
  else if (av_channel_layout_copy(&in, &c->ch_layout) < 0)
    return false;
  av_channel_layout_default(&out, m.info.channels);
  int status = swr_alloc_set_opts2(&m.resampler, &out, AV_SAMPLE_FMT_S16, c->sample_rate, &in, c->sample_fmt,
                                   c->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  return status >= 0 && swr_init(m.resampler) >= 0;
}

bool SetUpVideo(MediaDecoder& m) {
  AVCodecContext* c = m.video.codec;
  if (c->width <= 0 || c->height <= 0 || c->width > kLargestSide || c->height > kLargestSide) return false;
  m.info.width = c->width;
  m.info.height = c->height;
  return true;
}

// Seconds from the file's own start, which need not be 0.
double Seconds(const MediaDecoder& m, int64_t timestamp, AVRational base) {
  if (timestamp == AV_NOPTS_VALUE) return 0.0;
  double start = m.format->start_time == AV_NOPTS_VALUE ? 0.0 : double(m.format->start_time) / AV_TIME_BASE;
  return double(timestamp) * av_q2d(base) - start;
}

MediaItem ConvertAudio(MediaDecoder& m, MediaFrame& out) {
  AVFrame* f = m.frame;
  int capacity = swr_get_out_samples(m.resampler, f->nb_samples);
  if (capacity < 0) return MediaItem::kError;
  out.samples.resize(size_t(capacity) * size_t(m.info.channels));
  uint8_t* target = reinterpret_cast<uint8_t*>(out.samples.data());
  int got = swr_convert(m.resampler, &target, capacity, const_cast<const uint8_t**>(f->extended_data),
                        f->nb_samples);
  if (got < 0) return MediaItem::kError;
  out.samples.resize(size_t(got) * size_t(m.info.channels));
  out.time = Seconds(m, f->best_effort_timestamp, m.audio.timeBase);
  return MediaItem::kAudio;
}

MediaItem ConvertVideo(MediaDecoder& m, MediaFrame& out) {
  AVFrame* f = m.frame;
  if (f->width != m.info.width || f->height != m.info.height) return MediaItem::kError;
  m.scaler = sws_getCachedContext(m.scaler, f->width, f->height, AVPixelFormat(f->format), f->width,
                                  f->height, AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!m.scaler) return MediaItem::kError;
  out.width = f->width;
  out.height = f->height;
  out.pixels.resize(size_t(f->width) * size_t(f->height));
  uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(out.pixels.data())};
  int strides[1] = {f->width * 4};
  sws_scale(m.scaler, f->data, f->linesize, 0, f->height, planes, strides);
  out.time = Seconds(m, f->best_effort_timestamp, m.video.timeBase);
  return MediaItem::kVideo;
}

// A frame already decoded by one of the decoders, if any.
bool Receive(MediaDecoder& m, StreamDecoder& s, MediaItem kind, MediaFrame& out, MediaItem& item) {
  if (!s.codec) return false;
  int status = avcodec_receive_frame(s.codec, m.frame);
  if (status < 0) return false;
  item = kind == MediaItem::kAudio ? ConvertAudio(m, out) : ConvertVideo(m, out);
  av_frame_unref(m.frame);
  return true;
}

}  // namespace

MediaDecoder* OpenMediaFile(const char* hostPath, bool wantVideo) {
  Quiet();
  auto* m = new (std::nothrow) MediaDecoder;
  if (!m) return nullptr;
  if (avformat_open_input(&m->format, hostPath, nullptr, nullptr) < 0 ||
      avformat_find_stream_info(m->format, nullptr) < 0) {
    delete m;
    return nullptr;
  }
  m->info.hasAudio = OpenStream(m->format, AVMEDIA_TYPE_AUDIO, m->audio) && SetUpAudio(*m);
  if (!m->info.hasAudio) avcodec_free_context(&m->audio.codec);
  m->info.hasVideo = wantVideo && OpenStream(m->format, AVMEDIA_TYPE_VIDEO, m->video) && SetUpVideo(*m);
  if (!m->info.hasVideo) avcodec_free_context(&m->video.codec);
  m->packet = av_packet_alloc();
  m->frame = av_frame_alloc();
  if ((!m->info.hasAudio && !m->info.hasVideo) || !m->packet || !m->frame) {
    delete m;
    return nullptr;
  }
  if (m->format->duration != AV_NOPTS_VALUE && m->format->duration > 0)
    m->info.duration = double(m->format->duration) / AV_TIME_BASE;
  return m;
}

void CloseMediaFile(MediaDecoder* media) { delete media; }

const MediaInfo& MediaFileInfo(const MediaDecoder* media) { return media->info; }

MediaItem ReadMediaFile(MediaDecoder* media, MediaFrame& frame) {
  MediaDecoder& m = *media;
  MediaItem item;
  for (;;) {
    if (Receive(m, m.audio, MediaItem::kAudio, frame, item) ||
        Receive(m, m.video, MediaItem::kVideo, frame, item))
      return item;
    if (m.draining) {
      // Everything read: let the decoders give up what they hold, once.
      bool flushed = false;
      if (m.audio.codec && !m.audioFlushed) {
        avcodec_send_packet(m.audio.codec, nullptr);
        m.audioFlushed = flushed = true;
      }
      if (m.video.codec && !m.videoFlushed) {
        avcodec_send_packet(m.video.codec, nullptr);
        m.videoFlushed = flushed = true;
      }
      if (!flushed) return MediaItem::kEnd;
      continue;
    }
    int status = av_read_frame(m.format, m.packet);
    if (status < 0) {
      m.draining = true;
      continue;
    }
    AVCodecContext* codec = m.packet->stream_index == m.audio.index   ? m.audio.codec
                            : m.packet->stream_index == m.video.index ? m.video.codec
                                                                      : nullptr;
    // A packet a decoder refuses is skipped: the next may decode.
    if (codec) avcodec_send_packet(codec, m.packet);
    av_packet_unref(m.packet);
  }
}

bool SeekMediaFile(MediaDecoder* media, double seconds) {
  MediaDecoder& m = *media;
  int64_t target = int64_t(seconds * AV_TIME_BASE);
  if (m.format->start_time != AV_NOPTS_VALUE) target += m.format->start_time;
  if (avformat_seek_file(m.format, -1, INT64_MIN, target, target, 0) < 0 &&
      av_seek_frame(m.format, -1, target, AVSEEK_FLAG_BACKWARD) < 0)
    return false;
  if (m.audio.codec) avcodec_flush_buffers(m.audio.codec);
  if (m.video.codec) avcodec_flush_buffers(m.video.codec);
  if (m.resampler) {
    swr_close(m.resampler);
    swr_init(m.resampler);
  }
  m.draining = m.audioFlushed = m.videoFlushed = false;
  return true;
}

}  // namespace qavz::platform
