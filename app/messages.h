// The system's own texts (UTF-8 here; converted at the display edge).
#pragma once

#include <string_view>

namespace qm::Msg {

inline constexpr std::string_view FileOpen = "【";
inline constexpr std::string_view FileClose = "】";
inline constexpr std::string_view Converting = "ファイル【";
inline constexpr std::string_view ConvertingEnd = "】変換中";
inline constexpr std::string_view IdleHint =
    "[追加]又はドラッグ＆ドロップで JWWファイルを指示し、[変換]をクリックして下さい";
inline constexpr std::string_view NotFound = "　指定したファイルは存在しませんので";
inline constexpr std::string_view NotJww = "　JWW形式ファイルではありませんので";
inline constexpr std::string_view Unreadable = "　読み込めないファイルですので";
inline constexpr std::string_view NothingHidden = "　非表示レイヤはありませんので";
inline constexpr std::string_view Skipped = "　変換をパスします。";
inline constexpr std::string_view ConvertedTo = "　→ ";
inline constexpr std::string_view Converted = "　変換を行いました。";
inline constexpr std::string_view FailedTo = "　……→ ";
inline constexpr std::string_view Failed = "　変換出来ませんでした。";

inline constexpr std::string_view AppTitle = "Quillmark";
inline constexpr std::string_view ResultCaption = "変換結果";

}  // namespace qm::Msg
