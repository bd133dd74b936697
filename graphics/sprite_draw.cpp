// sp_draw: brings the ActivePage up to date for some layers. Sprites that
// changed or left add their boxes to the dirty-rectangle list; sprites that
// stay but lie under such a box get the covered part as pending pieces; the
// dirty areas are restored from the background; then changed sprites are
// drawn whole and covered ones only in their pieces, layer by layer.
//
// A sprite whose pieces do not fit in the cell pool is not left with holes:
// its pieces are worked out again at its redraw from the listed rectangles,
// since they are exactly the part of its box that the list covers.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "graphics/blit.h"
#include "graphics/dirty_rects.h"
#include "graphics/pages.h"
#include "graphics/rect_grid.h"
#include "graphics/sprite_place.h"
#include "graphics/sprite_pool.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

struct DrawPass {
  int32_t pageSlot = 0;
  Plane* page = nullptr;
  Rect clip;
  uint32_t mask = 0;
  std::vector<SpriteRecord*> layers[kSpriteLayers];
  std::vector<bool> refused = std::vector<bool>(kSpriteRecords);   // placement refused: not drawn
  std::vector<bool> overflow = std::vector<bool>(kSpriteRecords);  // pieces beyond the cell pool
  // The sprites that may receive pending pieces: image sprites on the page
  // and unchanged when the draw starts. Whether one still qualifies is
  // checked when a box meets it.
  std::vector<SpriteRecord*> candidates;
  RectGrid candidateGrid;
  // The listed rectangles from `firstPieceRect` on are the ones that gave
  // pieces, indexed once a sprite needs its pieces worked out again.
  int firstPieceRect = 0;
  std::vector<Rect> pieceRects;
  RectGrid pieceGrid;
};

bool Changed(const SpriteRecord& s) { return (s.flags & kSpriteChanged) != 0; }

bool Candidate(const SpriteRecord& s) {
  return s.kind == kSpriteImage && (s.flags & kSpriteOnPage) && !Changed(s);
}

// Adds `piece` to the sprite's pending list so that the list never overlaps
// itself: a piece that meets an existing one is split into the parts around
// it (at most four), and each part goes on down the list. False when the
// cell pool ran out.
bool AddPiece(SpriteRecord& sprite, const Rect& piece) {
  struct Work {
    Rect rect;
    Addr cell;
  };
  SpriteState& state = Sprites();
  std::vector<Work> work{{piece, sprite.pending}};
  for (int budget = 16 * kDirtyCells; !work.empty() && budget > 0; --budget) {
    Work w = work.back();
    work.pop_back();
    const DirtyCell* cell = CellAt(w.cell);
    for (int steps = 0; cell && !RectsOverlap(w.rect, cell->rect); ++steps)
      cell = steps < kDirtyCells ? CellAt(cell->next) : nullptr;
    if (!cell) {
      if (state.cellsUsed == kDirtyCells) return false;
      DirtyCell& fresh = Pool()->cells[state.cellsUsed++];
      fresh.rect = w.rect;
      fresh.next = sprite.pending;
      sprite.pending = AddressOf(&fresh);
      continue;
    }
    const Rect& r = w.rect;
    const Rect& e = cell->rect;
    Addr next = cell->next;
    int32_t top = std::max(r.top, e.top), bottom = std::min(r.bottom, e.bottom);
    if (r.top < e.top) work.push_back({{r.left, r.top, r.right, e.top}, next});
    if (e.bottom < r.bottom) work.push_back({{r.left, e.bottom, r.right, r.bottom}, next});
    if (r.left < e.left) work.push_back({{r.left, top, e.left, bottom}, next});
    if (e.right < r.right) work.push_back({{e.right, top, r.right, bottom}, next});
  }
  return true;
}

// Gives every candidate under `area` the part it covers.
void GivePieces(DrawPass& pass, const Rect& area) {
  pass.candidateGrid.Near(area, [&](size_t i) {
    SpriteRecord* s = pass.candidates[i];
    if (!Candidate(*s) || !RectsOverlap(area, s->box)) return;
    Rect piece = Intersection(area, s->box);
    if (EmptyRect(piece)) return;
    size_t index = size_t(SpriteIndex(s));
    if (!pass.overflow[index] && !AddPiece(*s, piece)) pass.overflow[index] = true;
    s->flags |= kSpritePending;
  });
}

void AddDirty(DrawPass& pass, const Rect& box) { GivePieces(pass, AppendDirtyRect(box)); }

