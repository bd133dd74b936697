#include "stdlib/regex.h"

#include <gtest/gtest.h>

#include "core/config.h"
#include "core/report_error.h"
#include "core/service_hooks.h"
#include "stdlib/messages.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

using test::ScriptMemory;

// The whole match and groups as offsets into the subject, via the natives.
struct Found {
  int32_t slots = 0;
  std::vector<std::pair<int, int>> spans;
};

Found Search(const std::string& pattern, const std::string& subject, int32_t caseFlag = 0) {
  ScriptMemory m(uint32_t(pattern.size() + subject.size()) + 4096);
  Found f;
  int32_t nfa = Native_nfa_compile(m.Args({int32_t(m.Str(pattern))}));
  EXPECT_NE(nfa, 0) << pattern;
  Addr s = m.Str(subject);
  Addr var = m.Buffer(4, 0x55);
  f.slots = Native_rex_match(m.Args({nfa, int32_t(s), int32_t(var), caseFlag}));
  Addr result = Addr(m.WordAt(var));
  EXPECT_EQ(result == 0, f.slots == 0);
  for (int k = 0; k < f.slots; ++k) {
    Addr start = Addr(m.WordAt(result + 8 * k)), end = Addr(m.WordAt(result + 8 * k + 4));
    f.spans.emplace_back(start ? int(start - s) : -1, end ? int(end - s) : -1);
  }
  if (result) {
    EXPECT_EQ(Native_rex_free(m.Args({int32_t(result)})), 1);
  }
  EXPECT_EQ(Native_nfa_free(m.Args({nfa})), 1);
  return f;
}

struct MatchCase {
  const char* pattern;
  const char* subject;
  int start, end;  // -1: no match
  int32_t caseFlag = 0;
};
class RegexMatchTest : public testing::TestWithParam<MatchCase> {};
TEST_P(RegexMatchTest, FindsTheExpectedSpan) {
  const MatchCase& c = GetParam();
  Found f = Search(c.pattern, c.subject, c.caseFlag);
  if (c.start < 0) {
    EXPECT_EQ(f.slots, 0);
  } else {
    ASSERT_GT(f.slots, 0);
    EXPECT_EQ(f.spans[0], std::make_pair(c.start, c.end));
  }
}
INSTANTIATE_TEST_SUITE_P(
    Rules, RegexMatchTest,
    testing::Values(
        MatchCase{"a|ab", "ab", 0, 1}, MatchCase{"ab|a", "ab", 0, 2}, MatchCase{"a*?b", "aaab", 0, 4},
        MatchCase{"<.*>", "<a><b>", 0, 6}, MatchCase{"<.*?>", "<a><b>", 0, 3}, MatchCase{"^b", "a\nb", 2, 3},
        MatchCase{"^b", "ab", -1, -1}, MatchCase{"^b", "a\r\n\r\nb", 5, 6}, MatchCase{"a$", "a\r\n", 0, 1},
        MatchCase{"a$", "ab", -1, -1}, MatchCase{"a$", "ba", 1, 2}, MatchCase{"x{2}", "xxx", 0, 2},
        MatchCase{"x{2,}", "xxx", 0, 3}, MatchCase{"x{0}", "xxx", 0, 3}, MatchCase{"x{1,2}", "xxx", 0, 2},
        MatchCase{"x{1,2}?", "xxx", 0, 1}, MatchCase{"x{0,2}y", "xxxy", 1, 4}, MatchCase{"x+", "axxb", 1, 3},
        MatchCase{"x+?", "axxb", 1, 2}, MatchCase{"ax?", "a", 0, 1}, MatchCase{"ax??", "ax", 0, 1},
        MatchCase{"ABC", "xabc", 1, 4, 1}, MatchCase{"ABC", "xabc", -1, -1, 2},
        MatchCase{"[A-Z]", "abc", -1, -1, 1}, MatchCase{"[A-Z]+", "abCD", 2, 4, 1},
        MatchCase{"a", "", -1, -1}, MatchCase{"x*", "", -1, -1}, MatchCase{"x*", "abc", 0, 0},
        MatchCase{"\\d+", "ab123c", 2, 5}, MatchCase{"[\\D]+", "12ab3", 2, 4},
        MatchCase{"\\w+", "  foo_1 ", 2, 7}, MatchCase{"\\s", "ab c", 2, 3},
        MatchCase{"[^a-c]", "abcd", 3, 4}, MatchCase{"[]a]+", "x]a]", 1, 4},
        MatchCase{"\\x41\\n", "zA\n", 1, 3},
        MatchCase{"a.c",
                  "a\x82\xA0"
                  "c",
                  0, 4},
        MatchCase{"[\x82\xA0-\x82\xA2]", "x\x82\xA1", 1, 3},
        MatchCase{"[\x82\x40-\x83\x50]", "\x83\x60\x82\x45", 2, 4},
        MatchCase{"\x82\xA0", "\x81\x82\xA0", 1, 3}, MatchCase{"[\\\\d]", "5d", 1, 2},
        MatchCase{"a\\.b", "axb a.b", 4, 7}, MatchCase{"(a*)*b", "aaab", 0, 4}, MatchCase{"(a*)*", "b", 0, 0},
        MatchCase{"(a|)*c", "aac", 0, 3}, MatchCase{"a]", "a]", 0, 2}, MatchCase{"a}", "a}", 0, 2},
        MatchCase{"x^", "x", -1, -1}, MatchCase{"$x", "x", -1, -1}, MatchCase{"+a", "a", -1, -1},
        MatchCase{"*a", "a", 0, 1}, MatchCase{"(ab", "xab", 1, 3}, MatchCase{"[ab", "b", 0, 1},
        MatchCase{"a)", "a)", 0, 2},
        // A lead byte before the terminator is one byte: no walk steps past the end.
        MatchCase{"x.", "x\x82", 0, 2}, MatchCase{"x..", "x\x82", -1, -1},
        // Escaped bytes in a class stay literal.
        MatchCase{"[\\^]", "a^", 1, 2}, MatchCase{"[a\\-z]+", "bm-a", 2, 4}));

