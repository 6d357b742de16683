#include "Unit1_win.h"

#include "version.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "messages.h"
#include "pane.h"
#include "texts_win.h"
#include "textconv.h"
#include "wintext_win.h"

namespace qm::win {

namespace {

// Panel4's buttons: top edge (pixels at 96 DPI, in the middle panel).
constexpr int ButtonTops[] = {8, 40, 96, 144};
// The top strip's buttons: widths (pixels at 96 DPI).
constexpr int AddFolderWidth = 124, HelpWidth = 76;
// What a second start hands over in WM_COPYDATA: paths, each ended by a zero.
constexpr ULONG_PTR PathsTag = 0x514D4B31;  // "QMK1"
constexpr wchar_t MainClass[] = L"QuillmarkForm1";
constexpr UINT_PTR RepaintTimerId = 1;
constexpr ULONGLONG RepaintEvery = 250;  // milliseconds

// The names the open dialog returns: one full path, or a folder followed by
// the chosen names, each ended by a zero and the list by a second one.
std::vector<std::filesystem::path> ChosenFiles(const wchar_t* buffer) {
  std::vector<std::wstring> parts;
  for (const wchar_t* p = buffer; *p; p += parts.back().size() + 1) parts.emplace_back(p);
  std::vector<std::filesystem::path> files;
  if (parts.size() == 1) {
    files.emplace_back(parts[0]);
  } else {
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(std::filesystem::path(parts[0]) / parts[i]);
  }
  return files;
}

std::filesystem::path UserAppData() {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
    return std::filesystem::path(path);
  return {};
}

void SetCell(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The folder picker of Windows (the dialog that opens files, made to choose
// a folder, with a path box), starting at a folder; empty when cancelled.
std::filesystem::path PickFolder(HWND owner, const wchar_t* title, const std::filesystem::path& start) {
  IFileOpenDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return {};
  std::filesystem::path chosen;
  DWORD options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(title);
  IShellItem* folder = nullptr;
  if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
    dialog->SetFolder(folder);
    folder->Release();
  }
  IShellItem* result = nullptr;
  if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&result))) {
    PWSTR path = nullptr;
    if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      chosen = path;
      CoTaskMemFree(path);
    }
    result->Release();
  }
  dialog->Release();
  return chosen;
}

}  // namespace

// ---------------------------------------------------------------------------
// The main window.

TMainWindow::TMainWindow(TForm2& form2, TResultWindow& resultWindow)
    : ResultWindow_(resultWindow), Bounds_(*this), Form1_(StatusBar1_, Bounds_, form2), Runner_(*this) {}

TMainWindow::~TMainWindow() {
  if (Font_) DeleteObject(Font_);
}

