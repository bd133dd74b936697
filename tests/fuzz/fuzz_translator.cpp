// Differential fuzzing of the translator: each input becomes a program that
// runs once in the interpreter and once translated, from the same start and
// for the same counts of instructions; any difference a script could see
// (registers, flags, pc, state, memory, faults, native calls) aborts.
#include <cstdio>
#include <cstdlib>

#include "core/config.h"
#include "core/report_error.h"
#include "tests/support/differential_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qavz;
  static bool once = [] {
    SetErrorLevel(0);
    SetTrapHandler(&test::DifferentialTrap);
    return true;
  }();
  (void)once;
  if (size < 4 || size > 4096) return 0;
  TheConfig().debugMode = data[0] >> 7;
  test::ByteSource in(data + 1, size - 1);
  test::DifferentialRun run;
  if (!run.Build(in)) return 0;
  std::string difference = run.Compare();
  if (!difference.empty()) {
    std::fprintf(stderr, "interpreter and translated code differ: %s\n", difference.c_str());
    std::abort();
  }
  return 0;
}
