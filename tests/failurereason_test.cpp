// The Japanese sentence of a failure: a row for every context the reader,
// the writer and the checks give, and the sentences of real failures met
// along the road.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "convert.h"
#include "drawings.h"
#include "failurereason.h"
#include "testutil.h"

namespace {

using namespace qm;

namespace fs = std::filesystem;

struct TRow {
  TJwwFailure Kind;
  std::optional<uint64_t> Offset;
  const char* Context;
  std::string Expected;
};

TEST(FailureReason, EveryContextInWords) {
  using K = TJwwFailure;
  namespace C = JwwContext;
  const std::vector<TRow> rows = {
      {K::Truncated, 0, C::Signature, "空のファイルです"},
      {K::Corrupt, 0, C::Signature, "JWW の図面ではありません（先頭が JwwData. ではありません）"},
      {K::Truncated, 8, C::Version, "ファイルが途中で終わっています（バイト位置 8、バージョンを読み込み中）"},
      {K::UnsupportedVersion, 8, C::Version,
       "対応していないバージョンの図面です（Ver.2.20 より古いか、Ver.7.00 と形式が異なります）"},
      {K::Truncated, 12, C::Memo, "ファイルが途中で終わっています（バイト位置 12、図面のメモを読み込み中）"},
      {K::Corrupt, 40, C::Settings, "図面のデータが壊れています（バイト位置 40、用紙・寸法・印刷などの設定を読み込み中）"},
      {K::Truncated, 100, C::LayerTables, "ファイルが途中で終わっています（バイト位置 100、レイヤの状態を読み込み中）"},
      {K::Corrupt, 300, C::LayerNames, "図面のデータが壊れています（バイト位置 300、レイヤ名を読み込み中）"},
      {K::Truncated, 900, C::PenSettings, "ファイルが途中で終わっています（バイト位置 900、ペンの設定を読み込み中）"},
      {K::Truncated, 1200, C::LineTypes, "ファイルが途中で終わっています（バイト位置 1200、線種を読み込み中）"},
      {K::Truncated, 2997, C::Switches, "ファイルが途中で終わっています（バイト位置 2997、切り替えの設定を読み込み中）"},
      {K::Truncated, 4997, C::ExtendedColours, "ファイルが途中で終わっています（バイト位置 4997、拡張線色を読み込み中）"},
      {K::Corrupt, 6000, C::ExtendedLineTypes, "図面のデータが壊れています（バイト位置 6000、拡張線種を読み込み中）"},
      {K::Truncated, 7000, C::TextStyles, "ファイルが途中で終わっています（バイト位置 7000、文字種を読み込み中）"},
      {K::Truncated, 9998, C::Elements, "ファイルが途中で終わっています（バイト位置 9998、要素を読み込み中）"},
      {K::IoError, 9998, C::Elements, "ファイルを読み込めません（バイト位置 9998、要素を読み込み中）"},
      {K::Corrupt, 12000, C::BlockDefinitions,
       "図面のデータが壊れています（バイト位置 12000、ブロック定義を読み込み中）"},
      {K::UnsafeContent, 15000, C::ImageTable, "使えない名前の画像を含んでいます（バイト位置 15000、画像を読み込み中）"},
      {K::Corrupt, 20000, C::EndOfFile, "図面の終わりの後に余分なデータがあります（バイト位置 20000）"},
      {K::IoError, std::nullopt, C::Source, "ファイルを読み込めません"},
      {K::IoError, std::nullopt, C::Folder, "フォルダを読み込めません"},
      {K::IoError, std::nullopt, C::OutputFolder, "出力フォルダを作成できません"},
      {K::IoError, std::nullopt, C::OutputFile, "書き込めません"},
      {K::NotRepresentable, std::nullopt, C::OutputFile, "図面の文字の形式で表せない文字があります（出力ファイルを書き込み中）"},
      {K::Corrupt, 512, C::ReadBack, "書き込んだファイルが書き込んだはずの内容と異なります（バイト位置 512）"},
      {K::Truncated, 512, C::ReadBack, "書き込んだファイルが途中で終わっています（バイト位置 512）"},
      {K::IoError, std::nullopt, C::ReadBack, "書き込んだファイルを読み直せません"},
      {K::Corrupt, std::nullopt, C::HiddenMaterial, "非表示の要素が出力に残るため書き込みません"},
      {K::Corrupt, std::nullopt, C::VisualProof, "出力の見た目が元の図面と一致しないため書き込みません"},
      {K::None, std::nullopt, "", ""},
  };
  for (const TRow& row : rows) {
    const TFailure failure{row.Kind, row.Offset, row.Context, "/p/a.jww", "an English sentence"};
    EXPECT_EQ(qm::FailureReason(failure), row.Expected) << row.Context << " " << FailureName(row.Kind);
  }
}

// Whatever the kind and context, a sentence without English words (the
// signature, JWW and the versions aside) and with every context in words.
TEST(FailureReason, NoContextLeftInEnglish) {
  namespace C = JwwContext;
  const std::vector<const char*> contexts = {
      C::Source,    C::Signature,         C::Version,    C::Memo,       C::Settings,       C::LayerTables,
      C::LayerNames, C::PenSettings,      C::LineTypes,  C::Switches,   C::ExtendedColours, C::ExtendedLineTypes,
      C::TextStyles, C::Elements,         C::BlockDefinitions, C::ImageTable, C::EndOfFile, C::OutputFolder,
      C::OutputFile, C::ReadBack,         C::HiddenMaterial, C::VisualProof, C::Folder};
  for (const TJwwFailure kind : {TJwwFailure::IoError, TJwwFailure::Truncated, TJwwFailure::Corrupt,
                                 TJwwFailure::UnsupportedVersion, TJwwFailure::UnsafeContent,
                                 TJwwFailure::NotRepresentable}) {
    for (const char* context : contexts) {
      const std::string reason = qm::FailureReason({kind, 77, context, "/p/a.jww", "at byte 77: english"});
      std::string rest = reason;
      for (const char* allowed : {"JwwData.", "JWW", "Ver."})
        for (size_t at; (at = rest.find(allowed)) != std::string::npos;) rest.erase(at, std::string(allowed).size());
      EXPECT_TRUE(std::none_of(rest.begin(), rest.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }))
          << FailureName(kind) << " " << context << ": " << reason;
      EXPECT_FALSE(reason.empty());
      EXPECT_EQ(reason.find(context), std::string::npos) << reason;
    }
  }
}