bool TMainWindow::Create() {
  if (!CreateWindowOfClass(MainClass, 0, GetSysColorBrush(COLOR_BTNFACE), nullptr, 0,
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, Widen(Msg::AppTitle), TForm1::DesignLeft,
                           TForm1::DesignTop, TForm1::DesignWidth, TForm1::DesignHeight, nullptr, 0))
    return false;
  // Created on the monitor it will show on: its scale gives the real size.
  Dpi_ = DpiOf(Hwnd_);
  if (Dpi_ != 96)
    SetWindowPos(Hwnd_, nullptr, 0, 0, Scale(TForm1::DesignWidth, Dpi_), Scale(TForm1::DesignHeight, Dpi_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  // Created in Tab order, which follows the layout: the top strip, the list,
  // the buttons, the pane.
  Label1_.Create(Hwnd_, IdLabel1, Text::Label1);
  AddFolder_.Create(Hwnd_, IdAddFolder, Text::AddFolderButton);
  Help_.Create(Hwnd_, IdHelp, Text::HelpButton);
  ListBox1_.Create(Hwnd_, IdListBox1, Form1_.ListBox1());
  for (int c = 0; c < ColumnCount; ++c) ListBox1_.AddColumn(Widen(ColumnTitle(c)), Scale(DesignColumnWidth(c), Dpi_));
  ListBox1_.TextOf = [](const TRow& row, int column) { return CellText(row, column); };
  ListBox1_.TipOf = [](const TRow& row) {
    std::string tip = PathToUtf8(row.Path);
    if (const std::string outcome = CellText(row, ColOutcome); !outcome.empty()) tip += "\r\n" + outcome;
    if (const std::string detail = ShownDetail(row); !detail.empty()) tip += "\r\n" + detail;
    return tip;
  };
  ListBox1_.OnKeyDown = [this](UINT key) { OnListKey(key); };
  ListBox1_.OnColumnClick = [this](int column) {
    if (Form1_.SortBy(column)) ShowSortArrow();
  };
  ListBox1_.OnSelectionChanged = [this] { UpdatePane(false); };
  Form1_.ListBox1().Changed = [this](TFileList::TChange change) { ListChanged(change); };
  Form1_.OnBatch = [this](TBatchStep step, int index, const TFileResult*) { BatchStep(step, index); };
  Splitter1_.Create(Hwnd_, IdSplitter1);
  Splitter1_.OnDrag = [this](int x) {
    RECT rc{};
    GetClientRect(Hwnd_, &rc);
    const int least = Scale(MinListWidth, Dpi_);
    const int room = std::max(least, static_cast<int>(rc.right) - Scale(SplitterWidth + Panel4Width, Dpi_));
    Sidebar_ = static_cast<int>(rc.right) - Scale(SplitterWidth, Dpi_) - std::clamp(x, least, room);
    Layout();
  };
  Button1_.Create(Hwnd_, IdButton1, Text::Button1);
  Button2_.Create(Hwnd_, IdButton2, Text::Button2);
  Button3_.Create(Hwnd_, IdButton3, Text::Button3);
  Button4_.Create(Hwnd_, IdButton4, Text::Button4);
  OutputLabel_.Create(Hwnd_, IdOutputLabel, Text::OutputBeside);
  Output_.Create(Hwnd_, IdOutput, Text::OutputButton);
  AlsoRemove_.Create(Hwnd_, IdAlsoRemove, Text::AlsoRemove);
  for (size_t k = 0; k < Remove_.size(); ++k) {
    Remove_[k].Create(Hwnd_, IdRemoveMemo + static_cast<int>(k), Text::RemoveKinds[k]);
    Remove_[k].OnClick = [this] { RemoveClick(); };
  }
  Output_.OnClick = [this] { OutputClick(); };
  ProgressText_.Create(Hwnd_, IdProgressText, L"");
  ProgressText_.Show(false);
  Stop_.Create(Hwnd_, IdStop, Text::StopButton);
  Stop_.Show(false);
  ProgressBar1_.Create(Hwnd_, IdProgressBar1);
  PaneTitle_.Create(Hwnd_, IdPaneTitle, L"");
  SetWindowLongW(PaneTitle_.Hwnd(), GWL_STYLE, GetWindowLongW(PaneTitle_.Hwnd(), GWL_STYLE) | SS_ENDELLIPSIS);
  Preview_.Create(Hwnd_, IdPreview);
  PaneNotes_.Create(Hwnd_, IdPaneNotes, Widen(Msg::PaneHint));
  Layers_.Create(Hwnd_, IdLayers, WC_LISTVIEWW, L"",
                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | LVS_SHOWSELALWAYS,
                 WS_EX_CLIENTEDGE);
  SendMessageW(Layers_.Hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER,
               LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER);
  for (size_t c = 0; c < std::size(Text::LayerColumns); ++c) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = c == 2 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(Text::LayerColumns[c]);
    column.cx = Scale(Text::LayerColumnWidths[c], Dpi_);
    SendMessageW(Layers_.Hwnd(), LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
  Button1_.OnClick = [this] { Button1Click(); };
  Button2_.OnClick = [this] { Button2Click(); };
  Button3_.OnClick = [this] { Button3Click(); };
  Button4_.OnClick = [this] { Button4Click(); };
  AddFolder_.OnClick = [this] { AddFolderClick(); };
  Help_.OnClick = [this] { Notes_.Show(); };
  Stop_.OnClick = [this] { Form1_.StopBatch(); };
  StatusBar1_.Create(Hwnd_, IdStatusBar1);
  StatusBar1_.SetSimpleText(std::string(Msg::IdleHint));
  Notes_.Create(Hwnd_);
  ApplyFont();
  RECT rc{};
  GetClientRect(Hwnd_, &rc);
  Sidebar_ = static_cast<int>(rc.right) - Scale(SplitterWidth + TForm1::DesignListWidth, Dpi_);
  Layout();
  UpdatePane(true);
  return true;
}

void TMainWindow::Show(const std::filesystem::path& executable, int showCommand,
                       const std::vector<std::filesystem::path>& paths) {
  TFormSetup& setup = Form1_.Setup;
  setup.UserFolder = AppDataFolder.empty() ? UserAppData() : AppDataFolder;
  setup.InstalledCopy = InstalledCopy;
  setup.InspectionsReady = [hwnd = Hwnd_] { PostMessageW(hwnd, WmInspected, 0, 0); };
  setup.BatchRunner = &Runner_;
  setup.BatchWorkers = 0;
  setup.AskAgain = [this](int drawings) {
    const std::wstring text =
        std::to_wstring(drawings) + Widen(Msg::AskAgainFirst) + L"\r\n\r\n" + Widen(Msg::AskAgainChoices);
    // Enter skips them (no second set of outputs by mistake); Esc cancels.
    Asking_ = true;
    const int answer =
        MessageBoxW(Hwnd_, text.c_str(), Widen(Msg::AppTitle).c_str(), MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    Asking_ = false;
    if (std::exchange(CloseWhileAsking_, false)) {
      PostMessageW(Hwnd_, WM_CLOSE, 0, 0);
      return TAgain::Cancel;
    }
    switch (answer) {
      case IDYES: return TAgain::Again;
      case IDNO: return TAgain::Skip;
      default: return TAgain::Cancel;
    }
  };
  Form1_.FormShow(executable);
  SetListWidth96(Form1_.ListBox1().Width());
  ApplyView();
  ShowOutputFolder();
  if (!Form1_.SettingsRead()) {
    // A first start: about two thirds of the screen (the designed size is
    // for the screens of long ago), the pane a third of the width.
    PlaceOnWorkArea(Hwnd_, 2.0 / 3, TForm1::DesignWidth, TForm1::DesignHeight);
    RECT rc{};
    GetClientRect(Hwnd_, &rc);
    Sidebar_ = std::max(Sidebar_, static_cast<int>(rc.right) / 3);
    Layout();
    PlaceOnWorkArea(ResultWindow_.Hwnd(), 0.6, TForm2::DesignWidth, TForm2::DesignHeight);
  }
  BringIntoView(Hwnd_);
  BringIntoView(ResultWindow_.Hwnd());
  DragAcceptFiles(Hwnd_, TRUE);
  Shown_ = true;
  const bool plain = showCommand == SW_SHOWNORMAL || showCommand == SW_SHOWDEFAULT || showCommand == SW_SHOW;
  ShowWindow(Hwnd_, Form1_.View.Maximized && plain ? SW_SHOWMAXIMIZED : showCommand);
  UpdateWindow(Hwnd_);
  SetFocus(ListBox1_.Hwnd());
  if (!paths.empty()) Form1_.AddPaths(paths);
  ShowSortArrow();
}

// The view settings: the columns' widths and the part right of the splitter.
void TMainWindow::ApplyView() {
  const TViewSettings& view = Form1_.View;
  ResultWindow_.SetMaximized(view.ResultMaximized);
  if (view.ColumnWidths.size() == static_cast<size_t>(ColumnCount))
    for (int c = 0; c < ColumnCount; ++c)
      SendMessageW(ListBox1_.Hwnd(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c),
                   Scale(view.ColumnWidths[static_cast<size_t>(c)], Dpi_));
  if (view.PaneWidth > 0) {
    Sidebar_ = Scale(view.PaneWidth, Dpi_);
    Layout();
  }
}

void TMainWindow::KeepView() {
  Form1_.ListBox1().SetWidth(ListWidth96());
  TViewSettings& view = Form1_.View;
  view.ResultMaximized = ResultWindow_.Maximized();
  view.Maximized = IsZoomed(Hwnd_) != 0;
  view.ColumnWidths.clear();
  for (int c = 0; c < ColumnCount; ++c)
    view.ColumnWidths.push_back(
        Unscale(static_cast<int>(SendMessageW(ListBox1_.Hwnd(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0)), Dpi_));
  view.PaneWidth = Unscale(std::max(Sidebar_, Scale(Panel4Width, Dpi_)), Dpi_);
}

void TMainWindow::ApplyFont() {
  const UINT dpi = DpiOf(Hwnd_);
  if (dpi != Dpi_) {
    // The part right of the splitter and the columns keep their apparent size.
    Sidebar_ = MulDiv(Sidebar_, static_cast<int>(dpi), static_cast<int>(Dpi_));
    for (HWND list : {ListBox1_.Hwnd(), Layers_.Hwnd()}) {
      HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
      const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
      for (int c = 0; c < columns; ++c) {
        const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), MulDiv(width, static_cast<int>(dpi), static_cast<int>(Dpi_)));
      }
    }
    Dpi_ = dpi;
  }
  HFONT font = CreateUiFont(dpi);
  for (TControl* c : std::initializer_list<TControl*>{&Label1_, &AddFolder_, &Help_, &ListBox1_, &Button1_, &Button2_,
                                                      &Button3_, &Button4_, &ProgressText_, &Stop_, &PaneTitle_,
                                                      &PaneNotes_, &Layers_, &StatusBar1_, &OutputLabel_, &Output_,
                                                      &AlsoRemove_})
    c->SetFont(font);
  for (TCheckBox& box : Remove_) box.SetFont(font);
  if (Font_) DeleteObject(Font_);
  Font_ = font;
  // Rows as high as the font with its descenders and a little room.
  HDC dc = GetDC(ListBox1_.Hwnd());
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(ListBox1_.Hwnd(), dc);
  ListBox1_.SetRowHeight(metrics.tmHeight + metrics.tmExternalLeading + Scale(4, dpi));
}

int TMainWindow::NormalClientWidth() const {
  if (!IsZoomed(Hwnd_) && !IsIconic(Hwnd_)) {
    RECT rc{};
    GetClientRect(Hwnd_, &rc);
    return rc.right;
  }
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(Hwnd_, &wp);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongW(Hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(Hwnd_, GWL_EXSTYLE)), Dpi_);
  return (wp.rcNormalPosition.right - wp.rcNormalPosition.left) - (frame.right - frame.left);
}

// The list takes what the part right of the splitter leaves, never less
// than its columns need to be told apart (a window restored from a wide one
// keeps a usable list) as long as Panel4's buttons stay whole.
int TMainWindow::ListWidthAt(int clientWidth) const {
  const int splitter = Scale(SplitterWidth, Dpi_), panel4 = Scale(Panel4Width, Dpi_);
  const int room = std::max(0, clientWidth - splitter - panel4);  // the widest list that leaves the buttons whole
  const int list = clientWidth - splitter - std::max(Sidebar_, panel4);
  return std::clamp(list, std::min(Scale(MinListWidth, Dpi_), room), room);
}

int TMainWindow::ListWidth96() const { return Unscale(ListWidthAt(NormalClientWidth()), Dpi_); }

void TMainWindow::SetListWidth96(int width) {
  // The part right of the splitter keeps its width when the window grows:
  // what it is now follows from the normal window's width.
  Sidebar_ = NormalClientWidth() - Scale(SplitterWidth, Dpi_) - Scale(width, Dpi_);
  Layout();
}

void TMainWindow::Layout() {
  if (!Hwnd_) return;
  RECT rc{};
  GetClientRect(Hwnd_, &rc);
  auto s = [this](int v) { return Scale(v, Dpi_); };
  const int width = rc.right, height = rc.bottom;

  const int statusHeight = s(19);
  StatusBar1_.SetBounds(0, std::max(0, height - statusHeight), width, statusHeight);
  Panel3_ = {0, 0, width, s(20)};
  const int helpLeft = width - s(4) - s(HelpWidth), folderLeft = helpLeft - s(4) - s(AddFolderWidth);
  Help_.SetBounds(helpLeft, s(1), s(HelpWidth), s(18));
  AddFolder_.SetBounds(folderLeft, s(1), s(AddFolderWidth), s(18));
  Label1_.SetBounds(s(8), s(4), std::max(0, std::min(width - s(16), folderLeft - s(12))), s(14));
  InvalidateRect(Hwnd_, &Panel3_, TRUE);

  // Panel2: the list, the splitter and Panel1 (Panel4 and the pane) side by side.
  const int top = Panel3_.bottom, middle = std::max(0, height - statusHeight - top);
  const int listWidth = ListWidthAt(width);
  ListBox1_.SetBounds(0, top, listWidth, middle);
  ShareColumns(listWidth);
  MoveWindow(Splitter1_.Hwnd(), listWidth, top, s(SplitterWidth), middle, TRUE);
  const int panel1 = listWidth + s(SplitterWidth);
  HWND buttons[] = {Button1_.Hwnd(), Button2_.Hwnd(), Button3_.Hwnd(), Button4_.Hwnd()};
  for (size_t i = 0; i < 4; ++i) MoveWindow(buttons[i], panel1 + s(8), top + s(ButtonTops[i]), s(75), s(25), TRUE);
  const int pane = panel1 + s(Panel4Width);
  LayoutPane(pane, top, std::max(0, width - pane), middle);
  // Every control painted again at its new place (some do not repaint
  // themselves when moved over what was another's).
  RedrawWindow(Hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The file name and folder columns share what the list gains or loses in
// width, in proportion to their widths, as far as the columns then fill the
// list (a list narrower than its columns scrolls, and they keep their
// widths); the others keep theirs.
void TMainWindow::ShareColumns(int listWidth) {
  const int before = std::exchange(ListPixels_, listWidth);
  if (before <= 0 || before == listWidth) return;
  HWND list = ListBox1_.Hwnd();
  const int name = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, ColName, 0));
  const int folder = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, ColFolder, 0));
  if (name + folder <= 0) return;
  int columns = 0;
  for (int c = 0; c < ColumnCount; ++c) columns += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
  const int room = listWidth - GetSystemMetricsForDpi(SM_CXVSCROLL, Dpi_) - Scale(4, Dpi_);  // what the columns may fill
  // Growing: up to filling the list. Shrinking: what the columns stick out
  // beyond the list now, never more than growing gave them.
  const int delta = listWidth > before ? std::max(0, room - columns) : -std::clamp(columns - room, 0, ColumnsGrown_);
  if (delta == 0) return;
  ColumnsGrown_ += delta;
  const int least = Scale(40, Dpi_);
  const int nameDelta = static_cast<int>(std::lround(static_cast<double>(delta) * name / (name + folder)));
  SendMessageW(list, LVM_SETCOLUMNWIDTH, ColName, std::max(least, name + nameDelta));
  SendMessageW(list, LVM_SETCOLUMNWIDTH, ColFolder, std::max(least, folder + delta - nameDelta));
}

