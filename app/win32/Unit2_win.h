// The result window: RE1 with the report, Panel1 with Button2 "閉じる(&C)"
// (Enter and Esc press it too), and an empty StatusBar1. Shown modally over
// the main window after each batch.
#pragma once

#include <functional>

#include "Unit2.h"
#include "controls_win.h"

namespace qm::win {

enum : int { IdRE1 = 201, IdForm2Button2 = 202, IdForm2StatusBar1 = 203 };

class TResultWindow : public TWindow, public IResultView {
 public:
  static constexpr int MinWidth = 200, MinHeight = 120;

  TResultWindow() : Bounds_(*this) {}
  // Creates the window hidden, owned by the main window, at the designed place.
  bool Create(HWND owner);
  IWindowBounds& Bounds() noexcept { return Bounds_; }
  // Asked before each display; false leaves the window hidden (the program
  // is closing).
  std::function<bool()> MayShow;

  // Fills RE1 with the report and shows the window modally over its owner.
  void ShowModal(const TForm2& form) override;
  void Button2Click();
  bool Modal() const noexcept { return Modal_; }

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Layout();
  void ApplyFont();

  TWindowBounds Bounds_;
  TControl RE1_;
  TButton Button2_;
  TControl StatusBar1_;
  HWND Owner_ = nullptr;
  HFONT Font_ = nullptr;
  bool Modal_ = false;
};

}  // namespace qm::win
