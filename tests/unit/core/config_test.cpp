#include "core/config.h"

#include <gtest/gtest.h>

#include "tests/support/temp_files.h"

namespace qavz {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(Config, NoFileGivesEveryDefault) {
  TempDir dir;
  Config c = ReadConfig(dir / "MISSING.cfg", true);
  EXPECT_EQ(c.debugMode, 0);
  EXPECT_EQ(c.error, 0);
  EXPECT_EQ(c.title, "");
  EXPECT_EQ(c.menu, 0);
  EXPECT_EQ(c.autoHideMenu, 0) << "forced off: Draw and Menu are 0";
  EXPECT_EQ(c.resize, 0);
  EXPECT_EQ(c.width, 640);
  EXPECT_EQ(c.height, 480);
  EXPECT_EQ(c.depth, 24);
  EXPECT_EQ(c.mmx, 1);
  EXPECT_EQ(c.draw + c.sound + c.music + c.input + c.cd + c.net, 0);
  EXPECT_EQ(c.pause, 1);
  EXPECT_EQ(c.multipleRunning, 0);
  EXPECT_EQ(c.programSize, 0u);
  EXPECT_EQ(c.stackSize, 64u * 1024);
  EXPECT_EQ(c.heapSize, 64u * 1024);
  EXPECT_EQ(c.fullScreen, -1);
  EXPECT_EQ(c.execute, "");
}

TEST(Config, ReadsEveryKeyWithoutRegardToCaseAndScalesKilobytes) {
  TempDir dir;
  WriteFile(dir / "GAME.cfg",
            "; a title's settings\r\n[general]\r\nDEBUGMODE=1\r\nError = 2\r\nTitle=  My Game  \r\n"
            "Menu=1\r\nAutoHideMenu=1\r\nResize=1\r\nWidth=320\r\nHeight=240\r\nDepth=16\r\nMMX=0\r\n"
            "Draw=1\r\nSound=1\r\nMusic=1\r\nInput=1\r\nCD=1\r\nNet=1\r\nPause=0\r\nMultipleRunning=1\r\n"
            "ProgramSize=128\r\nStackSize=16\r\nHeapSize=0\r\nFullScreen=1\r\nExecute=src\\main.c\r\n");
  Config c = ReadConfig(dir / "GAME.cfg", true);
  EXPECT_EQ(c.debugMode, 1);
  EXPECT_EQ(c.error, 2);
  EXPECT_EQ(c.title, "My Game");
  EXPECT_EQ(c.autoHideMenu, 1) << "kept: Draw and Menu are both on";
  EXPECT_EQ(c.resize, 1);
  EXPECT_EQ(c.width, 320);
  EXPECT_EQ(c.height, 240);
  EXPECT_EQ(c.depth, 16);
  EXPECT_EQ(c.mmx, 0);
  EXPECT_EQ(c.draw + c.sound + c.music + c.input + c.cd + c.net, 6);
  EXPECT_EQ(c.pause, 0);
  EXPECT_EQ(c.multipleRunning, 1);
  EXPECT_EQ(c.programSize, 128u * 1024);
  EXPECT_EQ(c.stackSize, 16u * 1024);
  EXPECT_EQ(c.heapSize, 0u);
  EXPECT_EQ(c.fullScreen, 1);
  EXPECT_EQ(c.execute, "src\\main.c");
}

// A size that cannot exist in the machine's address space (or wraps when
// made bytes) keeps the default, and the key is named in a warning.
TEST(Config, KilobyteKeysOutOfRangeKeepTheirDefaultWithAWarning) {
  TempDir dir;
  WriteFile(dir / "GAME.cfg", "[General]\nHeapSize=2097152\nStackSize=4194304\nProgramSize=-1\n");
  Config c = ReadConfig(dir / "GAME.cfg", true);
  EXPECT_EQ(c.heapSize, 64u * 1024);
  EXPECT_EQ(c.stackSize, 64u * 1024);
  EXPECT_EQ(c.programSize, 0u);
  ASSERT_EQ(c.warnings.size(), 3u);
  EXPECT_EQ(c.warnings[0], "ProgramSize=-1 is out of range (0 to 1048576 KB); 0 is used");
  EXPECT_EQ(c.warnings[1], "StackSize=4194304 is out of range (0 to 1048576 KB); 64 is used");
  EXPECT_EQ(c.warnings[2], "HeapSize=2097152 is out of range (0 to 1048576 KB); 64 is used");
  WriteFile(dir / "GAME.cfg", "[General]\nHeapSize=1048576\nStackSize=0\n");
  c = ReadConfig(dir / "GAME.cfg", true);
  EXPECT_EQ(c.heapSize, 1u << 30);
  EXPECT_EQ(c.stackSize, 0u);
  EXPECT_TRUE(c.warnings.empty());
}

struct AutoHideCase {
  const char* draw;
  const char* menu;
  int expected;
};
void PrintTo(const AutoHideCase& c, std::ostream* os) { *os << "Draw=" << c.draw << " Menu=" << c.menu; }

class ConfigAutoHide : public testing::TestWithParam<AutoHideCase> {};

TEST_P(ConfigAutoHide, IsForcedOffWhenDrawOrMenuIsOff) {
  TempDir dir;
  WriteFile(dir / "A.cfg", std::string("[General]\nAutoHideMenu=1\nDraw=") + GetParam().draw +
                               "\nMenu=" + GetParam().menu + "\n");
  EXPECT_EQ(ReadConfig(dir / "A.cfg", true).autoHideMenu, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(DrawAndMenu, ConfigAutoHide,
                         testing::Values(AutoHideCase{"1", "1", 1}, AutoHideCase{"0", "1", 0},
                                         AutoHideCase{"1", "0", 0}, AutoHideCase{"0", "0", 0}));

TEST(Config, MmxIsIgnoredWithoutMmx) {
  TempDir dir;
  WriteFile(dir / "M.cfg", "[General]\nMMX=1\n");
  EXPECT_EQ(ReadConfig(dir / "M.cfg", false).mmx, 0);
  EXPECT_EQ(ReadConfig(dir / "M.cfg", true).mmx, 1);
  EXPECT_EQ(ReadConfig(dir / "MISSING.cfg", false).mmx, 0) << "not even the default";
}

TEST(Config, TextKeysKeepTheirBufferLengths) {
  TempDir dir;
  WriteFile(dir / "L.cfg",
            "[General]\nTitle=" + std::string(300, 't') + "\nExecute=" + std::string(300, 'e') + "\n");
  Config c = ReadConfig(dir / "L.cfg", true);
  EXPECT_EQ(c.title.size(), 255u);
  EXPECT_EQ(c.execute.size(), 259u);
}

TEST(Config, MainScriptDefaultsToTheNameTwice) {
  Config c;
  EXPECT_EQ(MainScriptPath(c, "GAME"), "GAME\\GAME.c");
  c.execute = "other.c";
  EXPECT_EQ(MainScriptPath(c, "GAME"), "other.c");
}

// The write-back rule: "FullScreen" 0 or 1 at start-up gets the mode at
// exit; absent (-1) or 2 never touches the file.
struct WriteBackCase {
  const char* line;  // "FullScreen=..." or "" for absent
  bool fullScreenAtExit;
  bool writes;
  const char* expectedLine;
};
void PrintTo(const WriteBackCase& c, std::ostream* os) {
  *os << '"' << c.line << "\" full screen at exit " << c.fullScreenAtExit;
}

class ConfigWriteBack : public testing::TestWithParam<WriteBackCase> {};

TEST_P(ConfigWriteBack, FollowsTheValueReadAtStartUp) {
  const WriteBackCase& p = GetParam();
  TempDir dir;
  std::string before = std::string("; keep me\r\n[General]\r\nTitle=Game \r\n") + p.line +
                       "\r\nWidth = 320\r\n\r\n[Other]\r\nFullScreen=7\r\n";
  WriteFile(dir / "W.cfg", before);
  Config c = ReadConfig(dir / "W.cfg", true);
  EXPECT_EQ(WriteBackFullScreen(dir / "W.cfg", c, p.fullScreenAtExit), p.writes);
  std::string after = ReadFile(dir / "W.cfg");
  if (!p.writes) {
    EXPECT_EQ(after, before) << "the file is not touched";
    return;
  }
  std::string expected = before;
  expected.replace(expected.find(p.line), std::string(p.line).size(), p.expectedLine);
  EXPECT_EQ(after, expected) << "only the FullScreen line of [General] changes";
}

INSTANTIATE_TEST_SUITE_P(Values, ConfigWriteBack,
                         testing::Values(WriteBackCase{"FullScreen=0", true, true, "FullScreen=1"},
                                         WriteBackCase{"FullScreen=0", false, true, "FullScreen=0"},
                                         WriteBackCase{"FullScreen=1", false, true, "FullScreen=0"},
                                         WriteBackCase{"FullScreen = 1", true, true, "FullScreen = 1"},
                                         WriteBackCase{"FullScreen=2", false, false, ""},
                                         WriteBackCase{"FullScreen=2", true, false, ""},
                                         WriteBackCase{"FullScreen=-1", true, false, ""},
                                         WriteBackCase{"", true, false, ""}));

}  // namespace
}  // namespace qavz
