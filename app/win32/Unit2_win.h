// The result window: RE1 with the report, Panel1 with Button2 "閉じる(&C)"
// (Enter and Esc press it too) and the actions that open the output folder
// and copy the report, and an empty StatusBar1. Shown modally over the main
// window after each batch.
#pragma once

#include <filesystem>
#include <functional>

#include "Unit2.h"
#include "controls_win.h"

namespace qm::win {

enum : int { IdRE1 = 201, IdForm2Button2 = 202, IdForm2StatusBar1 = 203, IdOpenFolder = 204, IdCopy = 205 };

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
  // Opens the folder of the output at the caret's file (else the batch's
  // first output) with the output selected.
  void OpenFolderClick();
  // Copies the selected text of the report, or all of it, to the clipboard.
  void CopyClick();
  bool Modal() const noexcept { return Modal_; }
  // Whether the window is shown maximised (it was, when it was closed last).
  bool Maximized() const noexcept { return Maximized_; }
  void SetMaximized(bool maximized) noexcept { Maximized_ = maximized; }
  // Shows a file in its folder; Explorer unless replaced (tests).
  std::function<void(const std::filesystem::path& file)> OpenFolder;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Layout();
  void ApplyFont();

  TWindowBounds Bounds_;
  TControl RE1_;
  TButton Button2_, OpenFolder_, Copy_;
  TControl StatusBar1_;
  const TForm2* Form_ = nullptr;
  HWND Owner_ = nullptr;
  HFONT Font_ = nullptr;
  bool Modal_ = false;
  bool Maximized_ = false;
};

}  // namespace qm::win
