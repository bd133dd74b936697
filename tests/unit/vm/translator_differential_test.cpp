// The differential fuzzer's check over fixed pseudo-random programs, so
// every test run compares the translated code with the interpreter.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "core/config.h"
#include "core/report_error.h"
#include "tests/support/differential_machine.h"

namespace qavz::test {
namespace {

class TranslatorDifferential : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    SetErrorLevel(0);
    SetTrapHandler(&DifferentialTrap);
    StopFlag().store(0);
  }
  void TearDown() override {
    SetTrapHandler(&DispatchNative);
    StopFlag().store(0);
    TheConfig().debugMode = 0;
  }
};

TEST_P(TranslatorDifferential, AgreesWithTheInterpreter) {
  std::mt19937 random(uint32_t(GetParam()) * 7919u + 1);
  for (int k = 0; k < 1000; ++k) {
    std::vector<uint8_t> bytes(64 + random() % 1500);
    for (uint8_t& b : bytes) b = uint8_t(random());
    TheConfig().debugMode = bytes[0] >> 7;
    ByteSource in(bytes.data() + 1, bytes.size() - 1);
    DifferentialRun run;
    if (!run.Build(in)) continue;
    std::string difference = run.Compare();
    ASSERT_EQ(difference, "") << "seed " << GetParam() << " program " << k << "\n" << run.Listing();
  }
}

// 16 seeds of 1,000 programs each; QAVZ_DIFFERENTIAL_SEEDS asks for more.
int SeedCount() {
  const char* v = std::getenv("QAVZ_DIFFERENTIAL_SEEDS");
  int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 16;
}

INSTANTIATE_TEST_SUITE_P(Seeds, TranslatorDifferential, ::testing::Range(0, SeedCount()));

}  // namespace
}  // namespace qavz::test
