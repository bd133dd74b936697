// Runs arbitrary bytes as a program image for a bounded number of slices.
// Whatever the bytes, the machine must stay inside its arena: faults are
// fine, crashes and sanitizer reports are not.
//
// Byte 0 picks the stack size (its low 4 bits, in 16-byte steps, so stack
// faults are common), bit 4 the debug-mode argument count check and bit 5 a
// start with r7 moved by byte 1 (signed) from the stack end, as a record
// restored by longjmp may have it; the rest is the image. pc starts at the
// image base as for a loaded program; r1, r2, r3 and r6 start pointing into
// the image and the stack.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/config.h"
#include "core/report_error.h"
#include "vm/interpreter.h"
#include "vm/machine_context.h"
#include "vm/native_dispatch.h"

namespace {

using namespace qavz;

// Natives are other subsystems' business (files, devices, sleeps); here a
// trap only exercises the dispatcher's own checks.
void FuzzTrap(uint32_t index, MachineContext* context) {
  if (index >= 261) {
    DispatchNative(index, context);
    return;
  }
  context->r[0] = PushedArgumentWords(context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    SetErrorLevel(0);
    SetTrapHandler(&FuzzTrap);
    return true;
  }();
  (void)once;
  if (size < 2 || size > (1 << 16)) return 0;
  uint32_t stackSize = 16u * (data[0] & 15);
  TheConfig().debugMode = (data[0] >> 4) & 1;
  bool moveR7 = (data[0] >> 5) & 1;
  int32_t r7Offset = int8_t(data[1]);
  data += 2;
  size -= 2;
  MachineContext* c = CreateContext(uint32_t(size), stackSize);
  if (!c) return 0;
  if (size > 0) std::memcpy(TheArena().Span(c->imageBase, uint32_t(size)), data, size);
  if (moveR7) c->r[7] += r7Offset;
  // Registers that point into live memory, so loads, stores and register
  // calls succeed often enough to reach the code behind them.
  c->r[1] = int32_t(c->imageBase);
  c->r[2] = int32_t(c->stackBase);
  c->r[3] = int32_t(c->imageBase + uint32_t(size) / 2);
  c->r[6] = int32_t(c->stackBase + stackSize / 2);
  StopFlag().store(0);
  for (int slice = 0; slice < 64 && c->state == kRunning && !StopFlag().load(); ++slice) RunSlice(c);
  StopFlag().store(0);
  FreeContext(c);
  return 0;
}
