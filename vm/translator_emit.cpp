// The translator's code generator: each block of an image's code becomes
// host code, one template per instruction.
//
// Host registers while translated code runs:
//   r8d-r15d  r0-r7          rbx  arena base       rbp  RunState
//   esi       budget         rdi  page map         rax, rcx, rdx  scratch
// Every template takes only the ordinary path of its instruction and
// checks first, so a check that fails leaves at the instruction with the
// machine exactly as before it (a "bail"): the interpreter runs it. Within a
// block, registers known to hold a constant or r6 plus a constant fold into
// the code, and frame accesses share one check of the frame window.
#include <asmjit/x86.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/executable_memory.h"
#include "vm/arena.h"
#include "vm/interpreter.h"
#include "vm/opcodes.h"
#include "vm/translator_internal.h"

namespace qavz::jit {

namespace {

std::atomic<uint32_t> gPageShift{Arena::kPageShift};

using namespace asmjit;
using x86::CondCode;

struct Insn {
  uint32_t off;  // from the image base
  uint8_t op, len, d, s;
  int32_t imm;
};

// What a register is known to hold within a block.
struct Fact {
  enum Kind : uint8_t { kUnknown, kConst, kFrame } kind = kUnknown;
  int64_t value = 0;  // the constant, or the offset from r6
};

// A memory access as the translator sees it.
struct Access {
  enum Kind : uint8_t { kNone, kFrame, kConst, kReg } kind = kNone;
  int64_t value = 0;  // frame offset or constant address
  int reg = 0;        // address register for kReg
  uint8_t width = 0;
  bool write = false;
};

bool Op(const Insn& in, Opcode op) { return in.op == uint8_t(op); }
bool IsJcc(uint8_t op) { return op >= uint8_t(Opcode::kJe) && op <= uint8_t(Opcode::kJbe); }
bool EndsBlock(uint8_t op) {
  switch (Opcode(op)) {
    case Opcode::kTrap:
    case Opcode::kCall:
    case Opcode::kCallReg:
    case Opcode::kRet:
    case Opcode::kJmp:
      return true;
    default:
      return op >= kOpcodeCount || IsJcc(op);
  }
}

// The instruction at code offset o, or false when it would run past `size`.
bool DecodeAt(const uint8_t* code, uint32_t o, uint32_t size, Insn& in) {
  uint8_t op = code[o];
  uint8_t len = op < kOpcodeCount ? kOpcodes[op].length : 1;
  if (o + len > size) return false;
  in = Insn{o, op, len, 0, 0, 0};
  if (len == 2 || len == 6) in.d = code[o + 1] & 7, in.s = (code[o + 1] >> 4) & 7;
  if (len == 6) std::memcpy(&in.imm, code + o + 2, 4);
  if (len == 5) std::memcpy(&in.imm, code + o + 1, 4);
  if (len == 3) in.imm = code[o + 1] | code[o + 2] << 8;
  return true;
}

bool TakesTarget(const Insn& in) {
  return Op(in, Opcode::kCall) || Op(in, Opcode::kJmp) || IsJcc(in.op) || Op(in, Opcode::kLoadAddr);
}

// The registers an instruction writes (a bit per register).
unsigned Writes(const Insn& in) {
  uint8_t op = in.op;
  unsigned d = 1u << in.d;
  switch (Opcode(op)) {
    case Opcode::kXchg:
      return d | (1u << in.s);
    case Opcode::kEnter:
      return 0xC0;  // r6, r7
    case Opcode::kLeave:
      return 0xFE;
    case Opcode::kPush:
    case Opcode::kPushImm:
    case Opcode::kCall:
    case Opcode::kCallReg:
    case Opcode::kRet:
      return 0x80;
    case Opcode::kPop:
      return d | 0x80;
    default:
      break;
  }
  if (op >= uint8_t(Opcode::kXchg) && op <= uint8_t(Opcode::kLoad32Ind)) return d;
  if (op >= uint8_t(Opcode::kPreStep) && op <= uint8_t(Opcode::kPostDec16)) return d;
  if (op >= uint8_t(Opcode::kSet) && op <= uint8_t(Opcode::kXor) && op != uint8_t(Opcode::kCmp) &&
      op != uint8_t(Opcode::kCmpImm))
    return d;
  return 0;
}

int32_t Fold(uint8_t op, int32_t x, int32_t y, bool& ok) {
  uint32_t a = uint32_t(x), b = uint32_t(y);
  ok = true;
  switch (Opcode(op)) {
    case Opcode::kAdd:
      return int32_t(a + b);
    case Opcode::kSub:
      return int32_t(a - b);
    case Opcode::kMul:
      return int32_t(a * b);
    case Opcode::kShl:
      return int32_t(a << (b & 31));
    case Opcode::kShr:
      return int32_t(a >> (b & 31));
    case Opcode::kSar:
      return x >> (b & 31);
    case Opcode::kAnd:
      return int32_t(a & b);
    case Opcode::kOr:
      return int32_t(a | b);
    case Opcode::kXor:
      return int32_t(a ^ b);
    default:
      ok = false;
      return 0;
  }
}

// The destination's fact after `in` (xchg aside), given the facts before.
Fact Result(const Fact* f, const Insn& in) {
  const Fact& d = f[in.d];
  const Fact& s = f[in.s];
  auto frame = [](int64_t k) { return k < INT32_MIN || k > INT32_MAX ? Fact{} : Fact{Fact::kFrame, k}; };
  switch (Opcode(in.op)) {
    case Opcode::kMove:
      return s;
    case Opcode::kLoadImm:
    case Opcode::kLoadAddr:
      return {Fact::kConst, in.imm};
    case Opcode::kLea:
      return {Fact::kFrame, in.imm};
    case Opcode::kAdd:
    case Opcode::kAddImm:
    case Opcode::kSub:
    case Opcode::kSubImm: {
      bool imm = Op(in, Opcode::kAddImm) || Op(in, Opcode::kSubImm);
      bool add = Op(in, Opcode::kAdd) || Op(in, Opcode::kAddImm);
      Fact y = imm ? Fact{Fact::kConst, in.imm} : s;
      if (y.kind != Fact::kConst)
        return add && d.kind == Fact::kConst && y.kind == Fact::kFrame ? frame(y.value + int32_t(d.value))
                                                                       : Fact{};
      int32_t c = int32_t(y.value);
      if (d.kind == Fact::kConst)
        return {Fact::kConst,
                add ? int32_t(uint32_t(d.value) + uint32_t(c)) : int32_t(uint32_t(d.value) - uint32_t(c))};
      if (d.kind == Fact::kFrame) return frame(d.value + (add ? int64_t(c) : -int64_t(c)));
      return {};
    }
    default:
      if (in.op >= uint8_t(Opcode::kMul) && in.op <= uint8_t(Opcode::kXor) && d.kind == Fact::kConst &&
          s.kind == Fact::kConst) {
        bool ok;
        int32_t v = Fold(in.op, int32_t(d.value), int32_t(s.value), ok);
        if (ok) return {Fact::kConst, v};
      }
      return {};
  }
}

// The facts after `in`, given those before.
void Apply(Fact* f, const Insn& in) {
  unsigned w = Writes(in);
  if (Op(in, Opcode::kXchg)) {
    std::swap(f[in.d], f[in.s]);
  } else {
    Fact nd = Result(f, in);
    for (int r = 0; r < 8; ++r)
      if ((w >> r) & 1) f[r] = {};
    if ((w >> in.d) & 1) f[in.d] = nd;
  }
  if (w & 0x40) {  // r6 moved: what was relative to it is lost
    for (int r = 0; r < 8; ++r)
      if (f[r].kind == Fact::kFrame) f[r] = {};
    f[6] = {Fact::kFrame, 0};
  }
}

// The memory access `in` makes, with the facts before it.
Access AccessOf(const Fact* f, const Insn& in) {
  Access a;
  auto viaReg = [&](int reg, uint8_t width, bool write) {
    a.width = width, a.write = write, a.reg = reg;
    if (f[reg].kind == Fact::kFrame)
      a.kind = Access::kFrame, a.value = f[reg].value;
    else if (f[reg].kind == Fact::kConst)
      a.kind = Access::kConst, a.value = uint32_t(f[reg].value);
    else
      a.kind = Access::kReg;
  };
  auto fixed = [&](Access::Kind kind, uint8_t width, bool write) {
    a.kind = kind, a.width = width, a.write = write;
    a.value = kind == Access::kConst ? int64_t(uint32_t(in.imm)) : int64_t(in.imm);
  };
  static constexpr uint8_t kW5[5] = {1, 1, 2, 2, 4};  // widths of the five-load groups
  static constexpr uint8_t kW3[3] = {1, 2, 4};
  uint8_t op = in.op;
  if (op >= 6 && op <= 10) fixed(Access::kConst, kW5[op - 6], false);
  if (op >= 12 && op <= 16) fixed(Access::kFrame, kW5[op - 12], false);
  if (op >= 17 && op <= 21) viaReg(in.s, kW5[op - 17], false);
  if (op >= 22 && op <= 24) fixed(Access::kConst, kW3[op - 22], true);
  if (op >= 25 && op <= 27) fixed(Access::kFrame, kW3[op - 25], true);
  if (op >= 28 && op <= 30) viaReg(in.d, kW3[op - 28], true);
  if (op == 39 || op == 40) viaReg(in.s, 4, true);
  if (op >= 41 && op <= 48) viaReg(in.s, op <= 44 ? 1 : 2, true);
  if (op >= 49 && op <= 51) fixed(Access::kConst, kW3[op - 49], false);
  if (op >= 52 && op <= 54) fixed(Access::kFrame, kW3[op - 52], false);
  return a;
}

struct Block {
  uint32_t first, count;  // instruction indices
  Label label;
  uint32_t firstPage, lastPage;
};

class ErrorFlag : public ErrorHandler {
 public:
  bool failed = false;
  void handleError(Error, const char*, BaseEmitter*) override { failed = true; }
};

x86::Gpd R(int r) { return x86::gpd(8 + r); }
x86::Gpw W(int r) { return x86::gpw(8 + r); }
x86::GpbLo B(int r) { return x86::gpb_lo(8 + r); }

constexpr int kFlagEq = 0, kFlagLt = 1, kFlagLtu = 2;
x86::Mem FlagMem(int which) { return x86::byte_ptr(x86::rbp, which); }

// Translates the blocks that start in one page of an image's code.
class Emitter {
 public:
  Emitter(Translation& t, const uint8_t* code, uint32_t page)
      : t_(t), code_(code), lo_(page << t.pageShift), hi_(std::min(t.codeSize, (page + 1) << t.pageShift)) {}
  bool Run(std::vector<std::pair<uint32_t, int32_t>>& entries);

