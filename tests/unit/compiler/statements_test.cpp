// Statements and functions: control flow, switch, goto, returns, calls,
// prototypes and the extern-function table.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compiler.h"
#include "compiler_harness.h"
#include "vm/machine_context.h"

namespace qavz::test {
namespace {

class Statements : public CompilerTest {
 protected:
  std::vector<int32_t> Outs(const std::string& decls, const std::string& body) {
    return RunOuts(decls, body, true);
  }
};

TEST_F(Statements, LoopsBreakAndContinue) {
  EXPECT_EQ(Outs("int i, n;",
                 "for (i = 0; i < 3; i++) out(i);"
                 "i = 10; while (i < 13) { if (i == 11) { i++; continue; } out(i); i++; }"
                 "i = 0; do { i += 5; if (i > 12) break; } while (1); out(i);"
                 "for (;;) { if (++n == 4) break; } out(n);"
                 "i = 0; while (i++ < 5); out(i);"
                 "for (i = 0; i < 10; i++) { if (i & 1) continue; if (i > 6) break; out(i); }"),
            (std::vector<int32_t>{0, 1, 2, 10, 12, 15, 4, 6, 0, 2, 4, 6}));
}

TEST_F(Statements, SwitchGroupsDefaultsAndFallThrough) {
  std::string sw =
      "int sw(int v) { int r; r = 0; switch (v) {"
      " case 1: case 2: r = 12; break;"
      " case 3: r = 3;"
      " case 4: r += 40; break;"
      " default: r = 99; break;"
      " case 5: r = 5; }"
      " return r; }"
      "int nodef(int v) { switch (v) { case 7: return 7; case -1: return -1; } return 0; }"
      "int deflast(int v) { switch (v) { case 1: return 1; default: out(100); } return 2; }";
  EXPECT_EQ(Outs(sw,
                 "out(sw(1)); out(sw(2)); out(sw(3)); out(sw(4)); out(sw(5)); out(sw(6));"
                 "out(nodef(7)); out(nodef(-1)); out(nodef(8)); out(deflast(1)); out(deflast(5));"),
            (std::vector<int32_t>{12, 12, 43, 40, 5, 99, 7, -1, 0, 1, 100, 2}));
}

TEST_F(Statements, NestedSwitchesAndLoopsKeepTheirLabels) {
  EXPECT_EQ(Outs("int i, j;",
                 "for (i = 0; i < 3; i++) { switch (i) { case 0: continue; case 1: "
                 "  switch (i + 1) { case 2: out(21); break; } out(1); break; default: out(9); } out(i); }"),
            (std::vector<int32_t>{21, 1, 1, 9, 2}));
}

TEST_F(Statements, JumpsOutsideTheirConstructAreErrors) {
  ExpectError("int main() { break; return 0; }\n", 12);
  ExpectError("int main() { continue; }\n", 12);
  ExpectError("int main() { switch (1) { case 1: continue; } }\n", 12);
  ExpectError("int main() { case 1: return 0; }\n", 12);
  ExpectError("int main() { default: return 0; }\n", 12);
  ExpectError("int main() { switch (1) { default: default: ; } }\n", 12);
  ExpectError("int main() { int v; switch (v) { case v: ; } }\n", 11);
}

TEST_F(Statements, GotoLabelsShareOneNameSpace) {
  EXPECT_EQ(
      Outs(
          "",
          "int i; i = 0; goto forward; back: out(i); if (i > 2) goto done; forward: i++; goto back; done: ;"),
      (std::vector<int32_t>{1, 2, 3}));
  ExpectError("int main() { int x; goto x; }\n", 12);
  ExpectError("int main() { int x; x: return 0; }\n", 14);
  ExpectError("int f() { l: return 0; }\nint main() { l: return 1; }\n", 0);
  std::string messages;
  EXPECT_FALSE(f.Check("int main() { goto nowhere; return 0; }\n", &messages));
  EXPECT_NE(messages.find("nowhere ラベルは定義されていません。\n"), std::string::npos) << messages;
}

TEST_F(Statements, ConstantConditionsStillCompileTheirBody) {
  EXPECT_EQ(Outs("", "if (0) out(1); if (1) out(2); else out(3); while (0) out(4); out(5);"),
            (std::vector<int32_t>{2, 5}));
  std::string listing = f.Listing("int main() { if (0) return 4; for (;;) ; }\n");
  EXPECT_NE(listing.find("\tjmp\t\t_3\n\tmovl\tr0, $4\n"), std::string::npos) << listing;
}

TEST_F(Statements, MissingTokensAreReportedAndTheCompileGoesOn) {
  std::string messages;
  EXPECT_TRUE(
      f.Check("int main() {\n  int x;\n  x = 1\n  if (x == 1 x = 2;\n  return x;\n}\n", &messages, false));
  EXPECT_EQ(messages, "main.c(4) : ';' がありません\nmain.c(4) : ')' がありません\n");
  RunResult r = f.Run("int main() { int a[3]; a[1] = 5; out(a[1); do ; (0); return a[1] }\n");
  EXPECT_TRUE(r.compiled);
  EXPECT_EQ(r.out, (std::vector<int32_t>{5}));
  EXPECT_EQ(r.result, 5);
}

TEST_F(Statements, ReturnValuesAndTheFinalReturn) {
  RunResult r = f.Run(
      "int sign(int v) { if (v < 0) return -1; if (v > 0) return 1; return 0; }\n"
      "void nothing() { out(7); }\n"
      "int main() { nothing(); out(sign(-5)); out(sign(5)); out(sign(0)); return 42; }\n");
  EXPECT_EQ(r.out, (std::vector<int32_t>{7, -1, 1, 0}));
  EXPECT_EQ(r.result, 42);
  std::string listing = f.Listing("int f(int v) { return v; }\nint main() { return f(2); }\n");
  EXPECT_NE(listing.find("\tmovl\tr0, 8(r6)\n_3:\n\tleave\n\tret\n\n"), std::string::npos)
      << "no jump to the epilogue after a final return:\n"
      << listing;
}

TEST_F(Statements, FunctionsDeclarationsAndRedeclarations) {
  RunResult r = f.Run(
      "int later();\nint use() { return later() + undeclared(3); }\n"
      "int later() { return 10; }\nint undeclared(int x) { return x; }\n"
      "int old(a, b) char *b; { return a + b[1]; }\n"
      "int main() { return use() + old(100, \"AB\"); }\n");
  EXPECT_EQ(r.result, 13 + 100 + 'B');
  ExpectError("int f();\nchar f();\n", 14);
  ExpectError("int x;\nint x;\n", 8);
  ExpectError("int f() { return 1; }\nint f() { return 2; }\n", 0);
  ExpectError("int x;\nint x() { return 0; }\n", 8);
  ExpectError("int main() { int f(int a); return 0; }\n", 8);
  ExpectError("int main() { int g(); return 0; }\n", 8);
  ExpectError("int f(int a[]) { return 0; }\n", 8);
  ExpectError("int f(char a) char a; { return 0; }\n", 8);
  ExpectError("int f(a) int b; { return 0; }\n", 8);
}

TEST_F(Statements, UndefinedFunctionsAreAllReportedInTableOrder) {
  std::string messages;
  EXPECT_FALSE(f.Check("int proto();\nint main() { return first() + second(); }\n", &messages));
  EXPECT_NE(messages.find("first 関数は定義されていません。\n"), std::string::npos) << messages;
  EXPECT_NE(messages.find("second 関数は定義されていません。\n"), std::string::npos) << messages;
  EXPECT_NE(messages.find("proto 関数は定義されていません。\n"), std::string::npos)
      << "a prototype never defined fails even if never called";
  EXPECT_FALSE(f.Check("int helper() { return 0; }\n", &messages));
  EXPECT_EQ(messages, "main 関数は定義されていません。\n");
}

TEST_F(Statements, ExternFunctionsOutliveTheirCompile) {
  ClearExternRegistry();
  std::string lib =
      f.Write({{"lib.c", "extern int triple(int v) { return v * 3; }\nint main() { return 0; }\n"}}, "lib.c");
  MachineContext* library = LoadProgram(lib.c_str(), 0, 4096);
  ASSERT_NE(library, nullptr);
  RunResult r = f.Run("int main() { return triple(14); }\n");
  EXPECT_TRUE(r.compiled);
  EXPECT_EQ(r.result, 42);
  RunResult named = f.Run("int main() { int (*fp)(); fp = triple; return (*fp)(2); }\n");
  EXPECT_EQ(named.result, 6) << "an undeclared name that is not called names the extern function";
  FreeContext(library);
  std::string messages;
  EXPECT_FALSE(f.Check("int main() { return triple(1); }\n", &messages))
      << "the function's image is gone, so the name no longer links";
  ClearExternRegistry();
}

TEST_F(Statements, NativeStubsKeepTheResultInR0AfterAnyExpression) {
  RunResult r = f.Run(
      "int f(int a, int b) { return a + b; }\nint g() { return f(1, 2) + f(3, 4); }\n"
      "#trap\nint late40(int v);\n"
      "int main() { return g() + late40(0); }\n",
      false);
  // Without the prelude, late40 is native 0 (out): it returns 0 and logs 0.
  EXPECT_EQ(r.result, 10);
  EXPECT_EQ(r.out, (std::vector<int32_t>{0}));
}

}  // namespace
}  // namespace qavz::test
