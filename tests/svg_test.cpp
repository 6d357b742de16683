// The SVG writer on builder-made drawings: what each mode draws, where the
// numbers land once y points down, arcs' flags, texts' placement and escaping.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "drawings.h"
#include "jwwmeaning.h"
#include "testutil.h"
#include "jwwunit.h"
#include "svg.h"
#include "testutil.h"

namespace {

using namespace qm;

using namespace draw;
using namespace qm::view;

using JwwMeaning::Pi;

std::unique_ptr<TJwwData> Load(const Drawing& d) {
  const std::vector<uint8_t> bytes = Build(d);
  auto doc = std::make_unique<TJwwData>();
  EXPECT_TRUE(testutil::Ok(doc->LoadDocument(bytes.data(), bytes.size())));
  return doc;
}

std::string Svg(const TJwwData& doc, const TSvgOptions& o = {}, TSvgResult* result = nullptr) {
  std::ostringstream out;
  const TSvgResult r = WriteSvg(doc, out, o);
  if (result) *result = r;
  return out.str();
}

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

// Every group closed, the document closed.
void ExpectBalanced(const std::string& svg) {
  EXPECT_EQ(Count(svg, "<g "), Count(svg, "</g>"));
  EXPECT_EQ(Count(svg, "<text "), Count(svg, "</text>"));
  EXPECT_TRUE(svg.ends_with("</svg>\n"));
}

// A shown line of pen 6 (blue), a hidden one of pen 3 (green) on group 1, a
// construction point on a shown layer.
Drawing Modes() {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.PenSettings[0].ScreenColor = 0xFFFFFF;
  d.Hdr.PenSettings[3].ScreenColor = 0x00A000;
  d.Hdr.PenSettings[6].ScreenColor = 0xFF0000;
  d.Hdr.LayerGroups[1].State = 0;
  Sen shown = Line(0, 0, 1);
  shown.H.PenColor = 6;
  shown.StartY = 2;
  shown.EndX = 3;
  shown.EndY = 4;
  Sen hidden = Line(1, 0, 10);
  hidden.H.PenColor = 3;
  hidden.StartY = 10;
  hidden.EndX = 20;
  hidden.EndY = 10;
  Ten construction = Point(0, 0, 5);
  construction.Temporary = 1;
  d.Elements = {shown, hidden, construction};
  return d;
}

TEST(SvgTest, EachModeDrawsItsMaterial) {
  auto doc = Load(Modes());
  const std::string shown = "<path d=\"M1 -2L3 -4\"/>", hidden = "<path d=\"M10 -10L20 -10\"/>";
  const std::string dot = "<circle cx=\"5\" cy=\"0\"";

  TSvgResult r;
  const std::string omit = Svg(*doc, {}, &r);
  EXPECT_NE(omit.find("<g stroke=\"#0000FF\" stroke-width=\"0.1\">\n" + shown), std::string::npos) << omit;
  EXPECT_EQ(omit.find(hidden), std::string::npos);
  EXPECT_NE(omit.find(dot), std::string::npos);  // the screen shows temporary points
  EXPECT_EQ(omit.find("opacity"), std::string::npos);
  EXPECT_EQ(r.ShownItems, 2u);
  EXPECT_EQ(r.HiddenItems, 0u);
  ExpectBalanced(omit);
  TSvgOptions print;
  print.View = TView::Print;
  const std::string printed = Svg(*doc, print, &r);
  EXPECT_EQ(printed.find(dot), std::string::npos);  // a print does not
  EXPECT_NE(printed.find(shown), std::string::npos);
  EXPECT_EQ(r.ShownItems, 1u);

  // Mark: the shown drawing faint, then the hidden line in red above it, at
  // least 0.3 mm wide.
  const std::string mark = Svg(*doc, {THidden::Mark}, &r);
  const size_t faint = mark.find("<g opacity=\"0.35\">"), red = mark.find("<g opacity=\"0.6\">");
  ASSERT_NE(faint, std::string::npos);
  ASSERT_NE(red, std::string::npos);
  EXPECT_LT(faint, mark.find(shown));
  EXPECT_LT(mark.find(shown), red);
  EXPECT_NE(mark.find("<g stroke=\"#FF0000\" stroke-width=\"0.3\">\n" + hidden), std::string::npos) << mark;
  EXPECT_GT(mark.find(hidden), red);
  EXPECT_NE(mark.find(dot), std::string::npos);
  EXPECT_EQ(r.ShownItems, 2u);
  EXPECT_EQ(r.HiddenItems, 1u);
  ExpectBalanced(mark);

  const std::string only = Svg(*doc, {THidden::Only}, &r);
  EXPECT_EQ(only.find(shown), std::string::npos);
  EXPECT_NE(only.find("<g stroke=\"#00A000\" stroke-width=\"0.1\">\n" + hidden), std::string::npos) << only;
  EXPECT_EQ(r.HiddenItems, 1u);

  TSvgOptions all;
  all.AllLayers = true;
  const std::string every = Svg(*doc, all, &r);
  EXPECT_NE(every.find(shown), std::string::npos);
  EXPECT_NE(every.find("<g stroke=\"#00A000\" stroke-width=\"0.1\">\n" + hidden), std::string::npos);
  EXPECT_EQ(r.ShownItems, 3u);
}

// A4 (297 x 210) and a line reaching x = 200, off the sheet: the view holds
// both, with a margin of 2 % of its larger side and 1 mm.
TEST(SvgTest, TheViewHoldsTheSheetAndEverythingOffIt) {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.PaperSize = 4;
  d.Hdr.PenSettings[0].ScreenColor = 0xFFFFFF;
  Sen far = Line(0, 0, 0);
  far.EndX = 200;
  d.Elements = {far};
  auto doc = Load(d);
  const std::string svg = Svg(*doc);
  // 348.5 x 210, margin 7.97.
  EXPECT_NE(svg.find("width=\"364.44mm\" height=\"225.94mm\" viewBox=\"-156.47 -112.97 364.44 225.94\""),
            std::string::npos)
      << svg;
  // The whole canvas painted, the sheet's outline over it, then the elements.
  EXPECT_NE(svg.find("<rect x=\"-156.47\" y=\"-112.97\" width=\"364.44\" height=\"225.94\" fill=\"#FFFFFF\"/>\n"
                     "<rect x=\"-148.5\" y=\"-105\" width=\"297\" height=\"210\" fill=\"none\" stroke=\"#808080\""),
            std::string::npos)
      << svg;
  EXPECT_LT(svg.find("<rect"), svg.find("<path"));
}

TEST(SvgTest, ArcsKeepTheirDirectionOnceYPointsDown) {
  Drawing d;
  d.Hdr.Version = 700;
  Enko quarter = Arc(0, 0, 0);
  quarter.Radius = 10;
  quarter.FullCircle = 0;
  quarter.ArcAngle = Pi / 2;  // counter-clockwise from (10, 0) to (0, 10)
  Enko back = quarter;
  back.StartAngle = Pi / 2;
  back.ArcAngle = -Pi / 2;  // clockwise from (0, 10) to (10, 0)
  Enko turned = Arc(0, 0, 0);
  turned.Radius = 4;
  turned.Flatness = 0.5;
  turned.TiltAngle = Pi / 2;  // 4 along y, 2 along x
  Enko big = quarter;
  big.ArcAngle = 1.5 * Pi;
  d.Elements = {quarter, back, turned, big};
  auto doc = Load(d);
  const std::string svg = Svg(*doc);
  EXPECT_NE(svg.find("<path d=\"M10 0A10 10 0 0 0 0 -10\"/>"), std::string::npos) << svg;
  EXPECT_NE(svg.find("<path d=\"M0 -10A10 10 0 0 1 10 0\"/>"), std::string::npos);
  // Whole: an ellipse turned about its centre. Three quarters: three parts.
  EXPECT_NE(svg.find("<ellipse cx=\"0\" cy=\"0\" rx=\"4\" ry=\"2\" transform=\"rotate(-90 0 0)\"/>"),
            std::string::npos);
  EXPECT_NE(svg.find("<path d=\"M10 0A10 10 0 0 0 0 -10A10 10 0 0 0 -10 0A10 10 0 0 0 0 10\"/>"), std::string::npos);
}

TEST(SvgTest, TextsArePlacedStretchedAndEscaped) {
  Drawing d;
  d.Hdr.Version = 600;
  Moji t = Text(0, 0, 10, "a<b&c");
  t.StartY = 20;
  t.SizeX = 2;
  t.SizeY = 4;
  Moji mincho = Text(0, 0, 0, "\x96\xBE");  // 明
  mincho.FontName = "\x82\x6C\x82\x72 \x96\xBE\x92\xA9";  // ＭＳ 明朝
  mincho.Angle = 90;
  Moji empty = Text(0, 0, 0, "x");
  empty.SizeY = 0;  // no height: nothing to draw
  d.Elements = {t, mincho, empty};
  auto doc = Load(d);
  doc->Texts[0].Text = "a<b&c\x01";  // the reader drops control characters; a document made in memory may not
  TSvgResult r;
  const std::string svg = Svg(*doc, {}, &r);
  // Full-width glyphs 4 wide stretched to 2 (x 0.5); the baseline 0.12 x 4
  // above the cell's bottom at y = 20; six bytes of half-width characters
  // make a run of 6 mm (12 glyph units), the control character not drawn.
  EXPECT_NE(svg.find("<text transform=\"matrix(0.5 0 0 1 10 -20.48)\" font-size=\"4\" textLength=\"12\" "
                     "lengthAdjust=\"spacingAndGlyphs\">a&lt;b&amp;c</text>"),
            std::string::npos)
      << svg;
  EXPECT_NE(svg.find("font-family=\"'\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF', "
                     "'MS Gothic'"),
            std::string::npos);
  EXPECT_NE(svg.find("sans-serif\">"), std::string::npos);
  // Turned by 90 degrees: the run up the paper (-y in SVG), the glyphs' down
  // along +x, the baseline 0.12 to the left of the start.
  EXPECT_NE(svg.find("<text transform=\"matrix(0 -1 1 0 -0.12 0)\" font-size=\"1\""), std::string::npos);
  EXPECT_NE(svg.find("'IPAMincho', serif\">"), std::string::npos);
  EXPECT_EQ(Count(svg, "<text "), 2u);  // not the text of no height
  ExpectBalanced(svg);
}

TEST(SvgTest, NumbersThatAreNotFiniteAreLeftOut) {
  Drawing d;
  d.Hdr.Version = 700;
  Sen bad = Line(0, 0, 0);
  bad.EndX = std::numeric_limits<double>::infinity();
  Sen good = Line(0, 0, 1);
  good.EndX = 1e12;
  d.Elements = {bad, good};
  auto doc = Load(d);
  TSvgResult r;
  const std::string svg = Svg(*doc, {}, &r);
  EXPECT_EQ(r.Render.Undrawable, 1u);
  EXPECT_EQ(svg.find("inf"), std::string::npos);
  EXPECT_NE(svg.find("<path d=\"M1 0L100000 0\"/>"), std::string::npos) << svg;  // cut at 100 m
}

// ---------------------------------------------------------------------------
// Exact curves: what a viewer's arc rule makes of the written numbers.

// The centre a viewer finds for one arc command, by the arc rule (the
// endpoint-to-centre conversion of SVG's implementation notes).
TPoint ArcRuleCentre(TPoint p1, TPoint p2, double rx, double ry, double degrees, bool large, bool sweep) {
  const double phi = degrees * Pi / 180, c = std::cos(phi), s = std::sin(phi);
  const double dx = (p1.X - p2.X) / 2, dy = (p1.Y - p2.Y) / 2;
  const double x1 = c * dx + s * dy, y1 = -s * dx + c * dy;
  const double lambda = x1 * x1 / (rx * rx) + y1 * y1 / (ry * ry);
  if (lambda > 1) {
    rx *= std::sqrt(lambda);
    ry *= std::sqrt(lambda);
  }
  const double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
  const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
  const double k = (large != sweep ? 1 : -1) * std::sqrt(std::max(0.0, num / den));
  const double cx1 = k * rx * y1 / ry, cy1 = -k * ry * x1 / rx;
  return {c * cx1 - s * cy1 + (p1.X + p2.X) / 2, s * cx1 + c * cy1 + (p1.Y + p2.Y) / 2};
}

// The centres of every arc command of a path "M x y A rx ry turn large sweep x y A ...".
std::vector<TPoint> ArcCentres(const std::string& d) {
  std::vector<double> n;
  std::string number;
  for (const char c : d + " ") {
    if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == '+') {
      number += c;
    } else if (!number.empty()) {
      n.push_back(std::stod(number));
      number.clear();
    }
  }
  std::vector<TPoint> centres;
  TPoint at{n.at(0), n.at(1)};
  for (size_t i = 2; i + 7 <= n.size(); i += 7) {
    const TPoint to{n[i + 5], n[i + 6]};
    centres.push_back(ArcRuleCentre(at, to, n[i], n[i + 1], n[i + 2], n[i + 3] != 0, n[i + 4] != 0));
    at = to;
  }
  return centres;
}

