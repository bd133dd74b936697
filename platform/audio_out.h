// Audio output: one mixing device shared by sound effects, the sound stream,
// MIDI, CD audio and media, with buffers of PCM and voices that play them.
//
// Back-ends: "openal" is OpenAL Soft on the system's default device;
// "loopback" is OpenAL Soft's loopback device rendered by a thread of ours in
// real time, so that sounds end and positions advance as they would on a
// real device. A headless run, and a run where no device opens, gets the
// loopback. Tests may render the loopback themselves (manual rendering) and
// look at the mix.
//
// PCM is interleaved 8-bit unsigned or 16-bit signed little-endian, one or two
// channels. Every voice plays its channels straight to the speakers: a mono
// sound sounds at full level on both, a stereo one keeps left and right.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qavz::platform {

struct PcmFormat {
  int channels = 2;
  int rate = 44100;
  int bits = 16;
  int BlockAlign() const { return channels * bits / 8; }
  int BytesPerSecond() const { return rate * BlockAlign(); }
  // What a voice can play: 8 or 16 bits, 1 or 2 channels, 100..200000 Hz.
  bool Playable() const;
};

// Opens the output for one more user; the first user opens the device.
// False when no back-end opens.
bool AcquireAudioOutput(bool headless);
// The last user's release closes the device; every buffer and voice of the
// users must be deleted by then.
void ReleaseAudioOutput();
bool AudioOutputOpen();
// "openal", "loopback" or "" while closed.
const char* AudioOutputBackend();
// The mix as a whole stops in time (nothing plays, positions stand still)
// while paused; pauses do not nest.
void PauseAudioOutput(bool pause);
// Sample rate of the mix (frames per second).
int AudioOutputRate();

// Tests: the loopback's rate and whether our thread renders it in real time
// (false: RenderAudioOutput renders it). Takes effect at the next open.
void ConfigureLoopback(int rate, bool realTime);
// Manual loopback only: renders `frames` stereo frames of float samples
// (full scale +-1) into `out`. False when there is no manual loopback.
bool RenderAudioOutput(float* out, int frames);
// Called with every block the real-time loopback renders (stereo float), on
// its thread; nullptr removes it.
using MixTap = void (*)(const float* samples, int frames, void* user);
void SetMixTap(MixTap tap, void* user);

// Buffers hold PCM; 0 is no buffer.
using AudioBuffer = uint32_t;
// A buffer holding `bytes` of PCM (whole frames) in `format`; 0 on failure.
AudioBuffer CreateAudioBuffer(const PcmFormat& format, const uint8_t* data, size_t bytes);
// Replaces a buffer's contents; the buffer must not be queued or attached.
bool FillAudioBuffer(AudioBuffer buffer, const PcmFormat& format, const uint8_t* data, size_t bytes);
void DeleteAudioBuffer(AudioBuffer buffer);

// Voices play one attached buffer or a queue of buffers; 0 is no voice.
using AudioVoice = uint32_t;
enum class VoiceState : uint8_t { kStopped, kPlaying, kPaused };

AudioVoice CreateVoice();
void DeleteVoice(AudioVoice voice);
// Attaches one buffer (static play); 0 detaches whatever is attached or
// queued. The voice must be stopped.
bool AttachBuffer(AudioVoice voice, AudioBuffer buffer);
// Plays from the current position (resumes a paused voice); `loop` repeats
// an attached buffer.
void PlayVoice(AudioVoice voice, bool loop);
void PauseVoice(AudioVoice voice);
// Stops and rewinds to the start.
void StopVoice(AudioVoice voice);
VoiceState GetVoiceState(AudioVoice voice);
// Play position in sample frames: in the attached buffer, or from the start
// of the first buffer still in the queue.
int64_t VoiceFrame(AudioVoice voice);
void SetVoiceGain(AudioVoice voice, float gain);

// Streaming: buffers queued play one after the other; a played buffer stays
// in the queue, counted as processed, until it is taken out.
bool QueueBuffer(AudioVoice voice, AudioBuffer buffer);
int ProcessedBuffers(AudioVoice voice);
int QueuedBuffers(AudioVoice voice);
// The oldest processed buffer, taken out of the queue; 0 when none.
AudioBuffer UnqueueBuffer(AudioVoice voice);

}  // namespace qavz::platform
