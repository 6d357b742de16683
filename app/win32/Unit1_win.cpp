#include "Unit1_win.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "messages.h"
#include "texts_win.h"
#include "wintext_win.h"

namespace qm::win {

namespace {

// Panel4's buttons: top edge (pixels at 96 DPI, in the middle panel).
constexpr int ButtonTops[] = {8, 40, 96, 144};

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

}  // namespace

TMainWindow::TMainWindow(TForm2& form2, TResultWindow& resultWindow)
    : ResultWindow_(resultWindow), Bounds_(*this), Form1_(ListBox1_, StatusBar1_, *this, Bounds_, form2, *this) {}

TMainWindow::~TMainWindow() {
  if (Font_) DeleteObject(Font_);
}

bool TMainWindow::Create() {
  if (!CreateWindowOfClass(L"QuillmarkForm1", 0, GetSysColorBrush(COLOR_BTNFACE), nullptr, 0,
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, Widen(Msg::AppTitle), TForm1::DesignLeft,
                           TForm1::DesignTop, TForm1::DesignWidth, TForm1::DesignHeight, nullptr, 0))
    return false;
  // Created on the monitor it will show on: its scale gives the real size.
  const UINT dpi = DpiOf(Hwnd_);
  if (dpi != 96)
    SetWindowPos(Hwnd_, nullptr, 0, 0, Scale(TForm1::DesignWidth, dpi), Scale(TForm1::DesignHeight, dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  // Created in Tab order.
  Label1_.Create(Hwnd_, IdLabel1, Text::Label1);
  ListBox1_.Create(Hwnd_, IdListBox1);
  ListBox1_.OnWidthChange = [this] { Layout(); };
  Splitter1_.Create(Hwnd_, IdSplitter1);
  Splitter1_.OnDrag = [this](int x) {
    RECT rc{};
    GetClientRect(Hwnd_, &rc);
    const UINT scale = DpiOf(Hwnd_);
    const int widest = std::max(20, Unscale(static_cast<int>(rc.right) - Scale(3, scale), scale));
    ListBox1_.SetWidth(std::clamp(Unscale(x, scale), 20, std::min(2000, widest)));
  };
  Button1_.Create(Hwnd_, IdButton1, Text::Button1);
  Button1_.OnClick = [this] { Button1Click(); };
  Button2_.Create(Hwnd_, IdButton2, Text::Button2);
  Button2_.OnClick = [this] { Button2Click(); };
  Button3_.Create(Hwnd_, IdButton3, Text::Button3);
  Button3_.OnClick = [this] { Button3Click(); };
  Button4_.Create(Hwnd_, IdButton4, Text::Button4);
  Button4_.OnClick = [this] { Button4Click(); };
  ProgressBar1_.Create(Hwnd_, IdProgressBar1);
  Memo1_.Create(Hwnd_, IdMemo1);
  std::wstring notes;
  for (const wchar_t* line : Text::UsageNotes) {
    if (!notes.empty()) notes += L"\r\n";
    notes += line;
  }
  Memo1_.SetText(notes);
  StatusBar1_.Create(Hwnd_, IdStatusBar1);
  StatusBar1_.SetSimpleText(std::string(Msg::IdleHint));
  ApplyFont();
  Layout();
  return true;
}

void TMainWindow::Show(const std::filesystem::path& executable, int showCommand) {
  Form1_.FormShow(executable);
  BringIntoView(Hwnd_);
  BringIntoView(ResultWindow_.Hwnd());
  DragAcceptFiles(Hwnd_, TRUE);
  Shown_ = true;
  ShowWindow(Hwnd_, showCommand);
  UpdateWindow(Hwnd_);
  SetFocus(ListBox1_.Hwnd());
}

void TMainWindow::ApplyFont() {
  HFONT font = CreateUiFont(DpiOf(Hwnd_));
  for (TControl* c : std::initializer_list<TControl*>{&Label1_, &ListBox1_, &Button1_, &Button2_, &Button3_, &Button4_,
                                                      &Memo1_, &StatusBar1_})
    c->SetFont(font);
  SendMessageW(ListBox1_.Hwnd(), LB_SETITEMHEIGHT, 0, Scale(13, DpiOf(Hwnd_)));
  ListBox1_.UpdateExtent();
  if (Font_) DeleteObject(Font_);
  Font_ = font;
}

void TMainWindow::Layout() {
  if (!Hwnd_) return;
  RECT rc{};
  GetClientRect(Hwnd_, &rc);
  const UINT dpi = DpiOf(Hwnd_);
  auto s = [dpi](int v) { return Scale(v, dpi); };
  const int width = rc.right, height = rc.bottom;

  const int statusHeight = s(19);
  StatusBar1_.SetBounds(0, std::max(0, height - statusHeight), width, statusHeight);
  Panel3_ = {0, 0, width, s(20)};
  Label1_.SetBounds(s(8), s(4), std::max(0, width - s(16)), s(14));
  InvalidateRect(Hwnd_, &Panel3_, TRUE);

  // Panel2: the list, the splitter and Panel1 side by side.
  const int top = Panel3_.bottom, middle = std::max(0, height - statusHeight - top);
  const int listWidth = std::min(s(ListBox1_.Width()), std::max(0, width - s(3)));
  ListBox1_.SetBounds(0, top, listWidth, middle);
  MoveWindow(Splitter1_.Hwnd(), listWidth, top, s(3), middle, TRUE);
  const int panel1 = listWidth + s(3);
  HWND buttons[] = {Button1_.Hwnd(), Button2_.Hwnd(), Button3_.Hwnd(), Button4_.Hwnd()};
  for (size_t i = 0; i < 4; ++i) MoveWindow(buttons[i], panel1 + s(8), top + s(ButtonTops[i]), s(75), s(25), TRUE);
  ProgressBar1_.SetBounds(panel1 + s(8), top + s(176), s(75), s(12));
  Memo1_.SetBounds(panel1 + s(88), top, std::max(0, width - panel1 - s(88)), middle);
}

void TMainWindow::SetBusy(bool busy) {
  if (busy) FocusBeforeBatch_ = GetFocus();
  Button1_.Enable(!busy);
  Button2_.Enable(!busy);
  Button3_.Enable(!busy);
  DragAcceptFiles(Hwnd_, busy ? FALSE : TRUE);
  ProgressBar1_.Show(busy);
  if (!busy && FocusBeforeBatch_ && IsWindow(FocusBeforeBatch_) && IsWindowEnabled(FocusBeforeBatch_))
    SetFocus(FocusBeforeBatch_);
  else if (busy && !IsWindowEnabled(FocusBeforeBatch_))
    SetFocus(ListBox1_.Hwnd());  // the focus must not stay on a disabled button
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

void TMainWindow::Button2Click() { Form1_.Button2Click(); }

void TMainWindow::Button3Click() {
  Form1_.Button3Click();
  if (Form1_.CloseRequested()) PostMessageW(Hwnd_, WM_CLOSE, 0, 0);
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
  if (Shown_) Form1_.FormClose();
  DestroyWindow(Hwnd_);
}

bool TMainWindow::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    DispatchUiMessage(msg);
  }
  return !(Form1_.CloseRequested() && !InFile_);
}

void TMainWindow::BatchStarted(int count) {
  ProgressBar1_.SetRange(count);
  ProgressBar1_.SetPosition(0);
  SetBusy(true);
}

void TMainWindow::FileStarted(int index, const std::filesystem::path&) {
  InFile_ = true;
  ProgressBar1_.SetPosition(index);
}

void TMainWindow::FileFinished(int index, const TFileResult&) {
  InFile_ = false;
  ProgressBar1_.SetPosition(index + 1);
}

void TMainWindow::BatchFinished(bool) {
  InFile_ = false;
  SetBusy(false);
}

LRESULT TMainWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
          case IdButton1: Button1_.OnClick(); return 0;
          case IdButton2: Button2_.OnClick(); return 0;
          case IdButton3: Button3_.OnClick(); return 0;
          case IdButton4: Button4_.OnClick(); return 0;
          default: break;
        }
      }
      break;
    case WM_DROPFILES:
      WMDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_CLOSE:
      // A close while the report is shown waits for it; during a batch it
      // waits for the file in progress (see ProcessMessages).
      if (ResultWindow_.Modal()) return 0;
      if (Form1_.Button4Click()) Close();
      return 0;
    case WM_ENDSESSION:
      if (wParam && Shown_ && !Closed_) {
        Closed_ = true;
        Form1_.FormClose();
      }
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
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Hwnd_, &ps);
      RECT panel = Panel3_;
      DrawEdge(dc, &panel, BDR_RAISEDINNER, BF_RECT);
      EndPaint(Hwnd_, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == Memo1_.Hwnd()) {
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
      break;
  }
  return TWindow::WndProc(message, wParam, lParam);
}

}  // namespace qm::win
