#include "Unit2_win.h"

#include <richedit.h>
#include <shellapi.h>

#include <algorithm>

#include "messages.h"
#include "texts_win.h"
#include "wintext_win.h"

namespace qm::win {


bool TResultWindow::Create(HWND owner) {
  Owner_ = owner;
  const UINT dpi = DpiOf(owner);
  if (!CreateWindowOfClass(L"QuillmarkForm2", 0, GetSysColorBrush(COLOR_BTNFACE), nullptr, WS_EX_DLGMODALFRAME,
                           WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                           Widen(Msg::ResultCaption), TForm2::DesignLeft, TForm2::DesignTop,
                           Scale(TForm2::DesignWidth, dpi), Scale(TForm2::DesignHeight, dpi), owner, 0))
    return false;
  RE1_.Create(Hwnd_, IdRE1, MSFTEDIT_CLASS, L"RE1",
              WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                  ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL | ES_NOHIDESEL,
              WS_EX_CLIENTEDGE);
  SendMessageW(RE1_.Hwnd(), EM_EXLIMITTEXT, 0, static_cast<LPARAM>(TForm2::TextCapacity));
  SendMessageW(RE1_.Hwnd(), EM_SETTARGETDEVICE, 0, 1);  // no word wrap
  LeaveDialogKeysToTheWindow(RE1_.Hwnd());  // Enter, Esc and Tab press Button2 or move on
  Button2_.Create(Hwnd_, IdForm2Button2, Text::Form2Button2, true);
  Button2_.OnClick = [this] { Button2Click(); };
  OpenFolder_.Create(Hwnd_, IdOpenFolder, Text::OpenOutputFolder);
  Copy_.Create(Hwnd_, IdCopy, Text::CopyReport);
  OpenFolder = [](const std::filesystem::path& file) {
    const std::wstring args = L"/select,\"" + file.native() + L"\"";
    ShellExecuteW(nullptr, L"open", L"explorer.exe", args.c_str(), nullptr, SW_SHOWNORMAL);
  };
  StatusBar1_.Create(Hwnd_, IdForm2StatusBar1, STATUSCLASSNAMEW, L"",
                     WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER);
  SendMessageW(StatusBar1_.Hwnd(), SB_SIMPLE, TRUE, 0);
  const UINT own = DpiOf(Hwnd_);
  if (own != dpi) SetWindowPos(Hwnd_, nullptr, 0, 0, Scale(TForm2::DesignWidth, own), Scale(TForm2::DesignHeight, own),
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyFont();
  Layout();
  return true;
}

void TResultWindow::ApplyFont() {
  HFONT font = CreateUiFont(DpiOf(Hwnd_));
  for (TControl* c : std::initializer_list<TControl*>{&RE1_, &Button2_, &OpenFolder_, &Copy_}) c->SetFont(font);
  if (Font_) DeleteObject(Font_);
  Font_ = font;
}

void TResultWindow::Layout() {
  RECT rc{};
  GetClientRect(Hwnd_, &rc);
  const UINT dpi = DpiOf(Hwnd_);
  const int width = rc.right, statusHeight = Scale(11, dpi), panelHeight = Scale(23, dpi);
  const int statusTop = std::max(0, static_cast<int>(rc.bottom) - statusHeight);
  const int panelTop = std::max(0, statusTop - panelHeight);
  StatusBar1_.SetBounds(0, statusTop, width, statusHeight);
  Button2_.SetBounds(0, panelTop, Scale(89, dpi), Scale(22, dpi));
  OpenFolder_.SetBounds(Scale(95, dpi), panelTop, Scale(160, dpi), Scale(22, dpi));
  Copy_.SetBounds(Scale(261, dpi), panelTop, Scale(89, dpi), Scale(22, dpi));
  RE1_.SetBounds(0, 0, width, panelTop);
}

void TResultWindow::ShowModal(const TForm2& form) {
  if (MayShow && !MayShow()) return;
  Form_ = &form;
  std::wstring text;
  for (const std::string& line : form.DisplayLines()) {
    if (!text.empty()) text += L"\r\n";
    text += Widen(line);
  }
  SetWindowTextW(RE1_.Hwnd(), text.c_str());
  OpenFolder_.Enable(form.OutputAt(0).has_value());
  BringIntoView(Hwnd_);
  EnableWindow(Owner_, FALSE);
  ShowWindow(Hwnd_, Maximized_ ? SW_SHOWMAXIMIZED : SW_SHOW);
  SetForegroundWindow(Hwnd_);
  SetFocus(RE1_.Hwnd());
  Modal_ = true;
  MSG msg;
  while (Modal_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    DispatchUiMessage(msg);
  }
  Modal_ = false;
  Maximized_ = IsZoomed(Hwnd_) != 0;
  EnableWindow(Owner_, TRUE);  // before hiding, so the owner becomes active again
  ShowWindow(Hwnd_, SW_HIDE);
  SetActiveWindow(Owner_);
}

void TResultWindow::Button2Click() { Modal_ = false; }

void TResultWindow::OpenFolderClick() {
  if (!Form_ || !OpenFolder) return;
  CHARRANGE selection{};
  SendMessageW(RE1_.Hwnd(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const auto line = SendMessageW(RE1_.Hwnd(), EM_EXLINEFROMCHAR, 0, selection.cpMin);
  if (const auto output = Form_->OutputAt(static_cast<int>(line))) OpenFolder(*output);
}

void TResultWindow::CopyClick() {
  CHARRANGE selection{};
  SendMessageW(RE1_.Hwnd(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  if (selection.cpMin != selection.cpMax) {
    SendMessageW(RE1_.Hwnd(), WM_COPY, 0, 0);
    return;
  }
  if (!Form_ || !OpenClipboard(Hwnd_)) return;
  const std::wstring text = Widen(Form_->Text("\r\n"));
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
    auto* to = static_cast<wchar_t*>(GlobalLock(memory));
    std::copy(text.c_str(), text.c_str() + text.size() + 1, to);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

LRESULT TResultWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IdForm2Button2 || LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        Button2Click();
        return 0;
      }
      if (LOWORD(wParam) == IdOpenFolder) {
        OpenFolderClick();
        return 0;
      }
      if (LOWORD(wParam) == IdCopy) {
        CopyClick();
        return 0;
      }
      break;
    case DM_GETDEFID:
      return MAKELRESULT(IdForm2Button2, DC_HASDEFID);
    case WM_CLOSE:
      Button2Click();  // ends the modal display; the window is hidden, never destroyed
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
