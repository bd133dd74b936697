// The messages of the system natives, exactly as the user sees them.
#pragma once

namespace qavz::msg {

// dll_call passes at most 16 arguments; more are refused, not passed.
inline constexpr char kDllCallTooManyArguments[] = "dll_call - 引数の数が多すぎます。(%d)";

}  // namespace qavz::msg
