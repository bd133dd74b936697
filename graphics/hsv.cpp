// rgbtohsv and hsvtorgb: hue 0..2047 for a full turn (256 steps per sixth
// before the 4/3 scaling), saturation and value 0..255, all in integers.
#include <algorithm>

#include "vm/native_table.h"

namespace qavz {

int32_t Native_rgbtohsv(Addr args) {
  uint32_t rgb = uint32_t(Arg(args, 0));
  int32_t r = int32_t((rgb >> 16) & 255), g = int32_t((rgb >> 8) & 255), b = int32_t(rgb & 255);
  int32_t max = std::max({r, g, b}), min = std::min({r, g, b}), delta = max - min;
  int32_t saturation = max ? delta * 255 / max : 0;
  int32_t hue = 0;
  if (saturation) {
    int32_t m;
    if (r == max)
      m = (max - b) * 255 / delta - (max - g) * 255 / delta;
    else if (g == max)
      m = (max - r) * 255 / delta - (max - b) * 255 / delta + 512;
    else
      m = (max - g) * 255 / delta - (max - r) * 255 / delta + 1024;
    if (m < 0) m += 1536;
    hue = m * 4 / 3;
  }
  return hue << 16 | saturation << 8 | max;
}

int32_t Native_hsvtorgb(Addr args) {
  uint32_t hsv = uint32_t(Arg(args, 0));
  int32_t s = int32_t((hsv >> 8) & 255), v = int32_t(hsv & 255);
  if (s == 0) return v << 16 | v << 8 | v;
  int32_t d = int32_t((hsv >> 16) & 2047) * 1536 >> 11;
  int32_t f = d & 255;
  int32_t p = (255 - s) * v / 255;
  int32_t q = (255 - s * f / 255) * v / 255;
  int32_t t = (255 - (255 - f) * s / 255) * v / 255;
  struct Channels {
    int32_t r, g, b;
  };
  const Channels sectors[6] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
  const Channels& c = sectors[d >> 8];
  return c.r << 16 | c.g << 8 | c.b;
}

}  // namespace qavz
