// The grid formulas of the drawing effects. Each native fills the slot's
// grid from its parameters and draws at once. Angles are 0 .. 2047 per turn
// (taken modulo 2048), sines and cosines 16.16 from the sine table.
#include <cmath>

#include "graphics/effects.h"
#include "graphics/filter_support.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Wide enough for every product of 32-bit parameters below.
using Wide = __int128;

// Source coordinates of a point (x, y) of the source rectangle: short as
// 2048ths with 8 sub-step bits, long as a 32-bit fraction; both wrap, so
// only the low 32 bits are kept.
void StoreShort(int32_t* point, Wide x, Wide y, int64_t width, int64_t height) {
  point[0] = int32_t(int64_t(x * 2048 / width) << 8);
  point[1] = int32_t(int64_t(y * 2048 / height) << 8);
}
void StoreLong(int32_t* point, Wide x, Wide y, int64_t width, int64_t height) {
  point[0] = int32_t(int64_t(x * 65536 / width) << 16);
  point[1] = int32_t(int64_t(y * 65536 / height) << 16);
}

// A float truncated toward zero; 0 for what no integer holds.
int64_t Truncate(double value) {
  if (!std::isfinite(value) || std::fabs(value) >= 0x1p62) return 0;
  return int64_t(value);
}
// The same kept to its low 16 bits, signed.
int64_t Truncate16(double value) {
  if (!std::isfinite(value)) return 0;
  return int16_t(int64_t(std::fmod(std::trunc(value), 65536.0)));
}

// Opens the slot, lets `point(j, i, cell)` fill every grid point and draws.
template <typename Formula>
int32_t Compute(int32_t slot, GridFormat format, Formula formula) {
  Effect e;
  const int32_t* sine = SineTable();
  if (!sine || !OpenEffect(slot, false, e)) return 0;
  for (int32_t i = 0; i <= e.rows; ++i)
    for (int32_t j = 0; j <= e.columns; ++j) formula(e, sine, j, i, e.Point(j, i));
  return DrawEffect(e, format) ? 1 : 0;
}

}  // namespace

// Rotation by the angle and zoom (16.16) about the source point (cx, cy).
int32_t Native_ef_rotate(Addr args) {
  int64_t cx = Arg(args, 1), cy = Arg(args, 2), zoom = Arg(args, 3);
  int32_t angle = Arg(args, 4);
  return Compute(Arg(args, 0), kShortGrid,
                 [&](const Effect& e, const int32_t* sine, int32_t j, int32_t i, int32_t* p) {
                   int64_t w = e.srcWidth, h = e.srcHeight, s = Sin(sine, angle), c = Cos(sine, angle);
                   int64_t x = j * w / e.columns - cx, y = i * h / e.rows;
                   int64_t u = cx + ((zoom * ((x * c - (y - cy) * s) >> 16)) >> 16);
                   int64_t v = cy + ((zoom * (((y - cy) * c + x * s) >> 16)) >> 16);
                   StoreShort(p, u, v, w, h);
                 });
}

// A tunnel seen along its axis: depth from the distance to the axis, the
// position around it from the direction.
int32_t Native_ef_tunnel(Addr args) {
  int64_t scale = Arg(args, 1);
  int32_t angle = Arg(args, 2);
  return Compute(
      Arg(args, 0), kLongGrid, [&](const Effect& e, const int32_t* sine, int32_t j, int32_t i, int32_t* p) {
        int64_t w = e.srcWidth, c = Cos(sine, angle), s = Sin(sine, angle);
        int64_t dy = int64_t(i - e.rows / 2) * 8, dx = int64_t(j - e.columns / 2) * 8;
        int64_t h = c * dx + s * 300, across = h >> 16;
        double distance = std::sqrt(double(dy * dy) + double(across * across));
        double depth = double(scale * ((c * 300 - s * dx) >> 16)) / (distance > 0 ? distance : 1.0) * 0.01;
        int64_t around;
        if (across != 0)
          around =
              Truncate16(std::atan(double(dy) / double(across)) * double(w / 2) / kPi + (h < 0 ? w / 2 : 0));
        else
          around = int16_t(dy < 8 ? -w / 4 : w / 4);
        StoreLong(p, around, Truncate16(depth), w, e.srcHeight);
      });
}

