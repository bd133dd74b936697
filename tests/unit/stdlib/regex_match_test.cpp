// The matcher against a plain recursive walk of the same automaton: edges in
// order, positions recorded on every path (failed ones too), an edge into a
// (state, position) already on the path refused, nothing remembered. Both
// must give the same match and the same group positions.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "stdlib/regex.h"
#include "stdlib/shift_jis.h"

namespace qavz {
namespace {

using regex::Automaton;
using regex::Edge;
using regex::EdgeKind;
using regex::Slot;

class ReferenceWalk {
 public:
  ReferenceWalk(const Automaton& nfa, const std::string& subject, bool fold)
      : nfa_(nfa), s_(subject), fold_(fold) {}

  // Slots of the first match, or empty when nothing matches. False when
  // the walk takes more than `steps` edges (it is exponential at worst).
  bool Search(std::vector<Slot>& out, long steps) {
    steps_ = steps;
    out.clear();
    for (uint32_t p = 0; At(p) != 0;) {
      slots_.assign(nfa_.slotCount, Slot{});
      uint32_t end;
      if (Walk(regex::kStartState, p, end)) {
        slots_[0] = Slot{p, end};
        out = slots_;
        return steps_ >= 0;
      }
      if (!nfa_.lineStart) {
        ++p;
        continue;
      }
      while (At(p) != 0 && At(p) != '\r' && At(p) != '\n') ++p;
      while (At(p) == '\r' || At(p) == '\n') ++p;
    }
    return steps_ >= 0;
  }

 private:
  uint8_t At(uint32_t p) const { return p < s_.size() ? uint8_t(s_[p]) : 0; }

  bool Walk(uint32_t state, uint32_t p, uint32_t& end) {
    if (state == regex::kFinalState) {
      uint8_t c = At(p);
      if (nfa_.lineEnd && c != 0 && c != '\n' && c != '\r') return false;
      end = p;
      return true;
    }
    onPath_.insert({state, p});
    bool found = false;
    for (uint32_t e = nfa_.firstEdge[state]; e < nfa_.firstEdge[state + 1] && !found && --steps_ >= 0; ++e) {
      const Edge& edge = nfa_.edges[e];
      uint32_t next = p;
      if (edge.kind == EdgeKind::kGroupOpen) {
        slots_[edge.value].start = p;
      } else if (edge.kind == EdgeKind::kGroupClose) {
        slots_[edge.value].end = p;
      } else if (edge.kind != EdgeKind::kEpsilon) {
        uint32_t width = Consume(edge, p);
        if (width == 0) continue;
        next = p + width;
      }
      if (onPath_.count({edge.target, next})) continue;
      found = Walk(edge.target, next, end);
    }
    onPath_.erase({state, p});
    return found;
  }

  uint32_t Consume(const Edge& e, uint32_t p) const {
    uint8_t c = At(p), t = At(p + 1);
    if (c == 0 || (nfa_.lineEnd && (c == '\n' || c == '\r'))) return 0;
    uint32_t width = IsLeadByte(c) && t != 0 ? 2 : 1;
    auto fold = [](uint8_t b) { return b >= 'A' && b <= 'Z' ? uint8_t(b + 32) : b; };
    if (e.kind == EdgeKind::kChar) {
      if (e.width != width) return 0;
      if (width == 2) return c == e.c0 && t == e.c1 ? 2 : 0;
      return c == e.c0 || (fold_ && fold(c) == fold(e.c0)) ? 1 : 0;
    }
    const regex::CharClass& cls = nfa_.classes[e.value];
    bool hit = cls.first[c];
    for (const regex::CharClass::Box& b : cls.boxes)
      hit = hit || (width == 2 && b.l1 <= c && c <= b.l2 && b.t1 <= t && t <= b.t2);
    return hit != cls.negated ? width : 0;
  }

  const Automaton& nfa_;
  const std::string& s_;
  bool fold_;
  std::vector<Slot> slots_;
  std::set<std::pair<uint32_t, uint32_t>> onPath_;
  long steps_ = 0;
};

// Random patterns over a small alphabet, so that alternatives, loops and
// groups overlap and fail often; some are plain token soup, since syntax is
// not validated.
class PatternMaker {
 public:
  explicit PatternMaker(uint32_t seed) : rng_(seed) {}

  std::string Pattern() {
    if (Pick(10) == 0) return Soup();
    std::string p = Pick(8) == 0 ? "^" : "";
    p += Choice(2);
    if (Pick(8) == 0) p += "$";
    return p;
  }

  std::string Subject() {
    static const char* const kPieces[] = {"a", "b", "c", "a", "b", "x", "\n", "\x82\xA0"};
    std::string s;
    for (int n = Pick(11); n > 0; --n) s += kPieces[Pick(8)];
    return s;
  }

 private:
  int Pick(int n) { return int(rng_() % uint32_t(n)); }

  std::string Choice(int depth) {
    std::string p = Sequence(depth);
    while (Pick(4) == 0) {
      p += '|';
      p += Sequence(depth);
    }
    return p;
  }

  std::string Sequence(int depth) {
    std::string p;
    for (int n = Pick(3); n >= 0; --n) p += Repeat(depth);
    return p;
  }

  std::string Repeat(int depth) {
    static const char* const kOps[] = {"*",   "+",     "?",    "*?",  "+?",    "??",
                                       "{2}", "{0,2}", "{1,}", "{0}", "{1,2}?"};
    std::string atom = Atom(depth);
    if (Pick(3) == 0) atom += kOps[Pick(11)];
    return atom;
  }

