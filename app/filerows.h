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
  // An output of an earlier run newer than the drawing (beside it, or in the
  // output folder), as found when the row was inspected.
  std::filesystem::path Earlier;
};

enum TColumn : int { ColName, ColFolder, ColVersion, ColHidden, ColRemoves, ColFound, ColOutcome, ColumnCount };

// A column's title (UTF-8) and its designed width in pixels at 96 DPI.
std::string_view ColumnTitle(int column);
int DesignColumnWidth(int column);

// The text of a row's cell (UTF-8, names shown printable):
// - name and folder: the file's name and its folder's full path;
// - version: "7.00" once inspected (empty when the header does not read);
// - hidden: "groups / layers" hidden;
// - removes: the elements, block definitions and images a purge takes out,
//   "なし" when nothing is hidden;
// - found: the hidden information besides hidden layers that the drawing
//   holds, "メモ 12字、図面外 3、仮点 2、補助線 1", "なし" when none;
// - outcome: after Convert what it did (the output's name, nothing hidden,
//   why it could not read or write); before, what inspection found (its
//   warnings, nothing hidden, why it cannot be read or written).
std::string CellText(const TRow& row, int column);

// Orders two rows by a column: negative, 0 or positive. Rows not inspected
// yet, or whose column is unknown, come after the others.
int CompareRows(const TRow& a, const TRow& b, int column);

// Why a file could not be read or written, in the window's words (a Japanese
// sentence from the failure's kind, offset and context).
std::string ShownReason(const TFileResult& result);
// True when a file failed because its output could not be written (its
// folder cannot be made or written): another output folder may help.
bool CannotWriteOutput(const TFileResult& result);
// The failure's own detail, English, shown printable (for a tooltip); empty
// when the row's last record has no failure.
std::string ShownDetail(const TRow& row);

// "7.00" for 700.
std::string VersionText(int32_t version);

}  // namespace qm
