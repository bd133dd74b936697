// Code generation: instructions into the program block (code upward from the
// base, data downward from the end), labels with fix-up chains threaded
// through the operand words, and the six-register allocator with spills.
#include <cstring>

#include "compiler/internal.h"

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

const char* const kLoadNames[5] = {"movl", "movsbl", "movbl", "movswl", "movwl"};
const uint8_t kLoadGlobal[5] = {10, 7, 6, 9, 8};
const uint8_t kLoadLocal[5] = {16, 13, 12, 15, 14};
const uint8_t kLoadIndirect[5] = {21, 18, 17, 20, 19};
const char* const kStoreNames[5] = {"movl", "movb", "movb", "movw", "movw"};
const uint8_t kStoreGlobal[5] = {24, 22, 22, 23, 23};
const uint8_t kStoreLocal[5] = {27, 25, 25, 26, 26};
const uint8_t kStoreIndirect[5] = {30, 28, 28, 29, 29};
const uint8_t kZeroGlobal[5] = {51, 49, 49, 50, 50};
const uint8_t kZeroLocal[5] = {54, 52, 52, 53, 53};
const char* const kZeroNames[5] = {"zerol", "zerob", "zerob", "zerow", "zerow"};

const char* JumpName(int opcode) {
  static const char* const kNames[] = {"jmp", "je", "jne", "jg", "jge", "jl",
                                       "jle", "ja", "jae", "jb", "jbe"};
  return kNames[opcode - 73];
}

// Two-operand node kind -> opcode and listing name.
struct BinaryOp {
  int kind;
  uint8_t opcode;
  const char* name;
};
const BinaryOp kBinaryOps[] = {
    {kNAdd, 58, "add"}, {kNSub, 60, "sub"}, {kNMul, 62, "mul"}, {kNDiv, 63, "div"},
    {kNMod, 64, "mod"}, {kNShl, 65, "shl"}, {kNShr, 66, "shr"}, {kNSar, 67, "sar"},
    {kNAnd, 70, "and"}, {kNOr, 71, "or"},   {kNXor, 72, "xor"},
};

// Comparison node kind -> jump when true, jump when false.
struct CompareJump {
  int kind;
  uint8_t onTrue, onFalse;
};
const CompareJump kCompareJumps[] = {
    {kNGt, 76, 79},  {kNGe, 77, 78},  {kNLt, 78, 77},  {kNLe, 79, 76}, {kNGtU, 80, 83},
    {kNGeU, 81, 82}, {kNLtU, 82, 81}, {kNLeU, 83, 80}, {kNEq, 74, 75}, {kNNe, 75, 74},
};

void Ensure(uint32_t bytes) {
  uint64_t total = uint64_t(CodeSize) + DataSize + bytes;
  if (total > 0x7FFFFFFF || (OutBase && total > OutCapacity)) Fail(kErrProgramArea);
}

void EmitByte(int b) {
  Ensure(1);
  if (OutBase) OutBase[CodeSize] = uint8_t(b);
  CodeSize += 1;
}

// An instruction's first two bytes: opcode, then S in the high nibble and D
// in the low one.
void EmitOp(int opcode, int d, int s) {
  Ensure(2);
  if (OutBase) {
    OutBase[CodeSize] = uint8_t(opcode);
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
    EmitOp(31, 0, R(A));
    List("\tpush\tr%d\n", R(A));
  }
}

void Pop() {
  int e = Spill[--SpillTop];
  if (e == kSpilled) {
    EmitOp(33, R(B), 7);
    List("\tpop\t\tr%d\n", R(B));
  } else {
    Busy[B] = false;
    B = e;
  }
}

void MoveTo(int reg) {
  if (R(A) == reg) return;
  int other = 0;
  while (R(other) != reg) ++other;
  if (Busy[other]) {
    EmitOp(2, reg, R(A));
    List("\txchg\tr%d, r%d\n", reg, R(A));
  } else {
    EmitOp(3, reg, R(A));
    List("\tmovl\tr%d, r%d\n", reg, R(A));
  }
  std::swap(SlotReg[A], SlotReg[other]);
}

void SwapAB() { std::swap(A, B); }

void EmitImm(int reg, int32_t value) {
  EmitOp(4, reg, 0);
  Emit32(uint32_t(value));
  List("\tmovl\tr%d, $%d\n", reg, value);
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
    List("\t%s\t\tr%d, r%d\n", op.name, R(A), R(B));
    return;
  }
  Fail(kErrInternal);
}

