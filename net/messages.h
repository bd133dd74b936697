// The messages of the network subsystem, exactly as the user sees them.
#pragma once

namespace qavz::msg {

inline constexpr char kSocketLayerFailed[] = "WinSock の初期化に失敗しました";
inline constexpr char kSocketLayerVersion[] = "WinSock のバージョンが違います";
inline constexpr char kTooManyClients[] = "クライアントの接続数が最大数を超えました";
inline constexpr char kCannotConnect[] = "サーバーに接続できません";
inline constexpr char kUndefinedError[] = "未定義エラー";

}  // namespace qavz::msg
