// A scratch block of script memory for calling natives the way the machine
// does: strings, buffers and argument words laid out in the arena.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "vm/arena.h"

namespace qavz::test {

class ScriptMemory {
 public:
  explicit ScriptMemory(uint32_t size = 1 << 16) : size_(size), block_(TheArena().Alloc(size)) {}
  ~ScriptMemory() { TheArena().Free(block_); }
  ScriptMemory(const ScriptMemory&) = delete;
  ScriptMemory& operator=(const ScriptMemory&) = delete;

  // Bytes plus a terminator.
  Addr Str(const std::string& bytes) {
    Addr a = Take(uint32_t(bytes.size()) + 1);
    std::memcpy(Host(a), bytes.data(), bytes.size());
    return a;
  }
  Addr Buffer(uint32_t n, uint8_t fill = 0) {
    Addr a = Take(n);
    std::memset(Host(a), fill, n);
    return a;
  }
  Addr Args(std::initializer_list<int32_t> words) { return Args(std::vector<int32_t>(words)); }
  Addr Args(const std::vector<int32_t>& words) {
    Addr a = Take(uint32_t(words.size()) * 4 + 4);
    uint32_t i = 0;
    for (int32_t w : words) TheArena().Write(a + 4 * i++, w);
    return a;
  }
  std::string StringAt(Addr a) {
    std::string s;
    EXPECT_TRUE(TheArena().ReadString(a, s));
    return s;
  }
  int32_t WordAt(Addr a) { return TheArena().Word(a); }
  uint8_t* Host(Addr a) { return TheArena().Span(a, 1); }
  // The last `n` bytes of the block: writes past them reach dead memory.
  Addr Tail(uint32_t n) const { return block_ + TheArena().BlockSize(block_) - n; }

 private:
  Addr Take(uint32_t n) {
    used_ = (used_ + 3) & ~3u;
    Addr a = block_ + used_;
    used_ += n;
    EXPECT_LE(used_, size_);
    return a;
  }
  uint32_t size_;
  Addr block_;
  uint32_t used_ = 0;
};

}  // namespace qavz::test
