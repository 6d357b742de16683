#include "svg.h"
#include "jwwmeaning.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "bounds.h"
#include "textconv.h"

namespace qm::view {

namespace {

using JwwMeaning::Pi;

// The extent of what a pass draws: its top level, with the boxes of the
// inserts drawn by reference (the definitions' contents that follow are in
// their own coordinates).
class TExtent : public IDisplaySink {
 public:
  void Polyline(const TOrigin&, const TStroke&, std::span<const TPoint> points) override { Take(BoundsOf(points)); }
  void Arc(const TOrigin&, const TStroke&, const TArc& arc) override { Take(BoundsOf(arc)); }
  void Polygon(const TOrigin&, uint32_t, std::span<const TPoint> points) override { Take(BoundsOf(points)); }
  void Text(const TOrigin&, const TText& text) override {
    if (IsFinite(text.Frame)) Take(BoundsOf(text));
  }
  void Image(const TOrigin&, const TImage& image) override {
    if (IsFinite(image.Frame)) Take(BoundsOf(image));
  }
  void Dot(const TOrigin&, const TDot& dot) override { Take(BoundsOf(dot)); }
  void Insert(const TOrigin&, const TInsert& insert) override {
    TBox b;
    b.Add(insert.Low);
    b.Add(insert.High);
    Take(b);
  }
  void Definition(int32_t) override { Contents_ = true; }
  TBox Box;

 private:
  void Take(const TBox& b) {
    if (!Contents_) Box.Merge(b);
  }
  bool Contents_ = false;
};

// The semi-axes and the turn of the ellipse of two conjugate semi-axes: the
// singular values of the matrix [U V] and the direction of the first.
struct TAxes {
  double Rx = 0, Ry = 0, Turn = 0;
};
TAxes Axes(TPoint u, TPoint v) {
  const double e = (u.X + v.Y) / 2, f = (u.X - v.Y) / 2, g = (u.Y + v.X) / 2, h = (u.Y - v.X) / 2;
  const double q = std::hypot(e, h), r = std::hypot(f, g);
  return {q + r, std::fabs(q - r), (std::atan2(h, e) + std::atan2(g, f)) / 2};
}

bool IsWholeArc(const TArc& a) { return a.Whole || std::fabs(a.Sweep) >= 2 * Pi; }

// Numbers as the writer writes them: lengths to 3 decimals, the parts of a
// turn (cosines, angles in degrees) to 9; from 1e9 on, 12 digits.
char* Format(char* buf, char* end, double v, int decimals) {
  if (std::fabs(v) < 1e9) {
    char* last = std::to_chars(buf, end, v, std::chars_format::fixed, decimals).ptr;
    while (last[-1] == '0') --last;
    if (last[-1] == '.') --last;
    if (last - buf == 2 && buf[0] == '-' && buf[1] == '0') {
      buf[0] = '0';
      --last;
    }
    return last;
  }
  return std::to_chars(buf, end, v, std::chars_format::general, 12).ptr;
}
constexpr int LengthDecimals = 3, TurnDecimals = 9;
// The value a reader of the picture gets back.
double Written(double v, int decimals = LengthDecimals) {
  char buf[64];
  double back = 0;
  std::from_chars(buf, Format(buf, buf + sizeof buf, v, decimals), back);
  return back;
}

class TSvgWriter : public IDisplaySink {
 public:
  explicit TSvgWriter(std::ostream& out) : Out_(out) { B_.reserve(1 << 20); }

  // How the following pass draws: every colour replaced (marked hidden
  // material), the thinnest line.
  void Pass(std::optional<uint32_t> color, double thinnest) {
    Override_ = color;
    Thinnest_ = thinnest;
  }
  // The end of a pass: the definitions it drew by reference closed.
  void EndPass() {
    CloseGroup();
    if (InDefinitions_) B_ += "</g>\n</defs>\n";
    InDefinitions_ = false;
    ++Pass_;
  }

  void Polyline(const TOrigin& o, const TStroke& stroke, std::span<const TPoint> points) override {
    if (points.size() < 2 || !IsFinite(points)) return;
    StrokeGroup(stroke);
    B_ += "<path d=\"M";
    Point(points[0]);
    for (size_t i = 1; i < points.size(); ++i) {
      B_ += 'L';
      Point(points[i]);
    }
    B_ += "\"/>\n";
    Count(o);
  }

