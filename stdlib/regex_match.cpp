// Depth-first matching of a compiled pattern, with an explicit stack.
//
// The walk takes the edges of each state in order and the first path that
// reaches the final state decides, as a recursive walk would. Group edges
// record their position on every path, failed ones included, so a slot
// holds the last position recorded before the match.
//
// Reaching a (state, position) that is still on the path means an empty
// cycle (a loop body that matched nothing, as in (a*)*) that a recursive
// walk would repeat forever: that edge is refused.
//
// Failed (state, position) pairs are remembered so that the walk stays
// polynomial, each with the last position its sub-walk recorded in each
// slot it touched; skipping a remembered failure records those again, so
// the slots end as the full walk leaves them. A sub-walk is the same however
// it is reached, and so is remembered, when no edge in it was refused at its
// own position (nothing on the path can then change it), or when it was
// reached by consuming a character (nothing else on the path has its
// position); the second kind is used only when the walk arrives again by
// consuming.
//
// A loop over one character item (a*, [a-z]*?, .*) is one frame that takes
// its characters one at a time (lazy) or all it can and gives them back one
// at a time (greedy), so it needs no depth per character; when it fails,
// every position it stood at is remembered. Any other walk deeper than
// kMaxDepth frames ends the search with kTooDeep.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "stdlib/regex.h"
#include "stdlib/shift_jis.h"

namespace qavz::regex {

namespace {

constexpr size_t kMaxDepth = 1u << 21;
constexpr size_t kMemoWords = 1u << 21;         // 16 MiB of each kind of failure bits at most
constexpr size_t kMaxReplayWrites = 1u << 22;   // 32 MiB of remembered positions at most
constexpr size_t kMaxReplayEntries = 1u << 21;  // 40 MiB of their index at most
constexpr uint32_t kNowhere = 0xFFFFFFFFu;

enum Known { kUnknown, kFailed, kFailedWithWrites };

// A recorded position: field is slot * 2, plus 1 for the end.
struct Write {
  uint32_t field, value;
};

// Failed (state, position) pairs: pages of 64 positions, one word per state
// for each kind of knowledge, in a direct-mapped cache tagged by search
// generation and page. The first kind's tags decide which page a slot
// holds; the other kinds' words are cleared for a page only when it first
// gets such a mark. A page lost to a collision costs time, never
// correctness; the cache doubles when a page still ahead of the current
// start would be lost.
class FailureMemo {
 public:
  void Prepare(uint32_t states) {
    states_ = states;
    maxSlots_ = std::max<uint64_t>(1, kMemoWords / states);
    if (tags_[0].empty())
      for (std::vector<uint64_t>& t : tags_) t.assign(64, 0);
    while (tags_[0].size() > maxSlots_)
      for (std::vector<uint64_t>& t : tags_) t.resize(t.size() / 2);
    ++generation_;
    floor_ = 0;
    used_[kOnArrival] = used_[kWrites] = false;
  }
  void SetFloor(uint32_t startPos) { floor_ = startPos >> 6; }
  // What is known of (state, pos) for a walk that arrives there by
  // consuming a character or not.
  Known Lookup(uint32_t state, uint32_t pos, bool consumed) const {
    uint64_t page = pos >> 6, slot = page & (tags_[0].size() - 1), tag = Tag(page);
    if (tags_[kAlways][slot] != tag) return kUnknown;
    size_t at = slot * states_ + state;
    uint64_t bit = uint64_t(1) << (pos & 63);
    if (!(words_[kAlways][at] & bit) && !(consumed && Has(kOnArrival, slot, tag, at, bit))) return kUnknown;
    return Has(kWrites, slot, tag, at, bit) ? kFailedWithWrites : kFailed;
  }
  // The positions of pos's page known to fail for `state` on an arrival by
  // consuming (a bit per position).
  uint64_t FailedOnArrival(uint32_t state, uint32_t pos) const {
    uint64_t page = pos >> 6, slot = page & (tags_[0].size() - 1), tag = Tag(page);
    if (tags_[kAlways][slot] != tag) return 0;
    size_t at = slot * states_ + state;
    uint64_t bits = words_[kAlways][at];
    if (used_[kOnArrival] && tags_[kOnArrival][slot] == tag) bits |= words_[kOnArrival][at];
    return bits;
  }
  // `always`: the failure holds however (state, pos) is reached; else only
  // when it is reached by consuming. `writes`: positions were recorded.
  void Mark(uint32_t state, uint32_t pos, bool always, bool writes) {
    MarkBits(state, pos >> 6, uint64_t(1) << (pos & 63), always, writes);
  }
  // Failures that hold always and recorded nothing, at every position of
  // [from, to].
  void MarkRun(uint32_t state, uint32_t from, uint32_t to) {
    for (uint64_t page = from >> 6; page <= to >> 6; ++page) {
      uint64_t lo = page == from >> 6 ? from & 63 : 0, hi = page == to >> 6 ? to & 63 : 63;
      uint64_t bits = (hi == 63 ? ~uint64_t(0) : (uint64_t(1) << (hi + 1)) - 1) & ~((uint64_t(1) << lo) - 1);
      MarkBits(state, page, bits, true, false);
    }
  }

