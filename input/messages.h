// The input device messages, exactly as the user sees them.
#pragma once

namespace qavz::msg {

inline constexpr char kInputCreateDeviceFailed[] = "IDirectInput_CreateDevice に失敗しました。";
inline constexpr char kInputSetDataFormatFailed[] = "IDirectInputDevice_SetDataFormat に失敗しました。";
inline constexpr char kInputSetCooperativeLevelFailed[] =
    "IDirectInputDevice_SetCooperativeLevel に失敗しました。";
inline constexpr char kInputQueryInterfaceFailed[] = "IDirectInputDevice_QueryInterface に失敗しました。";

}  // namespace qavz::msg
