#include "platform/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>

namespace qavz::platform {

namespace {

// Japanese Windows faces and the IPA faces drawn with the same metrics in
// their place. Names are compared after NormalName.
struct Substitute {
  const char* windowsName;
  const char* family;
};
constexpr Substitute kSubstitutes[] = {
    {"msゴシック", "IPAGothic"},    {"msgothic", "IPAGothic"},     {"ms明朝", "IPAMincho"},
    {"msmincho", "IPAMincho"},      {"mspゴシック", "IPAPGothic"}, {"mspgothic", "IPAPGothic"},
    {"msp明朝", "IPAPMincho"},      {"mspmincho", "IPAPMincho"},   {"msuigothic", "IPAPGothic"},
    {"msuiゴシック", "IPAPGothic"},
};
constexpr char kDefaultFamily[] = "IPAGothic";

// Lower-case ASCII, full-width Latin letters as ASCII, no spaces (ASCII or
// ideographic) and no leading '@' (the vertical-writing form of a face).
std::string NormalName(const std::string& utf8) {
  std::string out;
  size_t i = utf8.size() > 0 && utf8[0] == '@' ? 1 : 0;
  for (; i < utf8.size(); ++i) {
    unsigned char c = uint8_t(utf8[i]);
    if (c == ' ') continue;
    // U+3000 is E3 80 80; U+FF21..FF3A and U+FF41..FF5A are EF BC A1..BA and EF BD 81..9A.
    if (c == 0xE3 && i + 2 < utf8.size() && uint8_t(utf8[i + 1]) == 0x80 && uint8_t(utf8[i + 2]) == 0x80) {
      i += 2;
      continue;
    }
    if (c == 0xEF && i + 2 < utf8.size()) {
      unsigned b = uint8_t(utf8[i + 1]), t = uint8_t(utf8[i + 2]);
      if ((b == 0xBC && t >= 0xA1 && t <= 0xBA) || (b == 0xBD && t >= 0x81 && t <= 0x9A)) {
        out.push_back(char(b == 0xBC ? 'a' + (t - 0xA1) : 'a' + (t - 0x81)));
        i += 2;
        continue;
      }
    }
    out.push_back(c >= 'A' && c <= 'Z' ? char(c + 32) : char(c));
  }
  return out;
}

const char* SubstituteFamily(const std::string& utf8Face) {
  std::string name = NormalName(utf8Face);
  for (const Substitute& s : kSubstitutes)
    if (name == s.windowsName) return s.family;
  return nullptr;
}

// True when one of the match's family names is `family` (without case).
bool HasFamily(FcPattern* match, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) return true;
  return false;
}

// fontconfig's face of the family, with Japanese coverage preferred among
// its faces; false when no installed face has that family name or the face
// cannot draw kana.
bool MatchFamily(const std::string& family, bool bold, bool italic, FontFile& out) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  bool ok = false;
  FcChar8* path = nullptr;
  FcCharSet* chars = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
      FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch && FcCharSetHasChar(chars, 0x3042) &&
      HasFamily(match, family)) {
    int index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    out = FontFile{reinterpret_cast<const char*>(path), index, false};
    ok = true;
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return ok;
}

// Matches are remembered: fontconfig takes milliseconds, and a title may
// change its font description every frame.
struct MatchCache {
  std::mutex mutex;
  std::map<std::string, std::pair<bool, FontFile>> entries;
};
MatchCache& TheMatchCache() {
  static MatchCache cache;
  return cache;
}

// One FreeType library; creating and freeing faces is serialised on it.
struct Library {
  std::mutex mutex;
  FT_Library library = nullptr;
  bool tried = false;
};
Library& TheLibrary() {
  static Library library;
  return library;
}

int32_t Round(double v) { return int32_t(std::lround(v)); }

}  // namespace

bool IsJapaneseWindowsFace(const std::string& utf8Face) { return SubstituteFamily(utf8Face) != nullptr; }

bool FindFontFile(const std::string& utf8Face, bool bold, bool italic, FontFile& out) {
  MatchCache& cache = TheMatchCache();
  std::string key = utf8Face + (bold ? "\1b" : "\1-") + (italic ? "i" : "-");
  std::lock_guard lock(cache.mutex);
  auto it = cache.entries.find(key);
  if (it == cache.entries.end()) {
    const char* substitute = SubstituteFamily(utf8Face);
    FontFile file;
    bool ok = MatchFamily(substitute ? substitute : utf8Face, bold, italic, file);
    if (!ok) substitute = kDefaultFamily, ok = MatchFamily(kDefaultFamily, bold, italic, file);
    file.emIsCell = substitute != nullptr;
    it = cache.entries.emplace(key, std::make_pair(ok, file)).first;
  }
  out = it->second.second;
  return it->second.first;
}

