// qavz run --watch restarts the main program when a source it includes
// changes, and streams the compile errors of a broken save.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "run_qavz.h"

namespace qavz::test {
namespace {

namespace fs = std::filesystem;

// Polls `path` until it holds `text` or ten seconds pass.
bool WaitFor(const std::string& path, const std::string& text) {
  for (int i = 0; i < 200; ++i) {
    if (ReadFile(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(Watch, AChangedIncludeRestartsTheProgram) {
  TempDir dir;
  WriteFile(dir / "natives.h", NativesHeader());
  WriteFile(dir / "words.h", "#define WORD \"first\"\n");
  WriteFile(dir / "main.c",
            "#include \"natives.h\"\n#include \"words.h\"\n"
            "int main()\n{\n\tlog_out(WORD);\n\twhile (1)\n\t\tsleep(20);\n\treturn 0;\n}\n");
  std::string out = dir / "out.txt", err = dir / "err.txt", pid = dir / "pid";
  // The subshell becomes qavz (exec), so its id is the one to stop.
  std::string command = "(cd '" + dir.path() + "' && QAVZ_HEADLESS=1 exec '" + QAVZ_BINARY +
                        "' run --watch --timeout 20000 main.c) >'" + out + "' 2>'" + err + "' & echo $! >'" +
                        pid + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ASSERT_TRUE(WaitFor(out, "first\n")) << ReadFile(err);

  // A broken save: the compile error streams, nothing runs.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  WriteFile(dir / "words.h", "#define WORD \"second\"\nint x = ;\n");
  EXPECT_TRUE(WaitFor(err, "words.h:2:")) << ReadFile(err);
  WriteFile(dir / "words.h", "#define WORD \"third\"\n");
  EXPECT_TRUE(WaitFor(out, "third\n")) << ReadFile(out) << ReadFile(err);
  EXPECT_EQ(ReadFile(out).find("second"), std::string::npos);
  kill(pid_t(std::stol(ReadFile(pid))), SIGTERM);
  for (int i = 0; i < 100 && kill(pid_t(std::stol(ReadFile(pid))), 0) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace
}  // namespace qavz::test
