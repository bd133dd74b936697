// The messages of the standard library natives, exactly as the user sees them.
#pragma once

namespace qavz::msg {

inline constexpr char kRegexTooDeep[] = "rex_match : 照合の深さが上限を超えました。";

}  // namespace qavz::msg
