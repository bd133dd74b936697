// The script heap (256 blocks), whole-file loads into it, and the memory
// natives. Every block lives in the machine's address space, so a script
// reaches it only through checked addresses.
#include <cstring>
#include <string>

#include "files/exp_file.h"
#include "files/files_state.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

constexpr int kHeapEntries = 256;
Addr gHeap[kHeapEntries];

}  // namespace

Addr HeapAlloc(uint32_t size) {
  for (Addr& entry : gHeap) {
    if (entry) continue;
    entry = TheArena().Alloc(size);
    return entry;
  }
  return 0;
}

void FreeHeapBlocks() {
  for (Addr& entry : gHeap) {
    if (entry) TheArena().Free(entry);
    entry = 0;
  }
}

int32_t Native_malloc(Addr args) { return int32_t(HeapAlloc(uint32_t(Arg(args, 0)))); }

// Frees a block that is in the heap table; false for any other address.
bool ReleaseHeapBlock(Addr block) {
  if (!block) return false;
  for (Addr& entry : gHeap) {
    if (entry != block) continue;
    TheArena().Free(entry);
    entry = 0;
    return true;
  }
  return false;
}

int32_t Native_free(Addr args) { return ReleaseHeapBlock(ArgAddr(args, 0)) ? 1 : 0; }

int32_t Native_mload(Addr args) {
  std::string name;
  if (!TheArena().ReadString(ArgAddr(args, 0), name)) return 0;
  int32_t offset = Arg(args, 1), size = Arg(args, 2);
  ExpFilePtr file(OpenExpFile(name.c_str()));
  if (!file) return 0;
  uint32_t length = uint32_t(size > 0 ? size : ExpFileSize(file.get()));
  Addr block = HeapAlloc(length);
  if (!block) return 0;
  // An offset the file cannot seek to loads nothing rather than the start.
  if (offset > 0 && SeekExpFile(file.get(), offset, 0) != offset) {
    ReleaseHeapBlock(block);
    return 0;
  }
  uint32_t got = 0;
  if (length) ReadExpFile(file.get(), TheArena().Span(block, length), length, &got);
  return int32_t(block);
}

int32_t Native_memcpy(Addr args) {
  Addr dst = ArgAddr(args, 0), src = ArgAddr(args, 1);
  int32_t count = Arg(args, 2);
  if (count == 0) return 1;
  uint8_t* d = count > 0 ? TheArena().Span(dst, uint32_t(count)) : nullptr;
  const uint8_t* s = count > 0 ? TheArena().Span(src, uint32_t(count)) : nullptr;
  if (!d || !s) return 0;
  // Forward, byte after byte, when the destination starts inside the source:
  // what a forward copy does (a repeating pattern), not what memmove does.
  if (dst > src && dst < src + uint32_t(count)) {
    for (int32_t i = 0; i < count; ++i) d[i] = s[i];
  } else {
    std::memmove(d, s, size_t(count));
  }
  return 1;
}

int32_t Native_memmove(Addr args) {
  int32_t count = Arg(args, 2);
  if (count == 0) return 1;
  uint8_t* d = count > 0 ? TheArena().Span(ArgAddr(args, 0), uint32_t(count)) : nullptr;
  const uint8_t* s = count > 0 ? TheArena().Span(ArgAddr(args, 1), uint32_t(count)) : nullptr;
  if (!d || !s) return 0;
  std::memmove(d, s, size_t(count));
  return 1;
}

int32_t Native_memset(Addr args) {
  int32_t count = Arg(args, 2);
  if (count == 0) return 1;
  uint8_t* d = count > 0 ? TheArena().Span(ArgAddr(args, 0), uint32_t(count)) : nullptr;
  if (!d) return 0;
  std::memset(d, Arg(args, 1) & 0xFF, size_t(count));
  return 1;
}

int32_t Native_memcmp(Addr args) {
  int32_t count = Arg(args, 2);
  if (count <= 0) return 0;
  const uint8_t* a = TheArena().Span(ArgAddr(args, 0), uint32_t(count));
  const uint8_t* b = TheArena().Span(ArgAddr(args, 1), uint32_t(count));
  if (!a || !b) return 0;
  int r = std::memcmp(a, b, size_t(count));
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

}  // namespace qavz