TEST(Regex, GroupsFillSlotsInOrderOfTheirParenthesis) {
  Found f = Search("(a)(b)", "zab");
  ASSERT_EQ(f.slots, 3);
  EXPECT_EQ(f.spans[0], std::make_pair(1, 3));
  EXPECT_EQ(f.spans[1], std::make_pair(1, 2));
  EXPECT_EQ(f.spans[2], std::make_pair(2, 3));
  Found nested = Search("((x)|y)+", "yx");
  ASSERT_EQ(nested.slots, 3);
  EXPECT_EQ(nested.spans[0], std::make_pair(0, 2));
  // Positions recorded on a path that later failed stay: the last loop
  // iteration opened group 1 at 2 before finding neither x nor y.
  EXPECT_EQ(nested.spans[1], std::make_pair(2, 2));
  EXPECT_EQ(nested.spans[2], std::make_pair(2, 2));
  Found unused = Search("(q)|r", "r");
  ASSERT_EQ(unused.slots, 2);
  EXPECT_EQ(unused.spans[1], std::make_pair(0, -1)) << "opened by the failed first alternative";
  EXPECT_EQ(Search("(q)", "r").slots, 0);
  EXPECT_EQ(Search("r|(q)", "r").spans[1], std::make_pair(-1, -1));
}

TEST(Regex, TablesHoldThirtyTwoOfEach) {
  ScriptMemory m;
  Addr pattern = m.Str("a");
  std::vector<int32_t> nfas;
  for (int i = 0; i < 32; ++i) nfas.push_back(Native_nfa_compile(m.Args({int32_t(pattern)})));
  for (int32_t n : nfas) EXPECT_NE(n, 0);
  EXPECT_EQ(Native_nfa_compile(m.Args({int32_t(pattern)})), 0) << "33rd automaton";
  Addr s = m.Str("a"), var = m.Buffer(4);
  std::vector<int32_t> results;
  for (int i = 0; i < 32; ++i) {
    ASSERT_EQ(Native_rex_match(m.Args({nfas[0], int32_t(s), int32_t(var), 0})), 1);
    results.push_back(m.WordAt(var));
  }
  EXPECT_EQ(Native_rex_match(m.Args({nfas[0], int32_t(s), int32_t(var), 0})), 0) << "33rd result";
  EXPECT_EQ(m.WordAt(var), 0);
  // Freeing an automaton leaves its results alive.
  EXPECT_EQ(Native_nfa_free(m.Args({nfas[0]})), 1);
  EXPECT_EQ(Native_nfa_free(m.Args({nfas[0]})), 0);
  EXPECT_EQ(Native_rex_free(m.Args({results[5]})), 1);
  EXPECT_EQ(Native_rex_free(m.Args({results[5]})), 0);
  EXPECT_EQ(Native_rex_match(m.Args({nfas[1], int32_t(s), int32_t(var), 0})), 1);
  FreeAllPatterns();
  EXPECT_EQ(Native_nfa_free(m.Args({nfas[1]})), 0);
  EXPECT_EQ(Native_rex_free(m.Args({results[6]})), 0);
  EXPECT_NE(Native_nfa_compile(m.Args({int32_t(pattern)})), 0);
  FreeAllPatterns();
}

