// Depth-first matching of a compiled pattern, with an explicit stack.
//
// The walk takes the edges of each state in order and the first path that
// reaches the final state decides, as a recursive walk would. Two facts keep
// it finite without changing which match is found:
//  - Where the walk goes from (state, position) depends on nothing else
//    (group positions are only recorded), so a (state, position) that failed
//    once fails again: such visits are skipped, for every later start too.
//  - Reaching a (state, position) that is still on the stack means an empty
//    cycle (a loop body that matched nothing, as in (a*)*) that a recursive
//    walk would repeat forever: that edge is refused.
// The stack is bounded; a walk deeper than kMaxDepth gives no match.
#include <algorithm>
#include <cstring>

#include "stdlib/regex.h"
#include "stdlib/shift_jis.h"

namespace qavz::regex {

namespace {

constexpr size_t kMaxDepth = 1u << 21;
constexpr size_t kMemoWords = 1u << 21;  // 16 MiB of failure bits at most

// Failed (state, position) pairs: pages of 64 positions, one 64-bit word per
// state, in a direct-mapped cache tagged by search generation and page. A
// page lost to a collision costs time, never correctness; the cache doubles
// when a page still ahead of the current start would be lost.
class FailureMemo {
 public:
  void Prepare(uint32_t states) {
    states_ = states;
    maxSlots_ = std::max<uint64_t>(1, kMemoWords / states);
    if (tags_.empty()) tags_.assign(64, 0);
    while (tags_.size() > maxSlots_) tags_.resize(tags_.size() / 2);
    Fit();
    ++generation_;
    floor_ = 0;
  }
  void SetFloor(uint32_t startPos) { floor_ = startPos >> 6; }
  bool Failed(uint32_t state, uint32_t pos) const {
    uint64_t page = pos >> 6, slot = page & (tags_.size() - 1);
    return tags_[slot] == Tag(page) && ((words_[slot * states_ + state] >> (pos & 63)) & 1);
  }
  void Mark(uint32_t state, uint32_t pos) {
    uint64_t page = pos >> 6, slot = page & (tags_.size() - 1);
    if (tags_[slot] != Tag(page)) {
      uint64_t old = tags_[slot];
      if ((old >> 32) == generation_ && (old & 0xFFFFFFFFu) >= floor_ && tags_.size() * 2 <= maxSlots_) {
        Grow();
        slot = page & (tags_.size() - 1);
      }
      std::memset(&words_[slot * states_], 0, states_ * sizeof(uint64_t));
      tags_[slot] = Tag(page);
    }
    words_[slot * states_ + state] |= uint64_t(1) << (pos & 63);
  }

 private:
  uint64_t Tag(uint64_t page) const { return (generation_ << 32) | page; }
  void Fit() {
    if (tags_.size() * states_ > words_.size()) words_.resize(tags_.size() * states_);
  }
  // Doubling drops what is known; a fresh generation keeps it consistent.
  void Grow() {
    tags_.assign(tags_.size() * 2, 0);
    Fit();
    ++generation_;
  }
  std::vector<uint64_t> words_, tags_;
  uint64_t generation_ = 0, maxSlots_ = 1;
  uint32_t states_ = 1, floor_ = 0;
};

struct Frame {
  uint32_t state, pos, edge, savedLast;
};

constexpr uint32_t kNowhere = 0xFFFFFFFFu;

class Matcher {
 public:
  Matcher(const Automaton& nfa, Subject subject, bool fold, std::vector<Slot>& slots)
      : nfa_(nfa), subject_(subject), fold_(fold), slots_(slots) {}

  SearchResult Run() {
    thread_local FailureMemo memo;
    thread_local std::vector<Frame> stack;
    thread_local std::vector<uint32_t> lastPos;
    memo_ = &memo;
    stack_ = &stack;
    lastPos_ = &lastPos;
    memo.Prepare(nfa_.StateCount());
    lastPos.assign(nfa_.StateCount(), kNowhere);
    bool skip = !nfa_.anyStart && !nfa_.lineStart;
    for (uint32_t p = 0; At(p) != 0;) {
      if (skip && (p = NextCandidate(p), At(p) == 0)) break;
      memo.SetFloor(p);
      std::fill(slots_.begin(), slots_.end(), Slot{});
      uint32_t end;
      if (!Walk(p, end)) return SearchResult::kTooDeep;
      if (end != kNowhere) {
        slots_[0] = Slot{p, end};
        return SearchResult::kMatch;
      }
      p = nfa_.lineStart ? NextLine(p) : p + 1;
    }
    return SearchResult::kNoMatch;
  }

 private:
  uint8_t At(uint32_t p) { return p < subject_.limit ? subject_.bytes[p] : SlowAt(p); }

  uint8_t SlowAt(uint32_t p) {
    while (p >= subject_.limit) {
      uint32_t more = subject_.extend ? subject_.extend(subject_) : subject_.limit;
      if (more <= subject_.limit) return 0;
      subject_.limit = more;
    }
    return subject_.bytes[p];
  }

  // The first position from p whose byte can begin a match, or the
  // terminator's.
  uint32_t NextCandidate(uint32_t p) {
    const auto& starts = fold_ ? nfa_.startBytesFolded : nfa_.startBytes;
    int single = fold_ ? nfa_.singleStartFolded : nfa_.singleStart;
    for (;;) {
      const uint8_t* s = subject_.bytes;
      if (single >= 0 && p < subject_.limit) {
        size_t n = subject_.limit - p;
        const void* hit = std::memchr(s + p, single, n);
        if (hit) n = size_t(static_cast<const uint8_t*>(hit) - (s + p));
        const void* zero = std::memchr(s + p, 0, n);
        if (zero) return uint32_t(static_cast<const uint8_t*>(zero) - s);
        if (hit) return uint32_t(static_cast<const uint8_t*>(hit) - s);
        p = subject_.limit;
      }
      for (uint32_t end = subject_.limit; p < end; ++p)
        if (starts[s[p]] || s[p] == 0) return p;
      if (At(p) == 0 || starts[At(p)]) return p;
    }
  }

