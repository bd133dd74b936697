// Planes and native calls for the filter and effect tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "graphics/filter_support.h"
#include "graphics/plane.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz::test {

// A plane in `slot` whose bytes follow a fixed pseudo-random sequence.
inline Plane* NoisyPlane(int32_t slot, int32_t width, int32_t height, int32_t depth, uint32_t seed = 1) {
  Plane* plane = CreatePlane(slot, width, height, depth);
  EXPECT_NE(plane, nullptr);
  if (!plane) return nullptr;
  for (size_t i = 0; i < plane->ImageBytes(); ++i) {
    seed = seed * 1103515245u + 12345u;
    plane->host[i] = uint8_t(seed >> 23);
  }
  return plane;
}

inline uint32_t Get(const Plane* p, int32_t x, int32_t y) {
  return LoadPixel(p->Pixel(x, y), p->BytesPerPixel());
}
inline void Set(Plane* p, int32_t x, int32_t y, uint32_t v) {
  StorePixel(p->Pixel(x, y), p->BytesPerPixel(), v);
}

// The picture as rows of pixel values, top row first.
using Picture = std::vector<std::vector<uint32_t>>;
inline Picture Pixels(const Plane* p) {
  Picture out(size_t(p->height), std::vector<uint32_t>(size_t(p->width)));
  for (int32_t y = 0; y < p->height; ++y)
    for (int32_t x = 0; x < p->width; ++x) out[size_t(y)][size_t(x)] = Get(p, x, y);
  return out;
}

// Calls a native with the argument words laid out in script memory.
class NativeCalls {
 public:
  int32_t Call(NativeFunction handler, std::initializer_list<int32_t> words) {
    return handler(memory_.Args(words));
  }
  // A rectangle (or any words) in script memory; its address.
  int32_t Words(std::initializer_list<int32_t> words) { return int32_t(memory_.Args(words)); }

 private:
  ScriptMemory memory_;
};

// Frees the planes a test made.
class PlaneTest : public testing::Test {
 protected:
  void TearDown() override {
    for (int32_t slot = 0; slot < kPlaneSlots; ++slot) FreePlane(slot);
  }
  NativeCalls calls_;
};

}  // namespace qavz::test
