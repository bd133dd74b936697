#include <gtest/gtest.h>

#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

using test::ScriptMemory;

// Two double-byte characters (U+3042, U+3044) and the letter A.
const std::string kSample = "\x82\xA0\x82\xA2\x41";

TEST(StringNatives, LengthAndSearchOnTheDoubleByteSample) {
  ScriptMemory m;
  Addr s = m.Str(kSample);
  EXPECT_EQ(Native_mbslen(m.Args({int32_t(s)})), 3);
  EXPECT_EQ(Native_strlen(m.Args({int32_t(s)})), 5);
  EXPECT_EQ(Native_mbschr(m.Args({int32_t(s), 0x82A2})), int32_t(s + 2));
  EXPECT_EQ(Native_mbschr(m.Args({int32_t(s), 0xA2})), 0);
  EXPECT_EQ(Native_strchr(m.Args({int32_t(s), 0xA2})), int32_t(s + 3));
  EXPECT_EQ(Native_mbschr(m.Args({int32_t(s), 'A'})), int32_t(s + 4));
  EXPECT_EQ(Native_mbschr(m.Args({int32_t(s), 0})), int32_t(s + 5));
  EXPECT_EQ(Native_strchr(m.Args({int32_t(s), 0})), int32_t(s + 5));
  EXPECT_EQ(Native_strchr(m.Args({int32_t(s), 'z'})), 0);
}

TEST(StringNatives, DanglingLeadByteIsNotACharacter) {
  ScriptMemory m;
  Addr s = m.Str("a\x82");
  EXPECT_EQ(Native_mbslen(m.Args({int32_t(s)})), 1);
  EXPECT_EQ(Native_mbschr(m.Args({int32_t(s), 0})), 0);
  Addr a = m.Str("a");
  EXPECT_EQ(Native_mbscmp(m.Args({int32_t(s), int32_t(a)})), 0);
  EXPECT_EQ(Native_mbscmpi(m.Args({int32_t(a), int32_t(s)})), 0);
  EXPECT_LT(Native_mbscmp(m.Args({int32_t(s), int32_t(m.Str("a\x01"))})), 0);
}

struct CutCase {
  const char* src;
  int32_t start, count;
  const char* expected;
};
class StrcutTest : public testing::TestWithParam<CutCase> {};
TEST_P(StrcutTest, CopiesTheByteRange) {
  ScriptMemory m;
  Addr src = m.Str(GetParam().src);
  Addr dst = m.Buffer(64, 'x');
  EXPECT_EQ(Native_strcut(m.Args({int32_t(dst), int32_t(src), GetParam().start, GetParam().count})),
            int32_t(dst));
  EXPECT_EQ(m.StringAt(dst), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Bounds, StrcutTest,
                         testing::Values(CutCase{"abc", 2, 10, "c"}, CutCase{"abc", 3, 1, ""},
                                         CutCase{"abc", 4, 1, ""}, CutCase{"abcdef", 1, 3, "bcd"},
                                         CutCase{"abc", 0, 0, ""}, CutCase{"abc", -5, 2, "ab"},
                                         CutCase{"abc", 1, -1, ""}));

class MbscutTest : public testing::TestWithParam<CutCase> {};
TEST_P(MbscutTest, CopiesCharacters) {
  ScriptMemory m;
  Addr src = m.Str(GetParam().src);
  Addr dst = m.Buffer(64, 'x');
  EXPECT_EQ(Native_mbscut(m.Args({int32_t(dst), int32_t(src), GetParam().start, GetParam().count})),
            int32_t(dst));
  EXPECT_EQ(m.StringAt(dst), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Bounds, MbscutTest,
                         testing::Values(CutCase{"\x82\xA0\x82\xA2\x41", 1, 1, "\x82\xA2"},
                                         CutCase{"\x82\xA0\x82\xA2\x41", 0, 2, "\x82\xA0\x82\xA2"},
                                         CutCase{"\x82\xA0\x82\xA2\x41", 2, 5, "A"},
                                         CutCase{"\x82\xA0\x82\xA2\x41", 9, 1, ""},
                                         CutCase{"abc", -1, -1, ""}, CutCase{"a\x82", 0, 2, "a"},
                                         CutCase{"a\x82", 1, 1, ""}));

TEST(StringNatives, MbscutPadsTheUnusedCountWithZeros) {
  ScriptMemory m;
  Addr src = m.Str("ab");
  Addr dst = m.Buffer(16, 'x');
  Native_mbscut(m.Args({int32_t(dst), int32_t(src), 0, 5}));
  const uint8_t* p = m.Host(dst);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 2), "ab");
  for (int i = 2; i < 5; ++i) EXPECT_EQ(p[i], 0) << i;
  EXPECT_EQ(p[5], 'x');
}

