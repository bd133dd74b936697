// blur: a box blur along rows (positive radius) or columns (negative) with
// running sums, so its cost does not depend on the radius.
#include <algorithm>
#include <new>

#include "graphics/filter_support.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

constexpr int32_t kMaxRadius = 127;

struct BlurJob {
  const Plane* dst;
  const Plane* src;
  Rect to, from;  // equal-sized areas
  int32_t radius;
};

// Every byte of a pixel is a channel (alpha included): the window's sum
// times 65536 / (2r + 1), rounded. Along a row the sums are differences of
// prefix sums over the row extended by r copies of each end pixel; the
// prefixes over the copies are multiples of the end pixels, so only the row
// itself is summed step by step, whatever the radius.
template <int Bpp>
bool BlurRows(const BlurJob& job) {
  const int32_t r = job.radius;
  const uint32_t scale = 65536u / uint32_t(2 * r + 1);
  const size_t width = size_t(job.from.right - job.from.left), pad = size_t(r) * Bpp;
  const size_t bytes = width * Bpp, extended = bytes + 2 * pad, window = 2 * pad + Bpp;
  std::unique_ptr<uint32_t[]> buffer(new (std::nothrow) uint32_t[extended + Bpp + bytes]);
  if (!buffer) return false;
  uint32_t* __restrict sum = buffer.get();  // sum[k * Bpp + c]: channel c of the first k pixels
  uint32_t* __restrict wide = buffer.get() + extended + Bpp;
  for (int32_t y = job.from.top; y < job.from.bottom; ++y) {
    const uint8_t* __restrict in = job.src->Row(y) + size_t(job.from.left) * Bpp;
    const uint8_t* last = in + bytes - Bpp;
    for (size_t i = 0; i < bytes; ++i) wide[i] = in[i];
    uint32_t first[Bpp], end[Bpp];
    for (int c = 0; c < Bpp; ++c) {
      first[c] = in[c];
      end[c] = last[c];
      sum[c] = 0;
    }
    for (size_t i = Bpp; i < pad + Bpp; i += Bpp)
      for (int c = 0; c < Bpp; ++c) sum[i + c] = sum[i - Bpp + c] + first[c];
    for (size_t i = pad + Bpp; i < pad + bytes + Bpp; ++i) sum[i] = sum[i - Bpp] + wide[i - pad - Bpp];
    for (size_t i = pad + bytes + Bpp; i < extended + Bpp; i += Bpp)
      for (int c = 0; c < Bpp; ++c) sum[i + c] = sum[i - Bpp + c] + end[c];
    uint8_t* __restrict out = job.dst->Row(job.to.top + (y - job.from.top)) + size_t(job.to.left) * Bpp;
    for (size_t i = 0; i < bytes; ++i) out[i] = uint8_t(((sum[i + window] - sum[i]) * scale + 0x8000) >> 16);
  }
  return true;
}

// The same down the columns: one running sum per byte of the row.
template <int Bpp>
bool BlurColumns(const BlurJob& job) {
  int32_t r = job.radius;
  uint32_t scale = 65536u / uint32_t(2 * r + 1);
  int32_t top = job.from.top, last = job.from.bottom - 1;
  size_t bytes = size_t(job.from.right - job.from.left) * Bpp, offset = size_t(job.from.left) * Bpp;
  std::unique_ptr<uint32_t[]> sums(new (std::nothrow) uint32_t[bytes]());
  if (!sums) return false;
  uint32_t* __restrict sum = sums.get();
  auto row = [&](int32_t y) { return job.src->Row(std::clamp(y, top, last)) + offset; };
  for (int32_t k = -r; k <= r; ++k) {
    const uint8_t* in = row(top + k);
    for (size_t i = 0; i < bytes; ++i) sum[i] += in[i];
  }
  for (int32_t y = top; y <= last; ++y) {
    uint8_t* __restrict out = job.dst->Row(job.to.top + (y - top)) + size_t(job.to.left) * Bpp;
    const uint8_t* __restrict enter = row(y + r + 1);
    const uint8_t* __restrict leave = row(y - r);
    for (size_t i = 0; i < bytes; ++i) {
      out[i] = uint8_t((sum[i] * scale + 0x8000) >> 16);
      sum[i] += enter[i];
      sum[i] -= leave[i];
    }
  }
  return true;
}

template <int Bpp>
bool Blur(const BlurJob& job) {
  if (job.radius > 0) return BlurRows<Bpp>(job);
  BlurJob down = job;
  down.radius = -job.radius;
  return BlurColumns<Bpp>(down);
}

}  // namespace

int32_t Native_blur(Addr args) {
  Plane* dst = BytePlane(Arg(args, 0));
  Plane* src = BytePlane(Arg(args, 3));
  Rect rect;
  if (!dst || !src || dst->depth != src->depth || !RectArg(ArgAddr(args, 4), *src, rect)) return 0;
  BlurJob job{dst, nullptr, {}, {}, std::clamp(Arg(args, 5), -kMaxRadius, kMaxRadius)};
  if (!ClipCopy(*dst, Arg(args, 1), Arg(args, 2), *src, rect, job.to, job.from)) return 0;
  if (job.radius != 0 && src->depth == 16) return 1;
  SourceSnapshot snapshot(*src, *dst);
  if (!snapshot.Get()) return 0;
  job.src = snapshot.Get();
  int bpp = src->BytesPerPixel();
  if (job.radius == 0) {
    size_t bytes = size_t(job.from.right - job.from.left) * size_t(bpp);
    for (int32_t y = job.from.top; y < job.from.bottom; ++y)
      std::memcpy(dst->Row(job.to.top + (y - job.from.top)) + size_t(job.to.left) * size_t(bpp),
                  job.src->Row(y) + size_t(job.from.left) * size_t(bpp), bytes);
    return 1;
  }
  bool done = bpp == 1 ? Blur<1>(job) : bpp == 3 ? Blur<3>(job) : Blur<4>(job);
  return done ? 1 : 0;
}

}  // namespace qavz
