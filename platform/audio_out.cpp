// Audio output on OpenAL Soft: a real device, or the loopback device that a
// thread of ours renders in real time (or a test renders by hand).
#include "platform/audio_out.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace qavz::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRate = 44100;
// The real-time loopback renders in blocks of at most this many frames,
// every few milliseconds.
constexpr int kRenderBlock = 512;
constexpr auto kRenderPeriod = std::chrono::milliseconds(4);

struct Output {
  std::mutex mutex;  // users, open and close
  int users = 0;
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  const char* backend = "";
  int rate = kDefaultRate;
  // Loopback.
  bool loopback = false;
  LPALCRENDERSAMPLESSOFT render = nullptr;
  std::thread thread;
  std::atomic<bool> stopThread{false};
  std::atomic<bool> paused{false};
  std::mutex renderMutex;  // a render in progress (thread or test)
  // Tests' settings for the next open.
  int loopbackRate = kDefaultRate;
  bool loopbackRealTime = true;
  std::atomic<MixTap> tap{nullptr};
  std::atomic<void*> tapUser{nullptr};
};

Output& Out() {
  static Output output;
  return output;
}

// The real-time loopback: renders as many frames as wall time asks for,
// except while paused, when time stands still for the mix.
void RenderThread() {
  Output& out = Out();
  std::vector<float> block(size_t(kRenderBlock) * 2);
  Clock::time_point start = Clock::now();
  int64_t rendered = 0;
  Clock::duration pausedFor{};
  Clock::time_point pauseStart{};
  bool wasPaused = false;
  while (!out.stopThread.load()) {
    std::this_thread::sleep_for(kRenderPeriod);
    Clock::time_point now = Clock::now();
    bool paused = out.paused.load();
    if (paused != wasPaused) {
      if (paused)
        pauseStart = now;
      else
        pausedFor += now - pauseStart;
      wasPaused = paused;
    }
    if (paused) continue;
    auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - start - pausedFor);
    int64_t due = elapsed.count() * out.rate / 1000000 - rendered;
    // After a stall (a debugger, a suspended process) catch up by at most
    // a quarter of a second rather than racing through the backlog.
    if (due > out.rate / 4) {
      rendered += due - out.rate / 4;
      due = out.rate / 4;
    }
    while (due > 0) {
      int frames = int(due < kRenderBlock ? due : kRenderBlock);
      {
        std::lock_guard lock(out.renderMutex);
        out.render(out.device, block.data(), frames);
      }
      if (MixTap tap = out.tap.load()) tap(block.data(), frames, out.tapUser.load());
      rendered += frames;
      due -= frames;
    }
  }
}

bool OpenLoopback(Output& out) {
  auto open =
      reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
  auto supported = reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(
      alcGetProcAddress(nullptr, "alcIsRenderFormatSupportedSOFT"));
  out.render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
  if (!open || !supported || !out.render) return false;
  ALCdevice* device = open(nullptr);
  if (!device) return false;
  out.rate = out.loopbackRate;
  if (!supported(device, out.rate, ALC_STEREO_SOFT, ALC_FLOAT_SOFT)) {
    alcCloseDevice(device);
    return false;
  }
  // Float output: no dithering, no limiter, so a voice at full gain comes
  // out sample for sample.
  const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT,
                               ALC_FLOAT_SOFT,           ALC_FREQUENCY,   out.rate,
                               ALC_OUTPUT_LIMITER_SOFT,  ALC_FALSE,       0};
  ALCcontext* context = alcCreateContext(device, attributes);
  if (!context) {
    alcCloseDevice(device);
    return false;
  }
  out.device = device;
  out.context = context;
  out.loopback = true;
  out.backend = "loopback";
  return true;
}

bool OpenReal(Output& out) {
  ALCdevice* device = alcOpenDevice(nullptr);
  if (!device) return false;
  ALCcontext* context = alcCreateContext(device, nullptr);
  if (!context) {
    alcCloseDevice(device);
    return false;
  }
  ALCint rate = kDefaultRate;
  alcGetIntegerv(device, ALC_FREQUENCY, 1, &rate);
  out.rate = rate > 0 ? rate : kDefaultRate;
  out.device = device;
  out.context = context;
  out.loopback = false;
  out.backend = "openal";
  return true;
}

