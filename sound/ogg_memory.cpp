#include "sound/ogg_memory.h"

#include <cstring>

namespace qavz {

namespace {

size_t Read(void* ptr, size_t size, size_t count, void* source) {
  auto* m = static_cast<OggMemory*>(source);
  if (!m->data || size == 0) return 0;
  size_t left = m->length - m->cursor;
  size_t wanted = count > left / size ? left : size * count;
  size_t copied = wanted < left ? wanted : left;
  if (copied) std::memcpy(ptr, m->data + m->cursor, copied);
  m->cursor += copied;
  return copied / size;
}

int Seek(void* source, int64_t offset, int whence) {
  auto* m = static_cast<OggMemory*>(source);
  if (!m->data) return -1;
  const int64_t length = int64_t(m->length);
  int64_t target;
  switch (whence) {
    case 0:
      target = offset;
      break;
    case 1:
      if (offset > length || offset < -length) return -1;  // keeps the sum in range
      target = int64_t(m->cursor) + offset;
      break;
    case 2:
      if (offset > 0 || offset < -length) return -1;
      target = length + offset;
      break;
    default:
      return -1;
  }
  if (target < 0 || target > length) return -1;
  m->cursor = size_t(target);
  return 0;
}

int Close(void* source) { return static_cast<OggMemory*>(source)->data ? 0 : -1; }

long Tell(void* source) {
  auto* m = static_cast<OggMemory*>(source);
  return m->data ? long(m->cursor) : -1;
}

}  // namespace

const platform::OggCallbacks kOggMemoryCallbacks = {Read, Seek, Close, Tell};

}  // namespace qavz
