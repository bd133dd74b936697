// Runs the qavz executable as a user would, for the tools' tests.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_files.h"

namespace qavz::test {

struct QavzRun {
  int status = -1;
  std::string out, err;
};

// Runs `qavz ARGS` through the shell in `dir`, with `env` (shell
// assignments) in front; standard output and error are kept.
inline QavzRun RunQavz(const std::string& dir, const std::string& args, const std::string& env = "") {
  static int serial = 0;
  std::string base = std::filesystem::temp_directory_path() /
                     ("qavz-run-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
  std::string command = "cd '" + dir + "' && " + env + " QAVZ_HEADLESS=1 timeout 60 '" + QAVZ_BINARY + "' " +
                        args + " >'" + base + ".out' 2>'" + base + ".err' </dev/null";
  int raw = std::system(command.c_str());
  QavzRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadFile(base + ".out");
  run.err = ReadFile(base + ".err");
  std::filesystem::remove(base + ".out");
  std::filesystem::remove(base + ".err");
  return run;
}

// The natives header every test title includes.
inline std::string NativesHeader() { return ReadFile(std::string(QAVZ_SOURCE_DIR) + "/include/natives.h"); }

}  // namespace qavz::test
