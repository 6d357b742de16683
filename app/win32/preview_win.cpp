#include "preview_win.h"
#include "jwwmeaning.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "messages.h"
#include "textconv.h"
#include "wintext_win.h"

namespace qm::win {

namespace {

using JwwMeaning::Pi;
constexpr double WheelStep = 1.25;        // zoom a notch of the wheel, or + and -

COLORREF Colour(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

bool Finite(view::TPoint p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

// What a pass of the painter draws.
enum class TPass { Shown, Hidden, Picked };

// Plays the display list back on a device context: one pass for the shown
// drawing (faint), one for the hidden material (red), one for the hidden
// group or layer picked in the pane (deeper and wider, above the rest). An
// insert drawn by reference draws its definition's contents through its
// placement (which turns, mirrors and moves, so strokes keep their widths).
// Pens, brushes and fonts are made once a paint.
class TPainter {
 public:
  TPainter(HDC dc, const TPreview& p, const TPreviewView& view, std::optional<TLayerPick> pick)
      : Dc_(dc), P_(p), View_(view), Pick_(pick) {
    Background_ = p.Background;
  }
  ~TPainter() {
    for (auto& [key, pen] : Pens_) DeleteObject(pen);
    for (auto& [key, brush] : Brushes_) DeleteObject(brush);
    for (auto& [key, font] : Fonts_) DeleteObject(font);
  }
  TPainter(const TPainter&) = delete;
  TPainter& operator=(const TPainter&) = delete;

  void Pass(TPass pass, const std::vector<uint32_t>& items) {
    Pass_ = pass;
    for (uint32_t i : items) {
      const view::TDisplayList::TEntry& e = P_.Items[i];
      const TPass its = e.Origin.Visible ? TPass::Shown : IsPicked(e.Origin, Pick_) ? TPass::Picked : TPass::Hidden;
      Kind_ = KindColor(P_, e.Origin);
      if (its == pass) Item(e, 0);
    }
  }

 private:
  COLORREF Tint(uint32_t rgb) const {
    switch (Pass_) {
      case TPass::Hidden: return Colour(view::Look::HiddenColor);
      case TPass::Picked: return Colour(view::Look::PickedColor);
      case TPass::Shown: break;
    }
    if (Kind_) return Colour(Kind_);  // the other hidden information, in its kind's colour
    return Colour(view::Look::Faint(rgb, Background_));
  }
  // The thinnest line of the pass, in pixels.
  int Thinnest() const {
    return Pass_ == TPass::Picked ? view::Look::PickedPixels : Pass_ == TPass::Hidden ? view::Look::MarkedPixels : 1;
  }

  // A point of the contents being drawn (through the placements of the
  // inserts they are inside) in pixels.
  POINT Px(view::TPoint mm) const {
    const view::TPoint p = View_.ToPixels(M_(mm));
    auto clamp = [](double v) { return static_cast<LONG>(std::lround(std::clamp(v, -1e7, 1e7))); };
    return {clamp(p.X), clamp(p.Y)};
  }

  void UsePen(const view::TDisplayList::TEntry& e) {
    const view::TStroke& s = P_.Items.Stroke(e);
    const int width = std::max(Thinnest(), static_cast<int>(std::lround(s.Width * View_.Scale())));
    std::vector<DWORD> dashes;
    double pattern = 0;
    for (int k = 0; k < s.DashCount && k < 10; ++k) pattern += s.Dashes[static_cast<size_t>(k)] * View_.Scale();
    if (!IsSolid(s) && pattern >= 4)
      for (int k = 0; k < s.DashCount && k < 10; ++k)
        dashes.push_back(std::max<DWORD>(1, static_cast<DWORD>(std::lround(s.Dashes[static_cast<size_t>(k)] * View_.Scale()))));
    const auto key = std::make_tuple(Tint(s.Color), width, dashes);
    auto it = Pens_.find(key);
    if (it == Pens_.end()) {
      LOGBRUSH brush{BS_SOLID, Tint(s.Color), 0};
      HPEN pen = dashes.empty()
                     ? ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, static_cast<DWORD>(width),
                                    &brush, 0, nullptr)
                     : ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE | PS_ENDCAP_FLAT, static_cast<DWORD>(width), &brush,
                                    static_cast<DWORD>(dashes.size()), dashes.data());
      it = Pens_.emplace(key, pen).first;
    }
    SelectObject(Dc_, it->second);
  }

  void UseBrush(COLORREF c) {
    auto it = Brushes_.find(c);
    if (it == Brushes_.end()) it = Brushes_.emplace(c, CreateSolidBrush(c)).first;
    SelectObject(Dc_, it->second);
  }

  void Line(const std::vector<view::TPoint>& points) {
    Points_.clear();
    for (const view::TPoint& p : points)
      if (Finite(p)) Points_.push_back(Px(p));
    if (Points_.size() >= 2) Polyline(Dc_, Points_.data(), static_cast<int>(Points_.size()));
  }

  void Item(const view::TDisplayList::TEntry& e, int depth) {
    switch (e.Kind) {
      case view::TItemKind::Polyline: {
        UsePen(e);
        const auto points = P_.Items.Points(e);
        Line(std::vector<view::TPoint>(points.begin(), points.end()));
        break;
      }
      case view::TItemKind::Arc: {
        UsePen(e);
        view::TArc a = P_.Items.Arc(e);
        a.Center = M_(a.Center);
        a.U = M_.Linear(a.U);
        a.V = M_.Linear(a.V);
        const view::TMatrix placed = M_;
        M_ = {};  // the flattened points are placed already
        Line(FlattenArc(a, View_.Scale()));
        M_ = placed;
        break;
      }
      case view::TItemKind::Polygon: {
        Points_.clear();
        for (const view::TPoint& p : P_.Items.Points(e))
          if (Finite(p)) Points_.push_back(Px(p));
        if (Points_.size() < 3) break;
        UseBrush(Tint(P_.Items.Fill(e)));
        SelectObject(Dc_, GetStockObject(NULL_PEN));
        Polygon(Dc_, Points_.data(), static_cast<int>(Points_.size()));
        break;
      }
      case view::TItemKind::Text: Text(P_.Items.Text(e)); break;
      case view::TItemKind::Image: {
        const view::TImage image = P_.Items.Image(e);
        Frame(image.Frame, image.Width, image.Height, image.Color);
        break;
      }
      case view::TItemKind::Insert: {
        const view::TInsert& insert = P_.Items.Insert(e);
        if (depth >= MaxDepth) break;
        const view::TMatrix outer = M_;
        M_ = outer * insert.Placement;
        for (const view::TDisplayList::TEntry& inner : P_.Items.Contents(insert.Definition)) Item(inner, depth + 1);
        M_ = outer;
        break;
      }
      case view::TItemKind::Dot: {
        const view::TDot& d = P_.Items.Dot(e);
        const POINT at = Px(d.At);
        const int r = std::max(1, static_cast<int>(std::lround(d.Radius * View_.Scale())));
        UseBrush(Tint(d.Color));
        SelectObject(Dc_, GetStockObject(NULL_PEN));
        Ellipse(Dc_, at.x - r, at.y - r, at.x + r + 1, at.y + r + 1);
        break;
      }
      case view::TItemKind::Definition:
        break;
    }
  }

  // The outline of the rectangle (0, 0)-(width, height) of a frame.
  void Frame(const view::TMatrix& frame, double width, double height, uint32_t colour) {
    LOGBRUSH brush{BS_SOLID, Tint(colour), 0};
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID, static_cast<DWORD>(Thinnest()), &brush, 0, nullptr);
    HGDIOBJ old = SelectObject(Dc_, pen);
    Line({frame({0, 0}), frame({width, 0}), frame({width, height}), frame({0, height}), frame({0, 0})});
    SelectObject(Dc_, old);
    DeleteObject(pen);
  }