TEST(Regex, BadArgumentsGiveZero) {
  ScriptMemory m;
  int32_t nfa = Native_nfa_compile(m.Args({int32_t(m.Str("a"))}));
  Addr s = m.Str("a"), var = m.Buffer(4);
  EXPECT_EQ(Native_nfa_compile(m.Args({0})), 0);
  EXPECT_EQ(Native_rex_match(m.Args({0, int32_t(s), int32_t(var), 0})), 0);
  EXPECT_EQ(Native_rex_match(m.Args({nfa, 0, int32_t(var), 0})), 0);
  EXPECT_EQ(Native_rex_match(m.Args({nfa, int32_t(s), 0, 0})), 0);
  EXPECT_EQ(Native_rex_match(m.Args({nfa + 4, int32_t(s), int32_t(var), 0})), 0);
  EXPECT_EQ(Native_rex_free(m.Args({0})), 0);
  EXPECT_EQ(Native_nfa_free(m.Args({nfa})), 1);
}

TEST(Regex, HostilePatternsEnd) {
  std::string as(5000, 'a');
  EXPECT_EQ(Search("(a*)*b", as).slots, 0);
  EXPECT_EQ(Search("(a|a)*b", as).slots, 0);
  EXPECT_EQ(Search("((a*)*|b)*c", as).slots, 0);
  EXPECT_EQ(Search("(.*)*x", as + "x").spans[0], std::make_pair(0, 5001));
  EXPECT_EQ(Search("(a?){30}a{30}", std::string(30, 'a')).spans[0], std::make_pair(0, 30));
  // A long greedy run walks deep without touching the host stack.
  std::string line(300000, 'q');
  EXPECT_EQ(Search("q.*z", line + "z").spans[0], std::make_pair(0, 300001));
}

// Long greedy runs of one character match however long; a search that
// outgrows the depth bound is not "no match": rex_match reports it as a
// native-call error and gives -1.
TEST(Regex, LongSubjectsMatchOrSayTheyCannot) {
  std::string as(3200000, 'a');
  EXPECT_EQ(Search("a*b", as + "b").spans[0], std::make_pair(0, 3200001));
  EXPECT_EQ(Search(".*b", as + "b").spans[0], std::make_pair(0, 3200001));
  EXPECT_EQ(Search("(a)*b", std::string(800000, 'a') + "b").spans[1], std::make_pair(800000, 800000));

  static std::string shown;
  SetHeadless(false);
  SetErrorLevel(1);
  SetErrorBox([](const char* text) {
    shown = text;
    return 1;
  });
  ScriptMemory m(3100000);
  int32_t nfa = Native_nfa_compile(m.Args({int32_t(m.Str("(a)*b"))}));
  Addr s = m.Str(std::string(3000000, 'a') + "b"), var = m.Buffer(4, 0x55);
  EXPECT_EQ(Native_rex_match(m.Args({nfa, int32_t(s), int32_t(var), 0})), -1);
  EXPECT_EQ(m.WordAt(var), 0);
  EXPECT_EQ(shown, msg::kRegexTooDeep);
  SetErrorBox(nullptr);
  SetErrorLevel(0);
  EXPECT_EQ(Native_rex_match(m.Args({nfa, int32_t(m.Str("ab")), int32_t(var), 0})), 2)
      << "the next search is fine";
  EXPECT_EQ(Native_rex_free(m.Args({m.WordAt(var)})), 1);
  EXPECT_EQ(Native_nfa_free(m.Args({nfa})), 1);
}

TEST(Regex, OversizedPatternsAreRefused) {
  EXPECT_EQ(regex::Compile(std::string(300, '(')), nullptr);
  EXPECT_EQ(regex::Compile("(x{1000}){1000}"), nullptr);
  EXPECT_NE(regex::Compile(std::string(150, '(') + "a"), nullptr);
}

}  // namespace
}  // namespace qavz
