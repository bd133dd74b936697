// Declarations: type specifiers, declarators, struct and union bodies,
// global, static and local variables with their initialisers, prototypes,
// function definitions and native stubs.
#include <cstring>

#include "compiler/internal.h"

namespace qavz::compiler {

namespace {

// What a declarator produced: its names (global and local entries), its type
// and whether it carried a non-empty parameter list.
struct Declarator {
  int global = -1;
  int local = -1;
  int32_t type = kTLong;
  bool params = false;
};

// Declarator context.
enum DeclContext { kTopLevel, kParameter, kMember, kLocal, kOldStyle, kAbstract };

// Type constructors collected while reading a declarator, applied in order.
struct TypeOp {
  int kind;  // kRecPointer, kRecArray, kRecFunction
  int32_t count;
};
constexpr int kMaxOps = 64;

void ReadDeclarator(int32_t base, Declarator& d, DeclContext ctx);

int32_t FrameLocals = 0;  // bytes of locals in the current function
int CurrentEpilogue = 0;

void Expect(int token, const char* what) {
  if (Tok == token)
    Next();
  else
    MissingToken(what);
}

int32_t ParseTypeSpec(bool* found);

// struct-or-union = ("struct" | "union") ident? ("{" member-decl* "}")?
int32_t ParseStructSpec() {
  int kind = Tok == kTokStruct ? kRecStruct : kRecUnion;
  int outer = MemberScope;
  MemberScope = 0;  // the tag is a plain name
  Next();
  MemberScope = outer;
  int tagGlobal = -1, tagLocal = -1;
  if (Tok == kTokIdent) {
    tagGlobal = TokGlobal;
    tagLocal = TokLocal;
    Next();
  }
  if (Tok == kTokLBrace) {
    int tag = InFunction && tagLocal >= 0 ? tagLocal : tagGlobal;
    if (tag >= 0 && Sym(tag).kind != kSymUndefined) Fail(kErrDeclaration);
    int32_t type = MakeStruct(kind, -1, ++MemberScopeCount);
    if (tag >= 0) {
      Sym(tag).kind = kSymTag;
      Sym(tag).type = type;
    }
    int scope = StructScope(type);
    int32_t size = 0;
    MemberScope = 0;  // the first token of each member declaration
    Next();
    while (Tok != kTokRBrace) {
      MemberScope = scope;
      bool found;
      int32_t base = ParseTypeSpec(&found);
      if (!found) {
        bool storage = Tok == kTokStatic || Tok == kTokExtern || Tok == kTokTypedef;
        Fail(storage ? kErrDeclaration : kErrType);
      }
      for (;;) {
        Declarator d;
        ReadDeclarator(base, d, kMember);
        if (d.global >= 0) {
          SymbolEntry& m = Sym(d.global);
          if (m.kind != kSymUndefined) Fail(kErrDeclaration);
          int32_t s = SizeOf(d.type);
          m.kind = kSymMember;
          m.type = d.type;
          m.value = kind == kRecStruct ? size : 0;
          if (kind == kRecStruct)
            size += s;
          else if (s > size)
            size = s;
          if (size > 0x3FFFFFFF) Fail(kErrDeclaration);
        }
        if (Tok != kTokComma) break;
        Next();
      }
      if (Tok != kTokSemi) Fail(kErrDeclaration);
      MemberScope = 0;
      Next();
    }
    StructSize(type) = size;
    MemberScope = outer;
    Next();
    return type;
  }
  if (tagGlobal < 0) Fail(kErrType);
  int tag = InFunction && tagLocal >= 0 && Sym(tagLocal).kind == kSymTag ? tagLocal : tagGlobal;
  if (Sym(tag).kind == kSymUndefined) Fail(kErrUndefined);
  if (Sym(tag).kind != kSymTag) Fail(kErrType);
  return Sym(tag).type;
}

// type-specifier: int, void, long, short, char, signed and unsigned forms,
// struct or union, or a typedef name. `found` is false when none is there.
int32_t ParseTypeSpec(bool* found) {
  *found = true;
  switch (Tok) {
    case kTokInt:
      Next();
      return kTLong;
    case kTokLong:
      Next();
      if (Tok == kTokInt) Next();
      return kTLong;
    case kTokShort:
      Next();
      if (Tok == kTokInt) Next();
      return kTShort;
    case kTokChar:
      Next();
      return kTChar;
    case kTokSigned:
      Next();
      if (Tok == kTokInt || Tok == kTokLong) return Next(), kTLong;
      if (Tok == kTokShort) return Next(), kTShort;
      if (Tok == kTokChar) return Next(), kTChar;
      return kTLong;
    case kTokUnsigned:
      Next();
      if (Tok == kTokInt || Tok == kTokLong) return Next(), kTULong;
      if (Tok == kTokShort) return Next(), kTUShort;
      if (Tok == kTokChar) return Next(), kTUChar;
      return kTULong;
    case kTokStruct:
    case kTokUnion:
      return ParseStructSpec();
    case kTokIdent:
      if (Sym(TokSym).kind == kSymTypedef) {
        int32_t t = Sym(TokSym).type;
        Next();
        return t;
      }
      break;
    default:
      break;
  }
  *found = false;
  return kTLong;
}

void DeclareParameter(int local, int32_t type, int32_t* offset) {
  if (local < 0) return;
  SymbolEntry& e = Sym(local);
  if (e.kind != kSymUndefined) Fail(kErrDeclaration);
  e.kind = kSymLocal;
  e.type = type;
  e.value = *offset;
  e.flags |= kFlagParam;
  *offset += 4;
}

void ReadOps(TypeOp* ops, int* count, Declarator& d, DeclContext ctx);

// parameter-list = param ("," param)* ; param = type-spec declarator | ident
void ParseParameterList() {
  int32_t offset = 8;
  for (;;) {
    bool found;
    int32_t base = ParseTypeSpec(&found);
    if (!found) {
      if (Tok != kTokIdent) Fail(kErrDeclaration);
      DeclareParameter(TokLocal, kTLong, &offset);
      Next();
    } else {
      Declarator p;
      ReadDeclarator(base, p, kParameter);
      DeclareParameter(p.local, p.type, &offset);
    }
    if (Tok != kTokComma) break;
    Next();
  }
}

void PushOp(TypeOp* ops, int* count, int kind, int32_t n) {
  if (*count >= kMaxOps) Fail(kErrDeclaration);
  ops[(*count)++] = {kind, n};
}

// declarator = "*"* (ident | "(" declarator ")") suffix*
// suffix = "[" const "]" | "[" "]" | "(" parameter-list? ")"
void ReadOps(TypeOp* ops, int* count, Declarator& d, DeclContext ctx) {
  EnterNesting();
  int stars = 0;
  while (Tok == kTokMul) Next(), ++stars;
  TypeOp inner[kMaxOps];
  int innerCount = 0;
  if (Tok == kTokLParen) {
    Next();
    ReadOps(inner, &innerCount, d, ctx);
    Expect(kTokRParen, "')'");
  } else if (Tok == kTokIdent && ctx != kAbstract) {
    d.global = TokGlobal;
    d.local = TokLocal;
    Next();
  } else if (ctx != kAbstract) {
    MissingToken("識別子");
  }
  TypeOp suffixes[kMaxOps];
  int suffixCount = 0;
  for (;;) {
    if (Tok == kTokLBracket) {
      Next();
      if (Tok == kTokRBracket) {
        if (ctx != kOldStyle) Fail(kErrDeclaration);
        Next();
        PushOp(suffixes, &suffixCount, kRecPointer, 0);
        continue;
      }
      int32_t n = ParseConstant();
      if (n < 0) Fail(kErrDeclaration);
      Expect(kTokRBracket, "']'");
      PushOp(suffixes, &suffixCount, kRecArray, n);
      continue;
    }
    if (Tok == kTokLParen) {
      bool top = ctx == kTopLevel && NestingDepth == 1;
      bool savedIn = InFunction, savedHigh = PoolFromHigh;
      if (ctx == kTopLevel) {
        // Everything made from a parameter list on comes from the high end.
        PoolHigh = kNodeWords;
        InFunction = true;
        PoolFromHigh = true;
      }
      Next();
      if (Tok != kTokRParen) {
        if (!top) Fail(kErrDeclaration);
        ParseParameterList();
        d.params = true;
      }
      Expect(kTokRParen, "')'");
      InFunction = savedIn;
      PoolFromHigh = savedHigh;
      PushOp(suffixes, &suffixCount, kRecFunction, 0);
      continue;
    }
    break;
  }
  for (int i = 0; i < stars; ++i) PushOp(ops, count, kRecPointer, 0);
  for (int i = suffixCount - 1; i >= 0; --i) PushOp(ops, count, suffixes[i].kind, suffixes[i].count);
  for (int i = 0; i < innerCount; ++i) PushOp(ops, count, inner[i].kind, inner[i].count);
  LeaveNesting();
}

int32_t ApplyOps(int32_t base, const TypeOp* ops, int count) {
  for (int i = 0; i < count; ++i) {
    if (ops[i].kind == kRecPointer)
      base = MakePointer(base);
    else if (ops[i].kind == kRecArray)
      base = MakeArray(base, ops[i].count);
    else
      base = MakeFunction(base);
  }
  return base;
}

bool IsConstNode(int n) { return Kind(n) == kNConst; }

void ListValue(int32_t type, int32_t v) {
  if (BasicWidth(type) == 1 && IsInteger(type))
    List("\t.byte %d\n", IsUnsigned(type) ? int(uint8_t(v)) : int(int8_t(v)));
  else if (BasicWidth(type) == 2 && IsInteger(type))
    List("\t.short %d\n", IsUnsigned(type) ? int(uint16_t(v)) : int(int16_t(v)));
  else
    List("\t.long %d\n", v);
}

void InitialiseData(int32_t type, Addr address);

void ListSkipped(int32_t bytes) {
  if (bytes > 0) List("\t.byte ? dup(%d)\n", bytes);
}

// Elements of an array initialiser, with or without braces; `element` is
// called for each given element index.
template <typename ElementFn>
void InitialiseArray(int32_t type, ElementFn element, bool listSkips) {
  int32_t elemType = Target(type);
  int32_t count = ArrayCount(type);
  int32_t size = SizeOf(elemType);
  bool brace = Tok == kTokLBrace;
  if (brace) Next();
  int32_t i = 0;
  for (;;) {
    if (brace && Tok == kTokRBrace) break;
    if (i >= count) {
      if (brace) Fail(kErrType);
      break;
    }
    if (Tok == kTokComma) {
      if (listSkips) ListSkipped(size);
      ++i;
      Next();
      continue;
    }
    element(elemType, i, size);
    ++i;
    if (Tok != kTokComma || (!brace && i >= count)) break;
    Next();
  }
  if (brace) {
    if (Tok != kTokRBrace) Fail(kErrType);
    Next();
  }
  if (listSkips) ListSkipped((count - i) * size);
}

// A global or static initial value, written at compile time.
void InitialiseData(int32_t type, Addr address) {
  if (IsArray(type)) {
    InitialiseArray(
        type, [&](int32_t elem, int32_t i, int32_t size) { InitialiseData(elem, address + Addr(i * size)); },
        true);
    return;
  }
  if (IsStructType(type)) Fail(kErrType);
  int n = RValue(ParseAssign());
  if (IsConstNode(n)) {
    int32_t v = ConstValue(n);
    WriteData(address, uint32_t(v), IsPointer(type) ? 4 : BasicWidth(type));
    ListValue(type, v);
    return;
  }
  if (!IsPointer(type)) Fail(kErrType);
  if (Kind(n) == kNString) {
    Addr text = PlaceString(uint32_t(StringText(n)), StringLength(n));
    WriteData(address, text, 4);
  } else if (Kind(n) == kNFunc) {
    WriteFunctionAddress(address, Sym(FunctionSymbol(n)).value);
    List("\t.long $%s\n", Sym(FunctionSymbol(n)).name);
  } else if (Kind(n) == kNAddr && Kind(Operand(n)) == kNGlobal) {
    Addr target = Addr(GlobalAddress(Operand(n)));
    WriteData(address, target, 4);
    List("\t.long %d\n", int32_t(target));
  } else {
    Fail(kErrType);
  }
}

// A local initialiser: stores compiled as code.
void InitialiseLocal(int32_t type, int32_t offset, const char* name, int32_t elemOffset, bool element) {
  if (IsArray(type)) {
    InitialiseArray(
        type,
        [&](int32_t elem, int32_t i, int32_t size) {
          InitialiseLocal(elem, offset + i * size, name, elemOffset + i * size, true);
        },
        false);
    return;
  }
  if (IsStructType(type)) Fail(kErrType);
  int mark = PoolHigh;
  int n = RValue(ParseAssign());
  int reg = EvalStatement(n);
  PoolHigh = mark;
  EmitLocalStore(offset, WidthOf(type), reg, name, elemOffset, element);
}

Addr PlaceGlobal(int32_t size) { return PlaceData(uint32_t(size)); }

void DeclareVariable(const Declarator& d, int storage, bool top) {
  int sym = top ? d.global : d.local;
  if (sym < 0) return;
  SymbolEntry& e = Sym(sym);
  if (storage == kTokTypedef) {
    if (e.kind != kSymUndefined) Fail(kErrDeclaration);
    e.kind = kSymTypedef;
    e.type = d.type;
    return;
  }
  if (IsFunction(d.type)) {
    if (!top) Fail(kErrDeclaration);
    if (e.kind == kSymFunction) {
      CheckSameType(e.type, d.type);
    } else {
      if (e.kind != kSymUndefined) Fail(kErrDeclaration);
      e.kind = kSymFunction;
      e.type = d.type;
      e.value = NewLabel();
    }
    return;
  }
  if (e.kind != kSymUndefined) Fail(kErrDeclaration);
  int32_t size = SizeOf(d.type);
  if (top && storage == kTokExtern) {
    // Extern data lives in the external area and must fit inside it.
    if (Tok == kTokAssign) Fail(kErrDeclaration);
    if (uint64_t(ExternSize) + uint32_t(size) > ExternalAreaSize()) Fail(kErrDeclaration);
    e.kind = kSymGlobal;
    e.type = d.type;
    e.value = int32_t(ExternalAreaBase() + ExternSize);
    e.flags |= kFlagExtern;
    ExternSize += uint32_t(size);
    return;
  }
  if (top || storage == kTokStatic) {
    Addr address = PlaceGlobal(size);
    if (!top) {
      char name[kMaxIdent + 8];
      std::snprintf(name, sizeof name, "%s.", e.name);
      e.name = StoreName(name, uint32_t(std::strlen(name)));
      e.flags |= kFlagStatic;
    }
    e.kind = kSymGlobal;
    e.type = d.type;
    e.value = int32_t(address);
    if (Tok == kTokAssign) {
      Next();
      List(".global\t%s\n", e.name);
      List("%s:\n", e.name);
      bool savedHigh = PoolFromHigh;
      InitialiseData(d.type, address);
      PoolFromHigh = savedHigh;
    }
    return;
  }
  FrameLocals += size;
  if (FrameLocals > 0x3FFFFFFF) Fail(kErrDeclaration);
  e.kind = kSymLocal;
  e.type = d.type;
  e.value = -20 - FrameLocals;
  if (Tok == kTokAssign) {
    Next();
    InitialiseLocal(d.type, e.value, e.name, 0, false);
  }
}

// Enters a function symbol (or checks it against an earlier declaration) and
// defines its code label here.
int StartFunction(const Declarator& d, int storage) {
  SymbolEntry& e = Sym(d.global);
  if (e.kind == kSymFunction) {
    CheckSameType(e.type, d.type);
    if (LabelDefined(e.value)) Fail(kErrInternal);
  } else {
    if (e.kind != kSymUndefined) Fail(kErrDeclaration);
    e.kind = kSymFunction;
    e.type = d.type;
    e.value = NewLabel();
  }
  if (storage == kTokStatic) e.flags |= kFlagStatic;
  DefineLabel(e.value);
  if (!(e.flags & kFlagStatic)) List(".global %s, @function\n", e.name);
  List("%s:\n", e.name);
  return d.global;
}

// A declaration after a `trap` line: a function whose body calls native N.
void NativeStub(Declarator& d, int storage) {
  int trap = PendingTrap;
  PendingTrap = -1;
  if (d.global < 0) return;
  if (!IsFunction(d.type)) d.type = MakeFunction(d.type);
  StartFunction(d, storage);
  ResetRegisters();  // the result must stay in r0
  EmitNativeStub(trap);
}

// Old-style parameter declarations between ")" and "{".
void ParseOldStyle() {
  while (Tok != kTokLBrace) {
    bool found;
    int32_t base = ParseTypeSpec(&found);
    for (;;) {
      Declarator p;
      ReadDeclarator(base, p, kOldStyle);
      if (p.local < 0) Fail(kErrDeclaration);
      SymbolEntry& e = Sym(p.local);
      if (e.kind != kSymLocal || !(e.flags & kFlagParam) || e.type != kTLong) Fail(kErrDeclaration);
      e.type = p.type;
      if (Tok != kTokComma) break;
      Next();
    }
    if (Tok != kTokSemi) Fail(kErrDeclaration);
    Next();
  }
}

// The function's static locals, in table order, after its code. The scan
// of the whole local table is only worth making for a listing; their sizes
// were already taken when they were declared.
void ListStaticLocals() {
  if (!ListingActive) return;
  for (int i = kGlobalSymbols; i < kSymbolCount; ++i) {
    const SymbolEntry& e = Sym(i);
    if (e.kind == kSymGlobal && (e.flags & kFlagStatic)) List(".lcomm %s, %d\n\n", e.name, SizeOf(e.type));
  }
}

void FunctionDefinition(const Declarator& d, int storage) {
  if (d.global < 0) Fail(kErrDeclaration);
  int sym = StartFunction(d, storage);
  if (storage == kTokExtern && OutBase) {
    if (!ExternRegister(Sym(sym).name, OutAddr + CodeSize)) Fail(kErrDeclaration);
  }
  InFunction = true;
  PoolFromHigh = true;
  ParseOldStyle();
  int enterPos;
  EmitPrologue(&enterPos, &CurrentEpilogue);
  FrameLocals = 0;
  ParseCompoundBody(true);
  EmitEpilogue(enterPos, CurrentEpilogue, FrameLocals);
  ListStaticLocals();
  InFunction = false;
  PoolFromHigh = false;
  BetweenDeclarations = true;
  Next();  // past the closing brace
}

void ReadDeclarator(int32_t base, Declarator& d, DeclContext ctx) {
  TypeOp ops[kMaxOps];
  int count = 0;
  ReadOps(ops, &count, d, ctx);
  d.type = ApplyOps(base, ops, count);
}

}  // namespace

int CurrentEpilogueLabel() { return CurrentEpilogue; }

// type-name = type-spec abstract-declarator (casts and sizeof)
int32_t ParseTypeName() {
  bool found;
  int32_t base = ParseTypeSpec(&found);
  Declarator d;
  ReadDeclarator(base, d, kAbstract);
  return d.type;
}

// top-declaration = storage? type-spec (";" | declarator init? ("," declarator init?)* ";" | function)
void ParseTopDeclaration() {
  int storage = 0;
  if (Tok == kTokStatic || Tok == kTokExtern || Tok == kTokTypedef) {
    storage = Tok;
    Next();
  }
  bool found;
  int32_t base = ParseTypeSpec(&found);
  if (Tok == kTokSemi) {
    BetweenDeclarations = true;
    Next();
    return;
  }
  for (bool first = true;; first = false) {
    Declarator d;
    ReadDeclarator(base, d, kTopLevel);
    if (first && PendingTrap >= 0) {
      NativeStub(d, storage);
    } else if (first && IsFunction(d.type) && (d.params || Tok == kTokLBrace)) {
      FunctionDefinition(d, storage);
      return;
    } else {
      DeclareVariable(d, storage, true);
    }
    if (Tok != kTokComma) break;
    Next();
  }
  if (Tok != kTokSemi) Fail(kErrDeclaration);
  BetweenDeclarations = true;
  Next();
}

// local-declaration = storage? type-spec (declarator init?) ("," ...)* ";"
void ParseLocalDeclaration() {
  int storage = 0;
  if (Tok == kTokStatic || Tok == kTokExtern || Tok == kTokTypedef) {
    storage = Tok;
    Next();
  }
  bool found;
  int32_t base = ParseTypeSpec(&found);
  if (Tok == kTokSemi) {
    Next();
    return;
  }
  for (;;) {
    Declarator d;
    ReadDeclarator(base, d, kLocal);
    DeclareVariable(d, storage == kTokExtern ? 0 : storage, false);
    if (Tok != kTokComma) break;
    Next();
  }
  if (Tok != kTokSemi) Fail(kErrDeclaration);
  Next();
}

}  // namespace qavz::compiler
