// The pack natives: scripts read data files through OpenExpFile with up to
// 16 open at once (handle = slot + 1), and write compressed files.
#include <string>

#include "files/exp_file.h"
#include "files/files_state.h"
#include "files/lzw.h"
#include "files/special_folders.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

constexpr int kPackSlots = 16;
ExpFile* gPackSlots[kPackSlots];

// The open file behind a script handle, or nullptr for 0, a stale handle or
// one outside 1..16.
ExpFile* Slot(int32_t handle) {
  return handle >= 1 && handle <= kPackSlots ? gPackSlots[handle - 1] : nullptr;
}

}  // namespace

void ClosePackSlots() {
  for (ExpFile*& slot : gPackSlots) {
    CloseExpFile(slot);
    slot = nullptr;
  }
}

int32_t Native_pack_save(Addr args) {
  std::string path;
  if (!TheArena().ReadString(ArgAddr(args, 0), path)) return 0;
  Addr buffer = ArgAddr(args, 1);
  uint32_t size = uint32_t(Arg(args, 2));
  // A buffer outside live memory counts as missing: the file gets only its
  // header, as for a size of 0.
  const uint8_t* data = buffer ? TheArena().Span(buffer, size) : nullptr;
  return WriteCompressedFile(path.c_str(), data, size) ? 1 : 0;
}

int32_t Native_pack_open(Addr args) {
  std::string path;
  if (!TheArena().ReadString(ArgAddr(args, 0), path)) return 0;
  int slot = 0;
  while (slot < kPackSlots && gPackSlots[slot]) ++slot;
  if (slot == kPackSlots) return 0;
  ExpFile* file = OpenExpFile(path.c_str());
  if (!file) {
    std::string windows = WindowsDirectory();
    if (!windows.empty()) file = OpenExpFile(JoinTitlePath(TitleStylePath(windows), path).c_str());
  }
  if (!file) return 0;
  gPackSlots[slot] = file;
  return slot + 1;
}

int32_t Native_pack_close(Addr args) {
  int32_t handle = Arg(args, 0);
  if (handle < 1 || handle > kPackSlots) return 0;
  CloseExpFile(gPackSlots[handle - 1]);
  gPackSlots[handle - 1] = nullptr;
  return 1;
}

int32_t Native_pack_read(Addr args) {
  ExpFile* file = Slot(Arg(args, 0));
  int32_t size = Arg(args, 2);
  if (!file || size < 0) return -1;
  if (size == 0) return 0;
  uint8_t* buffer = TheArena().Span(ArgAddr(args, 1), uint32_t(size));
  if (!buffer) return -1;
  uint32_t got = 0;
  if (!ReadExpFile(file, buffer, uint32_t(size), &got)) return -1;
  return int32_t(got);
}

int32_t Native_pack_seek(Addr args) {
  ExpFile* file = Slot(Arg(args, 0));
  return file ? SeekExpFile(file, Arg(args, 1), Arg(args, 2)) : -1;
}

int32_t Native_pack_size(Addr args) {
  ExpFile* file = Slot(Arg(args, 0));
  return file ? ExpFileSize(file) : -1;
}

}  // namespace qavz
