// Runs a small title headless in this process: GAME.cfg and GAME/GAME.c
// (the script body after natives.h) in a fresh folder, with files beside
// them; the log_out lines come back, taken as the exit sequence starts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/config.h"
#include "host/debug_window.h"
#include "host/runtime.h"
#include "tests/support/temp_files.h"

namespace qavz::test {

struct TitleRun {
  int status = -1;
  std::vector<std::string> lines;  // log_out lines
};

inline std::vector<std::string>& LinesAtExit() {
  static std::vector<std::string> lines;
  return lines;
}

inline void TakeLines(const char* step) {
  if (std::string(step) != "stop media") return;
  LinesAtExit().clear();
  for (size_t i = 0; i < DebugList().lines; ++i) LinesAtExit().push_back(DebugLine(i));
}

class Title {
 public:
  Title() : cwd_(std::filesystem::current_path()) {}
  ~Title() {
    std::error_code ignored;
    std::filesystem::current_path(cwd_, ignored);
  }
  std::string Path(const std::string& name) const { return dir_ / name; }
  const std::string& Dir() const { return dir_.path(); }
  void Write(const std::string& name, const std::string& bytes) const { WriteFile(Path(name), bytes); }
  // Runs GAME with `config` (lines of [General] and after) and `body`.
  TitleRun Run(const std::string& config, const std::string& body) {
    Write("GAME.cfg", "[General]\nDebugMode=1\n" + config);
    Write("GAME/natives.h", ReadFile(QAVZ_SOURCE_DIR "/include/natives.h"));
    Write("GAME/GAME.c", "#include \"natives.h\"\n" + body);
    RunOptions options;
    options.headless = true;
    options.runCommand = true;
    options.exitWhenEnded = true;
    options.timeoutMs = 20000;
    LinesAtExit().clear();
    SetStepObserver(TakeLines);
    TitleRun run;
    run.status = RunRuntime(DerivePaths(Path("GAME.EXE")), options);
    SetStepObserver(nullptr);
    run.lines = LinesAtExit();
    std::error_code ignored;
    std::filesystem::current_path(cwd_, ignored);
    return run;
  }

 private:
  TempDir dir_;
  std::filesystem::path cwd_;
};

}  // namespace qavz::test
