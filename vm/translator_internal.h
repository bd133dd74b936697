// Shared between the translator's driver (translator.cpp) and its code
// generator (translator_emit.cpp).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

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

// One image's translation. `entries` holds per code byte: the host offset
// (> 0) of the block starting there, minus the number of instructions to
// the next block start for other instruction starts, 0 elsewhere. Pages
// written since (valid 0) have their entries cleared.
struct Translation {
  Addr base = 0;
  uint32_t codeSize = 0;
  uint32_t programSize = 0;
  std::unique_ptr<std::atomic<int32_t>[]> entries;
  std::unique_ptr<std::atomic<uint8_t>[]> pageValid;  // per 4 KiB page from base
  uint32_t pageCount = 0;
  uint8_t* code = nullptr;
  size_t codeBytes = 0;  // mapped size
  EnterFn enter = nullptr;
  std::atomic<int> users{0};
  std::atomic<bool> dead{false};  // dropped; freed by the last user
};

// Fills t.entries, t.code and t.enter from the code bytes (the image's
// first t.codeSize bytes). False when it cannot (no executable memory).
bool EmitTranslation(Translation& t, const uint8_t* code) noexcept;
void FreeTranslationCode(Translation& t) noexcept;

}  // namespace qavz::jit
