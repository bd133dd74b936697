#include "files/system_file.h"

#include <mutex>

#include "platform/replace_file.h"
#include "vm/arena.h"

namespace qavz {

namespace {

// The SystemFile binding. The block is script memory that may be freed before
// shut-down writes it (a global of a program whose threads have ended, or a
// heap block freed at shut-down), so its last contents are copied out before
// that memory goes.
struct SystemFileBinding {
  std::mutex mutex;
  std::string path;
  Addr block = 0;
  uint32_t size = 0;
  std::string saved;
  bool haveSaved = false;
  bool detached = false;  // its memory was freed: `saved` is final
};

SystemFileBinding& Binding() {
  static SystemFileBinding binding;
  return binding;
}

// Caller holds the binding's mutex.
void CaptureLocked(SystemFileBinding& b) {
  if (b.path.empty() || b.detached) return;
  const uint8_t* bytes = TheArena().Span(b.block, b.size);
  if (!bytes) return;
  b.saved.assign(reinterpret_cast<const char*>(bytes), b.size);
  b.haveSaved = true;
}

bool Inside(Addr block, uint32_t size, Addr base, uint64_t length) {
  return uint64_t(block) + size > base && block < uint64_t(base) + length;
}

}  // namespace

void BindSystemFile(const std::string& hostPath, Addr block, uint32_t size) {
  SystemFileBinding& b = Binding();
  std::lock_guard lock(b.mutex);
  b.path = hostPath;
  b.block = hostPath.empty() ? 0 : block;
  b.size = hostPath.empty() ? 0 : size;
  b.saved.clear();
  b.haveSaved = false;
  b.detached = false;
}

// Once the memory is really freed its addresses may be handed out again, so
// the copy taken now is the one that gets written.
void CaptureSystemFileBefore(const MachineContext* context) {
  if (!context) return;
  SystemFileBinding& b = Binding();
  std::lock_guard lock(b.mutex);
  if (b.path.empty() || b.detached) return;
  bool imageGoes = TheArena().Word(context->refCountAddr, 0) <= 1;
  if ((imageGoes && Inside(b.block, b.size, context->imageBase, uint64_t(context->programSize) + 4)) ||
      Inside(b.block, b.size, context->stackBase, context->stackSize)) {
    CaptureLocked(b);
    b.detached = true;
  }
}

void CaptureSystemFile() {
  SystemFileBinding& b = Binding();
  std::lock_guard lock(b.mutex);
  CaptureLocked(b);
}

// A failure is dropped silently.
void WriteSystemFile() {
  SystemFileBinding& b = Binding();
  std::lock_guard lock(b.mutex);
  if (!b.path.empty() && b.haveSaved) platform::ReplaceFile(b.path, b.saved);
  b.path.clear();
  b.block = 0;
  b.size = 0;
  b.saved.clear();
  b.haveSaved = false;
  b.detached = false;
}

}  // namespace qavz