 private:
  struct Stub {
    Label label;
    uint32_t pc;
    int32_t adjust;
    uint32_t reason;
  };

  void Decode();
  void FindBlocks();
  void EmitBlock(uint32_t b);
  void EmitInsn(uint32_t i);
  void EmitTail();

  uint32_t Pc(uint32_t i) const { return t_.base + insns_[i].off; }
  // A stub leaving at instruction i with the machine as before it.
  Label Bail(uint32_t i, uint32_t reason = kExitStep) {
    Stub s{a_.newLabel(), Pc(i), int32_t(blockEnd_ - i), reason};
    stubs_.push_back(s);
    return s.label;
  }
  // A stub leaving after this block's instructions at `pc`.
  Label ExitAt(uint32_t pc, uint32_t reason) {
    Stub s{a_.newLabel(), pc, 0, reason};
    stubs_.push_back(s);
    return s.label;
  }
  // The block of this page holding the instruction at image offset `off`,
  // or -1.
  int BlockAt(uint32_t off) const {
    if (off < lo_ || off >= hi_ || insnAt_[off - lo_] < 0) return -1;
    return blockOf_[insnAt_[off - lo_]];
  }
  // Whether a block of the image, in any page, starts at `off`.
  bool ImageBlockStart(uint32_t off) const {
    return off < t_.codeSize && (t_.marks[off] & (kMarkStart | kMarkLeader)) == (kMarkStart | kMarkLeader);
  }
  void JumpTo(uint32_t targetPc, CondCode cc, bool always);
  void Transfer(uint32_t targetPc);

  x86::Mem Memory(uint32_t i, const Access& acc, uint32_t size);
  void FrameCheck(uint32_t i);
  void Push(uint32_t i, const x86::Gpd* reg, int32_t imm);
  void ForeignCheck(uint32_t i);
  void Flags(bool eqOnly);
  void Branch(uint32_t i, bool fused);
  void Arith(uint32_t i);
  void DivMod(uint32_t i, bool mod);
  void Dispatch(uint32_t pcReg);
  void Trap(uint32_t i, uint32_t next);

