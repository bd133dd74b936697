// The lowest layer of the compiler: source frames, lines, directives and
// macro expansion. The tokenizer pulls one character at a time from here.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "compiler/internal.h"

namespace qavz::compiler {

uint8_t CharClasses[256];
SourceFrame Frames[kFrameCount];
std::vector<std::string> SourcesRead;
int FrameTop = -1;
char LineBuffer[kLineBytes];
const char* ReadPtr = LineBuffer;
int Ch = 0;
bool SourceEnded = false;
int CommentDepth = 0;
int MacroDepth = 0;
int PendingTrap = -1;

namespace {

int TrapCounter = 0;
bool DirectiveSwitch = true;
bool AsmBlock = false;
char IncludeList[kIncludeListBytes];
uint32_t IncludeListLength = 0;  // bytes used, without the closing empty name
uint64_t MacroChars = 0;
// Characters that macro bodies may supply: a fixed allowance plus 32 for
// every source byte read, so a self-multiplying macro ends with error 7
// instead of running for ever, while real programs never meet the bound.
uint64_t MacroBudget = kMacroBudget;

// One macro expansion in progress; entry 0 is never filled.
struct MacroFrame {
  const char* readPtr;  // where reading resumes
  uint32_t argTop;      // argument area top to restore
  int ch;               // current character to restore, -1 = read on
};
MacroFrame MacroStack[kMacroDepth + 1];

bool StartsWith(const char* text, const char* word) {
  return std::strncmp(text, word, std::strlen(word)) == 0;
}

bool SameNameNoCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    int x = uint8_t(a[i]), y = uint8_t(b[i]);
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

bool InIncludeList(const char* name, size_t n) {
  for (uint32_t i = 0; i < IncludeListLength;) {
    size_t len = std::strlen(IncludeList + i);
    if (len == n && SameNameNoCase(IncludeList + i, name, n)) return true;
    i += uint32_t(len) + 1;
  }
  return false;
}

// The list keeps room for its closing empty name; a name that does not fit
// ends the compile instead of running past the list.
void AddToIncludeList(const char* name, size_t n) {
  if (IncludeListLength + n + 2 > kIncludeListBytes) Fail(kErrIncludeDepth);
  std::memcpy(IncludeList + IncludeListLength, name, n);
  IncludeListLength += uint32_t(n) + 1;
  IncludeList[IncludeListLength - 1] = 0;
  IncludeList[IncludeListLength] = 0;
}

// Pushes a frame for include directory + name and reads the whole file.
void OpenSource(const char* name, size_t n) {
  AddToIncludeList(name, n);
  SourceFrame& f = Frames[++FrameTop];
  f.bytes.clear();
  f.pos = f.size = 0;
  f.line = 0;
  size_t dir = std::strlen(IncludeDir);
  bool fits = dir + n < kPathBytes;
  size_t keep = fits ? n : (dir < kPathBytes - 1 ? kPathBytes - 1 - dir : 0);
  std::memcpy(f.path, IncludeDir, dir < kPathBytes ? dir : kPathBytes - 1);
  std::memcpy(f.path + (dir < kPathBytes ? dir : kPathBytes - 1), name, keep);
  f.path[dir + keep < kPathBytes ? dir + keep : kPathBytes - 1] = 0;
  if (!fits) Fail(kErrOpen);
  SourcesRead.push_back(f.path);
  int err = LoadSourceFile(f.path, f.bytes);
  if (err) Fail(err);
  f.size = uint32_t(f.bytes.size()) + 1;
  MacroBudget += 32ull * f.size;
}

// Echoes a plain line to the listing, without its line feed.
void ListLine(const char* format, int length) {
  if (!ListingActive) return;
  char saved = LineBuffer[length];
  LineBuffer[length] = 0;
  List(format, LineBuffer);
  LineBuffer[length] = saved;
}

void DefineMacro();
void IncludeDirective();

// The end of the main file: error 24 inside a declaration, the normal end
// of the source between declarations.
void EndOfFile() {
  if (!BetweenDeclarations) Fail(kErrEof);
  SourceEnded = true;
  LineBuffer[0] = 0;
  ReadPtr = LineBuffer;
}

}  // namespace

void BuildCharClasses() {
  std::memset(CharClasses, 0, sizeof CharClasses);
  for (int c : {' ', '\t', '\n', '\r'}) CharClasses[c] |= kClsSpace;
  for (int c = '0'; c <= '9'; ++c) CharClasses[c] |= kClsDigit | kClsHex;
  for (int c = 'A'; c <= 'F'; ++c) CharClasses[c] |= kClsHex, CharClasses[c + 32] |= kClsHex;
  for (int c = 'a'; c <= 'z'; ++c) CharClasses[c] |= kClsLower | kClsIdent;
  for (int c = 'A'; c <= 'Z'; ++c) CharClasses[c] |= kClsUpper | kClsIdent;
  CharClasses[int('_')] |= kClsIdent;
  for (int c = 0x81; c <= 0x9F; ++c) CharClasses[c] |= kClsLead;
  for (int c = 0xE0; c <= 0xFC; ++c) CharClasses[c] |= kClsLead;
}

void ResetReader() {
  SourcesRead.clear();
  FrameTop = -1;
  LineBuffer[0] = 0;
  ReadPtr = LineBuffer;
  Ch = 0;
  SourceEnded = false;
  CommentDepth = 0;
  MacroDepth = 0;
  PendingTrap = -1;
  TrapCounter = 0;
  DirectiveSwitch = true;
  AsmBlock = false;
  IncludeListLength = 0;
  IncludeList[0] = 0;
  MacroChars = 0;
  MacroBudget = kMacroBudget;
}

void OpenMainFile(const char* path) {
  (void)path;
  OpenSource(MainName, std::strlen(MainName));
}

void FreeFrames() {
  for (int i = 0; i <= FrameTop && i < kFrameCount; ++i) Frames[i].bytes = {};
  FrameTop = -1;
}

int MainLineCount() { return Frames[0].line; }

int CaretColumn() {
  const char* p = MacroDepth > 0 ? MacroStack[1].readPtr : ReadPtr;
  if (p < LineBuffer || p > LineBuffer + kLineBytes) return 0;
  int n = int(p - LineBuffer);
  int len = int(std::strlen(LineBuffer));
  return n < len ? n : len;
}

// Copies the leading run of at most n bytes at src without a line feed, a
// carriage return or a byte of 0x80 and above to dst, which has room for n
// bytes (the rest of the last word read may land after the run), and
// returns its length. Sixteen bytes a step where SSE2 is at hand, then eight
// with plain words: a byte is zero after the XOR with its character exactly
// when it was it, and the lowest byte flagged is the first such byte.
static size_t CopyPlain(char* dst, const uint8_t* src, size_t n) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  auto hasZero = [](uint64_t v) { return (v - kOnes) & ~v & kHigh; };
  size_t i = 0;
#ifdef __SSE2__
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
    __m128i odd =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
    unsigned mask = unsigned(_mm_movemask_epi8(_mm_or_si128(v, odd)));
    if (mask) return i + size_t(std::countr_zero(mask));
  }