void LoadThrough(int width) {
  EmitOp(kLoadIndirect[width], R(A), R(A));
  List("\t%s\tr%d, (r%d)\n", kLoadNames[width], R(A), R(A));
}

void StoreThrough(int width) {
  EmitOp(kStoreIndirect[width], R(A), R(B));
  List("\t%s\t(r%d), r%d\n", kStoreNames[width], R(A), R(B));
}

void GenCall(int n) {
  int fn = Op(n, 1);
  int count = 0;
  for (int cell = Op(n, 2); cell; cell = Op(cell, 2), ++count) {
    int v = Op(cell, 1);
    if (Kind(v) == kNConst) {
      EmitByte(32);
      Emit32(uint32_t(Op(v, 1)));
      List("\tpush\t$%d\n", Op(v, 1));
    } else {
      Gen(v);
      EmitOp(31, 0, R(A));
      List("\tpush\tr%d\n", R(A));
    }
  }
  if (Kind(fn) == kNFunc) {
    MoveTo(0);
    int sym = Op(fn, 1);
    EmitByte(36);
    Emit32(LabelOperand(Sym(sym).value));
    List("\tcall\t%s\n", Sym(sym).name);
  } else {
    Gen(fn);
    MoveTo(0);
    EmitOp(37, 0, R(A));
    List("\tcall\tr%d\n", R(A));
  }
  if (count > 0) {
    Emit16(0x773B);
    Emit32(uint32_t(4 * count));
    List("\tadd\t\tr%d, $%d\n", 7, 4 * count);
  }
}

void GenAssign(int n, int width) {
  int lv = Op(n, 1), value = Op(n, 2);
  switch (Kind(lv)) {
    case kNGlobal:
      Gen(value);
      EmitOp(kStoreGlobal[width], 6, R(A));
      Emit32(uint32_t(Op(lv, 1)));
      List("\t%s\t%s, r%d\n", kStoreNames[width], Sym(Op(lv, 2)).name, R(A));
      break;
    case kNLocal:
      Gen(value);
      EmitOp(kStoreLocal[width], 6, R(A));
      Emit32(uint32_t(Op(lv, 1)));
      List("\t%s\t%d(r%d), r%d\n", kStoreNames[width], Op(lv, 1), 6, R(A));
      break;
    default:
      Gen(value);
      Push();
      Gen(Op(lv, 1));
      Pop();
      StoreThrough(width);
      SwapAB();
      break;
  }
}

// The target's address is evaluated twice, so its side effects happen twice.
void GenCompound(int n, int width) {
  int lv = Op(n, 1), value = Op(n, 2), kind = Op(n, 3);
  Gen(value);
  Push();
  Gen(lv);
  Pop();
  LoadThrough(width);
  for (const BinaryOp& op : kBinaryOps) {
    if (op.kind != kind) continue;
    EmitOp(op.opcode, R(A), R(B));
    List("\t%s\t\tr%d, r%d\n", op.name, R(A), R(B));
  }
  Push();
  Gen(lv);
  Pop();
  StoreThrough(width);
  SwapAB();
}

void GenIncDec(int n) {
  int k = Kind(n);
  Gen(Op(n, 1));
  if (k == kNPreStep || k == kNPostStep) {
    EmitOp(k == kNPreStep ? 39 : 40, R(A), R(A));
    Emit32(uint32_t(Op(n, 2)));
    List("\t%s\tr%d, %d\n", k == kNPreStep ? "preop" : "postop", R(A), Op(n, 2));
    return;
  }
  static const char* const kNames[4] = {"preinc", "postinc", "predec", "postdec"};
  int index = (k - kNPreInc8) % 4;
  int opcode = k >= kNPreInc16 ? 45 + index : 41 + index;
  EmitOp(opcode, R(A), R(A));
  List("\t%s\t(r%d)\n", kNames[index], R(A));
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
  if (k == kNCond) return ContainsCall(Op(n, 1)) || ContainsCall(Op(n, 2)) || ContainsCall(Op(n, 3));
  bool two = (k >= kNAdd && k <= kNLOr) || (k >= kNAssign && k < kNComma + 1) || k == kNArg;
  if (two) return ContainsCall(Op(n, 1)) || (Op(n, 2) && ContainsCall(Op(n, 2)));
  return ContainsCall(Op(n, 1));
}