// Failures as the road meets them: an empty file, a text file named .jww,
// a drawing cut short.
TEST(FailureReason, TheRoadsFailuresInWords) {
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "empty.jww", {});
  testutil::WriteAll(dir / "text.jww", testutil::Bytes("This is not a drawing.\r\n"));
  auto cut = jwwtest::Build(draw::HiddenGroupDrawing(600));
  cut.resize(cut.size() / 2);
  testutil::WriteAll(dir / "cut.jww", cut);
  auto convert = [&](const std::string& name) {
    qm::TOutputRule outputs;
    TJwwData doc;
    return qm::ConvertOne(dir / name, outputs, doc, {});
  };

  const qm::TFileResult empty = convert("empty.jww");
  EXPECT_EQ(empty.Outcome, qm::TOutcome::Unreadable);
  ASSERT_TRUE(empty.Failure);
  EXPECT_EQ(empty.Failure->Kind, TJwwFailure::Truncated);
  EXPECT_EQ(empty.Detail(), (dir / "empty.jww").string() + ": the file is empty");
  EXPECT_EQ(qm::FailureReason(*empty.Failure), "空のファイルです");

  const qm::TFileResult text = convert("text.jww");
  ASSERT_TRUE(text.Failure);
  EXPECT_EQ(qm::FailureReason(*text.Failure), "JWW の図面ではありません（先頭が JwwData. ではありません）");

  const qm::TFileResult short_ = convert("cut.jww");
  ASSERT_TRUE(short_.Failure);
  ASSERT_TRUE(short_.Failure->Offset);
  EXPECT_EQ(short_.Failure->Context, JwwContext::ExtendedColours);
  EXPECT_EQ(qm::FailureReason(*short_.Failure), "ファイルが途中で終わっています（バイト位置 " +
                                                     std::to_string(*short_.Failure->Offset) + "、拡張線色を読み込み中）");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"cut.jww", "empty.jww", "text.jww"}));
}

}  // namespace
