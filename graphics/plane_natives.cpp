// The plane natives: creating, loading, saving and freeing planes, and
// reading their size, pixels, clip, attachments and colour tables.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/data_files.h"
#include "core/report_error.h"
#include "core/save_folder.h"
#include "graphics/bitmap_file.h"
#include "graphics/messages.h"
#include "graphics/pages.h"
#include "graphics/pixel_index.h"
#include "graphics/plane.h"
#include "platform/path_map.h"
#include "platform/replace_file.h"
#include "platform/text_encoding.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

bool IsSlot(int32_t n) { return uint32_t(n) < uint32_t(kPlaneSlots); }

// The slot galloc and gload fill: the argument itself when it is a slot
// number, otherwise the highest free slot, whose number is stored at the
// address the argument holds. -1 when no slot is free or the address cannot
// take the number.
int32_t TargetSlot(int32_t slotOrAddress) {
  if (IsSlot(slotOrAddress)) return slotOrAddress;
  int32_t slot = HighestFreeSlot();
  if (slot < 0 || !TheArena().Write(Addr(slotOrAddress), slot)) return -1;
  return slot;
}

bool ReadRect(Addr at, Rect& rect) {
  int32_t words[4];
  if (!TheArena().Read(at, words)) return false;
  rect = Rect{words[0], words[1], words[2], words[3]};
  return true;
}

// gfree of one slot: the attachment always goes, the plane unless it is
// shown or drawn into.
void ReleaseSlot(int32_t slot) {
  SetAttachment(slot, -1);
  const DisplayState& display = Display();
  if (slot == display.viewPage.load() || slot == display.activePage.load()) return;
  FreePlane(slot);
}

// 5 bits widened to 8 by repeating the top bits.
uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }

uint32_t PixelColour(const Plane& plane, int32_t x, int32_t y) {
  const uint8_t* p = plane.Pixel(x, y);
  switch (plane.depth) {
    case 16: {
      uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
      return Widen5((v >> 10) & 31) << 16 | Widen5((v >> 5) & 31) << 8 | Widen5(v & 31);
    }
    case 24:
    case 32:
      return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    default:
      return plane.colours[ReadIndex(plane, x, y)] & 0xFFFFFF;
  }
}

// ggetpal and gsetpal: entries between the script's array and a colour table
// (the script palette for -1). The number moved.
int32_t MovePaletteEntries(Addr args, bool intoTable) {
  int32_t which = Arg(args, 0), first = Arg(args, 1), count = Arg(args, 2);
  if (uint32_t(first) > 255 || count <= 0) return 0;
  Plane* plane = nullptr;
  int32_t tableSize = 256;
  if (which != -1) {
    plane = PlaneAt(which);
    if (!plane || plane->depth > 8) return 0;
    tableSize = plane->colourCount;
  }
  int32_t n = std::min(count, tableSize - first);
  if (n <= 0) return 0;
  uint8_t* array = TheArena().Span(ArgAddr(args, 3), uint32_t(n) * 4);
  if (!array) return 0;
  for (int32_t i = 0; i < n; ++i) {
    uint8_t* word = array + 4 * i;
    uint32_t value;
    if (intoTable) {
      std::memcpy(&value, word, 4);
      if (plane)
        plane->colours[first + i] = value;
      else
        Display().scriptPalette[first + i].store(value);
    } else {
      value = plane ? plane->colours[first + i] : Display().scriptPalette[first + i].load();
      std::memcpy(word, &value, 4);
    }
  }
  return n;
}

void ReportSaveFailure(const char* format, const std::string& name) {
  ReportError(kLevelData, format, platform::ToUtf8(name).c_str());
}

}  // namespace

int32_t Native_galloc(Addr args) {
  int32_t slot = TargetSlot(Arg(args, 0));
  if (slot < 0 || !CreatePlane(slot, Arg(args, 1), Arg(args, 2), Arg(args, 3))) {
    ReportError(kLevelFault, msg::kCreatePlaneFailed);
    return 0;
  }
  return 1;
}

int32_t Native_gfree(Addr args) {
  int32_t slot = Arg(args, 0);
  if (slot == -1) {
    for (int32_t s = 0; s < kPlaneSlots; ++s) ReleaseSlot(s);
    return 1;
  }
  if (!IsSlot(slot)) return 0;
  ReleaseSlot(slot);
  return 1;
}

