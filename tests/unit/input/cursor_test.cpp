// The cursor natives on the null window: the shape, confinement to the part
// of a rectangle inside the client area, moving the pointer, and getpoint's
// page coordinates.
#include <gtest/gtest.h>

#include "core/config.h"
#include "host/main_window.h"
#include "host/message_queue.h"
#include "input/input_devices.h"
#include "platform/video.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

class Cursor : public testing::Test {
 protected:
  void SetUp() override {
    saved = TheConfig();
    TheConfig().width = 640;
    TheConfig().height = 480;
    // This thread stands in for the window thread the cursor belongs to.
    BindMainThread();
    SetMessageHandler(MainWindowProcedure);
    StartInput(InputBackEnd::kPlain, true);
  }
  void TearDown() override {
    StopInput();
    ShutMainQueue();
    TheConfig() = saved;
  }
  Addr Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return memory.Args({l, t, r, b}); }
  Config saved;
  test::ScriptMemory memory;
};

TEST_F(Cursor, ShapesZeroAndOneOnly) {
  EXPECT_EQ(Native_cur_set(memory.Args({0})), 1);
  EXPECT_EQ(platform::NullCursor().shape, platform::PointerShape::kHidden);
  EXPECT_EQ(Native_cur_set(memory.Args({2})), 0);
  EXPECT_EQ(platform::NullCursor().shape, platform::PointerShape::kHidden) << "unchanged";
  EXPECT_EQ(Native_cur_set(memory.Args({1})), 1);
  EXPECT_EQ(platform::NullCursor().shape, platform::PointerShape::kArrow);
}

struct ClipCase {
  int32_t left, top, right, bottom;
  bool clipped;
  platform::FrameBox box;
};

class Clipping : public Cursor, public testing::WithParamInterface<ClipCase> {};

TEST_P(Clipping, ToThePartInsideTheClientArea) {
  const ClipCase& c = GetParam();
  EXPECT_EQ(Native_cur_clip(memory.Args({int32_t(Rect(0, 0, 5, 5))})), 1);
  EXPECT_EQ(Native_cur_clip(memory.Args({int32_t(Rect(c.left, c.top, c.right, c.bottom))})), 1);
  platform::NullCursorRecord record = platform::NullCursor();
  EXPECT_EQ(record.clipped, c.clipped);
  if (c.clipped) {
    EXPECT_EQ(record.clip.left, c.box.left);
    EXPECT_EQ(record.clip.top, c.box.top);
    EXPECT_EQ(record.clip.right, c.box.right);
    EXPECT_EQ(record.clip.bottom, c.box.bottom);
  }
}

INSTANTIATE_TEST_SUITE_P(Rectangles, Clipping,
                         testing::Values(ClipCase{10, 20, 110, 220, true, {10, 20, 110, 220}},
                                         ClipCase{-50, -50, 100, 100, true, {0, 0, 100, 100}},
                                         ClipCase{600, 400, 900, 900, true, {600, 400, 640, 480}},
                                         ClipCase{700, 10, 800, 20, false, {}},  // right of the window
                                         ClipCase{10, 10, 10, 20, false, {}},    // empty
                                         ClipCase{50, 50, 10, 10, false, {}}));  // upside down

TEST_F(Cursor, NoRectangleFreesThePointer) {
  Native_cur_clip(memory.Args({int32_t(Rect(1, 1, 50, 50))}));
  EXPECT_TRUE(platform::NullCursor().clipped);
  EXPECT_EQ(Native_cur_clip(memory.Args({0})), 1);
  EXPECT_FALSE(platform::NullCursor().clipped);
}

TEST_F(Cursor, SetPosMovesThePointerInClientPixels) {
  EXPECT_EQ(Native_cur_setpos(memory.Args({-5, 700})), 1);
  EXPECT_EQ(platform::NullCursor().x, -5);
  EXPECT_EQ(platform::NullCursor().y, 700);
}

}  // namespace
}  // namespace qavz
