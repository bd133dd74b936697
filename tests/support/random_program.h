// Random scripts for the differential checks: bytes become a program the
// compiler accepts, with globals and locals of every width and signedness,
// arrays, a pointer, arithmetic and comparisons of all kinds, conditions,
// loops (some endless: runs are bounded by instruction counts), switch,
// calls and recursion. Runs out of bytes gracefully: missing bytes read as
// 0, which picks the simplest form everywhere.
#pragma once

#include <algorithm>
#include <string>

#include "tests/support/differential_machine.h"

namespace qavz::test {

class ProgramWriter {
 public:
  explicit ProgramWriter(ByteSource& in) : in_(in) {}

  std::string Program() {
    std::string s =
        "int g0, g1 = 5;\nunsigned gu = 0x80000001;\nshort gs = -3;\nunsigned short gus;\n"
        "int ga[8];\nchar gc[8];\n";
    functions_ = 1 + Pick(4);
    for (function_ = 0; function_ <= functions_; ++function_) {
      bool isMain = function_ == functions_;
      s += isMain ? "int main()\n{\n" : "int f" + std::to_string(function_) + "(int a, int b)\n{\n";
      s += "\tint x, y, z, arr[8], *p;\n\tunsigned u;\n\tshort s;\n\tunsigned char c;\n\tchar cs[8];\n";
      s += isMain ? "\tint a, b;\n\ta = 3;\n\tb = -9;\n" : "";
      s += "\tx = a;\n\ty = b;\n\tz = 0;\n\tu = 7;\n\ts = 300;\n\tc = 200;\n\tp = &x;\n";
      int statements = 1 + Pick(6);
      for (int k = 0; k < statements; ++k) Statement(s, 1, 0);
      s += "\treturn " + Expr(2) + ";\n}\n";
    }
    return s;
  }

 private:
  int Pick(int n) { return in_.Byte() % n; }

  std::string Index() { return Pick(2) ? std::to_string(Pick(8)) : "(" + Expr(1) + ") & 7"; }

  std::string LValue() {
    static const char* const kNames[] = {"x", "y",  "z",  "u",  "s",  "c",   "a",
                                         "b", "g0", "g1", "gu", "gs", "gus", "*p"};
    switch (Pick(6)) {
      case 0:
        return "arr[" + Index() + "]";
      case 1: {
        std::string array = Pick(2) ? "ga[" : "gc[";
        return array + Index() + "]";
      }
      case 2:
        return "cs[" + Index() + "]";
      default:
        return kNames[Pick(sizeof kNames / sizeof kNames[0])];
    }
  }

  std::string Constant() {
    static const char* const kSpecial[] = {"0",   "1",     "-1", "0x7FFFFFFF", "0x80000000",
                                           "255", "65535", "31", "32"};
    return Pick(2) ? std::to_string(int(Pick(256)) - 64)
                   : kSpecial[Pick(sizeof kSpecial / sizeof kSpecial[0])];
  }

  std::string Call(int depth) {
    // Lower functions or this one (recursion runs into the stack's end,
    // which both sides must report alike).
    int callee = Pick(std::min(function_ + 1, functions_));
    std::string call = "f";  // appended piecewise: GCC 12 warns wrongly on "f" + std::string
    call += std::to_string(callee);
    call += "(" + Expr(depth);
    call += ", " + Expr(depth) + ")";
    return call;
  }

