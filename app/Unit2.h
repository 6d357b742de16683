// The result window's logic: the report of the last batch, three lines per
// file, each unreadable or failed file followed by the reason, and the
// batch's totals; shown modally when the batch is done.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "controls.h"
#include "convert.h"
#include "record.h"

namespace qm {

class TForm2 {
 public:
  // Designed geometry of the result window.
  static constexpr int DesignLeft = 222, DesignTop = 129, DesignWidth = 456, DesignHeight = 293;
  // Capacity of the report box in characters (the Win32 box stops taking text beyond it).
  static constexpr size_t TextCapacity = 1024000;

  TForm2(IResultView& view, IWindowBounds& bounds) : View_(view), Bounds_(bounds) {}

  // The driver's report lines (UTF-8): three a file, cleared by every batch.
  const std::vector<std::string> & Lines() const noexcept { return Lines_; }
  void ClearLines();
  void AppendLine(std::string line) { Lines_.push_back(std::move(line)); }
  // A file's three lines, and what the report adds to them (the reason a
  // file could not be read or written, what was tidied), and the file in the
  // totals.
  void AppendFile(const TFileResult& result);
  // The batch is over: of total files, those appended were done; the rest
  // were not reached because the batch was stopped.
  void FinishBatch(int total, bool interrupted);
  // A line after the totals (the window's advice after the batch).
  void AddClosingLine(std::string line) { Summary_.push_back(std::move(line)); }
  // The files appended since the report was cleared, counted.
  const TTotals& Totals() const noexcept { return Totals_; }

  // What the report box shows: each file's three lines with the lines that
  // follow them, then the totals ("RE1" before the first batch).
  std::vector<std::string> DisplayLines() const;
  // The report as one text, lines separated by line breaks.
  std::string Text(const char* lineBreak = "\n") const;
  // The output of the file whose lines hold the given line of DisplayLines
  // when it was converted, else the first output of the batch; nothing when
  // no file was converted.
  std::optional<std::filesystem::path> OutputAt(int displayLine) const;

  void ShowModal() { View_.ShowModal(*this); }
  IWindowBounds& Bounds() noexcept { return Bounds_; }

 private:
  struct TFileEntry {
    size_t FirstLine = 0;  // in Lines_
    std::filesystem::path Output;
    std::vector<std::string> Extra;  // shown after the lines: the reason, what was tidied
  };
  IResultView& View_;
  IWindowBounds& Bounds_;
  std::vector<std::string> Lines_{"RE1"};
  std::vector<TFileEntry> Files_;
  TTotals Totals_;
  std::vector<std::string> Summary_;
};

}  // namespace qm
