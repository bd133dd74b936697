#include <gtest/gtest.h>

#include <random>

#include "core/math_tables.h"
#include "core/service_hooks.h"
#include "stdlib/time_base.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

using test::ScriptMemory;

int32_t Call1(int32_t (*native)(Addr), int32_t a) {
  ScriptMemory m(4096);
  return native(m.Args({a}));
}
int32_t Call2(int32_t (*native)(Addr), int32_t a, int32_t b) {
  ScriptMemory m(4096);
  return native(m.Args({a, b}));
}

TEST(Trigonometry, SineAndCosineSamples) {
  BuildMathTables();
  EXPECT_EQ(Call1(Native_sin, 0), 0);
  EXPECT_EQ(Call1(Native_sin, 512), 65536);
  EXPECT_EQ(Call1(Native_sin, 1024), 0);
  EXPECT_EQ(Call1(Native_sin, 1536), -65536);
  EXPECT_EQ(Call1(Native_sin, 256), 46340);
  EXPECT_EQ(Call1(Native_sin, -256), -46340);
  EXPECT_EQ(Call1(Native_cos, 0), 65536);
  EXPECT_EQ(Call1(Native_cos, 1024), -65536);
  EXPECT_EQ(Call1(Native_sin, 2048), Call1(Native_sin, 0));
  EXPECT_EQ(Call1(Native_sin, -1), Call1(Native_sin, 2047));
  EXPECT_EQ(Call1(Native_cos, INT32_MAX), Call1(Native_sin, (INT32_MAX & 2047) + 512));
}

struct AtanCase {
  int32_t x, y, angle;
};
class AtanTest : public testing::TestWithParam<AtanCase> {};
TEST_P(AtanTest, GivesTheVectorAngle) {
  EXPECT_EQ(Call2(Native_atan, GetParam().x, GetParam().y), GetParam().angle);
}
INSTANTIATE_TEST_SUITE_P(Samples, AtanTest,
                         testing::Values(AtanCase{0, 0, 0}, AtanCase{1, 0, 0}, AtanCase{0, 1, 512},
                                         AtanCase{-1, 0, 1024}, AtanCase{0, -1, 1536}, AtanCase{5, 5, 256},
                                         AtanCase{-5, -5, 1280}, AtanCase{-5, 5, 768}, AtanCase{5, -5, 1792},
                                         AtanCase{INT32_MIN, INT32_MIN, 1280}, AtanCase{100, 1, 2}));

TEST(Arithmetic, SqrtLogAbsSgn) {
  EXPECT_EQ(Call1(Native_sqrt, 4 * 65536), 2 * 65536);
  EXPECT_EQ(Call1(Native_sqrt, 2 * 65536), 92681);  // 1.41421 in 16.16
  EXPECT_EQ(Call1(Native_sqrt, 0), 0);
  EXPECT_EQ(Call1(Native_sqrt, -65536), 0);
  EXPECT_EQ(Call1(Native_log, 65536), 0);
  EXPECT_EQ(Call1(Native_log, 2 * 65536), 45426);  // ln 2
  EXPECT_EQ(Call1(Native_log, 1), -726817);        // ln(1/65536)
  EXPECT_EQ(Call1(Native_log, 0), 0);
  EXPECT_EQ(Call1(Native_log, -5), 0);
  EXPECT_EQ(Call1(Native_abs, -7), 7);
  EXPECT_EQ(Call1(Native_abs, INT32_MIN), INT32_MIN);
  EXPECT_EQ(Call1(Native_sgn, -7), -1);
  EXPECT_EQ(Call1(Native_sgn, 0), 0);
  EXPECT_EQ(Call1(Native_sgn, 9), 1);
}

TEST(Bezier, EndPointsAndSegments) {
  ScriptMemory m;
  Addr pts = m.Args({10, 20, 30, 80, 70, -40, 100, 60});
  Addr out = m.Buffer(8 * 5, 0xEE);
  ASSERT_EQ(Native_bezier(m.Args({int32_t(pts), int32_t(out), 2})), 1);
  EXPECT_EQ(m.WordAt(out), 10);
  EXPECT_EQ(m.WordAt(out + 4), 20);
  EXPECT_EQ(m.WordAt(out + 8), 100);
  EXPECT_EQ(m.WordAt(out + 12), 60);
  EXPECT_EQ(m.WordAt(out + 16), int32_t(0xEEEEEEEE)) << "only count points are written";

  // A straight line: points land on the thirds.
  Addr line = m.Args({0, 0, 30, 300, 60, 600, 90, 900});
  ASSERT_EQ(Native_bezier(m.Args({int32_t(line), int32_t(out), 4})), 1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(m.WordAt(out + 8 * i), 30 * i);
    EXPECT_EQ(m.WordAt(out + 8 * i + 4), 300 * i);
  }
  ASSERT_EQ(Native_bezier(m.Args({int32_t(pts), int32_t(out), 0})), 1);
  EXPECT_EQ(m.WordAt(out), 10);
  EXPECT_EQ(Native_bezier(m.Args({int32_t(pts), int32_t(m.Tail(8)), 2})), 0) << "output past live memory";
  EXPECT_EQ(Native_bezier(m.Args({0, int32_t(out), 2})), 0);
}

