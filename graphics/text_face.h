// Sized faces with their glyph caches, shared by every font object that asks
// for the same face, size, weight, slant and rotation: a font object is
// remade whenever its description changes, but its glyphs are drawn again
// only when no font object drew them before.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/fonts.h"

namespace qavz {

// A glyph image, one bit a pixel (most significant bit leftmost) or one
// byte a pixel. Its top left pixel lies at (left, top) from the glyph's
// origin on the baseline, y growing downward.
struct TextGlyph {
  int32_t left = 0, top = 0, width = 0, height = 0, pitch = 0;
  int32_t advance = 0;  // along the baseline, whole pixels
  std::vector<uint8_t> bits;
};

// A two-level glyph cut into 8 x 8 blocks, its top left pixel placed at
// (dx, dy) inside block (0, 0): each block is one word, row r in byte r
// (row 0 lowest), the leftmost pixel in the byte's highest bit.
struct TextBlocks {
  int32_t wide = 0, high = 0;
  std::vector<uint64_t> words;  // row-major, wide x high
};

struct FaceKey {
  platform::FontFile file;
  int32_t height = 0;  // as a Windows font height (above 0 cell, below 0 em)
  bool bold = false, italic = false;
  int32_t escapement = 0;  // 0 .. 3599
  platform::GlyphDepth depth = platform::GlyphDepth::kBilevel;
  bool operator<(const FaceKey& o) const;
};

class TextFace {
 public:
  // The face from the shared cache, opened when missing; null when it
  // cannot be opened. Script threads only (under NativeLock).
  static std::shared_ptr<TextFace> Get(const FaceKey& key);
  // A face outside the shared cache, for the window thread's own text.
  static std::unique_ptr<TextFace> Open(const FaceKey& key);
  ~TextFace();
  TextFace(const TextFace&) = delete;
  TextFace& operator=(const TextFace&) = delete;

  const platform::FaceMetrics& Metrics() const { return metrics_; }
  int32_t CellHeight() const { return metrics_.ascent + metrics_.descent; }
  int32_t Escapement() const { return key_.escapement; }
  int32_t Advance(char32_t c);
  // The glyph, drawn on first use; glyphs with no image have width 0.
  const TextGlyph& Glyph(char32_t c);
  // The two-level glyph as blocks at an offset (0 .. 7 each), made on first
  // use. The reference lasts until the next call on this face.
  const TextBlocks& Blocks(char32_t c, int32_t dx, int32_t dy);

 private:
  TextFace(const FaceKey& key, platform::Face* face);
  struct Entry {
    bool drawn = false;
    TextGlyph glyph;
    std::vector<std::pair<uint8_t, TextBlocks>> blocks;  // by dy * 8 + dx
  };
  Entry& EntryOf(char32_t c);
  Entry& DrawnEntry(char32_t c);

  FaceKey key_;
  platform::Face* face_;
  platform::FaceMetrics metrics_;
  std::unordered_map<char32_t, Entry> entries_;
  size_t bytes_ = 0;  // glyph bits held; the cache empties itself past a limit
};

// Counters for tests and benchmarks: faces opened and glyphs drawn since the
// start of the process.
struct TextFaceCounters {
  uint64_t facesOpened = 0;
  uint64_t glyphsDrawn = 0;
};
TextFaceCounters TextFaceCount() noexcept;
// Drops the shared faces beyond the few kept that no font object holds.
void TrimTextFaces() noexcept;
// Drops every shared face (font objects still holding one keep it alive).
void FreeTextFaces() noexcept;

}  // namespace qavz
