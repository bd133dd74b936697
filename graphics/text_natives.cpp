// gtext and gtextf: a string drawn into a plane in the current slot's font,
// its box's top left corner at (x, y).
#include "core/lead_bytes.h"
#include "graphics/text_draw.h"
#include "vm/formatter.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// Longest string drawn; the rest of a longer one is not read.
constexpr uint32_t kMaxTextBytes = 1u << 20;
// gtextf formats into a buffer of this size, terminator included.
constexpr size_t kFormatBuffer = 1024;

// The text cut to `limit` bytes without splitting a double-byte character.
void CutText(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  size_t end = 0;
  while (end < limit) {
    size_t len = IsLeadByte(uint8_t(text[end])) && end + 1 < text.size() ? 2 : 1;
    if (end + len > limit) break;
    end += len;
  }
  text.resize(end);
}

}  // namespace

int32_t DrawScriptText(Plane& plane, int32_t x, int32_t y, uint32_t colourWord, const std::string& shiftJis) {
  const FontObject* font = MakeFontObject(CurrentFontSlot());
  if (!font) return 0;
  if (shiftJis.empty()) return 1;
  std::u32string text = DecodeScriptText(shiftJis, font->yenAt5C);
  if (font->style & kFontSmooth) return DrawSmoothText(plane, x, y, colourWord, *font, text);
  return DrawPlainText(plane, x, y, colourWord, *font, text);
}

// gtext(plane, x, y, colour word, string).
int32_t Native_gtext(Addr args) {
  Plane* plane = PlaneAt(Arg(args, 0));
  std::string text;
  if (!plane || !TheArena().ReadString(ArgAddr(args, 4), text, kMaxTextBytes)) return 0;
  return DrawScriptText(*plane, Arg(args, 1), Arg(args, 2), uint32_t(Arg(args, 3)), text);
}

// gtextf(plane, x, y, colour word, format, values...): formatted as sprintf
// into a 1024-byte buffer, then drawn as gtext; longer results are cut at a
// character boundary instead of overrunning the buffer.
int32_t Native_gtextf(Addr args) {
  Plane* plane = PlaneAt(Arg(args, 0));
  Addr format = ArgAddr(args, 4);
  if (!plane || !TheArena().Live(format, 1)) return 0;
  std::string text = FormatScriptText(format, args + 20, kFormatBuffer);
  CutText(text, kFormatBuffer - 1);
  return DrawScriptText(*plane, Arg(args, 1), Arg(args, 2), uint32_t(Arg(args, 3)), text);
}

}  // namespace qavz
