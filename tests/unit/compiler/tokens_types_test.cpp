// Tokens, symbol tables and types.
#include <gtest/gtest.h>

#include <string>

#include "compiler_harness.h"

namespace qavz::test {
namespace {

class TokensTypes : public CompilerTest {
 protected:
  std::vector<int32_t> Outs(const std::string& body) { return RunOuts("", body, false); }
};

TEST_F(TokensTypes, NumbersHaveHexBinaryAndDecimalButNoOctal) {
  EXPECT_EQ(Outs("out(0x1F); out(0X1f); out(0b101); out(010); out(4294967295); out(0x);"),
            (std::vector<int32_t>{31, 31, 5, 10, -1, 0}));
}

TEST_F(TokensTypes, CharacterConstantsAndEscapes) {
  EXPECT_EQ(Outs("out('A'); out('\\n'); out('\\x41'); out('\\0101'); out('\\65'); out('\\0');"
                 "out('\\q'); out('\\''); out('\\400');"),
            (std::vector<int32_t>{65, 10, 65, 65, 65, 0, 'q', '\'', 144}));
  // A double-byte character constant is lead * 256 + trail.
  EXPECT_EQ(Outs("out('\x82\xa0');"), (std::vector<int32_t>{0x82A0}));
}

TEST_F(TokensTypes, LongestMatchOperators) {
  EXPECT_EQ(Outs("int a, b, c; a = 1; b = 2; c = a+++b; out(a); out(c); c = 64; c >>= 2; out(c);"
                 "c = 1; c <<= 3; out(c);"),
            (std::vector<int32_t>{2, 3, 16, 8}));
}

TEST_F(TokensTypes, ArrowOnAnIntegerIsATypeError) {
  ExpectError("int main() { int a, b; return a->b; }\n", 14);
}

TEST_F(TokensTypes, BlockCommentsNest) {
  EXPECT_EQ(Outs("/* outer /* inner */ out(1); */ out(2); // out(3);\nout(4);"),
            (std::vector<int32_t>{2, 4}));
  ExpectError("int main() { /* open /* nested */ return 0; }\n", 24);
}

TEST_F(TokensTypes, StringsJoinAndCountTheirZeroByte) {
  RunResult r = f.Run(
      "int main() { outs(\"ab\" \"cd\"); out(sizeof(\"ab\" \"cd\")); out(sizeof \"abc\");"
      "outs(\"\\x41\\102\\t\"); return 0; }\n");
  EXPECT_EQ(r.text, "abcd|Af\t") << "a backslash and a digit 1-9 is a decimal escape";
  EXPECT_EQ(r.out, (std::vector<int32_t>{5, 4}));
}

TEST_F(TokensTypes, StringErrors) {
  ExpectError("char *s = \"abc\n\";\n", 16);
  ExpectError("int c = 'ab';\n", 17);
  ExpectError("int x = 1 ` 2;\n", 12);
}

TEST_F(TokensTypes, ShiftJisTrailBytesNeverEndAStringOrName) {
  // 0x95 0x5C is one character whose trail byte is a backslash.
  RunResult r = f.Run("int \x95\x5C = 7;\nint main() { outs(\"\x95\x5C\"); return \x95\x5C; }\n");
  EXPECT_TRUE(r.compiled);
  EXPECT_EQ(r.result, 7);
  EXPECT_EQ(r.text, "\x95\x5C");
}

TEST_F(TokensTypes, SizesOfTypesWithoutAlignment) {
  EXPECT_EQ(
      Outs("struct S { char c; long l; }; union U { char c; short s[3]; };"
           "out(sizeof(void)); out(sizeof(int)); out(sizeof(struct S)); out(sizeof(union U));"
           "out(sizeof(char *)); out(sizeof(short)); out(sizeof(unsigned char)); out(sizeof(int[3][2]));"),
      (std::vector<int32_t>{4, 4, 5, 6, 4, 2, 1, 24}));
  ExpectError("struct T; int main() { return sizeof(struct T); }\n", 15);
  ExpectError("struct T { struct T inner; };\n", 8);
  ExpectError("int f(); int main() { return sizeof(f); }\n", 8);
}

TEST_F(TokensTypes, LocalsHideGlobalsOnlyInTheirFunction) {
  RunResult r = f.Run(
      "int x = 5;\nint g() { return x; }\n"
      "int main() { int x; x = 2; out(x); out(g()); return 0; }\n");
  EXPECT_EQ(r.out, (std::vector<int32_t>{2, 5}));
}

TEST_F(TokensTypes, NamesKeepTheirMeaningAcrossFunctionsAndDefinitions) {
  // zz is first a local of f, then a macro; s is a global, f's local and a
  // member; each use takes the meaning it has where it stands.
  RunResult r = f.Run(
      "int s = 40;\nint f() { int s, zz; s = 1; zz = 2; return s + zz; }\nint g() { return s; }\n"
      "#define zz 7\nint h() { return zz; }\nstruct P { int s; } p;\n"
      "int main() { p.s = 100; return f() * 10000 + g() * 100 + h() + p.s; }\n");
  EXPECT_EQ(r.result, 34107);
}

TEST_F(TokensTypes, ManyShortNamesInTurn) {
  // More short names than any lookaside could hold (and fewer than the local
  // table's 1,024), some shadowed in one function and read as globals in the
  // next; sums of 100 names keep each expression within the node pool.
  std::string source, shadow, sum;
  for (int i = 0; i < 900; ++i) source += "int v" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
  for (int i = 0; i < 400; i += 2) shadow += "int v" + std::to_string(i) + " = 1;\n";
  for (int i = 0; i < 900; ++i) sum += (i % 100 ? " + v" : ";\nt = t + v") + std::to_string(i);
  source += "int f() {\nint t;\n" + shadow + "v0 = 5;\nt = 0" + sum + ";\nreturn t; }\n";
  source += "int main() {\nint t;\nt = 0" + sum + ";\nreturn f() - t; }\n";
  RunResult r = f.Run(source);
  ASSERT_TRUE(r.compiled);
  int32_t expected = 5 + 199;  // v0, and the other 199 shadows once each
  for (int i = 0; i < 400; i += 2) expected -= i;
  EXPECT_EQ(r.result, expected);
}

TEST_F(TokensTypes, MemberNamesDoNotClashWithGlobals) {
  RunResult r = f.Run(
      "int x = 9;\nstruct P { int x; int y; } p;\nstruct Q { char y; int x; } q;\n"
      "int main() { p.x = 1; p.y = 2; q.x = 3; q.y = 4; return x * 1000 + p.x * 100 + p.y * 10 + q.x + q.y; "
      "}\n");
  EXPECT_EQ(r.result, 9127);
}

TEST_F(TokensTypes, LocalTableCountsEveryDistinctName) {
  std::string body;
  for (int i = 0; i < 1025; ++i) body += "int n" + std::to_string(i) + ";\n";
  ExpectError("int main() {" + body + "}\n", 19);
}

TEST_F(TokensTypes, GlobalTableOf7168Entries) {
  std::string source;
  for (int i = 0; i < 7200; ++i) source += "int g" + std::to_string(i) + ";\n";
  ExpectError(source, 18);
}

TEST_F(TokensTypes, OverlongIdentifiersAreCut) {
  // Lines end at 4,094 bytes, but a pasted macro body can make a longer
  // name; both spellings keep their first 4,094 bytes and name one variable.
  std::string a(3000, 'a');
  RunResult r =
      f.Run("#define NAME(x) " + a + "\\\n" + a + "##x\nint NAME(b) = 3;\nint main() { return NAME(c); }\n");
  EXPECT_TRUE(r.compiled);
  EXPECT_EQ(r.result, 3);
}

TEST_F(TokensTypes, TypeSpecifierForms) {
  EXPECT_EQ(Outs("unsigned char uc; signed char sc; unsigned short us; short s; unsigned u; long int li;"
                 "signed long sl; unsigned long ul; short int si;"
                 "uc = 255; sc = 255; us = 65535; s = 65535; u = -1;"
                 "out(uc); out(sc); out(us); out(s); out(u > 0); out(sizeof(li) + sizeof(sl) + sizeof(ul) + "
                 "sizeof(si));"),
            (std::vector<int32_t>{255, -1, 65535, -1, 1, 14}));
}

TEST_F(TokensTypes, TypedefsAndTags) {
  RunResult r = f.Run(
      "typedef struct NodeTag { int v; struct NodeTag *next; } Node;\ntypedef int *IntPtr;\n"
      "int main() { Node a, b; IntPtr p; a.v = 1; b.v = 2; a.next = &b; p = &a.next->v;"
      "typedef char Byte; Byte c; c = 300; return *p * 100 + c; }\n");
  EXPECT_EQ(r.result, 244);
  ExpectError("struct A { int x; };\nstruct A { int y; };\n", 8);
  ExpectError("typedef struct Same { int x; } Same;\n", 8);  // tags and names share one table
  ExpectError("int A; struct A *p;\n", 14);
}

}  // namespace
}  // namespace qavz::test