// The first path's d after the given text.
std::string PathAfter(const std::string& svg, const std::string& text) {
  const size_t at = svg.find("<path d=\"", svg.find(text));
  if (at == std::string::npos) return {};
  return svg.substr(at + 9, svg.find('"', at + 9) - at - 9);
}

TEST(SvgTest, CirclesAndEllipsesAreExactAndArcsKeepTheirCentre) {
  Drawing d;
  d.Hdr.Version = 700;
  // A ring of radius 50 sqrt(3) = 86.60254 around (12.3456, 7.8912).
  Enko ring = Arc(0, 0, 12.3456);
  ring.CenterY = 7.8912;
  ring.Radius = 86.60254037844386;
  // An ellipse of semi-axes 50 and 30 turned by 30 degrees: whole, and from
  // 0.2 through 5.7 radians (315 degrees: cut at three quadrants, four parts).
  Enko tilted = Arc(0, 0, 3.0004);
  tilted.CenterY = -4.0006;
  tilted.Radius = 50;
  tilted.Flatness = 0.6;
  tilted.TiltAngle = Pi / 6;
  Enko tiltedArc = tilted;
  tiltedArc.FullCircle = 0;
  tiltedArc.StartAngle = 0.2;
  tiltedArc.ArcAngle = 5.5;
  tiltedArc.H.PenColor = 3;
  tiltedArc.H.PenWidth = 0;  // the pen's
  // The half ring from 30 to 210 degrees: its ends (75, 43.30127) and
  // (-75, -43.30127) round to (75, 43.301) and (-75, -43.301), half a
  // chord of 86.60240 under the written radius 86.603. Drawn as two half
  // arcs of that radius, the arc rule places the centre
  // sqrt(86.603^2 - 86.6024^2) = 0.32 mm off (0, 0).
  Enko half = Arc(0, 0, 0);
  half.Radius = 86.60254037844386;
  half.FullCircle = 0;
  half.StartAngle = Pi / 6;
  half.ArcAngle = Pi;
  half.H.PenColor = 4;
  half.H.PenWidth = 0;
  d.Hdr.PenSettings[3].PrinterWidth = 30;
  d.Hdr.PenSettings[4].PrinterWidth = 40;
  d.Elements = {ring, tilted, tiltedArc, half};
  auto doc = Load(d);
  const std::string svg = Svg(*doc);

  EXPECT_NE(svg.find("<circle cx=\"12.346\" cy=\"-7.891\" r=\"86.603\"/>"), std::string::npos) << svg;
  // y turns down: the turn of 30 degrees becomes -30, about the centre.
  EXPECT_NE(svg.find("<ellipse cx=\"3\" cy=\"4.001\" rx=\"50\" ry=\"30\" transform=\"rotate(-30 3 4.001)\"/>"),
            std::string::npos)
      << svg;

  const std::vector<TPoint> arc = ArcCentres(PathAfter(svg, "stroke-width=\"0.3\""));
  ASSERT_EQ(arc.size(), 4u) << svg;
  for (const TPoint& c : arc) {
    EXPECT_NEAR(c.X, 3.0004, 0.0015);
    EXPECT_NEAR(c.Y, 4.0006, 0.0015);
  }
  const std::vector<TPoint> halves = ArcCentres(PathAfter(svg, "stroke-width=\"0.4\""));
  ASSERT_EQ(halves.size(), 3u) << svg;
  for (const TPoint& c : halves) {
    EXPECT_NEAR(c.X, 0, 0.0015);
    EXPECT_NEAR(c.Y, 0, 0.0015);
  }
}

