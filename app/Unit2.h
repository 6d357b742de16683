// The result window's logic: the report of the last batch, three lines per
// file, shown modally when the batch is done.
#pragma once

#include <string>
#include <vector>

#include "controls.h"

namespace qm {

class TForm2 {
 public:
  // Designed geometry of the result window.
  static constexpr int DesignLeft = 222, DesignTop = 129, DesignWidth = 456, DesignHeight = 293;
  // Capacity of the report box in characters (the Win32 box stops taking text beyond it).
  static constexpr size_t TextCapacity = 1024000;

  TForm2(IResultView& view, IWindowBounds& bounds) : View_(view), Bounds_(bounds) {}

  // The report box's lines (UTF-8), cleared by every batch.
  const std::vector<std::string>& Lines() const noexcept { return Lines_; }
  void ClearLines() { Lines_.clear(); }
  void AppendLine(std::string line) { Lines_.push_back(std::move(line)); }
  // The report as one text, lines separated by line breaks.
  std::string Text(const char* lineBreak = "\n") const;

  void ShowModal() { View_.ShowModal(*this); }
  IWindowBounds& Bounds() noexcept { return Bounds_; }

 private:
  IResultView& View_;
  IWindowBounds& Bounds_;
  std::vector<std::string> Lines_{"RE1"};
};

}  // namespace qm
