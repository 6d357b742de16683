// One record of a file, whatever took it along the road (a conversion, its
// dry run, info, the window's inspection), and what every front end makes of
// it: the report's lines and the totals. The command line writes the same
// record as JSON (app/cli/report.h).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bounds.h"
#include "hiddenkinds.h"
#include "jwwnormalise.h"
#include "jwwunit.h"

namespace qm {

// How one file ended. WouldConvert only in a dry run: the file would have
// been converted, and nothing was written. Skipped: passed by, as an output
// of an earlier run newer than the drawing was there (when asked to).
enum class TOutcome { Converted, NothingHidden, NotFound, NotJww, Unreadable, Failed, WouldConvert, Skipped };
inline constexpr size_t OutcomeCount = 8;

// What the purge took out of a drawing (or would take, in a dry run).
struct TRemovedCounts {
  int32_t Elements = 0;   // top-level elements on hidden groups and layers
  int32_t BlockDefs = 0;  // block definitions that are no longer written
  int32_t Images = 0;     // embedded images that only removed elements showed
  // What was asked to go besides (TAlsoRemove): the memo's characters, and
  // the elements of each kind asked for (one of several kinds in each).
  int32_t Memo = 0, OffSheet = 0, TemporaryPoints = 0, Auxiliary = 0;
  int32_t Remaining = 0;  // top-level elements the output holds
  bool operator==(const TRemovedCounts&) const = default;
};

// "要素 N、ブロック定義 N、画像 N": what the purge removes, as the list, the
// pane and a dry run's report show it.
std::string RemovedText(const TRemovedCounts& removed);

// A hidden layer group (Layer -1) or a hidden layer, with the top-level
// elements that lie on it (counted when the drawing was read whole).
struct THiddenLayer {
  int Group = 0, Layer = -1;
  std::string Name;  // UTF-8
  int32_t Elements = 0;
  bool operator==(const THiddenLayer&) const = default;
};

// How far a drawing was read.
enum class TRead {
  Nothing,  // not even its header
  Header,   // the header section: version, strings, layer tables
  Whole,    // every element, block definition and image
};

// What a drawing holds, as far as it was read.
struct TDrawingFacts {
  TRead Read = TRead::Nothing;
  // From the header on.
  int32_t Version = 0;
  bool Wide = false;  // strings in the archive's wide form
  std::vector<THiddenLayer> HiddenGroups, HiddenLayers;
  // Read whole.
  std::array<int32_t, 8> Counts{};  // live top-level elements by kind (1..7)
  int32_t Total = 0;
  int32_t BlockDefs = 0, UsedBlockDefs = 0;
  // The names of the unused definitions (UTF-8), where they were asked for:
  // a drawing of many has many, and only a description shows them.
  std::optional<std::vector<std::string>> UnusedBlockNames;
  std::vector<TBindImageType> Images;
  // The top-level elements, on every layer, that its picture cannot draw
  // (not finite, or beyond 100 m), where a description asked for them.
  std::optional<uint64_t> Undrawable;
  // The hidden information besides hidden layers (hiddenkinds.h), where it
  // was looked for: by a description, and by a conversion asked to remove
  // some of it.
  struct TFound {
    int32_t Memo = 0;  // characters (MemoCharacters)
    std::string MemoText;  // UTF-8, as stored
    int32_t TemporaryPoints = 0, Auxiliary = 0, OffSheet = 0;
    view::TBox OffSheetExtent;  // what the elements off the sheet draw (empty: nothing)
    bool operator==(const TFound&) const = default;
  };
  std::optional<TFound> Found;
};

// The facts of a document read as far as read says (before any purge);
// describe: also what only a description shows (the names of the unused
// block definitions, what cannot be drawn).
TDrawingFacts DescribeDrawing(const TJwwData& document, TRead read, bool describe = false);
// The hidden information of a document read whole, its elements judged.
TDrawingFacts::TFound FoundIn(const TJwwData& document, const view::TElementKinds& kinds);

// One file's record.
struct TFileResult {
  std::filesystem::path Source;
  TOutcome Outcome = TOutcome::Failed;
  TDrawingFacts Facts;
  // What the purge took out: only where something was written (Converted) or
  // would be (WouldConvert).
  std::optional<TRemovedCounts> Removed;
  // The visual proof ran (the file was purged): true when the output shows
  // exactly what the source showed less what was asked to be removed, and
  // not one other value is written otherwise; false when the output differs
  // only by what the reader and writer tidy (Normalised says what: the file
  // converts), or when it would differ otherwise (the file fails).
  std::optional<bool> VisibleUnchanged;
  std::optional<JwwNormalise::TNormalised> Normalised;  // where the proof ran
  // The output's name: where it went (Converted), would go (WouldConvert),
  // or was meant to go; named also for files that are passed by. For a
  // Skipped drawing, the earlier run's output that made it converted.
  std::filesystem::path Output;
  // Why the file is unreadable or failed; for a drawing with nothing hidden
  // that was read further than a conversion reads it (info, the window),
  // where the reading stopped.
  std::optional<TFailure> Failure;
  std::string Warning;  // what went wrong around a conversion that stands (UTF-8), else empty
  double Seconds = 0;   // the file's own time on its worker

