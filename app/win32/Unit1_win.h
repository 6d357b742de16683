// The main window Form1: Panel3 with Label1 along the top (and, at its right
// end, the buttons to add a folder and to show the usage notes), ListBox1 (a
// report list: each drawing's inspection and outcome) and Splitter1 on the
// left, the four buttons (Panel4) and the detail pane of the selected drawing
// on the right, StatusBar1 along the bottom. A larger window gives its extra
// width to the list. Its logic is TForm1; this class gives TForm1 its
// controls, runs the open dialogs, the shell drop and what a second start
// hands over, runs the batch on a thread of its own while the window answers
// (Stop and Esc end it after the file in progress), and brings the
// inspections of listed drawings in as they are done.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Unit1.h"
#include "Unit2_win.h"
#include "closing.h"
#include "batchthread.h"
#include "controls_win.h"
#include "notes_win.h"
#include "preview_win.h"

namespace qm::win {

enum : int {
  IdLabel1 = 101,
  IdListBox1,
  IdSplitter1,
  IdButton1,
  IdButton2,
  IdButton3,
  IdButton4,
  IdStatusBar1,
  IdProgressBar1,
  IdAddFolder,
  IdHelp,
  IdStop,
  IdProgressText,
  IdPaneTitle,
  IdPreview,
  IdPaneNotes,
  IdLayers,
  IdOutputLabel,
  IdOutput,
  IdAlsoRemove,
  IdRemoveMemo,
  IdRemoveOffSheet,
  IdRemoveTemporaryPoints,
  IdRemoveAuxiliary,
};

// Posted to the main window: inspections are done; the batch waits for a call.
enum : UINT { WmInspected = WM_APP + 1, WmBatchCall };

class TMainWindow : public TWindow, public IMessageLoop {
 public:
  static constexpr int MinWidth = 300, MinHeight = 250;  // pixels at 96 DPI
  static constexpr int Panel4Width = 88;                 // the buttons' strip, pixels at 96 DPI
  static constexpr int SplitterWidth = 6;                // pixels at 96 DPI
  static constexpr int MinListWidth = 160;               // the least a laid-out list keeps, pixels at 96 DPI

  TMainWindow(TForm2& form2, TResultWindow& resultWindow);
  ~TMainWindow() override;

  // Creates the window (hidden) at the designed place and size.
  bool Create();
  // FormShow with the executable's path, the view settings, the drop
  // registration; then the window is shown (maximised when it was) and the
  // paths named on the command line are listed.
  void Show(const std::filesystem::path& executable, int showCommand, const std::vector<std::filesystem::path>& paths);

  TForm1& Form1() noexcept { return Form1_; }
  TNotesWindow& Notes() noexcept { return Notes_; }
  TPreviewWindow& Preview() noexcept { return Preview_; }
  // Where the settings go when the program folder cannot be written; the
  // user's application data folder unless set before Show (tests).
  std::filesystem::path AppDataFolder;
  // Runs from the folder the installer put it in (see TForm1::InstalledCopy).
  bool InstalledCopy = false;

  // The commands, as the buttons and the shell call them.
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void AddFolderClick();
  void WMDropFiles(HDROP drop);

  // IMessageLoop: the batch's thread posts its calls here.
  void Wake() override;
  void RunUntil(const std::function<bool()>& done) override;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Layout();
  void LayoutPane(int x, int top, int width, int height);
  void ApplyFont();
  void SetBusy(bool busy);
  void Close();
  void ApplyView();
  void KeepView();
  void UpdatePane(bool force);
  void RowsChanged();
  void ListChanged(TFileList::TChange change);
  void BatchStep(TBatchStep step, int index);
  void ShowPreview();
  void ShowSortArrow();
  void OnListKey(UINT key);
  bool TakeHandedOver(const COPYDATASTRUCT* data);
  void CloseAsked();
  void SessionEnds();
  void PaintPanel3();
  // The list's width in the window's normal (not maximised) size, pixels at
  // 96 DPI, as the settings file keeps it; and setting it.
  int ListWidth96() const;
  void SetListWidth96(int width);
  int NormalClientWidth() const;
  int ListWidthAt(int clientWidth) const;  // pixels
  void ShareColumns(int listWidth);        // pixels
  std::filesystem::path PaneItem() const;  // the drawing the pane shows
  int ColumnsGrown_ = 0;  // pixels the name and folder columns were given to fill the list
  bool Asking_ = false, CloseWhileAsking_ = false;  // Convert's question is up; a close came meanwhile
  void OutputClick();
  void ShowOutputFolder();
  void RemoveClick();
  int LayoutOptions(int x, int y, int width);  // the pane's top; returns the height taken

  TResultWindow& ResultWindow_;
  TWindowBounds Bounds_;
  TLabel Label1_;
  TButton AddFolder_, Help_;
  TListView ListBox1_;
  TSplitter Splitter1_;
  TButton Button1_, Button2_, Button3_, Button4_;
  // The pane's top: where the outputs go, and what else Convert removes.
  TLabel OutputLabel_;
  TButton Output_;
  TLabel AlsoRemove_;
  std::array<TCheckBox, 4> Remove_;
  TLabel ProgressText_;
  TButton Stop_;
  TProgressBar ProgressBar1_;
  TLabel PaneTitle_;
  TPreviewWindow Preview_;
  TLabel PaneNotes_;
  TControl Layers_;
  TStatusBar StatusBar1_;
  TNotesWindow Notes_;
  TForm1 Form1_;
  TClosing Closing_{Form1_};
  TThreadedBatchRunner Runner_;
  HFONT Font_ = nullptr;
  UINT Dpi_ = 96;
  HWND FocusBeforeBatch_ = nullptr;
  RECT Panel3_{};
  int Sidebar_ = 0;  // pixels right of the splitter: Panel4 and the pane
  int ListPixels_ = 0;  // the list's width when the columns last shared it
  int Total_ = 0;    // files of the running batch
  std::tuple<std::filesystem::path, bool, bool> PaneKey_;
  bool Shown_ = false;
  bool Closed_ = false;
  UINT_PTR RepaintTimer_ = 0;  // the rows are painted again when it fires
  ULONGLONG LastRepaint_ = 0;
};

// Hands paths named on a command line to a Quillmark window that runs
// already (a second start, "Send to", Explorer's verb, a drop on the
// program's icon), which lists them; with no paths, brings that window
// forward. False when none runs or it does not take them.
bool HandToRunningWindow(const std::vector<std::filesystem::path>& paths);

}  // namespace qm::win