bool DefaultFontFile(FontFile& out) { return FindFontFile("ＭＳ ゴシック", false, false, out); }

struct Face {
  FT_Face ft = nullptr;
  FaceSpec spec;
  FaceMetrics metrics;
  FT_Pos boldStrength = 0;  // 26.6 pixels added to each stroke and advance
  FT_Pos italicShift = 0;   // 26.6 pixels the sheared glyph moves right
  bool shear = false;
  bool rotate = false;
  FT_Matrix rotation{};
  bool Transformed() const { return boldStrength || shear || rotate; }
};

namespace {

// Sizes the face as a Windows font height asks and fills the metrics.
bool SizeFace(Face& face) {
  FT_Face ft = face.ft;
  if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) return false;
  // Windows sizes a face by its usWinAscent and usWinDescent; a stand-in for
  // a Windows face whose em is its cell is sized by the em, its ascent taken
  // from the line metrics.
  double upem = ft->units_per_EM, winAscent = ft->ascender, winDescent = -ft->descender;
  double strikePos = upem * 0.3, strikeSize = upem / 20;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF) {
    if (os2->usWinAscent + os2->usWinDescent > 0 && !face.spec.file.emIsCell)
      winAscent = os2->usWinAscent, winDescent = os2->usWinDescent;
    if (os2->yStrikeoutSize > 0) strikePos = os2->yStrikeoutPosition, strikeSize = os2->yStrikeoutSize;
  }
  if (face.spec.file.emIsCell && winAscent + winDescent > 0) {
    winAscent = upem * winAscent / (winAscent + winDescent);
    winDescent = upem - winAscent;
  }
  int32_t height = face.spec.height == 0 ? 16 : face.spec.height;
  double em;
  FaceMetrics& m = face.metrics;
  if (height > 0) {
    em = height * upem / (winAscent + winDescent);
    m.ascent = Round(height * winAscent / (winAscent + winDescent));
    m.descent = height - m.ascent;
  } else {
    em = -double(height);
    m.ascent = Round(winAscent * em / upem);
    m.descent = Round(winDescent * em / upem);
  }
  if (em < 1 || m.ascent + m.descent > kMaxFaceHeight) return false;
  if (FT_Set_Char_Size(ft, 0, FT_F26Dot6(std::lround(em * 64)), 72, 72) != 0) return false;
  double scale = em / upem;
  m.underlineThickness = std::max(1, Round(ft->underline_thickness * scale));
  m.underlineTop = Round(-ft->underline_position * scale - m.underlineThickness / 2.0);
  m.underlineTop = std::max(0, std::min(m.underlineTop, m.descent - m.underlineThickness));
  m.strikeoutThickness = std::max(1, Round(strikeSize * scale));
  m.strikeoutTop = Round(strikePos * scale);
  if (face.spec.bold && !(ft->style_flags & FT_STYLE_FLAG_BOLD))
    face.boldStrength = std::max<FT_Pos>(64, FT_Pos(em * 64 / 24) & ~63);
  face.shear = face.spec.italic && !(ft->style_flags & FT_STYLE_FLAG_ITALIC);
  face.italicShift = FT_Pos(m.descent) * 16;  // a quarter of the descent, in 26.6
  int32_t e = face.spec.escapement % 3600;
  if (e != 0) {
    double angle = e * std::numbers::pi / 1800;
    FT_Fixed c = FT_Fixed(std::lround(std::cos(angle) * 65536)),
             s = FT_Fixed(std::lround(std::sin(angle) * 65536));
    face.rotation = FT_Matrix{c, -s, s, c};
    face.rotate = true;
  }
  return true;
}

FT_Int32 LoadFlags(const Face& face, GlyphDepth depth) {
  FT_Int32 flags = depth == GlyphDepth::kBilevel ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
  // Embedded bitmaps serve plain bilevel text only: the others are drawn
  // from the outline.
  if (depth == GlyphDepth::kGrey || face.Transformed()) flags |= FT_LOAD_NO_BITMAP;
  return flags;
}