  // Whole circles and ellipses as themselves. Arcs in parts of at most a
  // quarter of their ellipse, each within one quadrant of its axes, their
  // ends worked out from the centre, radii and turn as written: the arc rule
  // of a viewer (the centre found from two ends and the radii) then finds
  // the written centre again, to the precision of the ends, and a flat
  // ellipse's parts are straight where the rule draws them straight.
  void Arc(const TOrigin& o, const TStroke& stroke, const TArc& a) override {
    if (!IsFinite(a)) return;
    // In the picture's coordinates, y down.
    const TPoint u{a.U.X, -a.U.Y}, v{a.V.X, -a.V.Y};
    const TAxes axes = Axes(u, v);
    if (!(axes.Rx > 0)) return;  // a point
    StrokeGroup(stroke);
    const double cx = Written(a.Center.X), cy = Written(-a.Center.Y);
    const double rx = Written(axes.Rx), ry = Written(axes.Ry), turn = Written(axes.Turn * 180 / Pi, TurnDecimals);
    if (IsWholeArc(a)) {
      B_ += rx == ry ? "<circle cx=\"" : "<ellipse cx=\"";
      Num(cx);
      B_ += "\" cy=\"";
      Num(cy);
      if (rx == ry) {
        B_ += "\" r=\"";
        Num(rx);
      } else {
        B_ += "\" rx=\"";
        Num(rx);
        B_ += "\" ry=\"";
        Num(ry);
        if (turn != 0) {
          B_ += "\" transform=\"rotate(";
          Num(turn, TurnDecimals);
          B_ += ' ';
          Num(cx);
          B_ += ' ';
          Num(cy);
          B_ += ')';
        }
      }
      B_ += "\"/>\n";
      Count(o);
      return;
    }
    // The parameter on the axes: tau = sign (t - delta), where U, V project
    // onto the first axis as Rx (cos delta, sin delta), and sign tells
    // whether U, V turn as the axes do.
    const double c = std::cos(axes.Turn), s = std::sin(axes.Turn);
    const double delta = std::atan2(v.X * c + v.Y * s, u.X * c + u.Y * s);
    const double sign = u.X * v.Y - u.Y * v.X >= 0 ? 1 : -1;
    const double from = sign * (a.Start - delta), to = sign * (a.Start + a.Sweep - delta);
    const double wc = std::cos(turn * Pi / 180), ws = std::sin(turn * Pi / 180);
    auto at = [&](double tau) {
      const double x = rx * std::cos(tau), y = ry * std::sin(tau);
      SvgPoint(cx + wc * x - ws * y, cy + ws * x + wc * y);
    };
    B_ += "<path d=\"M";
    at(from);
    const double quarter = Pi / 2, direction = to >= from ? 1 : -1;
    const double first = direction > 0 ? std::floor(from / quarter) + 1 : std::ceil(from / quarter) - 1;
    for (double k = first;; k += direction) {
      const double next = k * quarter;
      const bool last = direction > 0 ? next >= to - 1e-9 : next <= to + 1e-9;
      B_ += 'A';
      Num(rx);
      B_ += ' ';
      Num(ry);
      B_ += ' ';
      Num(turn, TurnDecimals);
      B_ += direction > 0 ? " 0 1 " : " 0 0 ";
      at(last ? to : next);
      if (last) break;
    }
    B_ += "\"/>\n";
    Count(o);
  }

  void Polygon(const TOrigin& o, uint32_t color, std::span<const TPoint> points) override {
    if (points.size() < 3 || !IsFinite(points)) return;
    FillGroup(color);
    B_ += "<path d=\"M";
    Point(points[0]);
    for (size_t i = 1; i < points.size(); ++i) {
      B_ += 'L';
      Point(points[i]);
    }
    B_ += "Z\"/>\n";
    Count(o);
  }