TEST(SvgTest, ABlackBackgroundPaintsTheWholeCanvas) {
  // A4 on black; a white line off the sheet, from x = 200 to 260.
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.PaperSize = 4;
  d.Hdr.PenSettings[0].ScreenColor = 0x000000;
  d.Hdr.PenSettings[2].ScreenColor = 0xFFFFFF;
  Sen off = Line(0, 0, 200);
  off.H.PenColor = 2;
  off.EndX = 260;
  d.Elements = {off};
  auto doc = Load(d);
  const std::string svg = Svg(*doc);
  // The extent -148.5 .. 260 by -105 .. 105, a margin of 408.5 x 0.02 + 1 =
  // 9.17: the canvas from -157.67 over 426.84, from -114.17 over 228.34,
  // painted black before anything else; the sheet's outline over it.
  const size_t canvas = svg.find(
      "<rect x=\"-157.67\" y=\"-114.17\" width=\"426.84\" height=\"228.34\" fill=\"#000000\"/>\n"
      "<rect x=\"-148.5\" y=\"-105\" width=\"297\" height=\"210\" fill=\"none\" stroke=\"#808080\"");
  ASSERT_NE(canvas, std::string::npos) << svg;
  EXPECT_EQ(svg.find("<rect"), canvas);
  EXPECT_NE(svg.find("<g stroke=\"#FFFFFF\" stroke-width=\"0.1\">\n<path d=\"M200 0L260 0\"/>"), std::string::npos);
}

