// Pattern search speed against PCRE2's interpreter (no JIT), on the same
// generated text and patterns whose meaning is the same in both engines.
// Each pattern is searched for every match through the rex_match native, as
// a script would, and with pcre2_match; the ratio is our time over PCRE2's.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "vm/native_table.h"

#if QAVZ_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

using namespace qavz;

namespace {

std::string MakeText(size_t bytes) {
  const char* words[] = {"the",       "The",    "Holmes",  "Watson",  "morning", "said",  "was",
                         "a",         "of",     "and",     "looking", "room",    "Baker", "street",
                         "221-1887",  "letter", "evening", "nothing", "singing", "door",  "window",
                         "gentleman", "it",     "to",      "in",      "that",    "he",    "HOLMES"};
  std::mt19937 rng(42);
  std::string text;
  size_t line = 0;
  while (text.size() < bytes) {
    const char* w = words[rng() % (sizeof words / sizeof *words)];
    text += w;
    line += std::strlen(w);
    if (line > 60) {
      text += '\n';
      line = 0;
    } else {
      text += rng() % 9 == 0 ? ", " : " ";
    }
  }
  return text;
}

// Processor time, so that other work on a shared machine does not count.
double Seconds(std::clock_t t0) { return double(std::clock() - t0) / CLOCKS_PER_SEC; }

struct Case {
  const char* ours;
  const char* pcre;
  bool caseless;
};

// Every match through the natives; returns the match count.
long OursAll(Addr args, Addr text, uint32_t size, Addr var, int32_t nfa, bool caseless) {
  Arena& arena = TheArena();
  long count = 0;
  for (Addr at = text; at < text + size;) {
    arena.Write<int32_t>(args, nfa);
    arena.Write<uint32_t>(args + 4, at);
    arena.Write<uint32_t>(args + 8, var);
    arena.Write<int32_t>(args + 12, caseless ? 1 : 0);
    if (Native_rex_match(args) == 0) break;
    Addr result = Addr(arena.Word(var));
    Addr start = Addr(arena.Word(result)), end = Addr(arena.Word(result + 4));
    arena.Write<uint32_t>(args, result);
    Native_rex_free(args);
    ++count;
    at = end > start ? end : start + 1;
  }
  return count;
}

#if QAVZ_HAVE_PCRE2
long PcreAll(const std::string& text, const Case& c) {
  int error;
  PCRE2_SIZE offset;
  uint32_t options = PCRE2_MULTILINE | (c.caseless ? PCRE2_CASELESS : 0);
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(c.pcre), PCRE2_ZERO_TERMINATED, options,
                                   &error, &offset, nullptr);
  if (!code) return -1;
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
  long count = 0;
  for (PCRE2_SIZE at = 0; at < text.size();) {
    int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), at, 0, md, nullptr);
    if (rc < 0) break;
    PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
    ++count;
    at = ov[1] > ov[0] ? ov[1] : ov[0] + 1;
  }
  pcre2_match_data_free(md);
  pcre2_code_free(code);
  return count;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#if !QAVZ_HAVE_PCRE2
  std::puts("regex_vs_pcre2: built without libpcre2-8, nothing to compare");
  return 0;
#else
  const std::string text = MakeText(4 << 20);
  Arena& arena = TheArena();
  Addr block = arena.Alloc(uint32_t(text.size()) + 4096);
  std::memcpy(arena.Span(block, uint32_t(text.size())), text.data(), text.size());
  Addr scratch = block + uint32_t(text.size()) + 64;  // args, variable, pattern
  Addr args = scratch, var = scratch + 32, pattern = scratch + 64;

  const Case cases[] = {
      {"Holmes", "Holmes", false},           {"(Holmes|Watson)", "(Holmes|Watson)", false},
      {"[a-z]+ing", "[a-z]+ing", false},     {"\\d+-\\d+", "[0-9]+-[0-9]+", false},
      {"^The [a-z]+", "^The [a-z]+", false}, {"holmes", "holmes", true},
      {"w[a-z]*w", "w[a-z]*w", false},
  };
  std::printf("%-18s %8s %8s %10s %10s %7s\n", "pattern", "ours", "pcre2", "ours ms", "pcre2 ms", "ratio");
  double oursTotal = 0, pcreTotal = 0;
  for (const Case& c : cases) {
    if (argc > 1 && std::strcmp(argv[1], c.ours) != 0) continue;  // one pattern, for profiling
    arena.WriteString(pattern, c.ours, std::strlen(c.ours));
    arena.Write<uint32_t>(args, pattern);
    int32_t nfa = Native_nfa_compile(args);
    const int kRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    long ours = 0, theirs = 0;
    std::clock_t t0 = std::clock();
    for (int r = 0; r < kRounds; ++r)
      ours = OursAll(args, block, uint32_t(text.size()), var, nfa, c.caseless);
    double oursTime = Seconds(t0) / kRounds;
    t0 = std::clock();
    for (int r = 0; r < kRounds; ++r) theirs = PcreAll(text, c);
    double pcreTime = Seconds(t0) / kRounds;
    arena.Write<int32_t>(args, nfa);
    Native_nfa_free(args);
    oursTotal += oursTime;
    pcreTotal += pcreTime;
    std::printf("%-18s %8ld %8ld %10.1f %10.1f %7.2f%s\n", c.ours, ours, theirs, oursTime * 1e3,
                pcreTime * 1e3, oursTime / pcreTime, ours == theirs ? "" : "  (counts differ)");
  }
  std::printf("total ratio (ours / PCRE2 interpreter): %.2f\n", oursTotal / pcreTotal);
  return 0;
#endif
}
