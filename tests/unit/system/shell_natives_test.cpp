// exec and shell: programs named the Windows way, arguments split as
// Windows splits them and reaching the program untouched by any shell,
// missing programs and documents failing; and the headless message box,
// caption, outline and drag natives of a running title.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "platform/video.h"
#include "tests/support/script_memory.h"
#include "tests/support/temp_files.h"
#include "title_run.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

using test::ReadFile;
using test::ScriptMemory;
using test::TempDir;
using test::WriteFile;

// A program that writes its arguments, one a line, into the file named by
// the first, once all are written.
constexpr char kShowArgs[] =
    "#!/bin/sh\n"
    "out=\"$1\"; shift\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";

std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return ReadFile(path);
}

class ShellNatives : public testing::Test {
 protected:
  void SetUp() override {
    cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    WriteFile(dir / "tools dir/show args", kShowArgs);
    chmod((dir / "tools dir/show args").c_str(), 0755);
    WriteFile(dir / "Data/Save.DAT", "x");
    WriteFile(dir / "readme.qavzunknown", "no handler for this type");
  }
  void TearDown() override { std::filesystem::current_path(cwd); }
  int32_t Exec(const std::string& line) { return Native_exec(m.Args({int32_t(m.Str(line))})); }
  int32_t Shell(const std::string& path) { return Native_shell(m.Args({int32_t(m.Str(path))})); }
  TempDir dir;
  std::filesystem::path cwd;
  ScriptMemory m;
};

TEST_F(ShellNatives, MissingProgramsFail) {
  EXPECT_EQ(Exec("notepad.exe readme.txt"), 0) << "a Windows program that is not here";
  EXPECT_EQ(Exec("C:\\WINDOWS\\notepad.exe"), 0);
  EXPECT_EQ(Exec("\"tools dir\\no such program\" a"), 0);
  EXPECT_EQ(Exec("Data\\Save.DAT"), 0) << "a file that is not executable";
  EXPECT_EQ(Exec(""), 0);
  EXPECT_EQ(Native_exec(m.Args({0})), 0);
  EXPECT_EQ(Exec("notepad.exe; touch pwned"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "pwned")) << "no shell ever sees the line";
}

TEST_F(ShellNatives, ArgumentsArriveSplitAsWindowsSplitsThemAndPathsMapped) {
  std::string out = dir / "args.txt";
  ASSERT_EQ(Exec("\"tools dir\\show args\" " + out +
                 " plain \"two words\" \"say \\\"hi\\\"\" a\\\"b data\\save.dat 'single' $(id) `id` ;|&"),
            1);
  EXPECT_EQ(WaitForFile(out),
            "plain\ntwo words\nsay \"hi\"\na\"b\nData/Save.DAT\n'single'\n$(id)\n`id`\n;|&\n");
}

TEST_F(ShellNatives, AProgramIsFoundInTheCurrentFolderAndOnThePath) {
  std::filesystem::copy_file(dir / "tools dir/show args", dir / "Shower");
  std::string out = dir / "bare.txt";
  ASSERT_EQ(Exec("shower " + out + " x"), 1) << "any letter case, as on Windows";
  EXPECT_EQ(WaitForFile(out), "x\n");
  EXPECT_EQ(Exec("true"), 1) << "a program on PATH";
}

TEST_F(ShellNatives, ShellFailsForMissingFilesAndTypesWithoutAHandler) {
  EXPECT_EQ(Shell("no such file.txt"), 0);
  EXPECT_EQ(Shell(""), 0);
  EXPECT_EQ(Shell("readme.qavzunknown"), 0) << "no program for the type";
  std::string out = dir / "shell.txt";
  WriteFile(dir / "run me", "#!/bin/sh\necho started > '" + out + "'\n");
  chmod((dir / "run me").c_str(), 0755);
  EXPECT_EQ(Shell("RUN ME"), 1) << "a program is started";
  EXPECT_EQ(WaitForFile(out), "started\n");
}

// A running title, headless: the null box answers its default button or
// the configured answer; caption, setrgn and setdrag reach the window.
TEST(WindowNatives, HeadlessResults) {
  test::Title title;
  test::TitleRun run = title.Run("[qavz]\nMessageBoxAnswer=0\n", R"(
int main()
{
	int p;
	log_out("mbox %d %d %d %d", mbox(0, "c", "t"), mbox(4, "c", "t"), mbox(0x103, 0, 0), mbox(0x21, "c", "t"));
	log_out("caption %d", caption("Renamed"));
	galloc(&p, 4, 2, 8);
	gfill(p, 0, 0x1000005);
	log_out("shape %d %d", setrgn(p, 0), setrgn(p, 5));
	log_out("drag %d %d", setdrag(p, 5), setdrag(1000, 300));
	log_out("wallpaper %d", wallpaper("none.bmp", 3));
	return 0;
}
)");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines,
            (std::vector<std::string>{"mbox 1 6 7 1", "caption 1", "shape 1 1", "drag 1 1", "wallpaper 1"}));
  platform::NullWindowRecord window = platform::NullWindow();
  EXPECT_EQ(window.caption, "Renamed");
  ASSERT_TRUE(window.shaped) << "the first setrgn shows the whole plane";
  ASSERT_EQ(window.shape.size(), 2u) << "one run per row";
  EXPECT_EQ(window.shape[1].bottom, 2);
  EXPECT_EQ(window.shape[1].right, 4);
  EXPECT_NE(window.dragTest, nullptr);
}

TEST(WindowNatives, TheConfiguredAnswerIsWhatTheBoxGives) {
  test::Title title;
  test::TitleRun run = title.Run("[qavz]\nMessageBoxAnswer=7\n",
                                 "int main() { log_out(\"%d\", mbox(4, \"c\", \"t\")); return 0; }\n");
  EXPECT_EQ(run.lines, std::vector<std::string>{"7"});
}

}  // namespace
}  // namespace qavz
