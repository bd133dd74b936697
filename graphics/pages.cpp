#include "graphics/pages.h"

namespace qavz {

DisplayState& Display() noexcept {
  static DisplayState state;
  return state;
}

}  // namespace qavz