// Whether branching on `n` calls a function on some paths only: the right
// side of && and || runs only when the left side does not decide. A call
// that runs on every path needs no care, and nested value expressions look
// after their own branches when they are generated.
bool CallOnSomePaths(int n) {
  int k = Kind(n);
  if (k == kNLAnd || k == kNLOr) return CallOnSomePaths(Op(n, 1)) || ContainsCall(Op(n, 2));
  if (k == kNNot) return CallOnSomePaths(Op(n, 1));
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
  EmitOp(3, SlotReg[spare], 0);
  List("\tmovl\tr%d, r%d\n", SlotReg[spare], 0);
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
      if (other >= 0) {
        EmitOp(2, target[i], live[i]);
        List("\txchg\tr%d, r%d\n", target[i], live[i]);
        live[other] = live[i];
      } else {
        EmitOp(3, target[i], live[i]);
        List("\tmovl\tr%d, r%d\n", target[i], live[i]);
      }
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
  KeepPendingOutOfR0(CallOnSomePaths(Op(n, 1)) || ContainsCall(Op(n, 2)) || ContainsCall(Op(n, 3)));
  int f = NewLabel();
  Branch(Op(n, 1), false, f);
  RegisterState before = SaveRegisters();
  Gen(Op(n, 2));
  int reg = R(A);
  RegisterState afterTrue = SaveRegisters();
  int e = NewLabel();
  Jump(e);
  DefineLabel(f);
  if (std::memcmp(before.slotReg, afterTrue.slotReg, sizeof SlotReg) != 0) RestoreRegisters(before);
  Gen(Op(n, 3));
  if (std::memcmp(SlotReg, afterTrue.slotReg, sizeof SlotReg) == 0)
    MoveTo(reg);
  else
    MeetTrueBranch(afterTrue, reg);
  DefineLabel(e);
}

void Gen(int n) {
  int k = Kind(n);
  if (k >= kNLoadG && k < kNLoadG + 5) {
    int w = k - kNLoadG, v = Op(n, 1);
    EmitOp(kLoadGlobal[w], R(A), 6);
    Emit32(uint32_t(Op(v, 1)));
    List("\t%s\tr%d, %s\n", kLoadNames[w], R(A), Sym(Op(v, 2)).name);
    return;
  }
  if (k >= kNLoadL && k < kNLoadL + 5) {
    int w = k - kNLoadL, off = Op(Op(n, 1), 1);
    EmitOp(kLoadLocal[w], R(A), 6);
    Emit32(uint32_t(off));
    List("\t%s\tr%d, %d(r%d)\n", kLoadNames[w], R(A), off, 6);
    return;
  }
  if (k >= kNLoadI && k < kNLoadI + 5) {
    Gen(Op(Op(n, 1), 1));
    LoadThrough(k - kNLoadI);
    return;
  }
  if (k >= kNAssign && k < kNAssign + 5) return GenAssign(n, k - kNAssign);
  if (k >= kNCompound && k < kNCompound + 5) return GenCompound(n, k - kNCompound);
  if (k >= kNPreStep && k <= kNPostDec16) return GenIncDec(n);
  if (k >= kNAdd && k <= kNXor) return GenBinary(k, Op(n, 1), Op(n, 2));
  if (k >= kNGt && k <= kNLOr) return GenCompareValue(n);
  switch (k) {
    case kNConst:
      EmitImm(R(A), Op(n, 1));
      return;
    case kNString: {
      int index;
      Addr a = PlaceString(uint32_t(Op(n, 1)), Op(n, 2));
      index = StringCount - 1;
      EmitOp(5, R(A), 0);
      Emit32(a);
      List("\tmovl\tr%d, $_s%d\n", R(A), index);
      return;
    }
    case kNGlobal:
      EmitOp(5, R(A), 0);
      Emit32(uint32_t(Op(n, 1)));
      List("\tmovl\tr%d, $%s\n", R(A), Sym(Op(n, 2)).name);
      return;
    case kNLocal:
      EmitOp(11, R(A), 6);
      Emit32(uint32_t(Op(n, 1)));
      List("\tlea\t\tr%d, %d(r%d)\n", R(A), Op(n, 1), 6);
      return;
    case kNFunc: {
      int sym = Op(n, 1);
      EmitOp(5, R(A), 0);
      Emit32(LabelOperand(Sym(sym).value));
      List("\tmovl\tr%d, $%s\n", R(A), Sym(sym).name);
      return;
    }
    case kNIndir:
    case kNAddr:
      return Gen(Op(n, 1));
    case kNCall:
      return GenCall(n);
    case kNNeg:
    case kNCompl:
    case kNNot: {
      Gen(Op(n, 1));
      int opcode = k == kNNeg ? 68 : k == kNCompl ? 69 : 57;
      EmitOp(opcode, R(A), R(A));
      List("\t%s\t\tr%d\n", k == kNNeg ? "neg" : k == kNCompl ? "not" : "set", R(A));
      return;
    }
    case kNCond:
      return GenConditional(n);
    case kNComma:
      Gen(Op(n, 1));
      Gen(Op(n, 2));
      return;
    default:
      Fail(kErrInternal);
  }
}

}  // namespace

