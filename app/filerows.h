// A listed drawing as the main window's list shows it: its inspection before
// Convert and its outcome after, as the texts of the list's columns, and the
// order of the rows when the list is sorted by a column.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "convert.h"
#include "inspect.h"

namespace qm {

struct TRow {
  std::filesystem::path Path;
  uint64_t Ticket = 0;  // the inspection asked for; 0 when none was
  bool Inspected = false;
  TFileResult Inspection;             // the dry run's record, with the drawing's facts
  std::optional<TFileResult> Result;  // the last Convert's outcome
};

enum TColumn : int { ColName, ColFolder, ColVersion, ColHidden, ColRemoves, ColOutcome, ColumnCount };

// A column's title (UTF-8) and its designed width in pixels at 96 DPI.
std::string_view ColumnTitle(int column);
int DesignColumnWidth(int column);

// The text of a row's cell (UTF-8, names shown printable):
// - name and folder: the file's name and its folder's full path;
// - version: "7.00" once inspected (empty when the header does not read);
// - hidden: "groups / layers" hidden;
// - removes: the elements, block definitions and images a purge takes out,
//   "なし" when nothing is hidden;
// - outcome: after Convert what it did (the output's name, nothing hidden,
//   why it could not read or write); before, what inspection found (its
//   warnings, nothing hidden, why it cannot be read or written).
std::string CellText(const TRow& row, int column);

// Orders two rows by a column: negative, 0 or positive. Rows not inspected
// yet, or whose column is unknown, come after the others.
int CompareRows(const TRow& a, const TRow& b, int column);

// Why a file could not be read or written, without its path (shown printable).
std::string ShownReason(const TFileResult& result);

// "7.00" for 700.
std::string VersionText(int32_t version);

}  // namespace qm