 private:
  enum Kind { kAlways, kOnArrival, kWrites, kKinds };
  uint64_t Tag(uint64_t page) const { return (generation_ << 32) | page; }
  void MarkBits(uint32_t state, uint64_t page, uint64_t bits, bool always, bool writes) {
    uint64_t slot = page & (tags_[0].size() - 1);
    if (tags_[kAlways][slot] != Tag(page)) {
      uint64_t old = tags_[kAlways][slot];
      if ((old >> 32) == generation_ && (old & 0xFFFFFFFFu) >= floor_ && tags_[0].size() * 2 <= maxSlots_) {
        Grow();
        slot = page & (tags_[0].size() - 1);
      }
      Open(kAlways, slot, Tag(page));
    }
    uint64_t tag = Tag(page);
    size_t at = slot * states_ + state;
    Kind kind = always ? kAlways : kOnArrival;
    Open(kind, slot, tag);
    words_[kind][at] |= bits;
    if (writes) {
      Open(kWrites, slot, tag);
      words_[kWrites][at] |= bits;
    } else if (used_[kWrites] && tags_[kWrites][slot] == tag) {
      words_[kWrites][at] &= ~bits;
    }
  }
  bool Has(Kind kind, uint64_t slot, uint64_t tag, size_t at, uint64_t bit) const {
    return used_[kind] && tags_[kind][slot] == tag && (words_[kind][at] & bit);
  }
  // Makes the slot's words of `kind` belong to the page tagged `tag`.
  void Open(Kind kind, uint64_t slot, uint64_t tag) {
    if (tags_[kind][slot] == tag) return;
    used_[kind] = true;
    std::vector<uint64_t>& words = words_[kind];
    if (words.size() < tags_[0].size() * states_) words.resize(tags_[0].size() * states_);
    std::memset(&words[slot * states_], 0, states_ * sizeof(uint64_t));
    tags_[kind][slot] = tag;
  }
  // Doubling drops what is known; a fresh generation keeps it consistent.
  void Grow() {
    for (std::vector<uint64_t>& t : tags_) t.assign(t.size() * 2, 0);
    ++generation_;
  }
  std::vector<uint64_t> words_[kKinds], tags_[kKinds];
  bool used_[kKinds] = {true, false, false};  // a kind with no marks in this search
  uint64_t generation_ = 0, maxSlots_ = 1;
  uint32_t states_ = 1, floor_ = 0;
};

// The positions a remembered failure recorded, by (state, position), for
// one search. Entries are never dropped within a search; when the budget is
// spent, Put refuses and the failure is not remembered.
class ReplayStore {
 public:
  void Prepare() {
    if (++generation_ == 0) {
      std::fill(table_.begin(), table_.end(), Entry{});
      generation_ = 1;
    }
    writes_.clear();
    used_ = 0;
    lastOffset_ = lastLength_ = 0;
    if (table_.empty()) table_.resize(1024);
  }
  // A block equal to the last one stored is shared with it.
  bool Put(uint32_t state, uint32_t pos, const Write* w, size_t n) {
    bool same = n == lastLength_ && lastOffset_ + n <= writes_.size() &&
                std::equal(w, w + n, writes_.begin() + lastOffset_, [](const Write& a, const Write& b) {
                  return a.field == b.field && a.value == b.value;
                });
    if (!same && writes_.size() + n > kMaxReplayWrites) return false;
    if ((used_ + 1) * 2 > table_.size() && !Grow()) return false;
    if (!same) {
      lastOffset_ = writes_.size();
      lastLength_ = n;
      writes_.insert(writes_.end(), w, w + n);
    }
    Entry& e = table_[Find(state, pos)];
    if (e.generation != generation_) ++used_;
    e = Entry{generation_, state, pos, uint32_t(lastOffset_), uint32_t(n)};
    return true;
  }
  // Gives back the memory of a search that needed much.
  void Trim(size_t keepBytes) {
    if (table_.capacity() * sizeof(Entry) + writes_.capacity() * sizeof(Write) <= keepBytes) return;
    std::vector<Entry>().swap(table_);
    std::vector<Write>().swap(writes_);
  }
  bool Get(uint32_t state, uint32_t pos, const Write*& w, uint32_t& n) const {
    const Entry& e = table_[Find(state, pos)];
    if (e.generation != generation_) return false;
    w = writes_.data() + e.offset;
    n = e.length;
    return true;
  }

