// The compile loop: the end of the main file between top-level declarations
// ends the source and the program is linked; anywhere else it is error 24.
#include <gtest/gtest.h>

#include <string>

#include "compiler_harness.h"

namespace qavz::test {
namespace {

struct EndCase {
  const char* name;
  const char* tail;  // after "int main() { return 7; }\n"
  int error;         // -1: the program compiles and runs
};

class Driver : public CompilerTest {};

class SourceEnd : public CompilerTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(SourceEnd, BetweenDeclarationsOnly) {
  std::string source = std::string("int main() { return 7; }\n") + GetParam().tail;
  if (GetParam().error >= 0) return ExpectError(source, GetParam().error);
  RunResult r = f.Run(source, false);
  EXPECT_TRUE(r.compiled) << source;
  EXPECT_EQ(r.result, 7);
}

// Whatever the end of the file cuts short after the last declaration (a
// comment, a macro call or definition, a constant or string continued by a
// backslash) is dropped, and nothing is reported.
INSTANTIATE_TEST_SUITE_P(
    Compiler, SourceEnd,
    ::testing::Values(
        EndCase{"NoFinalLineFeed", "int x;", -1}, EndCase{"Semicolons", ";;\n;", -1},
        EndCase{"OpenComment", "/* open /* nested */", -1}, EndCase{"LineComment", "// last", -1},
        EndCase{"MacroNameWithoutArguments", "#define F(a) a\nF", -1},
        EndCase{"OpenMacroArguments", "#define F(a, b) a\nF(1,\n\n", -1},
        EndCase{"ContinuedDefinition", "#define G(a) a \\\n", -1},
        EndCase{"DefinitionWithOpenParameters", "#define H(a,\n", -1},
        EndCase{"ContinuedCharConstant", "'\\\n", -1}, EndCase{"ContinuedString", "\"abc\\", -1},
        EndCase{"InsideADeclaration", "int x", 24}, EndCase{"InsideAFunction", "int f() { return 1;\n", 24},
        EndCase{"InsideAnInitialiser", "int a[2] = {1,", 24}, EndCase{"StringBeforeTheEnd", "\"open\n", 16}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

TEST_F(Driver, AnEmptySourceLinksAndReportsTheMissingMain) {
  std::string messages;
  EXPECT_FALSE(f.Check("", &messages, false));
  EXPECT_EQ(messages, "main 関数は定義されていません。\n");
}

TEST_F(Driver, ListingOfASourceEndingInACommentEndsWithTheSummary) {
  std::string listing = f.Listing("int main() { return 0; }\n/* to the end");
  EXPECT_NE(listing.find("; Total external data size : 0 bytes.\n\n"), std::string::npos) << listing;
  EXPECT_EQ(listing.substr(listing.size() - 2), "\n\n");
}

}  // namespace
}  // namespace qavz::test
