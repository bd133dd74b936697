// The 64-byte register record of one running activity, and its program image.
//
// The field order and widths are part of the machine: `setjmp` and `longjmp`
// copy the record to and from script memory byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vm/arena.h"

namespace qavz {

enum ContextState : uint8_t { kRunning = 0, kEnded = 1, kStopped = 2 };

struct MachineContext {
  uint32_t threadIndex;  // ScriptThread slot running it (0..31)
  uint8_t state;         // ContextState
  uint8_t eq;            // EQ flag
  uint8_t lt;            // signed less-than
  uint8_t ltu;           // unsigned less-than
  Addr pc;
  Addr refCountAddr;  // image base + program size
  Addr imageBase;
  Addr stackBase;
  uint32_t programSize;
  uint32_t stackSize;
  int32_t r[8];  // r0 result, r6 frame pointer, r7 stack pointer
};
static_assert(sizeof(MachineContext) == 64, "the context record is 64 bytes");
static_assert(offsetof(MachineContext, pc) == 8 && offsetof(MachineContext, r) == 32);

// A compiled program's block as the contexts sharing it see it: code from
// offset 0, global data downward from programSize, then the signed 32-bit
// reference count (the image is freed when it drops to 0 or below).
struct ProgramImage {
  Addr base;
  uint32_t programSize;
  Addr RefCountAddress() const noexcept { return base + programSize; }
  int32_t RefCount() const noexcept { return TheArena().Word(RefCountAddress()); }
};
inline ProgramImage ImageOf(const MachineContext& context) noexcept {
  return ProgramImage{context.imageBase, context.programSize};
}

// Create context (program size, stack size): image block of programSize + 4
// bytes with the reference count 1 at its end, a stack, pc at the image base,
// r7 at the stack end. Null on failure, nothing left allocated.
MachineContext* CreateContext(uint32_t programSize, uint32_t stackSize);
// Clone context for thd_begin: shares the parent's image (count + 1), own
// stack of `stackSize` bytes (the parent's when <= 0). Null parent -> null.
MachineContext* CloneContext(const MachineContext* parent, int32_t stackSize);
// Drops the image reference (freeing the image at 0 or below), frees the
// stack and the record. Null is accepted. Returns 1.
int FreeContext(MachineContext* context);

// The compiler, as the loader sees it: with dest 0 it only counts; with a
// destination it writes the program there, every address final. Non-zero on
// success; codeSize + dataSize is the exact program size of a counting pass.
struct CompileRequest {
  const char* sourcePath;
  Addr dest;          // 0 = counting pass
  uint32_t capacity;  // program size available at dest
  uint32_t codeSize;  // out
  uint32_t dataSize;  // out
};
using CompilerEntry = int (*)(CompileRequest& request);
// Installed by the compiler library; the loader fails while none is set.
void SetCompilerEntry(CompilerEntry entry);
CompilerEntry GetCompilerEntry();

// Load program (source path, program size, stack size): ".c" only (any case),
// counting pass when programSize is 0, then the emitting pass into a fresh
// context. Null on any failure; compile errors are reported by the compiler.
MachineContext* LoadProgram(const char* sourcePath, uint32_t programSize, uint32_t stackSize);

}  // namespace qavz