// The glyph slot's outline emboldened, sheared and rotated as the face asks.
void Transform(const Face& face, FT_Outline* outline) {
  if (face.boldStrength) FT_Outline_EmboldenXY(outline, face.boldStrength, 0);
  if (face.shear) {
    FT_Matrix shear{0x10000, 0x4000, 0, 0x10000};  // x += y / 4
    FT_Outline_Transform(outline, &shear);
    FT_Outline_Translate(outline, face.italicShift, 0);
  }
  if (face.rotate) FT_Outline_Transform(outline, &face.rotation);
}

bool LoadGlyph(Face* face, char32_t c, GlyphDepth depth) {
  FT_UInt index = FT_Get_Char_Index(face->ft, FT_ULong(c));
  return FT_Load_Glyph(face->ft, index, LoadFlags(*face, depth)) == 0;
}

int32_t AdvanceOf(const Face* face) {
  return int32_t((face->ft->glyph->advance.x + 32) >> 6) + int32_t(face->boldStrength >> 6);
}

// Copies the slot's bitmap in the wanted depth.
void CopyBitmap(const FT_Bitmap& bitmap, GlyphDepth depth, GlyphImage& out) {
  out.width = int32_t(bitmap.width);
  out.height = int32_t(bitmap.rows);
  out.pitch = depth == GlyphDepth::kBilevel ? (out.width + 7) / 8 : out.width;
  out.bits.assign(size_t(out.pitch) * size_t(out.height), 0);
  bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  for (int32_t y = 0; y < out.height; ++y) {
    const uint8_t* src = bitmap.buffer + ptrdiff_t(y) * bitmap.pitch;
    uint8_t* dst = out.bits.data() + size_t(y) * size_t(out.pitch);
    if (mono && depth == GlyphDepth::kBilevel) {
      std::copy(src, src + out.pitch, dst);
      continue;
    }
    for (int32_t x = 0; x < out.width; ++x) {
      uint8_t v = mono ? ((src[x >> 3] >> (7 - (x & 7))) & 1) * 255 : src[x];
      if (depth == GlyphDepth::kGrey)
        dst[x] = v;
      else if (v >= 128)
        dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
  }
}

}  // namespace

Face* OpenFace(const FaceSpec& spec) {
  if (spec.file.path.empty() || spec.height < -kMaxFaceHeight || spec.height > kMaxFaceHeight) return nullptr;
  Library& lib = TheLibrary();
  auto face = std::make_unique<Face>();
  face->spec = spec;
  {
    std::lock_guard lock(lib.mutex);
    if (!lib.tried) {
      lib.tried = true;
      if (FT_Init_FreeType(&lib.library) != 0) lib.library = nullptr;
    }
    if (!lib.library || FT_New_Face(lib.library, spec.file.path.c_str(), spec.file.index, &face->ft) != 0)
      return nullptr;
  }
  if (!SizeFace(*face)) {
    CloseFace(face.release());
    return nullptr;
  }
  return face.release();
}

void CloseFace(Face* face) {
  if (!face) return;
  if (face->ft) {
    std::lock_guard lock(TheLibrary().mutex);
    FT_Done_Face(face->ft);
  }
  delete face;
}

const FaceMetrics& MetricsOf(const Face* face) { return face->metrics; }

int32_t GlyphAdvance(Face* face, char32_t c) {
  return LoadGlyph(face, c, GlyphDepth::kBilevel) ? AdvanceOf(face) : 0;
}

bool RenderGlyph(Face* face, char32_t c, GlyphDepth depth, GlyphImage& out) {
  out = GlyphImage{};
  if (!LoadGlyph(face, c, depth)) return false;
  FT_GlyphSlot slot = face->ft->glyph;
  out.advance = AdvanceOf(face);
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    Transform(*face, &slot->outline);
    if (FT_Render_Glyph(slot, depth == GlyphDepth::kBilevel ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) !=
        0)
      return false;
  }
  if (slot->format != FT_GLYPH_FORMAT_BITMAP) return false;
  CopyBitmap(slot->bitmap, depth, out);
  out.left = slot->bitmap_left;
  out.top = -slot->bitmap_top;
  return true;
}

bool HasGlyph(Face* face, char32_t c) { return FT_Get_Char_Index(face->ft, FT_ULong(c)) != 0; }

}  // namespace qavz::platform