  void Text(view::TText t) {
    t.Frame = M_ * t.Frame;
    const view::TMatrix placed = M_;
    M_ = {};  // the frame is placed already
    Words(t);
    M_ = placed;
  }
  void Words(const view::TText& t) {
    if (!t.Text || !std::isfinite(t.SizeY) || !std::isfinite(t.Angle())) return;
    const double scale = std::hypot(t.Frame.A, t.Frame.B) * View_.Scale();  // pixels a millimetre of the text
    const int height = static_cast<int>(std::lround(t.SizeY * scale));
    if (height < 4) {  // too small to read: the run as a line
      LOGBRUSH brush{BS_SOLID, Tint(t.Color), 0};
      HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID, static_cast<DWORD>(Thinnest()), &brush, 0, nullptr);
      HGDIOBJ old = SelectObject(Dc_, pen);
      Line({t.Frame({0, t.SizeY / 3}), t.Frame({t.Width, t.SizeY / 3})});
      SelectObject(Dc_, old);
      DeleteObject(pen);
      return;
    }
    const int tenths = static_cast<int>(std::lround(t.Angle() * 1800 / Pi));
    const std::wstring face = t.Font && !t.Font->empty() ? Widen(ToUtf8(*t.Font)) : UiFontFace();
    const int width = std::max(1, static_cast<int>(std::lround(t.SizeX * scale / 2)));
    const auto key = std::make_tuple(height, width, tenths, face);
    auto it = Fonts_.find(key);
    if (it == Fonts_.end()) {
      LOGFONTW lf{};
      lf.lfHeight = -height;
      lf.lfWidth = width;
      lf.lfEscapement = lf.lfOrientation = tenths;
      lf.lfCharSet = DEFAULT_CHARSET;
      lf.lfQuality = ANTIALIASED_QUALITY;
      lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
      it = Fonts_.emplace(key, CreateFontIndirectW(&lf)).first;
    }
    SelectObject(Dc_, it->second);
    SetTextColor(Dc_, Tint(t.Color));
    SetTextCharacterExtra(Dc_, static_cast<int>(std::lround(t.Spacing * scale)));
    const POINT at = Px(t.Frame({0, view::Look::BaselineRaise * t.SizeY}));
    const std::wstring text = Widen(Printable(ToUtf8(*t.Text)));
    TextOutW(Dc_, at.x, at.y, text.c_str(), static_cast<int>(text.size()));
  }