  // A text's glyphs are laid out in their own space (baseline at 0, y down,
  // an em of SizeY): full-width glyphs SizeY wide, stretched across to SizeX,
  // the baseline raised above the cell's bottom. Browsers fit the run to its
  // width exactly (textLength); others follow the monospaced layout.
  void Text(const TOrigin& o, const TText& t) override {
    if (!t.Text || t.Text->empty() || !IsFinite(t) || !(t.SizeY > 0 && t.SizeX > 0)) return;
    const double across = t.SizeX / t.SizeY;
    const std::array<double, 6> glyphs = Glyphs(t.Frame, across, Look::BaselineRaise * t.SizeY);
    for (const double v : glyphs)  // a stretch no number holds
      if (!std::isfinite(v)) return;
    TextGroup(t.Color, t.Font);
    B_ += "<text transform=\"matrix(";
    Matrix(glyphs);
    B_ += ")\" font-size=\"";
    Num(t.SizeY);
    if (t.Spacing != 0) {
      B_ += "\" letter-spacing=\"";
      Num(t.Spacing / across);
    }
    if (t.Width > 0) {
      B_ += "\" textLength=\"";
      Num(t.Width / across);
      B_ += "\" lengthAdjust=\"spacingAndGlyphs";
    }
    B_ += "\">";
    Escaped(*t.Text, false);
    B_ += "</text>\n";
    Count(o);
  }

  // The frame with its diagonals, and the image's name inside at the lower left.
  void Image(const TOrigin& o, const TImage& i) override {
    if (!IsFinite(i)) return;
    CloseGroup();
    const uint32_t color = Override_.value_or(i.Color);
    const TPoint c[4] = {i.Frame({0, 0}), i.Frame({i.Width, 0}), i.Frame({i.Width, i.Height}), i.Frame({0, i.Height})};
    B_ += "<g stroke=\"";
    Color(color);
    B_ += "\" stroke-width=\"";
    Num(Thinnest_);
    B_ += "\"><path d=\"M";
    for (int k = 0; k < 4; ++k) {
      if (k) B_ += 'L';
      Point(c[k]);
    }
    B_ += "ZM";
    Point(c[0]);
    B_ += 'L';
    Point(c[2]);
    B_ += 'M';
    Point(c[1]);
    B_ += 'L';
    Point(c[3]);
    B_ += "\"/>";
    if (i.Name && !i.Name->empty()) {
      const double size = std::clamp(std::fabs(i.Height) / 10, 1.5, 5.0);
      B_ += "<text stroke=\"none\" fill=\"";
      Color(color);
      B_ += "\" font-family=\"sans-serif\" font-size=\"";
      Num(size);
      B_ += "\" transform=\"matrix(";
      Matrix(Glyphs(i.Frame * TMatrix::Translate(size / 2, size / 2), 1, 0));
      B_ += ")\">";
      Escaped(*i.Name, false);
      B_ += "</text>";
    }
    B_ += "</g>\n";
    Count(o);
  }

  void Dot(const TOrigin& o, const TDot& d) override {
    if (!IsFinite(d)) return;
    FillGroup(d.Color);
    B_ += "<circle cx=\"";
    Num(d.At.X);
    B_ += "\" cy=\"";
    Num(-d.At.Y);
    B_ += "\" r=\"";
    Num(std::max(d.Radius, Look::Hairline / 2));
    B_ += "\"/>\n";
    Count(o);
  }

  // An insert drawn by reference: its placement turned into the picture's
  // coordinates (y down).
  void Insert(const TOrigin& o, const TInsert& insert) override {
    if (insert.Definition < 0 || !IsFinite(insert.Placement)) return;
    CloseGroup();
    const TMatrix& m = insert.Placement;
    B_ += "<use xlink:href=\"#";
    Id(insert.Definition);
    B_ += "\" transform=\"matrix(";
    Num(m.A, TurnDecimals);
    B_ += ' ';
    Num(-m.B, TurnDecimals);
    B_ += ' ';
    Num(-m.C, TurnDecimals);
    B_ += ' ';
    Num(m.D, TurnDecimals);
    B_ += ' ';
    Num(m.E);
    B_ += ' ';
    Num(-m.F);
    B_ += ")\"/>\n";
    Count(o);
  }
  // The definitions follow the pass's top level, inside <defs>.
  void Definition(int32_t definition) override {
    CloseGroup();
    B_ += InDefinitions_ ? "</g>\n" : "<defs>\n";
    InDefinitions_ = true;
    B_ += "<g id=\"";
    Id(definition);
    B_ += "\">\n";
  }

