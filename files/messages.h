// The messages of the data-file layer, exactly as the user sees them.
#pragma once

namespace qavz::msg {

inline constexpr char kFastFileNoMemory[] = "OpenFastFile : メモリ不足です。";
inline constexpr char kOpenFailed[] = "ファイルのオープンに失敗しました。FILE - %s";
inline constexpr char kReadFailed[] = "ファイルの読み込み失敗しました。FILE - %s";
inline constexpr char kNotFound[] = "ファイルが見つかりません。FILE - %s";
inline constexpr char kSeekFailed[] = "ファイルのシークに失敗しました。FILE - %s";
inline constexpr char kExpFileNoMemory[] = "OpenExpFile : メモリ不足です。";

inline constexpr char kInputBufferNoMemory[] = "ファイル入力バッファのメモリ確保に失敗しました";
inline constexpr char kCreateFailed[] = "ファイルの作成に失敗しました FILE - %s";
inline constexpr char kOutputBufferNoMemory[] = "ファイル出力バッファのメモリ確保に失敗しました";
inline constexpr char kBitWriteFailed[] = "ビットデータの書き込みに失敗しました";
inline constexpr char kFileWriteFailed[] = "ファイルの書き込みに失敗しました";
inline constexpr char kDictionaryFailed[] = "辞書オブジェクトの作成に失敗しました。";

}  // namespace qavz::msg
