// Fonts: face names found through fontconfig, faces opened and glyphs drawn
// through FreeType. The runtime's text layout and drawing live above this;
// here are only the font files, their metrics and single glyph images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavz::platform {

// A face inside a font file (collections hold several).
struct FontFile {
  std::string path;
  int32_t index = 0;
  // The face stands in for a Japanese Windows face, whose em is its whole
  // cell: heights size it by the em, whatever its own line metrics say.
  bool emIsCell = false;
};

// The file of a face name (UTF-8) by fontconfig. The Japanese Windows faces
// ("ＭＳ ゴシック", "MS Mincho", "MS UI Gothic", ...) are asked for as the
// metric-compatible IPA faces; a name fontconfig does not know, or one whose
// face has no kana, gives the default Japanese face. False only when no font
// with kana is installed at all.
bool FindFontFile(const std::string& utf8Face, bool bold, bool italic, FontFile& out);
// True for the names of the Japanese Windows faces, whose glyph at 0x5C is
// the yen sign.
bool IsJapaneseWindowsFace(const std::string& utf8Face);
// The default Japanese face (the one "ＭＳ ゴシック" resolves to).
bool DefaultFontFile(FontFile& out);

struct FaceSpec {
  FontFile file;
  // As a Windows font height: above 0 the cell height (ascent + descent),
  // below 0 minus the em height, 0 a default cell height of 16.
  int32_t height = 16;
  bool bold = false;    // drawn bold, emboldened when the face is not bold itself
  bool italic = false;  // drawn slanted, sheared when the face is not italic itself
  // Counter-clockwise rotation of the glyphs in tenths of a degree.
  int32_t escapement = 0;
};

struct FaceMetrics {
  int32_t ascent = 0;        // pixels above the baseline in the cell
  int32_t descent = 0;       // pixels below it; ascent + descent is the cell height
  int32_t underlineTop = 0;  // rows below the baseline where the underline starts
  int32_t underlineThickness = 1;
  int32_t strikeoutTop = 0;  // rows above the baseline where the strike-out line starts
  int32_t strikeoutThickness = 1;
};

enum class GlyphDepth : uint8_t {
  kBilevel,  // one bit a pixel, most significant bit leftmost
  kGrey,     // one byte a pixel, 0 .. 255 coverage
};

// One glyph image. The glyph's origin lies on the baseline; the image's top
// left pixel is at (left, top) from it, y growing downward.
struct GlyphImage {
  int32_t left = 0, top = 0;
  int32_t width = 0, height = 0;
  int32_t pitch = 0;    // bytes a row
  int32_t advance = 0;  // unrotated advance along the baseline, whole pixels
  std::vector<uint8_t> bits;
};

struct Face;

// Opens a face at the size; null when the file cannot be read, the height is
// beyond kMaxFaceHeight or FreeType refuses. Faces may be used on different
// threads, each face by one thread at a time.
Face* OpenFace(const FaceSpec& spec);
void CloseFace(Face* face);
const FaceMetrics& MetricsOf(const Face* face);

// The advance of a code point without drawing it.
int32_t GlyphAdvance(Face* face, char32_t c);
// Draws a code point (rotated by the face's escapement); false when FreeType
// fails, the image then being empty with the advance still set.
bool RenderGlyph(Face* face, char32_t c, GlyphDepth depth, GlyphImage& out);
// True when the face has a glyph of its own for the code point.
bool HasGlyph(Face* face, char32_t c);

// Largest cell or em height a face is opened at, in pixels.
constexpr int32_t kMaxFaceHeight = 4096;

}  // namespace qavz::platform
