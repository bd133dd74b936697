// Saves killed at random points: sysio(1) and pack_save leave the previous
// file or the new one whole, never an empty or torn file, and the temporary
// files a killed run leaves are removed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "files/lzw.h"
#include "platform/replace_file.h"
#include "tests/support/temp_files.h"

namespace qavz {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr uint32_t kBlock = 1 << 20;

// Saves block after block, each filled with one byte value, until killed.
const char kSaver[] = R"(#include "natives.h"
int main() {
  int block; int i;
  block = malloc(1048576);
  sysfile("save.dat", block, 1048576);
  log_out("saving");
  i = 1;
  while (1) {
    memset(block, i, 1048576);
    sysio(1);
    pack_save("packed.dat", block, 1048576);
    i++;
  }
  return 0;
}
)";

// Starts `qavz run --headless script` in `dir` and waits for its first
// output line; the pid, or -1 when it never printed one.
pid_t StartRun(const std::string& dir, const std::string& script) {
  int out[2];
  if (pipe(out) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (chdir(dir.c_str()) != 0) _exit(127);
    execl(QAVZ_BINARY, QAVZ_BINARY, "run", "--headless", script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  pollfd p{out[0], POLLIN, 0};
  char c = 0;
  bool started = poll(&p, 1, 10000) == 1 && read(out[0], &c, 1) == 1;
  close(out[0]);
  if (!started && pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }
  return pid;
}

// Whole: `size` bytes, all of one value.
bool Uniform(const std::string& bytes, size_t size) {
  return bytes.size() == size && bytes.find_first_not_of(bytes[0]) == std::string::npos;
}

std::vector<std::string> Temporaries(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(dir))
    if (platform::IsReplacementName(e.path().filename().string())) found.push_back(e.path().filename());
  return found;
}

TEST(InterruptedSaves, KillNineNeverLeavesAnEmptyOrTornFile) {
  TempDir dir;
  fs::copy_file(QAVZ_SOURCE_DIR "/include/natives.h", dir / "natives.h");
  WriteFile(dir / "saver.c", kSaver);
  std::string zeros(kBlock, '\0');
  WriteFile(dir / "save.dat", zeros);
  std::vector<uint8_t> packed;
  ASSERT_TRUE(CompressToMemory(reinterpret_cast<const uint8_t*>(zeros.data()), kBlock, packed));
  WriteFile(dir / "packed.dat", std::string(packed.begin(), packed.end()));

  std::mt19937 rng(7);
  int leftBehind = 0;
  for (int run = 0; run < 50; ++run) {
    pid_t pid = StartRun(dir.path(), "saver.c");
    ASSERT_GT(pid, 0) << "run " << run << " did not start";
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20000));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);

    EXPECT_TRUE(Uniform(ReadFile(dir / "save.dat"), kBlock)) << "sysio, run " << run;
    std::string image = ReadFile(dir / "packed.dat");
    std::vector<uint8_t> plain;
    uint32_t declared = 0;
    ASSERT_TRUE(
        ExpandFromMemory(reinterpret_cast<const uint8_t*>(image.data()), image.size(), plain, &declared))
        << "pack_save, run " << run << ": " << image.size() << " bytes";
    EXPECT_EQ(declared, kBlock);
    EXPECT_TRUE(Uniform(std::string(plain.begin(), plain.end()), kBlock)) << "pack_save, run " << run;
    leftBehind += int(Temporaries(dir.path()).size());
  }
  RecordProperty("temporaries_left_by_kills", leftBehind);

  // The next start clears what the kills left.
  WriteFile(dir / "quit.c", "#include \"natives.h\"\nint main() { log_out(\"up\"); return 0; }\n");
  pid_t pid = StartRun(dir.path(), "quit.c");
  ASSERT_GT(pid, 0);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(Temporaries(dir.path()), std::vector<std::string>{});
}

// Start-up removes only the runtime's own temporaries that no writer holds.
TEST(InterruptedSaves, StartUpRemovesOnlyUnheldTemporaries) {
  TempDir dir;
  fs::copy_file(QAVZ_SOURCE_DIR "/include/natives.h", dir / "natives.h");
  WriteFile(dir / "quit.c", "#include \"natives.h\"\nint main() { log_out(\"up\"); return 0; }\n");
  const std::vector<std::string> stale = {"save.dat.qavz-tmp.a1B2c3", "main.cfg.qavz-tmp.ZZZZZZ"};
  const std::vector<std::string> kept = {"save.dat.backup", "save.dat.qavz-tmp.toolong", "notes.qavz-tmp.",
                                         "held.dat.qavz-tmp.Q1w2E3"};
  for (const std::string& name : stale) WriteFile(dir / name, "partial");
  for (const std::string& name : kept) WriteFile(dir / name, "keep");
  fs::create_symlink("save.dat.backup", dir / "link.qavz-tmp.x1y2z3");
  int held = open((dir / "held.dat.qavz-tmp.Q1w2E3").c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0) << "a writer of another running copy";

  pid_t pid = StartRun(dir.path(), "quit.c");
  ASSERT_GT(pid, 0);
  waitpid(pid, nullptr, 0);
  close(held);
  for (const std::string& name : stale) EXPECT_FALSE(fs::exists(dir / name)) << name;
  for (const std::string& name : kept) EXPECT_EQ(ReadFile(dir / name), "keep") << name;
  EXPECT_TRUE(fs::is_symlink(dir / "link.qavz-tmp.x1y2z3"));
}

}  // namespace
}  // namespace qavz
