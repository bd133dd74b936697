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

const TextGlyph& TextFace::Glyph(char32_t c) {
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
  return e.glyph;
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
