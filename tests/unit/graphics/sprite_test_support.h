// Shared set-up for the sprite tests: a 32-bit page as plane 0, a patterned
// background as plane 1, solid images, and the records read where scripts
// read them.
#pragma once

#include <cstring>

#include "graphics/pages.h"
#include "graphics/sprite_pool.h"
#include "tests/unit/graphics/plane_test_support.h"

namespace qavz::test {

constexpr int32_t kPageW = 96, kPageH = 64;
constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00;

// The background's colour at a page pixel: distinct from every image colour.
inline uint32_t BackgroundColour(int32_t x, int32_t y) {
  return 0x010000u * uint32_t(x) + 0x000100u * uint32_t(y) + 7;
}

class SpriteTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    ResetSprites();
    MakePlane(0, kPageW, kPageH, 32);
    Plane& bg = MakePlane(1, kPageW, kPageH, 32);
    for (int32_t y = 0; y < kPageH; ++y)
      for (int32_t x = 0; x < kPageW; ++x) Put(bg, x, y, BackgroundColour(x, y));
    Display().activePage.store(0);
    Display().viewPage.store(0);
  }
  void TearDown() override {
    ResetSprites();
    GraphicsTest::TearDown();
  }

  static void Put(Plane& p, int32_t x, int32_t y, uint32_t c) {
    uint32_t v = c | 0xFF000000u;
    std::memcpy(p.Pixel(x, y), &v, 4);
  }
  static uint32_t Get(const Plane& p, int32_t x, int32_t y) {
    uint32_t v;
    std::memcpy(&v, p.Pixel(x, y), 4);
    return v & 0xFFFFFF;
  }
  uint32_t PageAt(int32_t x, int32_t y) { return Get(*PlaneAt(0), x, y); }

  // A solid opaque image of the given size in `slot`.
  Plane& Image(int32_t slot, int32_t w, int32_t h, uint32_t colour) {
    Plane& p = MakePlane(slot, w, h, 32);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) Put(p, x, y, colour);
    return p;
  }

  Addr Set(int32_t layer, int32_t x, int32_t y, int32_t plane, Addr rect = 0, Addr params = 0,
           int32_t kind = 2) {
    return Addr(Call(Native_sp_set, {layer, kind, x, y, plane, At(rect), At(params)}));
  }
  Addr RectArgs(int32_t l, int32_t t, int32_t r, int32_t b) { return memory_.Args({l, t, r, b}); }
  SpriteRecord& Rec(Addr a) {
    return *reinterpret_cast<SpriteRecord*>(TheArena().Span(a, sizeof(SpriteRecord)));
  }
  HitRecord& Hit(Addr a) { return *reinterpret_cast<HitRecord*>(TheArena().Span(a, sizeof(HitRecord))); }

  // sp_draw of the layers; the updated rectangle it returns.
  Rect Draw(uint32_t mask = 0xFFFFFFFFu, int32_t* result = nullptr) {
    Addr out = memory_.Args({-1, -1, -1, -1});
    int32_t r = Call(Native_sp_draw, {int32_t(mask), At(out)});
    if (result) *result = r;
    return Rect{memory_.WordAt(out), memory_.WordAt(out + 4), memory_.WordAt(out + 8),
                memory_.WordAt(out + 12)};
  }
  Rect Placed(Addr sprite) {
    Addr out = memory_.Args({0, 0, 0, 0});
    EXPECT_EQ(Call(Native_sp_rect, {At(sprite), At(out)}), 1);
    return Rect{memory_.WordAt(out), memory_.WordAt(out + 4), memory_.WordAt(out + 8),
                memory_.WordAt(out + 12)};
  }
  void Move(Addr sprite, int32_t x, int32_t y) {
    Rec(sprite).x = x;
    Rec(sprite).y = y;
    Rec(sprite).flags |= 1;
  }

  // Counts page pixels of a colour inside a rectangle.
  int Count(uint32_t colour, Rect r = Rect{0, 0, kPageW, kPageH}) {
    int n = 0;
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x) n += PageAt(x, y) == colour;
    return n;
  }
  // True when every page pixel outside the rectangles shows the background.
  bool BackgroundOutside(std::initializer_list<Rect> covered) {
    for (int32_t y = 0; y < kPageH; ++y)
      for (int32_t x = 0; x < kPageW; ++x) {
        bool inside = false;
        for (const Rect& r : covered) inside |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        if (!inside && PageAt(x, y) != BackgroundColour(x, y)) return false;
      }
    return true;
  }
};

}  // namespace qavz::test

namespace qavz {
inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
}  // namespace qavz
