// Convert's batch as the window follows it: the front end implements the
// batch's callback itself (after 7-Zip's update callbacks), so that each
// file is selected in the list and named in the status bar while it is
// converted, its report lines go to the result window and its row shows its
// outcome, and the status bar shows the totals at the end; what a view shows
// of the batch is kept in its progress, and the view is told each step on
// the thread that runs the callback.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Unit2.h"
#include "controls.h"
#include "convert.h"
#include "filelist.h"

namespace qm {

// What a view shows of the batch.
struct TBatchProgress {
  bool Running = false;
  int Total = 0;            // files of the batch
  int Finished = 0;         // files reported
  int LastStarted = -1;     // the file started last (several may be in flight)
  std::filesystem::path LastStartedName;
  bool StopRequested = false;
  bool Interrupted = false;  // stopped before its last file (known at its end)
};

// A step of the batch, as a view is told it.
enum class TBatchStep { Started, FileStarted, FileFinished, Finished };

class TBatchFront : public IBatchCallback {
 public:
  // Told each step (index: the file's, -1 for the batch's start and end;
  // result: the file's, where it finished).
  using TListener = std::function<void(TBatchStep step, int index, const TFileResult* result)>;
  // The batch over names (the list's items when Convert was pressed).
  TBatchFront(TFileList& list, IStatusBar& status, TForm2& report, std::vector<std::filesystem::path> names,
              TListener listener);

  const std::vector<std::filesystem::path>& Names() const noexcept { return Names_; }
  const TBatchProgress& Progress() const noexcept { return Progress_; }
  // How each file ended, in list order.
  const std::vector<TFileResult>& Results() const noexcept { return Results_; }
  std::vector<TFileResult> TakeResults() { return std::move(Results_); }

  // Asks the batch to end after the files in progress.
  void Stop() noexcept { Progress_.StopRequested = true; }
  void Begin();
  void End(bool interrupted);

  bool FileStarted(int index, const std::filesystem::path& source) override;
  bool FileFinished(int index, const TFileResult& result) override;

 private:
  // The batch works on the list as it was when Convert was pressed; should
  // the list change meanwhile, the selection follows only the same items.
  void Select(int index, bool on);
  void Tell(TBatchStep step, int index, const TFileResult* result = nullptr) {
    if (Listener_) Listener_(step, index, result);
  }

  TFileList& List_;
  IStatusBar& Status_;
  TForm2& Report_;
  std::vector<std::filesystem::path> Names_;
  TListener Listener_;
  TBatchProgress Progress_;
  std::vector<TFileResult> Results_;
};

}  // namespace qm
