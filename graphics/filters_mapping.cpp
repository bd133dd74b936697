// Mapping filters: freemap (a source rectangle onto a free quadrilateral)
// and rotate (onto a turned rectangle).
//
// freemap walks the quadrilateral's left and right edges together and draws
// a straight line between their current points for every step, reading one
// source row along each line. All stepping is integer error-term stepping;
// each line is first cut to the destination plane, so a quadrilateral far
// larger than the plane costs only what it covers.
#include <algorithm>
#include <cstdlib>

#include "graphics/filter_support.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// Corners farther out than this are refused: a quadrilateral that large
// would take minutes to walk and cannot show anything sensible.
constexpr int64_t kMaxCorner = int64_t(1) << 20;

struct Point {
  int64_t x = 0, y = 0;
};

// A value going from `from` to `to` in `steps` equal steps, rounded: after k
// steps it is from + sign * floor((steps / 2 + k * |to - from|) / steps).
struct Stepper {
  int64_t value = 0, whole = 0, part = 0, steps = 1, error = 0, sign = 1;

  void Start(int64_t from, int64_t to, int64_t count, int64_t k = 0) {
    int64_t distance = to >= from ? to - from : from - to;
    sign = to >= from ? 1 : -1;
    steps = std::max<int64_t>(count, 1);
    whole = sign * (distance / steps);
    part = distance % steps;
    int64_t acc = steps / 2 + k * distance;
    value = from + sign * (acc / steps);
    error = acc % steps;
  }
  // Steps once; the change of the value.
  int64_t Next() {
    error += part;
    int64_t carry = error >= steps;
    error -= carry * steps;
    int64_t change = whole + carry * sign;
    value += change;
    return change;
  }
};

// The same value after k steps, without stepping.
int64_t ValueAt(int64_t from, int64_t to, int64_t count, int64_t k) {
  if (count <= 0) return from;
  int64_t distance = to >= from ? to - from : from - to;
  int64_t moved = (count / 2 + k * distance) / count;
  return to >= from ? from + moved : from - moved;
}