void TMainWindow::LayoutPane(int x, int top, int width, int height) {
  auto s = [this](int v) { return Scale(v, Dpi_); };
  const int pad = s(4), inner = std::max(0, width - 2 * pad), bottom = top + height - pad;
  int y = top + pad;
  if (Form1_.Busy()) {
    Stop_.SetBounds(x + width - pad - s(75), y, s(75), s(25));
    ProgressText_.SetBounds(x + pad, y, std::max(0, inner - s(79)), s(28));
    y += s(30);
    ProgressBar1_.SetBounds(x + pad, y, inner, s(12));
    y += s(12) + pad;
  }
  y += LayoutOptions(x + pad, y, inner);
  PaneTitle_.SetBounds(x + pad, y, inner, s(15));
  y += s(17);
  const int notes = s(42), room = std::max(0, bottom - y - notes - 2 * s(2));
  const int preview = std::max(0, std::min(room * 2 / 3, room - s(60)));  // the layers keep a few rows
  MoveWindow(Preview_.Hwnd(), x + pad, y, inner, preview, TRUE);
  y += preview + s(2);
  PaneNotes_.SetBounds(x + pad, y, inner, notes);
  y += notes + s(2);
  Layers_.SetBounds(x + pad, y, inner, std::max(0, bottom - y));
  // The name column takes what the other two leave.
  HWND layers = Layers_.Hwnd();
  const int others = static_cast<int>(SendMessageW(layers, LVM_GETCOLUMNWIDTH, 0, 0) +
                                      SendMessageW(layers, LVM_GETCOLUMNWIDTH, 2, 0));
  const int name = inner - others - GetSystemMetricsForDpi(SM_CXVSCROLL, Dpi_) - s(4);
  SendMessageW(layers, LVM_SETCOLUMNWIDTH, 1, std::max(s(60), name));
}

