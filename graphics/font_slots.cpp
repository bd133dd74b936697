// Font slots, font objects and the natives font_set, font_get and font_use.
#include "graphics/font_slots.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>

#include "core/config.h"
#include "core/ini.h"
#include "graphics/text_draw.h"
#include "platform/path_map.h"
#include "platform/text_encoding.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// "ＭＳ ゴシック" in Shift-JIS.
constexpr char kDefaultFace[] = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

struct FontSlot {
  std::unique_ptr<FontObject> object;
  FontDescription description;
  FontDescription made;  // the description the object was made from
};

struct FontState {
  std::array<FontSlot, kFontSlotCount> slots;
  std::array<uint8_t, kFontThreadCount> current{};
  uint64_t serial = 0;
  // Face names already looked up in the configuration, with their file.
  std::map<std::string, std::pair<bool, platform::FontFile>> configured;
  FontState() {
    for (FontSlot& s : slots) s.description = DefaultFontDescription();
  }
};

FontState& State() {
  static FontState state;
  return state;
}

// The face name's bytes up to its terminator (all 32 when there is none).
std::string FaceName(const FontDescription& d) { return std::string(d.face, strnlen(d.face, sizeof d.face)); }

// The face from the title's own file when its configuration names one and it
// opens, else the face fontconfig finds for the name.
std::shared_ptr<TextFace> FindFace(const std::string& shiftJisFace, FaceKey& key) {
  if (ConfiguredFontFile(shiftJisFace, key.file))
    if (auto face = TextFace::Get(key)) return face;
  if (!platform::FindFontFile(platform::ToUtf8(shiftJisFace), key.bold, key.italic, key.file)) return nullptr;
  return TextFace::Get(key);
}

std::unique_ptr<FontObject> NewFontObject(const FontDescription& d) {
  bool smooth = d.style & kFontSmooth, bold = d.style & kFontBold, italic = d.style & kFontItalic;
  int64_t height = smooth ? int64_t(d.height) * 8 : d.height;
  if (height < -platform::kMaxFaceHeight || height > platform::kMaxFaceHeight) return nullptr;
  std::string face = FaceName(d);
  FaceKey key;
  key.height = int32_t(height);
  key.bold = bold;
  key.italic = italic;
  key.escapement = ((d.escapement % 3600) + 3600) % 3600;
  auto object = std::make_unique<FontObject>();
  object->face = FindFace(face, key);
  if (!object->face) return nullptr;
  object->style = d.style;
  object->yenAt5C = platform::IsJapaneseWindowsFace(platform::ToUtf8(face));
  object->serial = ++State().serial;
  return object;
}

// The calling script thread's index (0 outside a native call).
int32_t CallingThread() {
  uint32_t index = CurrentContext ? CurrentContext->threadIndex : 0;
  return index < uint32_t(kFontThreadCount) ? int32_t(index) : 0;
}

}  // namespace

FontDescription DefaultFontDescription() noexcept {
  FontDescription d{};
  std::memcpy(d.face, kDefaultFace, sizeof kDefaultFace);
  d.height = 16;
  return d;
}

bool ConfiguredFontFile(const std::string& shiftJisFace, platform::FontFile& out) {
  auto& cache = State().configured;
  auto it = cache.find(shiftJisFace);
  if (it == cache.end()) {
    platform::FontFile file;
    const TitlePaths& paths = ThePaths();
    std::string value;
    // The key as the title wrote it (Shift-JIS), or in UTF-8 for a file
    // edited on Linux.
    if (!paths.configFile.empty()) {
      value = IniGetString(paths.configFile, "qavz", "Font." + shiftJisFace, "");
      std::string utf8 = platform::ToUtf8(shiftJisFace);
      if (value.empty() && utf8 != shiftJisFace)
        value = IniGetString(paths.configFile, "qavz", "Font." + utf8, "");
    }
    if (!value.empty()) {
      size_t comma = value.rfind(',');
      if (comma != std::string::npos &&
          value.find_first_not_of("0123456789 ", comma + 1) == std::string::npos &&
          comma + 1 < value.size()) {
        file.index = std::atoi(value.c_str() + comma + 1);
        value.resize(comma);
      }
      bool absolute = !value.empty() && (value[0] == '/' || value[0] == '\\' || value.find(':') == 1);
      file.path = platform::MapPath(absolute ? value : paths.baseDir + value);
    }
    it = cache.emplace(shiftJisFace, std::make_pair(!file.path.empty(), file)).first;
  }
  out = it->second.second;
  return it->second.first;
}

const FontObject* MakeFontObject(int32_t slot) {
  if (uint32_t(slot) >= uint32_t(kFontSlotCount)) return nullptr;
  FontSlot& s = State().slots[size_t(slot)];
  if (s.object && std::memcmp(&s.description, &s.made, sizeof s.made) == 0) return s.object.get();
  s.object.reset();
  s.object = NewFontObject(s.description);
  if (!s.object) return nullptr;
  s.made = s.description;
  return s.object.get();
}

uint64_t FontObjectSerial(int32_t slot) noexcept {
  if (uint32_t(slot) >= uint32_t(kFontSlotCount)) return 0;
  const FontSlot& s = State().slots[size_t(slot)];
  return s.object ? s.object->serial : 0;
}

int32_t CurrentFontSlot() noexcept { return State().current[size_t(CallingThread())]; }

void ResetFontSelection(int32_t thread) noexcept {
  if (uint32_t(thread) < uint32_t(kFontThreadCount)) State().current[size_t(thread)] = 0;
}

void ResetFontSlots() noexcept {
  FontState& state = State();
  for (FontSlot& s : state.slots) {
    s.object.reset();
    s.description = DefaultFontDescription();
  }
  state.current.fill(0);
  state.configured.clear();
}

void FreeFontSlots() noexcept {
  ResetFontSlots();
  FreeTextFaces();
  FreeSmoothScratch();
}

// font_set(slot, description): copies the 44 bytes into the slot.
int32_t Native_font_set(Addr args) {
  uint32_t slot = uint32_t(Arg(args, 0));
  Addr from = ArgAddr(args, 1);
  const uint8_t* bytes = TheArena().Span(from, sizeof(FontDescription));
  if (slot >= uint32_t(kFontSlotCount) || from == 0 || !bytes) return 0;
  std::memcpy(&State().slots[slot].description, bytes, sizeof(FontDescription));
  return 1;
}

// font_get(slot, description): copies the slot's 44 bytes out.
int32_t Native_font_get(Addr args) {
  uint32_t slot = uint32_t(Arg(args, 0));
  Addr to = ArgAddr(args, 1);
  uint8_t* bytes = TheArena().Span(to, sizeof(FontDescription));
  if (slot >= uint32_t(kFontSlotCount) || to == 0 || !bytes) return 0;
  std::memcpy(bytes, &State().slots[slot].description, sizeof(FontDescription));
  return 1;
}

// font_use(slot): the calling thread's current slot becomes the argument's
// low byte; a slot above 31 makes its draws fail.
int32_t Native_font_use(Addr args) {
  State().current[size_t(CallingThread())] = uint8_t(Arg(args, 0));
  return 1;
}

}  // namespace qavz
