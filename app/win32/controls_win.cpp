#include "controls_win.h"

#include <richedit.h>

#include <algorithm>
#include <vector>

#include "texts_win.h"
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
  for (const wchar_t* face : Text::FontFaces)
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
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
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
  // A control's notifications go back to the control, which fires its events.
  if (message == WM_COMMAND && lParam) {
    if (TControl* control = TControl::Of(reinterpret_cast<HWND>(lParam)); control && control->OnCommand(HIWORD(wParam)))
      return 0;
  } else if (message == WM_NOTIFY && lParam) {
    const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
    LRESULT result = 0;
    if (TControl* control = TControl::Of(header.hwndFrom); control && control->OnNotify(header, result)) return result;
  }
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

namespace {

constexpr wchar_t ControlProperty[] = L"Quillmark.Control";

}  // namespace

bool TControl::Create(HWND parent, int id, const wchar_t* className, std::wstring_view text, DWORD style,
                      DWORD exStyle) {
  const std::wstring t(text);
  Hwnd_ = CreateWindowExW(exStyle, className, t.c_str(), style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (Hwnd_) SetPropW(Hwnd_, ControlProperty, this);
  return Hwnd_ != nullptr;
}

TControl* TControl::Of(HWND hwnd) { return static_cast<TControl*>(GetPropW(hwnd, ControlProperty)); }

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

bool TListView::Create(HWND parent, int id, TFileList& model) {
  Model_ = &model;
  if (!TControl::Create(parent, id, WC_LISTVIEWW, L"",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                        WS_EX_CLIENTEDGE))
    return false;
  const DWORD ex = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP;
  SendMessageW(Hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
  return true;
}

TListView::~TListView() {
  if (RowHeight_) ImageList_Destroy(RowHeight_);
}

void TListView::SetRowHeight(int pixels) {
  HIMAGELIST images = ImageList_Create(1, std::max(1, pixels), ILC_COLOR, 1, 0);
  SendMessageW(Hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  if (RowHeight_) ImageList_Destroy(RowHeight_);
  RowHeight_ = images;
}

void TListView::AddColumn(std::wstring_view title, int width) {
  std::wstring text(title);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = text.data();
  column.cx = width;
  const auto count = SendMessageW(reinterpret_cast<HWND>(SendMessageW(Hwnd_, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0);
  SendMessageW(Hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&column));
}

void TListView::Reload() {
  Showing_ = true;  // what the list view reports of its new count is not the user's
  SendMessageW(Hwnd_, LVM_SETITEMCOUNT, static_cast<WPARAM>(Model_->Count()), LVSICF_NOSCROLL);
  ShowSelection();
  InvalidateRect(Hwnd_, nullptr, TRUE);
}

void TListView::ShowSelection() {
  Showing_ = true;
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED;
  SendMessageW(Hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  for (const int i : Model_->SelectedIndices()) {
    state.state = LVIS_SELECTED;
    SendMessageW(Hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&state));
  }
  if (const int current = Model_->ItemIndex(); current >= 0) {
    LVITEMW focus{};
    focus.stateMask = focus.state = LVIS_FOCUSED;
    SendMessageW(Hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(current), reinterpret_cast<LPARAM>(&focus));
    SendMessageW(Hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(current), FALSE);
  }
  Showing_ = false;
  if (OnSelectionChanged) OnSelectionChanged();
}

namespace {

void CopyText(const std::wstring& text, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::copy_n(text.data(), n, buffer);
  buffer[n] = L'\0';
}

}  // namespace

bool TListView::OnNotify(const NMHDR& header, LRESULT& result) {
  const int count = Model_->Count();
  // A state the list view reports for one item (index) or all (-1).
  auto applyState = [&](int from, int to, UINT oldState, UINT newState) {
    if (Showing_) return;
    bool changed = false;
    if ((oldState ^ newState) & LVIS_SELECTED) {
      const bool on = (newState & LVIS_SELECTED) != 0;
      if (from < 0) {
        Model_->SetAllSelected(on);
      } else {
        for (int i = from; i <= to && i < count; ++i) Model_->SetSelected(i, on);
      }
      changed = true;
    }
    if ((oldState ^ newState) & LVIS_FOCUSED) {
      if (newState & LVIS_FOCUSED) Model_->SetItemIndex(from);
      else if (from < 0 || Model_->ItemIndex() == from) Model_->SetItemIndex(-1);
      changed = true;
    }
    if (changed && OnSelectionChanged) OnSelectionChanged();
  };
  result = 0;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
      if ((info.item.mask & LVIF_TEXT) && info.item.iItem >= 0 && info.item.iItem < count && TextOf)
        CopyText(Widen(TextOf(Model_->Row(info.item.iItem), info.item.iSubItem)), info.item.pszText,
                 info.item.cchTextMax);
      return true;
    }
    case LVN_GETINFOTIPW: {
      auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
      if (tip.iItem >= 0 && tip.iItem < count && TipOf)
        CopyText(Widen(TipOf(Model_->Row(tip.iItem))), tip.pszText, tip.cchTextMax);
      return true;
    }
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if (change.uChanged & LVIF_STATE) applyState(change.iItem, change.iItem, change.uOldState, change.uNewState);
      return true;
    }
    case LVN_ODSTATECHANGED: {
      const auto& change = reinterpret_cast<const NMLVODSTATECHANGE&>(header);
      applyState(change.iFrom, change.iTo, change.uOldState, change.uNewState);
      return true;
    }
    case LVN_KEYDOWN:
      if (OnKeyDown) OnKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey);
      return true;
    case LVN_COLUMNCLICK:
      if (OnColumnClick) OnColumnClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------

namespace {

LRESULT CALLBACK DialogKeysProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_GETDLGCODE) {
    const LRESULT code = DefSubclassProc(hwnd, message, wParam, lParam);
    return code & ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

void LeaveDialogKeysToTheWindow(HWND control) { SetWindowSubclass(control, DialogKeysProc, 1, 0); }

bool TMemo::Create(HWND parent, int id) {
  if (!TControl::Create(parent, id, L"EDIT", L"",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                            ES_AUTOHSCROLL | ES_READONLY | ES_NOHIDESEL,
                        WS_EX_CLIENTEDGE))
    return false;
  LeaveDialogKeysToTheWindow(Hwnd_);
  return true;
}

// ---------------------------------------------------------------------------

bool TSplitter::Create(HWND parent, int id) {
  return CreateWindowOfClass(L"QuillmarkSplitter", 0, GetSysColorBrush(COLOR_BTNFACE), LoadCursorW(nullptr, IDC_SIZEWE),
                             0, WS_CHILD | WS_VISIBLE, L"", 0, 0, 0, 0, parent, id);
}

LRESULT TSplitter::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      // A raised bar with a grip of dots in its middle: plainly something
      // to take and drag.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Hwnd_, &ps);
      RECT rc{};
      GetClientRect(Hwnd_, &rc);
      FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_LEFT | BF_RIGHT);
      const UINT dpi = DpiOf(Hwnd_);
      const int dot = std::max(2, Scale(2, dpi)), gap = dot * 2, x = (rc.right - dot) / 2;
      for (int k = -3; k <= 3; ++k) {
        const int y = rc.bottom / 2 + k * gap;
        RECT light{x, y, x + dot, y + dot}, dark{x + 1, y + 1, x + dot + 1, y + dot + 1};
        FillRect(dc, &dark, GetSysColorBrush(COLOR_BTNSHADOW));
        FillRect(dc, &light, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
      }
      EndPaint(Hwnd_, &ps);
      return 0;
    }
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

namespace {

// A window's rectangle and the work area of the monitor it is most on.
bool PlaceAndWorkArea(HWND hwnd, RECT& place, RECT& work) {
  if (!GetWindowRect(hwnd, &place)) return false;
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoW(MonitorFromRect(&place, MONITOR_DEFAULTTONEAREST), &mi)) return false;
  work = mi.rcWork;
  return true;
}

}  // namespace

void BringIntoView(HWND hwnd) {
  RECT rc{}, work{};
  if (!PlaceAndWorkArea(hwnd, rc, work)) return;
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

void PlaceOnWorkArea(HWND hwnd, double share, int designWidth, int designHeight) {
  RECT rc{}, work{};
  if (!PlaceAndWorkArea(hwnd, rc, work)) return;
  const UINT dpi = DpiOf(hwnd);
  const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
  const int width = std::min(workWidth, std::max(Scale(designWidth, dpi), static_cast<int>(workWidth * share)));
  const int height = std::min(workHeight, std::max(Scale(designHeight, dpi), static_cast<int>(workHeight * share)));
  SetWindowPos(hwnd, nullptr, work.left + (workWidth - width) / 2, work.top + (workHeight - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void DispatchUiMessage(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && msg.message == WM_KEYDOWN && msg.wParam == VK_F1) {
    // F1 asks the window for its help, whichever of its controls has the focus.
    HELPINFO help{sizeof help, HELPINFO_WINDOW, 0, msg.hwnd, 0, {}};
    SendMessageW(root, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    return;
  }
  if (root && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace qm::win