// The width a control's caption needs in the window's font, pixels.
int CaptionWidth(HWND control) {
  const std::wstring text = [&] {
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(control, t.data(), static_cast<int>(t.size()))));
    return t;
  }();
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT rc{};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return rc.right - rc.left;
}

// The output folder with its button on one line; "ほかに削除：" and the four
// check boxes after it, on as many lines as the width needs.
int TMainWindow::LayoutOptions(int x, int y, int width) {
  auto s = [this](int v) { return Scale(v, Dpi_); };
  const int line = s(20), button = std::max(s(80), CaptionWidth(Output_.Hwnd()) + s(16));
  Output_.SetBounds(x + std::max(0, width - button), y, std::min(width, button), line);
  OutputLabel_.SetBounds(x, y + s(3), std::max(0, width - button - s(4)), s(15));
  int top = y + line + s(3), left = x;
  const auto place = [&](TControl& c, int w, int dy) {
    if (left > x && left + w > x + width) {
      left = x + s(8);
      top += line;
    }
    c.SetBounds(left, top + dy, w, line - dy);
    left += w + s(6);
  };
  place(AlsoRemove_, CaptionWidth(AlsoRemove_.Hwnd()), s(3));
  for (TCheckBox& box : Remove_) place(box, CaptionWidth(box.Hwnd()) + GetSystemMetricsForDpi(SM_CXMENUCHECK, Dpi_) + s(6), 0);
  return top + line + s(4) - y;
}

