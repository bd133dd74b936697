// Source reader and preprocessor: lines, includes, directives and macros.
#include <gtest/gtest.h>

#include <string>

#include "compiler_harness.h"

namespace qavz::test {
namespace {

class Preprocessor : public CompilerTest {};

TEST_F(Preprocessor, LineOf4094BytesIsAcceptedAndOneMoreFails) {
  std::string comment = "//" + std::string(4092, 'x');
  RunResult ok = f.Run(comment + "\nint main() { return 3; }\n");
  EXPECT_TRUE(ok.compiled);
  EXPECT_EQ(ok.result, 3);
  ExpectError(comment + "y\nint main() { return 3; }\n", 21);
}

TEST_F(Preprocessor, FileWithoutFinalLineFeedReadsAsIfItHadOne) {
  RunResult r = f.Run("int main() { return 5; }");
  EXPECT_TRUE(r.compiled);
  EXPECT_EQ(r.result, 5);
}

// A lead byte cut off by the end of a file is a truncated character, like
// any other token the end of the file cuts short; a lead byte before a real
// line feed still takes it as its trail.
TEST_F(Preprocessor, LeadByteAtTheEndOfAFileIsTruncated) {
  const std::string program = "int main() { return 5; }\n";
  for (const char* tail : {"\x82", "\n\x82", "\xE0", "int x;\x9F"})
    ExpectError(program + tail, 24, "main.c(");
  std::string messages;
  f.Write({{"tail.h", "int t;\n\x82"}});
  EXPECT_FALSE(f.Check("#include \"tail.h\"\nint main() { return 0; }\n", &messages));
  EXPECT_NE(messages.find("tail.h(2) : " + std::string(kCompileErrors[24])), std::string::npos) << messages;
  RunResult ok = f.Run(program + "// \x82\x82\n");
  EXPECT_TRUE(ok.compiled);
  EXPECT_EQ(ok.result, 5);
}

TEST_F(Preprocessor, IncludeIsReadOnceAndLineNumbersStayPhysical) {
  // b.h is included twice (once with another letter case); the error on
  // line 5 of main.c is reported as line 5.
  std::string messages;
  f.Write(
      {{"a.h", "#include \"b.h\"\nint fa() { return 1; }\n"},
       {"b.h", "int fb() { return 2; }\n"},
       {"main.c",
        "#include \"a.h\"\n#include \"B.H\"\n#include \"b.h\"\nint main() { return fa() + fb(); }\n$\n"}});
  EXPECT_FALSE(f.CheckPath("main.c", &messages));
  EXPECT_NE(messages.find("main.c(5) : " + std::string(kCompileErrors[12])), std::string::npos) << messages;
  RunResult r =
      f.RunFiles({{"main.c", "#include \"a.h\"\n#include \"B.H\"\nint main() { return fa() + fb(); }\n"}});
  EXPECT_EQ(r.result, 3);
}

TEST_F(Preprocessor, SixteenthNestedFileOpensAndItsIncludeFails) {
  std::map<std::string, std::string> files;
  for (int i = 1; i <= 15; ++i)
    files["n" + std::to_string(i) + ".h"] =
        i < 15 ? "#include \"n" + std::to_string(i + 1) + ".h\"\n" : "int deep = 15;\n";
  files["main.c"] = "#include \"n1.h\"\nint main() { return deep; }\n";
  EXPECT_EQ(f.RunFiles(files).result, 15);
  files["n15.h"] = "#include \"n16.h\"\n";
  files["n16.h"] = "int deeper;\n";
  std::string messages;
  f.Write(files);
  EXPECT_FALSE(f.CheckPath("main.c", &messages));
  EXPECT_NE(messages.find(std::string("n15.h(1) : ") + kCompileErrors[6]), std::string::npos) << messages;
}

TEST_F(Preprocessor, DirectivesOtherThanTheFiveFail) {
  ExpectError("#if 1\nint main() { return 0; }\n", 4);
  ExpectError("#pragma once\nint main() { return 0; }\n", 4);
  ExpectError("#endasm\nint main() { return 0; }\n", 4);
  ExpectError("#asm\n#asm\n", 4);
  ExpectError("int main() { return 0; }\n  #define X 1\n", 12);
  ExpectError("#include <a.h>\n", 5);
  ExpectError("#include \"a.h\n", 5);
  ExpectError("#include \"missing.h\"\n", 2, "missing.h(0) : ");
  RunResult r = f.Run("# any comment line\nint main() { return 1; }\n");
  EXPECT_TRUE(r.compiled);
}

TEST_F(Preprocessor, MacrosWithoutParametersReplaceWholeIdentifiers) {
  RunResult r = f.Run("#define N 12\nint NN = 1;\nint main() { return N + NN; }\n");
  EXPECT_EQ(r.result, 13);
}

TEST_F(Preprocessor, MacroArgumentsInParenthesesOrUpToASemicolon) {
  RunResult r = f.Run(
      "#define SUB(a, b) out((a) - (b))\n"
      "#define Twice(x) ((X) * 2)\n"
      "int main() { SUB(10, 3); SUB 20, 5; out(Twice(4)); out(SUB(f(1, 2), 1)); return 0; }\n"
      "int f(int a, int b) { return a + b; }\n");
  ASSERT_TRUE(r.compiled);
  EXPECT_EQ(r.out, (std::vector<int32_t>{7, 15, 8, 2, 0}));
}

TEST_F(Preprocessor, CommaInsideAStringArgumentSplitsIt) {
  RunResult r = f.Run("#define FIRST(a, b) a\nint main() { outs(FIRST(\"x,\", \"y\")); return 0; }\n");
  // The first argument is `"x` and the second `"`, so the string is unclosed.
  EXPECT_FALSE(r.compiled);
}

TEST_F(Preprocessor, SelfReferenceStopsAtDepthSixteen) {
  ExpectError("#define LOOP LOOP + 1\nint main() { return LOOP; }\n", 7);
}

TEST_F(Preprocessor, ParametersAreBoundPerMacro) {
  // The inner call of ID rebinds ID_0, so the outer body sees "2".
  RunResult r = f.Run(
      "#define ID(a) a\n#define PAIR(a, b) ID(a) * 10 + b\n"
      "int main() { return PAIR(ID(7), ID(2)); }\n");
  EXPECT_EQ(r.result, 72);
  // M(M(1)): the inner call rebinds M_0 to "1" for the rest of the outer body.
  RunResult s = f.Run("#define M(a) (a) * 100 + a\nint main() { return M(M(1)); }\n");
  EXPECT_EQ(s.result, 10101);
}

TEST_F(Preprocessor, DefineOfAnExistingNameFails) {
  ExpectError("int x;\n#define x 1\n", 4);
  ExpectError("#define A 1\n#define A 2\n", 4);
  ExpectError("int main() { return 0; }\n#define main 1\n", 4);
  ExpectError("#define if 1\n", 4);
}

TEST_F(Preprocessor, ContinuationLinesAndPasting) {
  RunResult r = f.Run(
      "#define SUM3(a, b, c) \\\n  ((a) + \\\n   (b) + (c))\n#define VAR(n) value_##n\n"
      "int value_1 = 40, value_2 = 2;\n"
      "int main() { return SUM3(VAR(1), VAR(2), 0); }\n");
  EXPECT_EQ(r.result, 42);
}

TEST_F(Preprocessor, AsmBlockLinesGoToTheListingOnly) {
  std::string listing = f.Listing("#asm\n\tnop ; anything\n#endasm int x;\nint main() { return 0; }\n");
  EXPECT_NE(listing.find("\tnop ; anything\n"), std::string::npos) << listing;
  RunResult r = f.Run("#asm\nthis is not C\n#endasm\nint main() { return 9; }\n");
  EXPECT_EQ(r.result, 9);
}

TEST_F(Preprocessor, TrapLinesNumberNativesInOrder) {
  std::string listing = f.Listing("#trap\nint a();\n#trap int b(int x);\nint main() { return b(a()); }\n");
  EXPECT_NE(listing.find("a:\n\ttrap\t0\n\tret\n\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("b:\n\ttrap\t1\n\tret\n\n"), std::string::npos) << listing;
}

TEST_F(Preprocessor, MacroExplosionStopsInsteadOfRunningForEver) {
  // Each level doubles ten times: 10^12 empty statements at depth 12 would
  // never end; the expansion budget turns it into error 7.
  std::string defs = "#define L0 ;\n";
  for (int i = 1; i <= 12; ++i) {
    std::string prev = "L" + std::to_string(i - 1) + " ";
    std::string body;
    for (int k = 0; k < 10; ++k) body += prev;
    defs += "#define L" + std::to_string(i) + " " + body + "\n";
  }
  ExpectError(defs + "int main() { L12 return 0; }\n", 7);
}

TEST_F(Preprocessor, IncludeListStopsAtItsBound) {
  // 300 distinct names of 20 bytes overflow the 4,096-byte list: the
  // compile stops with error 6 instead of writing past it.
  std::map<std::string, std::string> files;
  std::string main;
  for (int i = 0; i < 300; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "file_number_%04d.h", i);
    files[name] = "";
    main += std::string("#include \"") + name + "\"\n";
  }
  files["main.c"] = main + "int main() { return 0; }\n";
  f.Write(files);
  std::string messages;
  EXPECT_FALSE(f.CheckPath("main.c", &messages));
  EXPECT_NE(messages.find(kCompileErrors[6]), std::string::npos) << messages;
}

}  // namespace
}  // namespace qavz::test
