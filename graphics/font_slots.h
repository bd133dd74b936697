// The 32 font slots: each holds the description scripts read and write as a
// 44-byte record, the font object made from it and the copy of the
// description the object was made from; each script thread has a current
// slot. Natives use them under NativeLock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "graphics/text_face.h"

namespace qavz {

// The script-visible font description, byte for byte.
struct FontDescription {
  char face[32];       // zero-terminated, Shift-JIS
  int32_t height;      // pixels: above 0 the cell height, below 0 minus the em height
  int32_t escapement;  // tenths of a degree, counter-clockwise
  uint16_t style;      // FontStyle bits
  uint16_t unused;     // copied, never read
};
static_assert(sizeof(FontDescription) == 44);
static_assert(offsetof(FontDescription, height) == 32 && offsetof(FontDescription, escapement) == 36 &&
              offsetof(FontDescription, style) == 40);

enum FontStyle : uint16_t {
  kFontBold = 1,
  kFontItalic = 2,
  kFontUnderline = 4,
  kFontStrikeOut = 8,
  kFontSmooth = 16,  // drawn at eight times the size and reduced to 256 levels
};

constexpr int32_t kFontSlotCount = 32;
constexpr int32_t kFontThreadCount = 32;

// "ＭＳ ゴシック", height 16, everything else 0.
FontDescription DefaultFontDescription() noexcept;

// A slot's font, as made from its description.
struct FontObject {
  std::shared_ptr<TextFace> face;  // made at eight times the height for smooth text
  uint16_t style = 0;
  bool yenAt5C = false;  // the face is a Japanese Windows face: byte 0x5C is the yen sign
  uint64_t serial = 0;   // counts every object made, for tests
};

// The slot's font object, made anew when its description differs from the
// copy the object was made from; null for a slot above 31 or a font that
// cannot be made. Throws only when host memory runs out.
const FontObject* MakeFontObject(int32_t slot);
// The serial of the slot's current object, 0 when it has none.
uint64_t FontObjectSerial(int32_t slot) noexcept;

// The calling script thread's current slot (0 .. 255).
int32_t CurrentFontSlot() noexcept;
// Sets a script thread's current slot back to 0 (thd_begin).
void ResetFontSelection(int32_t thread) noexcept;

// Start and reset: every description becomes the default, every object is
// deleted, every thread's selection 0. FreeFontSlots also releases the
// shared faces and the smooth scratch.
void ResetFontSlots() noexcept;
void FreeFontSlots() noexcept;

// The font file a face name (Shift-JIS) maps to through the title's
// configuration: "[qavz]" key "Font.<face name>" = "<file>[,<face index>]",
// the file relative to the title's folder. False when no key names it.
bool ConfiguredFontFile(const std::string& shiftJisFace, platform::FontFile& out);

}  // namespace qavz
