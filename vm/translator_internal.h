// Shared between the translator's driver (translator.cpp) and its code
// generator (translator_emit.cpp).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "vm/machine_context.h"

namespace qavz::jit {

// The record the translated code keeps in rbp while it runs. The offsets
// are part of the generated code.
struct RunState {
  uint8_t eq, lt, ltu;      // 0: the flags, as the context holds them
  uint8_t foreign;          // 3: the code is not the context's image's
  uint32_t exitPc;          // 4: where the run left off
  uint32_t reason;          // 8: ExitReason
  int32_t budget;           // 12: instructions left
  int64_t stackBase;        // 16
  int64_t stackSize;        // 24: 0 when the stack was not found live
  uint32_t stackBase32;     // 32
  uint32_t pushLimit;       // 36: push is direct when r7 - 4 - base < this
  uint32_t popLimit;        // 40: pop is direct when r7 - base < this
  uint32_t unused2;         // 44
  MachineContext* context;  // 48
  uint8_t* arenaBase;       // 56
  const void* pageMap;      // 64
};
static_assert(offsetof(RunState, foreign) == 3 && offsetof(RunState, context) == 48 &&
              offsetof(RunState, pageMap) == 64);

enum ExitReason : uint32_t {
  kExitStep = 0,    // the instruction at exitPc is the interpreter's
  kExitBudget = 1,  // the block at exitPc holds more instructions than are left
  kExitJump = 2,    // control reached exitPc, which may have no translation
  kExitStop = 3,    // StopFlag was seen; exitPc is the next instruction
  kExitTrap = 4,    // a trap's handler ran: the context is written and the
                    // slice ends (the handler may have changed it)
};

// Calls the trap handler for translated code, which has written the
// context as the interpreter's trap does.
void TranslatedTrap(uint32_t index, MachineContext* context) noexcept;

using EnterFn = void (*)(RunState* run, const void* target);

// Per code byte of an image, from one pass over its instructions at load.
enum CodeMark : uint8_t { kMarkStart = 1, kMarkLeader = 2 };
// Per page of code (4 KiB, as the arena's). A page is translated when
// control first reaches it; a write into it (or into the page after) drops
// it for good.
enum PageState : uint8_t { kPageDropped = 0, kPageTranslated = 1, kPageUntranslated = 2 };

struct FreeBytes {
  void operator()(void* p) const noexcept { std::free(p); }
};

// One image's translation. `entries` holds per code byte: the host offset
// from `code` (> 0) of the block starting there, minus the number of
// instructions to the next block start for other instruction starts, 0
// elsewhere and on pages not translated. Read and written through
// std::atomic_ref: translated code and other threads read it while a page
// is added or dropped. `entries` and `marks` come zeroed from calloc, so
// that the pages of a large image that never run cost nothing.
struct Translation {
  Addr base = 0;
  uint32_t codeSize = 0;
  uint32_t programSize = 0;
  std::unique_ptr<int32_t[], FreeBytes> entries;
  std::unique_ptr<uint8_t[], FreeBytes> marks;
  std::unique_ptr<std::atomic<uint8_t>[]> pageState;  // PageState per page from base
  uint32_t pageShift = 12;
  uint32_t pageCount = 0;
  uint8_t* code = nullptr;  // the reservation: the entry code, then pages' code
  size_t codeBytes = 0;     // reserved
  size_t codeUsed = 0;      // written and sealed; under `emitting`
  std::mutex emitting;
  EnterFn enter = nullptr;
  std::atomic<int> users{0};
  std::atomic<bool> dead{false};  // dropped; freed by the last user
};

// The host offset of the entry for code offset `off`.
inline std::atomic_ref<int32_t> EntryAt(const Translation& t, uint32_t off) noexcept {
  return std::atomic_ref<int32_t>(t.entries[off]);
}

// Pages of 2^shift bytes (6 to 12) for translations prepared from now on:
// the differential tests use small ones, so that their short programs
// cross pages everywhere.
void SetTranslationPageShift(uint32_t shift) noexcept;

// Marks the image's instructions, reserves the host code's address space
// and writes the entry code. False when it cannot (no memory, no
// executable memory); nothing is translated yet.
bool PrepareTranslation(Translation& t, const uint8_t* code) noexcept;

// A page's blocks as host code, written and sealed but not yet reachable:
// `entries` lists the (code offset, entry) pairs that publish it. False
// when the page cannot be translated. The caller holds t.emitting.
bool EmitPage(Translation& t, const uint8_t* code, uint32_t page,
              std::vector<std::pair<uint32_t, int32_t>>& entries) noexcept;
void FreeTranslationCode(Translation& t) noexcept;

}  // namespace qavz::jit
