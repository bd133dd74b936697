// The differential fuzzer's check over fixed pseudo-random programs, so
// every test run compares the translated code with the interpreter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "core/config.h"
#include "core/report_error.h"
#include "tests/support/differential_machine.h"
#include "tests/support/random_program.h"

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

// Compiled random scripts: what the compiler really emits, with calls,
// frames and every load and store width.
TEST_P(TranslatorDifferential, AgreesOnCompiledPrograms) {
  std::mt19937 random(uint32_t(GetParam()) * 104729u + 3);
  std::string path =
      (std::filesystem::temp_directory_path() /
       ("qavz_differential_" + std::to_string(::getpid()) + "_" + std::to_string(GetParam()) + ".c"))
          .string();
  int compiled = 0;
  const int programs = 40;
  for (int k = 0; k < programs; ++k) {
    std::vector<uint8_t> bytes(100 + random() % 1500);
    for (uint8_t& b : bytes) b = uint8_t(random());
    ByteSource text(bytes.data(), bytes.size());
    std::string source = ProgramWriter(text).Program();
    std::ofstream(path, std::ios::binary) << source;
    ByteSource in(bytes.data(), bytes.size());
    DifferentialRun run;
    if (!run.BuildCompiled(path.c_str(), in)) {
      ADD_FAILURE() << "does not compile:\n" << source;
      continue;
    }
    ++compiled;
    std::string difference = run.Compare();
    ASSERT_EQ(difference, "") << "seed " << GetParam() << " program " << k << "\n" << source;
  }
  std::filesystem::remove(path);
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
