// The system's own texts (UTF-8 here; converted at the display edge).
#pragma once

#include <string_view>

namespace qm::Msg {

// The punctuation the texts below are joined with.
inline constexpr std::string_view ListSeparator = "、";
inline constexpr std::string_view Colon = "：";
inline constexpr std::string_view OpenParen = "（";
inline constexpr std::string_view CloseParen = "）";
inline constexpr std::string_view Gap = "　";  // a full-width space between two parts of a line

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
// A drawing an earlier run converted, passed by when asked to.
inline constexpr std::string_view AlreadyConverted = "　既に変換済みです：";
// A dry run's second line for a drawing that would be converted, around
// what it would remove.
inline constexpr std::string_view DryRunConvertible = "　変換できます（削除するもの: ";
inline constexpr std::string_view DryRunNotWritten = "。--dry-run のため書き込みません）";
// What a purge removes: "要素 N、ブロック定義 N、画像 N".
inline constexpr std::string_view RemovedElements = "要素";
inline constexpr std::string_view RemovedBlockDefs = "ブロック定義";
inline constexpr std::string_view RemovedImages = "画像";

// The list's column titles.
inline constexpr std::string_view ColumnName = "ファイル名";
inline constexpr std::string_view ColumnFolder = "フォルダ";
inline constexpr std::string_view ColumnVersion = "バージョン";
inline constexpr std::string_view ColumnHidden = "非表示 グループ/レイヤ";
inline constexpr std::string_view ColumnRemoves = "削除するもの";
inline constexpr std::string_view ColumnFound = "ほかの隠れた情報";
inline constexpr std::string_view ColumnOutcome = "結果";
inline constexpr std::string_view Characters = "字";
inline constexpr std::string_view FoundOffSheet = "図面外";
// A listed drawing with an output of an earlier run newer than it.
inline constexpr std::string_view RowEarlier = "前回の出力あり：";
// Convert's question when some listed drawings were converted already.
inline constexpr std::string_view AskAgainFirst = " 個の図面には前回の出力があります（一覧の「前回の出力あり」）。";
inline constexpr std::string_view AskAgainChoices =
    "はい：もう一度変換します（次の番号の名前で）\nいいえ：それらをスキップして残りを変換します\nキャンセル：変換しません";

// A file whose output could not be written: the row's hint, and the line
// that ends the report.
inline constexpr std::string_view ChooseOutput = "（出力先で別のフォルダを選べます）";
inline constexpr std::string_view ChooseOutputLine =
    "書き込めない出力先がありました。[出力先] で別のフォルダを選び、もう一度変換して下さい";

// The preview of a drawing that cannot be drawn.
inline constexpr std::string_view PreviewCannot = "プレビューできません：";
inline constexpr std::string_view PreviewNoMemory = "図を描くためのメモリが足りません";
inline constexpr std::string_view PreviewFailed = "図を描けませんでした";

// Dropped or named files that the list does not take.
inline constexpr std::string_view NotListed = "JWW ファイルではないので追加しませんでした：";
inline constexpr std::string_view NotListedMore = "（ほか ";
inline constexpr std::string_view NotListedUnit = " 個）";

// Convert with an empty list (the window says so rather than nothing).
inline constexpr std::string_view NothingListed =
    "変換する図面がありません：[追加]又はドラッグ＆ドロップで JWWファイルを指示して下さい";

inline constexpr std::string_view AppTitle = "Quillmark";
inline constexpr std::string_view ResultCaption = "変換結果";

// Beyond the driver's report: what the window shows of a drawing before and
// after Convert, the reason line and the totals of the result window.
inline constexpr std::string_view WarnAllHidden = "全要素が非表示です：出力は空の図面になります";
inline constexpr std::string_view WarnHiddenEmpty = "非表示レイヤに要素はありません：名前だけを消去します";
inline constexpr std::string_view WarnOnlyOther = "非表示レイヤはありません：ほかの隠れた情報を削除します";
inline constexpr std::string_view WarnIncomplete = "最後まで読めない図面です：";
inline constexpr std::string_view Inspecting = "検査中…";
// What joins the parts of a row's outcome.
inline constexpr std::string_view RowSeparator = "／";
// The detail pane.
inline constexpr std::string_view PaneHint =
    "一覧で図面を選ぶと、非表示のグループとレイヤ、削除されるものをここに表示します。";
inline constexpr std::string_view PaneVersion = "Ver.";
inline constexpr std::string_view PaneRemoves = "削除するもの：";
inline constexpr std::string_view PaneGroup = "グループ ";
inline constexpr std::string_view PaneLayer = "レイヤ ";
inline constexpr std::string_view PaneNoName = "（名前なし）";
// The caption over the pane's picture, and its line on elements off the sheet.
inline constexpr std::string_view PreviewHidden = "赤：削除されるもの";
inline constexpr std::string_view PreviewPartial = "（一部のみ表示）";
inline constexpr std::string_view PreviewUndrawable = "描けない要素 ";
inline constexpr std::string_view PreviewOffSheet = "図面外に ";
inline constexpr std::string_view PreviewOffSheetEnd = " 個の要素";
inline constexpr std::string_view RowNothingHidden = "非表示レイヤはありません";
inline constexpr std::string_view RowNotFound = "ファイルがありません";
inline constexpr std::string_view RowNotJww = "JWW形式ファイルではありません";
inline constexpr std::string_view RowUnreadable = "読み込めません：";
inline constexpr std::string_view RowWouldFail = "変換できません：";
inline constexpr std::string_view RowFailed = "変換出来ませんでした：";
inline constexpr std::string_view RowConverted = "→ ";
inline constexpr std::string_view RowNone = "なし";
inline constexpr std::string_view RowAlreadyConverted = "既に変換済みです：";
inline constexpr std::string_view Reason = "　理由：";
// What the writer tidied, and the names of its kinds.
inline constexpr std::string_view Normalised = "　書き出し時に整えたもの：";
inline constexpr std::string_view NormalisedTexts = "文字";
inline constexpr std::string_view NormalisedFonts = "書体";
inline constexpr std::string_view NormalisedPens = "ペン";
inline constexpr std::string_view NormalisedLayers = "レイヤ";
inline constexpr std::string_view NormalisedNames = "名前";
inline constexpr std::string_view NormalisedSettings = "設定";
// What was removed besides the hidden layers' material, on request.
inline constexpr std::string_view AlsoRemoved = "　ほかに削除：";
inline constexpr std::string_view AlsoMemo = "メモ";
inline constexpr std::string_view AlsoOffSheet = "図面外の要素";
inline constexpr std::string_view AlsoTemporaryPoints = "仮点";
inline constexpr std::string_view AlsoAuxiliary = "補助線";
inline constexpr std::string_view EmptyOutput = "　注意：出力には要素が一つもありません";
inline constexpr std::string_view Stopped = "中止しました";
inline constexpr std::string_view Totals = "集計";
inline constexpr std::string_view TotalConverted = "変換";
// Of the converted: those whose output shows exactly what the source shows.
inline constexpr std::string_view TotalProven = "表示一致";
// Of the converted: those that differ from their sources only by what was tidied.
inline constexpr std::string_view TotalNormalised = "書き出しで整えたもの";
// Of the converted: those whose output holds no element.
inline constexpr std::string_view TotalEmpty = "空の図面";
inline constexpr std::string_view TotalNothingHidden = "非表示レイヤなし";
inline constexpr std::string_view TotalUnreadable = "読み込めない";
inline constexpr std::string_view TotalFailed = "変換出来ない";
inline constexpr std::string_view TotalSkipped = "スキップ";

}  // namespace qm::Msg
