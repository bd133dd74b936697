#include "graphics/colour.h"

#include "graphics/pages.h"

namespace qavz {

namespace {

DistanceWeights BuildWeights() {
  DistanceWeights w{};
  for (int32_t d = -64; d < 64; ++d) {
    uint32_t square = uint32_t(d * d);
    w.green[d & 127] = square * 3481;
    w.red[d & 127] = square * 900;
    w.blue[d & 127] = square * 121;
  }
  return w;
}

template <typename Entry>
uint8_t Nearest(uint32_t rgb, Entry entry) {
  const DistanceWeights& w = Distances();
  int32_t r = int32_t((rgb >> 18) & 63), g = int32_t((rgb >> 10) & 63), b = int32_t((rgb >> 2) & 63);
  uint32_t best = UINT32_MAX;
  uint8_t index = 0;
  for (int i = 0; i < 256; ++i) {
    uint32_t c = entry(i);
    uint32_t d = w.green[(g - int32_t((c >> 10) & 63)) & 127];
    if (d >= best) continue;
    d += w.red[(r - int32_t((c >> 18) & 63)) & 127];
    if (d >= best) continue;
    d += w.blue[(b - int32_t((c >> 2) & 63)) & 127];
    if (d >= best) continue;
    best = d;
    index = uint8_t(i);
    if (d == 0) break;
  }
  return index;
}

}  // namespace

const DistanceWeights& Distances() noexcept {
  static const DistanceWeights weights = BuildWeights();
  return weights;
}

uint8_t NearestColour(uint32_t rgb, const uint32_t* palette256) noexcept {
  return Nearest(rgb, [palette256](int i) { return palette256[i]; });
}

uint8_t NearestDisplayColour(uint32_t rgb) noexcept {
  const DisplayState& display = Display();
  return Nearest(rgb,
                 [&display](int i) { return display.displayPalette[i].load(std::memory_order_relaxed); });
}

uint32_t ColourForDepth(uint32_t colour, int32_t depth) noexcept {
  bool indexed = (colour & 0x01000000u) != 0;
  if (depth <= 8) return indexed ? (colour & 0xFF) : NearestDisplayColour(colour & 0xFFFFFF);
  if (indexed) return Display().displayPalette[colour & 0xFF].load(std::memory_order_relaxed) & 0xFFFFFF;
  return colour & 0xFFFFFF;
}

}  // namespace qavz
