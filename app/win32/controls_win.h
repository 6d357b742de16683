// Thin wrappers around the Win32 windows and controls of the two windows:
// each is a handle, a few one-line calls and, where the user acts on it, a
// callback. Geometry is given in pixels at 96 DPI and scaled to the window's
// monitor.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls.h"
#include "filelist.h"

namespace qm::win {

// Pixels at 96 DPI to pixels at dpi, and back.
inline int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }
inline int Unscale(int value, UINT dpi) { return MulDiv(value, 96, static_cast<int>(dpi)); }
UINT DpiOf(HWND hwnd);
// WM_GETMINMAXINFO: a window's smallest size, given at 96 DPI.
void SetMinimumTrackSize(HWND hwnd, LPARAM minMaxInfo, int width, int height);
// WM_DPICHANGED: the window takes the rectangle the system suggests.
void MoveToSuggestedRect(HWND hwnd, LPARAM suggested);

// The font of every control: "ＭＳ ゴシック" 13 pixels high (at 96 DPI) in the
// Shift-JIS character set, or the system's Japanese UI font where it is
// missing. The caller owns the font.
HFONT CreateUiFont(UINT dpi);
// The face CreateUiFont picks.
const std::wstring& UiFontFace();

// Registers the classes and loads the libraries the windows need; once.
void InitControls();

// A window with its own class, whose messages go to WndProc.
class TWindow {
 public:
  TWindow() = default;
  virtual ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  HWND Hwnd() const noexcept { return Hwnd_; }