void CloseOutput(Output& out) {
  if (out.thread.joinable()) {
    out.stopThread.store(true);
    out.thread.join();
  }
  alcMakeContextCurrent(nullptr);
  if (out.context) alcDestroyContext(out.context);
  if (out.device) alcCloseDevice(out.device);
  out.context = nullptr;
  out.device = nullptr;
  out.loopback = false;
  out.backend = "";
  out.paused.store(false);
}

ALenum AlFormat(const PcmFormat& format) { return format.bits == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16; }

// Mono is played as stereo with the sample on both sides: OpenAL would pan
// a mono voice to the centre at reduced level.
bool Upload(ALuint buffer, const PcmFormat& format, const uint8_t* data, size_t bytes) {
  if (!format.Playable() || bytes % size_t(format.BlockAlign()) != 0 || bytes > size_t(INT32_MAX) / 2)
    return false;
  std::vector<uint8_t> stereo;
  const void* source = data;
  size_t size = bytes;
  if (format.channels == 1) {
    const int width = format.bits / 8;
    stereo.resize(bytes * 2);
    for (size_t i = 0, o = 0; i < bytes; i += size_t(width), o += size_t(width) * 2) {
      for (int b = 0; b < width; ++b)
        stereo[o + size_t(b)] = stereo[o + size_t(width + b)] = data[i + size_t(b)];
    }
    source = stereo.data();
    size = stereo.size();
  }
  alGetError();
  alBufferData(buffer, AlFormat(format), size ? source : nullptr, ALsizei(size), format.rate);
  return alGetError() == AL_NO_ERROR;
}

ALint SourceInt(AudioVoice voice, ALenum what) {
  ALint value = 0;
  alGetSourcei(voice, what, &value);
  return value;
}

}  // namespace

bool PcmFormat::Playable() const {
  return (bits == 8 || bits == 16) && (channels == 1 || channels == 2) && rate >= 100 && rate <= 200000;
}

bool AcquireAudioOutput(bool headless) {
  Output& out = Out();
  std::lock_guard lock(out.mutex);
  if (out.users > 0) {
    ++out.users;
    return true;
  }
  // OpenAL's own warnings (no device, say) are not the user's business;
  // ALSOFT_LOGLEVEL set by the user still counts.
  setenv("ALSOFT_LOGLEVEL", "0", 0);
  bool opened = (!headless && OpenReal(out)) || OpenLoopback(out);
  if (!opened) return false;
  if (!alcMakeContextCurrent(out.context)) {
    CloseOutput(out);
    return false;
  }
  if (out.loopback && out.loopbackRealTime) {
    out.stopThread.store(false);
    out.thread = std::thread(RenderThread);
  }
  out.users = 1;
  return true;
}

void ReleaseAudioOutput() {
  Output& out = Out();
  std::lock_guard lock(out.mutex);
  if (out.users == 0 || --out.users > 0) return;
  CloseOutput(out);
}

bool AudioOutputOpen() {
  Output& out = Out();
  std::lock_guard lock(out.mutex);
  return out.users > 0;
}

const char* AudioOutputBackend() {
  Output& out = Out();
  std::lock_guard lock(out.mutex);
  return out.backend;
}

void PauseAudioOutput(bool pause) {
  Output& out = Out();
  std::lock_guard lock(out.mutex);
  if (out.users == 0 || out.paused.load() == pause) return;
  out.paused.store(pause);
  if (out.loopback) return;  // the render thread stops by itself
  if (!alcIsExtensionPresent(out.device, "ALC_SOFT_pause_device")) return;
  using PauseFn = void(ALC_APIENTRY*)(ALCdevice*);
  auto fn = reinterpret_cast<PauseFn>(
      alcGetProcAddress(out.device, pause ? "alcDevicePauseSOFT" : "alcDeviceResumeSOFT"));
  if (fn) fn(out.device);
}

int AudioOutputRate() { return Out().rate; }

