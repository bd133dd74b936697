// Expressions: evaluation order, folding, the type rules and the registers.
#include <gtest/gtest.h>

#include <string>

#include "compiler_harness.h"

namespace qavz::test {
namespace {

class Expressions : public CompilerTest {
 protected:
  std::vector<int32_t> Outs(const std::string& decls, const std::string& body) {
    return RunOuts(decls, body, true);
  }
};

TEST_F(Expressions, DivisionByAPowerOfTwoShiftsButConstantsFold) {
  EXPECT_EQ(Outs("",
                 "int n; unsigned u; n = -7; u = -8; out(n / 4); out(-7 / 4); out(n * 8); out(u / 2 > 0);"
                 "out(n / 1); out(n * 1); out(n % 4); out(-7 % 4); out(n / 3);"),
            (std::vector<int32_t>{-2, -1, -56, 1, -7, -7, -3, -3, -2}));
}

TEST_F(Expressions, ConstantDivisionByZeroFails) {
  ExpectError("int x = 1 / 0;\n", 10);
  ExpectError("int main() { int a; return a % 0; }\n", 10);
}

TEST_F(Expressions, RightOperandIsEvaluatedFirstAndSurvivesTheCall) {
  RunResult r = f.Run(
      "int f(int a) { out(a); return a * 10; }\nint g(int b) { out(b); return b; }\n"
      "int main() { return f(1) + g(2); }\n");
  EXPECT_EQ(r.out, (std::vector<int32_t>{2, 1})) << "g runs before f";
  EXPECT_EQ(r.result, 12) << "g's value survives the call of f";
}

TEST_F(Expressions, ArgumentsAreEvaluatedRightToLeft) {
  RunResult r = f.Run(
      "int show(int v) { out(v); return v; }\nint sub3(int a, int b, int c) { return a - b - c; }\n"
      "int main() { return sub3(show(10), show(2), show(3)); }\n");
  EXPECT_EQ(r.out, (std::vector<int32_t>{3, 2, 10}));
  EXPECT_EQ(r.result, 5);
}

TEST_F(Expressions, DeepExpressionsSpillAndStayCorrect) {
  // Right-nested operands need more than six registers; a left-nested sum
  // of many terms needs a spill stack deeper than eight entries.
  EXPECT_EQ(Outs("int a = 1, b = 2, c = 3, d = 4, e = 5, g = 6, h = 7, i = 8;\n"
                 "int f1(int v) { return v * 10; }",
                 "out(a + (b + (c + (d + (e + (g + (h + (i + a))))))));"
                 "out(a*b + (c*d + (e*g + (h*i + (a*b + (c*d + (e*g + h*i)))))));"
                 "out(((((((((((a + b) + c) + d) + e) + g) + h) + i) + a) + b) + c) + d);"
                 "out(f1(a) + (f1(b) + (f1(c) + (f1(d) + (f1(e) + (f1(g) + (f1(h) + f1(i))))))));"),
            (std::vector<int32_t>{37, 200, 46, 360}));
  std::string sum = "a", nested = "a";
  for (int k = 0; k < 300; ++k) sum += " + b";
  for (int k = 0; k < 100; ++k) nested = "(" + nested + " + b)";
  EXPECT_EQ(Outs("int a = 1, b = 2;", "out(" + sum + "); out(" + nested + ");"),
            (std::vector<int32_t>{601, 201}));
}

TEST_F(Expressions, NestingTooDeepIsAnErrorNotACrash) {
  std::string deep(3000, '(');
  ExpectError("int main() { return " + deep + "1; }\n", 22);
  std::string minus(3000, '-');
  ExpectError("int main() { int x; return " + minus + "x; }\n", 22);
  std::string blocks(3000, '{');
  ExpectError("int main() " + blocks + "\n", 22);
}

TEST_F(Expressions, CompoundAssignmentEvaluatesTheAddressTwice) {
  EXPECT_EQ(Outs("int a[10]; int i;",
                 "i = 0; a[i++] += 5; out(i); i = 0; a[i++] = 5; out(i); a[3] = 1; a[3] <<= 4; out(a[3]);"
                 "a[4] = 100; a[4] /= 7; out(a[4]); a[5] = 7; a[5] %= 4; out(a[5]);"),
            (std::vector<int32_t>{2, 1, 16, 14, 3}));
}

TEST_F(Expressions, AssignmentStoresTheLeftWidthAndYieldsTheValue) {
  EXPECT_EQ(Outs("char c; short s; unsigned char uc; int x;",
                 "x = (c = 300); out(c); out(x); s = 70000; out(s); uc = -1; out(uc); c = 200; out(c);"),
            (std::vector<int32_t>{44, 300, 4464, 255, -56}));
}

TEST_F(Expressions, IndirectionOfAnIntegerReadsOneSignedByte) {
  EXPECT_EQ(Outs("char bytes[4] = {1, -2, 3, 4}; int n;",
                 "n = bytes; out(*n); out(*(n + 1)); n = &bytes[2]; out(*n);"),
            (std::vector<int32_t>{1, -2, 3}));
}

TEST_F(Expressions, CastsChangeOnlyTheTypeOfVariables) {
  EXPECT_EQ(Outs("int v = 0x1234; int a = 100, b = 200;",
                 "out((char)v); out((unsigned char)(a + b)); out((short)v); out(*(char *)&v);"
                 "out((int)(char)v); out(sizeof((char)v));"),
            (std::vector<int32_t>{0x34, 300, 0x1234, 0x34, 0x1234, 1}))
      << "the last cast of a variable decides the width it is read with";
}

TEST_F(Expressions, PointerArithmeticScalesByTheElement) {
  EXPECT_EQ(
      Outs("int arr[6] = {10, 11, 12, 13, 14, 15}; short sh[4] = {1, 2, 3, 4};"
           "struct S { char c; int i; } st[3];",
           "int *p, *q; short *s; struct S *t; p = arr; q = p + 4; out(*q); out(q - p); out(p - q);"
           "out(*(2 + p)); p += 2; out(*p); p -= 1; out(*p); p++; out(*p); ++p; out(*p); p--; out(*p);"
           "s = sh; s = s + 3; out(*s); out(s - sh); t = st + 2; out(t - st); out((char *)t - (char *)st);"
           "out(arr[5]); out(5[arr]);"),
      (std::vector<int32_t>{14, 4, -4, 12, 12, 11, 12, 13, 12, 4, 3, 2, 10, 15, 15}));
  ExpectError("int main() { int *p; char *q; return p - q; }\n", 14);
  ExpectError("int main() { int *p, *q; return p + q; }\n", 14);
}

TEST_F(Expressions, ComparisonsAreSignedOnlyForTwoInts) {
  EXPECT_EQ(Outs("int n = -1; unsigned u = 1; char *p; int *big;",
                 "out(n < 1); out(n < u); out(u > n); big = -4; out(big > 0); out(n <= -1); out(n >= 0);"
                 "out(n == -1); out(n != -1); out((n < 0) + (n < 0));"),
            (std::vector<int32_t>{1, 0, 0, 1, 1, 0, 1, 0, 2}));
}

TEST_F(Expressions, LogicalOperatorsShortCircuit) {
  EXPECT_EQ(Outs("int t(int v) { out(v); return v; }",
                 "out(t(0) && t(1)); out(t(2) || t(3)); out(t(0) || t(4)); out(!t(5)); out(!0);"
                 "if (t(6) && t(0)) out(99); if (t(0) || !t(7)) out(98); else out(97);"),
            (std::vector<int32_t>{0, 0, 2, 1, 0, 4, 1, 5, 0, 1, 6, 0, 0, 7, 97}));
}

TEST_F(Expressions, ConditionalTypesAndConstantConditions) {
  EXPECT_EQ(Outs("int t(int v) { out(v); return v; } unsigned big = 0x80000000;",
                 "int x; x = 3; out(x > 2 ? 10 : 20); out(1 ? t(1) : t(2)); out(0 ? t(3) : t(4));"
                 "out((x ? big : -1) > 0); out((x ? -1 : big) > 0); out(x ? t(5) : t(6) + 1);"),
            (std::vector<int32_t>{10, 1, 1, 4, 4, 1, 1, 5, 5}));
}

// A call in one branch of ?: moves a pending value out of r0 on that path
// only; both paths must still meet with the same registers.
TEST_F(Expressions, ConditionalBranchesWithCallsKeepPendingValues) {
  EXPECT_EQ(Outs("int f() { return 100; }",
                 "int c, x, a[2]; x = 5;"
                 "for (c = 0; c < 2; c++) {"
                 "  out((c ? f() : 1) + x); out((c ? 1 : f()) + x); out((c ? f() : f() + 1) + x);"
                 "  a[0] = 0; a[1] = 0; a[c ? f() - 99 : 0] = 7; out(a[0] * 10 + a[1]);"
                 "  out(x * (c ? (c ? f() : 2) : 3) + x); }"),
            (std::vector<int32_t>{6, 105, 106, 70, 20, 105, 6, 105, 7, 505}));
  EXPECT_EQ(Outs("int f() { out(77); return 100; } int z() { return 0; }",
                 "int a, x, c; x = 5;"
                 "for (a = 0; a < 2; a++) {"
                 "  out((a && f()) + x); out((a || f()) + x); out((a > 0 && f() > 50) * 10 + x);"
                 "  c = (a ? z() : 1) && f(); out(c + x); }"),
            (std::vector<int32_t>{5, 77, 6, 5, 77, 6, 77, 6, 6, 77, 15, 5}))
      << "&& and || as values, with a call on one path only";
}

// A call that runs on every path of a comparison or a condition is handled
// by the ordinary move to r0: no extra copy of the pending value first.
TEST_F(Expressions, UnconditionalCallsInBranchingValuesNeedNoExtraMove) {
  std::string listing =
      f.Listing("int x;\nint f() { return 2; }\nint main() { x = (f() > 1) + x; return 0; }\n");
  EXPECT_NE(
      listing.find("main:\n\tenter\n\tmovl\tr0, x\n\tmovl\tr2, $1\n\txchg\tr0, r3\n\tcall\tf\n"
                   "\tsub\t\tr0, r2\n\tjg\t\t_5\n\tmovl\tr0, $0\n\tjmp\t\t_6\n_5:\n\tmovl\tr0, $1\n_6:\n"
                   "\tadd\t\tr0, r3\n\tmovl\tx, r0\n"),
      std::string::npos)
      << listing;
  listing = f.Listing("int x;\nint f() { return 2; }\nint main() { x = (f() ? 3 : 4) + x; return 0; }\n");
  EXPECT_NE(listing.find("main:\n\tenter\n\tmovl\tr0, x\n\txchg\tr0, r2\n\tcall\tf\n\tcmpl\tr0, $0\n"),
            std::string::npos)
      << listing;
  EXPECT_EQ(Outs("int f() { out(9); return 2; } int g() { return 0; }",
                 "int x; x = 5; out((f() > 1) + x); out((f() ? 3 : 4) + x); out((f() && g()) + x);"
                 "out((!f() || g()) * 10 + x); out((g() ? f() : 1) + x);"),
            (std::vector<int32_t>{9, 6, 9, 8, 9, 5, 9, 5, 6}));
}

TEST_F(Expressions, UnaryOperatorsFoldOnConstants) {
  EXPECT_EQ(Outs("int v = 5;", "out(-v); out(~v); out(- -3); out(~0); out(-(2 * 3)); out(-0x80000000);"),
            (std::vector<int32_t>{-5, -6, 3, -1, -6, INT32_MIN}));
}

TEST_F(Expressions, IncrementAndDecrementByWidth) {
  EXPECT_EQ(Outs("char c = 127; unsigned char uc = 255; short s = -1; int i = 7; int *p;",
                 "out(c++); out(c); out(++uc); out(s--); out(s); out(--i); out(i++); out(i);"
                 "p = &i; out(*p++ == 7); out(p - &i);"),
            (std::vector<int32_t>{127, -128, 0, 65535, -2, 6, 6, 7, 1, 1}))
      << "byte and word increments give their zero-extended value";
}

TEST_F(Expressions, LvaluesAndTypeErrors) {
  ExpectError("int main() { 3 = 4; return 0; }\n", 13);
  ExpectError("int main() { int a; (a + 1)++; return 0; }\n", 13);
  ExpectError("int main() { int a; return &(a + 1); }\n", 13);
  ExpectError("struct S { int x; } s; int main() { return s + 1; }\n", 14);
  ExpectError("int main() { int *p; return p * 2; }\n", 14);
  ExpectError("int main() { int a; return a.x; }\n", 14);
  ExpectError("struct S { int x; } s; int main() { return s.y; }\n", 14);
  ExpectError("int main() { int fp; return fp(1); }\n", 14);
  ExpectError("int main() { return ); }\n", 9);
  ExpectError("int main() { return y; }\n", 15);
}

TEST_F(Expressions, FunctionPointersCallThroughIndirection) {
  EXPECT_EQ(Outs("int twice(int v) { return v * 2; } int (*fp)(); int *table[2];",
                 "fp = twice; out((*fp)(21)); fp = &twice; out((*fp)(5)); table[1] = twice;"
                 "out((*(int (*)())table[1])(4));"),
            (std::vector<int32_t>{42, 10, 8}));
}

TEST_F(Expressions, CommaAndSizeofEvaluateNothingExtra) {
  EXPECT_EQ(Outs("int t(int v) { out(v); return v; } int arr[7];",
                 "int x; x = (t(1), t(2)); out(x); out(sizeof(t(3))); out(sizeof arr); out(sizeof(arr[0]));"),
            (std::vector<int32_t>{1, 2, 2, 4, 28, 4}));
}

}  // namespace
}  // namespace qavz::test