void TMainWindow::ShowOutputFolder() {
  const std::filesystem::path& folder = Form1_.OutputFolder();
  // A folder loses the middle of its path when cut, the words their end.
  const LONG style = GetWindowLongW(OutputLabel_.Hwnd(), GWL_STYLE) & ~(SS_PATHELLIPSIS | SS_ENDELLIPSIS);
  SetWindowLongW(OutputLabel_.Hwnd(), GWL_STYLE, style | (folder.empty() ? SS_ENDELLIPSIS : SS_PATHELLIPSIS));
  OutputLabel_.SetText(folder.empty() ? std::wstring(Text::OutputBeside) : Text::OutputIn + folder.wstring());
  const TAlsoRemove& r = Form1_.Remove();
  const bool on[] = {r.Memo, r.OffSheet, r.TemporaryPoints, r.Auxiliary};
  for (size_t k = 0; k < Remove_.size(); ++k) Remove_[k].SetChecked(on[k]);
}

// Beside each drawing, or one folder chosen with the folder picker.
void TMainWindow::OutputClick() {
  if (Form1_.Busy()) return;
  HMENU menu = CreatePopupMenu();
  const bool beside = Form1_.OutputFolder().empty();
  AppendMenuW(menu, beside ? UINT{MF_STRING | MF_CHECKED} : UINT{MF_STRING}, 1, Text::OutputMenuBeside);
  AppendMenuW(menu, beside ? UINT{MF_STRING} : UINT{MF_STRING | MF_CHECKED}, 2, Text::OutputMenuChoose);
  RECT rc{};
  GetWindowRect(Output_.Hwnd(), &rc);
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTALIGN | TPM_TOPALIGN, rc.right, rc.bottom, 0, Hwnd_, nullptr);
  DestroyMenu(menu);
  if (chosen == 1) {
    Form1_.SetOutputFolder({});
  } else if (chosen == 2) {
    const std::filesystem::path start = beside ? Form1_.LastFolder : Form1_.OutputFolder();
    if (const std::filesystem::path folder = PickFolder(Hwnd_, Text::OutputDialogTitle, start); !folder.empty())
      Form1_.SetOutputFolder(folder);
  }
  ShowOutputFolder();
}

