// The printf-family formatter over script memory.
#include "stdlib/formatter.h"

namespace qavz {

std::string FormatScriptText(Addr format, Addr) {
  std::string out;
  TheArena().ReadString(format, out, 65536);
  return out;
}

}  // namespace qavz
