#include "core/report_error.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/config.h"

namespace qavz {

namespace {
unsigned gErrorLevel = 0;
bool gBoxesOn = false;
std::atomic<ErrorBoxFunction> gBox{nullptr};

bool LogToStderr() { return Headless() || std::getenv("QAVZ_LOG") != nullptr; }

// A message cut at the buffer's end loses the incomplete UTF-8 character
// there, so the box and the log never show a broken one.
void DropPartialCharacter(char* text) {
  size_t n = std::strlen(text), start = n;
  while (start > 0 && (uint8_t(text[start - 1]) & 0xC0) == 0x80) --start;
  if (start == 0) return;
  uint8_t lead = uint8_t(text[start - 1]);
  size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (n - (start - 1) < want) text[start - 1] = '\0';
}
}  // namespace

void SetErrorLevel(int configuredError) {
  gErrorLevel = unsigned(configuredError);
  gBoxesOn = configuredError > 0;
}

unsigned ErrorLevel() { return gErrorLevel; }

void SetErrorBox(ErrorBoxFunction box) { gBox.store(box); }

int ReportErrorV(unsigned level, const char* format, va_list args) {
  char text[256];
  if (std::vsnprintf(text, sizeof text, format, args) >= int(sizeof text)) DropPartialCharacter(text);
  if (LogToStderr()) std::fprintf(stderr, "%s\n", text);
  if (!gBoxesOn || level > gErrorLevel) return 0;
  ErrorBoxFunction box = gBox.load();
  if (!box || Headless()) return 1;  // no display: the line above is the box
  return box(text);
}

int ReportError(unsigned level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = ReportErrorV(level, format, args);
  va_end(args);
  return result;
}

}  // namespace qavz