  static constexpr int MaxDepth = 64;  // inserts inside inserts drawn at most this deep

  HDC Dc_;
  const TPreview& P_;
  const TPreviewView& View_;
  view::TMatrix M_;  // the placement of the contents being drawn
  std::optional<TLayerPick> Pick_;
  uint32_t Background_ = 0xFFFFFF;  // 0xRRGGBB
  TPass Pass_ = TPass::Shown;
  uint32_t Kind_ = 0;  // the kind colour of the item being drawn, 0: none
  std::vector<POINT> Points_;
  std::map<std::tuple<COLORREF, int, std::vector<DWORD>>, HPEN> Pens_;
  std::map<COLORREF, HBRUSH> Brushes_;
  std::map<std::tuple<int, int, int, std::wstring>, HFONT> Fonts_;
};

}  // namespace

std::wstring TPreviewWindow::Legend(const TPreview& p) { return Widen(PreviewLegend(p)); }

TPreviewWindow::~TPreviewWindow() {
  if (Font_) DeleteObject(Font_);
}

HFONT TPreviewWindow::Font() {
  const UINT dpi = DpiOf(Hwnd_);
  if (!Font_ || dpi != FontDpi_) {
    if (Font_) DeleteObject(Font_);
    Font_ = CreateUiFont(dpi);
    FontDpi_ = dpi;
  }
  return Font_;
}

void TPreviewWindow::Pick(const std::filesystem::path& source, std::optional<TLayerPick> pick) {
  if (source == PickSource_ && pick == Pick_) return;
  PickSource_ = source;
  Pick_ = pick;
  InvalidateRect(Hwnd_, nullptr, FALSE);
}

std::optional<TLayerPick> TPreviewWindow::Picked() const {
  if (!Preview_ || Preview_->Source != PickSource_) return std::nullopt;
  return Pick_;
}

