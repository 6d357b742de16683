#include "notes_win.h"

#include <algorithm>
#include <span>
#include <string>

#include "texts_win.h"
#include "version.h"

namespace qm::win {

bool TNotesWindow::Create(HWND owner) {
  Owner_ = owner;
  if (!CreateWindowOfClass(L"QuillmarkNotes", 0, GetSysColorBrush(COLOR_BTNFACE), nullptr, WS_EX_DLGMODALFRAME,
                           WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, Text::HelpCaption, CW_USEDEFAULT,
                           CW_USEDEFAULT, 300, 300, owner, 0))
    return false;
  Memo1_.Create(Hwnd_, IdMemo1);
  std::wstring notes;
  for (const wchar_t* line : Text::UsageNotes) {
    if (!notes.empty()) notes += L"\r\n";
    notes += line;
  }
  notes += L"\r\n";
  for (const wchar_t* line : Text::MoreNotes) notes += std::wstring(L"\r\n") + line;
  notes += std::wstring(L"\r\n\r\n") + Text::AboutVersion + QM_VERSION_WSTRING + L"\r\n" + Text::AboutLicence;
  Memo1_.SetText(notes);
  Close_.Create(Hwnd_, IdHelpClose, Text::HelpClose, true);
  ApplyFont();
  return true;
}

void TNotesWindow::ApplyFont() {
  HFONT font = CreateUiFont(DpiOf(Hwnd_));
  Memo1_.SetFont(font);
  Close_.SetFont(font);
  if (Font_) DeleteObject(Font_);
  Font_ = font;
}

SIZE TNotesWindow::NotesSize() const {
  const UINT dpi = DpiOf(Hwnd_);
  HDC dc = GetDC(Memo1_.Hwnd());
  HGDIOBJ old = SelectObject(dc, Font_);
  int widest = 0;
  for (const auto& lines : {std::span<const wchar_t* const>(Text::UsageNotes), std::span<const wchar_t* const>(Text::MoreNotes)})
    for (const wchar_t* line : lines) {
      SIZE size{};
      GetTextExtentPoint32W(dc, line, lstrlenW(line), &size);
      widest = std::max(widest, static_cast<int>(size.cx));
    }
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(Memo1_.Hwnd(), dc);
  const auto margins = SendMessageW(Memo1_.Hwnd(), EM_GETMARGINS, 0, 0);
  const int edges = 2 * GetSystemMetricsForDpi(SM_CXEDGE, dpi) + LOWORD(margins) + HIWORD(margins) + Scale(8, dpi);
  const int lines = static_cast<int>(std::size(Text::UsageNotes));
  return {widest + edges + GetSystemMetricsForDpi(SM_CXVSCROLL, dpi),
          lines * tm.tmHeight + 2 * GetSystemMetricsForDpi(SM_CYEDGE, dpi) + GetSystemMetricsForDpi(SM_CYHSCROLL, dpi) +
              Scale(8 + 31, dpi)};
}

void TNotesWindow::Show() {
  // Sized to the notes (as tall as the screen lets it), beside the owner.
  const UINT dpi = DpiOf(Hwnd_);
  RECT rc{0, 0, NotesSize().cx, NotesSize().cy};
  AdjustWindowRectExForDpi(&rc, static_cast<DWORD>(GetWindowLongW(Hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(Hwnd_, GWL_EXSTYLE)), dpi);
  RECT owner{};
  GetWindowRect(Owner_, &owner);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(Owner_, MONITOR_DEFAULTTONEAREST), &mi);
  const int width = rc.right - rc.left, height = std::min<int>(rc.bottom - rc.top, mi.rcWork.bottom - mi.rcWork.top);
  int left = owner.right;
  if (left + width > mi.rcWork.right) left = std::max<int>(mi.rcWork.left, owner.left - width);
  const int top = std::clamp<int>(owner.top, mi.rcWork.top, mi.rcWork.bottom - height);
  if (!IsWindowVisible(Hwnd_)) SetWindowPos(Hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(Hwnd_, SW_SHOW);
  SetForegroundWindow(Hwnd_);
  SetFocus(Memo1_.Hwnd());
}

void TNotesWindow::Layout() {
  RECT rc{};
  GetClientRect(Hwnd_, &rc);
  const UINT dpi = DpiOf(Hwnd_);
  const int strip = Scale(31, dpi);
  Memo1_.SetBounds(0, 0, rc.right, std::max(0, static_cast<int>(rc.bottom) - strip));
  Close_.SetBounds(std::max(0, static_cast<int>(rc.right) - Scale(97, dpi)), std::max(0, static_cast<int>(rc.bottom) - Scale(28, dpi)),
                   Scale(89, dpi), Scale(24, dpi));
}

LRESULT TNotesWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IdHelpClose || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        ShowWindow(Hwnd_, SW_HIDE);
        if (Owner_) SetActiveWindow(Owner_);
        return 0;
      }
      break;
    case DM_GETDEFID:
      return MAKELRESULT(IdHelpClose, DC_HASDEFID);
    case WM_CLOSE:
      ShowWindow(Hwnd_, SW_HIDE);
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO:
      SetMinimumTrackSize(Hwnd_, lParam, 160, 120);
      return 0;
    case WM_DPICHANGED:
      ApplyFont();
      MoveToSuggestedRect(Hwnd_, lParam);
      Layout();
      return 0;
    case WM_CTLCOLORSTATIC:  // the read-only memo on a window background
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_DESTROY:
      if (Font_) DeleteObject(Font_);
      Font_ = nullptr;
      break;
    default:
      break;
  }
  return TWindow::WndProc(message, wParam, lParam);
}

}  // namespace qm::win
