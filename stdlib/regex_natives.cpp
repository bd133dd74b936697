// nfa_compile, nfa_free, rex_match, rex_free and their two tables of 32.
//
// A script holds an automaton by the address of a small block in script
// memory; the automaton itself stays in host memory behind the table entry.
// A result is a block of (start, end) address pairs the script reads itself.
// Freed result blocks are kept for the next results instead of going back to
// the arena each time: a script that searches a long text match by match
// would otherwise spend most of its time mapping and unmapping pages.
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "host/service_hooks.h"
#include "stdlib/regex.h"
#include "stdlib/script_text.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

constexpr int kTableSize = 32;

struct CompiledEntry {
  Addr handle = 0;
  std::unique_ptr<regex::Automaton> nfa;
};

std::array<CompiledEntry, kTableSize> gAutomatons;
std::array<Addr, kTableSize> gResults{};
struct SpareBlock {
  Addr block = 0;
  uint32_t size = 0;
};
std::array<SpareBlock, kTableSize> gSpareBlocks{};  // freed result blocks, kept live
// Natives run under NativeLock; this one also covers the host's exit step.
std::mutex gTableLock;

CompiledEntry* FindAutomaton(Addr handle) {
  for (CompiledEntry& e : gAutomatons)
    if (handle != 0 && e.handle == handle) return &e;
  return nullptr;
}

Addr* FindResult(Addr block) {
  for (Addr& r : gResults)
    if (block != 0 && r == block) return &r;
  return nullptr;
}

// A result block of at least `bytes`: a kept one or a new one.
Addr TakeResultBlock(uint32_t bytes) {
  for (SpareBlock& spare : gSpareBlocks) {
    if (spare.block && spare.size >= bytes) {
      Addr block = spare.block;
      spare = SpareBlock{};
      return block;
    }
  }
  return TheArena().Alloc(bytes);
}

void GiveBackResultBlock(Addr block) {
  for (SpareBlock& spare : gSpareBlocks) {
    if (spare.block == 0) {
      spare = SpareBlock{block, TheArena().BlockSize(block)};
      return;
    }
  }
  TheArena().Free(block);
}

// Subject bytes are exposed a page at a time, as far as memory is live.
uint32_t ExtendSubject(const regex::Subject& s) {
  uint64_t next = uint64_t(s.context) + s.limit;
  if (next > 0xFFFFFFFFu || !TheArena().Live(uint32_t(next), 1)) return s.limit;
  return s.limit + (Arena::kPageSize - uint32_t(next & (Arena::kPageSize - 1)));
}

int32_t Compile(Addr pattern) {
  ScriptText text;
  if (!GetScriptText(pattern, text)) return 0;
  std::lock_guard lock(gTableLock);
  CompiledEntry* slot = nullptr;
  for (CompiledEntry& e : gAutomatons)
    if (!slot && e.handle == 0) slot = &e;
  if (!slot) return 0;
  auto nfa = regex::Compile(std::string_view(reinterpret_cast<const char*>(text.bytes), text.length));
  if (!nfa) return 0;
  Addr handle = TheArena().Alloc(16);
  if (handle == 0) return 0;
  TheArena().Write<int32_t>(handle, int32_t(nfa->slotCount));
  slot->handle = handle;
  slot->nfa = std::move(nfa);
  return int32_t(handle);
}

int32_t Match(Addr args) {
  Addr handle = ArgAddr(args, 0), subject = ArgAddr(args, 1), variable = ArgAddr(args, 2);
  bool fold = Arg(args, 3) == 1;
  Arena& arena = TheArena();
  if (handle == 0 || subject == 0 || variable == 0 || !arena.Live(variable, 4)) return 0;
  arena.Write<int32_t>(variable, 0);
  std::lock_guard lock(gTableLock);
  CompiledEntry* entry = FindAutomaton(handle);
  Addr* free = nullptr;
  for (Addr& r : gResults)
    if (!free && r == 0) free = &r;
  if (!entry || !free || !arena.Live(subject, 1)) return 0;
  regex::Subject view{arena.Base() + subject, Arena::kPageSize - (subject & (Arena::kPageSize - 1)), ExtendSubject,
                      subject};
  thread_local std::vector<regex::Slot> slots;
  if (regex::Search(*entry->nfa, view, fold, slots) != regex::SearchResult::kMatch) return 0;
  Addr block = TakeResultBlock(uint32_t(slots.size()) * 8);
  if (block == 0) return 0;
  for (size_t k = 0; k < slots.size(); ++k) {
    Addr start = slots[k].start == regex::kUnset ? 0 : subject + slots[k].start;
    Addr end = slots[k].end == regex::kUnset ? 0 : subject + slots[k].end;
    arena.Write<uint32_t>(block + uint32_t(8 * k), start);
    arena.Write<uint32_t>(block + uint32_t(8 * k + 4), end);
  }
  *free = block;
  arena.Write<int32_t>(variable, int32_t(block));
  return int32_t(slots.size());
}

}  // namespace

int32_t Native_nfa_compile(Addr args) noexcept {
  try {
    return Compile(ArgAddr(args, 0));
  } catch (const std::exception&) {
    return 0;
  }
}

int32_t Native_nfa_free(Addr args) noexcept {
  std::lock_guard lock(gTableLock);
  CompiledEntry* e = FindAutomaton(ArgAddr(args, 0));
  if (!e) return 0;
  TheArena().Free(e->handle);
  *e = CompiledEntry{};
  return 1;
}

int32_t Native_rex_match(Addr args) noexcept {
  try {
    return Match(args);
  } catch (const std::exception&) {
    return 0;
  }
}

int32_t Native_rex_free(Addr args) noexcept {
  std::lock_guard lock(gTableLock);
  Addr* r = FindResult(ArgAddr(args, 0));
  if (!r) return 0;
  GiveBackResultBlock(*r);
  *r = 0;
  return 1;
}

void FreeAllPatterns() {
  std::lock_guard lock(gTableLock);
  for (CompiledEntry& e : gAutomatons) {
    if (e.handle) TheArena().Free(e.handle);
    e = CompiledEntry{};
  }
  for (Addr& r : gResults) {
    if (r) TheArena().Free(r);
    r = 0;
  }
  for (SpareBlock& spare : gSpareBlocks) {
    if (spare.block) TheArena().Free(spare.block);
    spare = SpareBlock{};
  }
}

}  // namespace qavz
