// The SVG writer on builder-made drawings: what each mode draws, where the
// numbers land once y points down, arcs' flags, texts' placement and escaping.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "drawings.h"
#include "testutil.h"
#include "jwwunit.h"
#include "svg.h"
#include "testutil.h"

namespace {

using namespace draw;
using namespace qm::view;

constexpr double Pi = 3.14159265358979323846;

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

}  // namespace
