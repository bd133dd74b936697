// The slice loop, a template over address checks and dispatch. The runtime
// builds only RunSliceLoop<true, true> (RunSlice). The benchmarks, and only
// they (QAVZ_INTERPRETER_VARIANTS), build the others to measure what the
// checks and threaded dispatch are worth: without checks a wild address
// reaches host memory.
#pragma once

#include <atomic>
#include <cstring>

#include "vm/arena.h"
#include "vm/foreign_calls.h"
#include "vm/interpreter.h"
#include "vm/machine_context.h"
#include "vm/opcodes.h"

namespace qavz {

// The handler `trap` calls (SetTrapHandler).
extern std::atomic<TrapHandler> CurrentTrapHandler;

// Tells the translator that [a, a + n) of a page holding translated code was
// written (vm/translator.h).
void NoteCodeWrite(Addr a, uint32_t n) noexcept;

namespace slice {

inline uint32_t Ld32(const uint8_t* m, uint32_t a) {
  uint32_t v;
  std::memcpy(&v, m + a, 4);
  return v;
}
inline uint16_t Ld16(const uint8_t* m, uint32_t a) {
  uint16_t v;
  std::memcpy(&v, m + a, 2);
  return v;
}
inline void St32(uint8_t* m, uint32_t a, uint32_t v) { std::memcpy(m + a, &v, 4); }

// Whether the instruction at pc can be read whole. A dead opcode byte is a
// fault 1; an opcode above 83 is left for the dispatch to report as fault 3.
inline bool SlowFetchOk(const Arena& arena, const uint8_t* mem, uint32_t pc) {
  if (!arena.Live(pc, 1)) return false;
  uint8_t op = mem[pc];
  return op >= kOpcodeCount || arena.Live(pc, kOpcodes[op].length);
}

// Checks the instruction at pc and opens a window of addresses from which a
// whole instruction (at most 6 bytes) can be fetched without looking at the
// page map again: the run of live pages from pc's page, at most 16 of them.
// The window lasts for the slice; pages freed meanwhile by another thread
// stay mapped and read as zero, so a stale window never reaches the host.
inline bool OpenCodeWindow(const Arena& arena, const uint8_t* mem, uint32_t pc, uint32_t& lo,
                           uint32_t& span) {
  if (!SlowFetchOk(arena, mem, pc)) return false;
  uint32_t page = pc >> Arena::kPageShift, n = 1;
  while (n < 16 && page + n < Arena::kPageCount && arena.PageLive(page + n)) ++n;
  lo = page << Arena::kPageShift;
  span = (n << Arena::kPageShift) - 5;
  return true;
}

}  // namespace slice

// Each variant leaves some labels of the shared body unused.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-label"

// The slice loop. Registers, pc and flags live in locals for the slice and
// go back into the record whenever it ends, faults or calls a native. Every
// load, store and fetch asks the page map first (one byte per 4 KiB page);
// an access that would cross into a page it has not checked takes the slow
// exact test instead.
//
// `steps` bounds the instructions run (255 for a slice; the translated
// code's driver runs the interpreter for fewer). `*ended`, when given, says
// whether the slice ended by itself (trap, fault, a state change, StopFlag)
// rather than by running out of steps.
template <bool kChecked, bool kThreaded>
#if defined(__GNUC__) && !defined(__clang__)
// Keep one dispatch jump per handler: merged tails defeat the branch
// predictor that threaded dispatch is for.
__attribute__((optimize("no-crossjumping", "no-gcse")))
#endif
int RunSliceLoop(MachineContext* c, int steps = 255, bool* ended = nullptr) {
#ifndef QAVZ_INTERPRETER_VARIANTS
  static_assert(kChecked && kThreaded, "the other variants are built only into the benchmarks");
#endif
  using namespace slice;
  std::atomic<int32_t>& stop = StopFlag();
  bool endedHere = true;
  if (!ended) ended = &endedHere;
  *ended = true;
  if (stop.load(std::memory_order_relaxed) || c->state != kRunning) return kNoFault;

  Arena& arena = TheArena();
  uint8_t* const mem = arena.Base();
  const std::atomic<uint8_t>* const pages = arena.PageMap();
  const uint32_t stackBase = c->stackBase, stackSize = c->stackSize;
  // Calls that leave the image are checked against what the linker bound.
  const uint32_t imageLo = c->imageBase, imageSpan = c->programSize + 4;
  // Frame and stack accesses dominate compiled code: when the stack's top
  // 64 KiB (where the frames are; all of a smaller stack) is live, an access
  // of up to 4 bytes inside it needs no page-map lookup. 0 = no such window.
  const uint32_t stackLo = stackSize > 0x10000u ? stackBase + stackSize - 0x10000u : stackBase;
  const uint32_t stackTop = stackBase + stackSize - stackLo;
  const bool stackLive = kChecked && stackTop >= 4 && arena.Live(stackLo, stackTop);
  const uint32_t stackWindow = stackLive ? stackTop - 3 : 0;
  const uint32_t frameWindow = stackLive && stackTop >= 24 ? stackTop - 23 : 0;  // enter, leave
  int32_t r[8];
  std::memcpy(r, c->r, sizeof r);
  (void)pages;
  uint32_t pc = c->pc;
  uint8_t eq = c->eq, lt = c->lt, ltu = c->ltu;
  int count = steps + 1;
  const uint8_t* p = nullptr;
  uint8_t op = 0;
  uint32_t codeLo = 0, codeSpan = 0;  // fetch window, opened by the first fetch
  FaultKind fault = kFaultProgram;

// LIVE is for accesses of 1 to 4 bytes (the stack window assumes so),
// LIVE_FRAME for the 24 bytes that enter and leave move.
#define LIVE_BLOCK(a, n)                                                                               \
  (!kChecked || (((a)&0xFFFu) <= 0x1000u - (n) ? pages[(a) >> 12].load(std::memory_order_relaxed) != 0 \
                                               : arena.Live((a), (n))))
#define LIVE(a, n) (__builtin_expect(uint32_t(a) - stackLo < stackWindow, 1) || LIVE_BLOCK(a, n))
#define LIVE_FRAME(a) (__builtin_expect(uint32_t(a) - stackLo < frameWindow, 1) || LIVE_BLOCK(a, 24))
#define FAULT(kind) \
  do {              \
    fault = (kind); \
    goto raise;     \
  } while (0)
// A call out of the image to a function whose image is gone or was
// replaced faults as a call into dead memory does.
#define FOREIGN_CALL_CHECK(target)                                                \
  if (kChecked && __builtin_expect(uint32_t(target) - imageLo >= imageSpan, 0) && \
      !ForeignCallAllowed(imageLo, target))                                       \
  goto fetchFault
#define REG_D (p[1] & 7)
#define REG_S ((p[1] >> 4) & 7)
#define IMM_R int32_t(Ld32(p, 2))  // imm32 after a register byte
#define IMM int32_t(Ld32(p, 1))    // imm32 right after the opcode
#define FETCH()                                                                                            \
  if (__builtin_expect(--count == 0, 0)) goto done;                                                        \
  if constexpr (kChecked) {                                                                                \
    if (__builtin_expect(pc - codeLo >= codeSpan, 0) && !OpenCodeWindow(arena, mem, pc, codeLo, codeSpan)) \
      goto fetchFault;                                                                                     \
  }                                                                                                        \
  p = mem + pc;                                                                                            \
  op = *p;
#define NEXT                                                                  \
  if constexpr (kThreaded) {                                                  \
    if (__builtin_expect(stop.load(std::memory_order_relaxed), 0)) goto done; \
    FETCH();                                                                  \
    goto* kLabels[op];                                                        \
  } else {                                                                    \
    goto next;                                                                \
  }
// Stack word moves: r7 is stored before the range test; a failed test
// writes or reads nothing.
#define PUSH(value)                                          \
  do {                                                       \
    uint32_t v_ = uint32_t(value), sp_ = uint32_t(r[7]) - 4; \
    r[7] = int32_t(sp_);                                     \
    if (sp_ - stackBase >= stackSize) FAULT(kFaultStack);    \
    if (!LIVE(sp_, 4)) FAULT(kFaultProgram);                 \
    St32(mem, sp_, v_);                                      \
  } while (0)
#define POP(dest)                                         \
  do {                                                    \
    uint32_t sp_ = uint32_t(r[7]) + 4;                    \
    r[7] = int32_t(sp_);                                  \
    if (sp_ - stackBase >= stackSize) FAULT(kFaultStack); \
    if (!LIVE(sp_ - 4, 4)) FAULT(kFaultProgram);          \
    dest = Ld32(mem, sp_ - 4);                            \
  } while (0)
#define LOAD(dreg, addr, width, type)           \
  do {                                          \
    uint32_t a_ = uint32_t(addr);               \
    if (!LIVE(a_, width)) FAULT(kFaultProgram); \
    type v_;                                    \
    std::memcpy(&v_, mem + a_, width);          \
    r[dreg] = int32_t(v_);                      \
  } while (0)
// A store into a page holding translated code (page map value above 1)
// tells the translator, which drops the translation of what was written.
#define NOTE_WRITE(a, n)                                                                 \
  if (kChecked && __builtin_expect(uint32_t(a) - stackLo >= stackWindow, 1) &&           \
      __builtin_expect((pages[(a) >> 12].load(std::memory_order_relaxed) |               \
                        pages[((a) + (n)-1) >> 12].load(std::memory_order_relaxed)) > 1, \
                       0))                                                               \
    NoteCodeWrite((a), (n));
#define STORE(addr, width, type, value)         \
  do {                                          \
    uint32_t a_ = uint32_t(addr);               \
    if (!LIVE(a_, width)) FAULT(kFaultProgram); \
    type v_ = type(value);                      \
    std::memcpy(mem + a_, &v_, width);          \
    NOTE_WRITE(a_, width);                      \
  } while (0)
#define ZERO_TEST(addr, width, type)            \
  do {                                          \
    uint32_t a_ = uint32_t(addr);               \
    if (!LIVE(a_, width)) FAULT(kFaultProgram); \
    type v_;                                    \
    std::memcpy(&v_, mem + a_, width);          \
    eq = v_ == 0;                               \
  } while (0)
#define COMPARE(x, y)                  \
  do {                                 \
    int32_t x_ = (x), y_ = (y);        \
    eq = x_ == y_;                     \
    lt = x_ < y_;                      \
    ltu = uint32_t(x_) < uint32_t(y_); \
  } while (0)
// Byte and word increments: the address is taken before rD is written, so
// D = S works as the compiler emits it.
#define INCDEC(type, width, delta, pre)         \
  do {                                          \
    uint32_t a_ = uint32_t(r[REG_S]);           \
    int d_ = REG_D;                             \
    pc += 2;                                    \
    if (!LIVE(a_, width)) FAULT(kFaultProgram); \
    type old_;                                  \
    std::memcpy(&old_, mem + a_, width);        \
    type new_ = type(old_ + (delta));           \
    std::memcpy(mem + a_, &new_, width);        \
    NOTE_WRITE(a_, width);                      \
    r[d_] = int32_t((pre) ? new_ : old_);       \
  } while (0)
#define BRANCH(cond) pc = (cond) ? uint32_t(IMM) : pc + 5;
// An opcode's case in the switch and the label its threaded jump names.
#define OPCODE(name)             \
  case uint8_t(Opcode::k##name): \
    op_##name:

  // Opcodes 84 to 255 all lead to the fault, so dispatch needs no range test.
#define BAD4 &&badOpcode, &&badOpcode, &&badOpcode, &&badOpcode,
#define BAD16 BAD4 BAD4 BAD4 BAD4
  static const void* const kLabels[256] = {
#define QAVZ_LABEL_ROW(op, name, len, mnemonic, form, meaning) &&op_##name,
      QAVZ_OPCODES(QAVZ_LABEL_ROW)
#undef QAVZ_LABEL_ROW
          BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 BAD16 BAD4 BAD4 BAD4  // 84..255
  };
  static_assert(kOpcodeCount + 10 * 16 + 3 * 4 == 256);
#undef BAD4
#undef BAD16
  (void)kLabels;

  goto top;
next:
  if (stop.load(std::memory_order_relaxed)) goto done;
top:
  FETCH();
  if constexpr (kThreaded) goto* kLabels[op];
  switch (op) {
    OPCODE(Nop) {
      pc += 1;
      NEXT;
    }
    OPCODE(Trap) {  // the handler may replace or end the context, so the
                    // slice ends here whatever it did
      uint32_t index = Ld16(p, 1);
      pc += 3;
      std::memcpy(c->r, r, sizeof r);
      c->pc = pc;
      c->eq = eq, c->lt = lt, c->ltu = ltu;
      if (TrapHandler handler = CurrentTrapHandler.load(std::memory_order_relaxed)) handler(index, c);
      return kNoFault;
    }
    OPCODE(Xchg) {
      int d = REG_D, s = REG_S;
      int32_t t = r[d];
      r[d] = r[s];
      r[s] = t;
      pc += 2;
      NEXT;
    }
    OPCODE(Move) {
      r[REG_D] = r[REG_S];
      pc += 2;
      NEXT;
    }
    OPCODE(LoadImm)
    OPCODE(LoadAddr) {
      r[REG_D] = IMM_R;
      pc += 6;
      NEXT;
    }
    OPCODE(LoadU8Abs) {
      pc += 6;
      LOAD(REG_D, IMM_R, 1, uint8_t);
      NEXT;
    }
    OPCODE(LoadS8Abs) {
      pc += 6;
      LOAD(REG_D, IMM_R, 1, int8_t);
      NEXT;
    }
    OPCODE(LoadU16Abs) {
      pc += 6;
      LOAD(REG_D, IMM_R, 2, uint16_t);
      NEXT;
    }
    OPCODE(LoadS16Abs) {
      pc += 6;
      LOAD(REG_D, IMM_R, 2, int16_t);
      NEXT;
    }
    OPCODE(Load32Abs) {
      pc += 6;
      LOAD(REG_D, IMM_R, 4, int32_t);
      NEXT;
    }
    OPCODE(Lea) {
      r[REG_D] = int32_t(uint32_t(r[6]) + uint32_t(IMM_R));
      pc += 6;
      NEXT;
    }
    OPCODE(LoadU8Frame) {
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 1, uint8_t);
      NEXT;
    }
    OPCODE(LoadS8Frame) {
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 1, int8_t);
      NEXT;
    }
    OPCODE(LoadU16Frame) {
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 2, uint16_t);
      NEXT;
    }
    OPCODE(LoadS16Frame) {
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 2, int16_t);
      NEXT;
    }
    OPCODE(Load32Frame) {
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 4, int32_t);
      NEXT;
    }
    OPCODE(LoadU8Ind) {
      pc += 2;
      LOAD(REG_D, r[REG_S], 1, uint8_t);
      NEXT;
    }
    OPCODE(LoadS8Ind) {
      pc += 2;
      LOAD(REG_D, r[REG_S], 1, int8_t);
      NEXT;
    }
    OPCODE(LoadU16Ind) {
      pc += 2;
      LOAD(REG_D, r[REG_S], 2, uint16_t);
      NEXT;
    }
    OPCODE(LoadS16Ind) {
      pc += 2;
      LOAD(REG_D, r[REG_S], 2, int16_t);
      NEXT;
    }
    OPCODE(Load32Ind) {
      pc += 2;
      LOAD(REG_D, r[REG_S], 4, int32_t);
      NEXT;
    }
    OPCODE(Store8Abs) {
      pc += 6;
      STORE(IMM_R, 1, uint8_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Store16Abs) {
      pc += 6;
      STORE(IMM_R, 2, uint16_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Store32Abs) {
      pc += 6;
      STORE(IMM_R, 4, uint32_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Store8Frame) {
      pc += 6;
      STORE(uint32_t(r[6]) + uint32_t(IMM_R), 1, uint8_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Store16Frame) {
      pc += 6;
      STORE(uint32_t(r[6]) + uint32_t(IMM_R), 2, uint16_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Store32Frame) {
      pc += 6;
      STORE(uint32_t(r[6]) + uint32_t(IMM_R), 4, uint32_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Store8Ind) {
      pc += 2;
      STORE(r[REG_D], 1, uint8_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Store16Ind) {
      pc += 2;
      STORE(r[REG_D], 2, uint16_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Store32Ind) {
      pc += 2;
      STORE(r[REG_D], 4, uint32_t, r[REG_S]);
      NEXT;
    }
    OPCODE(Push) {
      pc += 2;
      PUSH(r[REG_S]);
      NEXT;
    }
    OPCODE(PushImm) {
      pc += 5;
      PUSH(IMM);
      NEXT;
    }
    OPCODE(Pop) {
      int d = REG_D;
      uint32_t v;
      pc += 2;
      POP(v);
      r[d] = int32_t(v);
      NEXT;
    }
    OPCODE(Enter) {  // save r1..r6 below the locals' top, r6 at the highest
      uint32_t n = uint32_t(IMM);
      pc += 5;
      uint32_t sp = uint32_t(r[7]) - n - 24;
      r[7] = int32_t(sp);
      if (sp - stackBase >= stackSize) FAULT(kFaultStack);
      uint32_t save = sp + n;
      if (!LIVE_FRAME(save)) FAULT(kFaultProgram);
      std::memcpy(mem + save, &r[1], 24);
      r[6] = int32_t(save + 20);
      NEXT;
    }
    OPCODE(Leave) {  // at the stack end (main's frame) the context ends
      uint32_t n = uint32_t(IMM);
      pc += 5;
      uint32_t sp = uint32_t(r[7]);
      if (sp - stackBase + n + 24 < stackSize) {
        uint32_t save = sp + n;
        if (!LIVE_FRAME(save)) FAULT(kFaultProgram);
        std::memcpy(&r[1], mem + save, 24);
        r[7] = int32_t(save + 24);
        NEXT;
      }
      c->state = kEnded;
      goto done;
    }
    OPCODE(Call) {
      uint32_t target = uint32_t(IMM);
      pc += 5;
      PUSH(pc);
      pc = target;
      FOREIGN_CALL_CHECK(target);
      NEXT;
    }
    OPCODE(CallReg) {
      uint32_t target = uint32_t(r[REG_S]);
      pc += 2;
      if (target == 0) FAULT(kFaultProgram);
      PUSH(pc);
      pc = target;
      FOREIGN_CALL_CHECK(target);
      NEXT;
    }
    OPCODE(Ret) {  // -1 is the return address of a thread's function
      uint32_t v;
      pc += 1;
      POP(v);
      pc = v;
      if (v == 0xFFFFFFFFu) {
        c->state = kEnded;
        goto done;
      }
      NEXT;
    }
    OPCODE(PreStep) {
      uint32_t a = uint32_t(r[REG_S]);
      int d = REG_D;
      uint32_t step = uint32_t(IMM_R);
      pc += 6;
      if (!LIVE(a, 4)) FAULT(kFaultProgram);
      uint32_t v = Ld32(mem, a) + step;
      St32(mem, a, v);
      NOTE_WRITE(a, 4);
      r[d] = int32_t(v);
      NEXT;
    }
    OPCODE(PostStep) {
      uint32_t a = uint32_t(r[REG_S]);
      int d = REG_D;
      uint32_t step = uint32_t(IMM_R);
      pc += 6;
      if (!LIVE(a, 4)) FAULT(kFaultProgram);
      uint32_t v = Ld32(mem, a);
      St32(mem, a, v + step);
      NOTE_WRITE(a, 4);
      r[d] = int32_t(v);
      NEXT;
    }
    OPCODE(PreInc8) {
      INCDEC(uint8_t, 1, 1, true);
      NEXT;
    }
    OPCODE(PostInc8) {
      INCDEC(uint8_t, 1, 1, false);
      NEXT;
    }
    OPCODE(PreDec8) {
      INCDEC(uint8_t, 1, -1, true);
      NEXT;
    }
    OPCODE(PostDec8) {
      INCDEC(uint8_t, 1, -1, false);
      NEXT;
    }
    OPCODE(PreInc16) {
      INCDEC(uint16_t, 2, 1, true);
      NEXT;
    }
    OPCODE(PostInc16) {
      INCDEC(uint16_t, 2, 1, false);
      NEXT;
    }
    OPCODE(PreDec16) {
      INCDEC(uint16_t, 2, -1, true);
      NEXT;
    }
    OPCODE(PostDec16) {
      INCDEC(uint16_t, 2, -1, false);
      NEXT;
    }
    OPCODE(Zero8Abs) {
      pc += 5;
      ZERO_TEST(IMM, 1, uint8_t);
      NEXT;
    }
    OPCODE(Zero16Abs) {
      pc += 5;
      ZERO_TEST(IMM, 2, uint16_t);
      NEXT;
    }
    OPCODE(Zero32Abs) {
      pc += 5;
      ZERO_TEST(IMM, 4, uint32_t);
      NEXT;
    }
    OPCODE(Zero8Frame) {
      pc += 5;
      ZERO_TEST(uint32_t(r[6]) + uint32_t(IMM), 1, uint8_t);
      NEXT;
    }
    OPCODE(Zero16Frame) {
      pc += 5;
      ZERO_TEST(uint32_t(r[6]) + uint32_t(IMM), 2, uint16_t);
      NEXT;
    }
    OPCODE(Zero32Frame) {
      pc += 5;
      ZERO_TEST(uint32_t(r[6]) + uint32_t(IMM), 4, uint32_t);
      NEXT;
    }
    OPCODE(Cmp) {
      COMPARE(r[REG_D], r[REG_S]);
      pc += 2;
      NEXT;
    }
    OPCODE(CmpImm) {
      COMPARE(r[REG_D], IMM_R);
      pc += 6;
      NEXT;
    }
    OPCODE(Set) {
      r[REG_D] = r[REG_S] == 0;
      pc += 2;
      NEXT;
    }
    OPCODE(Add) {
      r[REG_D] = int32_t(uint32_t(r[REG_D]) + uint32_t(r[REG_S]));
      pc += 2;
      NEXT;
    }
    OPCODE(AddImm) {
      r[REG_D] = int32_t(uint32_t(r[REG_D]) + uint32_t(IMM_R));
      pc += 6;
      NEXT;
    }
    OPCODE(Sub) {
      int d = REG_D;
      int32_t s = r[REG_S];
      COMPARE(r[d], s);
      r[d] = int32_t(uint32_t(r[d]) - uint32_t(s));
      pc += 2;
      NEXT;
    }
    OPCODE(SubImm) {
      int d = REG_D;
      int32_t s = IMM_R;
      COMPARE(r[d], s);
      r[d] = int32_t(uint32_t(r[d]) - uint32_t(s));
      pc += 6;
      NEXT;
    }
    OPCODE(Mul) {
      r[REG_D] = int32_t(uint32_t(r[REG_D]) * uint32_t(r[REG_S]));
      pc += 2;
      NEXT;
    }
    OPCODE(Div) {  // the one quotient that does not fit gives the dividend
      int d = REG_D;
      int32_t s = r[REG_S];
      pc += 2;
      if (s == 0) FAULT(kFaultDivide);
      if (s != -1)
        r[d] /= s;
      else
        r[d] = int32_t(0u - uint32_t(r[d]));
      NEXT;
    }
    OPCODE(Mod) {  // x % -1 is 0 for every x, the most negative included
      int d = REG_D;
      int32_t s = r[REG_S];
      pc += 2;
      if (s == 0) FAULT(kFaultDivide);
      r[d] = s == -1 ? 0 : r[d] % s;
      NEXT;
    }
    OPCODE(Shl) {
      r[REG_D] = int32_t(uint32_t(r[REG_D]) << (r[REG_S] & 31));
      pc += 2;
      NEXT;
    }
    OPCODE(Shr) {
      r[REG_D] = int32_t(uint32_t(r[REG_D]) >> (r[REG_S] & 31));
      pc += 2;
      NEXT;
    }
    OPCODE(Sar) {
      r[REG_D] = r[REG_D] >> (r[REG_S] & 31);
      pc += 2;
      NEXT;
    }
    OPCODE(Neg) {
      r[REG_D] = int32_t(0u - uint32_t(r[REG_S]));
      pc += 2;
      NEXT;
    }
    OPCODE(Not) {
      r[REG_D] = ~r[REG_S];
      pc += 2;
      NEXT;
    }
    OPCODE(And) {
      r[REG_D] &= r[REG_S];
      pc += 2;
      NEXT;
    }
    OPCODE(Or) {
      r[REG_D] |= r[REG_S];
      pc += 2;
      NEXT;
    }
    OPCODE(Xor) {
      r[REG_D] ^= r[REG_S];
      pc += 2;
      NEXT;
    }
    OPCODE(Jmp) {
      pc = uint32_t(IMM);
      NEXT;
    }
    OPCODE(Je) {
      BRANCH(eq);
      NEXT;
    }
    OPCODE(Jne) {
      BRANCH(!eq);
      NEXT;
    }
    OPCODE(Jg) {
      BRANCH(!lt && !eq);
      NEXT;
    }
    OPCODE(Jge) {
      BRANCH(!lt || eq);
      NEXT;
    }
    OPCODE(Jl) {
      BRANCH(lt && !eq);
      NEXT;
    }
    OPCODE(Jle) {
      BRANCH(lt || eq);
      NEXT;
    }
    OPCODE(Ja) {
      BRANCH(!ltu && !eq);
      NEXT;
    }
    OPCODE(Jae) {
      BRANCH(!ltu || eq);
      NEXT;
    }
    OPCODE(Jb) {
      BRANCH(ltu && !eq);
      NEXT;
    }
    OPCODE(Jbe) {
      BRANCH(ltu || eq);
      NEXT;
    }
    default:
      goto badOpcode;
  }

badOpcode:
  pc += 1;
  fault = kFaultOpcode;
  goto raise;
fetchFault:
  fault = kFaultProgram;
raise:
  std::memcpy(c->r, r, sizeof r);
  c->pc = pc;
  c->eq = eq, c->lt = lt, c->ltu = ltu;
  c->state = kStopped;
  stop.store(1);
  return fault;
done:
  std::memcpy(c->r, r, sizeof r);
  c->pc = pc;
  c->eq = eq, c->lt = lt, c->ltu = ltu;
  *ended = count != 0;
  return kNoFault;

#undef LIVE
#undef LIVE_BLOCK
#undef LIVE_FRAME
#undef FAULT
#undef FOREIGN_CALL_CHECK
#undef REG_D
#undef REG_S
#undef IMM_R
#undef IMM
#undef FETCH
#undef NEXT
#undef PUSH
#undef POP
#undef LOAD
#undef STORE
#undef NOTE_WRITE
#undef ZERO_TEST
#undef COMPARE
#undef INCDEC
#undef BRANCH
#undef OPCODE
}

#pragma GCC diagnostic pop

}  // namespace qavz
