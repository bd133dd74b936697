// Differential fuzzing of the translator: each input becomes a program that
// runs once in the interpreter and once translated, from the same start and
// for the same counts of instructions; any difference a script could see
// (registers, flags, pc, state, memory, faults, native calls) aborts. With
// bit 6 of the first byte set, the program is a random script, compiled.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/config.h"
#include "core/report_error.h"
#include "host/subsystems.h"
#include "tests/support/differential_machine.h"
#include "tests/support/random_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qavz;
  static bool once = [] {
    ConnectSubsystems();  // the compiler finds its files through the file layer
    SetErrorLevel(0);
    SetTrapHandler(&test::DifferentialTrap);
    return true;
  }();
  (void)once;
  if (size < 4 || size > 4096) return 0;
  TheConfig().debugMode = data[0] >> 7;
  test::ByteSource in(data + 1, size - 1);
  test::DifferentialRun run;
  if (data[0] & 0x40) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("qavz_fuzz_translator_" + std::to_string(getpid()) + ".c"))
            .string();
    test::ByteSource text(data + 1, size - 1);
    std::ofstream(path, std::ios::binary) << test::ProgramWriter(text).Program();
    if (!run.BuildCompiled(path.c_str(), in)) {
      std::fprintf(stderr, "a random script does not compile\n");
      std::abort();
    }
  } else if (!run.Build(in)) {
    return 0;
  }
  std::string difference = run.Compare();
  if (!difference.empty()) {
    std::fprintf(stderr, "interpreter and translated code differ: %s\n", difference.c_str());
    std::abort();
  }
  return 0;
}
