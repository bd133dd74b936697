// Compiler messages in the form editors jump to, file:line:column: error:
// TEXT [gloss], kept beside the system's own text for standard error. The
// Japanese text always stays in the message; the English gloss follows it.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "compiler/compiler.h"
#include "compiler/internal.h"
#include "platform/path_map.h"
#include "platform/text_encoding.h"

namespace qavz::compiler {

namespace {

// Code -> English gloss, in the order of the message table.
const char* const kGlosses[] = {
    "internal error",                           // 0
    "out of memory",                            // 1
    "cannot open the file",                     // 2
    "cannot read the file",                     // 3
    "error in a directive",                     // 4
    "bad include file name",                    // 5
    "includes nested too deeply",               // 6
    "a macro was expanded more than 16 times",  // 7
    "bad variable or function declaration",     // 8
    "bad expression",                           // 9
    "division by zero",                         // 10
    "a constant was expected",                  // 11
    "syntax error",                             // 12
    "no such variable",                         // 13
    "wrong type",                               // 14
    "undefined name",                           // 15
    "a string must end on its line",            // 16
    "missing quotation mark",                   // 17
    "too many global symbols",                  // 18
    "too many local symbols",                   // 19
    "symbol buffer overflow",                   // 20
    "line too long",                            // 21
    "heap area overflow",                       // 22
    "program area too small",                   // 23
    "unexpected end of file",                   // 24
};
static_assert(sizeof kGlosses / sizeof kGlosses[0] == kCompileErrorCount);

constexpr size_t kGnuTextBytes = 65536;

MessageForm Form = MessageForm::kClassic;
std::string StartDir;  // paths are shown relative to it where they lie below it
std::string GnuText;

// The file as the editor finds it: the name on disk, relative to the folder
// qavz was started in when it lies below it, else absolute.
std::string EditorPath(const char* sjisPath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path onDisk = fs::absolute(platform::MapPath(sjisPath), ec).lexically_normal();
  std::string shown = onDisk.string();
  if (!StartDir.empty()) {
    fs::path relative = onDisk.lexically_relative(StartDir);
    std::string r = relative.string();
    if (!r.empty() && r.compare(0, 2, "..") != 0) shown = r;
  }
  return MessageText(shown.c_str());
}

// The column the caret points at, from 1 as editors count: a UTF-8 line
// counts code points, a Shift-JIS line a double-byte pair as one. Like the
// caret, it stops at the end of the line.
int CharacterColumn(int caret) {
  std::string before(LineBuffer, size_t(caret));
  while (!before.empty() && (before.back() == '\n' || before.back() == '\r')) before.pop_back();
  int column = 1;
  if (platform::IsUtf8(LineBuffer)) {
    for (char c : before) column += (uint8_t(c) & 0xC0) != 0x80;
    return column;
  }
  for (size_t i = 0; i < before.size(); ++i, ++column)
    if (Is(before[i], kClsLead)) ++i;
  return column;
}

void Append(const std::string& text) {
  if (GnuText.size() + text.size() <= kGnuTextBytes) GnuText += text;
}

}  // namespace

const char* GlossText(int code) { return code >= 0 && code < kCompileErrorCount ? kGlosses[code] : ""; }

bool GnuFormOn() { return Form == MessageForm::kGnu; }

void ResetGnuText() { GnuText.clear(); }

// One message at the top frame's place; `located` adds line and column.
void GnuNote(const char* kind, const std::string& text, const std::string& gloss, bool located) {
  if (!GnuFormOn()) return;
  std::string path = FrameTop >= 0 ? Frames[FrameTop].path : std::string(IncludeDir) + MainName;
  int line = FrameTop >= 0 ? Frames[FrameTop].line : 0;
  char place[64] = "";
  if (located && line > 0) std::snprintf(place, sizeof place, ":%d:%d", line, CharacterColumn(CaretColumn()));
  Append(EditorPath(path.c_str()) + place + ": " + kind + ": " + text + " [" + gloss + "]\n");
}

void GnuLines(const std::string& lines) {
  if (GnuFormOn()) Append(lines);
}

std::string TakeGnuText() {
  std::string text;
  text.swap(GnuText);
  return text;
}

}  // namespace qavz::compiler

namespace qavz {

void SetMessageForm(MessageForm form, const std::string& startDir) {
  compiler::Form = form;
  compiler::StartDir = startDir;
}

MessageForm CurrentMessageForm() { return compiler::Form; }

}  // namespace qavz