#endif
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, src + i, 8);
    std::memcpy(dst + i, &w, 8);
    uint64_t odd = (w & kHigh) | hasZero(w ^ (kOnes * '\n')) | hasZero(w ^ (kOnes * '\r'));
    if (odd) return i + size_t(std::countr_zero(odd)) / 8;
  }
  for (; i < n && src[i] < 0x80 && src[i] != '\n' && src[i] != '\r'; ++i) dst[i] = char(src[i]);
  return i;
}

// Copies plain ASCII of the frame to the line buffer at n: up to and with a
// line feed (true), or up to a carriage return, a byte of 0x80 and above or
// the end of the file (false). The line feed after the file's last byte is
// the frame's own. Plain bytes past kMaxLine in `count` are error 21.
static bool CopyPlainRun(SourceFrame& f, int& n, int& count) {
  uint32_t fileBytes = f.size - 1;
  if (f.pos < fileBytes) {
    const uint8_t* src = f.bytes.data() + f.pos;
    // One byte past the room left, so that an overlong line is seen.
    size_t limit = std::min<size_t>(fileBytes - f.pos, size_t(kMaxLine - count) + 1);
    size_t plain = CopyPlain(LineBuffer + n, src, limit);
    n += int(plain);
    count += int(plain);
    f.pos += uint32_t(plain);
    if (count > kMaxLine) {
      LineBuffer[n] = 0;
      ReadPtr = LineBuffer + n;
      Fail(kErrLineLength);
    }
    // Short of the limit the run stopped at a line feed or an odd byte; at
    // the limit it reached the end of the file.
    if (plain < limit && src[plain] != '\n') return false;
  } else if (f.pos > fileBytes) {
    return false;
  }
  LineBuffer[n++] = '\n';
  ++f.pos;
  return true;
}