bool TPreviewWindow::Create(HWND parent, int id) {
  return CreateWindowOfClass(L"QuillmarkPreview", CS_DBLCLKS, nullptr, nullptr, WS_EX_CLIENTEDGE,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP, L"", 0, 0, 0, 0, parent, id);
}

void TPreviewWindow::Show(std::shared_ptr<const TPreview> preview, std::wstring note) {
  if (preview == Preview_ && note == Note_) return;
  Preview_ = std::move(preview);
  Note_ = std::move(note);
  Fit();
}

void TPreviewWindow::Fit() {
  RECT rc{};
  GetClientRect(Hwnd_, &rc);
  View_.reset();
  if (Preview_ && Preview_->Error.empty()) View_.emplace(Preview_->Extent, rc.right, rc.bottom);
  InvalidateRect(Hwnd_, nullptr, FALSE);
}

void TPreviewWindow::ZoomAt(double factor, POINT at) {
  if (!View_) return;
  View_->ZoomAt(factor, {static_cast<double>(at.x), static_cast<double>(at.y)});
  InvalidateRect(Hwnd_, nullptr, FALSE);
}

void TPreviewWindow::Paint(HDC dc, const RECT& area) {
  const int saved = SaveDC(dc);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNSHADOW));
  SetBkMode(dc, TRANSPARENT);
  if (!View_ || !Preview_) {
    // A note in the picture's place: the drawing is being drawn, or cannot be.
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    std::wstring note = Note_;
    if (Preview_ && !Preview_->Error.empty()) note = Widen(std::string(Msg::PreviewCannot) + Printable(Preview_->Error));
    SelectObject(dc, Font());
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    RECT box = area;
    InflateRect(&box, -4, -4);
    DrawTextW(dc, note.c_str(), -1, &box, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  } else {
    const TPreview& p = *Preview_;
    const COLORREF background = Colour(p.Background);
    // The whole canvas in the background's colour, the sheet's outline over it.
    HBRUSH paper = CreateSolidBrush(background);
    FillRect(dc, &area, paper);
    DeleteObject(paper);
    if (p.Sheet) {
      auto px = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -1e7, 1e7))); };
      const view::TPoint a = View_->ToPixels({-p.Sheet->Width / 2, p.Sheet->Height / 2});
      const view::TPoint b = View_->ToPixels({p.Sheet->Width / 2, -p.Sheet->Height / 2});
      HPEN outline = CreatePen(PS_SOLID, 1, SheetOutline);
      HGDIOBJ oldPen = SelectObject(dc, outline);
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
      Rectangle(dc, px(a.X), px(a.Y), px(b.X) + 1, px(b.Y) + 1);
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
      DeleteObject(outline);
    }
    const std::vector<uint32_t> items = p.Items.ItemsIn(View_->Visible());
    {
      TPainter painter(dc, p, *View_, Picked());
      for (const TPass pass : {TPass::Shown, TPass::Hidden, TPass::Picked}) painter.Pass(pass, items);
    }
    SelectObject(dc, Font());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    if (!p.Strays.empty()) {
      // Where the elements off the sheet lie: a mark at the sheet's edge
      // towards each side or corner of them.
      HBRUSH mark = CreateSolidBrush(OffSheetColor);
      HGDIOBJ oldBrush = SelectObject(dc, mark);
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
      for (const TStrays& strays : p.Strays) {
        POINT corners[3];
        const auto marker = StrayMarker(*View_, strays, view::Look::OffSheetMark * metrics.tmHeight);
        for (size_t k = 0; k < 3; ++k)
          corners[k] = {static_cast<LONG>(std::lround(std::clamp(marker[k].X, -1e7, 1e7))),
                        static_cast<LONG>(std::lround(std::clamp(marker[k].Y, -1e7, 1e7)))};
        Polygon(dc, corners, 3);
      }
      SelectObject(dc, oldPen);
      SelectObject(dc, oldBrush);
      DeleteObject(mark);
    }
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, background);
    if (const std::wstring legend = Legend(p); !legend.empty()) {
      // What the red means, whether the picture is whole, what it cannot draw.
      SetTextColor(dc, p.HiddenItems ? HiddenColor : GetSysColor(COLOR_GRAYTEXT));
      TextOutW(dc, area.left + 3, area.top + 2, legend.c_str(), static_cast<int>(legend.size()));
    }
    // The kinds' legend on the next line, each in its colour.
    int x = area.left + 3;
    for (const auto& [text, rgb] : KindLegend(p)) {
      const std::wstring piece = Widen(text);
      SetTextColor(dc, Colour(rgb));
      TextOutW(dc, x, area.top + 2 + metrics.tmHeight, piece.c_str(), static_cast<int>(piece.size()));
      SIZE size{};
      GetTextExtentPoint32W(dc, piece.c_str(), static_cast<int>(piece.size()), &size);
      x += size.cx + metrics.tmAveCharWidth * 2;
    }
    if (const std::wstring note = Widen(StrayNote(p)); !note.empty()) {
      SetTextColor(dc, OffSheetColor);
      TextOutW(dc, area.left + 3, area.bottom - 2 - metrics.tmHeight, note.c_str(), static_cast<int>(note.size()));
    }
  }
  if (GetFocus() == Hwnd_) {
    RECT focus = area;
    InflateRect(&focus, -1, -1);
    DrawFocusRect(dc, &focus);
  }
  RestoreDC(dc, saved);
}