 protected:
  // Registers className (once) and creates the window.
  bool CreateWindowOfClass(const wchar_t* className, DWORD classStyle, HBRUSH background, HCURSOR cursor,
                           DWORD exStyle, DWORD style, std::wstring_view title, int x, int y, int width, int height,
                           HWND parent, int id);
  virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
  HWND Hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// A child control of one of the system's classes. Its parent's WM_COMMAND
// and WM_NOTIFY from it are handed back to it (TWindow's WndProc does so),
// so that each control fires its own events.
class TControl {
 public:
  virtual ~TControl() = default;
  HWND Hwnd() const noexcept { return Hwnd_; }
  bool Create(HWND parent, int id, const wchar_t* className, std::wstring_view text, DWORD style, DWORD exStyle = 0);
  // The control a child window is, when it is one of these.
  static TControl* Of(HWND hwnd);
  // A WM_COMMAND the control sent its parent (code: the notification); true when taken.
  virtual bool OnCommand(UINT) { return false; }
  // A WM_NOTIFY the control sent its parent; true when taken, with its result.
  virtual bool OnNotify(const NMHDR&, LRESULT&) { return false; }
  void SetBounds(int x, int y, int width, int height) { MoveWindow(Hwnd_, x, y, width, height, TRUE); }
  void SetFont(HFONT font) { SendMessageW(Hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
  // The new text, over the control's background painted again (a label
  // whose text shrinks keeps nothing of the old one).
  void SetText(std::wstring_view text) {
    SetWindowTextW(Hwnd_, std::wstring(text).c_str());
    InvalidateRect(Hwnd_, nullptr, TRUE);
  }
  std::wstring Text() const;
  void Enable(bool on) { EnableWindow(Hwnd_, on ? TRUE : FALSE); }
  void Show(bool on) { ShowWindow(Hwnd_, on ? SW_SHOWNA : SW_HIDE); }

 protected:
  HWND Hwnd_ = nullptr;
};

class TButton : public TControl {
 public:
  std::function<void()> OnClick;
  bool Create(HWND parent, int id, std::wstring_view caption, bool isDefault = false) {
    return TControl::Create(parent, id, L"BUTTON", caption,
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
  }
  bool OnCommand(UINT code) override {
    if (code != BN_CLICKED || !OnClick) return false;
    OnClick();
    return true;
  }
};

// A check box that checks itself when clicked, then fires OnClick.
class TCheckBox : public TButton {
 public:
  bool Create(HWND parent, int id, std::wstring_view caption) {
    return TControl::Create(parent, id, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX);
  }
  bool Checked() const { return SendMessageW(Hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void SetChecked(bool on) { SendMessageW(Hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
};

class TLabel : public TControl {
 public:
  bool Create(HWND parent, int id, std::wstring_view caption) {
    return TControl::Create(parent, id, L"STATIC", caption, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX);
  }
};

// The usage notes: read-only multi-line text with both scroll bars, no wrap.
// Tab, Enter and Esc are left to the window (Tab moves on, Esc closes).
class TMemo : public TControl {
 public:
  bool Create(HWND parent, int id);
};

// Keeps Tab, Enter and Esc from a multi-line text control, so that they move
// the focus or press the window's buttons.
void LeaveDialogKeysToTheWindow(HWND control);

class TProgressBar : public TControl {
 public:
  bool Create(HWND parent, int id) { return TControl::Create(parent, id, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH); }
  void SetRange(int maximum) { SendMessageW(Hwnd_, PBM_SETRANGE32, 0, maximum); }
  void SetPosition(int position) { SendMessageW(Hwnd_, PBM_SETPOS, static_cast<WPARAM>(position), 0); }
};

// A status bar of one simple panel, laid out by its window.
class TStatusBar : public TControl, public IStatusBar {
 public:
  bool Create(HWND parent, int id);
  void SetSimpleText(const std::string& text) override;
};

// The file list: a report list (list-view) that shows a TFileList, the
// model holding the items, their rows, the selection and the current item.
// The list view holds no items of its own (it asks the model for each cell
// as it is painted), so that a thousand rows come and go at once; what the
// user selects goes to the model, and what the model selects is shown.
class TListView : public TControl {
 public:
  bool Create(HWND parent, int id, TFileList& model);
  void AddColumn(std::wstring_view title, int width);
  // The model's items came, went or changed places: shows them again.
  void Reload();
  // Shows the model's selection and current item.
  void ShowSelection();
  // Rows of at least this height (pixels): room for the font's descenders
  // (an underscore) at every scale.
  void SetRowHeight(int pixels);
  ~TListView() override;

  // The text of a row's cell and tip (UTF-8).
  std::function<std::string(const TRow& row, int column)> TextOf;
  std::function<std::string(const TRow& row)> TipOf;
  // The user's acts.
  std::function<void(UINT key)> OnKeyDown;
  std::function<void(int column)> OnColumnClick;
  std::function<void()> OnSelectionChanged;  // by the user or the model

  bool OnNotify(const NMHDR& header, LRESULT& result) override;

 private:
  TFileList* Model_ = nullptr;
  HIMAGELIST RowHeight_ = nullptr;  // an empty image list whose height sets the rows'
  bool Showing_ = false;  // the model's selection is being shown: its echoes are not news
};

// A vertical bar the user drags to change the width of the control on its
// left; OnDrag gets the new left edge of the bar in its parent's pixels.
class TSplitter : public TWindow {
 public:
  std::function<void(int x)> OnDrag;
  bool Create(HWND parent, int id);

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int Grab_ = 0;
  bool Dragging_ = false;
};

// The position and size of a top-level window as the settings file keeps
// them: left and top in screen pixels, width and height in pixels at 96 DPI.
// Minimised or maximised windows report their normal place.
class TWindowBounds : public IWindowBounds {
 public:
  explicit TWindowBounds(const TWindow& window) : Window_(window) {}
  int Left() const override { return Normal().left; }
  int Top() const override { return Normal().top; }
  int Width() const override;
  int Height() const override;
  void SetLeft(int value) override;
  void SetTop(int value) override;
  void SetWidth(int value) override;
  void SetHeight(int value) override;

 private:
  RECT Normal() const;
  void Place(int left, int top, int width, int height);
  const TWindow& Window_;
};

// Moves a window that is lost off the screens back onto the nearest monitor
// and shrinks one that is larger than that monitor's work area.
void BringIntoView(HWND hwnd);
// Sizes a window to a share of its monitor's work area (never less than
// its designed size, pixels at 96 DPI), centred on that area.
void PlaceOnWorkArea(HWND hwnd, double share, int designWidth, int designHeight);

// Hands a message to the keyboard navigation of its top-level window (Tab,
// access keys, Enter and Esc; F1 becomes its WM_HELP) or else to its window.
void DispatchUiMessage(MSG& msg);

}  // namespace qm::win
