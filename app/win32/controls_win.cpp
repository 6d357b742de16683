#include "controls_win.h"

#include <richedit.h>

#include <algorithm>
#include <vector>

#include "wintext_win.h"

namespace qm::win {

UINT DpiOf(HWND hwnd) {
  const UINT dpi = hwnd ? GetDpiForWindow(hwnd) : 0;
  return dpi ? dpi : 96;
}

void SetMinimumTrackSize(HWND hwnd, LPARAM minMaxInfo, int width, int height) {
  auto* info = reinterpret_cast<MINMAXINFO*>(minMaxInfo);
  const UINT dpi = DpiOf(hwnd);
  info->ptMinTrackSize = {Scale(width, dpi), Scale(height, dpi)};
}

void MoveToSuggestedRect(HWND hwnd, LPARAM suggested) {
  const RECT* r = reinterpret_cast<const RECT*>(suggested);
  SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceExists(const wchar_t* face) {
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &lf, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

std::wstring PickFace() {
  for (const wchar_t* face : {L"ＭＳ ゴシック", L"MS Gothic", L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic"})
    if (FaceExists(face)) return face;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return metrics.lfMessageFont.lfFaceName;
  return L"";
}

}  // namespace

const std::wstring& UiFontFace() {
  static const std::wstring face = PickFace();
  return face;
}

HFONT CreateUiFont(UINT dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -Scale(13, dpi);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynW(lf.lfFaceName, UiFontFace().c_str(), LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

void InitControls() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    LoadLibraryW(L"Msftedit.dll");  // the rich-text box of the result window
    return true;
  }();
  (void)done;
}

// ---------------------------------------------------------------------------

TWindow::~TWindow() {
  if (Hwnd_ && IsWindow(Hwnd_)) {
    SetWindowLongPtrW(Hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(Hwnd_);
  }
}

bool TWindow::CreateWindowOfClass(const wchar_t* className, DWORD classStyle, HBRUSH background, HCURSOR cursor,
                                  DWORD exStyle, DWORD style, std::wstring_view title, int x, int y, int width,
                                  int height, HWND parent, int id) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(instance, className, &wc)) {
    wc = {};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = Dispatch;
    wc.hInstance = instance;
    wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    if (!RegisterClassExW(&wc)) return false;
  }
  const std::wstring text(title);
  HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)) : nullptr;
  return CreateWindowExW(exStyle, className, text.c_str(), style, x, y, width, height, parent, menu, instance, this) !=
         nullptr;
}

LRESULT TWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(Hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK TWindow::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->Hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  const LRESULT result = self->WndProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->Hwnd_ = nullptr;
  }
  return result;
}

// ---------------------------------------------------------------------------

