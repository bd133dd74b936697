#include "sound/volume_table.h"

#include <array>
#include <cmath>

namespace qavz {

namespace {

std::array<int32_t, 101> BuildTable() {
  std::array<int32_t, 101> table{};
  table[0] = kSilentHundredths;
  for (int v = 1; v <= 100; ++v) table[size_t(v)] = int32_t(5000.0 * std::log10(v / 100.0));
  return table;
}

const std::array<int32_t, 101>& Table() {
  static const std::array<int32_t, 101> table = BuildTable();
  return table;
}

}  // namespace

int32_t VolumeToHundredths(int32_t volume) {
  if (volume < 0) volume = 0;
  if (volume > 100) volume = 100;
  return Table()[size_t(volume)];
}

int32_t HundredthsToVolume(int32_t hundredths) {
  for (int v = 0; v <= 100; ++v)
    if (Table()[size_t(v)] >= hundredths) return v;
  return 100;
}

int32_t MediaVolumeToHundredths(int32_t volume) {
  if (volume <= 0) return kSilentHundredths;
  return VolumeToHundredths(volume);
}

float HundredthsToGain(int32_t hundredths) { return float(std::pow(10.0, hundredths / 2000.0)); }

}  // namespace qavz