TEST(StringNatives, CopyAndAppendStayInLiveMemory) {
  ScriptMemory m;
  Addr src = m.Str("hello world");
  Addr dst = m.Buffer(32);
  EXPECT_EQ(Native_strcpy(m.Args({int32_t(dst), int32_t(src)})), int32_t(dst));
  EXPECT_EQ(Native_strcat(m.Args({int32_t(dst), int32_t(src)})), int32_t(dst));
  EXPECT_EQ(m.StringAt(dst), "hello worldhello world");
  EXPECT_EQ(Native_mbscpy(m.Args({int32_t(dst), int32_t(m.Str("\x82\xA0"))})), int32_t(dst));
  EXPECT_EQ(Native_mbscat(m.Args({int32_t(dst), int32_t(m.Str("b"))})), int32_t(dst));
  EXPECT_EQ(m.StringAt(dst),
            "\x82\xA0"
            "b");

  // Five live bytes at the end of the block: the copy is cut and terminated.
  Addr tail = m.Tail(5);
  EXPECT_EQ(Native_strcpy(m.Args({int32_t(tail), int32_t(src)})), int32_t(tail));
  EXPECT_EQ(m.StringAt(tail), "hell");
  // The mbs copy does not split a double-byte character.
  EXPECT_EQ(Native_mbscpy(m.Args({int32_t(tail), int32_t(m.Str("abc\x82\xA0"))})), int32_t(tail));
  EXPECT_EQ(m.StringAt(tail), "abc");

  EXPECT_EQ(Native_strcpy(m.Args({0, int32_t(src)})), 0);
  EXPECT_EQ(Native_strcpy(m.Args({int32_t(dst), 0x1234})), 0);
  EXPECT_EQ(Native_strlen(m.Args({0})), 0);
}

TEST(StringNatives, CaseMappingOfTrailBytes) {
  ScriptMemory m;
  // 0x82 0x61 is a double-byte character whose trail byte is 'a'.
  Addr s = m.Str("a\x82\x61z");
  EXPECT_EQ(Native_mbsupr(m.Args({int32_t(s)})), int32_t(s));
  EXPECT_EQ(m.StringAt(s), "A\x82\x61Z");
  EXPECT_EQ(Native_strupr(m.Args({int32_t(s)})), int32_t(s));
  EXPECT_EQ(m.StringAt(s), "A\x82\x41Z");
  EXPECT_EQ(Native_strlwr(m.Args({int32_t(s)})), int32_t(s));
  EXPECT_EQ(m.StringAt(s), "a\x82\x61z");
}

TEST(StringNatives, FullWidthLettersFoldInTheMbsFamily) {
  ScriptMemory m;
  Addr s = m.Str("\x82\x60\x82\x79\x82\x81Q\x84\x40\x84\x4F");  // Ａ Ｚ ａ Q А О
  Native_mbslwr(m.Args({int32_t(s)}));
  EXPECT_EQ(m.StringAt(s), "\x82\x81\x82\x9A\x82\x81q\x84\x70\x84\x80");
  Native_mbsupr(m.Args({int32_t(s)}));
  EXPECT_EQ(m.StringAt(s), "\x82\x60\x82\x79\x82\x60Q\x84\x40\x84\x4F");
  Addr upper = m.Str(
           "\x82\x60"
           "BC"),
       lower = m.Str(
           "\x82\x81"
           "bc");
  EXPECT_EQ(Native_mbscmpi(m.Args({int32_t(upper), int32_t(lower)})), 0);
  EXPECT_NE(Native_mbscmp(m.Args({int32_t(upper), int32_t(lower)})), 0);
}

struct CompareCase {
  const char* a;
  const char* b;
  int strcmp, strcmpi, mbscmp;
};
class CompareTest : public testing::TestWithParam<CompareCase> {};
TEST_P(CompareTest, Orders) {
  ScriptMemory m;
  Addr args = m.Args({int32_t(m.Str(GetParam().a)), int32_t(m.Str(GetParam().b))});
  EXPECT_EQ(Native_strcmp(args), GetParam().strcmp);
  EXPECT_EQ(Native_strcmpi(args), GetParam().strcmpi);
  EXPECT_EQ(Native_mbscmp(args) < 0 ? -1 : Native_mbscmp(args) > 0, GetParam().mbscmp);
}
INSTANTIATE_TEST_SUITE_P(
    Collation, CompareTest,
    testing::Values(CompareCase{"abc", "abc", 0, 0, 0}, CompareCase{"abc", "ABC", -1, 0, 1},
                    CompareCase{"apple", "Banana", -1, -1, 1},  // letters alphabetical, case second
                    CompareCase{"a", "ab", -1, -1, -1},
                    CompareCase{"_x", "1", -1, -1, 1},  // symbols before digits
                    CompareCase{"9", "a", -1, -1, -1}, CompareCase{"z", "\x82\xA0", -1, -1, -1},
                    CompareCase{"\x82\xA2", "\x82\xA0", 1, 1, 1},
                    // Full-width letters sort with their ASCII forms, katakana with hiragana.
                    CompareCase{"\x82\x60", "B", -1, -1, 1}, CompareCase{"A", "\x82\x60", -1, -1, -1},
                    CompareCase{"\x82\x81", "A", -1, 1, 1}, CompareCase{"\x83\x41", "\x82\xA2", -1, -1, 1},
                    CompareCase{"\x83\x41", "\x82\xA0", 1, 1, 1}));

TEST(StringNatives, AtoiSkipsBlanksTakesSignAndWraps) {
  ScriptMemory m;
  auto atoi = [&](const char* s) { return Native_atoi(m.Args({int32_t(m.Str(s))})); };
  EXPECT_EQ(atoi("  -42abc"), -42);
  EXPECT_EQ(atoi("\t+17"), 17);
  EXPECT_EQ(atoi("x12"), 0);
  EXPECT_EQ(atoi("- 5"), 0);
  EXPECT_EQ(atoi("4294967297"), 1);
  EXPECT_EQ(atoi("-2147483648"), INT32_MIN);
}

}  // namespace
}  // namespace qavz
