#include "Unit2.h"

#include "filerows.h"
#include "messages.h"

namespace qm {

void TForm2::ClearLines() {
  Lines_.clear();
  Files_.clear();
  Summary_.clear();
}

void TForm2::AppendFile(const TFileResult& result) {
  TFileEntry entry;
  entry.FirstLine = Lines_.size();
  entry.Outcome = result.Outcome;
  entry.VisibleUnchanged = result.VisibleUnchanged.value_or(false);
  if (result.Outcome == TOutcome::Converted || result.Outcome == TOutcome::WouldConvert) entry.Output = result.Output;
  if ((result.Outcome == TOutcome::Unreadable || result.Outcome == TOutcome::Failed) && !result.Detail.empty())
    entry.Reason = std::string(Msg::Reason) + ShownReason(result.Detail, result.Source, result.Output);
  for (const std::string& line : result.Lines) AppendLine(line);
  Files_.push_back(std::move(entry));
}

void TForm2::FinishBatch(int total, bool interrupted) {
  int converted = 0, proven = 0, nothingHidden = 0, unreadable = 0, failed = 0;
  for (const TFileEntry& f : Files_) {
    switch (f.Outcome) {
      case TOutcome::Converted:
      case TOutcome::WouldConvert:
        ++converted;
        proven += f.VisibleUnchanged;
        break;
      case TOutcome::NothingHidden: ++nothingHidden; break;
      case TOutcome::NotFound:
      case TOutcome::NotJww:
      case TOutcome::Unreadable: ++unreadable; break;
      case TOutcome::Failed: ++failed; break;
    }
  }
  Summary_ = {""};
  const std::string done = std::to_string(Files_.size()) + " / " + std::to_string(total);
  if (interrupted) Summary_.push_back(std::string(Msg::Stopped) + "（" + done + "）");
  Summary_.push_back(std::string(Msg::Totals) + "：" + std::string(Msg::TotalConverted) + " " +
                     std::to_string(converted) +
                     (converted ? "（" + std::string(Msg::TotalProven) + " " + std::to_string(proven) + "）" : "") +
                     "、" + std::string(Msg::TotalNothingHidden) + " " +
                     std::to_string(nothingHidden) + "、" + std::string(Msg::TotalUnreadable) + " " +
                     std::to_string(unreadable) + "、" + std::string(Msg::TotalFailed) + " " + std::to_string(failed));
}

std::vector<std::string> TForm2::DisplayLines() const {
  std::vector<std::string> out;
  out.reserve(Lines_.size() + Files_.size() + Summary_.size());
  size_t next = 0;  // the next line of Lines_ not shown yet
  for (size_t f = 0; f < Files_.size(); ++f) {
    const size_t end = f + 1 < Files_.size() ? Files_[f + 1].FirstLine : Lines_.size();
    for (; next < end; ++next) out.push_back(Lines_[next]);
    if (!Files_[f].Reason.empty()) out.push_back(Files_[f].Reason);
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
    const int lines = static_cast<int>(end - Files_[f].FirstLine) + (Files_[f].Reason.empty() ? 0 : 1);
    if (displayLine >= first && displayLine < first + lines) at = &Files_[f];
    first += lines;
  }
  if (at && !at->Output.empty()) return at->Output;
  for (const TFileEntry& f : Files_)
    if (!f.Output.empty()) return f.Output;
  return std::nullopt;
}

}  // namespace qm