  // Past the next carriage return or up to the next line feed, then past
  // every carriage return and line feed that follows.
  uint32_t NextLine(uint32_t p) {
    while (At(p) != 0 && At(p) != '\r' && At(p) != '\n') ++p;
    while (At(p) == '\r' || At(p) == '\n') ++p;
    return p;
  }

  bool FinalAccepts(uint32_t p) {
    uint8_t c = At(p);
    return !nfa_.lineEnd || c == 0 || c == '\n' || c == '\r';
  }

  static uint8_t Fold(uint8_t c) { return (c >= 'A' && c <= 'Z') ? uint8_t(c + 32) : c; }

  // Width of the subject character a consuming edge may take at p, or 0.
  uint32_t Consume(const Edge& e, uint32_t p) {
    uint8_t c = At(p);
    if (c == 0 || (nfa_.lineEnd && (c == '\n' || c == '\r'))) return 0;
    uint8_t t = At(p + 1);
    uint32_t width = (IsLeadByte(c) && t != 0) ? 2 : 1;
    if (e.kind == EdgeKind::kChar) {
      if (e.width != width) return 0;
      if (width == 2) return (c == e.c0 && t == e.c1) ? 2 : 0;
      return (c == e.c0 || (fold_ && Fold(c) == Fold(e.c0))) ? 1 : 0;
    }
    const CharClass& cls = nfa_.classes[e.value];
    bool hit = cls.first[c];
    if (!hit && width == 2)
      for (const CharClass::Box& b : cls.boxes)
        if (b.l1 <= c && c <= b.l2 && b.t1 <= t && t <= b.t2) {
          hit = true;
          break;
        }
    return hit != cls.negated ? width : 0;
  }

  // States whose only edge consumes need no frame: nothing is left to try
  // there if that edge fails. Walks through a chain of them (a literal run)
  // in place; false when the chain fails.
  bool RunChain(uint32_t& state, uint32_t& pos) {
    while (nfa_.chain[state]) {
      const Edge& only = nfa_.edges[nfa_.firstEdge[state]];
      uint32_t width = Consume(only, pos);
      if (width == 0) return false;  // chain states are never looked up in the memo
      state = only.target;
      pos += width;
    }
    return true;
  }

  void Push(uint32_t state, uint32_t pos) {
    std::vector<uint32_t>& last = *lastPos_;
    stack_->push_back(Frame{state, pos, nfa_.firstEdge[state], last[state]});
    last[state] = pos;
  }

  // One start position: `end` becomes the match end or kNowhere. False when
  // the walk outgrew the stack.
  bool Walk(uint32_t start, uint32_t& end) {
    std::vector<Frame>& stack = *stack_;
    std::vector<uint32_t>& last = *lastPos_;
    end = kNowhere;
    stack.clear();
    if (kStartState == kFinalState) return true;
    Push(kStartState, start);
    while (!stack.empty()) {
      size_t top = stack.size() - 1;
      uint32_t state = stack[top].state, pos = stack[top].pos;
      uint32_t stop = nfa_.firstEdge[state + 1];
      bool pushed = false;
      for (uint32_t e = stack[top].edge; e < stop; ++e) {
        const Edge& edge = nfa_.edges[e];
        uint32_t next = pos;
        switch (edge.kind) {
          case EdgeKind::kGroupOpen:
            slots_[edge.value].start = pos;
            break;
          case EdgeKind::kGroupClose:
            slots_[edge.value].end = pos;
            break;
          case EdgeKind::kEpsilon:
            break;
          default: {
            uint32_t width = Consume(edge, pos);
            if (width == 0) continue;
            next = pos + width;
          }
        }
        uint32_t target = edge.target;
        if (!RunChain(target, next)) continue;
        if (target == kFinalState) {
          if (FinalAccepts(next)) {
            end = next;
            Unwind();
            return true;
          }
          continue;
        }
        if (last[target] == next || memo_->Failed(target, next)) continue;
        if (stack.size() >= kMaxDepth) {
          Unwind();
          return false;
        }
        if (e + 1 == stop && next != pos) {
          // Nothing left to try here and the position moved on, so no
          // cycle can come back to this frame: reuse its slot.
          last[state] = stack[top].savedLast;
          stack.pop_back();
        } else {
          stack[top].edge = e + 1;
        }
        Push(target, next);
        pushed = true;
        break;
      }
      if (!pushed) {
        last[state] = stack[top].savedLast;
        memo_->Mark(state, pos);
        stack.pop_back();
      }
    }
    return true;
  }

  void Unwind() {
    std::vector<Frame>& stack = *stack_;
    for (size_t k = stack.size(); k-- > 0;) (*lastPos_)[stack[k].state] = stack[k].savedLast;
    stack.clear();
  }

  const Automaton& nfa_;
  Subject subject_;
  bool fold_;
  std::vector<Slot>& slots_;
  FailureMemo* memo_ = nullptr;
  std::vector<Frame>* stack_ = nullptr;
  std::vector<uint32_t>* lastPos_ = nullptr;
};

}  // namespace

SearchResult Search(const Automaton& nfa, Subject subject, bool caseFold, std::vector<Slot>& slots) {
  slots.assign(nfa.slotCount, Slot{});
  return Matcher(nfa, subject, caseFold, slots).Run();
}

}  // namespace qavz::regex