// Reads the next line of the top frame into the line buffer and carries out
// directives; returns with a line to read from, or at the end of the source.
static void ReadLine() {
  for (;;) {
    Frames[FrameTop].line++;
    int n = 0, count = 0;
    bool eof = false;
    for (;;) {
      SourceFrame* f = &Frames[FrameTop];
      if (CopyPlainRun(*f, n, count)) break;
      if (f->pos >= f->size) {
        if (FrameTop == 0) {
          eof = true;
          break;
        }
        f->bytes = {};
        --FrameTop;
        continue;
      }
      int c = f->bytes[f->pos++];
      if (c == '\r') continue;
      // A Shift-JIS lead byte brings its trail byte with it. A lead byte
      // whose trail would be the appended line feed is cut off by the end of
      // the file: that is a truncated character even between declarations.
      if (Is(c, kClsLead) && f->pos + 1 >= f->size) {
        LineBuffer[n] = 0;
        Fail(kErrEof);
      }
      LineBuffer[n++] = char(c);
      if (Is(c, kClsLead)) {
        LineBuffer[n++] = char(f->bytes[f->pos++]);
        count += 2;
      } else {
        ++count;
      }
      if (count > kMaxLine) {
        LineBuffer[n] = 0;
        ReadPtr = LineBuffer + n;
        Fail(kErrLineLength);
      }
    }
    LineBuffer[n] = 0;
    ReadPtr = LineBuffer;
    if (eof && n == 0) {
      // Neither the attempt past the end nor the empty line made by the
      // appended line feed of a file that already ended with one is a line.
      const SourceFrame& m = Frames[0];
      Frames[0].line -= (m.size < 2 || m.bytes[m.size - 2] == '\n') ? 2 : 1;
      if (Frames[0].line < 0) Frames[0].line = 0;
      return EndOfFile();
    }
    if (CommentDepth > 0) return;
    int bare = n > 0 && LineBuffer[n - 1] == '\n' ? n - 1 : n;
    if (LineBuffer[0] != '#') {
      if (AsmBlock) {
        ListLine("%s\n", bare);
        continue;
      }
      if (bare > 0) ListLine("*\t%s\n", bare);
      return;
    }
    if (!DirectiveSwitch) return;
    const char* word = LineBuffer + 1;
    if (StartsWith(word, "define")) {
      DefineMacro();
      if (SourceEnded) return;  // a definition continued past the last line
    } else if (StartsWith(word, "include")) {
      IncludeDirective();
    } else if (StartsWith(word, "trap")) {
      PendingTrap = TrapCounter++;
      ReadPtr = word + 4;
      return;
    } else if (StartsWith(word, "asm")) {
      ReadPtr = word + 3;
      if (AsmBlock) Fail(kErrDirective);
      AsmBlock = true;
    } else if (StartsWith(word, "endasm")) {
      ReadPtr = word + 6;
      if (!AsmBlock) Fail(kErrDirective);
      AsmBlock = false;
      return;
    } else if (*word != ' ') {
      ReadPtr = word;
      Fail(kErrDirective);
    }
  }
}

// The next character after macro expansion; keeps it in Ch.
int ReadCharSlow() {
  for (;;) {
    if (MacroDepth > 0) {
      int c = uint8_t(*ReadPtr);
      if (c == 0) {
        MacroFrame& m = MacroStack[MacroDepth--];
        ReadPtr = m.readPtr;
        MacroArgTop = m.argTop;
        if (m.ch >= 0) return Ch = m.ch;
        continue;
      }
      if (++MacroChars > MacroBudget) Fail(kErrMacroDepth);
      // `##` before an identifier that is a macro pastes its text in place.
      if (c == '#' && ReadPtr[1] == '#' && Is(ReadPtr[2], kClsIdent | kClsLead)) {
        char name[kMaxIdent + 1];
        const char* p = ReadPtr + 2;
        int n = 0;
        while (Is(*p, kClsDigit | kClsIdent | kClsLead) && n < kMaxIdent - 1) {
          if (Is(*p, kClsLead) && p[1]) name[n++] = *p++;
          name[n++] = *p++;
        }
        name[n] = 0;
        int sym = FindGlobal(name, false);
        if (sym >= 0 && Sym(sym).kind == kSymMacro) {
          if (MacroDepth >= kMacroDepth) Fail(kErrMacroDepth);
          if (p[0] == '#' && p[1] == '#') p += 2;
          MacroFrame& m = MacroStack[++MacroDepth];
          m.readPtr = p;
          m.argTop = MacroArgTop;
          m.ch = -1;
          ReadPtr = Sym(sym).text ? Sym(sym).text : "";
          continue;
        }
      }
      ++ReadPtr;
      return Ch = c;
    }
    int c = uint8_t(*ReadPtr);
    if (c == 0) {
      if (SourceEnded) return Ch = kEndOfSource;
      ReadLine();
      continue;
    }
    ++ReadPtr;
    return Ch = c;
  }
}