// The smallest k in [0, last + 1] for which `holds(k)` is true, given that
// it is false up to some point and true from there on.
template <typename Predicate>
int64_t FirstTrue(int64_t last, Predicate holds) {
  int64_t lo = 0, hi = last + 1;
  while (lo < hi) {
    int64_t mid = lo + (hi - lo) / 2;
    if (holds(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

// Narrows [first, last] to the steps at which a value stepped from `from` to
// `to` in `count` steps lies in 0 .. size - 1 (the value is monotonic).
void KeepInside(int64_t from, int64_t to, int64_t count, int64_t size, int64_t& first, int64_t& last) {
  auto at = [&](int64_t k) { return ValueAt(from, to, count, k); };
  int64_t enter, leave;
  if (to >= from) {
    enter = FirstTrue(count, [&](int64_t k) { return at(k) >= 0; });
    leave = FirstTrue(count, [&](int64_t k) { return at(k) >= size; });
  } else {
    enter = FirstTrue(count, [&](int64_t k) { return at(k) < size; });
    leave = FirstTrue(count, [&](int64_t k) { return at(k) < 0; });
  }
  first = std::max(first, enter);
  last = std::min(last, leave - 1);
}

struct Mapping {
  const Plane* dst;
  const Plane* src;
  Rect source;  // inside the source plane, at least 1 x 1
  uint32_t key;
  uint32_t mask;
};

// One line from a to b carrying source row `row`, its columns spread over
// the source rectangle's width.
template <int Bpp>
void MapLine(const Mapping& map, Point a, Point b, int64_t row) {
  int64_t length = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
  int64_t first = 0, last = length;
  KeepInside(a.x, b.x, length, map.dst->width, first, last);
  KeepInside(a.y, b.y, length, map.dst->height, first, last);
  if (first > last) return;
  Stepper x, y, column;
  x.Start(a.x, b.x, length, first);
  y.Start(a.y, b.y, length, first);
  column.Start(map.source.left, map.source.right - 1, length, first);
  // Byte offsets from the planes' memory: one row down the picture is -pitch.
  const Plane& dst = *map.dst;
  const int64_t pitch = dst.pitch;
  int64_t out = (dst.height - 1 - y.value) * pitch + x.value * Bpp;
  const uint8_t* in = map.src->Row(int32_t(row));
  int64_t at = column.value * Bpp;
  for (int64_t k = first; k <= last; ++k) {
    uint32_t pixel = LoadPixel(in + at, Bpp);
    if (map.key == kNoKey || (pixel & map.mask) != map.key) StorePixel(dst.host + out, Bpp, pixel);
    out += x.Next() * Bpp - y.Next() * pitch;
    at += column.Next() * Bpp;
  }
}

// corner[0..3]: the images of the source's top-left, bottom-left,
// bottom-right and top-right corners.
template <int Bpp>
void MapQuad(const Mapping& map, const Point* corner) {
  auto length = [](Point a, Point b) { return std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)); };
  int64_t steps = std::max(length(corner[0], corner[1]), length(corner[3], corner[2]));
  Stepper lx, ly, rx, ry, row;
  lx.Start(corner[0].x, corner[1].x, steps);
  ly.Start(corner[0].y, corner[1].y, steps);
  rx.Start(corner[3].x, corner[2].x, steps);
  ry.Start(corner[3].y, corner[2].y, steps);
  row.Start(map.source.top, map.source.bottom - 1, steps);
  int64_t width = map.dst->width, height = map.dst->height;
  for (int64_t k = 0; k <= steps; ++k) {
    Point a{lx.value, ly.value}, b{rx.value, ry.value};
    bool missed = (a.x < 0 && b.x < 0) || (a.y < 0 && b.y < 0) || (a.x >= width && b.x >= width) ||
                  (a.y >= height && b.y >= height);
    if (!missed) MapLine<Bpp>(map, a, b, row.value);
    lx.Next();
    ly.Next();
    rx.Next();
    ry.Next();
    row.Next();
  }
}

int32_t FreeMap(int32_t dstSlot, const Point* corner, int32_t srcSlot, Addr srcRectAddr, int32_t key) {
  Plane* dst = BytePlane(dstSlot);
  Plane* src = BytePlane(srcSlot);
  if (!dst || !src || dst->depth != src->depth) return 0;
  Rect source;
  if (!RectArg(srcRectAddr, *src, source)) return 0;
  source = Intersect(source, BoundsOf(*src));
  if (IsEmpty(source)) return 0;
  for (int i = 0; i < 4; ++i)
    if (std::abs(corner[i].x) > kMaxCorner || std::abs(corner[i].y) > kMaxCorner) return 0;
  SourceSnapshot snapshot(*src, *dst);
  if (!snapshot.Get()) return 0;
  Mapping map{dst, snapshot.Get(), source, KeyForDepth(key, src->depth), ColourMask(src->depth)};
  switch (src->BytesPerPixel()) {
    case 1:
      MapQuad<1>(map, corner);
      break;
    case 2:
      MapQuad<2>(map, corner);
      break;
    case 3:
      MapQuad<3>(map, corner);
      break;
    default:
      MapQuad<4>(map, corner);
  }
  return 1;
}

}  // namespace

int32_t Native_freemap(Addr args) {
  Plane* dst = PlaneAt(Arg(args, 0));
  if (!dst) return 0;
  Point corner[4];
  Addr quad = ArgAddr(args, 1);
  if (quad == 0) {
    corner[0] = {0, 0};
    corner[1] = {0, dst->height - 1};
    corner[2] = {dst->width - 1, dst->height - 1};
    corner[3] = {dst->width - 1, 0};
  } else {
    int32_t words[8];
    if (!TheArena().Read(quad, words)) return 0;
    for (int i = 0; i < 4; ++i) corner[i] = {words[2 * i], words[2 * i + 1]};
  }
  return FreeMap(Arg(args, 0), corner, Arg(args, 2), ArgAddr(args, 3), Arg(args, 4));
}

// The destination rectangle's corners (right and bottom inclusive) turned
// about its centre, then mapped as freemap does.
int32_t Native_rotate(Addr args) {
  Plane* dst = PlaneAt(Arg(args, 0));
  const int32_t* sine = SineTable();
  Rect r;
  if (!dst || !sine || !RectArg(ArgAddr(args, 1), *dst, r) || IsEmpty(r)) return 0;
  int32_t angle = Arg(args, 4);
  int64_t s = Sin(sine, angle), c = Cos(sine, angle);
  int64_t cx = (int64_t(r.left) + r.right) / 2, cy = (int64_t(r.top) + r.bottom) / 2;
  auto turn = [&](int64_t x, int64_t y) {
    int64_t dx = x - cx, dy = y - cy;
    return Point{cx + ((dx * c - dy * s) >> 16), cy + ((dx * s + dy * c) >> 16)};
  };
  int64_t right = int64_t(r.right) - 1, bottom = int64_t(r.bottom) - 1;
  Point corner[4] = {turn(r.left, r.top), turn(r.left, bottom), turn(right, bottom), turn(right, r.top)};
  return FreeMap(Arg(args, 0), corner, Arg(args, 2), ArgAddr(args, 3), Arg(args, 5));
}

}  // namespace qavz