 private:
  struct Entry {
    uint32_t generation = 0, state = 0, pos = 0, offset = 0, length = 0;
  };
  // The entry of (state, pos), or the free one where it would go.
  size_t Find(uint32_t state, uint32_t pos) const {
    size_t mask = table_.size() - 1;
    size_t i = (state * 0x9E3779B1u ^ pos * 0x85EBCA77u) & mask;
    while (table_[i].generation == generation_ && (table_[i].state != state || table_[i].pos != pos))
      i = (i + 1) & mask;
    return i;
  }
  bool Grow() {
    if (table_.size() >= kMaxReplayEntries) return false;
    std::vector<Entry> old(table_.size() * 2);
    old.swap(table_);
    for (const Entry& e : old)
      if (e.generation == generation_) table_[Find(e.state, e.pos)] = e;
    return true;
  }
  std::vector<Entry> table_;
  std::vector<Write> writes_;
  uint32_t generation_ = 0;
  size_t used_ = 0, lastOffset_ = 0, lastLength_ = 0;
};

struct Frame {
  uint32_t state, pos, edge, savedLast;
  uint32_t logStart;  // the write log's length when this (state, pos) began
  // Greedy loop frames: characters taken and not yet given back; lazy ones:
  // characters taken so far.
  uint32_t count;
  // Greedy loop frames: where their widths are kept, kNowhere while all are
  // 1; lazy ones: where their unusual steps are kept.
  uint32_t steps;
  uint32_t stepLog;  // lazy loop frames: the log's length when the current exit began
  LoopKind loop;
  // Flags are bools, not bytes, so that writing them does not make the
  // compiler reload everything a byte store might alias.
  bool consumed;  // reached by consuming: nothing else on the path has this position
  bool arrival;   // loop frames: `consumed` as first reached
  bool refused;   // an edge was refused at this position within the sub-walk
};

// A lazy loop's step whose failure cannot be told from the next step's: its
// exit recorded positions or was refused, or its character is two bytes.
struct LazyStep {
  uint32_t index, pos, logStart;
  bool refused;
};

// Working memory kept between searches on each thread.
struct Scratch {
  FailureMemo memo;
  ReplayStore replays;
  std::vector<Frame> stack;
  std::vector<uint32_t> lastPos;
  std::vector<uint32_t> stamps;  // per result field: the Compact call that last saw it
  uint32_t stamp = 0;
  std::vector<Write> log, kept;
  std::vector<uint16_t> widths;
  std::vector<LazyStep> lazySteps;

  // What one huge search needed is not kept for the thread's later ones.
  void Trim() {
    constexpr size_t kKeepBytes = 4u << 20;
    auto trim = [](auto& v) {
      if (v.capacity() * sizeof(v[0]) > kKeepBytes) std::remove_reference_t<decltype(v)>().swap(v);
    };
    trim(stack);
    trim(log);
    trim(kept);
    trim(widths);
    trim(lazySteps);
    replays.Trim(kKeepBytes);
  }
};

class Matcher {
 public:
  Matcher(const Automaton& nfa, Subject subject, bool fold, std::vector<Slot>& slots)
      : nfa_(nfa), subject_(subject), fold_(fold), slots_(slots) {}

