#include "closing.h"

#include <utility>

namespace qm {

TClosing::TDo TClosing::CloseAsked(bool reportShown) {
  if (reportShown) return TDo::Nothing;
  if (!Form_.Busy()) return Form_.Button4Click() ? TDo::Close : TDo::Nothing;
  if (Form_.CloseRequested() || Asking_) return TDo::Nothing;  // asked already
  Asking_ = true;
  return TDo::Ask;
}

bool TClosing::Answered(bool yes) {
  Asking_ = false;
  if (yes) {
    Form_.Button4Click();  // remembered: the window closes when the batch is over
    Form_.StopBatch();
  }
  return std::exchange(CallWaiting_, false);
}

bool TClosing::MayDeliver() {
  if (!Asking_) return true;
  CallWaiting_ = true;
  return false;
}

TClosing::TEnd TClosing::SessionEnds() {
  if (!Form_.Busy()) return TEnd::Close;
  Form_.StopBatch();
  return TEnd::SaveSettings;
}

}  // namespace qm
