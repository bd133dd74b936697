// gcopy and gblit: argument checks, clipping, mirroring, scaling and
// rotation; the pixels are left to the loops of blit_loops.cpp and the
// direct paths of blit_direct.cpp.
//
// Clipping never changes which source pixel a destination pixel shows: the
// drawn pixels are exactly those of the unclipped blit that fall inside the
// destination's clip rectangle and come from inside the source's limits.
// Rectangles are taken in 64-bit arithmetic (128 bits where a coordinate
// meets a 32.32 or 16.16 step), so no argument can wrap into the plane.
#include "graphics/blit.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/config.h"
#include "core/math_tables.h"
#include "graphics/blend_tables.h"
#include "graphics/blit_direct.h"
#include "graphics/blit_loops.h"
#include "graphics/colour.h"
#include "graphics/pixel_ops.h"
#include "vm/native_table.h"
#include "vm/system_variables.h"

namespace qavz {

namespace {

struct Box {
  int64_t left, top, right, bottom;
  int64_t Width() const { return right - left; }
  int64_t Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
};

Box Widen(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
Box Whole(const Plane& p) { return {0, 0, p.width, p.height}; }
Box Intersect(const Box& a, const Box& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kKeyMark = 0xFE000000u;

// Everything a job points at, alive for the blit.
struct JobData {
  BlitJob job;
  ModeArgs args;
  uint32_t srcLut[256];
  uint32_t dstLut[256];
  std::vector<int32_t> columns, rows;
  std::unique_ptr<uint8_t[]> sourceCopy, maskCopy;
};

// Mode preparation: -1 to go on, else the result.
int32_t PrepareMode(BlitParams& p) {
  if (p.mode >= kBlendModes) return 0;
  if (p.mode == 3 || p.mode == 4) {
    if (p.alpha == 0) return 0;
    if (p.alpha == 255) p.mode -= 3;
  }
  if (p.mode == 10 && p.second == 0) p.mode = 7;
  if (p.mode == 22 && p.channelMask == 0) return 0;
  return -1;
}

bool Drawable(const Plane* p) { return p && p->host && p->depth >= 8; }

// The attached plane that replaces the source alpha: 8-bit planes give their
// byte, 32-bit planes their alpha byte; other depths are not read.
const Plane* MaskPlane(int32_t srcSlot, int32_t mode) {
  if (!MaskedMode(mode)) return nullptr;
  const Plane* attached = AttachedPlane(srcSlot);
  return attached && attached->host && (attached->depth == 8 || attached->depth == 32) ? attached : nullptr;
}

// The source area that may be read: the source plane, and the attached plane
// when the mode reads it.
Box SourceLimits(const Plane& src, const Plane* mask) {
  Box limits = Whole(src);
  return mask ? Intersect(limits, Whole(*mask)) : limits;
}

Box DestinationClip(const Plane& dst) { return Intersect(Widen(dst.clip), Whole(dst)); }

// Parameters, colour tables and keys in the destination's compute space.
void SetUpSpace(JobData& data, const Plane& dst, const Plane& src, const BlitParams& p, bool fields) {
  BlitJob& job = data.job;
  ModeArgs& m = data.args;
  const BlendTableSet& t = BlendTables();
  PrepareModeArgs(p, m);
  int32_t srcBytes = src.depth / 8, dstBytes = dst.depth / 8;
  job.space = dstBytes == 1 ? (ColorMapping().load() ? ComputeSpace::kMapped : ComputeSpace::kIndex)
              : fields      ? ComputeSpace::kFields
                            : ComputeSpace::kRgb;
  bool index = job.space == ComputeSpace::kIndex;
  if (index)
    m.colour = ColourForDepth(p.colour, 8);
  else if (fields)
    m.colour = Fields(Pack555(ColourForDepth(p.colour, 16)));
  else
    m.colour = ColourForDepth(p.colour, 32);
  m.scaledColour = ScaleColour(p.mode == 10 ? p.second : p.alpha, m.colour);
  m.limit = fields ? 31 : 255;

  // The source key (modes 1, 4, 6) in the source's own terms; where the
  // compute space cannot tell it apart, the loops mark keyed pixels.
  bool keyed = p.mode == 1 || p.mode == 4 || p.mode == 6;
  uint32_t srcKey = ColourForDepth(p.key, src.depth);
  if (srcBytes == 2) srcKey = Pack555(srcKey);
  bool truncated = dstBytes == 2 && srcBytes >= 3 && !fields;  // 5 bits a channel before the mode
  if (srcBytes == 1 || index || truncated) {
    m.srcKey = kKeyMark;
    m.srcKeyMask = 0xFF000000u;
    job.markKey = keyed && srcBytes > 1;
    job.rawKey = srcKey;
  } else {
    m.srcKeyMask = 0xFFFFFF;
    m.srcKey = srcBytes != 2 ? srcKey : fields ? Fields(srcKey) : t.rgbOf555[srcKey];
  }
  // The destination key (mode 2).
  uint32_t dstKey = ColourForDepth(p.key, dst.depth);
  if (dstBytes == 2) dstKey = Pack555(dstKey);
  m.dstKeyMask = 0xFFFFFF;
  if (job.space == ComputeSpace::kMapped) {
    m.dstKey = kKeyMark;
    m.dstKeyMask = 0xFF000000u;
  } else {
    m.dstKey = dstBytes != 2 ? dstKey : fields ? Fields(dstKey) : t.rgbOf555[dstKey];
  }

  if (srcBytes == 1) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t lane = p.mode == 24 ? i : keyed && i == srcKey ? 254 : 255;  // mode 24: the byte is coverage
      uint32_t colour = src.colours[i] & 0xFFFFFF;
      if (dstBytes == 2) colour = t.rgbOf555[Pack555(colour)];  // converted to the destination first
      data.srcLut[i] = (index ? i : colour) | (lane << 24);
    }
    job.srcLut = data.srcLut;
  }
  if (job.space == ComputeSpace::kMapped) {
    for (uint32_t i = 0; i < 256; ++i)
      data.dstLut[i] = (dst.colours[i] & 0xFFFFFF) | (p.mode == 2 && i == dstKey ? kKeyMark : kOpaque);
    job.dstLut = data.dstLut;
  }
  job.mode = p.mode;
  job.args = &m;
  job.kernels = ThePixelImplementation().modes;
}

// Source and attached planes for the loops. When one of them is the
// destination itself, the loops read a copy of its rows first .. end - 1,
// so overlapping areas copy as if read before any write. False when the
// copy cannot be made.
bool SetUpSource(JobData& data, const Plane& dst, const Plane& src, const Plane* mask, int32_t first,
                 int32_t end) {
  BlitJob& job = data.job;
  auto rows = [&](const Plane& p, std::unique_ptr<uint8_t[]>& copy) -> const uint8_t* {
    if (&p != &dst) return p.Row(0);
    copy.reset(new (std::nothrow) uint8_t[p.ImageBytes()]);
    if (!copy) return nullptr;
    // Rows first .. end - 1 lie at the same offsets as in the plane.
    size_t from = size_t(p.height - end) * size_t(p.pitch), bytes = size_t(end - first) * size_t(p.pitch);
    std::memcpy(copy.get() + from, p.host + from, bytes);
    return copy.get() + p.ImageBytes() - p.pitch;
  };
  job.srcRow0 = rows(src, data.sourceCopy);
  job.srcRowStep = -ptrdiff_t(src.pitch);
  if (mask) {
    job.maskRow0 = rows(*mask, data.maskCopy);
    job.maskRowStep = -ptrdiff_t(mask->pitch);
    job.maskBytes = mask->depth / 8;
  }
  return job.srcRow0 && (!mask || job.maskRow0);
}

// One axis of a scaled blit: destination [d0, d1) shows source [s0, s1),
// reversed when `mirror`. A 32.32 step S / D; destination pixel j (counted
// from the unmirrored end) takes source s0 + ((acc0 + j step) >> 32), where
// acc0 is half the step's fraction. Fills `source` with the source
// coordinate of each visible destination coordinate, the first at `first`;
// false when none is visible.
bool MapAxis(int64_t d0, int64_t d1, int64_t s0, int64_t s1, bool mirror, int64_t clip0, int64_t clip1,
             int64_t lim0, int64_t lim1, int64_t& first, std::vector<int32_t>& source) {
  int64_t count = d1 - d0, extent = s1 - s0;
  uint64_t step = uint64_t((unsigned __int128)(uint64_t(extent)) << 32) / uint64_t(count);
  uint64_t acc0 = (step & 0xFFFFFFFFu) / 2;
  // The first unmirrored index whose source offset reaches v (0 < v <= extent).
  auto reaching = [&](int64_t v) -> int64_t {
    if (v <= 0) return 0;
    if (v >= extent) return count;
    unsigned __int128 need = ((unsigned __int128)(uint64_t(v)) << 32) - acc0;
    return int64_t(std::min<unsigned __int128>(count, (need + step - 1) / step));
  };
  int64_t a = std::max<int64_t>(0, lim0 - s0), b = std::min<int64_t>(extent, lim1 - s0);
  if (a >= b) return false;
  int64_t jlo = reaching(a), jhi = reaching(b);
  int64_t lo = std::max<int64_t>(0, clip0 - d0), hi = std::min<int64_t>(count, clip1 - d0);
  lo = std::max(lo, mirror ? count - jhi : jlo);
  hi = std::min(hi, mirror ? count - jlo : jhi);
  if (lo >= hi) return false;
  first = d0 + lo;
  source.resize(size_t(hi - lo));
  for (int64_t i = lo; i < hi; ++i) {
    int64_t j = mirror ? count - 1 - i : i;
    source[size_t(i - lo)] = int32_t(s0 + int64_t((acc0 + (unsigned __int128)(uint64_t(j)) * step) >> 32));
  }
  return true;
}

// A reversed rectangle is put in order and toggles its axis' mirror flag.
void Normalise(Box& r, bool& mirrorX, bool& mirrorY) {
  if (r.right < r.left) {
    std::swap(r.left, r.right);
    mirrorX = !mirrorX;
  }
  if (r.bottom < r.top) {
    std::swap(r.top, r.bottom);
    mirrorY = !mirrorY;
  }
}

// Runs the loop over source rows first .. end - 1; 0 when it cannot.
int32_t Draw(BlitLoop loop, JobData& data, const Plane& dst, const Plane& src, const Plane* mask,
             int32_t first, int32_t end) {
  if (!SetUpSource(data, dst, src, mask, first, end)) return 0;
  loop(data.job);
  return 1;
}

int32_t ScaledBlit(const Plane& dst, const Plane& src, const Plane* mask, const BlitParams& p, Box dr, Box sr,
                   bool mirrorX, bool mirrorY, bool fields) {
  Box limits = SourceLimits(src, mask), clip = DestinationClip(dst);
  if (Intersect(sr, limits).Empty()) return 0;
  JobData data;
  int64_t firstX, firstY;
  if (!MapAxis(dr.left, dr.right, sr.left, sr.right, mirrorX, clip.left, clip.right, limits.left,
               limits.right, firstX, data.columns) ||
      !MapAxis(dr.top, dr.bottom, sr.top, sr.bottom, mirrorY, clip.top, clip.bottom, limits.top,
               limits.bottom, firstY, data.rows))
    return 0;
  BlitLoop loop = mask ? FindLoop(kScaledMaskedLoops.data(), kFirstMaskedMode, p.mode, src.depth, dst.depth)
                       : FindLoop(kScaledLoops.data(), 0, p.mode, src.depth, dst.depth);
  if (!loop) return 1;
  SetUpSpace(data, dst, src, p, fields);
  BlitJob& job = data.job;
  job.dst = dst.Row(int32_t(firstY)) + firstX * (dst.depth / 8);
  job.dstRowStep = -ptrdiff_t(dst.pitch);
  job.width = int32_t(data.columns.size());
  job.height = int32_t(data.rows.size());
  job.columns = data.columns.data();
  job.rows = data.rows.data();
  job.contiguous = data.columns.back() - data.columns.front() == job.width - 1 && !mirrorX;
  auto [low, high] = std::minmax_element(data.rows.begin(), data.rows.end());
  return Draw(loop, data, dst, src, mask, *low, *high + 1);
}

int32_t RotatedBlit(const Plane& dst, const Plane& src, const Plane* mask, const BlitParams& p, Box dr,
                    Box sr, bool mirrorX, bool mirrorY, int32_t angle) {
  Box limits = Intersect(sr, SourceLimits(src, mask));
  if (limits.Empty()) return 0;
  if (mirrorX != mirrorY) angle = (2048 - angle) & 2047;
  const int32_t* sine = SineTable();
  int64_t sin = sine[angle], cos = sine[angle + 512];
  int64_t w = dr.Width(), h = dr.Height(), sw = sr.Width(), sh = sr.Height();
  // The bounding box of the turned rectangle, centred on its centre.
  int64_t boxW = (std::abs(sin) * h + w * std::abs(cos) + 0x8000) >> 16;
  int64_t boxH = (std::abs(cos) * h + w * std::abs(sin) + 0x8000) >> 16;
  int64_t boxLeft = (dr.left + dr.right) / 2 - boxW / 2, boxTop = (dr.top + dr.bottom) / 2 - boxH / 2;
  Box box = Intersect({boxLeft, boxTop, boxLeft + boxW, boxTop + boxH}, DestinationClip(dst));
  if (box.Empty()) return 0;
  BlitLoop loop = mask ? FindLoop(kRotatedMaskedLoops.data(), kFirstMaskedMode, p.mode, src.depth, dst.depth)
                       : FindLoop(kRotatedLoops.data(), 0, p.mode, src.depth, dst.depth);
  if (!loop) return 1;
  JobData data;
  SetUpSpace(data, dst, src, p, false);
  BlitJob& job = data.job;
  // The inverse turn, scaled to the source: 16.16 source steps per
  // destination column and row; a mirrored axis runs backwards. A positive
  // angle turns the picture anticlockwise on the page, the same way sprite
  // placement turns a child about its parent.
  job.columnDx = cos * sw / w * (mirrorX ? -1 : 1);
  job.columnDy = sin * sh / h * (mirrorY ? -1 : 1);
  job.rowDx = -sin * sw / w * (mirrorX ? -1 : 1);
  job.rowDy = cos * sh / h * (mirrorY ? -1 : 1);
  // Pixel centres: the box's centre maps to the source rectangle's centre.
  __int128 bx = 2 * (box.left - boxLeft) + 1 - boxW, by = 2 * (box.top - boxTop) + 1 - boxH;
  job.startX = ((__int128(sr.left) << 17) + __int128(sw) * 65536 + bx * job.columnDx + by * job.rowDx) >> 1;
  job.startY = ((__int128(sr.top) << 17) + __int128(sh) * 65536 + bx * job.columnDy + by * job.rowDy) >> 1;
  job.limitLeft = int32_t(limits.left);
  job.limitTop = int32_t(limits.top);
  job.limitRight = int32_t(limits.right);
  job.limitBottom = int32_t(limits.bottom);
  job.dst = dst.Row(int32_t(box.top)) + box.left * (dst.depth / 8);
  job.dstRowStep = -ptrdiff_t(dst.pitch);
  job.width = int32_t(box.Width());
  job.height = int32_t(box.Height());
  return Draw(loop, data, dst, src, mask, job.limitTop, job.limitBottom);
}

bool EnsureTables() { return BlendTables().scale || BuildBlendTables(); }

// Planes and parameters every blit checks first; -1 to go on.
int32_t Check(int32_t dstSlot, int32_t srcSlot, BlitParams& p, Plane*& dst, Plane*& src) {
  dst = PlaneAt(dstSlot);
  src = PlaneAt(srcSlot);
  if (!Drawable(dst) || !Drawable(src) || p.mode >= kBlendModes || !EnsureTables()) return 0;
  return PrepareMode(p);
}

// The unscaled copy's direct paths: the result, or -1 to go through the loops.
int32_t CopyDirect(const Plane& dst, const Plane& src, const Plane* mask, const BlitParams& p, int64_t dstX,
                   int64_t dstY, int64_t srcX, int64_t srcY, int64_t width, int64_t height) {
  CopyArea area{&dst,
                &src,
                mask,
                nullptr,
                0,
                nullptr,
                0,
                int32_t(dstX),
                int32_t(dstY),
                int32_t(srcX),
                int32_t(srcY),
                int32_t(width),
                int32_t(height)};
  JobData data;
  if (!SetUpSource(data, dst, src, mask, int32_t(srcY), int32_t(srcY + height))) return 0;
  area.srcRow0 = data.job.srcRow0;
  area.srcRowStep = data.job.srcRowStep;
  area.maskRow0 = data.job.maskRow0;
  area.maskRowStep = data.job.maskRowStep;
  if (TheConfig().mmx && HandOffToPixelOps(area, p)) return 1;
  if (p.mode != 0) return -1;
  CopyConverted(area);
  return 1;
}

}  // namespace

int32_t CopyPlane(int32_t dstSlot, int32_t x, int32_t y, int32_t srcSlot, const Rect* srcRect,
                  const BlitParams& params) noexcept {
  BlitParams p = params;
  Plane *dst, *src;
  if (int32_t refused = Check(dstSlot, srcSlot, p, dst, src); refused >= 0) return refused;
  Box sr = srcRect ? Widen(*srcRect) : Whole(*src);
  if (sr.Empty()) return 0;
  const Plane* mask = MaskPlane(srcSlot, p.mode);
  Box dr{x, y, x + sr.Width(), y + sr.Height()};
  // Common pairs of modes 0 .. 9 and 11 .. 18 run directly: mode 0 between
  // any depths, the others between equal depths or 24 and 32 bits, where 16
  // bits blend on the 5-bit fields themselves.
  bool mapped = dst->depth == 8 && ColorMapping().load() != 0;
  bool pair = src->depth == dst->depth || (src->depth >= 24 && dst->depth >= 24);
  bool direct = p.mode != 10 && p.mode <= 18 && !mapped && (p.mode == 0 || pair);
  if (direct) {
    Box limits = SourceLimits(*src, mask), clip = DestinationClip(*dst);
    int64_t left = std::max({clip.left, dr.left, dr.left + limits.left - sr.left});
    int64_t top = std::max({clip.top, dr.top, dr.top + limits.top - sr.top});
    int64_t right = std::min({clip.right, dr.right, dr.left + limits.right - sr.left});
    int64_t bottom = std::min({clip.bottom, dr.bottom, dr.top + limits.bottom - sr.top});
    if (right <= left || bottom <= top) return 0;
    int32_t result = CopyDirect(*dst, *src, mask, p, left, top, sr.left + left - dr.left,
                                sr.top + top - dr.top, right - left, bottom - top);
    if (result >= 0) return result;
  }
  return ScaledBlit(*dst, *src, mask, p, dr, sr, false, false, direct && dst->depth == 16);
}

int32_t BlitPlane(int32_t dstSlot, const Rect* dstRect, int32_t srcSlot, const Rect* srcRect,
                  const BlitParams& params, int32_t angle) noexcept {
  BlitParams p = params;
  Plane *dst, *src;
  if (int32_t refused = Check(dstSlot, srcSlot, p, dst, src); refused >= 0) return refused;
  Box dr = dstRect ? Widen(*dstRect) : Whole(*dst), sr = srcRect ? Widen(*srcRect) : Whole(*src);
  bool mirrorX = false, mirrorY = false;
  Normalise(dr, mirrorX, mirrorY);
  Normalise(sr, mirrorX, mirrorY);
  if (dr.Empty() || sr.Empty()) return 0;
  const Plane* mask = MaskPlane(srcSlot, p.mode);
  angle &= 2047;
  if (angle != 0) return RotatedBlit(*dst, *src, mask, p, dr, sr, mirrorX, mirrorY, angle);
  return ScaledBlit(*dst, *src, mask, p, dr, sr, mirrorX, mirrorY, false);
}

namespace {

// A rectangle argument: null for address 0, false when not live memory.
bool ReadRect(Addr address, Rect& rect, const Rect*& out) {
  out = nullptr;
  if (address == 0) return true;
  if (!TheArena().Read(address, rect)) return false;
  out = &rect;
  return true;
}

}  // namespace

// gcopy(destination, x, y, source, source rectangle or 0, parameters or 0)
int32_t Native_gcopy(Addr args) {
  BlitParams params;
  Rect rect;
  const Rect* srcRect;
  if (!ReadBlitParams(ArgAddr(args, 5), params) || !ReadRect(ArgAddr(args, 4), rect, srcRect)) return 0;
  return CopyPlane(Arg(args, 0), Arg(args, 1), Arg(args, 2), Arg(args, 3), srcRect, params);
}

// gblit(destination, destination rectangle or 0, source, source rectangle or 0, parameters or 0, angle)
int32_t Native_gblit(Addr args) {
  BlitParams params;
  Rect dstRect, srcRect;
  const Rect *dst, *src;
  if (!ReadBlitParams(ArgAddr(args, 4), params) || !ReadRect(ArgAddr(args, 1), dstRect, dst) ||
      !ReadRect(ArgAddr(args, 3), srcRect, src))
    return 0;
  return BlitPlane(Arg(args, 0), dst, Arg(args, 2), src, params, Arg(args, 5));
}

}  // namespace qavz