  SearchResult Run() {
    thread_local Scratch scratch;
    FailureMemo& memo = scratch.memo;
    memo_ = &memo;
    replays_ = &scratch.replays;
    stack_ = &scratch.stack;
    lastPos_ = &scratch.lastPos;
    stamps_ = &scratch.stamps;
    stamp_ = &scratch.stamp;
    log_ = &scratch.log;
    scratch_ = &scratch.kept;
    widths_ = &scratch.widths;
    lazySteps_ = &scratch.lazySteps;
    memo.Prepare(nfa_.StateCount());
    scratch.lastPos.assign(nfa_.StateCount(), kNowhere);
    SearchResult result = Starts();
    scratch.Trim();
    return result;
  }

 private:
  // Walks from each start position in turn.
  SearchResult Starts() {
    FailureMemo& memo = *memo_;
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
  __attribute__((always_inline)) uint32_t Consume(const Edge& e, uint32_t p) {
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

  void Record(uint32_t field, uint32_t pos) {
    Slot& slot = slots_[field >> 1];
    (field & 1 ? slot.end : slot.start) = pos;
    log_->push_back(Write{field, pos});
  }

  // Records again what a remembered failure recorded.
  void Replay(uint32_t state, uint32_t pos) {
    const Write* w;
    uint32_t n;
    if (!replays_->Get(state, pos, w, n)) return;
    for (uint32_t k = 0; k < n; ++k) Record(w[k].field, w[k].value);
  }

  // Cuts the log from `from` on down to the last write of each field (all
  // that a replay needs); false when nothing was written.
  bool Compact(size_t from) {
    std::vector<Write>& log = *log_;
    if (log.size() == from) return false;
    if (log.size() - from == 1) return true;
    std::vector<uint32_t>& stamps = *stamps_;
    uint32_t& stamp = *stamp_;
    if (stamps.size() < size_t(nfa_.slotCount) * 2) stamps.resize(size_t(nfa_.slotCount) * 2, 0);
    if (++stamp == 0) {
      std::fill(stamps.begin(), stamps.end(), 0);
      stamp = 1;
    }
    std::vector<Write>& kept = *scratch_;
    kept.clear();
    for (size_t i = log.size(); i-- > from;) {
      if (stamps[log[i].field] == stamp) continue;
      stamps[log[i].field] = stamp;
      kept.push_back(log[i]);
    }
    log.resize(from);
    log.insert(log.end(), kept.begin(), kept.end());
    return true;
  }

  __attribute__((always_inline)) void Push(uint32_t state, uint32_t pos, bool consumed) {
    std::vector<uint32_t>& last = *lastPos_;
    LoopKind loop = LoopKind(nfa_.loop[state]);
    uint32_t log = uint32_t(log_->size());
    stack_->push_back(Frame{state, pos, nfa_.firstEdge[state], last[state], log, 0, kNowhere, log, loop,
                            consumed, consumed, false});
    last[state] = pos;
    if (loop == kGreedyLoop) Take(stack_->back());
    if (loop == kLazyLoop) stack_->back().steps = uint32_t(lazySteps_->size());
  }

  __attribute__((always_inline)) void Pop() {
    std::vector<Frame>& stack = *stack_;
    const Frame& f = stack.back();
    (*lastPos_)[f.state] = f.savedLast;
    if (f.loop == kGreedyLoop && f.steps != kNowhere) widths_->resize(f.steps);
    bool refused = f.refused;
    uint32_t pos = f.pos;
    stack.pop_back();
    if (refused && !stack.empty() && stack.back().pos == pos) stack.back().refused = true;
  }

  // A loop frame takes every character its body matches, up to one whose
  // (state, position) is known to fail; then its exit is tried from there.
  __attribute__((noinline)) void Take(Frame& f) {
    const Edge& body = nfa_.edges[nfa_.firstEdge[f.state]];
    std::vector<uint16_t>& widths = *widths_;
    uint32_t pos = f.pos, count = 0;
    uint64_t failed = 0, page = ~uint64_t(0);  // the known failures of one page at a time
    for (uint32_t width; (width = Consume(body, pos)) != 0; pos += width, ++count) {
      uint32_t next = pos + width;
      if (next >> 6 != page) {
        page = next >> 6;
        failed = memo_->FailedOnArrival(f.state, next);
      }
      if ((failed >> (next & 63)) & 1) {
        if (memo_->Lookup(f.state, next, true) == kFailedWithWrites) Replay(f.state, next);
        break;
      }
      if (width == 2 && f.steps == kNowhere) {
        f.steps = uint32_t(widths.size());
        widths.resize(widths.size() + count, 1);
      }
      if (f.steps != kNowhere) widths.push_back(uint16_t(width));
    }
    f.count = count;
    f.pos = pos;
    f.consumed |= count > 0;
    f.edge = nfa_.firstEdge[f.state] + 1;
    (*lastPos_)[f.state] = pos;
  }

  // The loop frame gives back its last character and tries its exit again.
  void GiveBack(Frame& f) {
    uint32_t width = 1;
    if (f.steps != kNowhere) {
      width = widths_->back();
      widths_->pop_back();
    }
    --f.count;
    f.pos -= width;
    f.consumed = f.count > 0 || f.arrival;
    f.refused = false;
    f.edge = nfa_.firstEdge[f.state] + 1;
    (*lastPos_)[f.state] = f.pos;
  }

  // Gives back one character, and then more while the exit is a plain edge
  // to a character item that cannot match where the loop stands: each of
  // those positions fails at once with nothing recorded or refused, so they
  // are remembered together.
  void GiveBackWhileExitCannotStart(Frame& f) {
    GiveBack(f);
    const Edge& exit = nfa_.edges[f.edge];
    if (f.steps != kNowhere || exit.kind != EdgeKind::kEpsilon || !nfa_.chain[exit.target] ||
        log_->size() != f.logStart)
      return;
    const Edge& first = nfa_.edges[nfa_.firstEdge[exit.target]];
    uint32_t top = f.pos;
    while (f.count > 0 && Consume(first, f.pos) == 0) {
      --f.count;
      --f.pos;
    }
    if (f.pos == top) return;
    memo_->MarkRun(f.state, f.pos + 1, top);
    f.consumed = f.count > 0 || f.arrival;
    (*lastPos_)[f.state] = f.pos;
  }

  // The frame's (state, pos) has failed: remember it where its sub-walk is
  // the same however it is reached.
  void Finish(const Frame& f) {
    if (f.state == kStartState || (f.refused && !f.consumed)) return;
    bool writes = log_->size() != f.logStart && Compact(f.logStart);
    MarkFailure(f.state, f.pos, !f.refused, log_->data() + f.logStart,
                writes ? uint32_t(log_->size() - f.logStart) : 0);
  }

  // Remembers a failure and the `n` writes its sub-walk left.
  __attribute__((always_inline)) void MarkFailure(uint32_t state, uint32_t pos, bool always, const Write* w,
                                                  uint32_t n) {
    if (n > 0) {
      if (!replaysReady_) {
        replays_->Prepare();
        replaysReady_ = true;
      }
      if (!replays_->Put(state, pos, w, n)) return;
    }
    memo_->Mark(state, pos, always, n > 0);
  }

  enum Step { kPushed, kExhausted, kMatched, kDeep };

  // Tries the edges [from, stop) of the top frame; on kMatched `end` is the
  // match end.
  __attribute__((always_inline)) Step Advance(uint32_t from, uint32_t stop, uint32_t& end) {
    std::vector<Frame>& stack = *stack_;
    std::vector<uint32_t>& last = *lastPos_;
    size_t top = stack.size() - 1;
    uint32_t pos = stack[top].pos;
    bool isLoop = stack[top].loop != kNoLoop;
    for (uint32_t e = from; e < stop; ++e) {
      const Edge& edge = nfa_.edges[e];
      uint32_t next = pos;
      switch (edge.kind) {
        case EdgeKind::kGroupOpen:
          Record(edge.value * 2, pos);
          break;
        case EdgeKind::kGroupClose:
          Record(edge.value * 2 + 1, pos);
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
        if (!FinalAccepts(next)) continue;
        end = next;
        return kMatched;
      }
      if (last[target] == next) {
        stack[top].refused = true;
        continue;
      }
      Known known = memo_->Lookup(target, next, next != pos);
      if (known != kUnknown) {
        if (known == kFailedWithWrites) Replay(target, next);
        continue;
      }
      if (stack.size() >= kMaxDepth) return kDeep;
      if (e + 1 == stop && next != pos && !isLoop) {
        // Nothing left to try here and the position moved on, so no cycle
        // can come back to this frame: reuse its slot.
        Pop();
      } else {
        stack[top].edge = e + 1;
      }
      Push(target, next, next != pos);
      return kPushed;
    }
    return kExhausted;
  }

  // One start position: `end` becomes the match end or kNowhere. False when
  // the walk outgrew the stack.
  bool Walk(uint32_t start, uint32_t& end) {
    std::vector<Frame>& stack = *stack_;
    end = kNowhere;
    stack.clear();
    log_->clear();
    widths_->clear();
    lazySteps_->clear();
    if (kStartState == kFinalState) return true;
    Push(kStartState, start, true);
    while (!stack.empty()) {
      Frame& top = stack.back();
      uint32_t stop = top.loop == kLazyLoop ? nfa_.firstEdge[top.state] + 1 : nfa_.firstEdge[top.state + 1];
      Step step = Advance(top.edge, stop, end);
      if (step == kPushed) continue;
      if (step != kExhausted) {
        Unwind();
        return step == kMatched;
      }
      Frame& failed = stack.back();
      if (failed.loop == kLazyLoop) {
        if (Stretch(failed)) continue;
        FinishLazy(failed);
        Pop();
        continue;
      }
      Finish(failed);
      if (failed.loop == kGreedyLoop && failed.count > 0)
        GiveBackWhileExitCannotStart(failed);
      else
        Pop();
    }
    return true;
  }

  // The exit of a lazy loop frame failed: it takes one more character and
  // tries its exit from there; false when it cannot (the character does not
  // match, or the walk from there is known to fail).
  bool Stretch(Frame& f) {
    const Edge& body = nfa_.edges[nfa_.firstEdge[f.state] + 1];
    uint32_t width = Consume(body, f.pos);
    if (log_->size() > f.stepLog || f.refused || width == 2)
      lazySteps_->push_back(LazyStep{f.count, f.pos, f.stepLog, f.refused});
    if (width == 0) return false;
    uint32_t next = f.pos + width;
    Known known = memo_->Lookup(f.state, next, true);
    if (known != kUnknown) {
      if (known == kFailedWithWrites) Replay(f.state, next);
      return false;
    }
    ++f.count;
    f.pos = next;
    f.refused = false;
    f.stepLog = uint32_t(log_->size());
    f.edge = nfa_.firstEdge[f.state];
    (*lastPos_)[f.state] = next;
    return true;
  }

  // Every (state, position) a lazy loop frame stood at has failed, each
  // with what its exit and all later ones recorded. Steps not kept in
  // lazySteps_ took one byte and failed just as the step after them.
  void FinishLazy(Frame& f) {
    std::vector<LazyStep>& steps = *lazySteps_;
    size_t kept = steps.size(), base = f.steps;
    uint32_t pos = f.pos, logStart = f.stepLog;
    bool refused = false;
    const Write* shared = nullptr;  // the compacted writes of the step after, while still the same
    uint32_t sharedLength = 0;
    for (uint32_t k = f.count;; --k, --pos) {
      refused = false;
      if (kept > base && steps[kept - 1].index == k) {
        const LazyStep& step = steps[--kept];
        pos = step.pos;
        refused = step.refused;
        if (step.logStart != logStart) shared = nullptr;
        logStart = step.logStart;
      }
      bool consumed = k > 0 || f.arrival;
      bool writes = log_->size() > logStart;
      if (writes && !shared) {
        Compact(logStart);
        shared = log_->data() + logStart;
        sharedLength = uint32_t(log_->size() - logStart);
      }
      if (!(refused && !consumed)) MarkFailure(f.state, pos, !refused, shared, writes ? sharedLength : 0);
      if (k == 0) break;
    }
    steps.resize(base);
    f.steps = kNowhere;
    f.pos = pos;
    f.refused = refused;
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
  ReplayStore* replays_ = nullptr;
  std::vector<Frame>* stack_ = nullptr;
  std::vector<uint32_t>* lastPos_ = nullptr;
  std::vector<uint32_t>* stamps_ = nullptr;
  std::vector<Write>* log_ = nullptr;
  std::vector<Write>* scratch_ = nullptr;
  std::vector<uint16_t>* widths_ = nullptr;
  std::vector<LazyStep>* lazySteps_ = nullptr;
  uint32_t* stamp_ = nullptr;
  bool replaysReady_ = false;  // the replay store is prepared for this search
};

}  // namespace

SearchResult Search(const Automaton& nfa, Subject subject, bool caseFold, std::vector<Slot>& slots) {
  slots.assign(nfa.slotCount, Slot{});
  return Matcher(nfa, subject, caseFold, slots).Run();
}

}  // namespace qavz::regex