// The lists of the drawn layers, with each record in one list at most.
void CollectLists(DrawPass& pass, std::vector<bool>& seen) {
  for (int layer = 0; layer < kSpriteLayers; ++layer)
    if (pass.mask & (1u << layer)) pass.layers[layer] = LayerList(layer, seen);
}

// Pending lists start empty, and a changed sprite takes its descendants
// along, whichever layers they are in and wherever they are in the lists.
void MarkFamilies(DrawPass& pass) {
  for (auto& list : pass.layers)
    for (SpriteRecord* s : list) s->pending = 0;
  for (auto& list : pass.layers)
    for (SpriteRecord* s : list)
      if (Changed(*s) && s->chain != 0)
        for (SpriteRecord* d : Descendants(s)) d->flags |= 1;
}

void CollectSprite(DrawPass& pass, SpriteRecord& s) {
  SpriteState& state = Sprites();
  if (s.kind == kSpriteRemoving) {
    if (!(s.flags & kSpriteOnPage)) return;
    s.flags &= uint16_t(~(1u | kSpritePending | kSpriteOnPage));
    AddDirty(pass, s.box);
    state.updated = UnionRect(state.updated, s.box);
    return;
  }
  if (s.kind != kSpriteImage) return;
  bool onPage = (s.flags & kSpriteOnPage) != 0;
  if (onPage && !Changed(s)) return;
  Placement p;
  if (!PlaceSprite(s, p)) {  // links or layer refused: left as it is
    pass.refused[size_t(SpriteIndex(&s))] = true;
    return;
  }
  Rect old = s.box;
  StorePlacement(s, p);
  if (!onPage) {
    if (!RectsOverlap(s.box, pass.clip)) return;
    s.flags |= 1;
    AddDirty(pass, s.box);
    return;
  }
  if (!SameRect(old, s.box)) {
    AddDirty(pass, old);
    state.updated = UnionRect(state.updated, old);
  }
  AddDirty(pass, s.box);
}

void RestoreBackground(const DrawPass& pass) {
  const SpriteState& state = Sprites();
  const Plane* background = PlaneAt(state.background);
  if (!background) return;
  auto far = [](int32_t a, int32_t b) {
    return int32_t(std::clamp<int64_t>(int64_t(a) + b, INT32_MIN, INT32_MAX));
  };
  Rect from{state.backgroundX, state.backgroundY, far(state.backgroundX, background->width),
            far(state.backgroundY, background->height)};
  CopyDirtyRects(pass.pageSlot, pass.clip.left, pass.clip.top, state.background, &from);
}

void DrawSprite(const DrawPass& pass, const SpriteRecord& s) {
  BlitParams params;
  static_assert(sizeof params == sizeof s.params);
  std::memcpy(&params, s.params, sizeof params);
  Rect source = s.source;
  if (s.effScaleX == 0x10000 && s.effScaleY == 0x10000 && (s.effAngle & 2047) == 0 && !s.mirrorX &&
      !s.mirrorY) {
    CopyPlane(pass.pageSlot, s.box.left, s.box.top, s.plane, &source, params);
    return;
  }
  Rect dst = s.scaledBox;
  if (s.mirrorX) std::swap(dst.left, dst.right);
  if (s.mirrorY) std::swap(dst.top, dst.bottom);
  BlitPlane(pass.pageSlot, &dst, s.plane, &source, params, s.effAngle);
}

// The sprite drawn with the page clip narrowed to a piece.
void DrawPiece(const DrawPass& pass, const SpriteRecord& s, const Rect& piece) {
  if (!RectsOverlap(piece, pass.clip)) return;
  pass.page->clip = Intersection(piece, pass.clip);
  DrawSprite(pass, s);
  pass.page->clip = pass.clip;
}

// The part of `area` that the piece-giving rectangles cover, as disjoint
// rectangles: rows with the same spans are merged into bands.
std::vector<Rect> CoveredPieces(DrawPass& pass, const Rect& area) {
  if (pass.pieceRects.empty()) {
    for (int i = pass.firstPieceRect, n = DirtyRectCount(); i < n; ++i)
      pass.pieceRects.push_back(DirtyRectAt(i));
    pass.pieceGrid.Build(pass.clip, pass.pieceRects);
  }
  std::vector<Rect> near;
  pass.pieceGrid.Near(area, [&](size_t i) {
    Rect r = Intersection(pass.pieceRects[i], area);
    if (!EmptyRect(r)) near.push_back(r);
  });
  std::vector<Rect> done, open, row;
  int32_t rowY = 0;
  auto closeRow = [&] {
    bool same = open.size() == row.size();
    for (size_t i = 0; same && i < row.size(); ++i)
      same = open[i].left == row[i].left && open[i].right == row[i].right && open[i].bottom == rowY;
    if (same) {
      for (Rect& r : open) r.bottom = rowY + 1;
      return;
    }
    done.insert(done.end(), open.begin(), open.end());
    open = row;
  };
  SweepDirtySpans(area, std::move(near), [&](int32_t y, int32_t left, int32_t right) {
    if (!row.empty() && y != rowY) {
      closeRow();
      row.clear();
    }
    rowY = y;
    row.push_back(Rect{left, y, right, y + 1});
  });
  if (!row.empty()) closeRow();
  done.insert(done.end(), open.begin(), open.end());
  return done;
}

