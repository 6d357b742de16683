// What the main window does when it is asked to close, or when the session
// ends, as rules that know no window: the window asks the user when told to
// and does what the rules answer. A close while the report is shown waits
// for it; during a batch the user is asked once whether to stop and close,
// and the batch's calls wait for the answer; yes ends the batch after the
// files in progress and the window closes when it is over; the end of the
// session during a batch keeps the settings and leaves the document to the
// batch's thread.
#pragma once

#include "Unit1.h"

namespace qm {

class TClosing {
 public:
  explicit TClosing(TForm1& form) : Form_(form) {}

  enum class TDo {
    Nothing,  // not now (the report is shown, the user is being asked, or was)
    Ask,      // ask the user whether to stop the batch and close; then Answered
    Close,    // close now
  };
  TDo CloseAsked(bool reportShown);
  // The user's answer to Ask. True when a call of the batch waited for it
  // and is to be made now.
  bool Answered(bool yes);
  bool Asking() const noexcept { return Asking_; }
  // A call of the batch has come: true when it may be made now; while the
  // user is being asked it waits (Answered tells when).
  bool MayDeliver();
  // After the batch: the close the user asked for during it.
  bool CloseAfterBatch() const noexcept { return Form_.CloseRequested(); }

  enum class TEnd {
    SaveSettings,  // a batch runs: stop it, keep the settings, leave the rest to the process's end
    Close,         // FormClose as at any close
  };
  // The session ends: what to do (the window keeps its view settings first).
  TEnd SessionEnds();

 private:
  TForm1& Form_;
  bool Asking_ = false;
  bool CallWaiting_ = false;
};

}  // namespace qm
