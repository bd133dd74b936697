// Tokens and the hashed symbol tables.
#include <cstdio>
#include <cstring>

#include "compiler/internal.h"

namespace qavz::compiler {

WorkBlock* Work = nullptr;
uint32_t NameTop = 0;
uint32_t MacroArgTop = 0;

int32_t Tok = kTokEof;
int32_t TokValue = 0;
int TokSym = -1;
int TokGlobal = -1;
int TokLocal = -1;
uint32_t TokText = 0;
int32_t TokLength = 0;
bool InFunction = false;
bool InDeclaration = false;
int MemberScope = 0;
int MemberScopeCount = 0;

namespace {

// The name of the identifier being read, when it went through the tables.
char TokName[kMaxIdent + 16];

// Local slots handed out since the last clear, so clearing touches only them.
int UsedLocals[kLocalSymbols];
int UsedLocalCount = 0;

// Names of one to eight plain bytes read lately, with their hash and global
// entry, and their local entry while the local table is in the generation
// it was found in: a direct-mapped table in front of the symbol tables. A
// name keeps its global entry for the whole compile, and its local entry
// until the local table is cleared, which starts a new generation.
struct RecentName {
  uint64_t text;  // the name's bytes, zero-padded; 0 for none
  uint32_t hash;
  int32_t global;
  int32_t local;
  uint32_t generation;  // of `local`; 0 for none
};
constexpr int kRecentNameBits = 9;
RecentName RecentNames[1 << kRecentNameBits];
uint32_t LocalGeneration = 1;

RecentName& RecentSlot(uint64_t text) {
  return RecentNames[(text * 0x9E3779B97F4A7C15ull) >> (64 - kRecentNameBits)];
}

struct Keyword {
  const char* name;
  Token token;
};
const Keyword kKeywords[] = {
    {"int", kTokInt},         {"void", kTokInt},      {"char", kTokChar},         {"struct", kTokStruct},
    {"union", kTokUnion},     {"signed", kTokSigned}, {"unsigned", kTokUnsigned}, {"static", kTokStatic},
    {"goto", kTokGoto},       {"return", kTokReturn}, {"break", kTokBreak},       {"continue", kTokContinue},
    {"if", kTokIf},           {"else", kTokElse},     {"for", kTokFor},           {"do", kTokDo},
    {"while", kTokWhile},     {"switch", kTokSwitch}, {"case", kTokCase},         {"default", kTokDefault},
    {"typedef", kTokTypedef}, {"sizeof", kTokSizeof}, {"long", kTokLong},         {"short", kTokShort},
    {"extern", kTokExtern},
};

// h = (h * 7) XOR b over the name's bytes read as signed.
uint32_t Hash(const char* s) {
  uint32_t h = 0;
  for (; *s; ++s) h = (h * 7u) ^ uint32_t(int32_t(int8_t(*s)));
  return h;
}

// A stored name ends at its zero or at a '.', so "x." is found as x.
bool NameEquals(const char* stored, const char* name) {
  while (*stored && *stored != '.') {
    if (*stored != *name) return false;
    ++stored, ++name;
  }
  return *name == 0;
}

int FindGlobalImpl(const char* name, uint32_t hash, bool make, const char* constName) {
  uint32_t home = hash % kGlobalSymbols;
  uint32_t i = home;
  for (;;) {
    SymbolEntry& e = Sym(int(i));
    if (e.kind == kSymEmpty) {
      if (!make) return -1;
      e.name = constName ? constName : StoreName(name, uint32_t(std::strlen(name)));
      e.kind = kSymUndefined;
      e.hash = hash;
      return int(i);
    }
    if (e.hash == hash && NameEquals(e.name, name)) return int(i);
    if (++i == kGlobalSymbols) i = 0;
    if (i == home) Fail(kErrGlobalFull);
  }
}

int Escape();

}  // namespace

int FindLocalHashed(const char* name, uint32_t h);

const char* StoreName(const char* text, uint32_t len) {
  if (NameTop + len + 1 > kNameBufferBytes) Fail(kErrNameBuffer);
  char* p = Work->names + NameTop;
  std::memcpy(p, text, len);
  p[len] = 0;
  NameTop += len + 1;
  return p;
}

int FindGlobal(const char* name, bool make) { return FindGlobalImpl(name, Hash(name), make, nullptr); }

int FindLocal(const char* name) { return FindLocalHashed(name, Hash(name)); }

int FindLocalHashed(const char* name, uint32_t h) {
  uint32_t home = h & (kLocalSymbols - 1);
  uint32_t i = home;
  for (;;) {
    SymbolEntry& e = Sym(kGlobalSymbols + int(i));
    if (e.kind == kSymEmpty) {
      e.name = name;
      e.kind = kSymUndefined;
      e.hash = h;
      UsedLocals[UsedLocalCount++] = kGlobalSymbols + int(i);
      return kGlobalSymbols + int(i);
    }
    // Identifiers enter their local entries with the global entry's name.
    if (e.hash == h && (e.name == name || NameEquals(e.name, name))) return kGlobalSymbols + int(i);
    i = (i + 1) & (kLocalSymbols - 1);
    if (i == home) Fail(kErrLocalFull);
  }
}

void ClearLocals() {
  for (int i = 0; i < UsedLocalCount; ++i) Work->symbols[UsedLocals[i]] = SymbolEntry{};
  UsedLocalCount = 0;
  ++LocalGeneration;
}

void ResetSymbols() {
  NameTop = 0;
  MacroArgTop = 0;
  Tok = kTokEof;
  TokSym = TokGlobal = TokLocal = -1;
  InFunction = InDeclaration = false;
  MemberScope = MemberScopeCount = 0;
  UsedLocalCount = 0;
  std::memset(RecentNames, 0, sizeof RecentNames);
  LocalGeneration = 1;
}

void EnterKeywords() {
  for (const Keyword& k : kKeywords) {
    int i = FindGlobalImpl(k.name, Hash(k.name), true, k.name);
    Sym(i).kind = kSymKeyword;
    Sym(i).value = k.token;
  }
}

bool IsTypeStart() {
  switch (Tok) {
    case kTokInt:
    case kTokChar:
    case kTokStruct:
    case kTokUnion:
    case kTokSigned:
    case kTokUnsigned:
    case kTokLong:
    case kTokShort:
      return true;
    case kTokIdent:
      return Sym(TokSym).kind == kSymTypedef;
    default:
      return false;
  }
}

namespace {

// Length of the plain name (ASCII letters, digits and '_') at the current
// character when it ends inside the current line; 0 for any other (macro
// text, Shift-JIS, a name that reaches the end of the line buffer). A plain
// name of at most eight bytes also leaves them, zero-padded, in *text.
int PlainName(uint64_t* text) {
  *text = 0;
  if (MacroDepth != 0 || !Is(Ch, kClsIdent)) return 0;
  const char* p = ReadPtr;
  uint64_t w = uint8_t(Ch);
  int n = 0;
  for (; Is(p[n], kClsDigit | kClsIdent) && n < kMaxIdent - 1; ++n)
    if (n < 7) w |= uint64_t(uint8_t(p[n])) << (8 * n + 8);
  if (!p[n] || Is(p[n], kClsDigit | kClsIdent | kClsLead)) return 0;
  if (n < 8) *text = w;
  return n + 1;
}

// Steps past a plain name of `length` bytes.
void SkipName(int length) {
  ReadPtr += length - 1;
  ReadChar();
}

// Reads the identifier at the current character into TokName and returns
// its hash: a plain name of `length` bytes is hashed as it is copied, any
// other (length 0) goes through the reader's general path.
uint32_t ReadName(int length) {
  if (length == 0) {
    ReadIdentifier(TokName);
    return Hash(TokName);
  }
  uint32_t h = uint32_t(int32_t(int8_t(Ch)));
  TokName[0] = char(Ch);
  for (int i = 1; i < length; ++i) {
    TokName[i] = ReadPtr[i - 1];
    h = (h * 7u) ^ uint32_t(int32_t(int8_t(TokName[i])));
  }
  TokName[length] = 0;
  SkipName(length);
  return h;
}

// An identifier: keyword, macro (expanded; returns false), or a name whose
// global entry, and inside functions local entry, become the current symbol.
// Outside member names a short plain name seen before skips the tables.
bool Identifier() {
  uint64_t text;
  int length = PlainName(&text);
  RecentName* recent = text && MemberScope == 0 ? &RecentSlot(text) : nullptr;
  uint32_t hash;
  int g;
  if (recent && recent->text == text) {
    hash = recent->hash;
    g = recent->global;
    SkipName(length);
  } else {
    hash = ReadName(length);
    g = FindGlobalImpl(TokName, hash, MemberScope == 0, nullptr);
    if (recent) *recent = RecentName{text, hash, g, -1, 0};
  }
  if (g >= 0) {
    if (Sym(g).kind == kSymKeyword) {
      Tok = Sym(g).value;
      return true;
    }
    if (Sym(g).kind == kSymMacro) {
      ExpandMacro(g);
      return false;
    }
  }
  Tok = kTokIdent;
  if (MemberScope) {
    size_t n = std::strlen(TokName);
    std::snprintf(TokName + n, sizeof TokName - n, "_%d", MemberScope);
    TokSym = TokGlobal = FindGlobal(TokName, true);
    TokLocal = -1;
    return true;
  }
  TokGlobal = g;
  if (InFunction) {
    if (recent && recent->generation == LocalGeneration) {
      TokLocal = recent->local;
    } else {
      TokLocal = FindLocalHashed(Sym(g).name, hash);
      if (recent) recent->local = TokLocal, recent->generation = LocalGeneration;
    }
    TokSym = Sym(TokLocal).kind != kSymUndefined ? TokLocal : g;
  } else {
    TokLocal = -1;
    TokSym = g;
  }
  return true;
}

void Number() {
  uint32_t v = 0;
  if (Ch == '0') {
    ReadChar();
    if (Ch == 'x' || Ch == 'X') {
      ReadChar();
      while (Is(Ch, kClsHex)) {
        int d = Is(Ch, kClsDigit) ? Ch - '0' : (Ch | 0x20) - 'a' + 10;
        v = v * 16 + uint32_t(d);
        ReadChar();
      }
    } else if (Ch == 'b' || Ch == 'B') {
      ReadChar();
      while (Ch == '0' || Ch == '1') v = v * 2 + uint32_t(Ch - '0'), ReadChar();
    }
  }
  while (Is(Ch, kClsDigit)) v = v * 10 + uint32_t(Ch - '0'), ReadChar();
  Tok = kTokNumber;
  TokValue = int32_t(v);
}

// After a backslash: the value of the escape (0-255), or -1 for a backslash
// before a line feed, which continues the constant on the next line.
int Escape() {
  int c = Ch, v = 0;
  switch (c) {
    case 'n':
      ReadChar();
      return 10;
    case 't':
      ReadChar();
      return 9;
    case 'r':
      ReadChar();
      return 13;
    case 'b':
      ReadChar();
      return 8;
    case 'f':
      ReadChar();
      return 12;
    case '\n':
      ReadChar();
      return -1;
    case 'x':
      ReadChar();
      for (int k = 0; k < 2 && Is(Ch, kClsHex); ++k) {
        v = v * 16 + (Is(Ch, kClsDigit) ? Ch - '0' : (Ch | 0x20) - 'a' + 10);
        ReadChar();
      }
      return v & 255;
    case '0':
      ReadChar();
      for (int k = 0; k < 3 && Ch >= '0' && Ch <= '7'; ++k) v = v * 8 + Ch - '0', ReadChar();
      return v & 255;
    default:
      if (c >= '1' && c <= '9') {
        for (int k = 0; k < 3 && Is(Ch, kClsDigit); ++k) v = v * 10 + Ch - '0', ReadChar();
        return v & 255;
      }
      ReadChar();
      return c;
  }
}

void CharConstant() {
  ReadChar();
  int v;
  for (;;) {
    if (Is(Ch, kClsLead)) {
      v = Ch * 256;
      ReadChar();
      v += Ch;
      ReadChar();
    } else if (Ch == '\\') {
      ReadChar();
      v = Escape();
      if (v < 0) continue;
    } else {
      v = Ch;
      ReadChar();
    }
    break;
  }
  if (SourceEnded) {  // continued past the last line
    Tok = kTokEof;
    return;
  }
  if (Ch != '\'') Fail(kErrQuote);
  ReadChar();
  Tok = kTokNumber;
  TokValue = v;
}

void StringLiteral() {
  ReadChar();
  char* out = Work->names + NameTop;
  uint32_t n = 0;
  auto put = [&](int c) {
    if (NameTop + n + 1 >= kNameBufferBytes) Fail(kErrNameBuffer);
    out[n++] = char(c);
  };
  for (;;) {
    if (Ch == '"') {
      ReadChar();
      break;
    }
    if (Ch == '\n') Fail(kErrStringLine);
    if (Ch == kEndOfSource) {
      Tok = kTokEof;
      return;
    }
    if (Is(Ch, kClsLead)) {
      put(Ch);
      ReadChar();
      put(Ch);
      ReadChar();
    } else if (Ch == '\\') {
      ReadChar();
      int v = Escape();
      if (v >= 0) put(v);
    } else {
      put(Ch);
      ReadChar();
    }
  }
  put(0);
  Tok = kTokString;
  TokText = NameTop;
  TokLength = int32_t(n);
  NameTop += n;
}

void BlockComment() {
  CommentDepth = 1;
  ReadChar();
  while (CommentDepth > 0) {
    if (Ch == '*') {
      ReadChar();
      if (Ch == '/') {
        --CommentDepth;
        if (CommentDepth == 0) {
          ReadChar();
          break;
        }
        ReadChar();
      }
    } else if (Ch == '/') {
      ReadChar();
      if (Ch == '*') ++CommentDepth, ReadChar();
    } else if (Ch == kEndOfSource) {
      return;
    } else {
      if (Is(Ch, kClsLead)) ReadChar();
      ReadChar();
    }
  }
}

// One or two-character operator: `second` appended gives `two`, `=` gives `eq`.
void Operator(int one, int second, int two, int eq) {
  ReadChar();
  if (second && Ch == second) {
    ReadChar();
    Tok = two;
  } else if (eq && Ch == '=') {
    ReadChar();
    Tok = eq;
  } else {
    Tok = one;
  }
}

}  // namespace

// The token after the current one. Only what reads past a line feed can
// meet the end of the source (blanks, comments, macro calls, constants and
// strings continued by a backslash); whatever it was, the token is kTokEof.
void Next() {
  for (;;) {
    int c = SkipWhite();
    if (Is(c, kClsIdent | kClsLead)) {
      if (Identifier()) return;
      continue;
    }
    if (Is(c, kClsDigit)) return Number();
    switch (c) {
      case '\'':
        return CharConstant();
      case '"':
        return StringLiteral();
      case '/':
        ReadChar();
        if (Ch == '*') {
          BlockComment();
          continue;
        }
        if (Ch == '/') {
          while (Ch != '\n' && Ch != kEndOfSource) {
            if (Is(Ch, kClsLead)) ReadChar();
            ReadChar();
          }
          continue;
        }
        if (Ch == '=') {
          ReadChar();
          Tok = kTokDivEq;
        } else {
          Tok = kTokDiv;
        }
        return;
      case '!':
        return Operator(kTokNot, 0, 0, kTokNe);
      case '%':
        return Operator(kTokMod, 0, 0, kTokModEq);
      case '&':
        return Operator(kTokAnd, '&', kTokLAnd, kTokAndEq);
      case '*':
        return Operator(kTokMul, 0, 0, kTokMulEq);
      case '+':
        return Operator(kTokAdd, '+', kTokInc, kTokAddEq);
      case '-':
        ReadChar();
        if (Ch == '-')
          ReadChar(), Tok = kTokDec;
        else if (Ch == '=')
          ReadChar(), Tok = kTokSubEq;
        else if (Ch == '>')
          ReadChar(), Tok = kTokArrow;
        else
          Tok = kTokSub;
        return;
      case '<':
        ReadChar();
        if (Ch == '<') {
          ReadChar();
          if (Ch == '=')
            ReadChar(), Tok = kTokShlEq;
          else
            Tok = kTokShl;
        } else if (Ch == '=') {
          ReadChar(), Tok = kTokLe;
        } else {
          Tok = kTokLt;
        }
        return;
      case '>':
        ReadChar();
        if (Ch == '>') {
          ReadChar();
          if (Ch == '=')
            ReadChar(), Tok = kTokShrEq;
          else
            Tok = kTokShr;
        } else if (Ch == '=') {
          ReadChar(), Tok = kTokGe;
        } else {
          Tok = kTokGt;
        }
        return;
      case '=':
        return Operator(kTokAssign, 0, 0, kTokEq);
      case '^':
        return Operator(kTokXor, 0, 0, kTokXorEq);
      case '|':
        return Operator(kTokOr, '|', kTokLOr, kTokOrEq);
      case '~':
        ReadChar();
        Tok = kTokCompl;
        return;
      case '?':
        ReadChar();
        Tok = kTokQuestion;
        return;
      case ':':
        ReadChar();
        Tok = kTokColon;
        return;
      case '(':
        ReadChar();
        Tok = kTokLParen;
        return;
      case ')':
        ReadChar();
        Tok = kTokRParen;
        return;
      case '[':
        ReadChar();
        Tok = kTokLBracket;
        return;
      case ']':
        ReadChar();
        Tok = kTokRBracket;
        return;
      case '{':
        ReadChar();
        Tok = kTokLBrace;
        return;
      case '}':
        ReadChar();
        Tok = kTokRBrace;
        return;
      case ',':
        ReadChar();
        Tok = kTokComma;
        return;
      case ';':
        ReadChar();
        Tok = kTokSemi;
        return;
      case '.':
        ReadChar();
        Tok = kTokDot;
        return;
      default:
        if (c != kEndOfSource) Fail(kErrSyntax);
        Tok = kTokEof;
        return;
    }
  }
}

}  // namespace qavz::compiler
