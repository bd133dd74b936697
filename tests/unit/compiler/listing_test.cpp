// The assembly listing, byte for byte, and the code bytes it describes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "compiler/command_line.h"
#include "compiler/compiler.h"
#include "compiler_harness.h"
#include "vm/arena.h"

namespace qavz::test {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Every tests/golden/NAME.c compiles (sizing pass, listing and source echo on)
// to exactly tests/golden/NAME.txt. QAVZ_UPDATE_GOLDEN=1 rewrites them.
TEST(Listing, GoldenListings) {
  std::filesystem::path dir = std::filesystem::path(QAVZ_SOURCE_DIR) / "tests" / "golden";
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".c") continue;
    CompilerFixture f;
    std::string name = entry.path().filename().string();
    f.Write({{name, ReadFile(entry.path())}}, name);
    ASSERT_TRUE(CheckSourceFile(name.c_str(), true, true, CompileMessages::kCollectOnly))
        << name << ": " << LastCompileMessages();
    std::string actual = ReadFile(entry.path().stem().string() + ".txt");
    std::filesystem::path golden = entry.path();
    golden.replace_extension(".txt");
    if (std::getenv("QAVZ_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << actual;
    EXPECT_EQ(actual, ReadFile(golden)) << name;
    ++checked;
  }
  EXPECT_GE(checked, 2);
}

TEST(Listing, EchoOnlyWithTheEchoSwitchAndSummaryLast) {
  CompilerFixture f;
  std::string plain = f.Listing("int main()\n{\n\n  return 0;\n}\n", false);
  EXPECT_EQ(plain,
            ".file \"list.c\"\n.text\n\n\tjmp\t\t_1\n_1:\n.global main, @function\nmain:\n\tenter\n"
            "\tmovl\tr0, $0\n_2:\n\tleave\n\tret\n\n"
            "\n;==================================================\n; Compiled 5 lines.\n"
            "; Total internal labels  : 2.\n; Total program size : 22 bytes.\n; Total data size : 0 bytes.\n"
            "; Total external data size : 0 bytes.\n\n");
  std::string echo = f.Listing("int main()\n{\n\n  return 0;\n}\n", true);
  EXPECT_NE(echo.find("main:\n\tenter\n*\t  return 0;\n\tmovl\tr0, $0\n*\t}\n_2:\n"), std::string::npos)
      << echo;
  EXPECT_EQ(echo.find("*\t\n"), std::string::npos) << "empty lines are not echoed";
}

TEST(Listing, StringLiteralEscapesInAscii) {
  CompilerFixture f;
  std::string listing = f.Listing("char *s = \"a\\tb\\\"c\\n\\\\\";\nint main() { return 0; }\n");
  EXPECT_NE(listing.find("_s0:\n\t.ascii \"a\\x09b\\\"c\\n\\\0\"\n"), std::string::npos) << listing;
}

// `qavz check` and `qavz listing`: exit status 0 or 1; the listing named
// after the source's base name in the current directory.
TEST(Listing, CommandLineCheckAndListing) {
  CompilerFixture f;
  f.Write({{"good.c", "int main() { return 0; }\n"}, {"sub/bad.c", "int main() { return x; }\n"}});
  EXPECT_EQ(RunCheckCommand("good.c"), 0);
  EXPECT_EQ(RunCheckCommand("sub/bad.c"), 1);
  EXPECT_EQ(RunCheckCommand("missing.c"), 1);
  EXPECT_FALSE(std::filesystem::exists("good.txt")) << "check writes no listing";
  EXPECT_EQ(RunListingCommand("sub/bad.c", false), 1);
  EXPECT_TRUE(std::filesystem::exists("bad.txt")) << "the listing is written even when the compile fails";
  EXPECT_EQ(RunListingCommand("good.c", true), 0);
  std::string listing = ReadFile("good.txt");
  EXPECT_NE(listing.find("*\tint main() { return 0; }\n"), std::string::npos) << listing;
}

// The code of the emitting pass: the jump to main at offset 0, `add r7`
// written as 0x773B, the enter operand patched with the frame size.
TEST(Listing, EmittedBytes) {
  CompilerFixture f;
  f.Write({{"bytes.c", "int g(int a) { return a; }\nint main() { int x, y; x = g(1); return x; }\n"}});
  uint32_t code, data;
  ASSERT_TRUE(CompileScript("bytes.c", 0, 0, &code, &data, CompileMessages::kCollectOnly));
  Addr block = TheArena().Alloc(code + data);
  ASSERT_TRUE(CompileScript("bytes.c", block, code + data, &code, &data, CompileMessages::kCollectOnly));
  const uint8_t* p = TheArena().Span(block, code);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 73) << "jmp";
  uint32_t mainAt;
  std::memcpy(&mainAt, p + 1, 4);
  ASSERT_GE(mainAt, block);
  ASSERT_LT(mainAt, block + code);
  const uint8_t* m = p + (mainAt - block);
  EXPECT_EQ(m[0], 34) << "enter";
  uint32_t frame;
  std::memcpy(&frame, m + 1, 4);
  EXPECT_EQ(frame, 8u) << "two locals";
  std::string bytes(reinterpret_cast<const char*>(p), code);
  EXPECT_NE(bytes.find(std::string("\x3B\x77\x04\x00\x00\x00", 6)), std::string::npos) << "add r7, $4";
  EXPECT_NE(bytes.find(std::string("\x23\x08\x00\x00\x00\x26", 6)), std::string::npos) << "leave 8; ret";
  TheArena().Free(block);
}

}  // namespace
}  // namespace qavz::test
