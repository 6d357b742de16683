#include "record.h"

#include "render.h"

#include <utility>

#include "Func_.h"
#include "failurereason.h"
#include "jwwmeaning.h"
#include "messages.h"
#include "purge.h"
#include "textconv.h"

namespace qm {

namespace {

std::string Shown(const std::filesystem::path& path) { return Printable(PathToUtf8(path)); }

// "名前 N", as every count of the report shows.
std::string Counted(std::string_view name, int n) { return std::string(name) + " " + std::to_string(n); }

// The second line of a dry run's report for a drawing that would be converted.
std::string DryRunLine(const TRemovedCounts& removed) {
  return std::string(Msg::DryRunConvertible) + RemovedText(removed) + std::string(Msg::DryRunNotWritten);
}

std::string NormalisedLine(const JwwNormalise::TNormalised& n) {
  std::string line(Msg::Normalised);
  bool first = true;
  auto add = [&](std::string_view name, int32_t count) {
    if (count == 0) return;
    if (!first) line += Msg::ListSeparator;
    first = false;
    line += Counted(name, count);
  };
  add(Msg::NormalisedTexts, n.Texts);
  add(Msg::NormalisedFonts, n.Fonts);
  add(Msg::NormalisedPens, n.Pens);
  add(Msg::NormalisedLayers, n.Layers);
  add(Msg::NormalisedNames, n.Names);
  add(Msg::NormalisedSettings, n.Settings);
  return line;
}

// "　ほかに削除：メモ、図面外の要素 556、仮点 18、補助線 17": what went besides
// the hidden layers' material; empty when nothing did.
std::string AlsoRemovedLine(const TRemovedCounts& r) {
  std::string items;
  auto add = [&](std::string_view name, int32_t count, bool counted = true) {
    if (count == 0) return;
    if (!items.empty()) items += Msg::ListSeparator;
    items += counted ? Counted(name, count) : std::string(name);
  };
  add(Msg::AlsoMemo, r.Memo, false);
  add(Msg::AlsoOffSheet, r.OffSheet);
  add(Msg::AlsoTemporaryPoints, r.TemporaryPoints);
  add(Msg::AlsoAuxiliary, r.Auxiliary);
  return items.empty() ? items : std::string(Msg::AlsoRemoved) + items;
}

}  // namespace

std::string RemovedText(const TRemovedCounts& removed) {
  const std::string sep(Msg::ListSeparator);
  return Counted(Msg::RemovedElements, removed.Elements) + sep + Counted(Msg::RemovedBlockDefs, removed.BlockDefs) +
         sep + Counted(Msg::RemovedImages, removed.Images);
}

TDrawingFacts DescribeDrawing(const TJwwData& doc, TRead read, bool describe) {
  TDrawingFacts f;
  f.Read = read;
  if (read == TRead::Nothing) return f;
  f.Version = doc.Header.Version;
  f.Wide = doc.WideStrings();
  if (read == TRead::Whole) {
    for (int32_t k = KindSen; k <= KindBlock; ++k) f.Counts[static_cast<size_t>(k)] = doc.CountOf(k);
    f.Total = doc.TotalCount();
    f.BlockDefs = doc.BlockDefCount;
    f.UsedBlockDefs = doc.UsedBlockDefCount;
    if (describe) {
      f.UnusedBlockNames.emplace();
      for (const TEntJwwBlockDef& d : doc.BlockDefs)
        if (!d.Used) f.UnusedBlockNames->push_back(ToUtf8(d.Name));
      f.Undrawable = view::CountUndrawable(doc);
    }
    f.Images = doc.Images;
  }
  if (doc.LayerGroups.size() != 16 || doc.Layers.size() != 256) return f;

  // Elements per layer and group, for the hidden ones.
  std::array<int32_t, 256> perLayer{};
  std::array<int32_t, 16> perGroup{};
  if (read == TRead::Whole) {
    for (size_t i = 0; i < doc.OrderEntries(); ++i) {
      if (const TEntJwwEntityHeader* h = doc.HeaderOf(doc.EntityOrder[i].Kind, doc.EntityOrder[i].Index)) {
        ++perLayer[JwwMeaning::LayerIndex(*h)];
        ++perGroup[JwwMeaning::LayerNumber(h->LayerGroup)];
      }
    }
  }
  for (int g = 0; g < 16; ++g) {
    const TEntJwwLayerGroup& group = doc.LayerGroups[static_cast<size_t>(g)];
    if (group.State == 0) f.HiddenGroups.push_back({g, -1, ToUtf8(group.Name), perGroup[static_cast<size_t>(g)]});
    for (int l = 0; l < 16; ++l) {
      const TEntJwwLayer& layer = doc.Layers[static_cast<size_t>(g * 16 + l)];
      if (layer.State == 0)
        f.HiddenLayers.push_back({g, l, ToUtf8(layer.Name), perLayer[static_cast<size_t>(g * 16 + l)]});
    }
  }
  return f;
}

TDrawingFacts::TFound FoundIn(const TJwwData& doc, const view::TElementKinds& kinds) {
  TDrawingFacts::TFound f;
  f.Memo = MemoCharacters(doc.Header.Memo);
  if (f.Memo > 0) f.MemoText = ToUtf8(doc.Header.Memo);
  f.TemporaryPoints = kinds.TemporaryPoints;
  f.Auxiliary = kinds.Auxiliary;
  f.OffSheet = kinds.OffSheet;
  f.OffSheetExtent = kinds.OffSheetExtent;
  return f;
}

std::string ProblemText(const TFileResult& r) {
  if (r.Outcome == TOutcome::NotFound) return PathToUtf8(r.Source) + ": no such file";
  if (r.Outcome == TOutcome::NotJww) return PathToUtf8(r.Source) + ": not a .JWW file";
  return r.Detail();
}

bool IsFailure(TOutcome outcome) noexcept {
  return outcome != TOutcome::Converted && outcome != TOutcome::NothingHidden && outcome != TOutcome::WouldConvert &&
         outcome != TOutcome::Skipped;
}

std::vector<std::string> FileLines(const TFileResult& r) {
  std::vector<std::string> lines{std::string(Msg::FileOpen) + Shown(r.Source) + std::string(Msg::FileClose)};
  auto skipped = [&](std::string_view why) {
    lines.emplace_back(why);
    lines.emplace_back(Msg::Skipped);
  };
  switch (r.Outcome) {
    case TOutcome::NotFound: skipped(Msg::NotFound); break;
    case TOutcome::NotJww: skipped(Msg::NotJww); break;
    case TOutcome::Unreadable: skipped(Msg::Unreadable); break;
    case TOutcome::NothingHidden: skipped(Msg::NothingHidden); break;
    case TOutcome::Skipped: skipped(std::string(Msg::AlreadyConverted) + Shown(r.Output)); break;
    case TOutcome::Converted:
      lines.push_back(std::string(Msg::ConvertedTo) + Shown(r.Output));
      lines.emplace_back(Msg::Converted);
      break;
    case TOutcome::WouldConvert:
      lines.push_back(std::string(Msg::ConvertedTo) + Shown(r.Output));
      lines.push_back(DryRunLine(r.Removed.value_or(TRemovedCounts{})));
      break;
    case TOutcome::Failed:
      lines.push_back(std::string(Msg::FailedTo) + Shown(r.Output));
      lines.emplace_back(Msg::Failed);
      break;
  }
  return lines;
}

std::vector<std::string> ExtraLines(const TFileResult& r, TReasonWords words) {
  std::vector<std::string> lines;
  if ((r.Outcome == TOutcome::Unreadable || r.Outcome == TOutcome::Failed) && r.Failure)
    lines.push_back(std::string(Msg::Reason) +
                    (words == TReasonWords::Sentence ? FailureReason(*r.Failure) : Printable(r.Failure->Detail)));
  if (HasOutput(r.Outcome) && r.Normalised && r.Normalised->Any()) lines.push_back(NormalisedLine(*r.Normalised));
  if (HasOutput(r.Outcome) && r.Removed)
    if (std::string also = AlsoRemovedLine(*r.Removed); !also.empty()) lines.push_back(std::move(also));
  if (EmptyOutput(r)) lines.emplace_back(Msg::EmptyOutput);
  return lines;
}

std::vector<std::string> ReportLines(const TFileResult& r, TReasonWords words) {
  std::vector<std::string> lines = FileLines(r);
  for (std::string& line : ExtraLines(r, words)) lines.push_back(std::move(line));
  return lines;
}

void TTotals::Add(const TFileResult& r) {
  ++Files;
  ++Outcomes[static_cast<size_t>(r.Outcome)];
  if (EmptyOutput(r)) ++Empty;
  if (!HasOutput(r.Outcome) || !r.VisibleUnchanged) return;
  if (*r.VisibleUnchanged)
    ++Proven;
  else if (r.Normalised && r.Normalised->Any())
    ++Normalised;
}

std::string TotalsLine(const TTotals& t) {
  const int converted = t.Of(TOutcome::Converted) + t.Of(TOutcome::WouldConvert);
  const int unreadable = t.Of(TOutcome::NotFound) + t.Of(TOutcome::NotJww) + t.Of(TOutcome::Unreadable);
  const std::string sep(Msg::ListSeparator);
  std::string line = std::string(Msg::Totals) + std::string(Msg::Colon) + Counted(Msg::TotalConverted, converted);
  if (converted)
    line += std::string(Msg::OpenParen) + Counted(Msg::TotalProven, t.Proven) + sep +
            Counted(Msg::TotalNormalised, t.Normalised) + (t.Empty ? sep + Counted(Msg::TotalEmpty, t.Empty) : "") +
            std::string(Msg::CloseParen);
  line += sep + Counted(Msg::TotalNothingHidden, t.Of(TOutcome::NothingHidden));
  line += sep + Counted(Msg::TotalUnreadable, unreadable);
  line += sep + Counted(Msg::TotalFailed, t.Of(TOutcome::Failed));
  if (t.Of(TOutcome::Skipped)) line += sep + Counted(Msg::TotalSkipped, t.Of(TOutcome::Skipped));
  return line;
}

std::vector<std::string> ClosingLines(const TTotals& t, int total, bool interrupted) {
  std::vector<std::string> lines{""};
  if (interrupted)
    lines.push_back(std::string(Msg::Stopped) + std::string(Msg::OpenParen) + std::to_string(t.Files) + " / " +
                    std::to_string(total) + std::string(Msg::CloseParen));
  lines.push_back(TotalsLine(t));
  return lines;
}

}  // namespace qm
