#include "graphics/crt_random.h"

namespace qavz {

CrtGenerator& CrtState() noexcept {
  static CrtGenerator generator;
  return generator;
}

}  // namespace qavz
