// Checked views of script strings.
#include "stdlib/script_text.h"

#include <cstring>

#include "stdlib/shift_jis.h"

namespace qavz {

bool GetScriptText(Addr a, ScriptText& out) noexcept {
  if (a == 0) return false;
  Arena& arena = TheArena();
  int64_t n = arena.StrLen(a);
  if (n < 0) return false;
  out.bytes = arena.Span(a, uint32_t(n) + 1);
  out.length = uint32_t(n);
  return out.bytes != nullptr;
}

uint32_t WritableRoom(Addr a) noexcept { return a == 0 ? 0 : TheArena().LiveExtent(a); }

uint32_t PutText(uint8_t* dst, uint32_t room, const uint8_t* src, uint32_t n, bool wholeChars) noexcept {
  if (room == 0) return 0;
  if (n > room - 1) {
    uint32_t keep = room - 1;
    if (wholeChars) {
      uint32_t i = 0;
      while (i < keep) {
        uint32_t len = (IsLeadByte(src[i]) && i + 1 < n) ? 2 : 1;
        if (i + len > keep) break;
        i += len;
      }
      keep = i;
    }
    n = keep;
  }
  std::memmove(dst, src, n);
  dst[n] = 0;
  return n;
}

}  // namespace qavz