bool ReadIdentifier(char* out) {
  if (!Is(Ch, kClsIdent | kClsLead)) return false;
  int n = 0;
  if (MacroDepth == 0 && !Is(Ch, kClsLead)) {
    // Plain text of the line buffer: the name ends before the line feed.
    out[n++] = char(Ch);
    const char* p = ReadPtr;
    while (Is(*p, kClsDigit | kClsIdent) && n < kMaxIdent) out[n++] = *p++;
    ReadPtr = p;
    ReadChar();
    if (!Is(Ch, kClsDigit | kClsIdent | kClsLead)) {
      out[n] = 0;
      return true;
    }
  }
  while (Is(Ch, kClsDigit | kClsIdent | kClsLead)) {
    if (Is(Ch, kClsLead)) {
      int lead = Ch;
      ReadChar();
      if (n + 2 <= kMaxIdent) out[n++] = char(lead), out[n++] = char(Ch);
    } else if (n < kMaxIdent) {
      out[n++] = char(Ch);
    }
    ReadChar();
  }
  out[n] = 0;
  return true;
}

// Copies the arguments of a macro call into the argument area and binds each
// to its parameter macro "%s_%d". Parentheses or a closing ';' delimit them.
static void ReadArguments(int sym) {
  int count = Sym(sym).type;
  const char* macroName = Sym(sym).name;
  SkipWhite();
  if (SourceEnded) return;
  bool paren = Ch == '(';
  if (paren) ReadChar();
  bool ended = false;
  uint32_t top = MacroArgTop;
  for (int i = 0; i < count; ++i) {
    char name[kMaxIdent + 16];
    std::snprintf(name, sizeof name, "%s_%d", macroName, i);
    int param = FindGlobal(name, true);
    char* start = Work->macroArgs + top;
    auto put = [&](int c) {
      if (top + 1 >= kMacroArgBytes) Fail(kErrNameBuffer);
      Work->macroArgs[top++] = char(c);
    };
    if (!ended) {
      SkipWhite();
      int depth = 0;
      for (;;) {
        int c = Ch;
        if (c == kEndOfSource) return;
        if (depth == 0 && ((c == ',' && i < count - 1) || c == (paren ? ')' : ';'))) break;
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (Is(c, kClsIdent | kClsLead)) {
          char ident[kMaxIdent + 1];
          ReadIdentifier(ident);
          for (const char* p = ident; *p; ++p) put(*p);
          continue;
        }
        put(c);
        ReadChar();
      }
      if (Ch != ',' || i == count - 1) ended = true;
      if (Ch != ';') ReadChar();
    }
    put(0);
    Sym(param).kind = kSymMacro;
    Sym(param).text = start;
  }
  if (count == 0 && paren) {
    SkipWhite();
    if (Ch == ')') ReadChar();
  }
  MacroArgTop = top;
}

void ExpandMacro(int sym) {
  if (MacroDepth >= kMacroDepth) Fail(kErrMacroDepth);
  uint32_t argTop = MacroArgTop;
  if (Sym(sym).flags & kFlagParams) ReadArguments(sym);
  if (SourceEnded) return;  // the call was cut off by the end of the source
  if (MacroDepth >= kMacroDepth) Fail(kErrMacroDepth);
  MacroFrame& m = MacroStack[++MacroDepth];
  m.readPtr = ReadPtr;
  m.argTop = argTop;
  m.ch = Ch;
  ReadPtr = Sym(sym).text ? Sym(sym).text : "";
  ReadChar();
}

