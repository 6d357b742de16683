#include "Unit2.h"

namespace qm {

void TForm2::ClearLines() {
  Lines_.clear();
  Files_.clear();
  Totals_ = {};
  Summary_.clear();
}

void TForm2::AppendFile(const TFileResult& result) {
  TFileEntry entry;
  entry.FirstLine = Lines_.size();
  if (HasOutput(result.Outcome)) entry.Output = result.Output;
  entry.Extra = ExtraLines(result, TReasonWords::Sentence);
  for (std::string& line : FileLines(result)) AppendLine(std::move(line));
  Files_.push_back(std::move(entry));
  Totals_.Add(result);
}

void TForm2::FinishBatch(int total, bool interrupted) { Summary_ = ClosingLines(Totals_, total, interrupted); }

std::vector<std::string> TForm2::DisplayLines() const {
  std::vector<std::string> out;
  out.reserve(Lines_.size() + Files_.size() + Summary_.size());
  size_t next = 0;  // the next line of Lines_ not shown yet
  for (size_t f = 0; f < Files_.size(); ++f) {
    const size_t end = f + 1 < Files_.size() ? Files_[f + 1].FirstLine : Lines_.size();
    for (; next < end; ++next) out.push_back(Lines_[next]);
    out.insert(out.end(), Files_[f].Extra.begin(), Files_[f].Extra.end());
  }
  for (; next < Lines_.size(); ++next) out.push_back(Lines_[next]);
  out.insert(out.end(), Summary_.begin(), Summary_.end());
  return out;
}

std::string TForm2::Text(const char* lineBreak) const {
  std::string text;
  for (const std::string& line : DisplayLines()) {
    text += line;
    text += lineBreak;
  }
  return text;
}

std::optional<std::filesystem::path> TForm2::OutputAt(int displayLine) const {
  // The file whose block (its lines and its reason) holds the line.
  int first = 0;
  const TFileEntry* at = nullptr;
  for (size_t f = 0; f < Files_.size(); ++f) {
    const size_t end = f + 1 < Files_.size() ? Files_[f + 1].FirstLine : Lines_.size();
    const int lines = static_cast<int>(end - Files_[f].FirstLine + Files_[f].Extra.size());
    if (displayLine >= first && displayLine < first + lines) at = &Files_[f];
    first += lines;
  }
  if (at && !at->Output.empty()) return at->Output;
  for (const TFileEntry& f : Files_)
    if (!f.Output.empty()) return f.Output;
  return std::nullopt;
}

}  // namespace qm