// Geometry near the largest double: what lies wholly beyond 100 m or is not
// finite is left out and counted, and the picture is the sheet's.
TEST(SvgTest, HugeNumbersGiveAFiniteSheetSizedPicture) {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.PaperSize = 4;
  Enko huge = Arc(0, 0, 0);
  huge.Radius = 1.5e308;
  Sen far = Line(0, 0, 1e308);
  far.EndY = 5;
  far.EndX = 1e308;
  Sen nan = Line(0, 0, 0);
  nan.StartY = std::numeric_limits<double>::quiet_NaN();
  Block scaled = Insert(0, 0, 1, 0);
  scaled.ScaleX = scaled.ScaleY = 1e308;
  scaled.Angle = 1;
  d.Blocks = {Def(1, "ring", {Arc(0, 0, 0)})};  // a circle of radius 1 around the origin
  Moji stretched = Text(0, 0, 0, "x");  // a tiny text whose glyphs are 1e310 times as wide as high
  stretched.SizeX = 1e-10;
  stretched.SizeY = 1e-320;
  d.Elements = {huge, far, nan, scaled, stretched, Line(0, 0, 10)};
  auto doc = Load(d);
  TSvgResult r;
  const std::string svg = Svg(*doc, {}, &r);
  EXPECT_EQ(r.Render.Undrawable, 5u);
  EXPECT_EQ(r.ShownItems, 1u);
  // A4 with a margin of 297 x 0.02 + 1 = 6.94.
  EXPECT_NE(svg.find("viewBox=\"-155.44 -111.94 310.88 223.88\""), std::string::npos) << svg;
  for (const char* bad : {"inf", "nan", "e+", "<use", "<circle", "<ellipse"})
    EXPECT_EQ(svg.find(bad), std::string::npos) << bad << "\n" << svg;
  EXPECT_NE(svg.find("<!-- 5 element(s) cannot be drawn (not finite, or beyond 100 m) -->"), std::string::npos);

  // A line across the whole range of doubles, through the centre, is cut at
  // 100 m: y = -x meets x = -100000 at y = 100000 (in SVG, y down).
  Sen across = Line(0, 0, -1e308);
  across.StartY = 1e308;
  across.EndX = 1e308;
  across.EndY = -1e308;
  d.Elements = {across};
  doc = Load(d);
  const std::string cut = Svg(*doc, {}, &r);
  EXPECT_EQ(r.Render.Undrawable, 0u);
  EXPECT_NE(cut.find("<path d=\"M-100000 -100000L100000 100000\"/>"), std::string::npos) << cut;
  EXPECT_NE(cut.find("viewBox=\"-104001 -104001 208002 208002\""), std::string::npos);  // margin 4001
}

