// Expressions: trees in the node pool with their types, constant folding and
// the type rules. Each parse function leaves the expression's type in ExprType.
#include <cstring>

#include "compiler/internal.h"

namespace qavz::compiler {

int32_t ExprType = kTLong;
int NestingDepth = 0;

namespace {

int IntFunctionType() { return Sym(MainFunction).type; }

bool IsLvalue(int n) {
  int k = Kind(n);
  return k == kNGlobal || k == kNLocal || k == kNIndir;
}

bool IsConst(int n) { return Kind(n) == kNConst; }

int Const(int32_t v) {
  ExprType = kTLong;
  return MakeNode(kNConst, v);
}

void Expect(int token, const char* what) {
  if (Tok == token)
    Next();
  else
    MissingToken(what);
}

// 32-bit signed arithmetic, shifts by the low five bits of the count.
int32_t Compute(int kind, int32_t a, int32_t b) {
  uint32_t ua = uint32_t(a), ub = uint32_t(b);
  switch (kind) {
    case kNAdd:
      return int32_t(ua + ub);
    case kNSub:
      return int32_t(ua - ub);
    case kNMul:
      return int32_t(ua * ub);
    case kNDiv:
      if (b == 0) Fail(kErrDivideByZero);
      if (a == INT32_MIN && b == -1) return a;
      return a / b;
    case kNMod:
      if (b == 0) Fail(kErrDivideByZero);
      if (a == INT32_MIN && b == -1) return 0;
      return a % b;
    case kNShl:
      return int32_t(ua << (ub & 31));
    case kNShr:
    case kNSar:
      return a >> (ub & 31);
    case kNAnd:
      return a & b;
    case kNOr:
      return a | b;
    case kNXor:
      return a ^ b;
    default:
      return 0;
  }
}

int PowerOfTwo(int32_t v) {
  if (v <= 0 || (v & (v - 1)) != 0) return -1;
  int k = 0;
  while ((1 << k) != v) ++k;
  return k;
}

// l op r with folding; a constant goes to the right of a commutative
// operator; * and / by 1 vanish and by 2^k become shifts.
int Arith(int kind, int l, int r, bool isUnsigned) {
  if (IsConst(l) && IsConst(r)) {
    ConstValue(l) = Compute(kind, ConstValue(l), ConstValue(r));
    return l;
  }
  bool commutative = kind == kNAdd || kind == kNMul || kind == kNAnd || kind == kNOr || kind == kNXor;
  if (commutative && IsConst(l)) std::swap(l, r);
  if ((kind == kNMul || kind == kNDiv) && IsConst(r)) {
    int32_t v = ConstValue(r);
    if (v == 1) return l;
    int k = PowerOfTwo(v);
    if (k >= 0) {
      ConstValue(r) = k;
      kind = kind == kNMul ? kNShl : (isUnsigned ? kNShr : kNSar);
    }
  }
  if (IsConst(r) && (kind == kNDiv || kind == kNMod) && ConstValue(r) == 0) Fail(kErrDivideByZero);
  return MakeNode(kind, l, r, 0, 2);
}

int32_t Wider(int32_t a, int32_t b) {
  int sa = BasicWidth(a), sb = BasicWidth(b);
  if (sa != sb) return sa > sb ? a : b;
  return IsUnsigned(a) ? a : b;
}

void RequireInteger(int32_t t) {
  if (!IsInteger(t)) Fail(kErrType);
}

int32_t ElementSize(int32_t pointer) { return SizeOf(Target(pointer)); }

int Scale(int n, int32_t pointer) {
  int32_t size = ElementSize(pointer);
  int c = MakeNode(kNConst, size);
  return Arith(kNMul, n, c, false);
}

int ParseCond();
int ParseUnary();
int ParsePostfixOn(int n);

// The + and - rules with pointer scaling; leaves the result type in ExprType.
int AddSub(bool add, int l, int32_t lt, int r, int32_t rt) {
  if (IsInteger(lt) && IsInteger(rt)) {
    ExprType = Wider(lt, rt);
    return Arith(add ? kNAdd : kNSub, l, r, IsUnsigned(ExprType));
  }
  if (IsPointer(lt) && IsInteger(rt)) {
    r = Scale(r, lt);
    ExprType = lt;
    return Arith(add ? kNAdd : kNSub, l, r, true);
  }
  if (add && IsInteger(lt) && IsPointer(rt)) {
    l = Scale(l, rt);
    ExprType = rt;
    return Arith(kNAdd, l, r, true);
  }
  if (!add && IsPointer(lt) && IsPointer(rt)) {
    CheckSameType(lt, rt);
    int32_t size = ElementSize(lt);
    int diff = Arith(kNSub, l, r, false);
    // The byte difference is divided signed, so p - q < 0 stays negative.
    int n = Arith(kNDiv, diff, MakeNode(kNConst, size), false);
    ExprType = kTLong;
    return n;
  }
  Fail(kErrType);
}

// Indirection rule: a pointer gives its target, an integer a char object.
int Indirect(int addr, int32_t t) {
  if (IsPointer(t))
    ExprType = Target(t);
  else if (IsInteger(t))
    ExprType = kTChar;
  else
    Fail(kErrType);
  return MakeNode(kNIndir, addr);
}

int IncDec(int n, bool pre, bool inc) {
  if (!IsLvalue(n)) Fail(kErrNoVariable);
  int32_t t = ExprType;
  if (!IsInteger(t) && !IsPointer(t)) Fail(kErrType);
  int node;
  int size = IsPointer(t) ? 4 : BasicWidth(t);
  if (size == 4) {
    int32_t step = IsPointer(t) ? ElementSize(t) : 1;
    node = MakeNode(pre ? kNPreStep : kNPostStep, n, inc ? step : -step, 0, 2);
  } else {
    int base = size == 1 ? kNPreInc8 : kNPreInc16;
    int offset = inc ? (pre ? 0 : 1) : (pre ? 2 : 3);
    node = MakeNode(base + offset, n);
  }
  ExprType = Widen(t);
  return node;
}

// Member after `.` or `->`: the name is looked up with the struct's suffix.
int ReadMember(int32_t structType, int32_t* offset) {
  MemberScope = StructScope(structType);
  Next();
  MemberScope = 0;
  if (Tok != kTokIdent || Sym(TokSym).kind != kSymMember) Fail(kErrType);
  *offset = MemberOffset(TokSym);
  int32_t type = Sym(TokSym).type;
  Next();
  return type;
}

// An undeclared name: a call declares an int function; otherwise only a
// name in the extern-function table is accepted (it names that function).
int UndeclaredName(int sym) {
  Next();
  Addr address;
  if (Tok != kTokLParen && !ExternLookup(Sym(sym).name, &address)) Fail(kErrUndefined);
  Sym(sym).kind = kSymFunction;
  Sym(sym).type = IntFunctionType();
  Sym(sym).value = NewLabel();
  ExprType = Sym(sym).type;
  return MakeNode(kNFunc, sym);
}

// primary = number | string+ | identifier
int ParsePrimary() {
  switch (Tok) {
    case kTokNumber: {
      int n = Const(TokValue);
      Next();
      return n;
    }
    case kTokString: {
      uint32_t text = TokText;
      int32_t length = TokLength;
      Next();
      while (Tok == kTokString) {
        if (TokText == text + uint32_t(length)) {
          std::memmove(Work->names + text + length - 1, Work->names + TokText, size_t(TokLength));
          length += TokLength - 1;
          NameTop = text + uint32_t(length);
        } else {
          uint32_t joined = NameTop;
          if (NameTop + uint32_t(length) + uint32_t(TokLength) >= kNameBufferBytes) Fail(kErrNameBuffer);
          std::memcpy(Work->names + joined, Work->names + text, size_t(length - 1));
          std::memcpy(Work->names + joined + length - 1, Work->names + TokText, size_t(TokLength));
          text = joined;
          length += TokLength - 1;
          NameTop = joined + uint32_t(length);
        }
        Next();
      }
      ExprType = MakeArray(kTChar, length);
      return MakeNode(kNString, int32_t(text), length, 0, 2);
    }
    case kTokIdent: {
      int sym = TokSym;
      SymbolEntry& e = Sym(sym);
      int n;
      switch (e.kind) {
        case kSymGlobal:
          n = MakeNode(kNGlobal, e.value, sym, 0, 2);
          break;
        case kSymLocal:
          n = MakeNode(kNLocal, e.value);
          break;
        case kSymFunction:
          n = MakeNode(kNFunc, sym);
          break;
        case kSymUndefined:
          return UndeclaredName(sym);
        case kSymTypedef:
        case kSymTag:
          Fail(kErrExpression);
        default:
          Fail(kErrUndefined);
      }
      ExprType = e.type;
      Next();
      return n;
    }
    default:
      Fail(kErrExpression);
  }
}

// call = postfix "(" (assign ("," assign)*)? ")"
int ParseCall(int fn) {
  int32_t t = ExprType;
  int k = Kind(fn);
  if (!IsFunction(t) || (k != kNFunc && k != kNIndir)) Fail(kErrType);
  int32_t result = Target(t);
  Next();
  int list = 0;
  if (Tok != kTokRParen) {
    for (;;) {
      int a = RValue(ParseAssign());
      list = MakeNode(kNArg, a, list, 0, 2);
      if (Tok != kTokComma) break;
      Next();
    }
  }
  Expect(kTokRParen, "')'");
  ExprType = Widen(result);
  return MakeNode(kNCall, fn, list, 0, 2);
}

// postfix = primary ("[" expr "]" | "(" args ")" | "." ident | "->" ident)* ("++" | "--")?
int ParsePostfixOn(int n) {
  for (;;) {
    if (Tok == kTokLBracket) {
      Next();
      int l = RValue(n);
      int32_t lt = ExprType;
      int i = RValue(ParseExpr());
      int32_t it = ExprType;
      Expect(kTokRBracket, "']'");
      int sum = AddSub(true, l, lt, i, it);
      n = Indirect(sum, ExprType);
    } else if (Tok == kTokLParen) {
      n = ParseCall(n);
    } else if (Tok == kTokDot) {
      int32_t t = ExprType;
      if (!IsStructType(t) || !IsLvalue(n)) Fail(kErrType);
      int32_t offset;
      int32_t mt = ReadMember(t, &offset);
      if (Kind(n) == kNGlobal)
        n = MakeNode(kNGlobal, GlobalAddress(n) + offset, GlobalSymbol(n), 0, 2);
      else if (Kind(n) == kNLocal)
        n = MakeNode(kNLocal, LocalOffset(n) + offset);
      else if (offset != 0)
        n = MakeNode(kNIndir, Arith(kNAdd, Operand(n), MakeNode(kNConst, offset), true));
      ExprType = mt;
    } else if (Tok == kTokArrow) {
      int l = RValue(n);
      int32_t t = ExprType;
      if (!IsPointer(t) || !IsStructType(Target(t))) Fail(kErrType);
      int32_t offset;
      int32_t mt = ReadMember(Target(t), &offset);
      if (offset != 0) l = Arith(kNAdd, l, MakeNode(kNConst, offset), true);
      n = MakeNode(kNIndir, l);
      ExprType = mt;
    } else {
      break;
    }
  }
  if (Tok == kTokInc || Tok == kTokDec) {
    n = IncDec(n, false, Tok == kTokInc);
    Next();
  }
  return n;
}

int ParseSizeof() {
  Next();
  int32_t t;
  if (Tok == kTokLParen) {
    Next();
    if (IsTypeStart()) {
      t = ParseTypeName();
      Expect(kTokRParen, "')'");
    } else {
      ParseExpr();
      t = ExprType;
      Expect(kTokRParen, "')'");
    }
  } else {
    ParseUnary();
    t = ExprType;
  }
  return Const(SizeOf(t));
}

// unary = ("!" | "~" | "-" | "*" | "&" | "++" | "--") unary | sizeof | cast | postfix
int ParseUnary() {
  EnterNesting();
  int n;
  switch (Tok) {
    case kTokNot:
      Next();
      n = MakeNode(kNNot, RValue(ParseUnary()));
      ExprType = kTLong;
      break;
    case kTokCompl:
    case kTokSub: {
      bool neg = Tok == kTokSub;
      Next();
      n = RValue(ParseUnary());
      RequireInteger(ExprType);
      if (IsConst(n))
        ConstValue(n) = neg ? int32_t(0u - uint32_t(ConstValue(n))) : ~ConstValue(n);
      else
        n = MakeNode(neg ? kNNeg : kNCompl, n);
      break;
    }
    case kTokMul:
      Next();
      n = RValue(ParseUnary());
      n = Indirect(n, ExprType);
      break;
    case kTokAnd: {
      Next();
      n = ParseUnary();
      int k = Kind(n);
      if (!IsLvalue(n) && k != kNFunc) Fail(kErrNoVariable);
      ExprType = MakePointer(ExprType);
      n = MakeNode(kNAddr, n);
      break;
    }
    case kTokInc:
    case kTokDec: {
      bool inc = Tok == kTokInc;
      Next();
      n = IncDec(ParseUnary(), true, inc);
      break;
    }
    case kTokSizeof:
      n = ParseSizeof();
      break;
    case kTokLParen:
      Next();
      if (IsTypeStart()) {
        int32_t t = ParseTypeName();
        Expect(kTokRParen, "')'");
        n = ParseUnary();
        // An array or function has no width to reread: it is cast as its address.
        if (IsArray(ExprType) || IsFunction(ExprType)) n = RValue(n);
        ExprType = t;
      } else {
        n = ParseExpr();
        Expect(kTokRParen, "')'");
        n = ParsePostfixOn(n);
      }
      break;
    default:
      // Most primaries stand alone: the postfix loop is entered only for
      // a token that continues one.
      n = ParsePrimary();
      if (Tok == kTokLBracket || Tok == kTokLParen || Tok == kTokDot || Tok == kTokArrow || Tok == kTokInc ||
          Tok == kTokDec)
        n = ParsePostfixOn(n);
      break;
  }
  LeaveNesting();
  return n;
}

bool Signed(int32_t t) { return IsInteger(t) && !IsUnsigned(t); }

// Binding strength of the two-operand operators, from || (4) to * / % (13);
// 0 for anything else.
int Precedence(int token) {
  switch (token) {
    case kTokLOr:
      return 4;
    case kTokLAnd:
      return 5;
    case kTokOr:
      return 6;
    case kTokXor:
      return 7;
    case kTokAnd:
      return 8;
    case kTokEq:
    case kTokNe:
      return 9;
    case kTokLt:
    case kTokLe:
    case kTokGt:
    case kTokGe:
      return 10;
    case kTokShl:
    case kTokShr:
      return 11;
    case kTokAdd:
    case kTokSub:
      return 12;
    case kTokMul:
    case kTokDiv:
    case kTokMod:
      return 13;
    default:
      return 0;
  }
}

// The type rule and node of one two-operand operator; the result type is
// left in ExprType.
int Combine(int op, int l, int32_t lt, int r, int32_t rt) {
  switch (op) {
    case kTokAdd:
    case kTokSub:
      return AddSub(op == kTokAdd, l, lt, r, rt);
    case kTokLt:
    case kTokLe:
    case kTokGt:
    case kTokGe: {
      int kind = op == kTokLt ? kNLt : op == kTokLe ? kNLe : op == kTokGt ? kNGt : kNGe;
      if (!(Signed(lt) && Signed(rt))) kind += kNGtU - kNGt;
      ExprType = kTLong;
      return MakeNode(kind, l, r, 0, 2);
    }
    case kTokEq:
    case kTokNe:
    case kTokLAnd:
    case kTokLOr: {
      int kind = op == kTokEq ? kNEq : op == kTokNe ? kNNe : op == kTokLAnd ? kNLAnd : kNLOr;
      ExprType = kTLong;
      return MakeNode(kind, l, r, 0, 2);
    }
    default:
      break;
  }
  // * / % << >> & ^ |: integers; the wider type, the unsigned one at equal width.
  RequireInteger(lt);
  RequireInteger(rt);
  int32_t t = Wider(lt, rt);
  bool u = IsUnsigned(t);
  int kind;
  switch (op) {
    case kTokMul:
      kind = kNMul;
      break;
    case kTokDiv:
      kind = kNDiv;
      break;
    case kTokMod:
      kind = kNMod;
      break;
    case kTokShl:
      kind = kNShl;
      break;
    case kTokShr:
      kind = u ? kNShr : kNSar;
      break;
    case kTokAnd:
      kind = kNAnd;
      break;
    case kTokXor:
      kind = kNXor;
      break;
    default:
      kind = kNOr;
      break;
  }
  int n = Arith(kind, l, r, u);
  ExprType = t;
  return n;
}

// binary = unary (op binary)*, by precedence climbing over the levels
// logor, logand, bitor, bitxor, bitand, equality, relational, shift, add, mul.
// An operand without an operator stays as it was (it may be an lvalue).
int ParseBinary(int minPrec) {
  int l = ParseUnary();
  int p = Precedence(Tok);
  if (p == 0 || p < minPrec) return l;
  l = RValue(l);
  int32_t lt = ExprType;
  while ((p = Precedence(Tok)) != 0 && p >= minPrec) {
    int op = Tok;
    Next();
    int r = RValue(ParseBinary(p + 1));
    l = Combine(op, l, lt, r, ExprType);
    lt = ExprType;
  }
  ExprType = lt;
  return l;
}

// cond = logor ("?" expr ":" cond)?
int ParseCond() {
  int c = ParseBinary(4);
  if (Tok != kTokQuestion) return c;
  c = RValue(c);
  Next();
  int t = RValue(ParseExpr());
  int32_t tt = ExprType;
  Expect(kTokColon, "':'");
  int f = RValue(ParseCond());
  int32_t ft = ExprType;
  ExprType = (ft == kTLong || (ft == kTULong && tt != kTLong)) ? tt : ft;
  if (IsConst(c)) return ConstValue(c) ? t : f;
  return MakeNode(kNCond, c, t, f, 3);
}

int CompoundKind(int token, int32_t type) {
  switch (token) {
    case kTokAddEq:
      return kNAdd;
    case kTokSubEq:
      return kNSub;
    case kTokMulEq:
      return kNMul;
    case kTokDivEq:
      return kNDiv;
    case kTokModEq:
      return kNMod;
    case kTokShlEq:
      return kNShl;
    case kTokShrEq:
      return IsUnsigned(type) ? kNShr : kNSar;
    case kTokAndEq:
      return kNAnd;
    case kTokOrEq:
      return kNOr;
    case kTokXorEq:
      return kNXor;
    default:
      return 0;
  }
}

bool IsAssignToken(int t) {
  return t == kTokAssign || t == kTokAddEq || t == kTokSubEq || t == kTokMulEq || t == kTokDivEq ||
         t == kTokModEq || t == kTokShlEq || t == kTokShrEq || t == kTokAndEq || t == kTokOrEq ||
         t == kTokXorEq;
}

}  // namespace

int RValue(int n) {
  int k = Kind(n);
  int32_t t = ExprType;
  if (IsLvalue(n)) {
    if (IsArray(t)) {
      ExprType = MakePointer(Target(t));
      return MakeNode(kNAddr, n);
    }
    if (IsFunction(t)) {
      ExprType = MakePointer(t);
      return MakeNode(kNAddr, n);
    }
    if (IsStructType(t)) Fail(kErrType);
    int base = k == kNGlobal ? kNLoadG : k == kNLocal ? kNLoadL : kNLoadI;
    ExprType = Widen(t);
    return MakeNode(base + WidthOf(t), n);
  }
  if (IsFunction(t))
    ExprType = MakePointer(t);
  else if (IsArray(t))
    ExprType = MakePointer(Target(t));
  return n;
}

// assign = cond (assign-op assign)?
int ParseAssign() {
  EnterNesting();
  int l = ParseCond();
  if (!IsAssignToken(Tok)) {
    LeaveNesting();
    return l;
  }
  int op = Tok;
  int32_t lt = ExprType;
  Next();
  if (!IsLvalue(l) || !(IsInteger(lt) || IsPointer(lt))) Fail(kErrNoVariable);
  int r = RValue(ParseAssign());
  int32_t rt = ExprType;
  int n;
  if (op == kTokAssign) {
    n = MakeNode(kNAssign + WidthOf(lt), l, r, 0, 2);
  } else {
    if ((op == kTokAddEq || op == kTokSubEq) && IsPointer(lt)) {
      RequireInteger(rt);
      r = Scale(r, lt);
    } else if (op != kTokAddEq && op != kTokSubEq) {
      RequireInteger(lt);
      RequireInteger(rt);
    }
    int kind = CompoundKind(op, IsInteger(rt) && IsInteger(lt) ? Wider(Widen(lt), rt) : lt);
    n = MakeNode(kNCompound + WidthOf(lt), l, r, kind, 3);
  }
  ExprType = Widen(lt);
  LeaveNesting();
  return n;
}

// expr = assign ("," assign)*
int ParseExpr() {
  int l = ParseAssign();
  while (Tok == kTokComma) {
    Next();
    int r = RValue(ParseAssign());
    l = MakeNode(kNComma, l, r, 0, 2);
  }
  return l;
}

int ParseConstant() {
  int n = RValue(ParseCond());
  if (!IsConst(n)) Fail(kErrNoConstant);
  return ConstValue(n);
}

}  // namespace qavz::compiler
