#include "graphics/text_face.h"

#include <atomic>
#include <list>
#include <map>
#include <tuple>

namespace qavz {

namespace {

// Glyph bits one face keeps before it starts over (a title drawing huge
// text must not hold every glyph it ever drew).
constexpr size_t kMaxGlyphBytes = size_t(32) << 20;
// Faces kept in the shared cache besides those font objects hold.
constexpr size_t kKeptFaces = 16;

std::atomic<uint64_t> gFacesOpened{0}, gGlyphsDrawn{0};

// Most recently used first.
std::list<std::pair<FaceKey, std::shared_ptr<TextFace>>>& SharedFaces() {
  static std::list<std::pair<FaceKey, std::shared_ptr<TextFace>>> faces;
  return faces;
}

bool SameKey(const FaceKey& a, const FaceKey& b) { return !(a < b) && !(b < a); }

}  // namespace

bool FaceKey::operator<(const FaceKey& o) const {
  return std::tie(file.path, file.index, file.emIsCell, height, bold, italic, escapement, depth) <
         std::tie(o.file.path, o.file.index, o.file.emIsCell, o.height, o.bold, o.italic, o.escapement,
                  o.depth);
}

TextFace::TextFace(const FaceKey& key, platform::Face* face)
    : key_(key), face_(face), metrics_(platform::MetricsOf(face)) {}

TextFace::~TextFace() { platform::CloseFace(face_); }

std::unique_ptr<TextFace> TextFace::Open(const FaceKey& key) {
  platform::Face* face =
      platform::OpenFace(platform::FaceSpec{key.file, key.height, key.bold, key.italic, key.escapement});
  if (!face) return nullptr;
  ++gFacesOpened;
  return std::unique_ptr<TextFace>(new TextFace(key, face));
}

std::shared_ptr<TextFace> TextFace::Get(const FaceKey& key) {
  auto& faces = SharedFaces();
  for (auto it = faces.begin(); it != faces.end(); ++it) {
    if (SameKey(it->first, key)) {
      faces.splice(faces.begin(), faces, it);
      return faces.front().second;
    }
  }
  std::shared_ptr<TextFace> face(Open(key));
  if (!face) return nullptr;
  faces.emplace_front(key, face);
  TrimTextFaces();
  return face;
}

TextFace::Entry& TextFace::EntryOf(char32_t c) {
  auto it = entries_.find(c);
  if (it != entries_.end()) return it->second;
  if (bytes_ > kMaxGlyphBytes) {
    entries_.clear();
    bytes_ = 0;
  }
  Entry& e = entries_[c];
  e.glyph.advance = platform::GlyphAdvance(face_, c);
  return e;
}

int32_t TextFace::Advance(char32_t c) { return EntryOf(c).glyph.advance; }

TextFace::Entry& TextFace::DrawnEntry(char32_t c) {
  Entry& e = EntryOf(c);
  if (!e.drawn) {
    platform::GlyphImage image;
    platform::RenderGlyph(face_, c, key_.depth, image);
    e.drawn = true;
    e.glyph = TextGlyph{image.left,  image.top,     image.width,          image.height,
                        image.pitch, image.advance, std::move(image.bits)};
    bytes_ += e.glyph.bits.size() + sizeof(Entry);
    ++gGlyphsDrawn;
  }
  return e;
}

const TextGlyph& TextFace::Glyph(char32_t c) { return DrawnEntry(c).glyph; }

const TextBlocks& TextFace::Blocks(char32_t c, int32_t dx, int32_t dy) {
  Entry& e = DrawnEntry(c);
  uint8_t phase = uint8_t((dy & 7) * 8 + (dx & 7));
  for (auto& [p, blocks] : e.blocks)
    if (p == phase) return blocks;
  const TextGlyph& g = e.glyph;
  TextBlocks b;
  b.wide = (g.width + (dx & 7) + 7) / 8;
  b.high = (g.height + (dy & 7) + 7) / 8;
  b.words.assign(size_t(b.wide) * size_t(b.high), 0);
  for (int32_t r = 0; r < g.height; ++r) {
    int32_t y = r + (dy & 7);
    uint64_t* row = b.words.data() + size_t(y >> 3) * size_t(b.wide);
    const uint8_t* src = g.bits.data() + size_t(r) * size_t(g.pitch);
    for (int32_t col = 0; col < g.width; ++col)
      if (src[col >> 3] & (0x80 >> (col & 7))) {
        int32_t x = col + (dx & 7);
        row[x >> 3] |= uint64_t(0x80 >> (x & 7)) << ((y & 7) * 8);
      }
  }
  bytes_ += b.words.size() * 8;
  e.blocks.emplace_back(phase, std::move(b));
  return e.blocks.back().second;
}

TextFaceCounters TextFaceCount() noexcept {
  return TextFaceCounters{gFacesOpened.load(), gGlyphsDrawn.load()};
}

void TrimTextFaces() noexcept {
  auto& faces = SharedFaces();
  size_t kept = 0;
  for (auto it = faces.begin(); it != faces.end();) {
    bool held = it->second.use_count() > 1;
    if (held || kept < kKeptFaces) {
      kept += held ? 0 : 1;
      ++it;
    } else {
      it = faces.erase(it);
    }
  }
}

void FreeTextFaces() noexcept { SharedFaces().clear(); }

}  // namespace qavz