void DrawPieces(DrawPass& pass, const SpriteRecord& s) {
  if (pass.overflow[size_t(SpriteIndex(&s))]) {
    for (const Rect& piece : CoveredPieces(pass, Intersection(s.box, pass.clip))) DrawPiece(pass, s, piece);
    return;
  }
  const DirtyCell* cell = CellAt(s.pending);
  for (int steps = 0; cell && steps < kDirtyCells; ++steps, cell = CellAt(cell->next))
    DrawPiece(pass, s, cell->rect);
}

void RedrawSprite(DrawPass& pass, SpriteRecord& s) {
  SpriteState& state = Sprites();
  if ((s.flags & kSpriteRemoved) || pass.refused[size_t(SpriteIndex(&s))])
    return;  // removed ones are freed later
  if (s.kind == kSpriteImage && Changed(s)) {
    s.flags &= uint16_t(~(1u | kSpritePending | kSpriteOnPage));
    if (!RectsOverlap(s.box, pass.clip)) return;
    DrawSprite(pass, s);
    state.updated = UnionRect(state.updated, s.box);
    s.flags |= kSpriteOnPage;
  } else if (s.kind == kSpriteImage && (s.flags & kSpritePending)) {
    DrawPieces(pass, s);
    s.flags &= uint16_t(~(1u | kSpritePending));
  } else if (s.kind == kSpriteRemoving) {
    if (s.flags & kSpriteOnPage) state.updated = UnionRect(state.updated, s.box);
    s.flags &= uint16_t(~(1u | kSpritePending | kSpriteOnPage));
  }
}

// Every record marked removed goes, in the drawn layers or not.
void FreeRemoved() {
  SpritePool* pool = Pool();
  const SpriteState& state = Sprites();
  for (int i = 0; i < kSpriteRecords; ++i)
    if (state.spriteUsed[i] && (pool->sprites[i].flags & kSpriteRemoved)) FreeSprite(&pool->sprites[i]);
}

void StoreUpdatedArea(Addr at, const Rect& clip) {
  SpriteState& state = Sprites();
  Rect r = Intersection(state.updated, clip);
  if (EmptyRect(state.updated) || EmptyRect(r)) r = Rect{};
  state.updated = Rect{};
  if (at) TheArena().Write(at, r);
}

}  // namespace

int32_t Native_sp_draw(Addr args) {
  int32_t pageSlot = Display().activePage.load();
  Plane* page = PlaneAt(pageSlot);
  if (!page || !Pool()) return 0;
  DrawPass pass;
  pass.pageSlot = pageSlot;
  pass.page = page;
  pass.clip = page->clip;
  pass.mask = uint32_t(Arg(args, 0));
  std::vector<bool> seen(kSpriteRecords);
  CollectLists(pass, seen);
  MarkFamilies(pass);
  for (auto& list : pass.layers)
    for (SpriteRecord* s : list)
      if (Candidate(*s)) pass.candidates.push_back(s);
  std::vector<Rect> boxes;
  for (const SpriteRecord* s : pass.candidates) boxes.push_back(s->box);
  pass.candidateGrid.Build(pass.clip, boxes);

  SpriteState& state = Sprites();
  state.cellsUsed = 0;
  DropRestoredDirtyRects();
  // Areas listed since the last draw are restored too: what they cover
  // must be drawn again.
  pass.firstPieceRect = PlaneAt(state.background) ? 0 : DirtyRectCount();
  for (int i = pass.firstPieceRect, n = DirtyRectCount(); i < n; ++i) GivePieces(pass, DirtyRectAt(i));
  for (auto& list : pass.layers)
    for (SpriteRecord* s : list) CollectSprite(pass, *s);

  RestoreBackground(pass);
  MarkDirtyRectsRestored();
  for (auto& list : pass.layers)
    for (SpriteRecord* s : list) RedrawSprite(pass, *s);
  FreeRemoved();
  StoreUpdatedArea(ArgAddr(args, 1), pass.clip);
  return 1;
}

}  // namespace qavz