  // The failure's sentence with its file, empty when there is none.
  std::string Detail() const { return Failure ? Failure->Text() : std::string(); }
};

// What went wrong with a file, as an English sentence with its path first:
// "PATH: no such file", "PATH: not a .JWW file", or its failure's sentence;
// empty when nothing did.
std::string ProblemText(const TFileResult& result);

// The outcomes with an output: Converted, and a dry run's WouldConvert.
constexpr bool HasOutput(TOutcome outcome) noexcept {
  return outcome == TOutcome::Converted || outcome == TOutcome::WouldConvert;
}

// The output holds no element (it is written, or would be, all the same).
inline bool EmptyOutput(const TFileResult& result) noexcept {
  return HasOutput(result.Outcome) && result.Removed && result.Removed->Remaining == 0;
}

// The outcomes that make a command's exit status 1.
bool IsFailure(TOutcome outcome) noexcept;

// The file's three report lines (UTF-8, names shown printable): the file line
// and the two lines of its outcome.
std::vector<std::string> FileLines(const TFileResult& result);
// The lines that follow them, in this order and each only when it applies:
// the reason a file is unreadable or failed ("　理由：…"), what the writer
// tidied ("　書き出し時に整えたもの：文字 3、ペン 2"), what else was removed
// on request ("　ほかに削除：メモ、図面外の要素 556、仮点 18、補助線 17"),
// and that the output holds no element ("　注意：出力には要素が一つもありません").
// The reason is the failure's detail as it stands (the command line's), or
// its Japanese sentence (the window's, which never shows an English one).
enum class TReasonWords { Detail, Sentence };
std::vector<std::string> ExtraLines(const TFileResult& result, TReasonWords words = TReasonWords::Detail);
// Both, as a report shows a file.
std::vector<std::string> ReportLines(const TFileResult& result, TReasonWords words = TReasonWords::Detail);

// The totals of a batch.
struct TTotals {
  int Files = 0;
  std::array<int, OutcomeCount> Outcomes{};  // by TOutcome
  int Proven = 0;      // outputs that show exactly what their sources showed
  int Normalised = 0;  // outputs that differ from their sources only by what was tidied
  int Empty = 0;       // outputs without any element

  void Add(const TFileResult& result);
  int Of(TOutcome outcome) const noexcept { return Outcomes[static_cast<size_t>(outcome)]; }
};

// "集計：変換 N（表示一致 N、書き出しで整えたもの N、空の図面 N）、非表示レイヤなし N、読み込めない N、変換出来ない N、スキップ N"
// (a dry run's would-be conversions count as converted; missing and not
// .JWW files as unreadable; the parenthesis only when something converted,
// and in it the empty outputs only when there are any; the skipped ones only
// when a drawing was skipped).
std::string TotalsLine(const TTotals& totals);

// The lines that end the report of a batch of total files: an empty line,
// "中止しました（done / total）" when it was stopped, and the totals.
std::vector<std::string> ClosingLines(const TTotals& totals, int total, bool interrupted);

}  // namespace qm
