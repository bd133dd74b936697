// Pattern to automaton: tokens, the syntax tree and the automaton builder.
//
// Syntax is not validated: a missing ")" closes at the end of the pattern, an
// unclosed "[" or "{" runs to the end, and an operator with no atom before it
// applies to nothing (a path through nothing never matches). "^" and "$" take
// effect only at the very start and end of the automaton.
#include <algorithm>
#include <new>

#include "stdlib/regex.h"
#include "stdlib/shift_jis.h"

namespace qavz::regex {

namespace {

enum class NodeKind : uint8_t {
  kChar,
  kLineStart,
  kLineEnd,
  kClass,
  kSequence,
  kChoice,
  kGreedyLoop,
  kLazyLoop,
  kEmpty,
  kGroupOpen,
  kGroupClose
};

constexpr int32_t kNothing = -1;  // an operator's missing atom

struct Node {
  NodeKind kind;
  uint8_t width = 0, c0 = 0, c1 = 0;
  uint32_t value = 0;          // group number or class index
  std::vector<int32_t> parts;  // sequence: in order; choice: preferred first; loop: body
};

struct TooLarge {};  // thrown inside the compiler only, caught by Compile

// Escape letters that stand for classes, with their expansion's first-byte
// test.
bool IsDigit(uint8_t b) { return b >= '0' && b <= '9'; }
bool IsWord(uint8_t b) { return IsDigit(b) || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_'; }
bool IsSpace(uint8_t b) { return b == '\t' || b == '\r' || b == '\n' || b == ' '; }
bool IsClassEscape(uint8_t c) {
  return c && std::string_view("dDwWsS").find(char(c)) != std::string_view::npos;
}
bool EscapeClassHas(uint8_t letter, uint8_t b) {
  switch (letter) {
    case 'd':
      return IsDigit(b);
    case 'D':
      return !IsDigit(b);
    case 'w':
      return IsWord(b);
    case 'W':
      return !IsWord(b);
    case 's':
      return IsSpace(b);
    default:
      return !IsSpace(b);  // 'S'
  }
}

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One literal character as read from the pattern.
struct Literal {
  uint8_t width = 1, c0 = 0, c1 = 0;
  bool classEscape = false;  // \d \D \w \W \s \S: c0 holds the letter
};

class Compiler {
 public:
  explicit Compiler(std::string_view p) : p_(p) {}

  std::unique_ptr<Automaton> Run() {
    int32_t root = ParseChoice(0);
    auto nfa = std::make_unique<Automaton>();
    nfa->slotCount = groups_ + 1;
    nfa->classes = std::move(classes_);
    Build(*nfa, root);
    return nfa;
  }

 private:
  // ---- lexer ----
  bool AtEnd() const { return i_ >= p_.size(); }
  uint8_t Byte(size_t at) const { return at < p_.size() ? uint8_t(p_[at]) : 0; }
  bool Next(std::string_view token) const { return p_.substr(i_, token.size()) == token; }

  // A character at i_ (one byte, or two for a lead byte with a trail).
  Literal ReadChar() {
    Literal l;
    l.c0 = Byte(i_++);
    if (IsLeadByte(l.c0) && !AtEnd()) {
      l.width = 2;
      l.c1 = Byte(i_++);
    }
    return l;
  }

  // After "\": the escape's literal or class letter.
  Literal ReadEscape() {
    if (AtEnd()) return Literal{1, '\\', 0, false};
    uint8_t c = Byte(i_);
    if (IsClassEscape(c)) {
      ++i_;
      return Literal{1, c, 0, true};
    }
    switch (c) {
      case 'n':
      case 'N':
        ++i_;
        return Literal{1, '\n', 0, false};
      case 'r':
      case 'R':
        ++i_;
        return Literal{1, '\r', 0, false};
      case 't':
      case 'T':
        ++i_;
        return Literal{1, '\t', 0, false};
      case 'x':
      case 'X': {
        ++i_;
        int value = 0, digits = 0;
        for (; digits < 2 && HexValue(Byte(i_)) >= 0; ++digits) value = value * 16 + HexValue(Byte(i_++));
        return Literal{1, uint8_t(digits ? value : c), 0, false};
      }
      default:
        return ReadChar();
    }
  }

  // ---- tree ----
  int32_t Add(Node n) {
    if (nodes_.size() >= kMaxNodes) throw TooLarge{};
    nodes_.push_back(std::move(n));
    return int32_t(nodes_.size() - 1);
  }
  int32_t Leaf(NodeKind k, uint32_t value = 0) { return Add(Node{k, 0, 0, 0, value, {}}); }
  int32_t Parent(NodeKind k, std::vector<int32_t> parts) {
    return Add(Node{k, 0, 0, 0, 0, std::move(parts)});
  }
  int32_t CharNode(const Literal& l) { return Add(Node{NodeKind::kChar, l.width, l.c0, l.c1, 0, {}}); }
  int32_t ClassNode(CharClass c) {
    if (classes_.size() >= kMaxNodes) throw TooLarge{};
    classes_.push_back(std::move(c));
    return Leaf(NodeKind::kClass, uint32_t(classes_.size() - 1));
  }
  int32_t Copy(int32_t n) {
    if (n == kNothing) return kNothing;
    Node copy = nodes_[size_t(n)];
    for (int32_t& part : copy.parts) part = Copy(part);
    return Add(std::move(copy));
  }

  // choice := sequence ("|" sequence)*
  int32_t ParseChoice(int depth) {
    std::vector<int32_t> alternatives{ParseSequence(depth)};
    while (Next("|")) {
      ++i_;
      alternatives.push_back(ParseSequence(depth));
    }
    return alternatives.size() == 1 ? alternatives[0] : Parent(NodeKind::kChoice, std::move(alternatives));
  }

  // sequence := repeat*, up to "|", ")" or the end. At the top level a ")"
  // closes nothing and reads as a character.
  int32_t ParseSequence(int depth) {
    std::vector<int32_t> items;
    while (!AtEnd() && !Next("|") && !(depth > 0 && Next(")"))) items.push_back(ParseRepeat(depth));
    if (items.empty()) return Leaf(NodeKind::kEmpty);
    return items.size() == 1 ? items[0] : Parent(NodeKind::kSequence, std::move(items));
  }

  // repeat := atom [one postfix operator]
  int32_t ParseRepeat(int depth) {
    int32_t atom = ParseAtom(depth);
    if (Next("*?")) return i_ += 2, Parent(NodeKind::kLazyLoop, {atom});
    if (Next("+?"))
      return i_ += 2, Parent(NodeKind::kSequence, {atom, Parent(NodeKind::kLazyLoop, {Copy(atom)})});
    if (Next("??")) return i_ += 2, Parent(NodeKind::kChoice, {Leaf(NodeKind::kEmpty), atom});
    if (Next("*")) return i_ += 1, Parent(NodeKind::kGreedyLoop, {atom});
    if (Next("+"))
      return i_ += 1, Parent(NodeKind::kSequence, {atom, Parent(NodeKind::kGreedyLoop, {Copy(atom)})});
    if (Next("?")) return i_ += 1, Parent(NodeKind::kChoice, {atom, Leaf(NodeKind::kEmpty)});
    if (Next("{")) return ++i_, ParseBraces(atom);
    return atom;
  }

  // After "{": digits give the minimum, "," switches to the maximum, "}"
  // (or the end) closes; no "," means max = min; "}?" is lazy.
  int32_t ParseBraces(int32_t atom) {
    uint32_t counts[2] = {0, 0};
    bool comma = false;
    while (!AtEnd()) {
      uint8_t c = Byte(i_++);
      if (c == '}') break;
      if (c == ',') comma = true;
      if (IsDigit(c)) counts[comma] = std::min<uint32_t>(counts[comma] * 10 + (c - '0'), kMaxNodes);
    }
    bool lazy = Next("?");
    if (lazy) ++i_;
    uint32_t min = counts[0], max = comma ? counts[1] : counts[0];
    return Repetition(atom, min, max, lazy);
  }

  // m copies, then (max - m) optional copies, or a loop when max is 0; with
  // m = 0 the whole is optional. The lazy form reverses every preference.
  int32_t Repetition(int32_t atom, uint32_t min, uint32_t max, bool lazy) {
    auto optional = [&](int32_t n) {
      int32_t empty = Leaf(NodeKind::kEmpty);
      return Parent(NodeKind::kChoice,
                    lazy ? std::vector<int32_t>{empty, n} : std::vector<int32_t>{n, empty});
    };
    std::vector<int32_t> items;
    for (uint32_t k = 0; k < min; ++k) items.push_back(k == 0 ? atom : Copy(atom));
    if (max == 0) {
      items.push_back(
          Parent(lazy ? NodeKind::kLazyLoop : NodeKind::kGreedyLoop, {min == 0 ? atom : Copy(atom)}));
    } else {
      for (uint32_t k = min; k < max; ++k)
        items.push_back(optional(items.empty() && k == min ? atom : Copy(atom)));
    }
    int32_t whole = items.empty()       ? Leaf(NodeKind::kEmpty)
                    : items.size() == 1 ? items[0]
                                        : Parent(NodeKind::kSequence, std::move(items));
    return min == 0 ? optional(whole) : whole;
  }

  // atom := character | "(" choice ")" | class | "^" | "$"
  int32_t ParseAtom(int depth) {
    if (Next("(")) {
      if (depth + 1 > kMaxNesting) throw TooLarge{};
      ++i_;
      uint32_t group = ++groups_;
      int32_t inner = ParseChoice(depth + 1);
      if (Next(")")) ++i_;
      return Parent(NodeKind::kSequence,
                    {Leaf(NodeKind::kGroupOpen, group), inner, Leaf(NodeKind::kGroupClose, group)});
    }
    if (Next("*") || Next("+") || Next("?") || Next("{")) return kNothing;
    if (Next("[")) return ++i_, ClassNode(ParseClass());
    if (Next(".")) {
      ++i_;
      CharClass any;
      std::fill(any.first.begin() + 1, any.first.end(), true);
      return ClassNode(std::move(any));
    }
    if (Next("^")) return ++i_, Leaf(NodeKind::kLineStart);
    if (Next("$")) return ++i_, Leaf(NodeKind::kLineEnd);
    if (Next("\\")) {
      ++i_;
      Literal l = ReadEscape();
      if (!l.classEscape) return CharNode(l);
      CharClass c;
      for (int b = 0; b < 256; ++b) c.first[b] = EscapeClassHas(l.c0, uint8_t(b));
      return ClassNode(std::move(c));
    }
    return CharNode(ReadChar());  // includes a lone "]", "}" or top-level ")"
  }

  // After "[": items up to the next "]". Escaped bytes stay literal items,
  // so "[\\d]" holds a backslash and a d, and "[\^]" a caret.
  CharClass ParseClass() {
    CharClass c;
    if (Next("^")) ++i_, c.negated = true;
    bool firstItem = true;
    while (!AtEnd() && (firstItem || !Next("]"))) {
      firstItem = false;
      Literal lo = ClassItem();
      if (lo.classEscape) {
        for (int b = 0; b < 256; ++b) c.first[b] = c.first[b] || EscapeClassHas(lo.c0, uint8_t(b));
        continue;
      }
      if (Next("-") && i_ + 1 < p_.size() && Byte(i_ + 1) != ']') {
        size_t save = i_++;
        Literal hi = ClassItem();
        if (!hi.classEscape && hi.width == lo.width) {
          if (lo.width == 1) {
            for (int b = lo.c0; b <= hi.c0; ++b) c.first[b] = true;
          } else {
            c.boxes.push_back({lo.c0, lo.c1, hi.c0, hi.c1});
          }
          continue;
        }
        i_ = save;  // mixed widths or an escape class: the "-" is an item
      }
      AddItem(c, lo);
    }
    if (!AtEnd()) ++i_;  // the "]"
    return c;
  }

  Literal ClassItem() {
    if (Next("\\")) return ++i_, ReadEscape();
    return ReadChar();
  }

  static void AddItem(CharClass& c, const Literal& l) {
    if (l.width == 1)
      c.first[l.c0] = true;
    else
      c.boxes.push_back({l.c0, l.c1, l.c0, l.c1});
  }

  // ---- automaton ----
  struct Builder {
    std::vector<std::vector<Edge>> out;  // per state, in insertion order
    Automaton* nfa;
    uint32_t NewState() {
      if (out.size() >= kMaxNodes) throw TooLarge{};
      out.emplace_back();
      return uint32_t(out.size() - 1);
    }
    void AddEdge(uint32_t from, EdgeKind kind, uint32_t to, uint32_t value = 0, uint8_t width = 0,
                 uint8_t c0 = 0, uint8_t c1 = 0) {
      out[from].push_back(Edge{kind, width, c0, c1, to, value});
    }
  };

  void Build(Automaton& nfa, int32_t root) {
    Builder b;
    b.nfa = &nfa;
    b.NewState();  // start
    b.NewState();  // final
    BuildNode(b, root, kStartState, kFinalState);
    // The edge added last is tried first.
    nfa.firstEdge.assign(b.out.size() + 1, 0);
    for (size_t s = 0; s < b.out.size(); ++s) {
      nfa.firstEdge[s] = uint32_t(nfa.edges.size());
      nfa.edges.insert(nfa.edges.end(), b.out[s].rbegin(), b.out[s].rend());
    }
    nfa.firstEdge[b.out.size()] = uint32_t(nfa.edges.size());
    BypassPassThroughStates(nfa);
    nfa.chain.assign(b.out.size(), 0);
    nfa.loop.assign(b.out.size(), 0);
    for (uint32_t st = 0; st < b.out.size(); ++st) {
      uint32_t count = nfa.firstEdge[st + 1] - nfa.firstEdge[st];
      if (st == kFinalState || count == 0 || count > 2) continue;
      auto consumes = [&](const Edge& e) { return e.kind == EdgeKind::kChar || e.kind == EdgeKind::kClass; };
      const Edge& first = nfa.edges[nfa.firstEdge[st]];
      const Edge& last = nfa.edges[nfa.firstEdge[st] + count - 1];
      nfa.chain[st] = count == 1 && consumes(first);
      if (count == 2 && consumes(first) && first.target == st) nfa.loop[st] = kGreedyLoop;
      if (count == 2 && consumes(last) && last.target == st && !consumes(first)) nfa.loop[st] = kLazyLoop;
    }
    ComputeStartBytes(nfa);
  }

  void BuildNode(Builder& b, int32_t n, uint32_t from, uint32_t to) {
    if (n == kNothing) return;
    const Node& node = nodes_[size_t(n)];
    switch (node.kind) {
      case NodeKind::kChar:
        return b.AddEdge(from, EdgeKind::kChar, to, 0, node.width, node.c0, node.c1);
      case NodeKind::kClass:
        return b.AddEdge(from, EdgeKind::kClass, to, node.value);
      case NodeKind::kEmpty:
        return b.AddEdge(from, EdgeKind::kEpsilon, to);
      case NodeKind::kLineStart:
        if (from != kStartState) return;
        b.nfa->lineStart = true;
        return b.AddEdge(from, EdgeKind::kEpsilon, to);
      case NodeKind::kLineEnd:
        if (to != kFinalState) return;
        b.nfa->lineEnd = true;
        return b.AddEdge(from, EdgeKind::kEpsilon, to);
      case NodeKind::kGroupOpen:
        return b.AddEdge(from, EdgeKind::kGroupOpen, to, node.value);
      case NodeKind::kGroupClose:
        return b.AddEdge(from, EdgeKind::kGroupClose, to, node.value);
      case NodeKind::kSequence: {
        const std::vector<int32_t>& parts = node.parts;  // the tree is complete: nodes_ no longer grows
        uint32_t at = from;
        for (size_t k = 0; k < parts.size(); ++k) {
          uint32_t next = k + 1 == parts.size() ? to : b.NewState();
          BuildNode(b, parts[k], at, next);
          at = next;
        }
        return;
      }
      case NodeKind::kChoice: {
        const std::vector<int32_t>& parts = node.parts;
        for (size_t k = parts.size(); k-- > 0;) BuildNode(b, parts[k], from, to);
        return;
      }
      case NodeKind::kGreedyLoop: {
        int32_t body = node.parts[0];
        uint32_t f = b.NewState(), g = b.NewState();
        b.AddEdge(from, EdgeKind::kEpsilon, f);
        b.AddEdge(g, EdgeKind::kEpsilon, f);
        b.AddEdge(f, EdgeKind::kEpsilon, to);
        BuildNode(b, body, f, g);
        return;
      }
      case NodeKind::kLazyLoop: {
        int32_t body = node.parts[0];
        uint32_t f = b.NewState(), g = b.NewState();
        b.AddEdge(from, EdgeKind::kEpsilon, f);
        BuildNode(b, body, f, g);
        b.AddEdge(g, EdgeKind::kEpsilon, f);
        b.AddEdge(f, EdgeKind::kEpsilon, to);
        return;
      }
    }
  }

  // A state whose only edge is a plain epsilon is left the moment it is
  // entered, so edges into it may go straight on to where it leads: the walk
  // takes the same steps in the same order, minus one stack frame (a loop's
  // body end is such a state). Chains are followed; a cycle of such states
  // is left alone.
  static void BypassPassThroughStates(Automaton& nfa) {
    constexpr uint32_t kOpen = 0xFFFFFFFFu, kCycle = 0xFFFFFFFEu;
    uint32_t states = nfa.StateCount();
    auto passThrough = [&](uint32_t s) {
      return s != kFinalState && nfa.firstEdge[s + 1] - nfa.firstEdge[s] == 1 &&
             nfa.edges[nfa.firstEdge[s]].kind == EdgeKind::kEpsilon;
    };
    // where[s]: the first state on s's chain that does real work, once known.
    std::vector<uint32_t> where(states, kOpen), path;
    std::vector<uint8_t> onPath(states, 0);
    auto resolve = [&](uint32_t s) {
      uint32_t t = s;
      path.clear();
      while (passThrough(t) && where[t] == kOpen && !onPath[t]) {
        onPath[t] = 1;
        path.push_back(t);
        t = nfa.edges[nfa.firstEdge[t]].target;
      }
      uint32_t end = !passThrough(t) ? t : where[t] != kOpen ? where[t] : kCycle;
      for (uint32_t p : path) {
        where[p] = end;
        onPath[p] = 0;
      }
      return end;
    };
    for (Edge& e : nfa.edges) {
      uint32_t t = resolve(e.target);
      if (t != kCycle) e.target = t;
    }
  }

  // The first bytes of every consuming edge reachable from the start over
  // epsilon edges; any path to the final state over epsilon edges alone
  // allows an empty match, and then every position is a start.
  static void ComputeStartBytes(Automaton& nfa) {
    std::vector<uint8_t> seen(nfa.StateCount(), 0);
    std::vector<uint32_t> todo{kStartState};
    seen[kStartState] = 1;
    nfa.anyStart = false;
    while (!todo.empty()) {
      uint32_t s = todo.back();
      todo.pop_back();
      if (s == kFinalState) nfa.anyStart = true;
      for (uint32_t e = nfa.firstEdge[s]; e < nfa.firstEdge[s + 1]; ++e) {
        const Edge& edge = nfa.edges[e];
        if (edge.kind == EdgeKind::kChar) {
          nfa.startBytes[edge.c0] = true;
          uint8_t folded = (edge.c0 >= 'A' && edge.c0 <= 'Z') ? edge.c0 + 32 : edge.c0;
          nfa.startBytesFolded[folded] = true;
          if (folded >= 'a' && folded <= 'z') nfa.startBytesFolded[folded - 32] = true;
        } else if (edge.kind == EdgeKind::kClass) {
          const CharClass& c = nfa.classes[edge.value];
          for (int b = 1; b < 256; ++b)
            if (IsLeadByte(uint8_t(b)) || (c.first[b] != c.negated))
              nfa.startBytes[b] = nfa.startBytesFolded[b] = true;
        } else if (!seen[edge.target]) {
          seen[edge.target] = 1;
          todo.push_back(edge.target);
        }
      }
    }
    auto single = [](const std::array<bool, 256>& set) {
      int found = -1;
      for (int b = 1; b < 256; ++b)
        if (set[b]) found = found < 0 ? b : 256;
      return found == 256 ? -1 : found;
    };
    nfa.singleStart = single(nfa.startBytes);
    nfa.singleStartFolded = single(nfa.startBytesFolded);
  }

  std::string_view p_;
  size_t i_ = 0;
  uint32_t groups_ = 0;
  std::vector<Node> nodes_;
  std::vector<CharClass> classes_;
};

}  // namespace

std::unique_ptr<Automaton> Compile(std::string_view pattern) {
  try {
    return Compiler(pattern).Run();
  } catch (const TooLarge&) {
    return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace qavz::regex
