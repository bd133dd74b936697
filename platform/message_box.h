// The runtime's own modal message box: an SDL window whose text is drawn with
// FreeType in a Japanese-capable face found through fontconfig.
//
// Toolkit boxes need X core fonts for Japanese and may run in a child process
// that outlives the runtime; this one needs only the fonts the set-up
// installs, runs in the calling (main) thread and closes itself when a
// termination signal arrives.
#pragma once

#include <string>
#include <vector>

struct SDL_Window;

namespace qavz::platform {

struct BoxButton {
  std::string label;  // UTF-8; '&' marks the access key, as on Windows
  int result;
};

struct BoxSpec {
  std::string caption;  // UTF-8
  std::string text;     // UTF-8; '\n' breaks lines, long lines wrap
  std::vector<BoxButton> buttons;
  int defaultButton = 0;  // index chosen by Enter and focused first
  int closeResult = 1;    // result of Escape and of closing the box
};

// The usual Windows buttons by the low four bits of a box type (0 OK,
// 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/
// Cancel), with the Windows result codes and Japanese labels.
BoxSpec StandardBox(const std::string& caption, const std::string& text, unsigned type);

// Shows the box and waits for a button. -1 when it cannot be shown (no
// display, no usable font, the toolkit failed): the caller must then let the
// message reach the user another way. When a termination signal arrives it
// closes at once and gives closeResult. An owner window keeps the box above
// it (and lets the window manager treat it as its dialog).
int ShowMessageBox(const BoxSpec& spec, SDL_Window* owner = nullptr);

// The font file the box (and other runtime text) uses for Japanese text, or
// empty when none is installed.
std::string JapaneseFontFile();
// True when that font has a glyph for every character of the UTF-8 text.
bool FontCoversText(const std::string& utf8);

}  // namespace qavz::platform
