// Random patterns and subjects: compile, then search with and without case
// folding. Input: pattern bytes, a zero byte, subject bytes. Run with
// -timeout to bound the time of any one match.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "stdlib/regex.h"

using namespace qavz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  size_t patternLen = zero ? size_t(zero - data) : size;
  auto nfa = regex::Compile(std::string_view(reinterpret_cast<const char*>(data), patternLen));
  if (!nfa) return 0;
  // The subject has no terminator of its own: the limit stands in for it.
  std::vector<uint8_t> subject(zero ? zero + 1 : data + size, data + size);
  std::vector<regex::Slot> slots;
  for (bool fold : {false, true}) {
    if (regex::Search(*nfa, regex::Subject{subject.data(), uint32_t(subject.size())}, fold, slots) !=
        regex::SearchResult::kMatch)
      continue;
    for (const regex::Slot& s : slots)
      if ((s.start != regex::kUnset && s.start > subject.size()) ||
          (s.end != regex::kUnset && s.end > subject.size()))
        __builtin_trap();
    if (slots[0].start > slots[0].end) __builtin_trap();
  }
  return 0;
}