bool TControl::Create(HWND parent, int id, const wchar_t* className, std::wstring_view text, DWORD style,
                      DWORD exStyle) {
  const std::wstring t(text);
  Hwnd_ = CreateWindowExW(exStyle, className, t.c_str(), style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  return Hwnd_ != nullptr;
}

std::wstring TControl::Text() const {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(Hwnd_)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(Hwnd_, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool TStatusBar::Create(HWND parent, int id) {
  if (!TControl::Create(parent, id, STATUSCLASSNAMEW, L"",
                        WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER))
    return false;
  SendMessageW(Hwnd_, SB_SIMPLE, TRUE, 0);
  return true;
}

void TStatusBar::SetSimpleText(const std::string& text) {
  const std::wstring wide = Widen(text);
  SendMessageW(Hwnd_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(wide.c_str()));
}

// ---------------------------------------------------------------------------

bool TListBox::Create(HWND parent, int id) {
  return TControl::Create(parent, id, L"LISTBOX", L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_EXTENDEDSEL |
                              LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                          WS_EX_CLIENTEDGE);
}

int TListBox::Count() const { return static_cast<int>(SendMessageW(Hwnd_, LB_GETCOUNT, 0, 0)); }

std::filesystem::path TListBox::Item(int index) const {
  const LRESULT n = SendMessageW(Hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const LRESULT got =
      SendMessageW(Hwnd_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
  return std::filesystem::path(text);
}

void TListBox::Add(const std::filesystem::path& item) {
  SendMessageW(Hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  UpdateExtent();
}

void TListBox::Delete(int index) {
  SendMessageW(Hwnd_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  UpdateExtent();
}

void TListBox::Clear() {
  SendMessageW(Hwnd_, LB_RESETCONTENT, 0, 0);
  UpdateExtent();
}

bool TListBox::Selected(int index) const {
  return SendMessageW(Hwnd_, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
}

void TListBox::SetSelected(int index, bool selected) {
  SendMessageW(Hwnd_, LB_SETSEL, selected ? TRUE : FALSE, index);
}

void TListBox::ClearSelection() { SendMessageW(Hwnd_, LB_SETSEL, FALSE, -1); }

int TListBox::ItemIndex() const {
  if (Count() == 0) return -1;
  const LRESULT caret = SendMessageW(Hwnd_, LB_GETCARETINDEX, 0, 0);
  return caret == LB_ERR ? -1 : static_cast<int>(caret);
}

void TListBox::SetWidth(int width) {
  Width_ = width;
  if (OnWidthChange) OnWidthChange();
}

void TListBox::UpdateExtent() {
  HDC dc = GetDC(Hwnd_);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(Hwnd_, WM_GETFONT, 0, 0)));
  int widest = 0;
  for (int i = 0, n = Count(); i < n; ++i) {
    const std::wstring text = Item(i).native();
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    widest = std::max(widest, static_cast<int>(size.cx));
  }
  SelectObject(dc, old);
  ReleaseDC(Hwnd_, dc);
  SendMessageW(Hwnd_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + Scale(4, DpiOf(Hwnd_))), 0);
}

// ---------------------------------------------------------------------------

bool TSplitter::Create(HWND parent, int id) {
  return CreateWindowOfClass(L"QuillmarkSplitter", 0, GetSysColorBrush(COLOR_BTNFACE), LoadCursorW(nullptr, IDC_SIZEWE),
                             0, WS_CHILD | WS_VISIBLE, L"", 0, 0, 0, 0, parent, id);
}

LRESULT TSplitter::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      Grab_ = static_cast<short>(LOWORD(lParam));
      Dragging_ = true;
      SetCapture(Hwnd_);
      return 0;
    case WM_MOUSEMOVE:
      if (Dragging_ && OnDrag) {
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        MapWindowPoints(Hwnd_, GetParent(Hwnd_), &p, 1);
        OnDrag(p.x - Grab_);
      }
      return 0;
    case WM_LBUTTONUP:
      if (Dragging_) ReleaseCapture();
      Dragging_ = false;
      return 0;
    case WM_CAPTURECHANGED:
      Dragging_ = false;
      return 0;
    default:
      return TWindow::WndProc(message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------

RECT TWindowBounds::Normal() const {
  RECT rc{};
  HWND hwnd = Window_.Hwnd();
  if (!hwnd) return rc;
  if (IsIconic(hwnd) || IsZoomed(hwnd)) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(hwnd, &wp);
    rc = wp.rcNormalPosition;  // in work-area coordinates
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoW(MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &mi))
      OffsetRect(&rc, mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top);
    return rc;
  }
  GetWindowRect(hwnd, &rc);
  return rc;
}

int TWindowBounds::Width() const {
  const RECT rc = Normal();
  return Unscale(rc.right - rc.left, DpiOf(Window_.Hwnd()));
}

int TWindowBounds::Height() const {
  const RECT rc = Normal();
  return Unscale(rc.bottom - rc.top, DpiOf(Window_.Hwnd()));
}

void TWindowBounds::Place(int left, int top, int width, int height) {
  HWND hwnd = Window_.Hwnd();
  if (!hwnd) return;
  if (IsIconic(hwnd) || IsZoomed(hwnd)) ShowWindow(hwnd, SW_RESTORE);
  const UINT dpi = DpiOf(hwnd);
  SetWindowPos(hwnd, nullptr, left, top, Scale(std::max(width, 0), dpi), Scale(std::max(height, 0), dpi),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWindowBounds::SetLeft(int value) { Place(value, Top(), Width(), Height()); }
void TWindowBounds::SetTop(int value) { Place(Left(), value, Width(), Height()); }
void TWindowBounds::SetWidth(int value) { Place(Left(), Top(), value, Height()); }
void TWindowBounds::SetHeight(int value) { Place(Left(), Top(), Width(), value); }

void BringIntoView(HWND hwnd) {
  RECT rc{};
  if (!GetWindowRect(hwnd, &rc)) return;
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoW(MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &mi)) return;
  const RECT work = mi.rcWork;
  int width = std::min<int>(rc.right - rc.left, work.right - work.left);
  int height = std::min<int>(rc.bottom - rc.top, work.bottom - work.top);
  // The caption must be on a screen far enough to be taken with the mouse.
  const UINT dpi = DpiOf(hwnd);
  const int caption = GetSystemMetricsForDpi(SM_CYCAPTION, dpi) + GetSystemMetricsForDpi(SM_CYSIZEFRAME, dpi);
  const RECT strip{rc.left, rc.top, rc.right, rc.top + caption};
  RECT seen{};
  const bool reachable = IntersectRect(&seen, &strip, &work) && seen.bottom - seen.top == caption &&
                         seen.right - seen.left >= std::min(width, Scale(100, dpi));
  int left = rc.left, top = rc.top;
  if (!reachable) {
    left = std::clamp<int>(left, work.left, work.right - width);
    top = std::clamp<int>(top, work.top, work.bottom - height);
  }
  if (left != rc.left || top != rc.top || width != rc.right - rc.left || height != rc.bottom - rc.top)
    SetWindowPos(hwnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void DispatchUiMessage(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace qm::win