void TMainWindow::RemoveClick() {
  TAlsoRemove r;
  r.Memo = Remove_[0].Checked();
  r.OffSheet = Remove_[1].Checked();
  r.TemporaryPoints = Remove_[2].Checked();
  r.Auxiliary = Remove_[3].Checked();
  if (!Form1_.SetRemove(r)) ShowOutputFolder();  // refused while a batch runs: the boxes as they were
}

void TMainWindow::SetBusy(bool busy) {
  if (busy) FocusBeforeBatch_ = GetFocus();
  for (TButton* b : {&Button1_, &Button2_, &Button3_, &AddFolder_, &Output_}) b->Enable(!busy);
  for (TCheckBox& box : Remove_) box.Enable(!busy);
  DragAcceptFiles(Hwnd_, busy ? FALSE : TRUE);
  ProgressBar1_.Show(busy);
  ProgressText_.Show(busy);
  Stop_.Enable(busy);
  Stop_.Show(busy);
  Layout();
  if (!busy && FocusBeforeBatch_ && IsWindow(FocusBeforeBatch_) && IsWindowEnabled(FocusBeforeBatch_))
    SetFocus(FocusBeforeBatch_);
  else if (busy && !IsWindowEnabled(FocusBeforeBatch_))
    SetFocus(ListBox1_.Hwnd());  // the focus must not stay on a disabled button
}

// The drawing the pane shows: the focused one when it is selected, else the
// first selected one.
std::filesystem::path TMainWindow::PaneItem() const {
  const TFileList& list = Form1_.ListBox1();
  const int current = list.ItemIndex();
  if (current >= 0 && list.Selected(current)) return list.Item(current);
  const std::vector<int> selected = list.SelectedIndices();
  return selected.empty() ? std::filesystem::path() : list.Item(selected.front());
}

void TMainWindow::UpdatePane(bool force) {
  const std::filesystem::path item = PaneItem();
  const TRow* row = item.empty() ? nullptr : Form1_.RowOf(item);
  auto key = std::make_tuple(item, row && row->Inspected, row && row->Result.has_value());
  if (!force && key == PaneKey_) return;
  PaneKey_ = std::move(key);

  const TPaneText pane = PaneText(row);
  PaneTitle_.SetText(Widen(pane.Title));
  PaneNotes_.SetText(Widen(pane.Notes));
  if (!pane.Picture) {
    Preview_.Show(nullptr);
  } else {
    Form1_.RequestPreview(item);  // drawn by the inspector's workers, before what waits
    ShowPreview();
  }
  HWND layers = Layers_.Hwnd();
  SendMessageW(layers, WM_SETREDRAW, FALSE, 0);
  SendMessageW(layers, LVM_DELETEALLITEMS, 0, 0);
  for (size_t n = 0; n < pane.Layers.size(); ++n) {
    const TPaneText::TLayerRow& layer = pane.Layers[n];
    const std::wstring label = Widen(layer.Label);
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = static_cast<int>(n);
    it.pszText = const_cast<wchar_t*>(label.c_str());
    SendMessageW(layers, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
    SetCell(layers, static_cast<int>(n), 1, Widen(layer.Name));
    SetCell(layers, static_cast<int>(n), 2, Widen(layer.Elements));
  }
  SendMessageW(layers, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(layers, nullptr, TRUE);
}

// What the rows show has changed: they are painted again a few times a
// second at most, so that a thousand drawings coming in keep the processor
// for their inspection rather than for painting.
// What the model of the list says has changed.
void TMainWindow::ListChanged(TFileList::TChange change) {
  switch (change) {
    case TFileList::TChange::Items:
      ListBox1_.Reload();
      ShowSortArrow();
      UpdatePane(false);
      break;
    case TFileList::TChange::Rows:
      RowsChanged();
      break;
    case TFileList::TChange::Selection:
      ListBox1_.ShowSelection();
      break;
  }
}

void TMainWindow::RowsChanged() {
  const ULONGLONG now = GetTickCount64(), since = now - LastRepaint_;
  if (since >= RepaintEvery) {
    LastRepaint_ = now;
    InvalidateRect(ListBox1_.Hwnd(), nullptr, FALSE);
    UpdatePane(false);
  } else if (!RepaintTimer_) {
    RepaintTimer_ = SetTimer(Hwnd_, RepaintTimerId, static_cast<UINT>(RepaintEvery - since), nullptr);
  }
}

// The picture of the pane's drawing, once it is drawn.
void TMainWindow::ShowPreview() {
  const std::filesystem::path item = PaneItem();
  if (item.empty()) return;
  const std::shared_ptr<const TPreview> picture = Form1_.Preview();
  if (picture && picture->Source == item)
    Preview_.Show(picture);
  else
    Preview_.Show(nullptr, Text::PreviewComing);
}

void TMainWindow::ShowSortArrow() {
  HWND header = reinterpret_cast<HWND>(SendMessageW(ListBox1_.Hwnd(), LVM_GETHEADER, 0, 0));
  for (int c = 0; c < ColumnCount; ++c) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    const TFileList& list = Form1_.ListBox1();
    if (c == list.SortColumn()) item.fmt |= list.SortAscending() ? HDF_SORTUP : HDF_SORTDOWN;
    SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
  }
}

void TMainWindow::OnListKey(UINT key) {
  TFileList& list = Form1_.ListBox1();
  if (key == VK_DELETE) {
    Button2Click();
  } else if (key == 'A' && (GetKeyState(VK_CONTROL) & 0x8000)) {
    list.SetAllSelected(true);
    if (list.ItemIndex() < 0 && list.Count() > 0) list.SetItemIndex(0);
  }
}

void TMainWindow::Button1Click() {
  if (Form1_.Busy()) return;
  std::vector<wchar_t> buffer(1 << 16, L'\0');
  const std::wstring folder = Form1_.LastFolder.native();
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Hwnd_;
  ofn.lpstrFilter = Text::OpenFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrDefExt = Text::OpenDefaultExt;
  ofn.Flags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLESIZING |
              OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&ofn)) return;  // cancelled
  Form1_.Button1Click(ChosenFiles(buffer.data()));
}