// A textured plane in perspective, turned and tilted.
int32_t Native_ef_land(Addr args) {
  int64_t scale = Arg(args, 1);
  int32_t turn = Arg(args, 2), tilt = Arg(args, 3);
  return Compute(
      Arg(args, 0), kShortGrid, [&](const Effect& e, const int32_t* sine, int32_t j, int32_t i, int32_t* p) {
        int64_t dx = int64_t(j - e.columns / 2) * 8, dy = int64_t(i - e.rows / 2) * 8;
        int64_t cb = Cos(sine, turn), sb = Sin(sine, turn), ct = Cos(sine, tilt), st = Sin(sine, tilt);
        int64_t h = (cb * dx + sb * 300) >> 16, z = (cb * 300 - sb * dx) >> 16;
        int64_t d = (ct * dy - st * h) >> 16, o = (st * dy + ct * h) >> 16;
        d = d < 0 ? -d : d == 0 ? 1 : d;
        StoreShort(p, scale * o / d / 40, scale * z / d / 40, e.srcWidth, e.srcHeight);
      });
}

// A sphere, turned and tilted.
int32_t Native_ef_ball(Addr args) {
  double scale = Arg(args, 1);
  int32_t turn = Arg(args, 2), tilt = Arg(args, 3);
  return Compute(
      Arg(args, 0), kShortGrid, [&](const Effect& e, const int32_t* sine, int32_t j, int32_t i, int32_t* p) {
        int64_t dy = int64_t(i - e.rows / 2) * 8, dx = int64_t(j - e.columns / 2) * 8;
        int64_t cb = Cos(sine, turn), sb = Sin(sine, turn), ct = Cos(sine, tilt), st = Sin(sine, tilt);
        int64_t pz = (sb * 300 + cb * dy) >> 16, q = (cb * 300 - sb * dy) >> 16;
        int64_t r1 = (ct * q - st * dx) >> 16, r2 = (st * q + ct * dx) >> 16;
        double length = std::sqrt(double(pz * pz) + double(r1 * r1) + double(r2 * r2));
        double n = length > 0 ? 1.0 / length : 0.0;
        StoreShort(p, Truncate(n * scale * double(r2)), Truncate(n * scale * double(r1)), e.srcWidth,
                   e.srcHeight);
      });
}

// A whirl about the centre: each point turns by twist / (1 + its distance
// in cells), in radians.
int32_t Native_ef_whirl(Addr args) {
  double twist = Arg(args, 1);
  return Compute(Arg(args, 0), kShortGrid,
                 [&](const Effect& e, const int32_t*, int32_t j, int32_t i, int32_t* p) {
                   int32_t dx = j - e.columns / 2, dy = i - e.rows / 2;
                   double theta;
                   if (dx == 0)
                     theta = dy >= 1 ? kPi / 2 : 3 * kPi / 2;
                   else
                     theta = std::atan(double(dy) / double(dx)) + (dx < 0 ? kPi : 0.0);
                   double r = std::sqrt(double(dx) * dx + double(dy) * dy);
                   double phi = twist / (1 + r) + theta;
                   int64_t w = e.srcWidth, h = e.srcHeight;
                   int64_t x = Truncate(r * std::cos(phi) * double(w / e.columns));
                   int64_t y = Truncate(r * std::sin(phi) * double(h / e.rows));
                   StoreShort(p, x + w / 2, y + h / 2, w, h);
                 });
}

// Each grid row shifted sideways by amplitude x sine of a phase that
// advances one wavelength per `wavelength` pixels down; a wavelength of 0
// shifts every row alike.
int32_t Native_ef_raster(Addr args) {
  int64_t phase = Arg(args, 1), wavelength = Arg(args, 2), amplitude = Arg(args, 3);
  uint32_t start = uint32_t(phase), step = 0;
  if (wavelength != 0) {
    start = uint32_t(phase * 0x80000 / wavelength) & 0xFFFFFF;
    step = (uint32_t(0x80000 / wavelength) & 0x1FFFFF) * 8;
  }
  return Compute(Arg(args, 0), kShortGrid,
                 [&](const Effect& e, const int32_t* sine, int32_t j, int32_t i, int32_t* p) {
                   uint32_t at = wavelength != 0 ? (start + uint32_t(i) * step) & 0xFFFFFF : start;
                   int64_t offset = (amplitude * sine[(at >> 8) & 2047]) >> 16;
                   int64_t w = e.srcWidth, h = e.srcHeight;
                   StoreShort(p, offset + j * w / e.columns, i * h / e.rows, w, h);
                 });
}

}  // namespace qavz
