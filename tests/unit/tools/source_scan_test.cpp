#include "tools/commands/source_scan.h"

#include <gtest/gtest.h>

namespace qavz::tools {
namespace {

TEST(SourceScan, LiteralsKnowTheirCallAndArgument) {
  SourceFacts facts = ScanSource(
      "#include \"natives.h\"\n"
      "#trap int gload(int plane, char *file);\n"
      "int main() {\n"
      "  gload(1, \"bg\\\\title.bmp\");\n"
      "  fopen (\"save.dat\", \"rb\");\n"
      "  call(\"sub.c\");\n"
      "}\n");
  ASSERT_EQ(facts.literals.size(), 4u);
  EXPECT_EQ(facts.literals[0].text, "bg\\title.bmp");
  EXPECT_EQ(facts.literals[0].callee, "gload");
  EXPECT_EQ(facts.literals[0].argument, 1);
  EXPECT_EQ(facts.literals[0].line, 4);
  EXPECT_EQ(facts.literals[1].callee, "fopen");
  EXPECT_EQ(facts.literals[1].nextLiteral, "rb");
  EXPECT_EQ(facts.literals[3].callee, "call");
  EXPECT_EQ(facts.called, (std::set<std::string>{"main", "gload", "fopen", "call"}))
      << "a #trap line is a declaration, not a call";
}

TEST(SourceScan, CommentsNestAndATrailByteIsNoEscape) {
  SourceFacts facts = ScanSource(
      "/* outer /* inner */ still \"not a literal\" */\n"
      "// gload(1, \"nor this\");\n"
      "char *s = \"\x95\\\";\n"  // 表 ends in 0x5C
      "char c = '\"';\n"
      "f(g(\"a.wav\"), \"b.wav\");\n");
  ASSERT_EQ(facts.literals.size(), 3u);
  EXPECT_EQ(facts.literals[0].text, "\x95\\");
  EXPECT_EQ(facts.literals[0].callee, "");
  EXPECT_EQ(facts.literals[1].callee, "g");
  EXPECT_EQ(facts.literals[2].callee, "f");
  EXPECT_EQ(facts.literals[2].argument, 1);
  EXPECT_EQ(facts.literals[2].line, 5);
}

TEST(SourceScan, FileNamesHaveAKnownExtensionAndNoFormat) {
  for (const char* yes : {"bg.bmp", "DATA\\SE\\SHOT.WAV", "bgm.ogg", "sub.c", "\x95\x5C.bmp"})
    EXPECT_TRUE(LooksLikeFileName(yes)) << yes;
  for (const char* no : {"", "hello", "%s.bmp", "score: 1.5", ".bmp", "a.exe", "a.bmp\n", "v1.0"})
    EXPECT_FALSE(LooksLikeFileName(no)) << no;
}

}  // namespace
}  // namespace qavz::tools
