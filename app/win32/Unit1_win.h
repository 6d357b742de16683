// The main window Form1: Panel3 with Label1 along the top, ListBox1 and
// Splitter1 on the left, the four buttons (Panel4) and Memo1 on the right,
// StatusBar1 along the bottom. Its logic is TForm1; this class gives TForm1
// its controls, runs the open dialog and the shell drop, keeps the window
// painted during a batch and refuses what a running batch cannot take.
#pragma once

#include <filesystem>
#include <memory>

#include "Unit1.h"
#include "Unit2_win.h"
#include "controls_win.h"

namespace qm::win {

enum : int {
  IdLabel1 = 101,
  IdListBox1,
  IdSplitter1,
  IdButton1,
  IdButton2,
  IdButton3,
  IdButton4,
  IdMemo1,
  IdStatusBar1,
  IdProgressBar1,
};

class TMainWindow : public TWindow, public IApplication, public IBatchObserver {
 public:
  static constexpr int MinWidth = 300, MinHeight = 250;  // pixels at 96 DPI

  TMainWindow(TForm2& form2, TResultWindow& resultWindow);
  ~TMainWindow() override;

  // Creates the window (hidden) at the designed place and size.
  bool Create();
  // FormShow with the executable's path, the drop registration, then the
  // window is shown.
  void Show(const std::filesystem::path& executable, int showCommand);

  TForm1& Form1() noexcept { return Form1_; }

  // The commands, as the buttons and the shell call them.
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void WMDropFiles(HDROP drop);

  // IApplication: handles the messages pending now. While a batch runs, a
  // close request lets the file in progress finish and then stops the batch.
  bool ProcessMessages() override;

  // IBatchObserver: the busy state and the progress bar.
  void BatchStarted(int count) override;
  void FileStarted(int index, const std::filesystem::path& name) override;
  void FileFinished(int index, const TFileResult& result) override;
  void BatchFinished(bool interrupted) override;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Layout();
  void ApplyFont();
  void SetBusy(bool busy);
  void Close();

  TResultWindow& ResultWindow_;
  TWindowBounds Bounds_;
  TLabel Label1_;
  TListBox ListBox1_;
  TSplitter Splitter1_;
  TButton Button1_, Button2_, Button3_, Button4_;
  TProgressBar ProgressBar1_;
  TMemo Memo1_;
  TStatusBar StatusBar1_;
  TForm1 Form1_;
  HFONT Font_ = nullptr;
  HWND FocusBeforeBatch_ = nullptr;
  RECT Panel3_{};
  bool InFile_ = false;
  bool Shown_ = false;
  bool Closed_ = false;
};

}  // namespace qm::win
