// The dirty-rectangle list: areas of a page that changed, copied together by
// drt_copy.
#pragma once

namespace qavz {

constexpr int kMaxDirtyRects = 2048;

// Empties the list (drt_init, and the display set-up of every run).
void ClearDirtyRects() noexcept;

}  // namespace qavz