void TMainWindow::AddFolderClick() {
  if (Form1_.Busy()) return;
  const std::filesystem::path folder = PickFolder(Hwnd_, Text::FolderDialogTitle, Form1_.LastFolder);
  if (!folder.empty()) Form1_.AddFolder(folder);
}

void TMainWindow::Button2Click() {
  Form1_.Button2Click();
  UpdatePane(false);
}

void TMainWindow::Button3Click() {
  Form1_.Button3Click();
  if (Closing_.CloseAfterBatch()) PostMessageW(Hwnd_, WM_CLOSE, 0, 0);
}

void TMainWindow::Button4Click() { SendMessageW(Hwnd_, WM_CLOSE, 0, 0); }

void TMainWindow::WMDropFiles(HDROP drop) {
  std::vector<std::filesystem::path> names;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    // Each name whole, however long.
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(static_cast<size_t>(length) + 1, L'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
    names.emplace_back(name);
  }
  DragFinish(drop);
  Form1_.WMDropFiles(names);  // refused while a batch runs
}

void TMainWindow::Close() {
  if (Closed_) return;
  Closed_ = true;
  if (Shown_) {
    KeepView();
    Form1_.FormClose();
  }
  DestroyWindow(Hwnd_);
}

// The batch's steps: the busy state and the progress. With several files
// in flight, the text names the last one started and the bar counts the
// files finished.
void TMainWindow::BatchStep(TBatchStep step, int index) {
  const TBatchProgress& progress = Form1_.Progress();
  switch (step) {
    case TBatchStep::Started:
      ProgressBar1_.SetRange(progress.Total);
      ProgressBar1_.SetPosition(0);
      ProgressText_.SetText(L"");
      SetBusy(true);
      break;
    case TBatchStep::FileStarted:
      ProgressText_.SetText(std::to_wstring(index + 1) + L" / " + std::to_wstring(progress.Total) + L"\r\n" +
                            Widen(Printable(PathToUtf8(progress.LastStartedName.filename()))));
      break;
    case TBatchStep::FileFinished:
      ProgressBar1_.SetPosition(progress.Finished);
      break;
    case TBatchStep::Finished:
      SetBusy(false);
      break;
  }
}

void TMainWindow::Wake() { PostMessageW(Hwnd_, WmBatchCall, 0, 0); }

void TMainWindow::RunUntil(const std::function<bool()>& done) {
  MSG msg;
  int quit = -1;
  while (!done()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) continue;
    if (got == 0) {  // the program is asked to end: the batch stops after its file
      quit = static_cast<int>(msg.wParam);
      Form1_.StopBatch();
      continue;
    }
    DispatchUiMessage(msg);
  }
  if (quit >= 0) PostQuitMessage(quit);
}

