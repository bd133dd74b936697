#include "vm/system_variables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/config.h"
#include "vm/arena.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

// Builds the argument block of a getsystem/setsystem call in script memory.
class SystemVariables : public ::testing::Test {
 protected:
  void SetUp() override {
    block_ = TheArena().Alloc(256);
    ASSERT_NE(block_, 0u);
    savedPause_ = TheConfig().pause;
  }
  void TearDown() override {
    TheArena().Free(block_);
    TheConfig().pause = savedPause_;
    SetScreenInfoSource(nullptr);
    SetFullScreenHooks(nullptr, nullptr);
    SetSpriteCountSource(nullptr);
    ColorMapping().store(0);
  }
  Addr Args(const char* name, int32_t value = 0) {
    Addr text = block_ + 64;
    TheArena().WriteString(text, name, std::strlen(name));
    TheArena().Write<uint32_t>(block_, text);
    TheArena().Write<int32_t>(block_ + 4, value);
    return block_;
  }
  int32_t Get(const char* name) { return Native_getsystem(Args(name)); }
  int32_t Set(const char* name, int32_t value) { return Native_setsystem(Args(name, value)); }

  Addr block_ = 0;
  int32_t savedPause_ = 1;
};

TEST_F(SystemVariables, NamesInTableOrder) {
  const char* expected[] = {"fullscreen", "width",       "height",        "depth",    "cpu_clock",
                            "cpu_vender", "cpu_support", "os_platform",   "os_major", "os_minor",
                            "os_build",   "pause",       "color_mapping", "sp_count"};
  for (int i = 0; i < kSystemVariableCount; ++i) {
    EXPECT_STREQ(kSystemVariableNames[i], expected[i]);
    EXPECT_EQ(FindSystemVariable(expected[i]), i);
  }
}

TEST_F(SystemVariables, LookupIgnoresCaseAndRefusesOtherNames) {
  static int32_t mode = 1;
  SetFullScreenHooks([] { return mode; }, nullptr);
  EXPECT_EQ(Get("FULLSCREEN"), 1);
  EXPECT_EQ(Get("FullScreen"), Get("fullscreen"));
  EXPECT_EQ(Get("Width"), 640);
  for (const char* name : {"fullscreen2", "full", "", "width ", "sp_count_"}) {
    EXPECT_EQ(Get(name), 0) << name;
    EXPECT_EQ(Set(name, 1), 0) << name;
  }
  TheArena().Write<uint32_t>(block_, 0);
  EXPECT_EQ(Native_getsystem(block_), 0) << "null name";
  TheArena().Write<uint32_t>(block_, 0x100);
  EXPECT_EQ(Native_setsystem(block_), 0) << "name outside live memory";
  EXPECT_EQ(Native_getsystem(0xFFFFFFF0u), 0) << "argument block outside live memory";
}

TEST_F(SystemVariables, ScreenComesFromTheInstalledSource) {
  EXPECT_EQ(Get("height"), 480);
  EXPECT_EQ(Get("depth"), 24);
  SetScreenInfoSource([] { return ScreenInfo{1920, 1080, 32}; });
  EXPECT_EQ(Get("width"), 1920);
  EXPECT_EQ(Get("height"), 1080);
  EXPECT_EQ(Get("depth"), 32);
}

TEST_F(SystemVariables, OnlyPauseColorMappingAndFullscreenCanBeSet) {
  SetScreenInfoSource([] { return ScreenInfo{1024, 768, 16}; });
  EXPECT_EQ(Set("width", 800), 0);
  EXPECT_EQ(Get("width"), 1024);
  for (const char* name : {"height", "depth", "cpu_vender", "os_major", "sp_count"})
    EXPECT_EQ(Set(name, 5), 0);
  TheConfig().pause = 1;
  EXPECT_EQ(Set("pause", 0), 1);
  EXPECT_EQ(TheConfig().pause, 0) << "the pause-on-deactivation setting itself";
  EXPECT_EQ(Get("PAUSE"), 0);
  EXPECT_EQ(Get("color_mapping"), 0);
  EXPECT_EQ(Set("color_mapping", 3), 1);
  EXPECT_EQ(ColorMapping().load(), 3);
  EXPECT_EQ(Get("color_mapping"), 3);
}

TEST_F(SystemVariables, FullscreenSwitchesOnlyOnAChange) {
  static int32_t mode = 0;
  static int32_t switches = 0;
  SetFullScreenHooks([] { return mode; },
                     [](int32_t to) {
                       ++switches;
                       mode = to;
                       return int32_t(7);
                     });
  EXPECT_EQ(Set("fullscreen", 0), 0);
  EXPECT_EQ(switches, 0);
  EXPECT_EQ(Set("fullscreen", 1), 7) << "the switch's own result";
  EXPECT_EQ(switches, 1);
  EXPECT_EQ(Get("fullscreen"), 1);
  EXPECT_EQ(Set("fullscreen", 1), 0);
}

TEST_F(SystemVariables, SpriteCountFromTheSpriteSystem) {
  EXPECT_EQ(Get("sp_count"), 0);
  SetSpriteCountSource([] { return int32_t(12); });
  EXPECT_EQ(Get("sp_count"), 12);
}

TEST_F(SystemVariables, ProcessorAndSystemValuesUseTheirEncodings) {
  int32_t vendor = Get("cpu_vender");
  EXPECT_GE(vendor, 0);
  EXPECT_LE(vendor, 5);
#if defined(__x86_64__)
  EXPECT_NE(Get("cpu_support"), 0);
  EXPECT_TRUE(Get("cpu_support") & (1 << 4)) << "x86-64 always has the time-stamp counter";
#endif
  EXPECT_EQ(Get("os_platform"), 2);
  EXPECT_GT(Get("os_major"), 0);
  EXPECT_GE(Get("os_minor"), 0);
}

TEST_F(SystemVariables, CpuClockCountsCyclesOverOneSecond) {
#if defined(__x86_64__)
  EXPECT_NE(Get("cpu_clock"), 0);
#else
  GTEST_SKIP() << "no time-stamp counter here";
#endif
}

}  // namespace
}  // namespace qavz