// 10,000 inserts of one definition, 5,000 of them at twice its size (a
// thousand of those mirrored), and one stretched along x.
TEST(SvgTest, InsertsShareTheirDefinitionOncePerScale) {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.PenSettings[6] = {0xFF0000, 1, 0xFF0000, 35, 0.5};
  Sen stroke = Line(0, 0, 0);
  stroke.H.PenColor = 6;
  stroke.H.PenWidth = 0;  // the pen's
  stroke.EndX = 10;
  d.Blocks = {Def(1, "mark", {stroke})};
  auto placed = [](int i) {
    Block b = Insert(0, 0, 1, i % 100);
    if (i == 10000) {
      b.ScaleX = 3;
      return b;
    }
    b.Y = i / 100;
    b.Angle = i * 0.001;
    if (i % 2) b.ScaleX = b.ScaleY = 2;
    if (i % 10 == 1) b.ScaleX = -2;
    return b;
  };
  for (int i = 0; i <= 10000; ++i) d.Elements.emplace_back(placed(i));
  auto doc = Load(d);
  TSvgResult r;
  const std::string svg = Svg(*doc, {}, &r);
  EXPECT_EQ(Count(svg, "<g id="), 2u);
  EXPECT_EQ(Count(svg, "<use "), 10000u);
  EXPECT_EQ(r.ShownItems, 10001u);
  // Made at each scale: the line 10 and 20 long, 0.35 wide in both.
  EXPECT_NE(svg.find("<g id=\"p0d0\">\n<g stroke=\"#0000FF\" stroke-width=\"0.35\">\n<path d=\"M0 0L10 0\"/>"),
            std::string::npos)
      << svg.substr(svg.find("<defs>"));
  EXPECT_NE(svg.find("<g id=\"p0d1\">\n<g stroke=\"#0000FF\" stroke-width=\"0.35\">\n<path d=\"M0 0L20 0\"/>"),
            std::string::npos);
  // The second insert at (1, 0), turned by 0.001 radians and mirrored along
  // x: (x, y) -> (-x cos - y sin + 1, -x sin + y cos) with cos 0.9999995,
  // sin 0.00099999983; once y points down, (-cos, sin, sin, cos, 1, 0).
  EXPECT_NE(svg.find("<use xlink:href=\"#p0d1\" transform=\"matrix(-0.9999995 0.001 0.001 0.9999995 1 0)\"/>"),
            std::string::npos);
  // The third, turned by 0.002, not mirrored: (cos, -sin, sin, cos, 2, 0).
  EXPECT_NE(
      svg.find("<use xlink:href=\"#p0d0\" transform=\"matrix(0.999998 -0.001999999 0.001999999 0.999998 2 0)\"/>"),
      std::string::npos);
  // The last, stretched along x: expanded, 30 long.
  EXPECT_NE(svg.find("<path d=\"M0 0L30 0\"/>"), std::string::npos);
  ExpectBalanced(svg);
}

