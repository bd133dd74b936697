#include "sound/sound_source.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/data_files.h"
#include "sound/ms_adpcm.h"

namespace qavz {

namespace {

// A decoder that reports a hole in the data again and again is at its end.
constexpr int kMostHolesInARow = 64;
// ov_read gives at most one packet per call; this bounds one call's request.
constexpr size_t kOggReadPiece = 4096;

}  // namespace

bool SoundSource::Open(const char* path) {
  Close();
  std::vector<uint8_t> bytes;
  if (!path || LoadDataFile(path, bytes) != DataFileResult::kOk) return false;
  return OpenBytes(std::move(bytes));
}

bool SoundSource::OpenBytes(std::vector<uint8_t> bytes) {
  Close();
  file_ = std::move(bytes);
  if (file_.size() >= 4 && std::memcmp(file_.data(), "OggS", 4) == 0) {
    memory_ = OggMemory{file_.data(), file_.size(), 0};
    ogg_ = platform::OpenOggVorbis(&memory_, kOggMemoryCallbacks);
    if (!ogg_ || !platform::OggInfo(ogg_, &channels_, &rate_)) {
      Close();
      return false;
    }
    totalSamples_ = std::max<int64_t>(platform::OggPcmTotal(ogg_), 0);
  } else {
    if (!ParseWave(file_.data(), file_.size(), wave_)) {
      Close();
      return false;
    }
    if (wave_.format.formatTag == kWaveFormatAdpcm) block_.assign(BlockBytes() / 2, 0);
  }
  open_ = true;
  return true;
}

void SoundSource::Close() {
  if (ogg_) platform::CloseOggVorbis(ogg_);
  ogg_ = nullptr;
  memory_ = OggMemory{};
  file_.clear();
  file_.shrink_to_fit();
  block_.clear();
  wave_ = WaveFile{};
  channels_ = rate_ = 0;
  totalSamples_ = 0;
  section_ = 0;
  position_ = 0;
  blockRemaining_ = 0;
  open_ = false;
}

uint32_t SoundSource::BlockBytes() const {
  return uint32_t(wave_.format.samplesPerBlock) * wave_.format.channels * 2;
}

bool SoundSource::Format(platform::PcmFormat& format) const {
  if (!open_) return false;
  const WaveFormat& f = wave_.format;
  if (ogg_) {
    format = platform::PcmFormat{channels_, rate_, 16};
  } else if (f.formatTag == kWaveFormatAdpcm) {
    format = platform::PcmFormat{f.channels, int(std::min<uint32_t>(f.samplesPerSec, INT32_MAX)), 16};
  } else {
    format =
        platform::PcmFormat{f.channels, int(std::min<uint32_t>(f.samplesPerSec, INT32_MAX)), f.bitsPerSample};
    if (f.blockAlign != format.BlockAlign()) return false;
  }
  return format.Playable();
}

uint64_t SoundSource::BytesPerSecond() const {
  if (ogg_) return uint64_t(rate_) * uint64_t(channels_) * 2;
  const WaveFormat& f = wave_.format;
  if (f.formatTag == kWaveFormatAdpcm) return uint64_t(f.samplesPerSec) * f.channels * 2;
  return uint64_t(f.samplesPerSec) * f.blockAlign;
}

uint32_t SoundSource::FrameBytes() const {
  if (ogg_) return uint32_t(channels_) * 2;
  const WaveFormat& f = wave_.format;
  return f.formatTag == kWaveFormatAdpcm ? uint32_t(f.channels) * 2 : f.blockAlign;
}

uint64_t SoundSource::DecodedLength() const {
  if (ogg_) return uint64_t(totalSamples_) * uint64_t(channels_) * 2;
  const WaveFormat& f = wave_.format;
  if (f.formatTag == kWaveFormatAdpcm) return uint64_t(wave_.dataLength / f.blockAlign) * BlockBytes();
  return wave_.dataLength;
}

size_t SoundSource::Deliver(uint8_t* out, size_t n) {
  if (!open_) {
    std::memset(out, 0, n);
    return 0;
  }
  if (ogg_) return DeliverOgg(out, n);
  if (wave_.format.formatTag == kWaveFormatAdpcm) return DeliverAdpcm(out, n);
  return DeliverPcm(out, n);
}

size_t SoundSource::DeliverOgg(uint8_t* out, size_t n) {
  const size_t frame = FrameBytes();
  size_t done = 0;
  int holes = 0;
  while (n - done >= frame && frame > 0) {
    size_t piece = std::min(n - done, kOggReadPiece);
    long got = platform::ReadOggVorbis(ogg_, out + done, int(piece), &section_);
    if (got < 0) {
      if (++holes >= kMostHolesInARow) break;
      continue;
    }
    if (got == 0) break;
    holes = 0;
    done += size_t(got);
  }
  std::memset(out + done, 0, n - done);
  return done;
}

size_t SoundSource::DeliverAdpcm(uint8_t* out, size_t n) {
  const WaveFormat& f = wave_.format;
  const uint32_t blockBytes = BlockBytes();
  const uint8_t* data = file_.data() + wave_.dataOffset;
  size_t done = 0;
  while (done < n) {
    if (blockRemaining_ == 0) {
      uint64_t index = position_ / blockBytes;
      // Only whole blocks are decoded: a trailing partial block is never played.
      if ((index + 1) * f.blockAlign > wave_.dataLength) break;
      DecodeAdpcmBlock(f, data + index * f.blockAlign, block_.data());
      blockRemaining_ = blockBytes - uint32_t(position_ % blockBytes);
    }
    size_t take = std::min<size_t>(blockRemaining_, n - done);
    std::memcpy(out + done, reinterpret_cast<const uint8_t*>(block_.data()) + (blockBytes - blockRemaining_),
                take);
    done += take;
    position_ += take;
    blockRemaining_ -= uint32_t(take);
  }
  std::memset(out + done, 0, n - done);
  return done;
}

size_t SoundSource::DeliverPcm(uint8_t* out, size_t n) {
  uint64_t left = position_ < wave_.dataLength ? wave_.dataLength - position_ : 0;
  size_t take = size_t(std::min<uint64_t>(left, n));
  if (take) std::memcpy(out, file_.data() + wave_.dataOffset + position_, take);
  position_ += take;
  std::memset(out + take, wave_.format.bitsPerSample == 8 ? 0x80 : 0, n - take);
  return take;
}

void SoundSource::Rewind() { GoTo(0); }

void SoundSource::GoTo(uint64_t byteOffset) {
  if (ogg_) {
    platform::SeekOggVorbis(ogg_, int64_t(byteOffset / FrameBytes()));
    return;
  }
  position_ = byteOffset;
  blockRemaining_ = 0;
}

}  // namespace qavz
