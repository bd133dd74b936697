// Code generation: instructions into the program block (code upward from the
// base, data downward from the end), labels with fix-up chains threaded
// through the operand words, and the six-register allocator with spills.
#include <cstring>

#include "compiler/internal.h"
#include "vm/opcodes.h"

namespace qavz::compiler {

uint8_t* OutBase = nullptr;
Addr OutAddr = 0;
uint32_t OutCapacity = 0;
uint32_t CodeSize = 0;
uint32_t DataSize = 0;
uint32_t ExternSize = 0;
bool Reachable = true;
int NextLabel = 1;
int StringCount = 0;

namespace {

// A defined label holds its absolute address; a pending one the block offset
// of the latest operand word that refers to it (0 ends the chain).
struct Label {
  bool defined;
  uint32_t word;
};
Label Labels[kLabelCount];

// Allocator: slot -> physical register, busy slots, current A and second B,
// and the spill stack (slot numbers, or kSpilled for a machine-stack push).
constexpr int kSlots = 6;
constexpr int kSpilled = -1;
int SlotReg[kSlots];
bool Busy[kSlots];
int A = 0, B = 1;
int Spill[kSpillDepth];
int SpillTop = 0;

using enum Opcode;

// Loads, stores and zero tests by Width (long, char, unsigned char, short,
// unsigned short); a store or test does not care about the sign.
constexpr Opcode kLoadAbs[5] = {kLoad32Abs, kLoadS8Abs, kLoadU8Abs, kLoadS16Abs, kLoadU16Abs};
constexpr Opcode kLoadFrame[5] = {kLoad32Frame, kLoadS8Frame, kLoadU8Frame, kLoadS16Frame, kLoadU16Frame};
constexpr Opcode kLoadInd[5] = {kLoad32Ind, kLoadS8Ind, kLoadU8Ind, kLoadS16Ind, kLoadU16Ind};
constexpr Opcode kStoreAbs[5] = {kStore32Abs, kStore8Abs, kStore8Abs, kStore16Abs, kStore16Abs};
constexpr Opcode kStoreFrame[5] = {kStore32Frame, kStore8Frame, kStore8Frame, kStore16Frame, kStore16Frame};
constexpr Opcode kStoreInd[5] = {kStore32Ind, kStore8Ind, kStore8Ind, kStore16Ind, kStore16Ind};
constexpr Opcode kZeroAbs[5] = {kZero32Abs, kZero8Abs, kZero8Abs, kZero16Abs, kZero16Abs};
constexpr Opcode kZeroFrame[5] = {kZero32Frame, kZero8Frame, kZero8Frame, kZero16Frame, kZero16Frame};

// Two-operand node kind -> opcode.
struct BinaryOp {
  int kind;
  Opcode opcode;
};
constexpr BinaryOp kBinaryOps[] = {
    {kNAdd, kAdd}, {kNSub, kSub}, {kNMul, kMul}, {kNDiv, kDiv}, {kNMod, kMod}, {kNShl, kShl},
    {kNShr, kShr}, {kNSar, kSar}, {kNAnd, kAnd}, {kNOr, kOr},   {kNXor, kXor},
};

// Comparison node kind -> jump when true, jump when false.
struct CompareJump {
  int kind;
  Opcode onTrue, onFalse;
};
constexpr CompareJump kCompareJumps[] = {
    {kNGt, kJg, kJle},  {kNGe, kJge, kJl},  {kNLt, kJl, kJge},  {kNLe, kJle, kJg}, {kNGtU, kJa, kJbe},
    {kNGeU, kJae, kJb}, {kNLtU, kJb, kJae}, {kNLeU, kJbe, kJa}, {kNEq, kJe, kJne}, {kNNe, kJne, kJe},
};

// The most code and data the block takes: below 2 GiB, and within the
// capacity when emitting (set at every compile start).
uint32_t AreaLimit = 0x7FFFFFFF;

void Ensure(uint32_t bytes) {
  if (uint64_t(CodeSize) + DataSize + bytes > AreaLimit) Fail(kErrProgramArea);
}

// An instruction without a register byte.
void EmitOp(Opcode op) {
  Ensure(1);
  if (OutBase) OutBase[CodeSize] = uint8_t(op);
  CodeSize += 1;
}

// An instruction's first two bytes: opcode, then S in the high nibble and D
// in the low one.
void EmitOp(Opcode op, int d, int s) {
  Ensure(2);
  if (OutBase) {
    OutBase[CodeSize] = uint8_t(op);
    OutBase[CodeSize + 1] = uint8_t((s << 4) | d);
  }
  CodeSize += 2;
}

void Emit16(uint32_t v) {
  Ensure(2);
  if (OutBase) OutBase[CodeSize] = uint8_t(v), OutBase[CodeSize + 1] = uint8_t(v >> 8);
  CodeSize += 2;
}

void Emit32(uint32_t v) {
  Ensure(4);
  if (OutBase) std::memcpy(OutBase + CodeSize, &v, 4);
  CodeSize += 4;
}

uint32_t ReadWord(uint32_t offset) {
  uint32_t v;
  std::memcpy(&v, OutBase + offset, 4);
  return v;
}

void WriteWord(uint32_t offset, uint32_t v) { std::memcpy(OutBase + offset, &v, 4); }

void CheckLabel(int label) {
  if (label <= 0 || label >= NextLabel) Fail(kErrInternal);
}

// The word to emit for a label reference at the current code offset.
uint32_t LabelOperand(int label) {
  CheckLabel(label);
  Label& l = Labels[label];
  if (l.defined) return l.word;
  uint32_t head = l.word;
  l.word = CodeSize;
  return head;
}

int R(int slot) { return SlotReg[slot]; }

int FreeSlot() {
  for (int i = 0; i < kSlots; ++i)
    if (!Busy[i]) return i;
  return -1;
}

void Push() {
  if (SpillTop >= kSpillDepth) Fail(kErrInternal);
  int f = FreeSlot();
  if (f >= 0) {
    Spill[SpillTop++] = A;
    Busy[f] = true;
    A = f;
  } else {
    Spill[SpillTop++] = kSpilled;
    EmitOp(kPush, 0, R(A));
    ListOp(kPush, "r%d", R(A));
  }
}

void Pop() {
  int e = Spill[--SpillTop];
  if (e == kSpilled) {
    EmitOp(kPop, R(B), 7);
    ListOp(kPop, "r%d", R(B));
  } else {
    Busy[B] = false;
    B = e;
  }
}

void MoveTo(int reg) {
  if (R(A) == reg) return;
  int other = 0;
  while (R(other) != reg) ++other;
  Opcode op = Busy[other] ? kXchg : kMove;
  EmitOp(op, reg, R(A));
  ListOp(op, "r%d, r%d", reg, R(A));
  std::swap(SlotReg[A], SlotReg[other]);
}

void SwapAB() { std::swap(A, B); }

void EmitImm(int reg, int32_t value) {
  EmitOp(kLoadImm, reg, 0);
  Emit32(uint32_t(value));
  ListOp(kLoadImm, "r%d, $%d", reg, value);
}

void Gen(int n);

void GenBinary(int kind, int l, int r) {
  Gen(r);
  Push();
  Gen(l);
  Pop();
  for (const BinaryOp& op : kBinaryOps) {
    if (op.kind != kind) continue;
    EmitOp(op.opcode, R(A), R(B));
    ListOp(op.opcode, "r%d, r%d", R(A), R(B));
    return;
  }
  Fail(kErrInternal);
}

void LoadThrough(int width) {
  EmitOp(kLoadInd[width], R(A), R(A));
  ListOp(kLoadInd[width], "r%d, (r%d)", R(A), R(A));
}

void StoreThrough(int width) {
  EmitOp(kStoreInd[width], R(A), R(B));
  ListOp(kStoreInd[width], "(r%d), r%d", R(A), R(B));
}

void GenCall(int n) {
  int fn = Callee(n);
  int count = 0;
  for (int cell = Arguments(n); cell; cell = NextArgument(cell), ++count) {
    int v = ArgumentValue(cell);
    if (Kind(v) == kNConst) {
      EmitOp(kPushImm);
      Emit32(uint32_t(ConstValue(v)));
      ListOp(kPushImm, "$%d", ConstValue(v));
    } else {
      Gen(v);
      EmitOp(kPush, 0, R(A));
      ListOp(kPush, "r%d", R(A));
    }
  }
  if (Kind(fn) == kNFunc) {
    MoveTo(0);
    int sym = FunctionSymbol(fn);
    EmitOp(kCall);
    Emit32(LabelOperand(Sym(sym).value));
    ListOp(kCall, "%s", Sym(sym).name);
  } else {
    Gen(fn);
    MoveTo(0);
    EmitOp(kCallReg, 0, R(A));
    ListOp(kCallReg, "r%d", R(A));
  }
  if (count > 0) {  // the stack adjustment native calls look for (kStackAdjustWord)
    EmitOp(kAddImm, 7, 7);
    Emit32(uint32_t(4 * count));
    ListOp(kAddImm, "r%d, $%d", 7, 4 * count);
  }
}

void GenAssign(int n, int width) {
  int lv = Lhs(n), value = Rhs(n);
  switch (Kind(lv)) {
    case kNGlobal:
      Gen(value);
      EmitOp(kStoreAbs[width], 6, R(A));
      Emit32(uint32_t(GlobalAddress(lv)));
      ListOp(kStoreAbs[width], "%s, r%d", Sym(GlobalSymbol(lv)).name, R(A));
      break;
    case kNLocal:
      Gen(value);
      EmitOp(kStoreFrame[width], 6, R(A));
      Emit32(uint32_t(LocalOffset(lv)));
      ListOp(kStoreFrame[width], "%d(r%d), r%d", LocalOffset(lv), 6, R(A));
      break;
    default:
      Gen(value);
      Push();
      Gen(Operand(lv));
      Pop();
      StoreThrough(width);
      SwapAB();
      break;
  }
}

// The target's address is evaluated twice, so its side effects happen twice.
void GenCompound(int n, int width) {
  int lv = Lhs(n), value = Rhs(n), kind = CompoundOperation(n);
  Gen(value);
  Push();
  Gen(lv);
  Pop();
  LoadThrough(width);
  for (const BinaryOp& op : kBinaryOps) {
    if (op.kind != kind) continue;
    EmitOp(op.opcode, R(A), R(B));
    ListOp(op.opcode, "r%d, r%d", R(A), R(B));
  }
  Push();
  Gen(lv);
  Pop();
  StoreThrough(width);
  SwapAB();
}

void GenIncDec(int n) {
  int k = Kind(n);
  Gen(Operand(n));
  if (k == kNPreStep || k == kNPostStep) {
    Opcode op = k == kNPreStep ? kPreStep : kPostStep;
    EmitOp(op, R(A), R(A));
    Emit32(uint32_t(Step(n)));
    ListOp(op, "r%d, %d", R(A), Step(n));
    return;
  }
  // Node kinds kNPreInc8 to kNPostDec16, in this order.
  static constexpr Opcode kSteps[8] = {kPreInc8,  kPostInc8,  kPreDec8,  kPostDec8,
                                       kPreInc16, kPostInc16, kPreDec16, kPostDec16};
  Opcode op = kSteps[k - kNPreInc8];
  EmitOp(op, R(A), R(A));
  ListOp(op, "(r%d)", R(A));
}

void KeepPendingOutOfR0(bool conditionalCall);
bool CallOnSomePaths(int n);

void GenCompareValue(int n) {
  KeepPendingOutOfR0(CallOnSomePaths(n));
  int t = NewLabel(), e = NewLabel();
  Branch(n, true, t);
  EmitImm(R(A), 0);
  Jump(e);
  DefineLabel(t);
  EmitImm(R(A), 1);
  DefineLabel(e);
}

bool ContainsCall(int n) {
  int k = Kind(n);
  if (k == kNCall) return true;
  if (k == kNConst || k == kNString || k == kNGlobal || k == kNLocal || k == kNFunc) return false;
  if (k >= kNLoadG && k < kNLoadI) return false;
  if (k == kNCond) return ContainsCall(Condition(n)) || ContainsCall(IfTrue(n)) || ContainsCall(IfFalse(n));
  // An argument cell is a pair too: its value and the next cell (0 ends).
  bool two = (k >= kNAdd && k <= kNLOr) || (k >= kNAssign && k < kNComma + 1) || k == kNArg;
  if (two) return ContainsCall(Lhs(n)) || (Rhs(n) && ContainsCall(Rhs(n)));
  return ContainsCall(Operand(n));
}

// Whether branching on `n` calls a function on some paths only: the right
// side of && and || runs only when the left side does not decide. A call
// that runs on every path needs no care, and nested value expressions look
// after their own branches when they are generated.
bool CallOnSomePaths(int n) {
  int k = Kind(n);
  if (k == kNLAnd || k == kNLOr) return CallOnSomePaths(Lhs(n)) || ContainsCall(Rhs(n));
  if (k == kNNot) return CallOnSomePaths(Operand(n));
  return false;
}

// Before code that branches inside an expression and calls a function on
// some path only: a pending value in r0 would be moved out by that call on
// one path and not the other, so it leaves r0 first, on every path.
void KeepPendingOutOfR0(bool conditionalCall) {
  int pending = -1;
  for (int i = 0; i < SpillTop; ++i)
    if (Spill[i] != kSpilled && SlotReg[Spill[i]] == 0) pending = Spill[i];
  if (pending < 0 || !conditionalCall) return;
  int spare = A;
  for (int i = 0; i < kSlots; ++i)
    if (!Busy[i]) spare = i;
  EmitOp(kMove, SlotReg[spare], 0);
  ListOp(kMove, "r%d, r%d", SlotReg[spare], 0);
  std::swap(SlotReg[spare], SlotReg[pending]);
}

// The allocator's picture of the registers, saved around the branches of ?:.
struct RegisterState {
  int slotReg[kSlots];
  bool busy[kSlots];
  int a, b;
};

RegisterState SaveRegisters() {
  RegisterState s;
  std::memcpy(s.slotReg, SlotReg, sizeof SlotReg);
  std::memcpy(s.busy, Busy, sizeof Busy);
  s.a = A, s.b = B;
  return s;
}

void RestoreRegisters(const RegisterState& s) {
  std::memcpy(SlotReg, s.slotReg, sizeof SlotReg);
  std::memcpy(Busy, s.busy, sizeof Busy);
  A = s.a, B = s.b;
}

// At the end of the false branch, moves the result into `resultReg` and every
// pending value into the register the true branch left it in, so that both
// paths meet with the same registers.
void MeetTrueBranch(const RegisterState& t, int resultReg) {
  int live[kSpillDepth + 1], target[kSpillDepth + 1], count = 0;
  for (int i = 0; i < SpillTop; ++i) {
    if (Spill[i] == kSpilled) continue;
    live[count] = SlotReg[Spill[i]];
    target[count++] = t.slotReg[Spill[i]];
  }
  live[count] = SlotReg[A];
  target[count++] = resultReg;
  for (bool moved = true; moved;) {
    moved = false;
    for (int i = 0; i < count; ++i) {
      if (live[i] == target[i]) continue;
      int other = -1;
      for (int j = 0; j < count; ++j)
        if (live[j] == target[i]) other = j;
      Opcode op = other >= 0 ? kXchg : kMove;
      EmitOp(op, target[i], live[i]);
      ListOp(op, "r%d, r%d", target[i], live[i]);
      if (other >= 0) live[other] = live[i];
      live[i] = target[i];
      moved = true;
    }
  }
  RestoreRegisters(t);
}

// c ? x : y. A call in either branch may move pending values out of r0 on
// its path only: the false branch is then compiled from the registers as
// they were before the true branch, and its end brought in line with the
// true branch's, so both paths meet with the same registers.
void GenConditional(int n) {
  KeepPendingOutOfR0(CallOnSomePaths(Condition(n)) || ContainsCall(IfTrue(n)) || ContainsCall(IfFalse(n)));
  int f = NewLabel();
  Branch(Condition(n), false, f);
  RegisterState before = SaveRegisters();
  Gen(IfTrue(n));
  int reg = R(A);
  RegisterState afterTrue = SaveRegisters();
  int e = NewLabel();
  Jump(e);
  DefineLabel(f);
  if (std::memcmp(before.slotReg, afterTrue.slotReg, sizeof SlotReg) != 0) RestoreRegisters(before);
  Gen(IfFalse(n));
  if (std::memcmp(SlotReg, afterTrue.slotReg, sizeof SlotReg) == 0)
    MoveTo(reg);
  else
    MeetTrueBranch(afterTrue, reg);
  DefineLabel(e);
}

void Gen(int n) {
  int k = Kind(n);
  if (k >= kNLoadG && k < kNLoadG + 5) {
    int w = k - kNLoadG, v = Operand(n);
    EmitOp(kLoadAbs[w], R(A), 6);
    Emit32(uint32_t(GlobalAddress(v)));
    ListOp(kLoadAbs[w], "r%d, %s", R(A), Sym(GlobalSymbol(v)).name);
    return;
  }
  if (k >= kNLoadL && k < kNLoadL + 5) {
    int w = k - kNLoadL, off = LocalOffset(Operand(n));
    EmitOp(kLoadFrame[w], R(A), 6);
    Emit32(uint32_t(off));
    ListOp(kLoadFrame[w], "r%d, %d(r%d)", R(A), off, 6);
    return;
  }
  if (k >= kNLoadI && k < kNLoadI + 5) {
    Gen(Operand(Operand(n)));  // the address the indirection holds
    LoadThrough(k - kNLoadI);
    return;
  }
  if (k >= kNAssign && k < kNAssign + 5) return GenAssign(n, k - kNAssign);
  if (k >= kNCompound && k < kNCompound + 5) return GenCompound(n, k - kNCompound);
  if (k >= kNPreStep && k <= kNPostDec16) return GenIncDec(n);
  if (k >= kNAdd && k <= kNXor) return GenBinary(k, Lhs(n), Rhs(n));
  if (k >= kNGt && k <= kNLOr) return GenCompareValue(n);
  switch (k) {
    case kNConst:
      EmitImm(R(A), ConstValue(n));
      return;
    case kNString: {
      int index;
      Addr a = PlaceString(uint32_t(StringText(n)), StringLength(n));
      index = StringCount - 1;
      EmitOp(kLoadAddr, R(A), 0);
      Emit32(a);
      ListOp(kLoadAddr, "r%d, $_s%d", R(A), index);
      return;
    }
    case kNGlobal:
      EmitOp(kLoadAddr, R(A), 0);
      Emit32(uint32_t(GlobalAddress(n)));
      ListOp(kLoadAddr, "r%d, $%s", R(A), Sym(GlobalSymbol(n)).name);
      return;
    case kNLocal:
      EmitOp(kLea, R(A), 6);
      Emit32(uint32_t(LocalOffset(n)));
      ListOp(kLea, "r%d, %d(r%d)", R(A), LocalOffset(n), 6);
      return;
    case kNFunc: {
      int sym = FunctionSymbol(n);
      EmitOp(kLoadAddr, R(A), 0);
      Emit32(LabelOperand(Sym(sym).value));
      ListOp(kLoadAddr, "r%d, $%s", R(A), Sym(sym).name);
      return;
    }
    case kNIndir:
    case kNAddr:
      return Gen(Operand(n));
    case kNCall:
      return GenCall(n);
    case kNNeg:
    case kNCompl:
    case kNNot: {
      Gen(Operand(n));
      Opcode op = k == kNNeg ? kNeg : k == kNCompl ? kNot : kSet;
      EmitOp(op, R(A), R(A));
      ListOp(op, "r%d", R(A));
      return;
    }
    case kNCond:
      return GenConditional(n);
    case kNComma:
      Gen(Lhs(n));
      Gen(Rhs(n));
      return;
    default:
      Fail(kErrInternal);
  }
}

}  // namespace

void ResetCodegen() {
  AreaLimit = OutBase && OutCapacity < 0x7FFFFFFF ? OutCapacity : 0x7FFFFFFF;
  CodeSize = DataSize = ExternSize = 0;
  StringCount = 0;
  NextLabel = 1;
  Reachable = true;
  ResetRegisters();
}

int NewLabel() {
  if (NextLabel >= kLabelCount) Fail(kErrInternal);
  Labels[NextLabel] = {false, 0};
  return NextLabel++;
}

bool LabelDefined(int label) { return label > 0 && label < NextLabel && Labels[label].defined; }

void FillChain(int label, Addr target) {
  if (!OutBase) return;
  for (uint32_t off = Labels[label].word; off != 0;) {
    uint32_t next = ReadWord(off);
    WriteWord(off, target);
    off = next;
  }
}

void DefineLabel(int label) {
  CheckLabel(label);
  if (Labels[label].defined) Fail(kErrInternal);
  Addr here = OutAddr + CodeSize;
  FillChain(label, here);
  Labels[label] = {true, here};
  Reachable = true;
  List("_%d:\n", label);
}

int DefineNewLabel() {
  int l = NewLabel();
  DefineLabel(l);
  return l;
}

void Jump(int label) {
  if (!Reachable) return;
  EmitOp(kJmp);
  Emit32(LabelOperand(label));
  ListOp(kJmp, "_%d", label);
  Reachable = false;
}

void JumpIf(Opcode op, int label) {
  EmitOp(op);
  Emit32(LabelOperand(label));
  ListOp(op, "_%d", label);
}

void EmitJumpToMain(int mainLabel) { Jump(mainLabel); }

void ResetRegisters() {
  for (int i = 0; i < kSlots; ++i) SlotReg[i] = i, Busy[i] = false;
  A = 0;
  B = 1;
  Busy[A] = Busy[B] = true;
  SpillTop = 0;
}

int EvalStatement(int node) {
  ResetRegisters();
  Gen(node);
  return R(A);
}

void Branch(int n, bool sense, int label) {
  int k = Kind(n);
  if (k >= kNLoadG && k < kNLoadG + 5) {
    int w = k - kNLoadG, v = Operand(n);
    EmitOp(kZeroAbs[w]);
    Emit32(uint32_t(GlobalAddress(v)));
    ListOp(kZeroAbs[w], "%s", Sym(GlobalSymbol(v)).name);
    return JumpIf(sense ? kJne : kJe, label);
  }
  if (k >= kNLoadL && k < kNLoadL + 5) {
    int w = k - kNLoadL, off = LocalOffset(Operand(n));
    EmitOp(kZeroFrame[w]);
    Emit32(uint32_t(off));
    ListOp(kZeroFrame[w], "%d(r%d)", off, 6);
    return JumpIf(sense ? kJne : kJe, label);
  }
  switch (k) {
    case kNConst:
      if ((ConstValue(n) != 0) == sense) Jump(label);
      return;
    case kNNot:
      return Branch(Operand(n), !sense, label);
    case kNLAnd:
      if (sense) {
        int skip = NewLabel();
        Branch(Lhs(n), false, skip);
        Branch(Rhs(n), true, label);
        DefineLabel(skip);
      } else {
        Branch(Lhs(n), false, label);
        Branch(Rhs(n), false, label);
      }
      return;
    case kNLOr:
      if (sense) {
        Branch(Lhs(n), true, label);
        Branch(Rhs(n), true, label);
      } else {
        int skip = NewLabel();
        Branch(Lhs(n), true, skip);
        Branch(Rhs(n), false, label);
        DefineLabel(skip);
      }
      return;
    default:
      break;
  }
  for (const CompareJump& c : kCompareJumps) {
    if (c.kind != k) continue;
    GenBinary(kNSub, Lhs(n), Rhs(n));
    return JumpIf(sense ? c.onTrue : c.onFalse, label);
  }
  Gen(n);
  EmitOp(kCmpImm, R(A), 0);
  Emit32(0);
  // Listed "cmpl", with the width suffix of the zero tests it stands in for.
  ListOpSuffixed(kCmpImm, "l", "r%d, $0", R(A));
  JumpIf(sense ? kJne : kJe, label);
}

void EmitCompareImm(int reg, int32_t value, bool) {
  EmitOp(kCmpImm, reg, 0);
  Emit32(uint32_t(value));
  ListOp(kCmpImm, "r%d, $%d", reg, value);
}

void MoveAToR0() { MoveTo(0); }

void EmitPrologue(int* enterPos, int* epilogue) {
  *epilogue = NewLabel();
  EmitOp(kEnter);
  *enterPos = int(CodeSize);
  Emit32(0);
  ListOp(kEnter, "");
}

void EmitEpilogue(int enterPos, int epilogue, int32_t frameSize) {
  MoveTo(0);
  DefineLabel(epilogue);
  if (OutBase) WriteWord(uint32_t(enterPos), uint32_t(frameSize));
  EmitOp(kLeave);
  Emit32(uint32_t(frameSize));
  ListOp(kLeave, "");
  EmitOp(kRet);
  ListOp(kRet, "");
  List("\n");
}

void EmitNativeStub(int trapNumber) {
  EmitOp(kTrap);
  Emit16(uint32_t(trapNumber) & 0xFFFF);
  ListOp(kTrap, "%d", trapNumber);
  MoveTo(0);
  EmitOp(kRet);
  ListOp(kRet, "");
  List("\n");
}

void EmitLocalStore(int32_t offset, int width, int reg, const char* name, int32_t elemOffset, bool element) {
  EmitOp(kStoreFrame[width], 6, reg);
  Emit32(uint32_t(offset));
  if (element)
    ListOp(kStoreFrame[width], "%s[%d], r%d", name, elemOffset, reg);
  else
    ListOp(kStoreFrame[width], "%s, r%d", name, reg);
}

Addr PlaceData(uint32_t size) {
  Ensure(size);
  DataSize += size;
  return OutAddr + OutCapacity - DataSize;
}

void WriteData(Addr address, uint32_t value, int bytes) {
  if (!OutBase) return;
  std::memcpy(OutBase + (address - OutAddr), &value, size_t(bytes));
}

// Places a copy of the text (with its zero byte) and lists it as _sK.
Addr PlaceString(uint32_t text, int32_t length) {
  Addr a = PlaceData(uint32_t(length));
  const char* s = Work->names + text;
  if (OutBase) std::memcpy(OutBase + (a - OutAddr), s, size_t(length));
  int index = StringCount++;
  if (ListingOpen()) {
    List("_s%d:\n", index);
    char line[kMessageBytes];
    int n = 0;
    auto put = [&](const char* p, int len) {
      for (int i = 0; i < len && n < kMessageBytes - 1; ++i) line[n++] = p[i];
    };
    put("\t.ascii \"", 9);
    for (int32_t i = 0; i + 1 < length; ++i) {
      uint8_t c = uint8_t(s[i]);
      char buf[8];
      if (c == '\n')
        put("\\n", 2);
      else if (c < 32)
        put(buf, std::snprintf(buf, sizeof buf, "\\x%02x", c));
      else if (c == '"')
        put("\\\"", 2);
      else
        put(reinterpret_cast<const char*>(&c), 1);
    }
    put("\\0\"\n", 4);
    line[n] = 0;
    List("%s", line);
  }
  return a;
}

void WriteFunctionAddress(Addr address, int label) {
  CheckLabel(label);
  Label& l = Labels[label];
  uint32_t offset = address - OutAddr;
  if (l.defined) {
    WriteData(address, l.word, 4);
    return;
  }
  WriteData(address, l.word, 4);
  l.word = offset;
}

int LabelAddressWord(int label) { return int(Labels[label].word); }

}  // namespace qavz::compiler
