// The scripts' regular-expression engine: a recursive-descent parser builds a
// syntax tree, the tree becomes a nondeterministic automaton whose epsilon
// edges are ordered, and matching walks the automaton depth first in edge
// order, so the leftmost start and then the preferred path win. Patterns and
// subjects are Shift-JIS byte strings.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qavz::regex {

// A compiled class: the items that look at the subject's first byte (single
// bytes, ranges and escape classes, folded into one table), the double-byte
// items (a character is a box with l1 == l2 and t1 == t2), and negation.
struct CharClass {
  bool negated = false;
  std::array<bool, 256> first{};
  struct Box {
    uint8_t l1, t1, l2, t2;
  };
  std::vector<Box> boxes;
};

enum class EdgeKind : uint8_t { kChar, kClass, kGroupOpen, kGroupClose, kEpsilon };

struct Edge {
  EdgeKind kind;
  uint8_t width;   // kChar: 1 or 2 bytes
  uint8_t c0, c1;  // kChar bytes
  uint32_t target;
  uint32_t value;  // group number or class index
};

constexpr uint32_t kStartState = 0, kFinalState = 1;
enum LoopKind : uint8_t { kNoLoop, kGreedyLoop, kLazyLoop };

struct Automaton {
  std::vector<uint32_t> firstEdge;  // edges of state s: [firstEdge[s], firstEdge[s + 1]) in try order
  std::vector<Edge> edges;
  std::vector<CharClass> classes;
  std::vector<uint8_t> chain;  // per state: its only edge consumes
  // Per state: a loop over one character item, whose consuming edge comes
  // back to the state beside an edge that leaves it: kGreedyLoop when the
  // consuming edge is tried first, kLazyLoop when it is tried second.
  std::vector<uint8_t> loop;
  uint32_t slotCount = 1;  // groups + 1
  bool lineStart = false;  // anchored at line start
  bool lineEnd = false;    // anchored at line end
  // Bytes that can begin a match (exact and with case folding); a search
  // skips other start positions. Empty matches make every position a start.
  bool anyStart = true;
  std::array<bool, 256> startBytes{}, startBytesFolded{};
  int singleStart = -1, singleStartFolded = -1;  // the one start byte, if only one
  uint32_t StateCount() const { return uint32_t(firstEdge.size() - 1); }
};

// Limits that keep hostile patterns finite: group nesting, and the size of
// the tree and automaton that repetition counts may expand to.
constexpr int kMaxNesting = 200;
constexpr uint32_t kMaxNodes = 1u << 17;

// Null when the pattern nests too deeply or expands past the limits.
std::unique_ptr<Automaton> Compile(std::string_view pattern);

// (start, end) byte offsets per slot; kUnset where a group never matched.
constexpr uint32_t kUnset = 0xFFFFFFFFu;
struct Slot {
  uint32_t start = kUnset, end = kUnset;
};

// kTooDeep: the walk needed more backtracking depth than the matcher keeps,
// so whether the subject matches is not known.
enum class SearchResult { kMatch, kNoMatch, kTooDeep };

// The bytes a search may read: [bytes, bytes + limit), grown on demand by
// `extend` (which returns a larger limit, or the same one when no readable
// byte follows). Bytes past the final limit read as zero, so a subject that
// runs into unreadable memory ends there.
struct Subject {
  const uint8_t* bytes;
  uint32_t limit;
  uint32_t (*extend)(const Subject&) = nullptr;
  uint32_t context = 0;
};

// Searches the subject up to its first zero byte. `caseFold` folds
// single-byte letters in character items. On a match `slots` holds
// slotCount entries.
SearchResult Search(const Automaton& nfa, Subject subject, bool caseFold, std::vector<Slot>& slots);

}  // namespace qavz::regex