namespace {

// #define NAME body  |  #define NAME(a, b) body with a and b
void DefineMacro() {
  DirectiveSwitch = false;
  ReadPtr = LineBuffer + 7;
  ReadChar();
  while (Ch == ' ' || Ch == '\t') ReadChar();
  char name[kMaxIdent + 16];
  if (!ReadIdentifier(name)) Fail(kErrDirective);
  int sym = FindGlobal(name, true);
  if (Sym(sym).kind != kSymUndefined) Fail(kErrDirective);
  Sym(sym).kind = kSymMacro;
  Sym(sym).type = 0;
  if (Ch != '(') {
    Sym(sym).text = StoreName(ReadPtr, uint32_t(std::strlen(ReadPtr)));
    DirectiveSwitch = true;
    return;
  }
  // Parameter names, kept for the body's case-insensitive replacement.
  char params[kLineBytes];
  uint32_t paramOffsets[kLineBytes / 2];
  uint32_t used = 0;
  int count = 0;
  ReadChar();
  for (;;) {
    SkipWhite();
    if (SourceEnded) return;
    if (Ch == ')' && count == 0) {
      ReadChar();
      break;
    }
    char param[kMaxIdent + 16];
    if (!ReadIdentifier(param)) Fail(kErrSyntax);
    size_t len = std::strlen(param);
    if (used + len + 1 > sizeof params) Fail(kErrSyntax);
    paramOffsets[count] = used;
    std::memcpy(params + used, param, len + 1);
    used += uint32_t(len) + 1;
    char full[kMaxIdent + 32];
    std::snprintf(full, sizeof full, "%s_%d", name, count);
    int p = FindGlobal(full, true);
    if (Sym(p).kind != kSymUndefined) Fail(kErrSyntax);
    Sym(p).kind = kSymMacro;
    Sym(p).text = "";
    ++count;
    SkipWhite();
    if (SourceEnded) return;
    if (Ch == ',') {
      ReadChar();
      continue;
    }
    if (Ch == ')') {
      ReadChar();
      break;
    }
    Fail(kErrSyntax);
  }
  Sym(sym).type = count;
  Sym(sym).flags |= kFlagParams;
  // Body: rest of the line, backslash-newline joins the next line.
  char* body = Work->names + NameTop;
  uint32_t n = 0;
  auto put = [&](const char* text, size_t len) {
    if (NameTop + n + len + 1 >= kNameBufferBytes) Fail(kErrNameBuffer);
    std::memcpy(body + n, text, len);
    n += uint32_t(len);
  };
  for (;;) {
    if (SourceEnded) return;
    if (Ch == '\\' && *ReadPtr == '\n') {
      ReadChar();
      ReadChar();
      continue;
    }
    if (Ch == '\n') {
      put("\n", 1);
      break;
    }
    if (Is(Ch, kClsIdent | kClsLead)) {
      char ident[kMaxIdent + 16];
      ReadIdentifier(ident);
      size_t len = std::strlen(ident);
      int match = -1;
      for (int i = 0; i < count && match < 0; ++i) {
        const char* p = params + paramOffsets[i];
        if (std::strlen(p) == len && SameNameNoCase(p, ident, len)) match = i;
      }
      if (match >= 0) {
        char full[kMaxIdent + 32];
        int m = std::snprintf(full, sizeof full, "%s_%d", name, match);
        put(full, size_t(m));
      } else {
        put(ident, len);
      }
      continue;
    }
    if (Is(Ch, kClsDigit)) {
      while (Is(Ch, kClsDigit | kClsIdent)) {
        char c = char(Ch);
        put(&c, 1);
        ReadChar();
      }
      continue;
    }
    char c = char(Ch);
    put(&c, 1);
    ReadChar();
  }
  body[n] = 0;
  NameTop += n + 1;
  Sym(sym).text = body;
  DirectiveSwitch = true;
}

// #include "name": each file is read once per compile, whoever includes it.
void IncludeDirective() {
  ReadPtr = LineBuffer + 8;
  if (FrameTop >= kFrameCount - 1) Fail(kErrIncludeDepth);
  const char* p = LineBuffer + 8;
  while (*p == ' ' || *p == '\t') ++p;
  ReadPtr = p;
  if (*p != '"') Fail(kErrIncludeName);
  const char* name = ++p;
  while (*p && *p != '"') {
    if (*p == '\n') {
      ReadPtr = p;
      Fail(kErrIncludeName);
    }
    p += Is(*p, kClsLead) && p[1] ? 2 : 1;
  }
  if (*p != '"') Fail(kErrIncludeName);
  size_t n = size_t(p - name);
  if (InIncludeList(name, n)) return;
  char copy[kLineBytes];
  std::memcpy(copy, name, n);
  copy[n] = 0;
  Frames[FrameTop].line++;
  OpenSource(copy, n);
}

}  // namespace

}  // namespace qavz::compiler