  std::string Atom(int depth) {
    // Loops that can match nothing make cycles the walk must refuse.
    static const char* const kAtoms[] = {"a",   "b",  "c",        "x",     ".",     "[ab]", "[^a]",
                                         "\\w", "()", "\x82\xA0", "(a|)*", "(a*)+", "()*"};
    if (depth > 0 && Pick(3) == 0) {
      std::string group = "(";
      group += Choice(depth - 1);
      group += ')';
      return group;
    }
    return kAtoms[Pick(13)];
  }

  std::string Soup() {
    static const char* const kTokens[] = {"(", ")", "*",  "+", "?", "|", "a",
                                          "b", ".", "{1", "}", "^", "$", "[a"};
    std::string p;
    for (int n = 1 + Pick(8); n > 0; --n) p += kTokens[Pick(14)];
    return p;
  }

  std::mt19937 rng_;
};

// Printable text: bytes outside ASCII and line feeds as \xNN.
std::string Escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += c >= 0x20 && c < 0x7F ? std::string(1, char(c)) : std::string(hex);
  }
  return out;
}

std::string Show(const std::vector<Slot>& slots) {
  if (slots.empty()) return "no match";
  std::string out;
  for (const Slot& s : slots) {
    out += '(';
    out += s.start == regex::kUnset ? std::string("-") : std::to_string(s.start);
    out += ',';
    out += s.end == regex::kUnset ? std::string("-") : std::to_string(s.end);
    out += ')';
  }
  return out;
}

std::vector<Slot> EngineSearch(const Automaton& nfa, const std::string& subject, bool fold) {
  std::vector<Slot> slots;
  regex::Subject view{reinterpret_cast<const uint8_t*>(subject.c_str()), uint32_t(subject.size() + 1)};
  regex::SearchResult r = regex::Search(nfa, view, fold, slots);
  EXPECT_NE(r, regex::SearchResult::kTooDeep);
  if (r != regex::SearchResult::kMatch) slots.clear();
  return slots;
}

TEST(RegexMatch, GroupPositionsAreTheWalksOnRandomPatterns) {
  PatternMaker maker(20240611);
  int compared = 0, differing = 0, tooLong = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string pattern = maker.Pattern();
    auto nfa = regex::Compile(pattern);
    ASSERT_NE(nfa, nullptr) << pattern;
    for (int k = 0; k < 5; ++k) {
      std::string subject = maker.Subject();
      bool fold = k == 4;
      std::vector<Slot> expected;
      if (!ReferenceWalk(*nfa, subject, fold).Search(expected, 200000)) {
        ++tooLong;
        continue;
      }
      std::vector<Slot> got = EngineSearch(*nfa, subject, fold);
      ++compared;
      if (Show(got) != Show(expected) && ++differing <= 10)
        ADD_FAILURE() << "pattern \"" << Escape(pattern) << "\" subject \"" << Escape(subject)
                      << "\"\n  walk:   " << Show(expected) << "\n  engine: " << Show(got);
    }
  }
  EXPECT_EQ(differing, 0) << "of " << compared;
  EXPECT_LT(tooLong, compared / 100) << "cases the plain walk could not finish";
}

struct GroupCase {
  const char* pattern;
  const char* subject;
  std::vector<std::pair<int, int>> spans;  // -1: unset
};
class RegexGroupTest : public testing::TestWithParam<GroupCase> {};
TEST_P(RegexGroupTest, PositionsRecordedOnFailedPathsStay) {
  const GroupCase& c = GetParam();
  auto nfa = regex::Compile(c.pattern);
  ASSERT_NE(nfa, nullptr);
  std::vector<Slot> got = EngineSearch(*nfa, c.subject, false);
  ASSERT_EQ(got.size(), c.spans.size());
  for (size_t k = 0; k < got.size(); ++k) {
    EXPECT_EQ(got[k].start == regex::kUnset ? -1 : int(got[k].start), c.spans[k].first) << "slot " << k;
    EXPECT_EQ(got[k].end == regex::kUnset ? -1 : int(got[k].end), c.spans[k].second) << "slot " << k;
  }
}
INSTANTIATE_TEST_SUITE_P(Walk, RegexGroupTest,
                         testing::Values(
                             // Start 1 walks (a) from 2 and fails; start 2 comes back to it through
                             // the empty side of .? and records 2 again.
                             GroupCase{".?(a)x|c", "bac", {{2, 3}, {2, -1}}},
                             // The last iteration opens the group at 3 before failing on b.
                             GroupCase{"(a)*b", "aaab", {{0, 4}, {3, 3}}},
                             GroupCase{"(a)*?b", "aaab", {{0, 4}, {2, 3}}},
                             GroupCase{"(a|ab)(c|bcd)(d*)", "abcd", {{0, 4}, {0, 1}, {1, 4}, {4, 4}}}));

// Loops over one character item take no depth per character, greedy or
// lazy, however long the subject.
TEST(RegexMatch, LongRunsOfOneCharacterItem) {
  std::string as(3200000, 'a');
  for (const char* pattern : {"[a-c]*b", "x*a*b", "a*?b", ".*?b"}) {
    auto nfa = regex::Compile(pattern);
    std::vector<Slot> got = EngineSearch(*nfa, as + "b", false);
    ASSERT_FALSE(got.empty()) << pattern;
    EXPECT_EQ(got[0].start, 0u);
    EXPECT_EQ(got[0].end, 3200001u);
  }
}

}  // namespace
}  // namespace qavz
