// The decoding state of one sound file: the whole file in memory, decoded
// piece by piece into PCM. Slot 0 holds one while its stream is loaded; a
// static slot uses one while it loads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio_out.h"
#include "platform/ogg_vorbis.h"
#include "sound/ogg_memory.h"
#include "sound/riff_wave.h"

namespace qavz {

class SoundSource {
 public:
  SoundSource() = default;
  ~SoundSource() { Close(); }
  SoundSource(const SoundSource&) = delete;
  SoundSource& operator=(const SoundSource&) = delete;

  // Reads the file whole through the data-file layer and opens it as Ogg
  // Vorbis ("OggS" first) or as a RIFF wave of PCM or Microsoft ADPCM.
  // False on any failure, with nothing left open.
  bool Open(const char* path);
  // The same from bytes already in memory (taken over).
  bool OpenBytes(std::vector<uint8_t> bytes);
  void Close();
  bool IsOpen() const { return open_; }
  bool IsOgg() const { return ogg_ != nullptr; }

  // The PCM that Deliver gives: 16-bit at the file's channels and rate for
  // Ogg and ADPCM, the file's own format for PCM. False when a voice cannot
  // play it (the device would refuse the buffer).
  bool Format(platform::PcmFormat& format) const;
  // Bytes per second of the decoded PCM and one frame's size.
  uint64_t BytesPerSecond() const;
  uint32_t FrameBytes() const;
  // The length of the whole decoded sound in bytes: Ogg total samples x
  // channels x 2, ADPCM whole blocks x decoded block bytes, PCM the data.
  uint64_t DecodedLength() const;

  // Fills all of out[0..n) and gives the number of real bytes in it; what
  // is left after the end is silence (0x80 for 8-bit PCM, else 0).
  size_t Deliver(uint8_t* out, size_t n);
  // Back to the start: wave position 0; the Ogg decoder to sample 0.
  void Rewind();
  // Where a looping stream goes on: a byte offset of the decoded PCM.
  void GoTo(uint64_t byteOffset);
  // Wave data delivered so far.
  uint64_t Position() const { return position_; }

 private:
  size_t DeliverOgg(uint8_t* out, size_t n);
  size_t DeliverAdpcm(uint8_t* out, size_t n);
  size_t DeliverPcm(uint8_t* out, size_t n);
  uint32_t BlockBytes() const;

  bool open_ = false;
  std::vector<uint8_t> file_;
  // Ogg.
  OggMemory memory_;
  platform::OggVorbis* ogg_ = nullptr;
  int channels_ = 0, rate_ = 0;
  int64_t totalSamples_ = 0;
  int section_ = 0;
  // Wave.
  WaveFile wave_;
  uint64_t position_ = 0;
  std::vector<int16_t> block_;  // ADPCM: one decoded block
  uint32_t blockRemaining_ = 0;
};

}  // namespace qavz
