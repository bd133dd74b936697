// Numbered errors, missing-token warnings and the error text shown once at
// the end of a compile.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "compiler/compiler.h"
#include "compiler/internal.h"
#include "core/config.h"
#include "core/report_error.h"
#include "platform/text_encoding.h"

namespace qavz::compiler {

namespace {

// Code -> message, as the system shows them.
const char* const kMessages[] = {
    "内部エラー",                                    // 0
    "メモリの確保に失敗しました",                    // 1
    "ファイルのオープンに失敗しました",              // 2
    "ファイルの読み込みに失敗しました",              // 3
    "ディレクティプ命令でエラーが発生しました",      // 4
    "インクルードファイルの指定が間違ってます",      // 5
    "インクルードファイルのネスト回数が多すぎます",  // 6
    "マクロの参照回数が１６回を超えました",          // 7
    "変数（関数）の宣言に誤りがあります",            // 8
    "式の記述に誤りがあります",                      // 9
    "０で除算しました",                              // 10
    "定数がありません",                              // 11
    "文法エラー",                                    // 12
    "変数がありません",                              // 13
    "型の指定が間違っています",                      // 14
    "定義されていない文字列です",                    // 15
    "文字列は一行内に記述してください",              // 16
    "クォーテーションがありません",                  // 17
    "グローバルシンボルの数が多すぎます",            // 18
    "ローカルシンボルの数が多すぎます",              // 19
    "シンボルバッファの長さをオーバーしました",      // 20
    "一行の長さが長すぎます",                        // 21
    "ヒープ領域が溢れました",                        // 22
    "プログラム領域が足りません",                    // 23
    "コンパイル途中で EOF が現れました",             // 24
};
static_assert(sizeof kMessages / sizeof kMessages[0] == kCompileErrorCount);

char ErrorText[kErrorTextBytes];
char LastText[kErrorTextBytes];
bool Collecting = false;
uint32_t ErrorLength = 0;
bool TextFull = false;

// Converted texts live until the next few conversions.
std::string Converted[4];
int ConvertedNext = 0;

}  // namespace

bool BetweenDeclarations = false;

const char* MessageErrorText(int code) {
  return code >= 0 && code < kCompileErrorCount ? kMessages[code] : "";
}

void ResetDiagnostics(bool collect) {
  Collecting = collect;
  TextFull = false;
  ErrorLength = 0;
  ErrorText[0] = 0;
  BetweenDeclarations = false;
}

const char* MessageText(const char* sjis, int length) {
  std::string& out = Converted[ConvertedNext++ & 3];
  std::string in = length < 0 ? std::string(sjis) : std::string(sjis, size_t(length));
  out = platform::ToUtf8(in);
  return out.c_str();
}

// Each message is formatted into 1,024 bytes; the text stops at its bound
// instead of running past it. Only whole messages go in: a message cut at
// the bound could end inside a character, and later ones would hide the gap.
void Message(const char* format, ...) {
  if (!Collecting || TextFull) return;
  char line[kMessageBytes];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return;
  uint32_t len = std::strlen(line);
  if (ErrorLength + len >= kErrorTextBytes) {
    TextFull = true;
    return;
  }
  std::memcpy(ErrorText + ErrorLength, line, len);
  ErrorLength += len;
  ErrorText[ErrorLength] = 0;
}

static const char* TopPath() { return FrameTop >= 0 ? Frames[FrameTop].path : ""; }
static int TopLine() { return FrameTop >= 0 ? Frames[FrameTop].line : 0; }

void MissingToken(const char* what) {
  Message("%s(%d) : %s がありません\n", MessageText(TopPath()), TopLine(), what);
  std::string token = std::strcmp(what, "識別子") == 0 ? "an identifier" : what;
  GnuNote("warning", std::string(what) + " がありません", token + " expected", true);
}

// Appends the source line with tabs widened to multiples of 4 and a caret
// under the place the reader had reached.
static void AppendSourceLine() {
  int caret = CaretColumn();
  char widened[kMessageBytes];
  char marks[kMessageBytes];
  int w = 0, col = 0, m = 0;
  for (int i = 0; LineBuffer[i] && LineBuffer[i] != '\n' && w < kMessageBytes - 8; ++i) {
    char c = LineBuffer[i];
    int next = c == '\t' ? (col / 4 + 1) * 4 : col + 1;
    if (c == '\t') {
      while (col < next && w < kMessageBytes - 8) widened[w++] = ' ', ++col;
    } else {
      widened[w++] = c;
      col = next;
    }
    if (i < caret) m = col;
  }
  widened[w] = 0;
  if (m > kMessageBytes - 8) m = kMessageBytes - 8;
  std::memset(marks, ' ', size_t(m));
  marks[m] = 0;
  Message("%s\n", MessageText(widened));
  Message("%s^\n", marks);
  GnuLines(std::string(MessageText(widened)) + "\n" + marks + "^\n");
}

[[noreturn]] void Fail(int code) {
  Message("%s(%d) : %s。\n", MessageText(TopPath()), TopLine(), MessageErrorText(code));
  GnuNote("error", MessageErrorText(code), GlossText(code), true);
  if (TopLine() != 0) AppendSourceLine();
  throw CompileAbort{};
}

// Keeps the gathered text for LastCompileMessages and returns it (empty
// when nothing was gathered); the error text is then reset.
std::string TakeErrorText() {
  std::memcpy(LastText, ErrorText, ErrorLength + 1);
  std::string text(ErrorText, ErrorLength);
  ErrorLength = 0;
  ErrorText[0] = 0;
  return text;
}

// The box holds 255 bytes of text: a longer text is cut after its last whole
// line that fits (or at a character boundary), never inside a character.
static std::string BoxText(const std::string& text) {
  constexpr size_t kBoxBytes = 255;
  if (text.size() <= kBoxBytes) return text;
  size_t cut = text.rfind('\n', kBoxBytes - 1);
  if (cut != std::string::npos) return text.substr(0, cut + 1);
  cut = kBoxBytes;
  while (cut > 0 && (uint8_t(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

// Headless runs and command-line checks have no box: the text goes whole to
// standard error. Otherwise it is shown once through the error box, as text
// (a '%' in a path is no format). Messages in GNU form go to standard error
// in every case, in place of the system's form there.
void ShowErrorText(const std::string& text, const std::string& gnuText, int mode) {
  if (mode == 2) return;
  bool toStderr = mode == 1 || Headless();
  if (!gnuText.empty()) {
    std::fputs(gnuText.c_str(), stderr);
    std::fflush(stderr);
    if (toStderr) return;
  }
  if (text.empty()) return;
  if (toStderr) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  } else {
    ReportError(kLevelFault, "%s", BoxText(text).c_str());
  }
}

}  // namespace qavz::compiler

namespace qavz {
const char* LastCompileMessages() { return compiler::LastText; }
const char* CompileErrorMessage(int code) { return compiler::MessageErrorText(code); }
}  // namespace qavz