  void Raw(std::string_view s) {
    CloseGroup();
    B_ += s;
    Drain();
  }
  void Rect(const TBox& b, std::optional<uint32_t> fill, std::optional<uint32_t> outline, double width) {
    CloseGroup();
    B_ += "<rect x=\"";
    Num(b.Left);
    B_ += "\" y=\"";
    Num(-b.Top);
    B_ += "\" width=\"";
    Num(b.Width());
    B_ += "\" height=\"";
    Num(b.Height());
    if (fill) {
      B_ += "\" fill=\"";
      Color(*fill);
    } else {
      B_ += "\" fill=\"none";
    }
    if (outline) {
      B_ += "\" stroke=\"";
      Color(*outline);
      B_ += "\" stroke-width=\"";
      Num(width);
    }
    B_ += "\"/>\n";
  }
  void Num(double v, int decimals = LengthDecimals) {
    char buf[64];
    B_.append(buf, Format(buf, buf + sizeof buf, v, decimals));
  }
  void Finish() {
    CloseGroup();
    Drain(true);
  }

  uint64_t Shown = 0, Hidden = 0;

 private:
  enum class TGroup { None, Stroke, Fill, Text };

  // Items of the picture's top level are counted (an insert drawn by
  // reference once), not the contents of its definitions.
  void Count(const TOrigin& o) {
    if (!InDefinitions_) ++(o.Visible ? Shown : Hidden);
    Drain();
  }
  // A definition's name: its pass and its number.
  void Id(int32_t definition) {
    B_ += 'p';
    B_ += std::to_string(Pass_);
    B_ += 'd';
    B_ += std::to_string(definition);
  }
  void Drain(bool always = false) {
    if (!always && B_.size() < (1u << 20)) return;
    Out_.write(B_.data(), static_cast<std::streamsize>(B_.size()));
    B_.clear();
  }

  void Point(TPoint p) { SvgPoint(p.X, -p.Y); }
  void SvgPoint(double x, double y) {
    Num(x);
    B_ += ' ';
    Num(y);
  }
  void Color(uint32_t rgb) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    B_ += '#';
    for (int shift = 20; shift >= 0; shift -= 4) B_ += Hex[(rgb >> shift) & 0xF];
  }
  // The glyph space of a text in its frame, as an SVG matrix: x stretched
  // by `across`, y down, the baseline `raise` above the frame's origin.
  static std::array<double, 6> Glyphs(const TMatrix& f, double across, double raise) {
    return {f.A * across, -f.B * across, -f.C, f.D, f.C * raise + f.E, -(f.D * raise + f.F)};
  }
  void Matrix(const std::array<double, 6>& m) {
    for (size_t k = 0; k < m.size(); ++k) {
      if (k) B_ += ' ';
      Num(m[k]);
    }
  }

  void CloseGroup() {
    if (Group_ != TGroup::None) B_ += "</g>\n";
    Group_ = TGroup::None;
  }
  void StrokeGroup(const TStroke& s) {
    TStroke key = s;
    key.Color = Override_.value_or(s.Color);
    key.Width = s.Width > Thinnest_ ? s.Width : Thinnest_;
    key.LineType = 0;
    if (Group_ == TGroup::Stroke && key == GroupStroke_) return;
    CloseGroup();
    Group_ = TGroup::Stroke;
    GroupStroke_ = key;
    B_ += "<g stroke=\"";
    Color(key.Color);
    B_ += "\" stroke-width=\"";
    Num(key.Width);
    if (key.DashCount) {
      B_ += "\" stroke-dasharray=\"";
      for (size_t i = 0; i < key.DashCount; ++i) {
        if (i) B_ += ' ';
        Num(key.Dashes[i]);
      }
    }
    B_ += "\">\n";
  }
  void FillGroup(uint32_t color) {
    color = Override_.value_or(color);
    if (Group_ == TGroup::Fill && GroupColor_ == color) return;
    CloseGroup();
    Group_ = TGroup::Fill;
    GroupColor_ = color;
    B_ += "<g fill=\"";
    Color(color);
    B_ += "\" stroke=\"none\">\n";
  }
  // Texts of one colour and font share a group; the font's name comes first,
  // then Japanese fonts of its kind (明朝 or Mincho: serif), then the generic.
  void TextGroup(uint32_t color, const TJwwString* font) {
    color = Override_.value_or(color);
    static const TJwwString none;
    const TJwwString& name = font ? *font : none;
    if (Group_ == TGroup::Text && GroupColor_ == color && GroupFont_ == name) return;
    CloseGroup();
    Group_ = TGroup::Text;
    GroupColor_ = color;
    if (!(GroupFont_ == name) || Family_.empty()) {
      GroupFont_ = name;
      const std::string utf8 = ToUtf8(name);
      const bool serif = utf8.find("\xE6\x98\x8E\xE6\x9C\x9D") != std::string::npos ||  // 明朝
                         utf8.find("Mincho") != std::string::npos || utf8.find("MINCHO") != std::string::npos;
      std::swap(B_, Family_);
      B_.clear();
      if (!utf8.empty()) {
        B_ += '\'';
        CssString(utf8);
        B_ += "', ";
      }
      B_ += serif ? "'MS Mincho', 'Yu Mincho', 'Hiragino Mincho ProN', 'Noto Serif CJK JP', 'IPAMincho', serif"
                  : "'MS Gothic', 'Yu Gothic', 'Hiragino Sans', 'Noto Sans CJK JP', 'IPAGothic', sans-serif";
      std::swap(B_, Family_);
    }
    B_ += "<g fill=\"";
    Color(color);
    B_ += "\" stroke=\"none\" xml:space=\"preserve\" font-family=\"";
    B_ += Family_;
    B_ += "\">\n";
  }

