// The messages of the plane, file, page and sprite natives, exactly as the user
// sees them.
#pragma once

namespace qavz::msg {

inline constexpr char kCreatePlaneFailed[] = "CreatePlane : 仮想画面の作成に失敗しました。";
inline constexpr char kLoadPlaneFailed[] = "LoadPlane : 画像ファイルの読み込みに失敗しました。\nFile : %s";
inline constexpr char kSavePlaneCreateFailed[] = "SavePlane : '%s' ファイルの作成に失敗しました。";
inline constexpr char kSavePlaneWriteFailed[] = "SavePlane : '%s' ファイルの書き込みに失敗しました。";
inline constexpr char kViewPageOutOfRange[] = "SetViewPage : パラメータが範囲外です。";
inline constexpr char kActivePageOutOfRange[] = "SetActivePage : パラメータが範囲外です。";
inline constexpr char kChildIsAncestor[] =
    "SetChildSprite : 同じスプライトを子スプライトにすることは出来ません。";

}  // namespace qavz::msg