LRESULT TPreviewWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Hwnd_, &ps);
      RECT rc{};
      GetClientRect(Hwnd_, &rc);
      // Drawn aside and copied in one piece: no flicker while it is moved.
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1L, rc.right), std::max(1L, rc.bottom));
      HGDIOBJ old = SelectObject(memory, bitmap);
      Paint(memory, rc);
      BitBlt(dc, 0, 0, rc.right, rc.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteObject(bitmap);
      DeleteDC(memory);
      EndPaint(Hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT rc{};
      GetClientRect(Hwnd_, &rc);
      Paint(reinterpret_cast<HDC>(wParam), rc);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      if (View_) View_->Resize(LOWORD(lParam), HIWORD(lParam));
      InvalidateRect(Hwnd_, nullptr, FALSE);
      return 0;
    case WM_MOUSEWHEEL: {
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(Hwnd_, &at);
      ZoomAt(std::pow(WheelStep, GET_WHEEL_DELTA_WPARAM(wParam) / static_cast<double>(WHEEL_DELTA)), at);
      return 0;
    }
    case WM_LBUTTONDOWN:
      SetFocus(Hwnd_);
      Dragging_ = true;
      Last_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      SetCapture(Hwnd_);
      return 0;
    case WM_MOUSEMOVE:
      if (Dragging_ && View_) {
        const POINT now{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        View_->Pan(now.x - Last_.x, now.y - Last_.y);
        Last_ = now;
        InvalidateRect(Hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      if (Dragging_) ReleaseCapture();
      Dragging_ = false;
      return 0;
    case WM_CAPTURECHANGED:
      Dragging_ = false;
      return 0;
    case WM_LBUTTONDBLCLK:
      Fit();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(Hwnd_, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN: {
      RECT rc{};
      GetClientRect(Hwnd_, &rc);
      const POINT middle{rc.right / 2, rc.bottom / 2};
      const double step = std::max(rc.right, rc.bottom) / 10.0;
      switch (wParam) {
        case VK_ADD: case VK_OEM_PLUS: ZoomAt(WheelStep, middle); return 0;
        case VK_SUBTRACT: case VK_OEM_MINUS: ZoomAt(1 / WheelStep, middle); return 0;
        case '0': case VK_NUMPAD0: case VK_HOME: Fit(); return 0;
        case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
          if (View_) {
            View_->Pan(wParam == VK_LEFT ? step : wParam == VK_RIGHT ? -step : 0,
                       wParam == VK_UP ? step : wParam == VK_DOWN ? -step : 0);
            InvalidateRect(Hwnd_, nullptr, FALSE);
          }
          return 0;
        default: break;
      }
      break;
    }
    default:
      break;
  }
  return TWindow::WndProc(message, wParam, lParam);
}

}  // namespace qm::win