  // A drawing's string as XML character data (or, quoted, an attribute value
  // in single quotes): UTF-8, control characters and the two non-characters
  // XML forbids left out. Texts of ASCII alone skip the conversion.
  void Escaped(const TJwwString& s, bool quoted) {
    const bool ascii = s.Visit([](auto units) {
      for (const auto u : units)
        if (static_cast<uint32_t>(u) >= 0x80) return false;
      return true;
    });
    if (ascii) {
      s.Visit([&](auto units) {
        for (const auto u : units) EscapedChar(static_cast<char>(u), quoted);
      });
      return;
    }
    XmlBytes(ToUtf8(s), [&](char c) { EscapedChar(c, quoted); });
  }
  // The bytes of UTF-8 text without the two non-characters XML forbids.
  template <class Each>
  static void XmlBytes(const std::string& utf8, Each each) {
    for (size_t i = 0; i < utf8.size(); ++i) {
      if (utf8.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < utf8.size() &&
          (utf8[i + 2] == '\xBE' || utf8[i + 2] == '\xBF')) {
        i += 2;
        continue;
      }
      each(utf8[i]);
    }
  }
  // A font's name inside a CSS string in single quotes, in an attribute in
  // double quotes: a quote or backslash escaped for CSS, then the whole for
  // XML; control characters and XML's non-characters left out.
  void CssString(const std::string& utf8) {
    XmlBytes(utf8, [&](char c) {
      if (c == '\'' || c == '\\') B_ += '\\';
      EscapedChar(c, true);
    });
  }
  void EscapedChar(char c, bool quoted) {
    switch (c) {
      case '&': B_ += "&amp;"; break;
      case '<': B_ += "&lt;"; break;
      case '>': B_ += "&gt;"; break;
      case '"': B_ += quoted ? "&quot;" : "\""; break;
      case '\'': B_ += "'"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20) B_ += c;
    }
  }

  std::ostream& Out_;
  std::string B_;
  std::optional<uint32_t> Override_;
  double Thinnest_ = Look::Hairline;
  bool InDefinitions_ = false;  // within the pass's <defs>
  uint32_t Pass_ = 0;
  TGroup Group_ = TGroup::None;
  TStroke GroupStroke_;
  uint32_t GroupColor_ = 0;
  TJwwString GroupFont_;  // the font of the last text group, and its font-family value
  std::string Family_;
};

void Add(TRenderResult& total, const TRenderResult& r) {
  total.Items += r.Items;
  total.Placements += r.Placements;
  total.BudgetCut = total.BudgetCut || r.BudgetCut;
  total.DepthCuts += r.DepthCuts;
  total.CycleCuts += r.CycleCuts;
  total.Unresolved += r.Unresolved;
  total.Undrawable += r.Undrawable;
}

}  // namespace

