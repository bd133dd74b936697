// Rectangle records in script memory: left, top, right, bottom, with right
// and bottom exclusive. A zero or dead address makes a native return 0 and
// change nothing. Coordinates wrap at 32 bits.
#include <algorithm>

#include "vm/native_table.h"

namespace qavz {

namespace {

struct Rect {
  int32_t left, top, right, bottom;
};
static_assert(sizeof(Rect) == 16);

bool Load(Addr a, Rect& r) noexcept { return a != 0 && TheArena().Read(a, r); }
bool Store(Addr a, const Rect& r) noexcept { return a != 0 && TheArena().Write(a, r); }
bool Empty(const Rect& r) noexcept { return r.right <= r.left || r.bottom <= r.top; }
int32_t Add(int32_t a, int32_t b) noexcept { return int32_t(uint32_t(a) + uint32_t(b)); }
int32_t Sub(int32_t a, int32_t b) noexcept { return int32_t(uint32_t(a) - uint32_t(b)); }

}  // namespace

int32_t Native_rc_empty(Addr args) { return Store(ArgAddr(args, 0), Rect{}) ? 1 : 0; }

int32_t Native_rc_set(Addr args) {
  Rect r{Arg(args, 1), Arg(args, 2), Arg(args, 3), Arg(args, 4)};
  return Store(ArgAddr(args, 0), r) ? 1 : 0;
}

int32_t Native_rc_setwh(Addr args) {
  int32_t x = Arg(args, 1), y = Arg(args, 2);
  Rect r{x, y, Add(x, Arg(args, 3)), Add(y, Arg(args, 4))};
  return Store(ArgAddr(args, 0), r) ? 1 : 0;
}

int32_t Native_rc_copy(Addr args) {
  Rect r;
  Addr dst = ArgAddr(args, 0);
  if (dst == 0 || !TheArena().Live(dst, sizeof r) || !Load(ArgAddr(args, 1), r)) return 0;
  return Store(dst, r) ? 1 : 0;
}

int32_t Native_rc_move(Addr args) {
  Rect r;
  Addr a = ArgAddr(args, 0);
  if (!Load(a, r)) return 0;
  int32_t dx = Arg(args, 1), dy = Arg(args, 2);
  r = Rect{Add(r.left, dx), Add(r.top, dy), Add(r.right, dx), Add(r.bottom, dy)};
  return Store(a, r) ? 1 : 0;
}

// rc_intersect: dst, a, b. No overlap gives an all-zero dst and 0.
int32_t Native_rc_intersect(Addr args) {
  Rect a, b;
  Addr dst = ArgAddr(args, 0);
  if (dst == 0 || !TheArena().Live(dst, sizeof a) || !Load(ArgAddr(args, 1), a) || !Load(ArgAddr(args, 2), b))
    return 0;
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (Empty(a) || Empty(b) || Empty(r)) {
    Store(dst, Rect{});
    return 0;
  }
  return Store(dst, r) ? 1 : 0;
}

// rc_union: dst, a, b. Empty operands are ignored; both empty give zeros and 0.
int32_t Native_rc_union(Addr args) {
  Rect a, b;
  Addr dst = ArgAddr(args, 0);
  if (dst == 0 || !TheArena().Live(dst, sizeof a) || !Load(ArgAddr(args, 1), a) || !Load(ArgAddr(args, 2), b))
    return 0;
  bool emptyA = Empty(a), emptyB = Empty(b);
  if (emptyA && emptyB) {
    Store(dst, Rect{});
    return 0;
  }
  Rect r = emptyA   ? b
           : emptyB ? a
                    : Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                           std::max(a.bottom, b.bottom)};
  return Store(dst, r) ? 1 : 0;
}

int32_t Native_rc_inflate(Addr args) {
  Rect r;
  Addr a = ArgAddr(args, 0);
  if (!Load(a, r)) return 0;
  int32_t dx = Arg(args, 1), dy = Arg(args, 2);
  r = Rect{Sub(r.left, dx), Sub(r.top, dy), Add(r.right, dx), Add(r.bottom, dy)};
  return Store(a, r) ? 1 : 0;
}

int32_t Native_rc_in(Addr args) {
  Rect r;
  if (!Load(ArgAddr(args, 0), r)) return 0;
  int32_t x = Arg(args, 1), y = Arg(args, 2);
  return (x >= r.left && x < r.right && y >= r.top && y < r.bottom) ? 1 : 0;
}

int32_t Native_rc_check(Addr args) {
  Rect r;
  if (!Load(ArgAddr(args, 0), r)) return 0;
  return Empty(r) ? 1 : 0;
}

}  // namespace qavz