TEST(SvgTest, AFontNameIsQuotedForCss) {
  Drawing d;
  d.Hdr.Version = 600;
  Moji t = Text(0, 0, 0, "x");
  t.FontName = "O'Neil\\\"Font";
  d.Elements = {t};
  auto doc = Load(d);
  const std::string svg = Svg(*doc);
  EXPECT_NE(svg.find("font-family=\"'O\\'Neil\\\\&quot;Font', 'MS Gothic'"), std::string::npos) << svg;
}

// A4 landscape: half 148.5 by 105.
TEST(SvgTest, APrintHoldsWhatThePrinterPrints) {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.PaperSize = 4;
  Sen auxiliaryType = Line(0, 0, 1);
  auxiliaryType.H.PenStyle = 9;
  Moji auxiliaryColor = Text(0, 0, 2, "aux");
  auxiliaryColor.H.PenColor = 9;
  Ten temporary = Point(0, 0, 3);
  temporary.Temporary = 1;
  Sen outside = Line(0, 0, 150);  // 150 .. 151
  Sen across = Line(0, 0, 140);
  across.EndX = 160;
  Sen kept = Line(0, 0, 4);
  d.Elements = {auxiliaryType, auxiliaryColor, temporary, outside, across, kept};
  auto doc = Load(d);
  TSvgResult r;
  const std::string screen = Svg(*doc, {}, &r);
  EXPECT_EQ(r.ShownItems, 6u);
  EXPECT_NE(screen.find("stroke-dasharray=\"0.625 1.875\">\n<path d=\"M1 0L2 0\"/>"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("clip-path"), std::string::npos);

  TSvgOptions o;
  o.View = TView::Print;
  const std::string print = Svg(*doc, o, &r);
  EXPECT_EQ(r.ShownItems, 2u);  // the line across the sheet's edge, and the one on it
  EXPECT_NE(print.find("<path d=\"M140 0L160 0\"/>"), std::string::npos) << print;
  EXPECT_NE(print.find("<path d=\"M4 0L5 0\"/>"), std::string::npos);
  EXPECT_NE(print.find("<clipPath id=\"sheet\"><rect x=\"-148.5\" y=\"-105\" width=\"297\" height=\"210\" "
                       "fill=\"none\"/>\n</clipPath>\n<g fill=\"none\" stroke-linecap=\"round\" "
                       "stroke-linejoin=\"round\" clip-path=\"url(#sheet)\">"),
            std::string::npos)
      << print;
  EXPECT_NE(print.find("viewBox=\"-155.44 -111.94 310.88 223.88\""), std::string::npos);  // the sheet alone
  ExpectBalanced(print);
}

}  // namespace