TSvgResult WriteSvg(const TJwwData& drawing, std::ostream& out, const TSvgOptions& options) {
  TSvgResult result;
  const bool mark = options.Hidden == THidden::Mark && !options.AllLayers;
  const bool only = options.Hidden == THidden::Only && !options.AllLayers;
  const bool print = options.View == TView::Print;
  TRenderOptions render;
  render.Budget = options.Budget;
  render.AllShown = options.AllLayers;
  render.View = options.View;
  render.Drawable = true;
  render.ReferenceInserts = true;

  // The view: the sheet and every item drawn (a print: the sheet alone,
  // when there is one).
  TExtent extent;
  render.Layers = options.AllLayers || mark ? TLayers::All : only ? TLayers::Hidden : TLayers::Shown;
  Render(drawing, extent, render);
  TBox sheet;
  if (const auto paper = Sheet(drawing)) {
    sheet.Add(TPoint{-paper->Width / 2, -paper->Height / 2});
    sheet.Add(TPoint{paper->Width / 2, paper->Height / 2});
  }
  TBox view = sheet;
  if (!print || sheet.Empty()) view.Merge(extent.Box);
  if (view.Empty()) view = {-50, -50, 50, 50};
  const double margin = std::max(view.Width(), view.Height()) * 0.02 + 1;
  view = {view.Left - margin, view.Bottom - margin, view.Right + margin, view.Top + margin};

  TSvgWriter w(out);
  w.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"");
  w.Num(view.Width());
  w.Raw("mm\" height=\"");
  w.Num(view.Height());
  w.Raw("mm\" viewBox=\"");
  w.Num(view.Left);
  w.Raw(" ");
  w.Num(-view.Top);
  w.Raw(" ");
  w.Num(view.Width());
  w.Raw(" ");
  w.Num(view.Height());
  w.Raw("\">\n");
  w.Raw(mark   ? "<!-- the shown drawing faint, hidden layers in red above it -->\n"
        : only ? "<!-- the material on hidden layers alone -->\n"
               : options.AllLayers ? "<!-- every layer, hidden ones too -->\n"
                                   : "<!-- the drawing as shown: hidden layers left out -->\n");
  if (print) w.Raw("<!-- as printed: no temporary points, no auxiliary elements, the sheet alone -->\n");
  // The whole canvas in the background's colour, the sheet's outline over it.
  w.Rect(view, Background(drawing), std::nullopt, 0);
  if (!sheet.Empty()) w.Rect(sheet, std::nullopt, Svg::SheetOutline, 0.3);
  const bool clip = print && !sheet.Empty();
  if (clip) {
    w.Raw("<clipPath id=\"sheet\">");
    w.Rect(sheet, std::nullopt, std::nullopt, 0);
    w.Raw("</clipPath>\n");
  }

  w.Raw(clip ? "<g fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\" clip-path=\"url(#sheet)\">\n"
             : "<g fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n");
  if (mark) {
    w.Raw("<g opacity=\"");
    w.Num(Look::FaintShare);
    w.Raw("\">\n");
    render.Layers = TLayers::Shown;
    w.Pass(std::nullopt, Look::Hairline);
    Add(result.Render, Render(drawing, w, render));
    w.EndPass();
    w.Raw("</g>\n<g opacity=\"");
    w.Num(Look::HiddenOpacity);
    w.Raw("\">\n");
    render.Layers = TLayers::Hidden;
    w.Pass(Look::HiddenColor, Look::MarkedLine);
    Add(result.Render, Render(drawing, w, render));
    w.EndPass();
    w.Raw("</g>\n");
  } else {
    w.Pass(std::nullopt, Look::Hairline);
    Add(result.Render, Render(drawing, w, render));
    w.EndPass();
  }
  w.Raw("</g>\n");
  if (!result.Render.Complete())
    w.Raw("<!-- not complete: block inserts nested too deep, inserting themselves, or more than the renderer's "
          "budget -->\n");
  if (result.Render.Undrawable)
    w.Raw("<!-- " + std::to_string(result.Render.Undrawable) +
          " element(s) cannot be drawn (not finite, or beyond 100 m) -->\n");
  w.Raw("</svg>\n");
  w.Finish();
  result.ShownItems = w.Shown;
  result.HiddenItems = w.Hidden;
  return result;
}

}  // namespace qm::view