int32_t Native_gload(Addr args) {
  std::string name;
  bool named = TheArena().ReadString(ArgAddr(args, 1), name);
  int32_t first = Arg(args, 0);
  // A plane in the given slot goes first, whether or not the file loads.
  if (IsSlot(first)) FreePlane(first);
  int32_t slot = TargetSlot(first);
  std::vector<uint8_t> file;
  Plane* plane = nullptr;
  if (slot >= 0 && named && LoadDataFile(name.c_str(), file) == DataFileResult::kOk)
    plane = LoadBitmap(slot, file.data(), file.size());
  if (!plane) {
    ReportError(kLevelFault, msg::kLoadPlaneFailed, platform::ToUtf8(name).c_str());
    return 0;
  }
  plane->name = name;
  return 1;
}

int32_t Native_gsave(Addr args) {
  std::string name;
  const Plane* plane = PlaneAt(Arg(args, 1));
  if (!plane || !TheArena().ReadString(ArgAddr(args, 0), name)) return 0;
  Rect area{0, 0, plane->width, plane->height};
  if (Addr at = ArgAddr(args, 2)) {
    Rect r;
    if (!ReadRect(at, r)) return 0;
    area = Rect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, plane->width),
                std::min(r.bottom, plane->height)};
  }
  if (area.left >= area.right || area.top >= area.bottom) return 0;
  EncodedBitmap file = EncodeBitmap(*plane, area);
  if (!file.bytes) {
    ReportSaveFailure(msg::kSavePlaneWriteFailed, name);
    return 0;
  }
  // Written whole to a temporary file that replaces the old one only once
  // every byte is on disk.
  // A directory in the file's place cannot be created over.
  std::string host = WritePlace(platform::MapPath(name));
  std::error_code error;
  platform::FileReplacement out;
  if (std::filesystem::is_directory(host, error) || !out.Begin(host)) {
    ReportSaveFailure(msg::kSavePlaneCreateFailed, name);
    return 0;
  }
  if (!out.Write(file.bytes.get(), file.size) || !out.Commit()) {
    ReportSaveFailure(msg::kSavePlaneWriteFailed, name);
    return 0;
  }
  return 1;
}

int32_t Native_ginfo(Addr args) {
  uint8_t* out = TheArena().Span(ArgAddr(args, 1), 20);
  if (!out) return 1;
  int32_t info[5] = {};
  if (const Plane* plane = PlaneAt(Arg(args, 0))) {
    info[0] = plane->width;
    info[1] = plane->height;
    info[2] = plane->depth;
    info[3] = int32_t(plane->RowAddress(0));
    info[4] = -plane->pitch;
  }
  std::memcpy(out, info, sizeof info);
  return 1;
}

int32_t Native_gclip(Addr args) {
  Plane* plane = PlaneAt(Arg(args, 0));
  if (!plane) return 0;
  Rect r{0, 0, plane->width, plane->height};
  if (Addr at = ArgAddr(args, 1)) {
    if (!ReadRect(at, r)) return 0;
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    r.left = std::clamp(r.left, 0, plane->width);
    r.right = std::clamp(r.right, 0, plane->width);
    r.top = std::clamp(r.top, 0, plane->height);
    r.bottom = std::clamp(r.bottom, 0, plane->height);
  }
  plane->clip = r;
  return 1;
}

int32_t Native_getpixel(Addr args) {
  const Plane* plane = PlaneAt(Arg(args, 0));
  int32_t x = Arg(args, 1), y = Arg(args, 2);
  if (!plane || !plane->Pixel(x, y)) return 0;
  return int32_t(PixelColour(*plane, x, y));
}

int32_t Native_gattach(Addr args) {
  int32_t slot = Arg(args, 0), other = Arg(args, 1);
  if (!IsSlot(slot) || !IsSlot(other)) return 0;
  SetAttachment(slot, other);
  return 1;
}

int32_t Native_gdetach(Addr args) {
  int32_t slot = Arg(args, 0);
  if (!IsSlot(slot)) return 0;
  SetAttachment(slot, -1);
  return 1;
}

int32_t Native_ggetpal(Addr args) { return MovePaletteEntries(args, false); }
int32_t Native_gsetpal(Addr args) { return MovePaletteEntries(args, true); }

}  // namespace qavz
