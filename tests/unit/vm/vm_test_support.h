// Shared helpers of the machine tests: assembled contexts, runs to the end,
// and captured error boxes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/report_error.h"
#include "vm/assembler.h"
#include "vm/interpreter.h"
#include "vm/machine_context.h"
#include "vm/translator.h"

namespace qavz::test {

// QAVZ_TEST_TRANSLATE=1 runs the machine tests on translated images, with
// the application inactive so that slices keep their 255 instructions.
inline bool TranslateInTests() {
  const char* v = std::getenv("QAVZ_TEST_TRANSLATE");
  return v && v[0] == '1';
}

inline std::vector<std::string>& Reports() {
  static std::vector<std::string> reports;
  return reports;
}
inline int CaptureBox(const char* text) {
  Reports().push_back(text);
  return 1;
}

// Clean machine state for each test: no stop, errors shown at level 1 into
// Reports(), debug mode off.
class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StopFlag().store(0);
    SetHeadless(false);
    SetErrorLevel(1);
    SetErrorBox(&CaptureBox);
    Reports().clear();
    TheConfig().debugMode = 0;
    if (TranslateInTests()) ActiveFlag().store(0);
  }
  void TearDown() override {
    ActiveFlag().store(1);
    for (MachineContext* c : contexts_) FreeContext(c);
    StopFlag().store(0);
    SetErrorLevel(0);
    SetErrorBox(nullptr);
  }
  MachineContext* Build(const std::string& text, uint32_t stackSize = 4096, uint32_t programSize = 0) {
    std::string error;
    MachineContext* c = AssembleContext(text, stackSize, &error, programSize);
    EXPECT_NE(c, nullptr) << error;
    if (c) contexts_.push_back(c);
    AssembledProgram program;
    if (c && TranslateInTests() && Assemble(text, c->imageBase, c->programSize, program, error)) {
      EXPECT_TRUE(TranslateImage(c->imageBase, uint32_t(program.code.size()), c->programSize));
    }
    return c;
  }
  // Slices until the context ends or StopFlag is set, reporting a fault as
  // the thread loop does; the number of slices.
  int RunToEnd(MachineContext* c, int maxSlices = 100000) {
    int slices = 0;
    while (c->state == kRunning && !StopFlag().load() && slices < maxSlices) {
      int fault = RunSlice(c);
      if (fault != kNoFault) ReportError(kLevelFault, "%s", FaultMessage(FaultKind(fault)));
      ++slices;
    }
    return slices;
  }
  Addr Symbol(const std::string& text, const std::string& name, MachineContext* c) {
    AssembledProgram program;
    std::string error;
    EXPECT_TRUE(Assemble(text, c->imageBase, c->programSize, program, error)) << error;
    return program.symbols[name];
  }

  std::vector<MachineContext*> contexts_;
};

}  // namespace qavz::test
