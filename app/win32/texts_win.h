// The captions of the two windows, the usage notes of Memo1 and the faces the texts are shown in.
#pragma once

namespace qm::win::Text {

// The faces the list and the report are shown in, the first one installed.
inline constexpr const wchar_t* FontFaces[] = {L"ＭＳ ゴシック", L"MS Gothic", L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic"};

inline constexpr const wchar_t* Label1 = L"変換するJWWファイル名";
inline constexpr const wchar_t* Button1 = L"追加(&A)";
inline constexpr const wchar_t* Button2 = L"削除(&D)";
inline constexpr const wchar_t* Button3 = L"変換(&T)";
inline constexpr const wchar_t* Button4 = L"終了(&X)";
inline constexpr const wchar_t* Form2Button2 = L"閉じる(&C)";

// Beyond the designed controls: the folder and help buttons along the top,
// the detail pane, Stop, the usage notes' window, the result window's actions.
inline constexpr const wchar_t* AddFolderButton = L"フォルダ追加(&F)...";
inline constexpr const wchar_t* HelpButton = L"使い方(&H)";
inline constexpr const wchar_t* StopButton = L"中止(&S)";
inline constexpr const wchar_t* PreviewComing = L"プレビューを作成中…";
inline constexpr const wchar_t* LayerColumns[] = {L"非表示", L"名前", L"要素"};
inline constexpr int LayerColumnWidths[] = {80, 110, 44};  // pixels at 96 DPI
inline constexpr const wchar_t* HelpCaption = L"使い方";
inline constexpr const wchar_t* HelpClose = L"閉じる(&C)";
inline constexpr const wchar_t* OpenOutputFolder = L"出力フォルダを開く(&O)";
inline constexpr const wchar_t* CopyReport = L"コピー(&P)";
inline constexpr const wchar_t* ConfirmClose = L"変換中です。\r\n今のファイルが終わったところで変換を中止し、終了しますか？";
inline constexpr const wchar_t* FolderDialogTitle = L"図面のあるフォルダを選んでください";
// The pane's top: where the outputs go, and what Convert removes besides.
inline constexpr const wchar_t* OutputButton = L"出力先(&O)...";
inline constexpr const wchar_t* OutputBeside = L"出力先：元の図面と同じフォルダ";
inline constexpr const wchar_t* OutputIn = L"出力先：";
inline constexpr const wchar_t* OutputMenuBeside = L"元の図面と同じフォルダ(&S)";
inline constexpr const wchar_t* OutputMenuChoose = L"フォルダを指定(&F)...";
inline constexpr const wchar_t* OutputDialogTitle = L"出力先のフォルダを選んでください";
inline constexpr const wchar_t* AlsoRemove = L"ほかの隠れた情報も削除：";
inline constexpr const wchar_t* RemoveKinds[] = {L"メモ(&M)", L"図面外の要素(&G)", L"仮点(&K)", L"補助線(&U)"};
// After Memo1's lines: what the window shows besides (each line no wider
// than Memo1's widest).
inline constexpr const wchar_t* MoreNotes[] = {
    L"【一覧の列】",
    L"\u3000バージョン・非表示の数・削除するもの",
    L"\u3000ほかの隠れた情報（メモ・図面外・",
    L"\u3000仮点・補助線）・結果。見出しで並べ替え",
    L"\u3000「前回の出力あり」は出力済みの図面",
    L"【プレビュー】",
    L"\u3000赤：削除される非表示の要素",
    L"\u3000ホイールで拡大、ドラッグで移動、",
    L"\u3000ダブルクリックで全体。三角は図面外",
    L"【出力先・ほかに削除】",
    L"\u3000出力先(O)：元の図面の隣か、指定フォルダ",
    L"\u3000チェックした情報も出力から削除します",
    L"【中止(S)】",
    L"\u3000変換中のファイルが終わってから止めます",
    L"【設定の保存先】",
    L"\u3000Quillmark.dat・Quillmark.ini：",
    L"\u3000プログラムの隣（書けなければ、及び",
    L"\u3000インストール版は %APPDATA%\\Quillmark）",
};

// After the usage notes: the program and its version (the version is
// appended), and its licence.
inline constexpr const wchar_t* AboutVersion = L"Quillmark バージョン ";
inline constexpr const wchar_t* AboutLicence = L"MIT ライセンス（LICENSE.txt）";
// The verb of Explorer's context menu on .jww files, as the installer
// registers it (a string resource of Quillmark.exe, see Quillmark.rc).
inline constexpr const wchar_t* ShellVerb = L"Quillmark で非表示を削除";

// OpenDialog1: filter pairs (text, pattern), each ended by a zero, the list by a second one.
inline constexpr wchar_t OpenFilter[] = L"JWW Files(*.jww)\0*.jww\0All Files(*.*)\0*.*\0";
inline constexpr const wchar_t* OpenDefaultExt = L"jww";

// Memo1, line by line ("　" is the full-width space).
inline constexpr const wchar_t* UsageNotes[] = {
    L"・指定したJWW形式ファイル内の",
    L"　非表示レイヤグループ、及び、",
    L"　非表示レイヤ内の要素データを",
    L"　全て削除したファイルを作成します。",
    L"・レイヤグループ名、レイヤ名も",
    L"　削除します。",
    L"・プロテクトレイヤでも削除します。",
    L"・非表示状態は、そのままです。",
    L"・ブロック内は削除せずそのままです。",
    L"　※Jw_cadは、ブロック挿入データと",
    L"　　ブロック内データのレイヤが異なる",
    L"　　状態を作り出せるので安全の為。",
    L"　",
    L"・ファイル名は、",
    L"　　元ファイル名_2.JWW",
    L"　のように「_2」が付加された",
    L"　ファイル名となります。",
    L"　既に同じファイル名が存在する場合は",
    L"　　元ファイル名_3.JWW",
    L"　　・・・",
    L"　となります。",
    L"・JWW形式ファイルの対応バージョンは",
    L"　　Ver.2.20～7.00",
    L"　です。",
    L"　それ以外の場合、",
    L"　ファイルは作成しません。",
    L"・読み込めないファイルの場合",
    L"　ファイルは作成しません。",
    L"・非表示レイヤが存在しない場合",
    L"　ファイルは作成しません。　",
    L"・非表示レイヤが存在する場合",
    L"　非表示レイヤ内に要素データが",
    L"　無くてもファイルを作成します。",
    L"　",
    L"・変換元のファイルは削除せず",
    L"　残すようにして下さい。",
    L"　御利用に際し、自己責任にて",
    L"　行って下さい。",
};

}  // namespace qm::win::Text
