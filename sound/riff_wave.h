// RIFF wave files read in place from memory: the "WAVE" form, its "fmt "
// chunk and the "data" chunk after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qavz {

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatAdpcm = 2;  // Microsoft ADPCM

struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  // Microsoft ADPCM only: samples per channel in one block and the
  // predictor coefficient pairs of the format header.
  uint16_t samplesPerBlock = 0;
  std::vector<int16_t> coef1, coef2;
};

struct WaveFile {
  WaveFormat format;
  size_t dataOffset = 0;  // start of the "data" chunk's bytes in the file
  size_t dataLength = 0;  // its length, cut short where the file ends
};

// Finds the chunks and reads the format. False when the bytes are not a
// wave file, the format chunk is short, the format tag is neither PCM nor
// Microsoft ADPCM, an ADPCM header is inconsistent (one or two channels, a
// block of at least the header's size, at most the samples a block holds),
// or no "data" chunk follows the format.
bool ParseWave(const uint8_t* bytes, size_t size, WaveFile& out);

}  // namespace qavz
