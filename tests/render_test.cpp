// The renderer's display list on drawings made by the builder: every number
// below is worked out by hand from the drawing, not by running the renderer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "displaylist.h"
#include "drawings.h"
#include "testutil.h"
#include "jwwmeaning.h"
#include "jwwunit.h"
#include "render.h"
#include "testutil.h"

namespace {

using namespace qm;

using namespace draw;
using namespace qm::view;

using JwwMeaning::Pi;
constexpr double Eps = 1e-9;

std::unique_ptr<TJwwData> Load(const Drawing& d) {
  const std::vector<uint8_t> bytes = Build(d);
  auto doc = std::make_unique<TJwwData>();
  EXPECT_TRUE(testutil::Ok(doc->LoadDocument(bytes.data(), bytes.size())));
  return doc;
}

TDisplayList RenderList(const TJwwData& doc, const TRenderOptions& o = {}) {
  TDisplayList list;
  Render(doc, list, o);
  return list;
}

#define EXPECT_POINT(p, x, y)     \
  do {                            \
    EXPECT_NEAR((p).X, (x), Eps); \
    EXPECT_NEAR((p).Y, (y), Eps); \
  } while (0)

// Pens 2 (black, 0.25 mm) and 6 (blue, 0.35 mm, dots of 0.7 mm) as the CAD
// program stores them (0x00BBGGRR), extended colour 102 red.
Drawing WithPens(int32_t version) {
  Drawing d;
  d.Hdr.Version = version;
  d.Hdr.PenSettings[2] = {0x000000, 1, 0x000000, 25, 0.5};
  d.Hdr.PenSettings[6] = {0xFF0000, 1, 0xFF0000, 35, 0.7};
  d.Hdr.ColorsEx[2].ScreenColor = 0x0000FF;
  d.Hdr.ColorsEx[2].PrinterWidth = 13;
  return d;
}

EntHdr Pen(uint16_t color, uint8_t style = 1, uint16_t width = 0, uint16_t group = 0, uint16_t layer = 0) {
  EntHdr h = On(group, layer);
  h.PenColor = color;
  h.PenStyle = style;
  h.PenWidth = width;
  return h;
}

TEST(RenderTest, OneElementOfEachKind) {
  Drawing d = WithPens(700);
  d.Hdr.LayerGroups[1].Scale = 100;  // reading dimensions only: no part in drawing
  d.Elements.push_back(Sen{Pen(6, 4), 1, 2, 3, 5});
  d.Elements.push_back(Sen{Pen(102, 1, 50, 1), 1, 1, 2, 2});
  Enko arc;
  arc.H = Pen(2);
  arc.CenterX = 10;
  arc.CenterY = 20;
  arc.Radius = 4;
  arc.Flatness = 0.5;
  arc.TiltAngle = Pi / 6;
  arc.StartAngle = 0.25;
  arc.ArcAngle = 1.5;
  arc.FullCircle = 0;
  d.Elements.push_back(arc);
  Ten point;
  point.H = Pen(6);
  point.X = 7;
  point.Y = -3;
  point.Temporary = 1;
  d.Elements.push_back(point);
  Moji text = Text(0, 0, 100, "AB\x82\xA0");  // A, B and the full-width あ
  text.H.PenColor = 6;
  text.StartY = -50;
  text.SizeX = 3;
  text.SizeY = 4;
  text.Spacing = 0.5;
  text.Angle = 30;
  d.Elements.push_back(text);
  Moji image = Text(0, 0, 5, "^@BM%temp%pic.bmp,40,30,0,0,1,0");
  image.StartY = 6;
  d.Elements.push_back(image);
  Solid solid;
  solid.H = Pen(10);
  solid.Color = 0xC0E0FF;  // 0x00BBGGRR
  solid.StartX = 1;
  solid.EndX = 4;
  solid.Point2X = 4;
  solid.Point2Y = 2;
  solid.Point3Y = 2;
  d.Elements.push_back(solid);
  auto doc = Load(d);
  const TDisplayList list = RenderList(*doc);
  ASSERT_EQ(list.Size(), 7u);

  // A line of pen 6 and line type 4 (dashes 3 on, 1 off), the pen's width.
  ASSERT_EQ(list[0].Kind, TItemKind::Polyline);
  ASSERT_EQ(list.Points(list[0]).size(), 2u);
  EXPECT_POINT(list.Points(list[0])[0], 1, 2);
  EXPECT_POINT(list.Points(list[0])[1], 3, 5);
  const TStroke& blue = list.Stroke(list[0]);
  EXPECT_EQ(blue.Color, 0x0000FFu);
  EXPECT_DOUBLE_EQ(blue.Width, 0.35);
  ASSERT_EQ(blue.DashCount, 2);
  EXPECT_DOUBLE_EQ(blue.Dashes[0], 3);
  EXPECT_DOUBLE_EQ(blue.Dashes[1], 1);
  // Colour 102, its own width of 0.5 mm; the group's scale changes nothing.
  const TStroke& red = list.Stroke(list[1]);
  EXPECT_EQ(red.Color, 0xFF0000u);
  EXPECT_DOUBLE_EQ(red.Width, 0.5);
  EXPECT_TRUE(IsSolid(red));
  EXPECT_POINT(list.Points(list[1])[1], 2, 2);

  // The ellipse: semi-axis 4 along 30 degrees, 2 across it.
  ASSERT_EQ(list[2].Kind, TItemKind::Arc);
  const TArc& a = list.Arc(list[2]);
  EXPECT_POINT(a.Center, 10, 20);
  EXPECT_POINT(a.U, 3.4641016151377544, 2);
  EXPECT_POINT(a.V, -1, 1.7320508075688772);
  EXPECT_EQ(a.Start, 0.25);
  EXPECT_EQ(a.Sweep, 1.5);
  EXPECT_FALSE(a.Whole);
  EXPECT_DOUBLE_EQ(list.Stroke(list[2]).Width, 0.25);

  ASSERT_EQ(list[3].Kind, TItemKind::Dot);
  const TDot& dot = list.Dot(list[3]);
  EXPECT_POINT(dot.At, 7, -3);
  EXPECT_DOUBLE_EQ(dot.Radius, 0.7);
  EXPECT_EQ(dot.Color, 0x0000FFu);
  EXPECT_TRUE(dot.Construction);

  // Three characters, four bytes: 2 x 3 mm, and two gaps of 0.5 mm.
  ASSERT_EQ(list[4].Kind, TItemKind::Text);
  const TText t = list.Text(list[4]);
  EXPECT_DOUBLE_EQ(t.Width, 7);
  EXPECT_EQ(t.SizeX, 3);
  EXPECT_EQ(t.SizeY, 4);
  EXPECT_EQ(t.Spacing, 0.5);
  EXPECT_NEAR(t.Frame.A, 0.8660254037844387, Eps);
  EXPECT_NEAR(t.Frame.B, 0.5, Eps);
  EXPECT_NEAR(t.Frame.C, -0.5, Eps);
  EXPECT_NEAR(t.Frame.D, 0.8660254037844387, Eps);
  EXPECT_EQ(t.Frame.E, 100);
  EXPECT_EQ(t.Frame.F, -50);
  EXPECT_NEAR(t.Angle(), Pi / 6, Eps);
  EXPECT_EQ(*t.Text, "AB\x82\xA0");
  EXPECT_EQ(*t.Font, "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E");
  EXPECT_EQ(t.Color, 0x0000FFu);

  ASSERT_EQ(list[5].Kind, TItemKind::Image);
  const TImage i = list.Image(list[5]);
  EXPECT_EQ(*i.Name, "pic.bmp");
  EXPECT_EQ(i.Width, 40);
  EXPECT_EQ(i.Height, 30);
  EXPECT_EQ(i.Frame, TMatrix::Translate(5, 6));

  ASSERT_EQ(list[6].Kind, TItemKind::Polygon);
  EXPECT_EQ(list.Fill(list[6]), 0xFFE0C0u);
  const auto corners = list.Points(list[6]);
  ASSERT_EQ(corners.size(), 4u);
  EXPECT_POINT(corners[0], 1, 0);
  EXPECT_POINT(corners[1], 4, 0);
  EXPECT_POINT(corners[2], 4, 2);
  EXPECT_POINT(corners[3], 0, 2);

  // Boxes: the line's, and the text's cell turned by 30 degrees.
  EXPECT_EQ(list[0].Box, (std::array<float, 4>{1, 2, 3, 5}));
  EXPECT_NEAR(list[4].Box[0], 100 - 4 * 0.5, 1e-4);
  EXPECT_NEAR(list[4].Box[3], -50 + 7 * 0.5 + 4 * 0.8660254, 1e-4);
}

TEST(RenderTest, DimensionsDrawTheirExtensionFromVersion420) {
  for (const int32_t version : {400, 420}) {
    Drawing d = WithPens(version);
    Sunpou dim = Dim(0, 0, 0);
    dim.Line = Sen{Pen(2), 0, -10, 40, -10};
    dim.AuxLine1 = Sen{Pen(2), 0, 0, 0, -12};
    dim.AuxLine2 = Sen{Pen(2), 40, 0, 40, -12};
    dim.Point1.X = 40;
    dim.Point1.Y = -10;
    d.Elements = {dim};
    auto doc = Load(d);
    const TDisplayList list = RenderList(*doc);
    std::vector<TItemKind> kinds;
    for (const auto& e : list.Entries()) kinds.push_back(e.Kind);
    if (version == 400) {
      EXPECT_EQ(kinds, (std::vector<TItemKind>{TItemKind::Polyline, TItemKind::Text}));
    } else {
      EXPECT_EQ(kinds, (std::vector<TItemKind>{TItemKind::Polyline, TItemKind::Text, TItemKind::Polyline,
                                               TItemKind::Polyline, TItemKind::Dot, TItemKind::Dot, TItemKind::Dot,
                                               TItemKind::Dot}));
      EXPECT_POINT(list.Points(list[3])[1], 40, -12);
      EXPECT_POINT(list.Dot(list[4]).At, 40, -10);
    }
  }
}

TEST(RenderTest, OlderPenNumbersAndExtendedLineTypes) {
  // Below 4.20 line type 33 is today's 3 and colour 103 today's 3; from 4.20
  // line type 33 is the extended type 3 with its own pitches.
  Drawing old = WithPens(351);
  old.Hdr.PenSettings[3] = {0x00A000, 1, 0, 18, 1};
  old.Elements = {Sen{Pen(103, 33), 0, 0, 1, 0}};
  auto doc = Load(old);
  TDisplayList list = RenderList(*doc);
  ASSERT_EQ(list.Size(), 1u);
  EXPECT_EQ(list.Stroke(list[0]).Color, 0x00A000u);
  EXPECT_DOUBLE_EQ(list.Stroke(list[0]).Width, 0.18);
  EXPECT_EQ(list.Stroke(list[0]).DashCount, 2);
  EXPECT_EQ(list.Stroke(list[0]).Dashes[0], 1);

  Drawing now = WithPens(700);
  now.Hdr.LineTypesEx[3].SegmentCount = 4;
  now.Hdr.LineTypesEx[3].Pitches = {2, 1, 0.5, 1};
  now.Elements = {Sen{Pen(2, 33), 0, 0, 1, 0}, Sen{Pen(2, 77), 0, 0, 1, 0}};
  doc = Load(now);
  list = RenderList(*doc);
  ASSERT_EQ(list.Size(), 2u);
  const TStroke& s = list.Stroke(list[0]);
  ASSERT_EQ(s.DashCount, 4);
  EXPECT_EQ((std::vector<double>(s.Dashes.begin(), s.Dashes.begin() + 4)), (std::vector<double>{2, 1, 0.5, 1}));
  EXPECT_TRUE(IsSolid(list.Stroke(list[1])));  // no line type 77: written as 0, drawn solid
}

TEST(RenderTest, ItemsCarryTheirLayerAndWhetherItIsShown) {
  Drawing d = WithPens(600);
  d.Hdr.LayerGroups[3].State = 0;
  d.Hdr.Layers[0 * 16 + 5].State = 0;
  d.Elements = {Line(0, 1, 1), Line(3, 2, 2), Line(0, 5, 3), Line(20, 5, 4), Line(0, 17, 5)};
  auto doc = Load(d);
  const TDisplayList all = RenderList(*doc);
  ASSERT_EQ(all.Size(), 5u);
  const std::vector<TOrigin> want = {{0, 0, 1, true}, {1, 3, 2, false}, {2, 0, 5, false}, {3, 0, 5, false},
                                     {4, 0, 0, true}};
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(all[i].Origin, want[i]) << i;

  TRenderOptions o;
  o.Layers = TLayers::Shown;
  EXPECT_EQ(RenderList(*doc, o).Size(), 2u);
  o.Layers = TLayers::Hidden;
  const TDisplayList hidden = RenderList(*doc, o);
  ASSERT_EQ(hidden.Size(), 3u);
  EXPECT_EQ(hidden[0].Origin.Element, 1u);
  o.Layers = TLayers::All;
  o.AllShown = true;
  const TDisplayList on = RenderList(*doc, o);
  ASSERT_EQ(on.Size(), 5u);
  for (const auto& e : on.Entries()) EXPECT_TRUE(e.Origin.Visible);
}

// A (5): a line on the hidden layer 0-9, and B at (5, 0) at half size.
// B (7): a circle of radius 1 around (1, 0).
// The top-level insert places A at (10, 20), twice as wide, three times as
// high, turned by 90 degrees: (x, y) -> (10 - 3y, 20 + 2x).
TEST(RenderTest, NestedTurnedInsertsAndTheirOrigin) {
  Drawing d = WithPens(700);
  d.Hdr.Layers[9].State = 0;
  d.Hdr.Layers[4].State = 0;
  Enko circle = Arc(0, 0, 1);
  circle.Radius = 1;
  Block inner = Insert(0, 0, 7, 5);
  inner.ScaleX = inner.ScaleY = 0.5;
  d.Blocks = {Def(5, "A", {Sen{Pen(2, 1, 0, 0, 9), 1, 0, 2, 0}, inner}), Def(7, "B", {circle})};
  Block outer = Insert(0, 1, 5, 10);
  outer.Y = 20;
  outer.ScaleX = 2;
  outer.ScaleY = 3;
  outer.Angle = Pi / 2;
  d.Elements = {outer, Insert(0, 4, 7, -5)};  // the second on the hidden layer 0-4
  auto doc = Load(d);
  const TDisplayList list = RenderList(*doc);
  ASSERT_EQ(list.Size(), 3u);
  EXPECT_POINT(list.Points(list[0])[0], 10, 22);
  EXPECT_POINT(list.Points(list[0])[1], 10, 24);
  // (1, 0) -> half size (0.5, 0) -> at (5.5, 0) -> (10, 31); the radius along
  // x becomes (0, 1), along y (-1.5, 0).
  const TArc& a = list.Arc(list[1]);
  EXPECT_POINT(a.Center, 10, 31);
  EXPECT_POINT(a.U, 0, 1);
  EXPECT_POINT(a.V, -1.5, 0);
  EXPECT_TRUE(a.Whole);
  // The contents take the insert's origin: shown, although A's line lies on
  // a hidden layer; B placed by the hidden insert is hidden.
  EXPECT_EQ(list[0].Origin, (TOrigin{0, 0, 1, true}));
  EXPECT_EQ(list[1].Origin, (TOrigin{0, 0, 1, true}));
  EXPECT_EQ(list[2].Origin, (TOrigin{1, 0, 4, false}));
  EXPECT_POINT(list.Arc(list[2]).Center, -4, 0);

  // Unexpanded: one insert item each, then each definition reached once.
  TRenderOptions flat;
  flat.ExpandInserts = false;
  const TDisplayList f = RenderList(*doc, flat);
  std::vector<TItemKind> kinds;
  for (const auto& e : f.Entries()) kinds.push_back(e.Kind);
  EXPECT_EQ(kinds, (std::vector<TItemKind>{TItemKind::Insert, TItemKind::Insert, TItemKind::Definition,
                                           TItemKind::Polyline, TItemKind::Insert, TItemKind::Definition,
                                           TItemKind::Arc}));
  EXPECT_EQ(f.Insert(f[0]).Definition, 0);  // A, reached first
  EXPECT_EQ(f.Insert(f[1]).Definition, 1);  // B
  EXPECT_EQ(f.Insert(f[4]).Definition, 1);
  EXPECT_NEAR(f.Insert(f[0]).Placement.C, -3, Eps);
  EXPECT_EQ(f.Insert(f[4]).Placement, (TMatrix{0.5, 0, 0, 0.5, 5, 0}));
}

TEST(RenderTest, ArcBoxesAreExact) {
  TArc quarter{{0, 0}, {2, 0}, {0, 2}, 0, Pi / 2, false};
  const TBox q = BoundsOf(quarter);
  EXPECT_NEAR(q.Left, 0, Eps);
  EXPECT_NEAR(q.Bottom, 0, Eps);
  EXPECT_NEAR(q.Right, 2, Eps);
  EXPECT_NEAR(q.Top, 2, Eps);
  // From 45 to 225 degrees: over the top and the left, between the ends.
  TArc half{{0, 0}, {2, 0}, {0, 2}, Pi / 4, Pi, false};
  const TBox h = BoundsOf(half);
  EXPECT_NEAR(h.Left, -2, Eps);
  EXPECT_NEAR(h.Bottom, -std::sqrt(2.0), Eps);
  EXPECT_NEAR(h.Right, std::sqrt(2.0), Eps);
  EXPECT_NEAR(h.Top, 2, Eps);
  // Clockwise from 90 degrees to 0: the same quarter as the first.
  TArc back{{0, 0}, {2, 0}, {0, 2}, Pi / 2, -Pi / 2, false};
  EXPECT_NEAR(BoundsOf(back).Left, 0, Eps);
  EXPECT_NEAR(BoundsOf(back).Top, 2, Eps);
}

TEST(RenderTest, AStoredListPlaysBackAndFindsItemsInAView) {
  Drawing d = WithPens(700);
  d.Elements = {Line(0, 0, 0), Line(0, 0, 10), Text(0, 0, 20, "x"), Arc(0, 0, 30)};
  auto doc = Load(d);
  const TDisplayList list = RenderList(*doc);
  TDisplayList copy;
  list.Replay(copy);
  ASSERT_EQ(copy.Size(), list.Size());
  for (size_t i = 0; i < list.Size(); ++i) EXPECT_EQ(copy[i].Box, list[i].Box) << i;
  EXPECT_EQ(*copy.Text(copy[2]).Text, "x");
  EXPECT_EQ(list.ItemsIn({9, -1, 11, 1}), (std::vector<uint32_t>{1}));
  EXPECT_EQ(list.ItemsIn({-100, -100, 100, 100}).size(), 4u);
  EXPECT_NEAR(list.Bounds().Right, 31, 1e-4);  // the circle of radius 1 around (30, 0)
}

// ---------------------------------------------------------------------------
// What a medium can draw: finite, within 100 m of the sheet's centre.

TRenderOptions Drawable() {
  TRenderOptions o;
  o.Drawable = true;
  return o;
}

TEST(RenderTest, WhatLiesBeyondTheReachIsCutOrLeftOutAndCounted) {
  Drawing d = WithPens(700);
  constexpr double inf = std::numeric_limits<double>::infinity();
  // y = -x from one end of the doubles to the other: cut where it meets
  // x = -100000 and x = 100000.
  Sen across{Pen(2), -1e308, 1e308, 1e308, -1e308};
  Sen endless{Pen(2), 0, 0, inf, 0};
  // A solid from x = 90000 to 110000, 10 high: cut at x = 100000.
  Solid wide;
  wide.H = Pen(2);
  wide.StartX = 90000;
  wide.EndX = 110000;
  wide.Point2X = 110000;
  wide.Point2Y = 10;
  wide.Point3X = 90000;
  wide.Point3Y = 10;
  // A circle of radius 1 around (100000, 0): its half left of x = 100000,
  // where cos t <= 0, from t = pi/2 to 3 pi/2.
  Enko edge;
  edge.H = Pen(2);
  edge.CenterX = 100000;
  edge.Radius = 1;
  // A circle of radius 1.5e308 around the centre: no point of it within.
  Enko huge;
  huge.H = Pen(2);
  huge.Radius = 1.5e308;
  Moji far = Text(0, 0, 200000, "far");
  Moji straddling = Text(0, 0, 99999, "straddling");  // 10 characters of 1 mm from x = 99999
  straddling.SizeX = straddling.SizeY = 2;
  Ten beyond = Point(0, 0, 100001);
  // A dimension whose line lies within and whose text does not: drawn in
  // part, and counted.
  Sunpou dim = Dim(0, 0, 0);
  dim.ValueText.StartX = inf;
  d.Elements = {across, endless, wide, edge, huge, far, straddling, beyond, dim, Line(0, 0, 5)};
  auto doc = Load(d);
  TDisplayList list;
  const TRenderResult r = Render(*doc, list, Drawable());
  EXPECT_EQ(r.Undrawable, 6u);  // endless, huge, far, straddling, beyond, the dimension
  std::vector<TItemKind> kinds;
  for (const auto& e : list.Entries()) kinds.push_back(e.Kind);
  // The dimension: its line, two extension lines and four points, not its text.
  ASSERT_EQ(kinds, (std::vector<TItemKind>{TItemKind::Polyline, TItemKind::Polygon, TItemKind::Arc,
                                           TItemKind::Polyline, TItemKind::Polyline, TItemKind::Polyline,
                                           TItemKind::Dot, TItemKind::Dot, TItemKind::Dot, TItemKind::Dot,
                                           TItemKind::Polyline}));
  EXPECT_POINT(list.Points(list[0])[0], -100000, 100000);
  EXPECT_POINT(list.Points(list[0])[1], 100000, -100000);
  const auto solid = list.Points(list[1]);
  ASSERT_EQ(solid.size(), 4u);
  EXPECT_POINT(solid[0], 90000, 0);
  EXPECT_POINT(solid[1], 100000, 0);
  EXPECT_POINT(solid[2], 100000, 10);
  EXPECT_POINT(solid[3], 90000, 10);
  const TArc& half = list.Arc(list[2]);
  EXPECT_FALSE(half.Whole);
  EXPECT_NEAR(half.Start, Pi / 2, Eps);
  EXPECT_NEAR(half.Sweep, Pi, Eps);
  EXPECT_EQ(list[3].Origin.Element, 8u);  // the dimension's line
  for (const auto& e : list.Entries())
    for (const float v : e.Box) EXPECT_LE(std::fabs(v), 100000.01f);

  // Not asked for: everything is handed on as it is (the visual proof's form).
  TDisplayList raw;
  EXPECT_EQ(Render(*doc, raw).Undrawable, 0u);
  EXPECT_EQ(raw.Size(), 17u);  // nine elements of one item each, the dimension of eight
}

// D (5): a line from (1, 0) to (2, 0) and E at (5, 0) at half size. E (7):
// a circle of radius 1 around (1, 0).
TEST(RenderTest, InsertsByReferenceMakeEachDefinitionOnceAtEachScale) {
  Drawing d = WithPens(700);
  Block inner = Insert(0, 0, 7, 5);
  inner.ScaleX = inner.ScaleY = 0.5;
  Enko circle;
  circle.H = Pen(6);
  circle.CenterX = 1;
  circle.Radius = 1;
  d.Blocks = {Def(5, "D", {Sen{Pen(6), 1, 0, 2, 0}, inner}), Def(7, "E", {circle})};
  // D at (10, 20), twice its size, turned by 90 degrees: (x, y) -> (10 - 2y, 20 + 2x);
  // mirrored along x; stretched (expanded); and E alone at its own size.
  Block turned = Insert(0, 0, 5, 10);
  turned.Y = 20;
  turned.ScaleX = turned.ScaleY = 2;
  turned.Angle = Pi / 2;
  Block mirrored = Insert(0, 0, 5, -10);
  mirrored.ScaleX = -2;
  mirrored.ScaleY = 2;
  Block stretched = Insert(0, 0, 5, 0);
  stretched.ScaleY = 3;
  d.Elements = {turned, mirrored, stretched, Insert(0, 0, 7, 30)};
  auto doc = Load(d);
  TRenderOptions o;
  o.ReferenceInserts = true;
  TDisplayList list;
  Render(*doc, list, o);
  std::vector<TItemKind> kinds;
  for (const auto& e : list.Entries()) kinds.push_back(e.Kind);
  // The stretched insert expanded: D's line, and E's circle placed by it.
  // Then D at 2 (its line, E at 1), E at 1 (its circle).
  ASSERT_EQ(kinds, (std::vector<TItemKind>{TItemKind::Insert, TItemKind::Insert, TItemKind::Polyline, TItemKind::Arc,
                                           TItemKind::Insert, TItemKind::Definition, TItemKind::Polyline,
                                           TItemKind::Insert, TItemKind::Definition, TItemKind::Arc}));
  EXPECT_EQ(list.TopLevel(), 5u);
  const TInsert& a = list.Insert(list[0]);
  EXPECT_EQ(a.Definition, 0);
  EXPECT_NEAR(a.Placement.A, 0, Eps);
  EXPECT_NEAR(a.Placement.B, 1, Eps);
  EXPECT_NEAR(a.Placement.C, -1, Eps);
  EXPECT_NEAR(a.Placement.D, 0, Eps);
  EXPECT_EQ(a.Placement.E, 10);
  EXPECT_EQ(a.Placement.F, 20);
  // What D holds: the line x 1..2 and E's circle placed at (5, 0) at half
  // size, x 5..6, y -0.5..0.5. At scale 2: x 2..12, y -1..1; turned:
  // x 10 - (-1..1) = 9..11, y 20 + (2..12) = 22..32.
  EXPECT_POINT(a.Low, 9, 22);
  EXPECT_POINT(a.High, 11, 32);
  const TInsert& b = list.Insert(list[1]);
  EXPECT_EQ(b.Definition, 0);
  EXPECT_EQ(b.Placement, (TMatrix{-1, 0, 0, 1, -10, 0}));
  EXPECT_POINT(b.Low, -22, -1);  // x -> -10 - x
  EXPECT_POINT(b.High, -12, 1);
  EXPECT_POINT(list.Points(list[2])[1], 2, 0);  // stretched along y only: the line stays
  EXPECT_POINT(list.Arc(list[3]).Center, 5.5, 0);
  EXPECT_POINT(list.Arc(list[3]).V, 0, 1.5);
  EXPECT_EQ(list.Insert(list[4]).Definition, 1);  // E at 1, reached by the top level

  // D at 2: its line twice as long, its pen's width kept; E at 2 x 0.5.
  const auto contents = list.Contents(0);
  ASSERT_EQ(contents.size(), 2u);
  EXPECT_POINT(list.Points(contents[0])[0], 2, 0);
  EXPECT_POINT(list.Points(contents[0])[1], 4, 0);
  EXPECT_DOUBLE_EQ(list.Stroke(contents[0]).Width, 0.35);
  EXPECT_EQ(list.Insert(contents[1]).Definition, 1);
  EXPECT_EQ(list.Insert(contents[1]).Placement, TMatrix::Translate(10, 0));
  ASSERT_EQ(list.Contents(1).size(), 1u);
  EXPECT_POINT(list.Arc(list.Contents(1)[0]).U, 1, 0);
  EXPECT_TRUE(list.Contents(2).empty());
  // The top level's extent: the inserts' boxes (E alone: x 30..32) and the
  // expanded items.
  const TBox all = list.Bounds();
  EXPECT_NEAR(all.Left, -22, 1e-4);
  EXPECT_NEAR(all.Right, 32, 1e-4);
  EXPECT_NEAR(all.Top, 32, 1e-4);
  EXPECT_NEAR(all.Bottom, -1.5, 1e-4);
  EXPECT_EQ(list.ItemsIn({8, 21, 9.5, 23}), (std::vector<uint32_t>{0}));  // never a definition's contents
}

// A definition that holds something not finite, or inserts itself, or is
// placed partly beyond the reach, is expanded (so that what it cannot draw
// is left out item by item and counted); one placed wholly beyond is left
// out whole.
TEST(RenderTest, InsertsThatCannotBeReferencedAreExpanded) {
  Drawing d = WithPens(700);
  Sen bad{Pen(2), 0, 0, std::numeric_limits<double>::quiet_NaN(), 0};
  d.Blocks = {Def(1, "bad", {Line(0, 0, 0), bad}), Def(2, "self", {Line(0, 0, 0), Insert(0, 0, 2)}),
              Def(3, "plain", {Line(0, 0, 0)})};
  d.Elements = {Insert(0, 0, 1), Insert(0, 0, 2), Insert(0, 0, 3, 99999.5), Insert(0, 0, 3, 200000),
                Insert(0, 0, 3, 0)};
  auto doc = Load(d);
  TRenderOptions o = Drawable();
  o.ReferenceInserts = true;
  TDisplayList list;
  const TRenderResult r = Render(*doc, list, o);
  std::vector<TItemKind> kinds;
  for (const auto& e : list.Entries()) kinds.push_back(e.Kind);
  EXPECT_EQ(kinds, (std::vector<TItemKind>{TItemKind::Polyline, TItemKind::Polyline, TItemKind::Polyline,
                                           TItemKind::Insert, TItemKind::Definition, TItemKind::Polyline}));
  EXPECT_EQ(r.Undrawable, 2u);  // bad's NaN line, the insert at 200000
  EXPECT_EQ(r.CycleCuts, 1u);
  EXPECT_POINT(list.Points(list[2])[1], 100000, 0);  // the line from 99999.5, cut
}

// The rules a print and a count of such elements share.
TEST(RenderTest, TemporaryAuxiliaryAndOutsideTheSheet) {
  using namespace JwwMeaning;
  struct TCase {
    uint8_t Style;
    uint16_t Color;
    int32_t Kind, Version;
    bool Auxiliary;
  };
  for (const TCase& c : std::vector<TCase>{{9, 1, KindSen, 700, true},
                                           {9, 1, KindEnko, 700, true},
                                           {9, 1, KindMoji, 700, true},
                                           {12, 1, KindMoji, 700, false},  // written as 1
                                           {9, 1, KindSunpou, 700, true},
                                           {9, 1, KindSolid, 700, true},
                                           {9, 1, KindTen, 700, false},  // a point's style tells its extra fields
                                           {9, 1, KindBlock, 700, false},
                                           {1, 9, KindMoji, 700, true},
                                           {1, 9, KindSolid, 700, true},
                                           {1, 9, KindTen, 700, true},
                                           {1, 9, KindBlock, 700, false},
                                           {1, 9, KindSunpou, 700, true},
                                           {9, 1, KindSen, 351, true},
                                           {39, 1, KindSen, 351, false},   // before 4.20 line type 39 was 7
                                           {39, 1, KindSen, 700, false},   // an extended type since
                                           {1, 109, KindSen, 351, false},  // and colour 109 was 5
                                           {1, 1, KindSen, 700, false}}) {
    TEntJwwEntityHeader h{};
    h.PenStyle = c.Style;
    h.PenColor = c.Color;
    EXPECT_EQ(IsAuxiliary(h, c.Kind, c.Version), c.Auxiliary)
        << int(c.Style) << " " << c.Color << " kind " << c.Kind << " v" << c.Version;
  }
  TEntJwwTen p{};
  EXPECT_FALSE(IsTemporaryPoint(p));
  p.Temporary = -1;
  EXPECT_TRUE(IsTemporaryPoint(p));

  const std::optional<TPaper> a4 = Paper(4);  // x -148.5..148.5, y -105..105
  EXPECT_FALSE(IsOutsideSheet(a4, 148.5, 0, 200, 1));   // touches the edge
  EXPECT_TRUE(IsOutsideSheet(a4, 148.6, 0, 200, 1));
  EXPECT_TRUE(IsOutsideSheet(a4, -10, 105.5, 10, 106));
  EXPECT_FALSE(IsOutsideSheet(a4, -1000, -1000, 1000, 1000));  // holds the sheet
  EXPECT_TRUE(IsOutsideSheet(a4, std::nan(""), 0, 1, 1));
  EXPECT_TRUE(IsOutsideSheet(a4, 1, 1, 0, 0));  // nothing drawn
  EXPECT_FALSE(IsOutsideSheet(Paper(7), 1e9, 1e9, 2e9, 2e9));  // no sheet, nothing outside it

  // The line types of the CAD program's DXF export.
  EXPECT_EQ(StandardDashes(2).Length[0], 1.25);
  EXPECT_EQ(StandardDashes(9).Length[1], 1.875);
  EXPECT_EQ(StandardDashes(6).Length[0], 12.5);
  EXPECT_EQ(StandardDashes(16).Length[0], 2.5);  // 2 at twice the length
}

// ---------------------------------------------------------------------------
// Hostile block structures stay bounded.

TEST(RenderTest, ADefinitionAmongItsOwnAncestorsIsNotExpandedAgain) {
  Drawing d = WithPens(700);
  d.Blocks = {Def(1, "A", {Line(0, 0, 1), Insert(0, 0, 2), Insert(0, 0, 1)}),
              Def(2, "B", {Line(0, 0, 2), Insert(0, 0, 1)})};
  d.Elements = {Insert(0, 0, 1), Insert(0, 0, 9)};
  auto doc = Load(d);
  TDisplayList list;
  const TRenderResult r = Render(*doc, list);
  EXPECT_EQ(list.Size(), 2u);  // A's line, B's line
  EXPECT_EQ(r.CycleCuts, 2u);  // B -> A, and A -> A
  EXPECT_EQ(r.Unresolved, 1u);
  EXPECT_EQ(r.Placements, 2u);
  EXPECT_FALSE(r.Complete());
}

// The definitions inserting each other, written one by one (too many to hold
// as builder elements).
std::unique_ptr<TJwwData> Chain(uint32_t count) {
  Drawing d;
  d.Hdr.Version = 700;
  ByteWriter out;
  const std::vector<uint8_t> header = BuildHeaderSection(d);
  out.Raw(header.data(), header.size());
  EntityWriter ew(out, d);
  ew.Count(1);
  ew.Item(Insert(0, 0, 0));
  ew.Count(count);
  for (uint32_t n = 0; n < count; ++n)
    ew.Definition(Def(static_cast<int32_t>(n), "c", {Line(0, 0, n), Insert(0, 0, static_cast<int32_t>(n + 1))}));
  out.I32(0);  // no images
  auto doc = std::make_unique<TJwwData>();
  EXPECT_TRUE(testutil::Ok(doc->LoadDocument(out.Bytes().data(), out.Size())));
  return doc;
}

TEST(RenderTest, A200000DeepChainStaysBounded) {
  auto doc = Chain(200000);
  TDisplayList list;
  TRenderResult r = Render(*doc, list);
  EXPECT_EQ(list.Size(), 64u);  // one line a level, MaxDepth levels
  EXPECT_EQ(r.DepthCuts, 1u);
  EXPECT_EQ(r.Unresolved, 0u);
  EXPECT_EQ(list.Points(list[63])[0].X, 63);

  // Unexpanded, every definition is reached once: the proof's form.
  TRenderOptions flat;
  flat.ExpandInserts = false;
  TDisplayList f;
  r = Render(*doc, f, flat);
  EXPECT_EQ(r.Items, 1u + 200000u * 2u);
  EXPECT_EQ(f.Size(), 1u + 200000u * 3u);  // and the start of each definition
  EXPECT_EQ(r.Unresolved, 1u);              // the last inserts number 200000
}

TEST(RenderTest, TheBudgetCutsABlowUp) {
  // Ten inserts of the next definition in each of eight: 10^8 lines.
  Drawing d = WithPens(700);
  for (int32_t n = 0; n <= 8; ++n) {
    std::vector<Element> contents = {Line(0, 0, n)};
    if (n < 8)
      for (int k = 0; k < 10; ++k) contents.push_back(Insert(0, 0, n + 1, k));
    d.Blocks.push_back(Def(n, "level", contents));
  }
  // And definitions that make no items at all: a thousand inserts, a thousand
  // times, of a definition of a thousand inserts of nothing.
  std::vector<Element> many, nothing;
  for (int k = 0; k < 1000; ++k) {
    many.push_back(Insert(0, 0, 101));
    nothing.push_back(Insert(0, 0, 999));
  }
  d.Blocks.push_back(Def(100, "many", many));
  d.Blocks.push_back(Def(101, "nothing", nothing));
  d.Elements = {Insert(0, 0, 0)};
  auto doc = Load(d);
  TRenderOptions o;
  o.Budget = 50000;
  TDisplayList list;
  TRenderResult r = Render(*doc, list, o);
  // Each placement costs the elements of its definition, each item one.
  EXPECT_TRUE(r.BudgetCut);
  EXPECT_LT(r.Items, 50000u);
  EXPECT_GT(r.Items, 10000u);
  EXPECT_EQ(list.Size(), r.Items);

  // By reference, each level is made once: the top insert, then eight
  // levels of a line and ten inserts, and the last level's line.
  TRenderOptions byReference = o;
  byReference.ReferenceInserts = true;
  TDisplayList once;
  r = Render(*doc, once, byReference);
  EXPECT_FALSE(r.BudgetCut);
  EXPECT_EQ(r.Items, 1u + 8u * 11u + 1u);
  EXPECT_EQ(once.Size(), r.Items + 9u);  // and the start of each level

  // "many" costs 1000, each "nothing" placed in it 1000: 49 of them, each
  // looking at its thousand inserts of nothing.
  doc->BlockInserts[0].BlockNumber = 100;
  TDisplayList none;
  r = Render(*doc, none, o);
  EXPECT_TRUE(r.BudgetCut);
  EXPECT_EQ(r.Placements, 50u);
  EXPECT_EQ(r.Unresolved, 49000u);
  EXPECT_EQ(none.Size(), 0u);
}

}  // namespace
