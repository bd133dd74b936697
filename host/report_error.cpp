#include "host/report_error.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "host/config.h"

namespace qavz {

namespace {
unsigned gErrorLevel = 0;
bool gBoxesOn = false;
std::atomic<ErrorBoxFunction> gBox{nullptr};

bool LogToStderr() { return Headless() || std::getenv("QAVZ_LOG") != nullptr; }
}  // namespace

void SetErrorLevel(int configuredError) {
  gErrorLevel = unsigned(configuredError);
  gBoxesOn = configuredError > 0;
}

unsigned ErrorLevel() { return gErrorLevel; }

void SetErrorBox(ErrorBoxFunction box) { gBox.store(box); }

int ReportErrorV(unsigned level, const char* format, va_list args) {
  char text[256];
  std::vsnprintf(text, sizeof text, format, args);
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
