#include "vm/interpreter.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "vm/interpreter_internal.h"
#include "vm/native_dispatch.h"
#include "vm/opcodes.h"

namespace qavz {

namespace {

// Exactly as the user sees them, indexed by FaultKind.
constexpr const char* kFaultMessages[] = {
    "０で除算しました",
    "プログラム領域をオーバーしました",
    "スタック領域をオーバーしました",
    "不正な命令コードが現れました",
};

// StopFlag and ActiveFlag share one arena block so extensions can be handed
// their machine addresses.
struct RunFlags {
  std::atomic<int32_t> stop;
  std::atomic<int32_t> active;
};

struct FlagBlock {
  Addr address;
  RunFlags* flags;
};

const FlagBlock& Flags() noexcept {
  static const FlagBlock block = [] {
    Arena& arena = TheArena();
    Addr a = arena.Alloc(sizeof(RunFlags));
    if (a == 0) std::abort();  // the arena cannot give 8 bytes at start-up
    RunFlags* f = new (arena.Base() + a) RunFlags{};
    f->active.store(1);
    return FlagBlock{a, f};
  }();
  return block;
}

std::atomic<TrapHandler> gTrapHandler{&DispatchNative};

constexpr uint8_t kLengths[kOpcodeCount] = {
#define QAVZ_LENGTH_ROW(op, len, name, form) len,
    QAVZ_OPCODES(QAVZ_LENGTH_ROW)
#undef QAVZ_LENGTH_ROW
};

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
bool SlowFetchOk(const Arena& arena, const uint8_t* mem, uint32_t pc) {
  if (!arena.Live(pc, 1)) return false;
  uint8_t op = mem[pc];
  return op >= kOpcodeCount || arena.Live(pc, kLengths[op]);
}

// Checks the instruction at pc and opens a window of addresses from which a
// whole instruction (at most 6 bytes) can be fetched without looking at the
// page map again: the run of live pages from pc's page, at most 16 of them.
// The window lasts for the slice; pages freed meanwhile by another thread
// stay mapped and read as zero, so a stale window never reaches the host.
bool OpenCodeWindow(const Arena& arena, const uint8_t* mem, uint32_t pc, uint32_t& lo, uint32_t& span) {
  if (!SlowFetchOk(arena, mem, pc)) return false;
  uint32_t page = pc >> Arena::kPageShift, n = 1;
  while (n < 16 && page + n < Arena::kPageCount && arena.PageLive(page + n)) ++n;
  lo = page << Arena::kPageShift;
  span = (n << Arena::kPageShift) - 5;
  return true;
}

}  // namespace

std::atomic<int32_t>& StopFlag() noexcept { return Flags().flags->stop; }
Addr StopFlagAddress() noexcept { return Flags().address; }
std::atomic<int32_t>& ActiveFlag() noexcept { return Flags().flags->active; }
Addr ActiveFlagAddress() noexcept { return Flags().address + 4; }

int SetTrapHandler(TrapHandler handler) {
  gTrapHandler.store(handler);
  return 1;
}

const char* FaultMessage(FaultKind kind) noexcept {
  return kFaultMessages[unsigned(kind) > kFaultOpcode ? kFaultOpcode : kind];
}

// Each variant leaves some labels of the shared body unused.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-label"

// The slice loop. Registers, pc and flags live in locals for the slice and
// go back into the record whenever it ends, faults or calls a native. Every
// load, store and fetch asks the page map first (one byte per 4 KiB page);
// an access that would cross into a page it has not checked takes the slow
// exact test instead.
template <bool kChecked, bool kThreaded>
#if defined(__GNUC__) && !defined(__clang__)
// Keep one dispatch jump per handler: merged tails defeat the branch
// predictor that threaded dispatch is for.
__attribute__((optimize("no-crossjumping", "no-gcse")))
#endif
int RunSliceVariant(MachineContext* c) {
  std::atomic<int32_t>& stop = StopFlag();
  if (stop.load(std::memory_order_relaxed) || c->state != kRunning) return kNoFault;

  Arena& arena = TheArena();
  uint8_t* const mem = arena.Base();
  const std::atomic<uint8_t>* const pages = arena.PageMap();
  const uint32_t stackBase = c->stackBase, stackSize = c->stackSize;
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
  int count = 256;
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
#define STORE(addr, width, type, value)         \
  do {                                          \
    uint32_t a_ = uint32_t(addr);               \
    if (!LIVE(a_, width)) FAULT(kFaultProgram); \
    type v_ = type(value);                      \
    std::memcpy(mem + a_, &v_, width);          \
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
    r[d_] = int32_t((pre) ? new_ : old_);       \
  } while (0)
#define BRANCH(cond) pc = (cond) ? uint32_t(IMM) : pc + 5;

  // Opcodes 84 to 255 all lead to the fault, so dispatch needs no range test.
#define BAD4 &&badOpcode, &&badOpcode, &&badOpcode, &&badOpcode,
#define BAD16 BAD4 BAD4 BAD4 BAD4
  static const void* const kLabels[256] = {
#define QAVZ_LABEL_ROW(op, len, name, form) &&op_##op,
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
    case 0:
    op_0:  // nop
      pc += 1;
      NEXT;
    case 1:
    op_1 : {  // trap index16: the handler may replace or end the context,
              // so the slice ends here whatever it did.
      uint32_t index = Ld16(p, 1);
      pc += 3;
      std::memcpy(c->r, r, sizeof r);
      c->pc = pc;
      c->eq = eq, c->lt = lt, c->ltu = ltu;
      if (TrapHandler handler = gTrapHandler.load(std::memory_order_relaxed)) handler(index, c);
      return kNoFault;
    }
    case 2:
    op_2 : {  // xchg
      int d = REG_D, s = REG_S;
      int32_t t = r[d];
      r[d] = r[s];
      r[s] = t;
      pc += 2;
      NEXT;
    }
    case 3:
    op_3:  // movl rD, rS
      r[REG_D] = r[REG_S];
      pc += 2;
      NEXT;
    case 4:
    case 5:
    op_4:
    op_5:  // movl rD, $imm
      r[REG_D] = IMM_R;
      pc += 6;
      NEXT;
    case 6:
    op_6:
      pc += 6;
      LOAD(REG_D, IMM_R, 1, uint8_t);
      NEXT;
    case 7:
    op_7:
      pc += 6;
      LOAD(REG_D, IMM_R, 1, int8_t);
      NEXT;
    case 8:
    op_8:
      pc += 6;
      LOAD(REG_D, IMM_R, 2, uint16_t);
      NEXT;
    case 9:
    op_9:
      pc += 6;
      LOAD(REG_D, IMM_R, 2, int16_t);
      NEXT;
    case 10:
    op_10:
      pc += 6;
      LOAD(REG_D, IMM_R, 4, int32_t);
      NEXT;
    case 11:
    op_11:  // lea rD, off(r6)
      r[REG_D] = int32_t(uint32_t(r[6]) + uint32_t(IMM_R));
      pc += 6;
      NEXT;
    case 12:
    op_12:
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 1, uint8_t);
      NEXT;
    case 13:
    op_13:
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 1, int8_t);
      NEXT;
    case 14:
    op_14:
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 2, uint16_t);
      NEXT;
    case 15:
    op_15:
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 2, int16_t);
      NEXT;
    case 16:
    op_16:
      pc += 6;
      LOAD(REG_D, uint32_t(r[6]) + uint32_t(IMM_R), 4, int32_t);
      NEXT;
    case 17:
    op_17:
      pc += 2;
      LOAD(REG_D, r[REG_S], 1, uint8_t);
      NEXT;
    case 18:
    op_18:
      pc += 2;
      LOAD(REG_D, r[REG_S], 1, int8_t);
      NEXT;
    case 19:
    op_19:
      pc += 2;
      LOAD(REG_D, r[REG_S], 2, uint16_t);
      NEXT;
    case 20:
    op_20:
      pc += 2;
      LOAD(REG_D, r[REG_S], 2, int16_t);
      NEXT;
    case 21:
    op_21:
      pc += 2;
      LOAD(REG_D, r[REG_S], 4, int32_t);
      NEXT;
    case 22:
    op_22:
      pc += 6;
      STORE(IMM_R, 1, uint8_t, r[REG_S]);
      NEXT;
    case 23:
    op_23:
      pc += 6;
      STORE(IMM_R, 2, uint16_t, r[REG_S]);
      NEXT;
    case 24:
    op_24:
      pc += 6;
      STORE(IMM_R, 4, uint32_t, r[REG_S]);
      NEXT;
    case 25:
    op_25:
      pc += 6;
      STORE(uint32_t(r[6]) + uint32_t(IMM_R), 1, uint8_t, r[REG_S]);
      NEXT;
    case 26:
    op_26:
      pc += 6;
      STORE(uint32_t(r[6]) + uint32_t(IMM_R), 2, uint16_t, r[REG_S]);
      NEXT;
    case 27:
    op_27:
      pc += 6;
      STORE(uint32_t(r[6]) + uint32_t(IMM_R), 4, uint32_t, r[REG_S]);
      NEXT;
    case 28:
    op_28:
      pc += 2;
      STORE(r[REG_D], 1, uint8_t, r[REG_S]);
      NEXT;
    case 29:
    op_29:
      pc += 2;
      STORE(r[REG_D], 2, uint16_t, r[REG_S]);
      NEXT;
    case 30:
    op_30:
      pc += 2;
      STORE(r[REG_D], 4, uint32_t, r[REG_S]);
      NEXT;
    case 31:
    op_31:  // push rS
      pc += 2;
      PUSH(r[REG_S]);
      NEXT;
    case 32:
    op_32:  // push $imm
      pc += 5;
      PUSH(IMM);
      NEXT;
    case 33:
    op_33 : {  // pop rD
      int d = REG_D;
      uint32_t v;
      pc += 2;
      POP(v);
      r[d] = int32_t(v);
      NEXT;
    }
    case 34:
    op_34 : {  // enter N: save r1..r6 below the locals' top, r6 at the highest
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
    case 35:
    op_35 : {  // leave N: at the stack end (main's frame) the context ends
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
    case 36:
    op_36 : {  // call abs
      uint32_t target = uint32_t(IMM);
      pc += 5;
      PUSH(pc);
      pc = target;
      NEXT;
    }
    case 37:
    op_37 : {  // call rS
      uint32_t target = uint32_t(r[REG_S]);
      pc += 2;
      if (target == 0) FAULT(kFaultProgram);
      PUSH(pc);
      pc = target;
      NEXT;
    }
    case 38:
    op_38 : {  // ret; -1 is the return address of a thread's function
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
    case 39:
    op_39 : {  // preop rD, (rS), imm
      uint32_t a = uint32_t(r[REG_S]);
      int d = REG_D;
      uint32_t step = uint32_t(IMM_R);
      pc += 6;
      if (!LIVE(a, 4)) FAULT(kFaultProgram);
      uint32_t v = Ld32(mem, a) + step;
      St32(mem, a, v);
      r[d] = int32_t(v);
      NEXT;
    }
    case 40:
    op_40 : {  // postop rD, (rS), imm
      uint32_t a = uint32_t(r[REG_S]);
      int d = REG_D;
      uint32_t step = uint32_t(IMM_R);
      pc += 6;
      if (!LIVE(a, 4)) FAULT(kFaultProgram);
      uint32_t v = Ld32(mem, a);
      St32(mem, a, v + step);
      r[d] = int32_t(v);
      NEXT;
    }
    case 41:
    op_41:
      INCDEC(uint8_t, 1, 1, true);
      NEXT;
    case 42:
    op_42:
      INCDEC(uint8_t, 1, 1, false);
      NEXT;
    case 43:
    op_43:
      INCDEC(uint8_t, 1, -1, true);
      NEXT;
    case 44:
    op_44:
      INCDEC(uint8_t, 1, -1, false);
      NEXT;
    case 45:
    op_45:
      INCDEC(uint16_t, 2, 1, true);
      NEXT;
    case 46:
    op_46:
      INCDEC(uint16_t, 2, 1, false);
      NEXT;
    case 47:
    op_47:
      INCDEC(uint16_t, 2, -1, true);
      NEXT;
    case 48:
    op_48:
      INCDEC(uint16_t, 2, -1, false);
      NEXT;
    case 49:
    op_49:
      pc += 5;
      ZERO_TEST(IMM, 1, uint8_t);
      NEXT;
    case 50:
    op_50:
      pc += 5;
      ZERO_TEST(IMM, 2, uint16_t);
      NEXT;
    case 51:
    op_51:
      pc += 5;
      ZERO_TEST(IMM, 4, uint32_t);
      NEXT;
    case 52:
    op_52:
      pc += 5;
      ZERO_TEST(uint32_t(r[6]) + uint32_t(IMM), 1, uint8_t);
      NEXT;
    case 53:
    op_53:
      pc += 5;
      ZERO_TEST(uint32_t(r[6]) + uint32_t(IMM), 2, uint16_t);
      NEXT;
    case 54:
    op_54:
      pc += 5;
      ZERO_TEST(uint32_t(r[6]) + uint32_t(IMM), 4, uint32_t);
      NEXT;
    case 55:
    op_55:
      COMPARE(r[REG_D], r[REG_S]);
      pc += 2;
      NEXT;
    case 56:
    op_56:
      COMPARE(r[REG_D], IMM_R);
      pc += 6;
      NEXT;
    case 57:
    op_57:  // set
      r[REG_D] = r[REG_S] == 0;
      pc += 2;
      NEXT;
    case 58:
    op_58:
      r[REG_D] = int32_t(uint32_t(r[REG_D]) + uint32_t(r[REG_S]));
      pc += 2;
      NEXT;
    case 59:
    op_59:
      r[REG_D] = int32_t(uint32_t(r[REG_D]) + uint32_t(IMM_R));
      pc += 6;
      NEXT;
    case 60:
    op_60 : {
      int d = REG_D;
      int32_t s = r[REG_S];
      COMPARE(r[d], s);
      r[d] = int32_t(uint32_t(r[d]) - uint32_t(s));
      pc += 2;
      NEXT;
    }
    case 61:
    op_61 : {
      int d = REG_D;
      int32_t s = IMM_R;
      COMPARE(r[d], s);
      r[d] = int32_t(uint32_t(r[d]) - uint32_t(s));
      pc += 6;
      NEXT;
    }
    case 62:
    op_62:
      r[REG_D] = int32_t(uint32_t(r[REG_D]) * uint32_t(r[REG_S]));
      pc += 2;
      NEXT;
    case 63:
    op_63 : {  // div: the one quotient that does not fit gives the dividend
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
    case 64:
    op_64 : {  // mod: x % -1 is 0 for every x, the most negative included
      int d = REG_D;
      int32_t s = r[REG_S];
      pc += 2;
      if (s == 0) FAULT(kFaultDivide);
      r[d] = s == -1 ? 0 : r[d] % s;
      NEXT;
    }
    case 65:
    op_65:
      r[REG_D] = int32_t(uint32_t(r[REG_D]) << (r[REG_S] & 31));
      pc += 2;
      NEXT;
    case 66:
    op_66:
      r[REG_D] = int32_t(uint32_t(r[REG_D]) >> (r[REG_S] & 31));
      pc += 2;
      NEXT;
    case 67:
    op_67:
      r[REG_D] = r[REG_D] >> (r[REG_S] & 31);
      pc += 2;
      NEXT;
    case 68:
    op_68:
      r[REG_D] = int32_t(0u - uint32_t(r[REG_S]));
      pc += 2;
      NEXT;
    case 69:
    op_69:
      r[REG_D] = ~r[REG_S];
      pc += 2;
      NEXT;
    case 70:
    op_70:
      r[REG_D] &= r[REG_S];
      pc += 2;
      NEXT;
    case 71:
    op_71:
      r[REG_D] |= r[REG_S];
      pc += 2;
      NEXT;
    case 72:
    op_72:
      r[REG_D] ^= r[REG_S];
      pc += 2;
      NEXT;
    case 73:
    op_73:
      pc = uint32_t(IMM);
      NEXT;
    case 74:
    op_74:
      BRANCH(eq);
      NEXT;
    case 75:
    op_75:
      BRANCH(!eq);
      NEXT;
    case 76:
    op_76:
      BRANCH(!lt && !eq);
      NEXT;
    case 77:
    op_77:
      BRANCH(!lt || eq);
      NEXT;
    case 78:
    op_78:
      BRANCH(lt && !eq);
      NEXT;
    case 79:
    op_79:
      BRANCH(lt || eq);
      NEXT;
    case 80:
    op_80:
      BRANCH(!ltu && !eq);
      NEXT;
    case 81:
    op_81:
      BRANCH(!ltu || eq);
      NEXT;
    case 82:
    op_82:
      BRANCH(ltu && !eq);
      NEXT;
    case 83:
    op_83:
      BRANCH(ltu || eq);
      NEXT;
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
  return kNoFault;

#undef LIVE
#undef LIVE_BLOCK
#undef LIVE_FRAME
#undef FAULT
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
#undef ZERO_TEST
#undef COMPARE
#undef INCDEC
#undef BRANCH
}

#pragma GCC diagnostic pop

template int RunSliceVariant<true, true>(MachineContext*);
template int RunSliceVariant<true, false>(MachineContext*);
template int RunSliceVariant<false, true>(MachineContext*);
template int RunSliceVariant<false, false>(MachineContext*);

int RunSlice(MachineContext* context) { return RunSliceVariant<true, true>(context); }

}  // namespace qavz
