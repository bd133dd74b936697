// The shared user-visible error report, filtered by level.
#pragma once

#include <cstdarg>

namespace qavz {

// Level 1: machine faults, native-call errors, device errors, compile errors.
// Level 2: data files not found, unreadable, unwritable.
enum ErrorLevelKind : unsigned { kLevelFault = 1, kLevelData = 2 };

// Formats (printf style, UTF-8 text and arguments) into a 256-byte buffer and
// shows it in a message box captioned "QAV ERROR : Error" when error boxes are
// on ("Error" > 0) and level <= ErrorLevel. Returns the box's result (1 = OK),
// 0 when nothing is shown. Also writes the message as one line to standard
// error when QAVZ_LOG is set or the runtime runs headless, whatever the level.
int ReportError(unsigned level, const char* format, ...) __attribute__((format(printf, 2, 3)));
int ReportErrorV(unsigned level, const char* format, va_list args);

// How a shown message reaches the user; the host installs the platform's
// message box. Returns the box result.
using ErrorBoxFunction = int (*)(const char* utf8Text);
void SetErrorBox(ErrorBoxFunction box);

// Set once from the configuration before any other thread exists.
void SetErrorLevel(int configuredError);
unsigned ErrorLevel();

}  // namespace qavz
