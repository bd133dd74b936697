#include "stdlib/formatter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

using test::ScriptMemory;

struct FormatCase {
  const char* format;
  std::vector<int32_t> words;
  const char* expected;
};
class FormatterTest : public testing::TestWithParam<FormatCase> {};
TEST_P(FormatterTest, FormatsOneWordPerArgument) {
  ScriptMemory m;
  Addr args = m.Args(GetParam().words);
  EXPECT_EQ(FormatScriptText(m.Str(GetParam().format), args), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Directives, FormatterTest,
    testing::Values(FormatCase{"x=%d y=%d", {3, -4}, "x=3 y=-4"},
                    FormatCase{"%5d|%-5d|%05d", {42, 42, 42}, "   42|42   |00042"},
                    FormatCase{"%u %x %X %o", {-1, 255, 255, 8}, "4294967295 ff FF 10"},
                    FormatCase{"%#x %+d % d", {255, 5, 5}, "0xff +5  5"}, FormatCase{"%.3d", {7}, "007"},
                    FormatCase{"%*d|%-*d", {4, 1, 3, 2}, "   1|2  "}, FormatCase{"%*d", {-3, 1}, "1  "},
                    FormatCase{"%c%c", {'o', 'k' + 0x100}, "ok"},
                    FormatCase{"%hd %hhu", {70000, 257}, "4464 1"}, FormatCase{"%lld", {-2, -1}, "-2"},
                    FormatCase{"%I64u", {0, 1}, "4294967296"}, FormatCase{"100%%", {}, "100%"},
                    FormatCase{"%n%d", {0x10000, 9}, "9"}, FormatCase{"%p", {0x12ab}, "000012AB"},
                    FormatCase{"%s", {0}, "(null)"}, FormatCase{"%s|%.2s", {0x20, 3}, "(null)|(n"},
                    FormatCase{"%q", {}, "%q"}, FormatCase{"%5", {}, "%5"}, FormatCase{"%d %d", {1}, "1 0"}));

TEST(Formatter, StringsComeFromScriptMemory) {
  ScriptMemory m;
  Addr hello = m.Str("hello");
  Addr args = m.Args({int32_t(hello), int32_t(hello), int32_t(hello)});
  EXPECT_EQ(FormatScriptText(m.Str("[%s][%8.3s][%-6s]"), args), "[hello][     hel][hello ]");
  // A string that runs into dead memory stops there.
  Addr tail = m.Tail(3);
  std::memset(m.Host(tail), 'z', 3);
  EXPECT_EQ(FormatScriptText(m.Str("%s!"), m.Args({int32_t(tail)})), "zzz!");
  EXPECT_EQ(FormatScriptText(0, args), "");
}

TEST(Formatter, WidthsAndPrecisionsAreBounded) {
  ScriptMemory m;
  EXPECT_EQ(FormatScriptText(m.Str("%999999999d"), m.Args({1})).size(), size_t(kMaxFieldWidth));
  EXPECT_EQ(FormatScriptText(m.Str("%.999999999d"), m.Args({1})).size(), size_t(kMaxFieldWidth));
  EXPECT_EQ(FormatScriptText(m.Str("%*d"), m.Args({INT32_MIN, 1})).size(), size_t(kMaxFieldWidth));
  std::string many;
  for (int i = 0; i < 400; ++i) many += "%4000d";
  EXPECT_EQ(FormatScriptText(m.Str(many), m.Args({})).size(), kMaxFormatted);
}

TEST(Formatter, DoublesTakeTwoWords) {
  ScriptMemory m;
  double v = 2.5;
  int32_t w[2];
  std::memcpy(w, &v, 8);
  EXPECT_EQ(FormatScriptText(m.Str("%.2f %d"), m.Args({w[0], w[1], 7})), "2.50 7");
}

TEST(Sprintf, CountsCharactersAndKeepsWithinTheDestination) {
  ScriptMemory m;
  Addr dst = m.Buffer(64);
  Addr two = m.Str("\x82\xA0\x82\xA2");
  EXPECT_EQ(Native_sprintf(m.Args({int32_t(dst), int32_t(m.Str("%s")), int32_t(two)})), 2);
  EXPECT_EQ(m.StringAt(dst), "\x82\xA0\x82\xA2");
  EXPECT_EQ(Native_sprintf(m.Args({int32_t(dst), int32_t(m.Str("n=%d")), 12345})), 7);
  EXPECT_EQ(m.StringAt(dst), "n=12345");

  EXPECT_EQ(Native_sprintf(m.Args({int32_t(dst), int32_t(m.Str("ab%cd")), 0})), 2)
      << "counted as mbslen counts";

  Addr tail = m.Tail(4);
  EXPECT_EQ(Native_sprintf(m.Args({int32_t(tail), int32_t(m.Str("%d")), 123456})), 3);
  EXPECT_EQ(m.StringAt(tail), "123");
  EXPECT_EQ(Native_sprintf(m.Args({0, int32_t(m.Str("x"))})), 0);
}

}  // namespace
}  // namespace qavz