  std::string Expr(int depth) {
    if (depth <= 0) return Pick(3) ? LValue() : Constant();
    static const char* const kBinary[] = {"+", "-",  "*",  "&",  "|",  "^",  "<<", ">>", "<",
                                          ">", "<=", ">=", "==", "!=", "&&", "||", "/",  "%"};
    switch (Pick(10)) {
      case 0:
        return Constant();
      case 1:
        return LValue();
      case 2: {
        static const char* const kUnary[] = {
            "-", "~", "!", "(unsigned)", "(char)", "(short)", "(unsigned char)"};
        std::string unary = kUnary[Pick(7)];
        return unary + "(" + Expr(depth - 1) + ")";
      }
      case 3: {
        static const char* const kStep[] = {"++", "--"};
        std::string v = LValue();
        return Pick(2) ? kStep[Pick(2)] + v : v + kStep[Pick(2)];
      }
      case 4: {
        std::string target = LValue();
        return "(" + target + " = " + Expr(depth - 1) + ")";
      }
      case 5: {
        std::string condition = Expr(depth - 1), then = Expr(depth - 1);
        return "(" + condition + " ? " + then + " : " + Expr(depth - 1) + ")";
      }
      case 6:
        return Call(depth - 1);
      case 7:
        return Pick(2) ? "p[" + Index() + "]" : "*(arr + (" + Expr(depth - 1) + " & 7))";
      default: {
        const char* op = kBinary[Pick(sizeof kBinary / sizeof kBinary[0])];
        std::string left = Expr(depth - 1), right = Expr(depth - 1);
        // Never a divisor that folds to 0: that is a compile error.
        if (op[0] == '/' || op[0] == '%') right = "(" + right + " | 1)";
        return "(" + left + " " + op + " " + right + ")";
      }
    }
  }

  void Line(std::string& s, int indent, const std::string& text) {
    s += std::string(indent, '\t') + text + "\n";
  }

  void Statement(std::string& s, int indent, int loops) {
    int depth = indent;
    int kind = Pick(depth >= 3 ? 3 : 11);
    switch (kind) {
      case 0: {
        std::string target = LValue();
        Line(s, indent, target + " = " + Expr(2) + ";");
        return;
      }
      case 1: {
        static const char* const kCompound[] = {"+=", "-=", "*=", "&=", "|=", "^=", "<<=", ">>="};
        std::string target = LValue(), op = kCompound[Pick(8)];
        Line(s, indent, target + " " + op + " " + Expr(2) + ";");
        return;
      }
      case 2:
        if (loops > 0 && Pick(2)) {
          Line(s, indent, Pick(2) ? "break;" : "continue;");
        } else {
          Line(s, indent, Call(1) + ";");
        }
        return;
      case 3:
        Line(s, indent, "p = " + std::string(Pick(2) ? "&y" : "arr + (" + Index() + ")") + ";");
        return;
      case 4:
      case 5:
        Line(s, indent, "if (" + Expr(2) + ") {");
        Block(s, indent + 1, loops);
        if (Pick(2)) {
          Line(s, indent, "} else {");
          Block(s, indent + 1, loops);
        }
        Line(s, indent, "}");
        return;
      case 6:
        Line(s, indent, "while (" + Expr(2) + ") {");
        Block(s, indent + 1, loops + 1);
        Line(s, indent, "}");
        return;
      case 7:
        Line(s, indent, "for (z = 0; z < " + std::to_string(Pick(20)) + "; z++) {");
        Block(s, indent + 1, loops + 1);
        Line(s, indent, "}");
        return;
      case 8:
        Line(s, indent, "do {");
        Block(s, indent + 1, loops + 1);
        Line(s, indent, "} while (" + Expr(1) + ");");
        return;
      case 9:
        Line(s, indent, "switch (" + Expr(2) + ") {");
        for (int c = 0, n = 1 + Pick(3), defaults = 0; c < n; ++c) {
          bool isDefault = !defaults && !Pick(4);
          defaults += isDefault;
          Line(s, indent, isDefault ? std::string("default:") : "case " + std::to_string(c * 2 - 1) + ":");
          Block(s, indent + 1, loops);
          if (Pick(2)) Line(s, indent + 1, "break;");
        }
        Line(s, indent, "}");
        return;
      default:
        Line(s, indent, "return " + Expr(2) + ";");
        return;
    }
  }

  void Block(std::string& s, int indent, int loops) {
    for (int k = 0, n = 1 + Pick(3); k < n; ++k) Statement(s, indent, loops);
  }

  ByteSource& in_;
  int function_ = 0, functions_ = 0;  // main is the last
};

}  // namespace qavz::test
