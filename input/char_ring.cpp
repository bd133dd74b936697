#include "input/char_ring.h"

#include <mutex>

namespace qavz {

namespace {

// Both ends move the read index (the writer drops the oldest byte when it
// catches up), so the ring has a lock of its own; nothing else is held
// while it is taken.
std::mutex gMutex;
uint8_t gBytes[kCharRingSize];
uint32_t gRead = 0, gWrite = 0;

}  // namespace

void PushTypedByte(uint8_t byte) {
  std::lock_guard lock(gMutex);
  gBytes[gWrite] = byte;
  gWrite = (gWrite + 1) % kCharRingSize;
  if (gWrite == gRead) gRead = (gRead + 1) % kCharRingSize;
}

void PushTypedText(const std::string& shiftJis) {
  for (char c : shiftJis) PushTypedByte(uint8_t(c));
}

int32_t TakeTypedChar() {
  std::lock_guard lock(gMutex);
  if (gRead == gWrite) return 0;
  uint8_t byte = gBytes[gRead];
  gRead = (gRead + 1) % kCharRingSize;
  return int8_t(byte);
}

void ClearTypedChars() {
  std::lock_guard lock(gMutex);
  gRead = gWrite = 0;
}

}  // namespace qavz
