#include "batchfront.h"

#include "messages.h"
#include "textconv.h"

namespace qm {

TBatchFront::TBatchFront(TFileList& list, IStatusBar& status, TForm2& report, std::vector<std::filesystem::path> names,
                         TListener listener)
    : List_(list), Status_(status), Report_(report), Names_(std::move(names)), Listener_(std::move(listener)) {
  Progress_.Total = static_cast<int>(Names_.size());
}

void TBatchFront::Begin() {
  Progress_.Running = true;
  Tell(TBatchStep::Started, -1);
}

void TBatchFront::End(bool interrupted) {
  Progress_.Running = false;
  Progress_.Interrupted = interrupted;
  Progress_.StopRequested = false;
  Report_.FinishBatch(Progress_.Total, interrupted);
  // The batch's totals stay in view until the next step (the idle hint of
  // old said nothing of what was done).
  Status_.SetSimpleText(TotalsLine(Report_.Totals()));
  Tell(TBatchStep::Finished, -1);
}

bool TBatchFront::FileStarted(int index, const std::filesystem::path& source) {
  Select(index, true);
  Status_.SetSimpleText(std::string(Msg::Converting) + Printable(PathToUtf8(source)) + std::string(Msg::ConvertingEnd));
  Progress_.LastStarted = index;
  Progress_.LastStartedName = source;
  Tell(TBatchStep::FileStarted, index);
  if (!Progress_.StopRequested) return true;
  Select(index, false);
  return false;
}

bool TBatchFront::FileFinished(int index, const TFileResult& result) {
  Report_.AppendFile(result);
  Results_.push_back(result);
  if (TRow* row = List_.Find(result.Source)) {
    row->Result = result;
    List_.RowsChanged();
  }
  Select(index, false);
  Progress_.Finished = index + 1;
  Tell(TBatchStep::FileFinished, index, &Results_.back());
  return !Progress_.StopRequested;
}

void TBatchFront::Select(int index, bool on) {
  if (index < List_.Count() && List_.Item(index) == Names_[static_cast<size_t>(index)]) List_.SetSelected(index, on);
}

}  // namespace qm