TEST(Random, SgenrandSequence) {
  ScriptMemory m(4096);
  // The 1998 reference output for sgenrand(4357), top bit cleared.
  Native_srand(m.Args({4357}));
  // (As reals: 0.66757648 0.36908196 0.72483593 ...)
  const uint32_t reference[] = {2867219139u, 1585203162u, 3113124129u, 2953900839u, 2463794868u};
  for (uint32_t r : reference) EXPECT_EQ(Native_rand(0), int32_t(r & 0x7FFFFFFF));

  Native_srand(m.Args({1}));
  int32_t first[8];
  for (int32_t& v : first) v = Native_rand(0);
  Native_srand(m.Args({1}));
  for (int32_t v : first) EXPECT_EQ(Native_rand(0), v);

  Native_srand(m.Args({5489}));
  std::mt19937 standard;  // init_genrand(5489)
  EXPECT_NE(uint32_t(Native_rand(0)), standard() & 0x7FFFFFFFu);
  for (int i = 0; i < 2000; ++i) EXPECT_GE(Native_rand(0), 0);
}

uint32_t gFakeNow = 0;
uint32_t FakeClock() noexcept { return gFakeNow; }

class TimeBaseTest : public testing::Test {
 protected:
  void SetUp() override {
    gFakeNow = 5000;
    SetClockForTesting(FakeClock);
    ResetTimeBase();
  }
  void TearDown() override {
    ResetTimeBase();
    SetClockForTesting(nullptr);
  }
  ScriptMemory m{4096};
};

TEST_F(TimeBaseTest, CountersFreezeWhilePaused) {
  EXPECT_EQ(Native_setcount(m.Args({3, 1000})), 1);
  EXPECT_EQ(Native_getcount(m.Args({3})), 1000);
  gFakeNow += 250;
  EXPECT_EQ(Native_getcount(m.Args({3})), 1250);
  PauseTimeBase(true);
  PauseTimeBase(true);  // nested
  gFakeNow += 10000;
  EXPECT_EQ(Native_getcount(m.Args({3})), 1250);
  PauseTimeBase(false);
  gFakeNow += 10000;
  EXPECT_EQ(Native_getcount(m.Args({3})), 1250) << "still paused until the outer resume";
  PauseTimeBase(false);
  PauseTimeBase(false);  // an extra resume does nothing
  gFakeNow += 40;
  EXPECT_EQ(Native_getcount(m.Args({3})), 1290);
}

TEST_F(TimeBaseTest, CounterIndicesOutsideTheTable) {
  EXPECT_EQ(Native_setcount(m.Args({256, 5})), 0);
  EXPECT_EQ(Native_setcount(m.Args({-1, 5})), 0);
  EXPECT_EQ(Native_getcount(m.Args({256})), 0);
  EXPECT_EQ(Native_setcount(m.Args({255, -7})), 1);
  EXPECT_EQ(Native_getcount(m.Args({255})), -7);
}

TEST_F(TimeBaseTest, FpsReportsTheLastCompleteSecond) {
  gFakeNow = 100000;
  EXPECT_EQ(Native_fps(0), 0);  // opens a window
  for (int i = 0; i < 30; ++i) {
    gFakeNow += 30;
    EXPECT_EQ(Native_fps(0), 0);
  }
  gFakeNow = 101000;
  EXPECT_EQ(Native_fps(0), 30);
  gFakeNow += 10;
  EXPECT_EQ(Native_fps(0), 30);
  PauseTimeBase(true);  // fps reads the raw clock
  gFakeNow = 102500;
  EXPECT_EQ(Native_fps(0), 1);
  PauseTimeBase(false);
}

TEST(Gettime, FillsEightFields) {
  ScriptMemory m(4096);
  Addr rec = m.Buffer(16, 0xFF);
  ASSERT_EQ(Native_gettime(m.Args({int32_t(rec)})), 1);
  uint16_t f[8];
  std::memcpy(f, m.Host(rec), 16);
  EXPECT_GE(f[0], 2020);
  EXPECT_TRUE(f[1] >= 1 && f[1] <= 12);
  EXPECT_LE(f[2], 6);
  EXPECT_TRUE(f[3] >= 1 && f[3] <= 31);
  EXPECT_LE(f[4], 23);
  EXPECT_LE(f[5], 59);
  EXPECT_LE(f[6], 60);
  EXPECT_LE(f[7], 999);
  EXPECT_EQ(Native_gettime(m.Args({0})), 0);
}

}  // namespace
}  // namespace qavz
