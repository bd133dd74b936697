// nfa_compile, nfa_free, rex_match, rex_free and their two tables of 32.
//
// A script holds an automaton by the address of a small block in script
// memory; the automaton itself stays in host memory behind the table entry.
// A result is a block of (start, end) address pairs the script reads itself.
// Freed result blocks are kept for the next results instead of going back to
// the arena each time: a script that searches a long text match by match
// would otherwise spend most of its time mapping and unmapping pages.
//
// A search that outgrows the matcher's depth bound has no answer: rex_match
// reports it as a native-call error and gives -1, never the 0 of "no match".
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "core/report_error.h"
#include "core/service_hooks.h"
#include "stdlib/messages.h"
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
struct ResultBlock {
  Addr block = 0;
  uint32_t size = 0;
};
std::array<ResultBlock, kTableSize> gResults{};
std::array<ResultBlock, kTableSize> gSpareBlocks{};  // freed result blocks, kept live
// Natives run under NativeLock; this one also covers the host's exit step.
std::mutex gTableLock;

CompiledEntry* FindAutomaton(Addr handle) {
  for (CompiledEntry& e : gAutomatons)
    if (handle != 0 && e.handle == handle) return &e;
  return nullptr;
}

ResultBlock* FindResult(Addr block) {
  for (ResultBlock& r : gResults)
    if (block != 0 && r.block == block) return &r;
  return nullptr;
}

// A result block of at least `bytes`: a kept one or a new one.
ResultBlock TakeResultBlock(uint32_t bytes) {
  for (ResultBlock& spare : gSpareBlocks) {
    if (spare.block && spare.size >= bytes) {
      ResultBlock taken = spare;
      spare = ResultBlock{};
      return taken;
    }
  }
  return ResultBlock{TheArena().Alloc(bytes), bytes};
}

void GiveBackResultBlock(const ResultBlock& result) {
  for (ResultBlock& spare : gSpareBlocks) {
    if (spare.block == 0) {
      spare = result;
      return;
    }
  }
  TheArena().Free(result.block);
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
  ResultBlock* free = nullptr;
  for (ResultBlock& r : gResults)
    if (!free && r.block == 0) free = &r;
  if (!entry || !free || !arena.Live(subject, 1)) return 0;
  regex::Subject view{arena.Base() + subject, Arena::kPageSize - (subject & (Arena::kPageSize - 1)),
                      ExtendSubject, subject};
  thread_local std::vector<regex::Slot> slots;
  regex::SearchResult found = regex::Search(*entry->nfa, view, fold, slots);
  if (found == regex::SearchResult::kTooDeep) return -1;
  if (found != regex::SearchResult::kMatch) return 0;
  ResultBlock result = TakeResultBlock(uint32_t(slots.size()) * 8);
  Addr block = result.block;
  uint8_t* out = arena.Span(block, uint32_t(slots.size()) * 8);
  if (!out) return 0;
  for (const regex::Slot& slot : slots) {
    Addr pair[2] = {slot.start == regex::kUnset ? 0 : subject + slot.start,
                    slot.end == regex::kUnset ? 0 : subject + slot.end};
    std::memcpy(out, pair, sizeof pair);
    out += sizeof pair;
  }
  *free = result;
  arena.Write<int32_t>(variable, int32_t(block));
  return int32_t(slots.size());
}

}  // namespace

int32_t Native_nfa_compile(Addr args) { return Compile(ArgAddr(args, 0)); }

int32_t Native_nfa_free(Addr args) {
  std::lock_guard lock(gTableLock);
  CompiledEntry* e = FindAutomaton(ArgAddr(args, 0));
  if (!e) return 0;
  TheArena().Free(e->handle);
  *e = CompiledEntry{};
  return 1;
}

int32_t Native_rex_match(Addr args) {
  int32_t result = Match(args);
  // Reported outside the table lock: the box may wait for the user.
  if (result < 0) ReportError(kLevelFault, "%s", msg::kRegexTooDeep);
  return result;
}

int32_t Native_rex_free(Addr args) {
  std::lock_guard lock(gTableLock);
  ResultBlock* r = FindResult(ArgAddr(args, 0));
  if (!r) return 0;
  GiveBackResultBlock(*r);
  *r = ResultBlock{};
  return 1;
}

void FreeAllPatterns() {
  std::lock_guard lock(gTableLock);
  for (CompiledEntry& e : gAutomatons) {
    if (e.handle) TheArena().Free(e.handle);
    e = CompiledEntry{};
  }
  for (auto* table : {&gResults, &gSpareBlocks}) {
    for (ResultBlock& r : *table) {
      if (r.block) TheArena().Free(r.block);
      r = ResultBlock{};
    }
  }
}

}  // namespace qavz
