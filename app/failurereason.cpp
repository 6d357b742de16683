#include "failurereason.h"

#include <string_view>

#include "fileio.h"

namespace qm {

namespace {

// What was being done when a failure happened, as the parenthesis names it.
std::string_view Doing(const std::string& context) {
  struct TPart {
    const char* Context;
    std::string_view Doing;
  };
  static constexpr TPart Parts[] = {
      {JwwContext::Source, "ファイルを読み込み中"},
      {JwwContext::Signature, "先頭の識別子を読み込み中"},
      {JwwContext::Version, "バージョンを読み込み中"},
      {JwwContext::Memo, "図面のメモを読み込み中"},
      {JwwContext::Settings, "用紙・寸法・印刷などの設定を読み込み中"},
      {JwwContext::LayerTables, "レイヤの状態を読み込み中"},
      {JwwContext::LayerNames, "レイヤ名を読み込み中"},
      {JwwContext::PenSettings, "ペンの設定を読み込み中"},
      {JwwContext::LineTypes, "線種を読み込み中"},
      {JwwContext::Switches, "切り替えの設定を読み込み中"},
      {JwwContext::ExtendedColours, "拡張線色を読み込み中"},
      {JwwContext::ExtendedLineTypes, "拡張線種を読み込み中"},
      {JwwContext::TextStyles, "文字種を読み込み中"},
      {JwwContext::Elements, "要素を読み込み中"},
      {JwwContext::BlockDefinitions, "ブロック定義を読み込み中"},
      {JwwContext::ImageTable, "画像を読み込み中"},
      {JwwContext::EndOfFile, "図面の終わりを読み込み中"},
      {JwwContext::OutputFolder, "出力フォルダを作成中"},
      {JwwContext::OutputFile, "出力ファイルを書き込み中"},
      {JwwContext::ReadBack, "書き込んだファイルを読み直し中"},
      {JwwContext::HiddenMaterial, "出力を確かめ中"},
      {JwwContext::VisualProof, "出力を確かめ中"},
      {JwwContext::Folder, "フォルダを読み込み中"},
  };
  for (const TPart& part : Parts)
    if (context == part.Context) return part.Doing;
  return {};
}

// "（バイト位置 N、…を読み込み中）", each part only where it is known.
std::string Where(const TFailure& f, bool doing = true) {
  std::string inside;
  if (f.Offset) inside = "バイト位置 " + std::to_string(*f.Offset);
  if (const std::string_view what = doing ? Doing(f.Context) : std::string_view(); !what.empty())
    inside += (inside.empty() ? "" : "、") + std::string(what);
  return inside.empty() ? std::string() : "（" + inside + "）";
}

}  // namespace

std::string FailureReason(const TFailure& f) {
  const std::string& c = f.Context;
  switch (f.Kind) {
    case TJwwFailure::None: return {};
    case TJwwFailure::Truncated:
      if (c == JwwContext::Signature && f.Offset.value_or(0) == 0) return "空のファイルです";
      if (c == JwwContext::ReadBack) return "書き込んだファイルが途中で終わっています" + Where(f, false);
      return "ファイルが途中で終わっています" + Where(f);
    case TJwwFailure::Corrupt:
      if (c == JwwContext::Signature) return "JWW の図面ではありません（先頭が " + std::string(DrawingSignature) + " ではありません）";
      if (c == JwwContext::EndOfFile) return "図面の終わりの後に余分なデータがあります" + Where(f, false);
      if (c == JwwContext::HiddenMaterial) return "非表示の要素が出力に残るため書き込みません";
      if (c == JwwContext::VisualProof) return "出力の見た目が元の図面と一致しないため書き込みません";
      if (c == JwwContext::ReadBack) return "書き込んだファイルが書き込んだはずの内容と異なります" + Where(f, false);
      return "図面のデータが壊れています" + Where(f);
    case TJwwFailure::UnsupportedVersion:
      return "対応していないバージョンの図面です（Ver.2.20 より古いか、Ver.7.00 と形式が異なります）";
    case TJwwFailure::UnsafeContent: return "使えない名前の画像を含んでいます" + Where(f);
    case TJwwFailure::NotRepresentable: return "図面の文字の形式で表せない文字があります" + Where(f);
    case TJwwFailure::IoError:
      if (c == JwwContext::Folder) return "フォルダを読み込めません";
      if (c == JwwContext::OutputFolder) return "出力フォルダを作成できません";
      if (c == JwwContext::OutputFile) return "書き込めません";
      if (c == JwwContext::ReadBack) return "書き込んだファイルを読み直せません";
      if (c == JwwContext::Source) return "ファイルを読み込めません";
      return "ファイルを読み込めません" + Where(f);
  }
  return {};
}

}  // namespace qm
