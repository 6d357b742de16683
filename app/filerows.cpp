#include "filerows.h"

#include <array>
#include <cstdio>
#include <tuple>

#include "Func_.h"
#include "failurereason.h"
#include "messages.h"
#include "textconv.h"

namespace qm {

namespace {

constexpr std::array<std::string_view, ColumnCount> Titles = {
    Msg::ColumnName, Msg::ColumnFolder, Msg::ColumnVersion, Msg::ColumnHidden,
    Msg::ColumnRemoves, Msg::ColumnFound, Msg::ColumnOutcome};
constexpr std::array<int, ColumnCount> Widths = {150, 220, 90, 180, 210, 200, 320};

std::string Shown(const std::filesystem::path& path) { return Printable(PathToUtf8(path)); }

std::string Joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

constexpr std::string_view Separator = Msg::RowSeparator;

std::string InspectionText(const TRow& row) {
  const TFileResult& i = row.Inspection;
  std::vector<std::string> warnings = Warnings(i);
  if (!row.Earlier.empty())
    warnings.insert(warnings.begin(), std::string(Msg::RowEarlier) + Shown(row.Earlier.filename()));
  switch (i.Outcome) {
    case TOutcome::WouldConvert: return Joined(warnings, Separator);
    case TOutcome::NothingHidden: {
      std::vector<std::string> parts{std::string(Msg::RowNothingHidden)};
      parts.insert(parts.end(), warnings.begin(), warnings.end());
      return Joined(parts, Separator);
    }
    case TOutcome::NotFound: return std::string(Msg::RowNotFound);
    case TOutcome::NotJww: return std::string(Msg::RowNotJww);
    case TOutcome::Unreadable: return std::string(Msg::RowUnreadable) + ShownReason(i);
    case TOutcome::Failed:
    case TOutcome::Converted: return std::string(Msg::RowWouldFail) + ShownReason(i);
    case TOutcome::Skipped: return std::string(Msg::RowAlreadyConverted) + Shown(i.Output.filename());
  }
  return {};
}

std::string ResultText(const TRow& row) {
  const TFileResult& r = *row.Result;
  switch (r.Outcome) {
    case TOutcome::Converted:
    case TOutcome::WouldConvert: {
      std::string text(Msg::RowConverted);
      text += Shown(r.Output.parent_path() == r.Source.parent_path() ? r.Output.filename() : r.Output);
      if (row.Inspected)
        for (const std::string& warning : Warnings(row.Inspection)) text += std::string(Separator) + warning;
      return text;
    }
    case TOutcome::NothingHidden: return std::string(Msg::RowNothingHidden);
    case TOutcome::NotFound: return std::string(Msg::RowNotFound);
    case TOutcome::NotJww: return std::string(Msg::RowNotJww);
    case TOutcome::Unreadable: return std::string(Msg::RowUnreadable) + ShownReason(r);
    case TOutcome::Failed:
      return std::string(Msg::RowFailed) + ShownReason(r) + (CannotWriteOutput(r) ? std::string(Msg::ChooseOutput) : "");
    case TOutcome::Skipped: return std::string(Msg::RowAlreadyConverted) + Shown(r.Output.filename());
  }
  return {};
}

// Names compared as the list compares them: letters regardless of case.
int CompareNames(const std::filesystem::path& a, const std::filesystem::path& b) {
  const std::u16string x = Func_::UnicodeUpperCase(PathToUtf16(a)), y = Func_::UnicodeUpperCase(PathToUtf16(b));
  return x < y ? -1 : y < x ? 1 : 0;
}

template <typename T>
int Three(const T& a, const T& b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

// What the outcome column means, in the order it sorts: what went well first.
int OutcomeRank(const TRow& row) {
  const TOutcome o = row.Result ? row.Result->Outcome : row.Inspection.Outcome;
  if (!row.Result && !row.Inspected) return 9;
  switch (o) {
    case TOutcome::Converted:
    case TOutcome::WouldConvert: return row.Inspected && !Warnings(row.Inspection).empty() ? 1 : 0;
    case TOutcome::NothingHidden:
    case TOutcome::Skipped: return 2;
    case TOutcome::Failed: return 3;
    case TOutcome::Unreadable: return 4;
    case TOutcome::NotJww: return 5;
    case TOutcome::NotFound: return 6;
  }
  return 9;
}

}  // namespace

std::string_view ColumnTitle(int column) { return Titles.at(static_cast<size_t>(column)); }
int DesignColumnWidth(int column) { return Widths.at(static_cast<size_t>(column)); }

std::string VersionText(int32_t version) {
  char text[24];
  std::snprintf(text, sizeof text, "%d.%02d", version / 100, version % 100);
  return text;
}

std::string ShownReason(const TFileResult& result) {
  return result.Failure ? FailureReason(*result.Failure) : std::string();
}

bool CannotWriteOutput(const TFileResult& r) {
  return r.Outcome == TOutcome::Failed && r.Failure && r.Failure->Kind == TJwwFailure::IoError &&
         (r.Failure->Context == JwwContext::OutputFolder || r.Failure->Context == JwwContext::OutputFile);
}

std::string ShownDetail(const TRow& row) {
  const TFileResult& r = row.Result ? *row.Result : row.Inspection;
  return r.Failure && (row.Result || row.Inspected) ? Printable(r.Failure->Detail) : std::string();
}

std::string CellText(const TRow& row, int column) {
  const TFileResult& i = row.Inspection;
  const bool known = row.Inspected && i.Facts.Read != TRead::Nothing;
  switch (column) {
    case ColName: return Shown(row.Path.filename());
    case ColFolder: return Shown(row.Path.parent_path());
    case ColVersion: return row.Inspected && i.Facts.Version > 0 ? VersionText(i.Facts.Version) : std::string();
    case ColHidden:
      if (!known) return {};
      return std::to_string(i.Facts.HiddenGroups.size()) + " / " + std::to_string(i.Facts.HiddenLayers.size());
    case ColRemoves:
      if (!row.Inspected) return {};
      if (i.Removed) return RemovedText(*i.Removed);
      return i.Outcome == TOutcome::NothingHidden ? std::string(Msg::RowNone) : std::string();
    case ColFound: {
      if (!known || !i.Facts.Found) return {};
      const TDrawingFacts::TFound& f = *i.Facts.Found;
      std::vector<std::string> kinds;
      if (f.Memo) kinds.push_back(std::string(Msg::AlsoMemo) + " " + std::to_string(f.Memo) + std::string(Msg::Characters));
      if (f.OffSheet) kinds.push_back(std::string(Msg::FoundOffSheet) + " " + std::to_string(f.OffSheet));
      if (f.TemporaryPoints) kinds.push_back(std::string(Msg::AlsoTemporaryPoints) + " " + std::to_string(f.TemporaryPoints));
      if (f.Auxiliary) kinds.push_back(std::string(Msg::AlsoAuxiliary) + " " + std::to_string(f.Auxiliary));
      return kinds.empty() ? std::string(Msg::RowNone) : Joined(kinds, Msg::ListSeparator);
    }
    case ColOutcome:
      if (row.Result) return ResultText(row);
      return row.Inspected ? InspectionText(row) : std::string(Msg::Inspecting);
    default: return {};
  }
}

int CompareRows(const TRow& a, const TRow& b, int column) {
  const TFileResult &x = a.Inspection, &y = b.Inspection;
  const bool knownA = a.Inspected && x.Facts.Read != TRead::Nothing, knownB = b.Inspected && y.Facts.Read != TRead::Nothing;
  switch (column) {
    case ColName:
      if (const int c = CompareNames(a.Path.filename(), b.Path.filename())) return c;
      return CompareNames(a.Path.parent_path(), b.Path.parent_path());
    case ColFolder:
      if (const int c = CompareNames(a.Path.parent_path(), b.Path.parent_path())) return c;
      return CompareNames(a.Path.filename(), b.Path.filename());
    case ColVersion: {
      const bool hasA = a.Inspected && x.Facts.Version > 0, hasB = b.Inspected && y.Facts.Version > 0;
      if (hasA != hasB) return hasA ? -1 : 1;
      return hasA ? Three(x.Facts.Version, y.Facts.Version) : 0;
    }
    case ColHidden:
      if (knownA != knownB) return knownA ? -1 : 1;
      if (!knownA) return 0;
      return Three(std::make_tuple(x.Facts.HiddenGroups.size() + x.Facts.HiddenLayers.size(), x.Facts.HiddenGroups.size()),
                   std::make_tuple(y.Facts.HiddenGroups.size() + y.Facts.HiddenLayers.size(), y.Facts.HiddenGroups.size()));
    case ColRemoves: {
      if (knownA != knownB) return knownA ? -1 : 1;
      if (!knownA) return 0;
      const TRemovedCounts p = x.Removed.value_or(TRemovedCounts{}), q = y.Removed.value_or(TRemovedCounts{});
      return Three(std::make_tuple(x.Removed.has_value(), p.Elements, p.BlockDefs, p.Images),
                   std::make_tuple(y.Removed.has_value(), q.Elements, q.BlockDefs, q.Images));
    }
    case ColFound: {
      const bool hasA = knownA && x.Facts.Found, hasB = knownB && y.Facts.Found;
      if (hasA != hasB) return hasA ? -1 : 1;
      if (!hasA) return 0;
      const auto kinds = [](const TDrawingFacts::TFound& f) {
        return std::make_tuple(f.Memo + f.OffSheet + f.TemporaryPoints + f.Auxiliary, f.OffSheet, f.Memo);
      };
      return -Three(kinds(*x.Facts.Found), kinds(*y.Facts.Found));  // the most first
    }
    case ColOutcome:
      if (const int c = Three(OutcomeRank(a), OutcomeRank(b))) return c;
      return Three(CellText(a, ColOutcome), CellText(b, ColOutcome));
    default: return 0;
  }
}

}  // namespace qm