void ConfigureLoopback(int rate, bool realTime) {
  Output& out = Out();
  std::lock_guard lock(out.mutex);
  out.loopbackRate = rate > 0 ? rate : kDefaultRate;
  out.loopbackRealTime = realTime;
}

bool RenderAudioOutput(float* out, int frames) {
  Output& o = Out();
  if (!o.loopback || o.thread.joinable() || frames < 0) return false;
  std::lock_guard lock(o.renderMutex);
  o.render(o.device, out, frames);
  return true;
}

void SetMixTap(MixTap tap, void* user) {
  Out().tapUser.store(user);
  Out().tap.store(tap);
}

AudioBuffer CreateAudioBuffer(const PcmFormat& format, const uint8_t* data, size_t bytes) {
  ALuint buffer = 0;
  alGetError();
  alGenBuffers(1, &buffer);
  if (alGetError() != AL_NO_ERROR || buffer == 0) return 0;
  if (!Upload(buffer, format, data, bytes)) {
    alDeleteBuffers(1, &buffer);
    return 0;
  }
  return buffer;
}

bool FillAudioBuffer(AudioBuffer buffer, const PcmFormat& format, const uint8_t* data, size_t bytes) {
  return buffer != 0 && Upload(buffer, format, data, bytes);
}

void DeleteAudioBuffer(AudioBuffer buffer) {
  if (buffer == 0) return;
  ALuint name = buffer;
  alDeleteBuffers(1, &name);
}

AudioVoice CreateVoice() {
  ALuint source = 0;
  alGetError();
  alGenSources(1, &source);
  if (alGetError() != AL_NO_ERROR || source == 0) return 0;
  // Channels go straight to the speakers, with no distance or position.
  alSourcei(source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
  alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
  alSource3f(source, AL_POSITION, 0.f, 0.f, 0.f);
  alSourcef(source, AL_ROLLOFF_FACTOR, 0.f);
  return source;
}

void DeleteVoice(AudioVoice voice) {
  if (voice == 0) return;
  ALuint name = voice;
  alSourceStop(name);
  alSourcei(name, AL_BUFFER, 0);
  alDeleteSources(1, &name);
}

bool AttachBuffer(AudioVoice voice, AudioBuffer buffer) {
  alGetError();
  alSourcei(voice, AL_BUFFER, ALint(buffer));
  return alGetError() == AL_NO_ERROR;
}

void PlayVoice(AudioVoice voice, bool loop) {
  alSourcei(voice, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
  alSourcePlay(voice);
}

void PauseVoice(AudioVoice voice) { alSourcePause(voice); }

void StopVoice(AudioVoice voice) {
  alSourceStop(voice);
  alSourceRewind(voice);
}

VoiceState GetVoiceState(AudioVoice voice) {
  switch (SourceInt(voice, AL_SOURCE_STATE)) {
    case AL_PLAYING:
      return VoiceState::kPlaying;
    case AL_PAUSED:
      return VoiceState::kPaused;
    default:
      return VoiceState::kStopped;
  }
}

int64_t VoiceFrame(AudioVoice voice) { return SourceInt(voice, AL_SAMPLE_OFFSET); }

void SetVoiceGain(AudioVoice voice, float gain) { alSourcef(voice, AL_GAIN, gain); }

bool QueueBuffer(AudioVoice voice, AudioBuffer buffer) {
  ALuint name = buffer;
  alGetError();
  alSourceQueueBuffers(voice, 1, &name);
  return alGetError() == AL_NO_ERROR;
}

int ProcessedBuffers(AudioVoice voice) { return SourceInt(voice, AL_BUFFERS_PROCESSED); }

int QueuedBuffers(AudioVoice voice) { return SourceInt(voice, AL_BUFFERS_QUEUED); }

AudioBuffer UnqueueBuffer(AudioVoice voice) {
  if (ProcessedBuffers(voice) <= 0) return 0;
  ALuint name = 0;
  alGetError();
  alSourceUnqueueBuffers(voice, 1, &name);
  return alGetError() == AL_NO_ERROR ? name : 0;
}

}  // namespace qavz::platform
