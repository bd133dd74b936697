// Microsoft ADPCM blocks: a header per channel (predictor index, delta and
// two samples), then 4-bit codes, high nibble first, channels interleaved.
#pragma once

#include <cstdint>

#include "sound/riff_wave.h"

namespace qavz {

// Decodes one block of format.blockAlign bytes into format.samplesPerBlock
// frames of 16-bit samples (channels interleaved) at `out`. A channel whose
// predictor index has no coefficient pair in the header decodes as silence.
// The format must have passed ParseWave.
void DecodeAdpcmBlock(const WaveFormat& format, const uint8_t* block, int16_t* out);

}  // namespace qavz