void ResetCodegen() {
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
  EmitByte(73);
  Emit32(LabelOperand(label));
  List("\tjmp\t\t_%d\n", label);
  Reachable = false;
}

void JumpIf(int opcode, int label) {
  EmitByte(opcode);
  Emit32(LabelOperand(label));
  List("\t%s\t\t_%d\n", JumpName(opcode), label);
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
    int w = k - kNLoadG, v = Op(n, 1);
    EmitByte(kZeroGlobal[w]);
    Emit32(uint32_t(Op(v, 1)));
    List("\t%s\t%s\n", kZeroNames[w], Sym(Op(v, 2)).name);
    return JumpIf(sense ? 75 : 74, label);
  }
  if (k >= kNLoadL && k < kNLoadL + 5) {
    int w = k - kNLoadL, off = Op(Op(n, 1), 1);
    EmitByte(kZeroLocal[w]);
    Emit32(uint32_t(off));
    List("\t%s\t%d(r%d)\n", kZeroNames[w], off, 6);
    return JumpIf(sense ? 75 : 74, label);
  }
  switch (k) {
    case kNConst:
      if ((Op(n, 1) != 0) == sense) Jump(label);
      return;
    case kNNot:
      return Branch(Op(n, 1), !sense, label);
    case kNLAnd:
      if (sense) {
        int skip = NewLabel();
        Branch(Op(n, 1), false, skip);
        Branch(Op(n, 2), true, label);
        DefineLabel(skip);
      } else {
        Branch(Op(n, 1), false, label);
        Branch(Op(n, 2), false, label);
      }
      return;
    case kNLOr:
      if (sense) {
        Branch(Op(n, 1), true, label);
        Branch(Op(n, 2), true, label);
      } else {
        int skip = NewLabel();
        Branch(Op(n, 1), true, skip);
        Branch(Op(n, 2), false, label);
        DefineLabel(skip);
      }
      return;
    default:
      break;
  }
  for (const CompareJump& c : kCompareJumps) {
    if (c.kind != k) continue;
    GenBinary(kNSub, Op(n, 1), Op(n, 2));
    return JumpIf(sense ? c.onTrue : c.onFalse, label);
  }
  Gen(n);
  EmitOp(56, R(A), 0);
  Emit32(0);
  List("\tcmpl\tr%d, $0\n", R(A));
  JumpIf(sense ? 75 : 74, label);
}

void EmitCompareImm(int reg, int32_t value, bool) {
  EmitOp(56, reg, 0);
  Emit32(uint32_t(value));
  List("\tcmp\t\tr%d, $%d\n", reg, value);
}

void MoveAToR0() { MoveTo(0); }

void EmitPrologue(int* enterPos, int* epilogue) {
  *epilogue = NewLabel();
  EmitByte(34);
  *enterPos = int(CodeSize);
  Emit32(0);
  List("\tenter\n");
}

void EmitEpilogue(int enterPos, int epilogue, int32_t frameSize) {
  MoveTo(0);
  DefineLabel(epilogue);
  if (OutBase) WriteWord(uint32_t(enterPos), uint32_t(frameSize));
  EmitByte(35);
  Emit32(uint32_t(frameSize));
  List("\tleave\n");
  EmitByte(38);
  List("\tret\n\n");
}

void EmitNativeStub(int trapNumber) {
  EmitByte(1);
  Emit16(uint32_t(trapNumber) & 0xFFFF);
  List("\ttrap\t%d\n", trapNumber);
  MoveTo(0);
  EmitByte(38);
  List("\tret\n\n");
}

void EmitLocalStore(int32_t offset, int width, int reg, const char* name, int32_t elemOffset, bool element) {
  EmitOp(kStoreLocal[width], 6, reg);
  Emit32(uint32_t(offset));
  if (element)
    List("\t%s\t%s[%d], r%d\n", kStoreNames[width], name, elemOffset, reg);
  else
    List("\t%s\t%s, r%d\n", kStoreNames[width], name, reg);
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