LRESULT TMainWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:  // the controls' own commands reach them through TWindow
      if (LOWORD(wParam) == IDCANCEL && !lParam) Form1_.StopBatch();  // Esc
      break;
    case WM_HELP:  // F1
      Notes_.Show();
      return TRUE;
    case WM_NOTIFY:  // a hidden group or layer picked in the pane's list: the preview shows its material
      if (const auto* h = reinterpret_cast<const NMHDR*>(lParam); h && h->idFrom == IdLayers) {
        if (h->code == LVN_DELETEALLITEMS) Preview_.Pick({}, std::nullopt);
        if (h->code == LVN_ITEMCHANGED) {
          const std::filesystem::path item = PaneItem();
          const int n = static_cast<int>(SendMessageW(Layers_.Hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
          Preview_.Pick(item, PaneLayerPick(item.empty() ? nullptr : Form1_.RowOf(item), n));
        }
      }
      break;
    case WmInspected:
      Form1_.TakeInspections();
      ShowPreview();
      return 0;
    case WM_TIMER:
      if (wParam != RepaintTimerId) break;
      KillTimer(Hwnd_, RepaintTimerId);
      RepaintTimer_ = 0;
      LastRepaint_ = GetTickCount64();
      InvalidateRect(ListBox1_.Hwnd(), nullptr, FALSE);
      UpdatePane(false);
      return 0;
    case WmBatchCall:
      if (Closing_.MayDeliver()) Runner_.Deliver();  // else after the user's answer
      return 0;
    case WM_COPYDATA:
      return TakeHandedOver(reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_DROPFILES:
      WMDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_CLOSE:
      CloseAsked();
      return 0;
    case WM_ENDSESSION:
      if (wParam && Shown_ && !Closed_) SessionEnds();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO:
      SetMinimumTrackSize(Hwnd_, lParam, MinWidth, MinHeight);
      return 0;
    case WM_DPICHANGED:
      ApplyFont();
      MoveToSuggestedRect(Hwnd_, lParam);
      Layout();
      return 0;
    case WM_PAINT:
      PaintPanel3();
      return 0;
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
      break;
  }
  return TWindow::WndProc(message, wParam, lParam);
}

// What a second start hands over: its paths, listed once the batch is over
// when one runs.
bool TMainWindow::TakeHandedOver(const COPYDATASTRUCT* data) {
  if (!data || data->dwData != PathsTag || !Shown_ || Closed_) return false;
  const auto* text = static_cast<const wchar_t*>(data->lpData);
  const size_t units = data->cbData / sizeof(wchar_t);
  std::vector<std::filesystem::path> paths;
  for (size_t at = 0; at < units;) {
    const auto end = static_cast<size_t>(std::find(text + at, text + units, L'\0') - text);
    if (end > at) paths.emplace_back(std::wstring(text + at, end - at));
    at = end + 1;
  }
  Form1_.AddPaths(paths);
  return true;
}

// A close: the rules say whether to close now, not at all, or after asking
// the user (during a batch, which waits for the answer).
void TMainWindow::CloseAsked() {
  if (Asking_) {
    // Convert's question is up: it is answered with cancel, then the window closes.
    CloseWhileAsking_ = true;
    if (HWND box = GetLastActivePopup(Hwnd_); box && box != Hwnd_) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  switch (Closing_.CloseAsked(ResultWindow_.Modal())) {
    case TClosing::TDo::Nothing:
      break;
    case TClosing::TDo::Close:
      Close();
      break;
    case TClosing::TDo::Ask: {
      const int answer = MessageBoxW(Hwnd_, Text::ConfirmClose, Widen(Msg::AppTitle).c_str(),
                                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
      if (Closing_.Answered(answer == IDYES)) Runner_.Deliver();
      break;
    }
  }
}

void TMainWindow::SessionEnds() {
  Closed_ = true;
  KeepView();
  if (Closing_.SessionEnds() == TClosing::TEnd::SaveSettings)
    Form1_.SaveAllSettings();  // the batch's thread still holds the document: the session ends with the process
  else
    Form1_.FormClose();
}

void TMainWindow::PaintPanel3() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Hwnd_, &ps);
  RECT panel = Panel3_;
  DrawEdge(dc, &panel, BDR_RAISEDINNER, BF_RECT);
  EndPaint(Hwnd_, &ps);
}

bool HandToRunningWindow(const std::vector<std::filesystem::path>& paths) {
  HWND running = FindWindowW(MainClass, nullptr);
  if (!running) return false;
  if (paths.empty()) {  // nothing to hand over: the running window comes forward
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return true;
  }
  std::wstring payload;
  for (const std::filesystem::path& p : paths) {
    // In full: the running window has a current folder of its own.
    std::wstring full(32768, L'\0');
    const DWORD n = GetFullPathNameW(p.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    payload += n > 0 && n < full.size() ? full.substr(0, n) : p.native();
    payload += L'\0';
  }
  COPYDATASTRUCT data{PathsTag, static_cast<DWORD>(payload.size() * sizeof(wchar_t)), payload.data()};
  DWORD_PTR taken = FALSE;
  if (!SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 10000, &taken) ||
      !taken)
    return false;
  if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
  SetForegroundWindow(running);
  return true;
}

}  // namespace qm::win
