// State and helpers shared by the compiler's files. Compiles never overlap, so
// the whole compiler is one set of globals, reset at every compile start and
// dropped at once through the abort point.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "vm/arena.h"
#include "vm/opcodes.h"

namespace qavz::compiler {

// ---- limits ---------------------------------------------------------------
constexpr int kFrameCount = 16;  // main file + 15 nested includes
constexpr int kPathBytes = 260;
constexpr int kIncludeListBytes = 4096;
constexpr int kLineBytes = 4096;
constexpr int kMaxLine = 4094;  // bytes before the line feed
constexpr int kMaxIdent = 4094;
constexpr int kMacroDepth = 16;
constexpr uint32_t kNameBufferBytes = 262144;
constexpr uint32_t kMacroArgBytes = 16384;
constexpr int kGlobalSymbols = 7168;
constexpr int kLocalSymbols = 1024;
constexpr int kSymbolCount = kGlobalSymbols + kLocalSymbols;
constexpr int kNodeWords = 4096;
constexpr int kLabelCount = 65536;  // numbered from 1
constexpr int kSpillDepth = 4096;   // deeper than any tree the pool can hold
constexpr int kErrorTextBytes = 8192;
constexpr int kMessageBytes = 1024;
constexpr int kNestingLimit = 1000;            // parser recursion (parentheses, blocks)
constexpr uint64_t kMacroBudget = 256u << 10;  // macro characters, plus 32 per source byte

// ---- error codes (messages in diagnostics.cpp) ----------------------------
enum ErrorCode {
  kErrInternal = 0,
  kErrMemory = 1,
  kErrOpen = 2,
  kErrRead = 3,
  kErrDirective = 4,
  kErrIncludeName = 5,
  kErrIncludeDepth = 6,
  kErrMacroDepth = 7,
  kErrDeclaration = 8,
  kErrExpression = 9,
  kErrDivideByZero = 10,
  kErrNoConstant = 11,
  kErrSyntax = 12,
  kErrNoVariable = 13,
  kErrType = 14,
  kErrUndefined = 15,
  kErrStringLine = 16,
  kErrQuote = 17,
  kErrGlobalFull = 18,
  kErrLocalFull = 19,
  kErrNameBuffer = 20,
  kErrLineLength = 21,
  kErrHeap = 22,
  kErrProgramArea = 23,
  kErrEof = 24,
};

// Thrown by Fail to the one abort point in the driver; a compile that
// succeeds returns normally.
struct CompileAbort {};

// ---- diagnostics (diagnostics.cpp) ----------------------------------------
[[noreturn]] void Fail(int code);
// "%s(%d) : %s がありません": does not stop or fail the compile.
void MissingToken(const char* what);
// Appends one formatted message (at most 1,024 bytes) to the error text.
void Message(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shift-JIS bytes as UTF-8 for messages (bounded, in a rotating buffer).
const char* MessageText(const char* sjis, int length = -1);
void ResetDiagnostics(bool collect);
std::string TakeErrorText();
// mode: CompileMessages as int; `gnuText` is the GNU form, empty when off.
void ShowErrorText(const std::string& text, const std::string& gnuText, int mode);
extern bool BetweenDeclarations;  // end of file here is the normal end

// ---- messages in GNU form (gnu_form.cpp) ----------------------------------
bool GnuFormOn();
const char* GlossText(int code);
void ResetGnuText();
// file[:line:column]: KIND: TEXT [GLOSS] at the top frame's place (UTF-8 text).
void GnuNote(const char* kind, const std::string& text, const std::string& gloss, bool located);
// Lines shown under the last message as they stand (the source and caret).
void GnuLines(const std::string& lines);
std::string TakeGnuText();

// ---- characters and source reader (source_reader.cpp) ---------------------
enum CharClass : uint8_t {
  kClsSpace = 0x01,
  kClsDigit = 0x02,
  kClsHex = 0x04,
  kClsLower = 0x08,
  kClsUpper = 0x10,
  kClsIdent = 0x20,
  kClsLead = 0x80,
};
extern uint8_t CharClasses[256];
inline bool Is(int c, uint8_t cls) { return (CharClasses[uint8_t(c)] & cls) != 0; }

struct SourceFrame {
  char path[kPathBytes];
  std::vector<uint8_t> bytes;  // the file as read
  uint32_t pos;
  uint32_t size;  // file size + 1: a line feed follows the last byte
  int line;
};
extern SourceFrame Frames[kFrameCount];
extern std::vector<std::string> SourcesRead;  // every source the compile opened, in order
extern int FrameTop;                          // index of the top frame, -1 before the main file
extern char LineBuffer[kLineBytes];
extern const char* ReadPtr;  // next character of the line or macro body
extern int Ch;               // current character, kEndOfSource after the end
// The end of the main file between top-level declarations: the source has
// ended normally (SourceEnded), Ch is kEndOfSource and stays so, and Next
// gives kTokEof. Anywhere else the end of file is error 24.
constexpr int kEndOfSource = -1;
extern bool SourceEnded;
extern int CommentDepth;
extern int MacroDepth;
extern int PendingTrap;

void ResetReader();
void BuildCharClasses();
void OpenMainFile(const char* path);
void FreeFrames();
// The next character: the common case (plain text of the current line) is
// inline; line ends, macro bodies and pasting take the slow path.
int ReadCharSlow();
inline int ReadChar() {
  if (MacroDepth == 0 && *ReadPtr) return Ch = uint8_t(*ReadPtr++);
  return ReadCharSlow();
}
inline int SkipWhite() {
  while (Is(Ch, kClsSpace)) {
    if (MacroDepth == 0) {
      // Blanks of the current line are stepped over without a call; the
      // zero that ends the line buffer is no blank.
      const char* p = ReadPtr;
      while (Is(*p, kClsSpace)) ++p;
      ReadPtr = p;
      if (*p) return Ch = uint8_t(*ReadPtr++);
    }
    ReadChar();
  }
  return Ch;
}
// Reads an identifier at the current character into `out` (zero-ended, at
// most kMaxIdent bytes kept); false when it cannot start one.
bool ReadIdentifier(char* out);
// Macro call for symbol `sym` whose name was just read.
void ExpandMacro(int sym);
// Byte offset of the caret in the line buffer.
int CaretColumn();
int MainLineCount();

// ---- symbols and tokens (tokenizer.cpp) -----------------------------------
enum SymKind : int32_t {
  kSymEmpty = 0,
  kSymUndefined,
  kSymKeyword,
  kSymMacro,
  kSymGlobal,
  kSymLocal,
  kSymFunction,
  kSymTag,
  kSymMember,
  kSymTypedef,
  kSymLabel,
  kSymLabelUsed,
};
enum SymFlag : int32_t {
  kFlagStatic = 1,
  kFlagExtern = 2,
  kFlagParams = 4,
  kFlagParam = 8,
  kFlagDefined = 16,
};
struct SymbolEntry {
  const char* name;
  const char* text;  // macro body
  int32_t kind;
  int32_t type;   // type; parameter count for macros
  int32_t value;  // data address, frame offset, label number, member offset
  int32_t flags;
  uint32_t hash;  // of the name up to any '.', compared before the name
};

enum Token : int32_t {
  kTokEof = 0,
  kTokIdent,
  kTokNumber,
  kTokString,
  // keywords
  kTokInt,
  kTokVoid,
  kTokChar,
  kTokStruct,
  kTokUnion,
  kTokSigned,
  kTokUnsigned,
  kTokStatic,
  kTokGoto,
  kTokReturn,
  kTokBreak,
  kTokContinue,
  kTokIf,
  kTokElse,
  kTokFor,
  kTokDo,
  kTokWhile,
  kTokSwitch,
  kTokCase,
  kTokDefault,
  kTokTypedef,
  kTokSizeof,
  kTokLong,
  kTokShort,
  kTokExtern,
  // operators
  kTokNot,
  kTokNe,
  kTokMod,
  kTokModEq,
  kTokAnd,
  kTokAndEq,
  kTokLAnd,
  kTokMul,
  kTokMulEq,
  kTokAdd,
  kTokAddEq,
  kTokInc,
  kTokSub,
  kTokSubEq,
  kTokDec,
  kTokArrow,
  kTokDiv,
  kTokDivEq,
  kTokLt,
  kTokLe,
  kTokShl,
  kTokShlEq,
  kTokGt,
  kTokGe,
  kTokShr,
  kTokShrEq,
  kTokAssign,
  kTokEq,
  kTokXor,
  kTokXorEq,
  kTokOr,
  kTokOrEq,
  kTokLOr,
  kTokCompl,
  kTokQuestion,
  kTokColon,
  kTokLParen,
  kTokRParen,
  kTokLBracket,
  kTokRBracket,
  kTokLBrace,
  kTokRBrace,
  kTokComma,
  kTokSemi,
  kTokDot,
};

struct WorkBlock {
  char names[kNameBufferBytes];
  char macroArgs[kMacroArgBytes];
  SymbolEntry symbols[kSymbolCount];
};
extern WorkBlock* Work;
extern uint32_t NameTop;
extern uint32_t MacroArgTop;
inline SymbolEntry& Sym(int index) { return Work->symbols[index]; }

extern int32_t Tok;         // current token
extern int32_t TokValue;    // number value
extern int TokSym;          // current symbol (global or local entry)
extern int TokGlobal;       // global entry of the identifier
extern int TokLocal;        // local entry, -1 outside functions
extern uint32_t TokText;    // string literal: offset in the name buffer
extern int32_t TokLength;   // string literal length with the zero byte
extern bool InFunction;     // parameter lists, local declarations, statements
extern bool InDeclaration;  // declarator names are local entries
extern int MemberScope;     // member names get the "_%d" suffix while set
extern int MemberScopeCount;

void ResetSymbols();
void EnterKeywords();
void Next();
int FindGlobal(const char* name, bool make);
int FindLocal(const char* name);
void ClearLocals();
// Copies `len` bytes (and a zero) to the name buffer; error 20 when full.
const char* StoreName(const char* text, uint32_t len);
bool IsTypeStart();

// ---- types and the node pool (types.cpp) ----------------------------------
enum BasicType : int32_t {
  kTLong = -1,
  kTShort = -2,
  kTChar = -3,
  kTULong = -4,
  kTUShort = -5,
  kTUChar = -6,
};
enum RecordKind : int32_t { kRecPointer = 1, kRecArray, kRecStruct, kRecUnion, kRecFunction };

extern int32_t Pool[kNodeWords];
extern int PoolLow;   // next free word from the low end
extern int PoolHigh;  // lowest word used from the high end
extern bool PoolFromHigh;
// Records of the outermost level come from the low end and live for the
// compile; everything from a function's parameter list on comes from the
// high end, which callers wind back after each expression.
inline int Alloc(int words) {
  if (PoolFromHigh) {
    if (PoolHigh - words < PoolLow) Fail(kErrHeap);
    PoolHigh -= words;
    return PoolHigh;
  }
  if (PoolLow + words > PoolHigh) Fail(kErrHeap);
  int at = PoolLow;
  PoolLow += words;
  return at;
}

inline int MakeNode(int kind, int32_t a = 0, int32_t b = 0, int32_t c = 0, int operands = 1) {
  int n = Alloc(1 + operands);
  Pool[n] = kind;
  if (operands > 0) Pool[n + 1] = a;
  if (operands > 1) Pool[n + 2] = b;
  if (operands > 2) Pool[n + 3] = c;
  return n;
}

int32_t MakePointer(int32_t target);
int32_t MakeArray(int32_t element, int32_t count);
int32_t MakeStruct(int kind, int32_t size, int32_t scope);
int32_t MakeFunction(int32_t result);
inline bool IsBasic(int32_t t) { return t < 0; }
inline int RecKind(int32_t t) { return t < 0 ? 0 : Pool[t]; }
inline bool IsPointer(int32_t t) { return RecKind(t) == kRecPointer; }
inline bool IsArray(int32_t t) { return RecKind(t) == kRecArray; }
inline bool IsFunction(int32_t t) { return RecKind(t) == kRecFunction; }
inline bool IsStructType(int32_t t) { return RecKind(t) == kRecStruct || RecKind(t) == kRecUnion; }
inline bool IsInteger(int32_t t) { return t < 0; }
inline bool IsUnsigned(int32_t t) { return t <= kTULong || (t >= 0 && RecKind(t) == kRecPointer); }
// Type records: the RecordKind, then a pointer's target, an array's element
// type and count, a struct's or union's size and member scope, or a
// function's result type.
inline int32_t Target(int32_t t) { return Pool[t + 1]; }  // pointer, array or function
inline int32_t ArrayCount(int32_t t) { return Pool[t + 2]; }
inline int32_t& StructSize(int32_t t) { return Pool[t + 1]; }  // -1 until the body is read
inline int32_t StructScope(int32_t t) { return Pool[t + 2]; }  // suffix of its member names
inline int32_t MemberOffset(int member) { return Sym(member).value; }
int32_t SizeOf(int32_t type);
// 1, 2 or 4.
inline int BasicWidth(int32_t type) {
  if (type == kTChar || type == kTUChar) return 1;
  if (type == kTShort || type == kTUShort) return 2;
  return 4;
}

// The type a value of `type` has in a register.
inline int32_t Widen(int32_t type) {
  if (type == kTChar || type == kTShort) return kTLong;
  if (type == kTUChar || type == kTUShort) return kTULong;
  return type;
}

void CheckSameType(int32_t a, int32_t b);
bool SameType(int32_t a, int32_t b);

// ---- expression nodes (expressions.cpp builds, codegen.cpp compiles) ------
// Width index of loads, stores and assignments.
enum Width { kWLong = 0, kWChar, kWUChar, kWShort, kWUShort };
enum NodeKind : int32_t {
  kNConst = 1,
  kNString,
  kNGlobal,
  kNLocal,
  kNIndir,
  kNFunc,
  kNAddr,
  kNLoadG,
  kNLoadL = kNLoadG + 5,
  kNLoadI = kNLoadL + 5,  // + width
  kNCall = kNLoadI + 5,
  kNArg,
  kNNeg,
  kNNot,
  kNCompl,
  kNPreStep,
  kNPostStep,  // long/pointer, step
  kNPreInc8,
  kNPostInc8,
  kNPreDec8,
  kNPostDec8,
  kNPreInc16,
  kNPostInc16,
  kNPreDec16,
  kNPostDec16,
  kNAdd,
  kNSub,
  kNMul,
  kNDiv,
  kNMod,
  kNShl,
  kNShr,
  kNSar,
  kNAnd,
  kNOr,
  kNXor,
  kNGt,
  kNGe,
  kNLt,
  kNLe,
  kNGtU,
  kNGeU,
  kNLtU,
  kNLeU,
  kNEq,
  kNNe,
  kNLAnd,
  kNLOr,
  kNCond,
  kNAssign,
  kNCompound = kNAssign + 5,  // + width
  kNComma = kNCompound + 5,
};
// Expression nodes: the NodeKind, then its operands.
inline int Kind(int node) { return Pool[node]; }
inline int32_t& ConstValue(int n) { return Pool[n + 1]; }    // kNConst
inline int32_t StringText(int n) { return Pool[n + 1]; }     // kNString: offset in the name buffer
inline int32_t StringLength(int n) { return Pool[n + 2]; }   // with the zero byte
inline int32_t GlobalAddress(int n) { return Pool[n + 1]; }  // kNGlobal
inline int32_t GlobalSymbol(int n) { return Pool[n + 2]; }
inline int32_t LocalOffset(int n) { return Pool[n + 1]; }     // kNLocal: from r6
inline int32_t FunctionSymbol(int n) { return Pool[n + 1]; }  // kNFunc
// The one operand of kNIndir, kNAddr, the loads, kNNeg, kNNot, kNCompl and
// the increments; Step is the amount of kNPreStep and kNPostStep.
inline int32_t Operand(int n) { return Pool[n + 1]; }
inline int32_t Step(int n) { return Pool[n + 2]; }
// Two-operand operators, comparisons, && and ||, assignments and commas;
// a compound assignment also has its operation's node kind.
inline int32_t Lhs(int n) { return Pool[n + 1]; }
inline int32_t Rhs(int n) { return Pool[n + 2]; }
inline int32_t CompoundOperation(int n) { return Pool[n + 3]; }
// kNCall: the callee and a list of kNArg cells, last argument first.
inline int32_t Callee(int n) { return Pool[n + 1]; }
inline int32_t Arguments(int n) { return Pool[n + 2]; }
inline int32_t ArgumentValue(int cell) { return Pool[cell + 1]; }
inline int32_t NextArgument(int cell) { return Pool[cell + 2]; }  // 0 ends the list
// kNCond: condition ? IfTrue : IfFalse.
inline int32_t Condition(int n) { return Pool[n + 1]; }
inline int32_t IfTrue(int n) { return Pool[n + 2]; }
inline int32_t IfFalse(int n) { return Pool[n + 3]; }
// The Width of `type` (long for anything but char and short).
inline int WidthOf(int32_t type) {
  switch (type) {
    case kTChar:
      return kWChar;
    case kTUChar:
      return kWUChar;
    case kTShort:
      return kWShort;
    case kTUShort:
      return kWUShort;
    default:
      return kWLong;
  }
}

// Expression parser entry points.
int ParseExpr();       // comma level
int ParseAssign();     // assignment level
int ParseConstant();   // conditional level, must fold to a constant (error 11)
int RValue(int node);  // load/convert an lvalue or function to a value
extern int32_t ExprType;

// ---- declarations and statements ------------------------------------------
void ParseTopDeclaration();
void ParseLocalDeclaration();
void ParseCompoundBody(bool functionBody);
int32_t ParseTypeName();
extern int NestingDepth;
inline void EnterNesting() {
  if (++NestingDepth > kNestingLimit) Fail(kErrHeap);
}
inline void LeaveNesting() { --NestingDepth; }

// ---- code generation (codegen.cpp) ----------------------------------------
extern uint8_t* OutBase;  // host memory of the block, null in the sizing pass
extern Addr OutAddr;      // machine address of the block
extern uint32_t OutCapacity;
extern uint32_t CodeSize;
extern uint32_t DataSize;
extern uint32_t ExternSize;
extern bool Reachable;
extern int NextLabel;
extern int StringCount;

void ResetCodegen();
int NewLabel();
void DefineLabel(int label);
int DefineNewLabel();
void Jump(int label);
void JumpIf(Opcode op, int label);
void ResetRegisters();
int EvalStatement(int node);  // returns A's physical register
void Branch(int node, bool sense, int label);
void EmitCompareImm(int reg, int32_t value, bool listSwitch);
void MoveAToR0();
int LabelAddressWord(int label);
void EmitJumpToMain(int mainLabel);
void EmitPrologue(int* enterPos, int* epilogue);
void EmitEpilogue(int enterPos, int epilogue, int32_t frameSize);
void EmitNativeStub(int trapNumber);
void EmitLocalStore(int32_t offset, int width, int reg, const char* name, int32_t elemOffset, bool element);
Addr PlaceData(uint32_t size);
void WriteData(Addr address, uint32_t value, int bytes);
Addr PlaceString(uint32_t text, int32_t length);
void WriteFunctionAddress(Addr address, int label);
void FillChain(int label, Addr target);
bool LabelDefined(int label);

// ---- listing (listing.cpp) ------------------------------------------------
extern bool ListingSwitch;
extern bool EchoSwitch;
void OpenListing(const char* sourcePath);
void CloseListing();
bool ListingOpen();
extern bool ListingActive;
void ListFormat(const char* format, ...);
// One listing line; nothing is formatted while no listing is open.
template <typename... Args>
inline void List(const char* format, Args... args) {
  if (ListingActive) ListFormat(format, args...);
}
// The format of an instruction line: a tab, the mnemonic and its suffix,
// then (when there are operands) two tabs after a mnemonic shorter than four
// characters or one after a longer one, the operands and a line feed.
const char* InstructionFormat(const char* mnemonic, const char* suffix, const char* operands);
// One instruction line, its mnemonic taken from the opcode table.
template <typename... Args>
inline void ListOpSuffixed(Opcode op, const char* suffix, const char* operands, Args... args) {
  if (ListingActive) ListFormat(InstructionFormat(MnemonicOf(op), suffix, operands), args...);
}
template <typename... Args>
inline void ListOp(Opcode op, const char* operands, Args... args) {
  ListOpSuffixed(op, "", operands, args...);
}

// ---- linking (linker.cpp) -------------------------------------------------
// After the source has ended: resolves calls of functions defined in no
// source, reports undefined functions and labels, and lists the summary;
// false when anything was reported.
bool Link();
// A function an earlier program of the run defined `extern`, with the image
// (and its generation) that holds it; false when unknown or that image is gone.
bool ExternLookup(const char* name, Addr* address, Addr* image = nullptr, uint32_t* generation = nullptr);
bool ExternRegister(const char* name, Addr address);

// ---- source files and the external area (environment.cpp) -----------------
// Reads a whole source file into `bytes`; kErrOpen / kErrMemory / kErrRead,
// or 0.
int LoadSourceFile(const char* path, std::vector<uint8_t>& bytes);
Addr ExternalAreaBase();
uint32_t ExternalAreaSize();

// ---- driver state (driver.cpp) --------------------------------------------
extern char IncludeDir[kPathBytes];
extern char MainName[kPathBytes];
extern int MainFunction;  // global symbol of `main`

}  // namespace qavz::compiler
