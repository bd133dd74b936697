#include "graphics/blend_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qavz {

namespace {

constexpr size_t kBlockBytes = 0x48400;
constexpr size_t kScaleOffset = 0;
constexpr size_t kCompositeOffset = kScaleOffset + 256 * 256;
constexpr size_t kColourMapOffset = kCompositeOffset + 256 * 256;
constexpr size_t kRgbOffset = kColourMapOffset + 32768;
constexpr size_t kSaturateOffset = kRgbOffset + 32768 * 4;
static_assert(kColourMapOffset + 32768 + 3 <= kBlockBytes,
              "4-byte reads of the colour map stay in the block");
static_assert(kSaturateOffset + 768 + 255 <= kBlockBytes,
              "the tables fit the block from a 256-byte boundary");

uint8_t* gBlock = nullptr;
BlendTableSet gTables;

void Fill(uint8_t* base) {
  auto* scale = reinterpret_cast<uint8_t(*)[256]>(base + kScaleOffset);
  auto* composite = reinterpret_cast<uint8_t(*)[256]>(base + kCompositeOffset);
  for (int a = 0; a < 256; ++a)
    for (int v = 0; v < 256; ++v) scale[a][v] = uint8_t((a * v + 128) / 255);
  for (int i = 0; i < 256; ++i)
    for (int k = 0; k < 256; ++k) {
      if (i == 0) {
        composite[i][k] = 255;
        continue;
      }
      double ratio = double(k) / i;
      double value = 255.0 * ratio / (1.0 - double(k) / 255.0 + ratio);
      composite[i][k] = uint8_t(std::min(255.0, std::trunc(value)));
    }
  auto* rgb = reinterpret_cast<uint32_t*>(base + kRgbOffset);
  for (uint32_t c = 0; c < 32768; ++c)
    rgb[c] =
        (uint32_t(Expand5((c >> 10) & 31)) << 16) | (uint32_t(Expand5((c >> 5) & 31)) << 8) | Expand5(c & 31);
  uint8_t* saturate = base + kSaturateOffset;
  for (int j = -256; j < 512; ++j) saturate[j + 256] = uint8_t(std::clamp(j, 0, 255));
  gTables.scale = scale;
  gTables.composite = composite;
  gTables.colourMap = base + kColourMapOffset;
  gTables.rgbOf555 = rgb;
  gTables.saturate = saturate + 256;
}

}  // namespace

const BlendTableSet& BlendTables() noexcept { return gTables; }

bool BuildBlendTables() noexcept {
  if (gBlock) return true;
  uint8_t* block = static_cast<uint8_t*>(std::calloc(1, kBlockBytes));
  if (!block) return false;
  gBlock = block;
  Fill(reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(block) + 255) & ~uintptr_t(255)));
  return true;
}

void FreeBlendTables() noexcept {
  gTables = BlendTableSet{};
  std::free(gBlock);
  gBlock = nullptr;
}

}  // namespace qavz
