// Command lines split as the Windows shell splits them: the program name by
// its own rule, then quotes, doubled quotes and backslashes.
#include "system/windows_args.h"

#include <gtest/gtest.h>

namespace qavz {
namespace {

struct SplitCase {
  std::string line;
  std::vector<std::string> args;
};

class CommandLines : public testing::TestWithParam<SplitCase> {};

TEST_P(CommandLines, SplitAsWindowsSplitsThem) {
  EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLines,
    testing::Values(
        SplitCase{"", {""}}, SplitCase{"prog", {"prog"}}, SplitCase{"prog  a\tb ", {"prog", "a", "b"}},
        // The program name: up to the next quote, no escapes in it.
        SplitCase{"\"C:\\Program Files\\x.exe\" -v", {"C:\\Program Files\\x.exe", "-v"}},
        SplitCase{"a\\\"b c", {"a\\\"b", "c"}}, SplitCase{"\"open", {"open"}},
        SplitCase{"p \"two words\" x", {"p", "two words", "x"}},
        SplitCase{"p a\\\\b \\\\\\\\\"q r\"", {"p", "a\\\\b", "\\\\q r"}},
        SplitCase{"p \\\"quoted\\\"", {"p", "\"quoted\""}}, SplitCase{"p \"a\\\\\\\"b\"", {"p", "a\\\"b"}},
        SplitCase{"p a\"\"b", {"p", "ab"}}, SplitCase{"p \"\" x", {"p", "", "x"}},
        // A doubled quote inside quotes is a quote and ends them.
        SplitCase{"p \"a\"\" b\"", {"p", "a\"", "b"}}, SplitCase{"p \"\"\"x\"\"\"", {"p", "\"x\""}},
        SplitCase{"p trailing\\", {"p", "trailing\\"}},
        // "表" is 0x95 0x5C: its second byte is no escape of the quote after it.
        SplitCase{"p \"\x95\x5C\" z", {"p", "\x95\x5C", "z"}}));

}  // namespace
}  // namespace qavz
