// Integer arithmetic natives: fixed-point trigonometry (2048 units per turn,
// 16.16 results), square root, logarithm, Bezier points, abs and sgn.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/math_tables.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// The low 32 bits of a truncated extended-precision value; NaN and the
// infinities give 0, as the processor's integer-indefinite value does.
int32_t Low32(long double v) noexcept {
  if (!std::isfinite(v) || v >= 9.2233720368547758e18L || v <= -9.2233720368547758e18L) return 0;
  return int32_t(uint32_t(uint64_t(int64_t(v))));
}

}  // namespace

int32_t Native_abs(Addr args) {
  int32_t v = Arg(args, 0);
  return v < 0 ? int32_t(0u - uint32_t(v)) : v;
}

int32_t Native_sgn(Addr args) {
  int32_t v = Arg(args, 0);
  return (v > 0) - (v < 0);
}

int32_t Native_sin(Addr args) {
  const int32_t* t = SineTable();
  return t ? t[Arg(args, 0) & 2047] : 0;
}

int32_t Native_cos(Addr args) {
  const int32_t* t = SineTable();
  return t ? t[int32_t(uint32_t(Arg(args, 0)) + 512u) & 2047] : 0;
}

// atan: x, y. The angle of the vector from the octant table.
int32_t Native_atan(Addr args) {
  const int32_t* t = ArctanTable();
  int64_t x = Arg(args, 0), y = Arg(args, 1);
  if (!t || (x == 0 && y == 0)) return 0;
  int64_t ax = x < 0 ? -x : x, ay = y < 0 ? -y : y;
  int64_t d = ax < ay ? 512 - t[ax * 256 / ay] : t[ay * 256 / ax];
  int64_t e = x > 0 ? d : 1024 - d;
  return int32_t((y > 0 ? e : -e) & 2047);
}

int32_t Native_sqrt(Addr args) {
  long double v = Arg(args, 0) / 65536.0L;
  if (v < 0) return 0;
  return Low32(std::sqrt(v) * 65536.0L);
}

int32_t Native_log(Addr args) {
  int32_t v = Arg(args, 0);
  if (v <= 0) return 0;
  return Low32(std::log(v / 65536.0L) * 65536.0L);
}

// bezier: control points (x0, y0 .. x3, y3), output points, count. The cubic
// is walked by forward differences from P0 + 0.5, each point truncated.
int32_t Native_bezier(Addr args) {
  Arena& arena = TheArena();
  int32_t p[8];
  Addr in = ArgAddr(args, 0), out = ArgAddr(args, 1);
  int32_t count = Arg(args, 2);
  if (!arena.Read(in, p)) return 0;
  uint64_t points = count > 1 ? uint64_t(count) : 1;
  if (points * 8 > 0xFFFFFFFFu || !arena.Live(out, uint32_t(points * 8))) return 0;
  uint8_t* o = arena.Span(out, uint32_t(points * 8));
  std::memcpy(o, p, 8);  // point 0 is P0 exactly
  if (count <= 1) return 1;
  long double h = 1.0L / (count - 1);
  for (int axis = 0; axis < 2; ++axis) {
    long double p0 = p[axis], p1 = p[2 + axis], p2 = p[4 + axis], p3 = p[6 + axis];
    long double a = -p0 + 3 * p1 - 3 * p2 + p3, b = 3 * p0 - 6 * p1 + 3 * p2, c = -3 * p0 + 3 * p1;
    long double f = p0 + 0.5L;
    long double d1 = a * h * h * h + b * h * h + c * h;
    long double d2 = 6 * a * h * h * h + 2 * b * h * h;
    long double d3 = 6 * a * h * h * h;
    for (int32_t i = 1; i < count; ++i) {
      f += d1;
      d1 += d2;
      d2 += d3;
      int32_t v = Low32(f);
      std::memcpy(o + 8 * size_t(i) + 4 * axis, &v, 4);
    }
  }
  return 1;
}

}  // namespace qavz
