// Script volumes 0..100 and the device's attenuation in hundredths of a
// decibel: entry 0 is -10000 (silence), entry v is 5000 * log10(v / 100)
// truncated toward zero, so entry 1 is -10000, 10 is -5000, 50 is -1505 and
// 100 is 0. Sound slots and media use the same curve.
#pragma once

#include <cstdint>

namespace qavz {

constexpr int32_t kSilentHundredths = -10000;

// The table entry of `volume` clamped to 0..100.
int32_t VolumeToHundredths(int32_t volume);
// The smallest volume 0..100 whose entry is at least `hundredths`.
int32_t HundredthsToVolume(int32_t hundredths);
// Media's conversion: above 100 counts as 100, 0 or less is silence.
int32_t MediaVolumeToHundredths(int32_t volume);
// The linear gain of an attenuation: 10^(hundredths / 2000).
float HundredthsToGain(int32_t hundredths);

}  // namespace qavz
