// The usage notes (Memo1) in a window of their own, with the program's
// version and licence after them.
#pragma once

#include "controls_win.h"

namespace qm::win {

// The controls of the notes' window.
enum : int { IdMemo1 = 201, IdHelpClose };

// The usage notes (Memo1) in a window of their own, owned by the main
// window, wide enough for every line: opened with 使い方(&H) or F1, closed
// with its button, Enter or Esc.
class TNotesWindow : public TWindow {
 public:
  bool Create(HWND owner);
  // Shows the window beside its owner, sized to the notes, with the focus in them.
  void Show();
  HWND Memo() const noexcept { return Memo1_.Hwnd(); }

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ApplyFont();
  void Layout();
  SIZE NotesSize() const;  // the client size that shows every line whole
  HWND Owner_ = nullptr;
  TMemo Memo1_;
  TButton Close_;
  HFONT Font_ = nullptr;
};

}  // namespace qm::win
