#include <gtest/gtest.h>

#include "files/special_folders.h"
#include "files_test_support.h"

namespace qavz {
namespace {

using test::A;
using test::FilesTest;
using test::ScriptMemory;

class StreamNatives : public FilesTest {
 protected:
  int32_t Open(const std::string& name, const std::string& mode) {
    return Native_fopen(m.Args({A(m.Str(name)), A(m.Str(mode))}));
  }
  ScriptMemory m;
};

TEST_F(StreamNatives, WriteSeekAndReadBack) {
  int32_t f = Open("out.txt", "w+b");
  ASSERT_NE(f, 0);
  Addr text = m.Str("line one\nline two\n");
  EXPECT_EQ(Native_fwrite(m.Args({A(text), 1, 18, f})), 18);
  EXPECT_EQ(Native_fputs(m.Args({A(m.Str("tail")), f})), 0);
  EXPECT_EQ(Native_ftell(m.Args({f})), 22);
  EXPECT_EQ(Native_fseek(m.Args({f, 0, 0})), 0);
  Addr line = m.Buffer(64);
  EXPECT_EQ(Native_fgets(m.Args({A(line), 64, f})), A(line));
  EXPECT_EQ(m.StringAt(line), "line one\n");
  Addr items = m.Buffer(16);
  EXPECT_EQ(Native_fread(m.Args({A(items), 4, 3, f})), 3);
  EXPECT_EQ(m.StringAt(items).substr(0, 12), "line two\ntai");
  EXPECT_EQ(Native_fread(m.Args({A(items), 4, 3, f})), 0);
  EXPECT_EQ(Native_fgets(m.Args({A(line), 64, f})), 0) << "end of file";
  EXPECT_EQ(Native_fseek(m.Args({f, -2, 2})), 0);
  EXPECT_EQ(Native_ftell(m.Args({f})), 20);
  EXPECT_EQ(Native_fclose(m.Args({f})), 0);
}

TEST_F(StreamNatives, StaleAndForeignHandlesAreRefused) {
  int32_t f = Open("x.txt", "w");
  ASSERT_NE(f, 0);
  EXPECT_EQ(Native_fclose(m.Args({f})), 0);
  Addr buf = m.Buffer(8);
  for (int32_t h : {f, 0, -1, 12345}) {
    EXPECT_EQ(Native_fclose(m.Args({h})), -1);
    EXPECT_EQ(Native_fwrite(m.Args({A(buf), 1, 4, h})), 0);
    EXPECT_EQ(Native_fread(m.Args({A(buf), 1, 4, h})), 0);
    EXPECT_NE(Native_fseek(m.Args({h, 0, 0})), 0);
    EXPECT_EQ(Native_ftell(m.Args({h})), -1);
    EXPECT_EQ(Native_fgets(m.Args({A(buf), 8, h})), 0);
    EXPECT_EQ(Native_fputs(m.Args({A(buf), h})), -1);
  }
}

TEST_F(StreamNatives, BuffersAndCountsOutsideLiveMemoryAreRefused) {
  test::WriteFile("in.txt", std::string(64, 'r'));
  int32_t f = Open("in.txt", "rb");
  ASSERT_NE(f, 0);
  Addr tail = m.Tail(8);
  EXPECT_EQ(Native_fread(m.Args({A(tail), 1, 9, f})), 0);
  EXPECT_EQ(Native_fread(m.Args({A(tail), 0x10000, 0x10000, f})), 0) << "size x count overflows";
  EXPECT_EQ(Native_fread(m.Args({A(tail), -1, 2, f})), 0);
  EXPECT_EQ(Native_fgets(m.Args({A(tail), 9, f})), 0);
  EXPECT_EQ(Native_fread(m.Args({A(tail), 1, 8, f})), 8);
  EXPECT_EQ(Native_fclose(m.Args({f})), 0);
}

TEST_F(StreamNatives, ModesAndTheWindowsDirectoryFallback) {
  EXPECT_EQ(Open("nothere.txt", "r"), 0);
  EXPECT_EQ(Open("a.txt", "q"), 0);
  EXPECT_EQ(Open("a.txt", "wbt"), 0);
  EXPECT_EQ(Open("a.txt", "w++"), 0);
  test::WriteFile(WindowsDirectory() + "/win.ini", "[x]\n");
  int32_t f = Open("some\\dir\\WIN.INI", "rt");
  ASSERT_NE(f, 0) << "the name part is looked for in the Windows directory";
  Addr line = m.Buffer(16);
  EXPECT_EQ(Native_fgets(m.Args({A(line), 16, f})), A(line));
  EXPECT_EQ(m.StringAt(line), "[x]\n");
  Native_fclose(m.Args({f}));
}

TEST_F(StreamNatives, TextModeReadsWindowsLineEndsAsNewlines) {
  test::WriteFile("crlf.txt", "one\r\ntwo\r\n");
  Addr line = m.Buffer(16);
  int32_t text = Open("crlf.txt", "r");
  EXPECT_EQ(Native_fgets(m.Args({A(line), 16, text})), A(line));
  EXPECT_EQ(m.StringAt(line), "one\n");
  Native_fclose(m.Args({text}));
  int32_t binary = Open("crlf.txt", "rb");
  EXPECT_EQ(Native_fgets(m.Args({A(line), 16, binary})), A(line));
  EXPECT_EQ(m.StringAt(line), "one\r\n");
  Native_fclose(m.Args({binary}));
}

}  // namespace
}  // namespace qavz
