// Global data, initialisers, the external data area, and the diagnostics
// (message format, caret, the error text and its bounds).
#include <gtest/gtest.h>

#include <string>

#include "compiler/compiler.h"
#include "compiler_harness.h"
#include "core/config.h"
#include "core/report_error.h"
#include "vm/external_data.h"

namespace qavz::test {
namespace {

class Globals : public CompilerTest {
 protected:
  std::vector<int32_t> Outs(const std::string& decls, const std::string& body) {
    return RunOuts(decls, body, false);
  }
};

TEST_F(Globals, InitialValuesAreThereBeforeTheProgramRuns) {
  EXPECT_EQ(
      Outs("int g = 5; char c = 300; short s = -2; unsigned char uc = -1; int arr[5] = {1, , 3};"
           "int flat[3] = 7, 8, 9; char *msg = \"hi\"; int *pa = arr; int *pb = &flat;"
           "int twice(int v) { return 2 * v; } int (*fp)() = twice; int later(); int (*lp)() = later;"
           "int grid[2][3] = {{1, 2, 3}, {4, 5}}; int later() { return 8; }",
           "out(g); out(c); out(s); out(uc); out(arr[0] + arr[1] * 10 + arr[2] * 100 + arr[4]);"
           "out(flat[0] + flat[1] + flat[2]); outs(msg); out(*pa + pb[2]); out((*fp)(21)); out((*lp)());"
           "out(grid[1][1] + grid[0][2] + grid[1][2]);"),
      (std::vector<int32_t>{5, 44, -2, 255, 301, 24, 10, 42, 8, 8}));
}

TEST_F(Globals, InitialiserErrors) {
  ExpectError("int v; char c = v;\n", 14);
  ExpectError("int v; int n = &v;\n", 14);
  ExpectError("char s[4] = \"abc\";\n", 14);
  ExpectError("int a[2] = {1, 2, 3};\n", 14);
  ExpectError("int a[2] = {1, 2;\n", 14);
  ExpectError("struct S { int x; } s = {1};\n", 14);
  ExpectError("extern int e = 1;\n", 8);
  ExpectError("int a[-1];\n", 8);
}

TEST_F(Globals, LocalInitialisersAreStores) {
  EXPECT_EQ(
      Outs("int seed = 3;",
           "int a = seed + 2; char c = 300; int arr[3] = {a, , 9}; out(a); out(c); out(arr[0] + arr[2]);"),
      (std::vector<int32_t>{5, 44, 14}));
  std::string listing = f.Listing("int main() { int x = 5; char b[2] = {1, 2}; return x; }\n");
  EXPECT_NE(listing.find("\tmovl\tr0, $5\n\tmovl\tx, r0\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("\tmovb\tb[1], r0\n"), std::string::npos) << listing;
}

TEST_F(Globals, StaticLocalsKeepTheirValueAndAreListedApart) {
  RunResult r = f.Run(
      "int next() { static int n = 10; static char k; k++; return n++ + k * 100; }\n"
      "int main() { next(); next(); return next(); }\n");
  EXPECT_EQ(r.result, 312);
  std::string listing =
      f.Listing("int next() { static int n = 10; return n++; }\nint main() { return next(); }\n");
  EXPECT_NE(listing.find(".global\tn.\nn.:\n\t.long 10\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("\tret\n\n.lcomm n., 4\n\n"), std::string::npos) << listing;
}

TEST_F(Globals, ExternDataIsSharedInDeclarationOrderAndBounded) {
  uint32_t saved = TheConfig().heapSize;
  TheConfig().heapSize = 8;
  EXPECT_EQ(f.Listing("extern int a; extern short b; extern char c[2];\nint main() { return 0; }\n")
                .find("; Total external data size : 8 bytes.\n"),
            f.Listing("extern int a; extern short b; extern char c[2];\nint main() { return 0; }\n")
                .find("; Total external data size : 8 bytes.\n"));
  std::string listing =
      f.Listing("extern int a; extern short b; extern char c[2];\nint main() { return 0; }\n");
  EXPECT_NE(listing.find(".comm a, 4\n.comm b, 2\n.comm c, 2\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("; Total external data size : 8 bytes.\n"), std::string::npos) << listing;
  ExpectError("extern int a; extern int b; extern char c;\n", 8);
  TheConfig().heapSize = 0;
  ExpectError("extern char c;\n", 8);
  TheConfig().heapSize = saved;
}

// A run whose area could not be allocated has none, whatever was configured.
TEST_F(Globals, ExternDataIsRefusedWhenTheAreaCouldNotBeAllocated) {
  AllocateExternalData(0xFFFFF000u);  // more than the address space holds
  ASSERT_EQ(ExternalDataArea(), 0u);
  ExpectError("extern int ev[4];\nint main() { return 0; }\n", 8);
  FreeExternalData();
}

TEST_F(Globals, SizingAndEmittingPassesAgree) {
  const std::string program =
      "char *names[3] = {\"a\", \"bc\", \"def\"}; int t[4]; static int helper(int v) { return v + 1; }\n"
      "int main() { int i, s; s = 0; for (i = 0; i < 3; i++) s += helper(i); outs(\"x\"); return s; }\n";
  uint32_t code = 0, data = 0;
  f.Write({{"sizes.c", std::string(kPrelude) + program}});
  ASSERT_TRUE(CompileScript("sizes.c", 0, 0, &code, &data, CompileMessages::kCollectOnly));
  RunResult r = f.Run(program);
  EXPECT_EQ(r.codeSize, code + data);
  EXPECT_EQ(r.result, 6);
}

TEST_F(Globals, ProgramAreaTooSmallIsError23) {
  f.Write({{"big.c", "int big[100];\nint main() { return 0; }\n"}});
  Addr block = TheArena().Alloc(200);
  uint32_t code, data;
  EXPECT_FALSE(CompileScript("big.c", block, 200, &code, &data, CompileMessages::kCollectOnly));
  EXPECT_NE(std::string(LastCompileMessages()).find(kCompileErrors[23]), std::string::npos);
  TheArena().Free(block);
}

TEST_F(Globals, MoreThan8191LabelsFit) {
  std::string body;
  for (int i = 0; i < 9000; ++i) body += "if (x) x++;\n";
  RunResult r = f.Run("int main() { int x; x = 1;\n" + body + "return x; }\n");
  EXPECT_TRUE(r.compiled);
  EXPECT_EQ(r.result, 9001);
}

class Diagnostics : public Globals {};

TEST_F(Diagnostics, MessageNamesTheIncludedFileAndLineWithCaret) {
  std::string messages;
  f.Write({{"inc.h", "int ok1;\nint ok2;\n\n\n\n\n\n\n\n\n\nint bad = 1 +;\n"},
           {"main.c", "#include \"inc.h\"\nint main() { return 0; }\n"}});
  EXPECT_FALSE(f.CheckPath("main.c", &messages));
  EXPECT_EQ(messages, "inc.h(12) : 式の記述に誤りがあります。\nint bad = 1 +;\n              ^\n");
}

TEST_F(Diagnostics, CaretCountsTabsToMultiplesOfFour) {
  std::string messages;
  EXPECT_FALSE(f.Check("int main() {\n\tint x;\n\tx = 1 $ 2;\n}\n", &messages, false));
  EXPECT_EQ(messages, "main.c(3) : 文法エラー。\n    x = 1 $ 2;\n           ^\n");
  EXPECT_FALSE(f.Check("int main() {\n  a\tb;\n}\n", &messages, false));
  // The name is known to be no call only once the next token is read.
  EXPECT_EQ(messages, "main.c(2) : 定義されていない文字列です。\n  a b;\n      ^\n");
}

TEST_F(Diagnostics, ErrorInAMacroPointsAtTheEndOfTheOutermostCall) {
  std::string messages;
  EXPECT_FALSE(f.Check("#define BAD(x) (x + )\n#define USE BAD(1)\nint v = USE + 1;\n", &messages, false));
  EXPECT_EQ(messages, "main.c(3) : 式の記述に誤りがあります。\nint v = USE + 1;\n            ^\n");
}

TEST_F(Diagnostics, MissingMainNamesMain) {
  std::string messages;
  EXPECT_FALSE(f.Check("int f() { return 0; }\n", &messages, false));
  EXPECT_EQ(messages, "main 関数は定義されていません。\n");
}

TEST_F(Diagnostics, ErrorTextStopsAtItsBound) {
  std::string source = "int main() {\n";
  for (int i = 0; i < 600; ++i)
    source += "undefined_function_with_a_long_name_" + std::to_string(i) + "();\n";
  std::string messages;
  EXPECT_FALSE(f.Check(source + "return 0; }\n", &messages, false));
  EXPECT_LT(messages.size(), 8192u);
  EXPECT_GT(messages.size(), 7000u);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), '\n') << "only whole messages, none cut at the bound";
  // Every line is one whole message.
  size_t start = 0;
  for (size_t end; (end = messages.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = messages.substr(start, end - start);
    EXPECT_EQ(line.rfind("undefined_function_with_a_long_name_", 0), 0u) << line;
    EXPECT_NE(line.find(" 関数は定義されていません。"), std::string::npos) << line;
  }
}

TEST_F(Diagnostics, ShownOnceThroughTheErrorBoxAndNotAtAllWithErrorZero) {
  static int boxes = 0;
  static std::string shown;
  boxes = 0;
  SetErrorBox([](const char* text) {
    ++boxes, shown = text;
    return 1;
  });
  bool headless = Headless();
  int savedError = TheConfig().error;
  SetHeadless(false);
  f.Write({{"bad.c", "int main() { return x; }\n"}});
  uint32_t code, data;
  TheConfig().error = 0;
  SetErrorLevel(0);
  EXPECT_FALSE(CompileScript("bad.c", 0, 0, &code, &data));
  EXPECT_EQ(boxes, 0);
  EXPECT_STREQ(LastCompileMessages(), "") << "with Error 0 nothing is gathered";
  TheConfig().error = 1;
  SetErrorLevel(1);
  EXPECT_FALSE(CompileScript("bad.c", 0, 0, &code, &data));
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(shown.find("bad.c(1) : 定義されていない文字列です。\n"), 0u) << shown;
  // A text longer than the box's 255 bytes is cut after a whole line.
  f.Write({{"many.c",
            "int main() { a1(); a2(); a3(); a4(); a5(); a6(); a7(); a8(); a9(); a10(); return 0; }\n"}});
  EXPECT_FALSE(CompileScript("many.c", 0, 0, &code, &data));
  EXPECT_EQ(boxes, 2);
  EXPECT_LE(shown.size(), 255u);
  EXPECT_EQ(shown.back(), '\n');
  EXPECT_NE(shown.find(" 関数は定義されていません。\n"), std::string::npos) << shown;
  TheConfig().error = savedError;
  SetErrorLevel(savedError);
  SetHeadless(headless);
  SetErrorBox(nullptr);
}

}  // namespace
}  // namespace qavz::test