  Translation& t_;
  const uint8_t* code_;
  uint32_t lo_, hi_;  // the page's code offsets
  std::vector<Insn> insns_;
  std::vector<int32_t> insnAt_;  // per code byte of the page: instruction index or -1
  std::vector<Block> blocks_;
  std::vector<int32_t> blockOf_;  // per instruction
  CodeHolder holder_;
  ErrorFlag errors_;
  x86::Assembler a_;
  Label exit_, leave_, dynJump_, dispatch_;
  std::vector<Stub> stubs_;
  // The block being emitted.
  uint32_t block_ = 0, blockEnd_ = 0;
  Fact facts_[8];
  std::vector<Access> access_;  // per instruction of the block
  bool windowChecked_ = false;
  int64_t windowLo_ = 0, windowHi_ = 0;
  bool fusedNext_ = false;  // the host flags hold the last compare
  struct SlowStore {
    Label slow, resume, bail;
    uint32_t width;
  };
  std::vector<SlowStore> slowPaths_;
};

// The page's instructions, from the first that starts in it.
void Emitter::Decode() {
  insnAt_.assign(hi_ - lo_, -1);
  uint32_t o = lo_;
  while (o < hi_ && !(t_.marks[o] & kMarkStart)) ++o;
  Insn in;
  while (o < hi_ && DecodeAt(code_, o, t_.codeSize, in)) {
    insnAt_[o - lo_] = int32_t(insns_.size());
    insns_.push_back(in);
    o += in.len;
  }
}

void Emitter::FindBlocks() {
  size_t n = insns_.size();
  blockOf_.assign(n, -1);
  for (uint32_t i = 0; i < n;) {
    Block b{i, 0, a_.newLabel(), 0, 0};
    uint32_t j = i;
    do {
      blockOf_[j] = int32_t(blocks_.size());
      ++j;
    } while (j < n && !(t_.marks[insns_[j].off] & kMarkLeader) && !EndsBlock(insns_[j - 1].op));
    // Every instruction starts in the page (the last may reach into the
    // next): a write to either page drops the block's entry.
    b.count = j - i;
    b.firstPage = insns_[i].off >> t_.pageShift;
    const Insn& last = insns_[j - 1];
    b.lastPage = (last.off + last.len - 1) >> t_.pageShift;
    blocks_.push_back(b);
    i = j;
  }
}

// Continues at `targetPc` outside this block: straight into a block of
// this page, through the entries into another page's, otherwise through
// the driver.
void Emitter::Transfer(uint32_t targetPc) {
  uint32_t off = targetPc - t_.base;
  int b = BlockAt(off);
  if (b < 0 || insns_[blocks_[b].first].off != off) {
    if (ImageBlockStart(off)) {
      a_.mov(x86::eax, targetPc);
      a_.jmp(dispatch_);
    } else {
      a_.jmp(ExitAt(targetPc, kExitJump));
    }
    return;
  }
  const Block& from = blocks_[block_];
  const Block& to = blocks_[b];
  for (uint32_t p = to.firstPage; p <= to.lastPage; ++p) {
    if (p >= from.firstPage && p <= from.lastPage) continue;
    a_.mov(x86::rax, Imm(uint64_t(uintptr_t(&t_.pageState[p]))));
    a_.cmp(x86::byte_ptr(x86::rax), kPageDropped);
    a_.je(ExitAt(targetPc, kExitJump));
  }
  a_.jmp(to.label);
}

// A jump to `targetPc`, conditional on `cc` unless `always`.
void Emitter::JumpTo(uint32_t targetPc, CondCode cc, bool always) {
  int b = BlockAt(targetPc - t_.base);
  bool direct = b >= 0 && insns_[blocks_[b].first].off == targetPc - t_.base;
  if (direct) {
    const Block& from = blocks_[block_];
    const Block& to = blocks_[b];
    direct = to.firstPage >= from.firstPage && to.lastPage <= from.lastPage;
  }
  if (direct) {
    if (always)
      a_.jmp(blocks_[b].label);
    else
      a_.j(cc, blocks_[b].label);
    return;
  }
  if (always) {
    Transfer(targetPc);
    return;
  }
  Label skip = a_.newLabel();
  a_.j(x86::negateCond(cc), skip);
  Transfer(targetPc);
  a_.bind(skip);
}

// Checks, once per stretch of unchanged r6, that every frame access of the
// stretch lies in the stack block.
void Emitter::FrameCheck(uint32_t i) {
  const Access& acc = access_[i];
  int64_t lo = acc.value, hi = acc.value + acc.width;
  if (windowChecked_ && lo >= windowLo_ && hi <= windowHi_) return;
  for (uint32_t j = i; j < blockEnd_; ++j) {
    const Access& x = access_[j];
    if (x.kind == Access::kFrame) {
      lo = std::min<int64_t>(lo, x.value);
      hi = std::max<int64_t>(hi, x.value + x.width);
    }
    if (Writes(insns_[j]) & 0x40) break;
  }
  if (lo < INT32_MIN / 2 || hi > INT32_MAX / 2) {
    a_.jmp(Bail(i));
    windowChecked_ = false;
    return;
  }
  Label bail = Bail(i);
  a_.lea(x86::rax, x86::ptr(x86::r14, int32_t(lo)));
  a_.sub(x86::rax, x86::qword_ptr(x86::rbp, 16));
  a_.js(bail);
  a_.add(x86::rax, int32_t(hi - lo));
  a_.cmp(x86::rax, x86::qword_ptr(x86::rbp, 24));
  a_.ja(bail);
  windowChecked_ = true, windowLo_ = lo, windowHi_ = hi;
}

// The operand for instruction i's access; checks go first. A register
// address is left in rax.
x86::Mem Emitter::Memory(uint32_t i, const Access& acc, uint32_t size) {
  if (acc.kind == Access::kFrame) {
    FrameCheck(i);
    return x86::ptr(x86::rbx, x86::r14, 0, int32_t(acc.value), size);
  }
  uint32_t w = acc.width;
  if (acc.kind == Access::kConst) {
    uint64_t addr = uint64_t(acc.value), last = addr + w - 1;
    if (last >= Arena::kHighest) {
      a_.jmp(Bail(i));
      return x86::ptr(x86::rbx, 0, size);
    }
    bool inImage = addr >= t_.base && last < uint64_t(t_.base) + t_.programSize;
    bool intoCode = addr < uint64_t(t_.base) + t_.codeSize && last >= t_.base;
    if (acc.write && intoCode) {
      a_.jmp(Bail(i));
    } else if (!inImage) {
      Label bail = Bail(i);
      for (uint64_t p = addr >> Arena::kPageShift; p <= last >> Arena::kPageShift; ++p) {
        a_.cmp(x86::byte_ptr(x86::rdi, int32_t(p)), acc.write ? 1 : 0);
        a_.j(acc.write ? CondCode::kNE : CondCode::kE, bail);
      }
    }
    return x86::ptr(x86::rbx, int32_t(addr), size);
  }
  // Through a register: the page map, both ends.
  Label bail = Bail(i);
  a_.mov(x86::eax, R(acc.reg));
  Label slow = acc.write ? a_.newLabel() : bail, resume = a_.newLabel();
  a_.mov(x86::ecx, x86::eax);
  a_.shr(x86::ecx, Arena::kPageShift);
  a_.cmp(x86::byte_ptr(x86::rdi, x86::rcx), acc.write ? 1 : 0);
  a_.j(acc.write ? CondCode::kNE : CondCode::kE, slow);
  if (w > 1) {
    a_.lea(x86::ecx, x86::ptr(x86::rax, int32_t(w - 1)));
    a_.shr(x86::ecx, Arena::kPageShift);
    a_.cmp(x86::byte_ptr(x86::rdi, x86::rcx), acc.write ? 1 : 0);
    a_.j(acc.write ? CondCode::kNE : CondCode::kE, slow);
  }
  if (acc.write) {
    // A page of this image's code may also hold its data: a store past the
    // code goes ahead, any other goes to the interpreter.
    slowPaths_.push_back({slow, resume, bail, w});
  }
  a_.bind(resume);
  return x86::ptr(x86::rbx, x86::rax, 0, 0, size);
}

// Code running for a context of another image: its calls are checked
// against what that image's linker bound, so the interpreter makes them.
void Emitter::ForeignCheck(uint32_t i) {
  a_.cmp(x86::byte_ptr(x86::rbp, 3), 0);
  a_.jne(Bail(i));
}

// Pushes a register or, with reg null, imm.
void Emitter::Push(uint32_t i, const x86::Gpd* reg, int32_t imm) {
  Label bail = Bail(i);
  a_.lea(x86::eax, x86::ptr(x86::r15, -4));
  a_.mov(x86::ecx, x86::eax);
  a_.sub(x86::ecx, x86::dword_ptr(x86::rbp, 32));
  a_.cmp(x86::ecx, x86::dword_ptr(x86::rbp, 36));
  a_.jae(bail);
  if (reg)
    a_.mov(x86::dword_ptr(x86::rbx, x86::rax), *reg);
  else
    a_.mov(x86::dword_ptr(x86::rbx, x86::rax), imm);
  a_.mov(x86::r15d, x86::eax);
}

// The three flags of the compare just made, into the run's record.
void Emitter::Flags(bool eqOnly) {
  a_.set(CondCode::kE, FlagMem(kFlagEq));
  if (eqOnly) return;
  a_.set(CondCode::kL, FlagMem(kFlagLt));
  a_.set(CondCode::kB, FlagMem(kFlagLtu));
}

// A conditional jump; `fused` when the host flags still hold the compare
// that set the machine's flags (all three, or EQ for je/jne after a zero
// test).
void Emitter::Branch(uint32_t i, bool fused) {
  const Insn& in = insns_[i];
  uint32_t target = uint32_t(in.imm);
  static constexpr CondCode kHost[] = {CondCode::kE, CondCode::kNE, CondCode::kG, CondCode::kGE,
                                       CondCode::kL, CondCode::kLE, CondCode::kA, CondCode::kAE,
                                       CondCode::kB, CondCode::kBE};
  int k = in.op - uint8_t(Opcode::kJe);
  if (fused) {
    JumpTo(target, kHost[k], false);
    return;
  }
  // From the stored flags, each non-zero byte counting as set.
  Opcode op = Opcode(in.op);
  int other = (op == Opcode::kJa || op == Opcode::kJae || op == Opcode::kJb || op == Opcode::kJbe) ? kFlagLtu
                                                                                                   : kFlagLt;
  switch (op) {
    case Opcode::kJe:
    case Opcode::kJne:
      a_.cmp(FlagMem(kFlagEq), 0);
      JumpTo(target, op == Opcode::kJe ? CondCode::kNE : CondCode::kE, false);
      return;
    case Opcode::kJg:
    case Opcode::kJa:  // neither flag
      a_.mov(x86::al, FlagMem(other));
      a_.or_(x86::al, FlagMem(kFlagEq));
      JumpTo(target, CondCode::kE, false);
      return;
    case Opcode::kJle:
    case Opcode::kJbe:  // either flag
      a_.mov(x86::al, FlagMem(other));
      a_.or_(x86::al, FlagMem(kFlagEq));
      JumpTo(target, CondCode::kNE, false);
      return;
    case Opcode::kJge:
    case Opcode::kJae:  // the flag clear, or EQ
    case Opcode::kJl:
    case Opcode::kJb: {  // the flag set and EQ clear
      bool ge = op == Opcode::kJge || op == Opcode::kJae;
      a_.cmp(FlagMem(other), 0);
      a_.sete(x86::al);
      a_.cmp(FlagMem(kFlagEq), 0);
      a_.setne(x86::cl);
      a_.or_(x86::al, x86::cl);  // al = !flag || eq
      JumpTo(target, ge ? CondCode::kNE : CondCode::kE, false);
      return;
    }
    default:
      return;
  }
}

void Emitter::DivMod(uint32_t i, bool mod) {
  const Insn& in = insns_[i];
  const Fact& s = facts_[in.s];
  if (s.kind == Fact::kConst && int32_t(s.value) == 0) {
    a_.jmp(Bail(i));
    return;
  }
  Label done = a_.newLabel(), general = a_.newLabel();
  if (s.kind == Fact::kConst) {
    a_.mov(x86::ecx, int32_t(s.value));
  } else {
    a_.mov(x86::ecx, R(in.s));
    a_.test(x86::ecx, x86::ecx);
    a_.jz(Bail(i));
  }
  // x / -1 is -x, and x % -1 is 0, the most negative x included.
  a_.cmp(x86::ecx, -1);
  a_.jne(general);
  if (mod)
    a_.mov(R(in.d), 0);
  else
    a_.neg(R(in.d));
  a_.jmp(done);
  a_.bind(general);
  a_.mov(x86::eax, R(in.d));
  a_.cdq();
  a_.idiv(x86::ecx);
  a_.mov(R(in.d), mod ? x86::edx : x86::eax);
  a_.bind(done);
}

// The register-to-register and immediate arithmetic, constants folded.
void Emitter::Arith(uint32_t i) {
  const Insn& in = insns_[i];
  Opcode op = Opcode(in.op);
  bool immForm = op == Opcode::kAddImm || op == Opcode::kSubImm || op == Opcode::kCmpImm;
  bool constS = immForm || facts_[in.s].kind == Fact::kConst;
  int32_t c = immForm ? in.imm : int32_t(facts_[in.s].value);
  x86::Gpd d = R(in.d), s = R(in.s);
  switch (op) {
    case Opcode::kCmp:
    case Opcode::kCmpImm:
      if (constS)
        a_.cmp(d, c);
      else
        a_.cmp(d, s);
      Flags(false);
      return;
    case Opcode::kAdd:
    case Opcode::kAddImm:
      if (constS)
        a_.add(d, c);
      else
        a_.add(d, s);
      return;
    case Opcode::kSub:
    case Opcode::kSubImm:
      if (constS)
        a_.sub(d, c);
      else
        a_.sub(d, s);
      Flags(false);
      return;
    case Opcode::kMul:
      if (constS)
        a_.imul(d, d, c);
      else
        a_.imul(d, s);
      return;
    case Opcode::kShl:
    case Opcode::kShr:
    case Opcode::kSar: {
      InstId id = op == Opcode::kShl   ? x86::Inst::kIdShl
                  : op == Opcode::kShr ? x86::Inst::kIdShr
                                       : x86::Inst::kIdSar;
      auto shift = [&](const Operand& count) { a_.emit(id, d, count); };
      if (constS) {
        if (c & 31) shift(Imm(c & 31));
      } else {
        a_.mov(x86::ecx, s);
        shift(x86::cl);
      }
      return;
    }
    case Opcode::kAnd:
    case Opcode::kOr:
    case Opcode::kXor: {
      InstId id = op == Opcode::kAnd  ? x86::Inst::kIdAnd
                  : op == Opcode::kOr ? x86::Inst::kIdOr
                                      : x86::Inst::kIdXor;
      auto bitwise = [&](const Operand& y) { a_.emit(id, d, y); };
      if (constS)
        bitwise(Imm(c));
      else
        bitwise(s);
      return;
    }
    default:
      return;
  }
}

// Continues at the machine address in eax: straight into its block when
// this image has one there, otherwise through the driver.
void Emitter::Dispatch(uint32_t) {
  a_.mov(x86::ecx, x86::eax);
  a_.sub(x86::ecx, int32_t(t_.base));
  a_.cmp(x86::ecx, int32_t(t_.codeSize));
  a_.jae(dynJump_);
  a_.mov(x86::rdx, Imm(uint64_t(uintptr_t(t_.entries.get()))));
  a_.mov(x86::edx, x86::dword_ptr(x86::rdx, x86::rcx, 2));
  a_.test(x86::edx, x86::edx);
  a_.jle(dynJump_);
  a_.mov(x86::rcx, Imm(uint64_t(uintptr_t(t_.code))));
  a_.add(x86::rdx, x86::rcx);
  a_.jmp(x86::rdx);
}

// `trap` as the interpreter makes it: the context written (pc past the
// index), the handler called, and the slice over whatever the handler did.
void Emitter::Trap(uint32_t i, uint32_t next) {
  const Insn& in = insns_[i];
  a_.mov(x86::rax, x86::qword_ptr(x86::rbp, 48));
  for (int r = 0; r < 8; ++r)
    a_.mov(x86::dword_ptr(x86::rax, int32_t(offsetof(MachineContext, r) + 4 * r)), R(r));
  a_.mov(x86::ecx, x86::dword_ptr(x86::rbp, 0));  // eq, lt, ltu
  a_.mov(x86::byte_ptr(x86::rax, offsetof(MachineContext, eq)), x86::cl);
  a_.mov(x86::byte_ptr(x86::rax, offsetof(MachineContext, lt)), x86::ch);
  a_.shr(x86::ecx, 16);
  a_.mov(x86::byte_ptr(x86::rax, offsetof(MachineContext, ltu)), x86::cl);
  a_.mov(x86::dword_ptr(x86::rax, offsetof(MachineContext, pc)), next);
  a_.mov(x86::dword_ptr(x86::rbp, 12), x86::esi);
  a_.mov(x86::dword_ptr(x86::rbp, 4), next);
  a_.mov(x86::dword_ptr(x86::rbp, 8), uint32_t(kExitTrap));
  a_.mov(x86::edi, uint32_t(uint16_t(in.imm)));
  a_.mov(x86::rsi, x86::rax);
  a_.mov(x86::rax, Imm(uint64_t(uintptr_t(&TranslatedTrap))));
  a_.sub(x86::rsp, 8);  // the call wants rsp 16-aligned
  a_.call(x86::rax);
  a_.add(x86::rsp, 8);
  a_.jmp(leave_);
}

void Emitter::EmitInsn(uint32_t i) {
  const Insn& in = insns_[i];
  Opcode op = Opcode(in.op);
  bool fused = fusedNext_;
  fusedNext_ = false;
  uint32_t next = Pc(i) + in.len;
  if (in.op >= kOpcodeCount) {
    a_.jmp(Bail(i));
    return;
  }
  const Access& acc = access_[i];
  switch (op) {
    case Opcode::kNop:
      return;
    case Opcode::kTrap:
      Trap(i, next);
      return;
    case Opcode::kXchg:
      if (in.d != in.s) a_.xchg(R(in.d), R(in.s));
      return;
    case Opcode::kMove:
      if (in.d != in.s) a_.mov(R(in.d), R(in.s));
      return;
    case Opcode::kLoadImm:
    case Opcode::kLoadAddr:
      a_.mov(R(in.d), in.imm);
      return;
    case Opcode::kLea:
      a_.lea(R(in.d), x86::ptr(x86::r14, in.imm));
      return;
    case Opcode::kLoadU8Abs:
    case Opcode::kLoadU8Frame:
    case Opcode::kLoadU8Ind:
      a_.movzx(R(in.d), Memory(i, acc, 1));
      return;
    case Opcode::kLoadS8Abs:
    case Opcode::kLoadS8Frame:
    case Opcode::kLoadS8Ind:
      a_.movsx(R(in.d), Memory(i, acc, 1));
      return;
    case Opcode::kLoadU16Abs:
    case Opcode::kLoadU16Frame:
    case Opcode::kLoadU16Ind:
      a_.movzx(R(in.d), Memory(i, acc, 2));
      return;
    case Opcode::kLoadS16Abs:
    case Opcode::kLoadS16Frame:
    case Opcode::kLoadS16Ind:
      a_.movsx(R(in.d), Memory(i, acc, 2));
      return;
    case Opcode::kLoad32Abs:
    case Opcode::kLoad32Frame:
    case Opcode::kLoad32Ind:
      a_.mov(R(in.d), Memory(i, acc, 4));
      return;
    case Opcode::kStore8Abs:
    case Opcode::kStore8Frame:
    case Opcode::kStore8Ind:
      a_.mov(Memory(i, acc, 1), B(in.s));
      return;
    case Opcode::kStore16Abs:
    case Opcode::kStore16Frame:
    case Opcode::kStore16Ind:
      a_.mov(Memory(i, acc, 2), W(in.s));
      return;
    case Opcode::kStore32Abs:
    case Opcode::kStore32Frame:
    case Opcode::kStore32Ind:
      a_.mov(Memory(i, acc, 4), R(in.s));
      return;
    case Opcode::kPush: {
      x86::Gpd s = R(in.s);
      Push(i, &s, 0);
      return;
    }
    case Opcode::kPushImm:
      Push(i, nullptr, in.imm);
      return;
    case Opcode::kPop: {
      Label bail = Bail(i);
      a_.mov(x86::eax, x86::r15d);
      a_.sub(x86::eax, x86::dword_ptr(x86::rbp, 32));
      a_.cmp(x86::eax, x86::dword_ptr(x86::rbp, 40));
      a_.jae(bail);
      a_.mov(x86::eax, x86::dword_ptr(x86::rbx, x86::r15));
      a_.add(x86::r15d, 4);
      a_.mov(R(in.d), x86::eax);
      return;
    }
    case Opcode::kEnter:
    case Opcode::kLeave: {
      uint32_t n = uint32_t(in.imm);
      if (n > 0x7FFF0000u) {
        a_.jmp(Bail(i));
        return;
      }
      int32_t frame = int32_t(n) + 24;
      Label bail = Bail(i);
      a_.mov(x86::eax, x86::r15d);
      if (op == Opcode::kEnter) {
        a_.sub(x86::rax, frame);
        a_.sub(x86::rax, x86::qword_ptr(x86::rbp, 16));
        a_.js(bail);
        a_.lea(x86::rcx, x86::ptr(x86::rax, frame));
        a_.cmp(x86::rcx, x86::qword_ptr(x86::rbp, 24));
        a_.ja(bail);
        a_.lea(x86::eax, x86::ptr(x86::r15, -frame));
        for (int r = 1; r <= 6; ++r)
          a_.mov(x86::dword_ptr(x86::rbx, x86::rax, 0, int32_t(n) + 4 * (r - 1)), R(r));
        a_.mov(x86::r15d, x86::eax);
        a_.lea(x86::r14d, x86::ptr(x86::rax, int32_t(n) + 20));
        // The fresh frame [r6 - 20 - N, r6 + 4) is known to be in the stack.
        windowChecked_ = true, windowLo_ = -int64_t(n) - 20, windowHi_ = 4;
      } else {
        a_.sub(x86::rax, x86::qword_ptr(x86::rbp, 16));
        a_.js(bail);
        a_.lea(x86::rcx, x86::ptr(x86::rax, frame));
        a_.cmp(x86::rcx, x86::qword_ptr(x86::rbp, 24));
        a_.jae(bail);
        a_.lea(x86::eax, x86::ptr(x86::r15, int32_t(n)));
        for (int r = 1; r <= 6; ++r) a_.mov(R(r), x86::dword_ptr(x86::rbx, x86::rax, 0, 4 * (r - 1)));
        a_.lea(x86::r15d, x86::ptr(x86::rax, 24));
      }
      return;
    }
    case Opcode::kCall: {
      uint32_t target = uint32_t(in.imm);
      if (!ImageBlockStart(target - t_.base)) {
        a_.jmp(Bail(i));  // into another image: the interpreter's call
        return;
      }
      ForeignCheck(i);
      Push(i, nullptr, int32_t(next));
      JumpTo(target, CondCode::kE, true);
      return;
    }
    case Opcode::kCallReg: {
      Label bail = Bail(i);
      a_.mov(x86::eax, R(in.s));
      a_.sub(x86::eax, int32_t(t_.base));
      a_.cmp(x86::eax, int32_t(t_.codeSize));
      a_.jae(bail);  // 0 and other images' code too
      a_.mov(x86::rdx, Imm(uint64_t(uintptr_t(t_.entries.get()))));
      a_.mov(x86::edx, x86::dword_ptr(x86::rdx, x86::rax, 2));
      a_.test(x86::edx, x86::edx);
      a_.jle(bail);
      ForeignCheck(i);
      Push(i, nullptr, int32_t(next));
      a_.mov(x86::rcx, Imm(uint64_t(uintptr_t(t_.code))));
      a_.add(x86::rdx, x86::rcx);
      a_.jmp(x86::rdx);
      return;
    }
    case Opcode::kRet: {
      Label bail = Bail(i);
      a_.mov(x86::eax, x86::r15d);
      a_.sub(x86::eax, x86::dword_ptr(x86::rbp, 32));
      a_.cmp(x86::eax, x86::dword_ptr(x86::rbp, 40));
      a_.jae(bail);
      a_.mov(x86::eax, x86::dword_ptr(x86::rbx, x86::r15));
      a_.cmp(x86::eax, -1);
      a_.je(bail);  // a thread's function returning: the context ends
      a_.add(x86::r15d, 4);
      Dispatch(0);
      return;
    }
    case Opcode::kPreStep:
    case Opcode::kPostStep: {
      x86::Mem m = Memory(i, acc, 4);
      a_.mov(x86::ecx, m);
      a_.lea(x86::edx, x86::ptr(x86::rcx, in.imm));
      a_.mov(m, x86::edx);
      a_.mov(R(in.d), op == Opcode::kPreStep ? x86::edx : x86::ecx);
      return;
    }
    case Opcode::kPreInc8:
    case Opcode::kPostInc8:
    case Opcode::kPreDec8:
    case Opcode::kPostDec8:
    case Opcode::kPreInc16:
    case Opcode::kPostInc16:
    case Opcode::kPreDec16:
    case Opcode::kPostDec16: {
      int k = in.op - uint8_t(Opcode::kPreInc8);
      bool wide = k >= 4, pre = (k & 1) == 0, inc = (k & 2) == 0;
      x86::Mem m = Memory(i, acc, wide ? 2 : 1);
      a_.movzx(x86::ecx, m);
      a_.lea(x86::edx, x86::ptr(x86::rcx, inc ? 1 : -1));
      if (wide) {
        a_.mov(m, x86::dx);
        if (pre)
          a_.movzx(R(in.d), x86::dx);
        else
          a_.mov(R(in.d), x86::ecx);
      } else {
        a_.mov(m, x86::dl);
        if (pre)
          a_.movzx(R(in.d), x86::dl);
        else
          a_.mov(R(in.d), x86::ecx);
      }
      return;
    }
    case Opcode::kZero8Abs:
    case Opcode::kZero16Abs:
    case Opcode::kZero32Abs:
    case Opcode::kZero8Frame:
    case Opcode::kZero16Frame:
    case Opcode::kZero32Frame:
      a_.cmp(Memory(i, acc, acc.width), 0);
      Flags(true);
      fusedNext_ = i + 1 < blockEnd_ && (Op(insns_[i + 1], Opcode::kJe) || Op(insns_[i + 1], Opcode::kJne));
      return;
    case Opcode::kCmp:
    case Opcode::kCmpImm:
    case Opcode::kSub:
    case Opcode::kSubImm:
      Arith(i);
      fusedNext_ = i + 1 < blockEnd_ && IsJcc(insns_[i + 1].op);
      return;
    case Opcode::kSet:
      a_.xor_(x86::eax, x86::eax);
      a_.test(R(in.s), R(in.s));
      a_.sete(x86::al);
      a_.mov(R(in.d), x86::eax);
      return;
    case Opcode::kDiv:
    case Opcode::kMod:
      DivMod(i, op == Opcode::kMod);
      return;
    case Opcode::kNeg:
    case Opcode::kNot:
      if (in.d != in.s) a_.mov(R(in.d), R(in.s));
      if (op == Opcode::kNeg)
        a_.neg(R(in.d));
      else
        a_.not_(R(in.d));
      return;
    case Opcode::kJmp:
      JumpTo(uint32_t(in.imm), CondCode::kE, true);
      return;
    default:
      if (IsJcc(in.op)) {
        Branch(i, fused);
        return;
      }
      Arith(i);
      return;
  }
}

void Emitter::EmitBlock(uint32_t b) {
  Block& blk = blocks_[b];
  block_ = b;
  blockEnd_ = blk.first + blk.count;
  a_.bind(blk.label);
  // The budget, and StopFlag before a block that ends in a back-edge, call
  // or return; both leave with the block not started.
  a_.sub(x86::esi, int32_t(blk.count));
  a_.jb(ExitAt(Pc(blk.first), kExitBudget));
  stubs_.back().adjust = int32_t(blk.count);
  const Insn& last = insns_[blockEnd_ - 1];
  bool backEdge = (Op(last, Opcode::kJmp) || IsJcc(last.op)) && uint32_t(last.imm) <= Pc(blockEnd_ - 1);
  if (backEdge || Op(last, Opcode::kCall) || Op(last, Opcode::kCallReg) || Op(last, Opcode::kRet)) {
    a_.cmp(x86::dword_ptr(x86::rbx, int32_t(StopFlagAddress())), 0);
    a_.jne(ExitAt(Pc(blk.first), kExitStop));
    stubs_.back().adjust = int32_t(blk.count);
  }
  // The facts and accesses of the block, then the code.
  for (Fact& f : facts_) f = {};
  facts_[6] = {Fact::kFrame, 0};
  if (access_.size() < insns_.size()) access_.resize(insns_.size());
  Fact sim[8];
  std::copy(std::begin(facts_), std::end(facts_), sim);
  for (uint32_t i = blk.first; i < blockEnd_; ++i) {
    access_[i] = AccessOf(sim, insns_[i]);
    Apply(sim, insns_[i]);
  }
  windowChecked_ = false;
  fusedNext_ = false;
  for (uint32_t i = blk.first; i < blockEnd_; ++i) {
    EmitInsn(i);
    if (Writes(insns_[i]) & 0x40 && !Op(insns_[i], Opcode::kEnter)) windowChecked_ = false;
    Apply(facts_, insns_[i]);
  }
  // Falling through into the next block.
  if (!EndsBlock(last.op) || IsJcc(last.op)) {
    uint32_t next = Pc(blockEnd_ - 1) + last.len;
    if (b + 1 < blocks_.size() && Pc(blocks_[b + 1].first) == next) {
      const Block& to = blocks_[b + 1];
      for (uint32_t p = to.firstPage; p <= to.lastPage; ++p) {
        if (p >= blk.firstPage && p <= blk.lastPage) continue;
        a_.mov(x86::rax, Imm(uint64_t(uintptr_t(&t_.pageState[p]))));
        a_.cmp(x86::byte_ptr(x86::rax), kPageDropped);
        a_.je(ExitAt(next, kExitJump));
      }
    } else {
      Transfer(next);
    }
  }
}

// The out-of-line stubs and the page's own exits.
void Emitter::EmitTail() {
  for (const SlowStore& s : slowPaths_) {
    a_.bind(s.slow);
    a_.cmp(x86::eax, int32_t(t_.base + t_.codeSize));
    a_.jb(s.bail);
    a_.cmp(x86::eax, int32_t(t_.base + t_.programSize - s.width));
    a_.ja(s.bail);
    a_.jmp(s.resume);
  }
  for (const Stub& s : stubs_) {
    a_.bind(s.label);
    if (s.adjust) a_.add(x86::esi, s.adjust);
    a_.mov(x86::dword_ptr(x86::rbp, 4), s.pc);
    a_.mov(x86::dword_ptr(x86::rbp, 8), s.reason);
    a_.jmp(exit_);
  }
  a_.bind(dispatch_);
  Dispatch(0);
  a_.bind(dynJump_);
  a_.mov(x86::dword_ptr(x86::rbp, 4), x86::eax);
  a_.mov(x86::dword_ptr(x86::rbp, 8), uint32_t(kExitJump));
  a_.bind(exit_);
  a_.mov(x86::rax, x86::qword_ptr(x86::rbp, 48));
  for (int r = 0; r < 8; ++r) a_.mov(x86::dword_ptr(x86::rax, 32 + 4 * r), R(r));
  a_.mov(x86::dword_ptr(x86::rbp, 12), x86::esi);
  a_.bind(leave_);
  a_.pop(x86::r15);
  a_.pop(x86::r14);
  a_.pop(x86::r13);
  a_.pop(x86::r12);
  a_.pop(x86::rbp);
  a_.pop(x86::rbx);
  a_.ret();
}

bool Emitter::Run(std::vector<std::pair<uint32_t, int32_t>>& entries) {
  Decode();
  if (insns_.empty()) return false;
  holder_.init(Environment::host());
  holder_.setErrorHandler(&errors_);
  holder_.attach(&a_);
  FindBlocks();
  exit_ = a_.newLabel(), leave_ = a_.newLabel(), dynJump_ = a_.newLabel(), dispatch_ = a_.newLabel();
  for (uint32_t b = 0; b < blocks_.size(); ++b) EmitBlock(b);
  EmitTail();
  if (errors_.failed) return false;
  if (holder_.flatten() || holder_.resolveUnresolvedLinks()) return false;
  size_t size = holder_.codeSize();
  size_t mapped = (size + 4095) & ~size_t(4095);
  if (mapped > t_.codeBytes - t_.codeUsed) return false;
  uint8_t* mem = t_.code + t_.codeUsed;
  if (!platform::OpenCodePages(mem, mapped) || holder_.relocateToBase(uint64_t(uintptr_t(mem))) ||
      holder_.copyFlattenedData(mem, size, CopySectionFlags::kPadSectionBuffer) ||
      !platform::SealCodePages(mem, mapped))
    return false;
  t_.codeUsed += mapped;
  // Block starts get their host offsets, other instructions the distance
  // to their block's end.
  int32_t at = int32_t(mem - t_.code);
  for (const Block& blk : blocks_) {
    entries.emplace_back(insns_[blk.first].off, at + int32_t(holder_.labelOffsetFromBase(blk.label)));
    for (uint32_t k = 1; k < blk.count; ++k)
      entries.emplace_back(insns_[blk.first + k].off, -int32_t(blk.count - k));
  }
  return true;
}

// Marks every instruction start, and the starts of blocks: jump and call
// targets, what follows an instruction that ends a block, and the first
// instruction of each page, since each page is translated on its own.
void MarkCode(Translation& t, const uint8_t* code) {
  uint8_t* marks = t.marks.get();
  uint32_t pageEnd = 0;
  Insn in;
  for (uint32_t o = 0; o < t.codeSize && DecodeAt(code, o, t.codeSize, in); o += in.len) {
    uint8_t m = kMarkStart;
    if (o >= pageEnd) {
      m |= kMarkLeader;
      pageEnd = ((o >> t.pageShift) + 1) << t.pageShift;
    }
    marks[o] |= m;
    if (TakesTarget(in) && uint32_t(in.imm) - t.base < t.codeSize)
      marks[uint32_t(in.imm) - t.base] |= kMarkLeader;
    if (EndsBlock(in.op) && o + in.len < t.codeSize) marks[o + in.len] |= kMarkLeader;
  }
}

// The entry, enter(RunState* run, const void* target), in the first page of
// the reservation.
bool EmitEntry(Translation& t) {
  CodeHolder holder;
  ErrorFlag errors;
  holder.init(Environment::host());
  holder.setErrorHandler(&errors);
  x86::Assembler a(&holder);
  a.push(x86::rbx);
  a.push(x86::rbp);
  a.push(x86::r12);
  a.push(x86::r13);
  a.push(x86::r14);
  a.push(x86::r15);
  a.mov(x86::rbp, x86::rdi);
  a.mov(x86::rax, x86::rsi);
  a.mov(x86::rbx, x86::qword_ptr(x86::rbp, 56));
  a.mov(x86::esi, x86::dword_ptr(x86::rbp, 12));
  a.mov(x86::rcx, x86::qword_ptr(x86::rbp, 48));
  for (int r = 0; r < 8; ++r) a.mov(R(r), x86::dword_ptr(x86::rcx, 32 + 4 * r));
  a.mov(x86::rdi, x86::qword_ptr(x86::rbp, 64));
  a.jmp(x86::rax);
  size_t size = holder.codeSize();
  if (errors.failed || size > Arena::kPageSize || !platform::OpenCodePages(t.code, Arena::kPageSize) ||
      holder.copyFlattenedData(t.code, size, CopySectionFlags::kPadSectionBuffer) ||
      !platform::SealCodePages(t.code, Arena::kPageSize))
    return false;
  t.codeUsed = Arena::kPageSize;
  t.enter = reinterpret_cast<EnterFn>(t.code);
  return true;
}

}  // namespace

void SetTranslationPageShift(uint32_t shift) noexcept {
  gPageShift.store(std::clamp<uint32_t>(shift, 6, Arena::kPageShift), std::memory_order_relaxed);
}

bool PrepareTranslation(Translation& t, const uint8_t* code) noexcept {
  t.pageShift = gPageShift.load(std::memory_order_relaxed);
  t.pageCount = uint32_t((uint64_t(t.codeSize) + (1u << t.pageShift) - 1) >> t.pageShift);
  t.entries.reset(static_cast<int32_t*>(std::calloc(t.codeSize, sizeof(int32_t))));
  t.marks.reset(static_cast<uint8_t*>(std::calloc(t.codeSize, 1)));
  t.pageState.reset(new (std::nothrow) std::atomic<uint8_t>[t.pageCount]);
  if (!t.entries || !t.marks || !t.pageState) return false;
  for (uint32_t p = 0; p < t.pageCount; ++p)
    t.pageState[p].store(kPageUntranslated, std::memory_order_relaxed);
  MarkCode(t, code);
  // Address space only: pages are committed as they are translated. Host
  // code takes a few times the bytes of the image's code; a page that
  // does not fit is left to the interpreter.
  size_t reserve = std::min<size_t>(size_t(1) << 30,
                                    size_t(t.codeSize) * 64 + (size_t(t.pageCount) + 2) * Arena::kPageSize);
  reserve = (reserve + Arena::kPageSize - 1) & ~size_t(Arena::kPageSize - 1);
  t.code = static_cast<uint8_t*>(platform::ReserveCodePages(reserve));
  if (!t.code) return false;
  t.codeBytes = reserve;
  if (EmitEntry(t)) return true;
  FreeTranslationCode(t);
  return false;
}

bool EmitPage(Translation& t, const uint8_t* code, uint32_t page,
              std::vector<std::pair<uint32_t, int32_t>>& entries) noexcept {
  if (page >= t.pageCount) return false;
  Emitter emitter(t, code, page);
  return emitter.Run(entries);
}

void FreeTranslationCode(Translation& t) noexcept {
  platform::FreeCodePages(t.code, t.codeBytes);
  t.code = nullptr;
  t.codeBytes = t.codeUsed = 0;
}

}  // namespace qavz::jit
