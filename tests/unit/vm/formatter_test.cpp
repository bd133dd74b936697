#include "vm/formatter.h"

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

// However large a width or precision, the text is the full text cut at the
// limit: fields are built only as far as the limit can show, and that part
// is the same as in the full field.
struct LimitCase {
  const char* format;
  std::vector<int32_t> words;  // a word 1 stands for the address of a 7,000-byte string
  size_t fullSize;
};
class FormatterLimitTest : public testing::TestWithParam<LimitCase> {};
TEST_P(FormatterLimitTest, LimitedTextIsThePrefixOfTheFullText) {
  ScriptMemory m(1 << 16);
  Addr text = m.Str(std::string(3000, 'a') + std::string(4000, 'b'));
  std::vector<int32_t> words = GetParam().words;
  for (int32_t& w : words)
    if (w == 1) w = int32_t(text);
  Addr format = m.Str(GetParam().format), args = m.Args(words);
  std::string full = FormatScriptText(format, args);
  EXPECT_EQ(full.size(), GetParam().fullSize);
  for (size_t limit : {size_t(0), size_t(1), size_t(7), size_t(100), size_t(2999), size_t(3001), size_t(8999),
                       size_t(9000), size_t(9001), size_t(12000), size_t(200000)})
    EXPECT_EQ(FormatScriptText(format, args, limit), full.substr(0, limit)) << "limit " << limit;
}
int32_t DoubleWord(double v, int half) {
  int32_t w[2];
  std::memcpy(w, &v, 8);
  return w[half];
}
INSTANTIATE_TEST_SUITE_P(
    WideFields, FormatterLimitTest,
    testing::Values(LimitCase{"%*d|", {9000, 5}, 9001}, LimitCase{"%-*d|", {9000, 5}, 9001},
                    LimitCase{"%0*d", {9000, -5}, 9000}, LimitCase{"%+.*d", {9000, 5}, 9001},
                    LimitCase{"%#0*x", {9000, 255}, 9000}, LimitCase{"%*.*u", {9500, 9000, 7}, 9500},
                    LimitCase{"%.*f", {9000, DoubleWord(0.1, 0), DoubleWord(0.1, 1)}, 9002},
                    LimitCase{"%0*.*e", {9000, 20, DoubleWord(-1e300, 0), DoubleWord(-1e300, 1)}, 9000},
                    LimitCase{"%#.*g", {9000, DoubleWord(2.0 / 3, 0), DoubleWord(2.0 / 3, 1)}, 9002},
                    LimitCase{"%*.*f", {9000, 2, DoubleWord(1e308, 0), DoubleWord(1e308, 1)}, 9000},
                    LimitCase{"%s|%s", {1, 1}, 14001}, LimitCase{"%.5000s", {1}, 5000},
                    LimitCase{"%*s", {9000, 1}, 9000}, LimitCase{"%-*.*s", {9000, 3002, 1}, 9000},
                    LimitCase{"%*.*g|", {9000, 5000, DoubleWord(2.0 / 3, 0), DoubleWord(2.0 / 3, 1)}, 9001},
                    LimitCase{"%0*.*f", {9500, 9000, DoubleWord(-1.5, 0), DoubleWord(-1.5, 1)}, 9500},
                    LimitCase{"%-#*.*x|", {9500, 9000, 255}, 9501},
                    LimitCase{"%*c%*p", {9000, 'x', 9000, 0x12ab}, 18000}));

TEST(Formatter, HugeFieldsStopAtTheLimit) {
  ScriptMemory m;
  EXPECT_EQ(FormatScriptText(m.Str("%999999999d"), m.Args({1}), 100), std::string(100, ' '));
  EXPECT_EQ(FormatScriptText(m.Str("%.999999999d"), m.Args({1}), 100), std::string(100, '0'));
  EXPECT_EQ(FormatScriptText(m.Str("%*d"), m.Args({INT32_MIN, 1}), 3), "1  ");
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

// The destination's live memory is the only bound on what sprintf writes;
// where it cuts, the result counts what was written.
TEST(Sprintf, WritesAsFarAsTheDestinationReaches) {
  ScriptMemory m(5 << 20);
  Addr dst = m.Buffer(2000001);
  Addr args = m.Args({int32_t(dst), int32_t(m.Str("%*d")), 10000, 5});
  EXPECT_EQ(Native_sprintf(args), 10000);
  EXPECT_EQ(m.StringAt(dst), std::string(9999, ' ') + "5");
  Addr text = m.Str(std::string(6000, 'q'));
  EXPECT_EQ(Native_sprintf(m.Args({int32_t(dst), int32_t(m.Str("%.5000s")), int32_t(text)})), 5000);
  Addr big = m.Str(std::string(2000000, 'z'));
  EXPECT_EQ(Native_sprintf(m.Args({int32_t(dst), int32_t(m.Str("%s")), int32_t(big)})), 2000000);
  std::string out;
  ASSERT_TRUE(TheArena().ReadString(dst, out, 0xFFFFFFFFu));
  EXPECT_EQ(out, std::string(2000000, 'z'));

  Addr tail = m.Tail(4096);
  EXPECT_EQ(Native_sprintf(m.Args({int32_t(tail), int32_t(m.Str("%s")), int32_t(big)})), 4095);
  std::string kana;
  for (int i = 0; i < 3000; ++i) kana += "\x82\xA0";
  Addr wide = m.Str(kana);
  EXPECT_EQ(Native_sprintf(m.Args({int32_t(tail), int32_t(m.Str("x%s")), int32_t(wide)})), 1 + 2047)
      << "cut before the double-byte character that does not fit";
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(m.Host(tail))), 4095u);
}

}  // namespace
}  // namespace qavz
