// The detail pane's picture: the renderer's items with the hidden material
// tagged, the sheet, the mapping of paper millimetres onto pixels (checked
// against numbers worked out by hand) and the arcs as polylines; drawn
// before the inspections waiting, and kept for the drawing asked for last.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "drawings.h"
#include "formrig.h"
#include "inspector.h"
#include "look.h"
#include "pane.h"
#include "preview.h"
#include "testutil.h"

namespace {

using namespace qm;

namespace fs = std::filesystem;
using namespace draw;
using qm::view::TPoint;

bool Near(TPoint a, TPoint b) { return std::fabs(a.X - b.X) < 1e-9 && std::fabs(a.Y - b.Y) < 1e-9; }

TEST(PreviewTest, TagsTheHiddenMaterialAndHoldsTheSheet) {
  testutil::TTempDir dir;
  Drawing d = HiddenGroupDrawing(600);  // group 1 hidden: one of the two lines
  d.Hdr.PaperSize = 4;                  // A4
  d.Elements.push_back(Point(0, 0, 3));
  testutil::WriteAll(dir / "d.jww", Build(d));
  TJwwData doc;
  const auto p = qm::MakePreview(dir / "d.jww", doc);
  ASSERT_TRUE(p->Error.empty()) << p->Error;
  EXPECT_TRUE(p->Complete);
  ASSERT_EQ(p->Items.Size(), 3u);
  EXPECT_EQ(p->HiddenItems, 1u);
  EXPECT_TRUE(p->Items[0].Origin.Visible);
  EXPECT_FALSE(p->Items[1].Origin.Visible);  // the line on group 1
  ASSERT_TRUE(p->Sheet.has_value());
  EXPECT_EQ(p->Sheet->Width, 297);
  EXPECT_EQ(p->Extent.Left, -148.5);
  EXPECT_EQ(p->Extent.Top, 105);
  EXPECT_EQ(doc.TotalCount(), 0);  // the document is left empty

  testutil::WriteAll(dir / "bad.jww", testutil::Bytes("JwwData.broken"));
  const auto bad = qm::MakePreview(dir / "bad.jww", doc);
  // Why, in the window's words (the list's and the report's sentence).
  EXPECT_EQ(bad->Error.rfind("ファイルが途中で終わっています", 0), 0u) << bad->Error;
  testutil::WriteAll(dir / "text.jww", testutil::Bytes("a text file, not a drawing"));
  EXPECT_EQ(qm::MakePreview(dir / "text.jww", doc)->Error, "JWW の図面ではありません（先頭が JwwData. ではありません）");
  EXPECT_EQ(qm::MakePreview(dir / "gone.jww", doc)->Error, "ファイルがありません");
  EXPECT_EQ(bad->Items.Size(), 0u);
}

// The other hidden information on shown layers: each kind in its colour,
// auxiliary before temporary before off the sheet; the hidden material and
// plain shown elements keep theirs; the legend names what the drawing holds.
TEST(PreviewTest, EachKindOfOtherHiddenInformationHasItsColour) {
  testutil::TTempDir dir;
  Drawing d = HiddenGroupDrawing(600);
  d.Hdr.PaperSize = 3;  // A3
  Ten temporary = Point(0, 0, 5);
  temporary.Temporary = 1;
  Sen aux = Line(0, 0, 7);
  aux.H.PenColor = 9;
  Sen far = Line(0, 0, 900);
  d.Elements = {Line(0, 0, 1), Line(1, 0, 2), temporary, aux, far};
  testutil::WriteAll(dir / "d.jww", Build(d));
  TJwwData doc;
  const auto p = qm::MakePreview(dir / "d.jww", doc);
  ASSERT_TRUE(p->Error.empty()) << p->Error;
  std::vector<uint32_t> colours;
  for (size_t i = 0; i < p->Items.TopLevel(); ++i) colours.push_back(qm::KindColor(*p, p->Items[i].Origin));
  namespace look = qm::view::Look;
  EXPECT_EQ(colours, (std::vector<uint32_t>{0, 0, look::TemporaryColor, look::AuxiliaryColor, look::OffSheetColor}));
  const auto legend = qm::KindLegend(*p);
  ASSERT_EQ(legend.size(), 3u);
  EXPECT_EQ(legend[0], (std::pair<std::string, uint32_t>{"補助線 1", look::AuxiliaryColor}));
  EXPECT_EQ(legend[1], (std::pair<std::string, uint32_t>{"仮点 1", look::TemporaryColor}));
  EXPECT_EQ(legend[2], (std::pair<std::string, uint32_t>{"図面外 1", look::OffSheetColor}));
  EXPECT_EQ(look::KindColor(qm::view::AuxiliaryKind | qm::view::OffSheetKind, qm::view::AuxiliaryKind,
                            qm::view::TemporaryPointKind, qm::view::OffSheetKind),
            look::AuxiliaryColor);
}

// 10,000 inserts of one definition of three lines, on a shown and a hidden
// layer: the list keeps the three lines once. A temporary point is shown (as
// on the CAD program's screen), a line at 1e308 counted, not drawn.
TEST(PreviewTest, InsertsKeepTheirDefinitionOnceAndWhatCannotBeDrawnIsCounted) {
  testutil::TTempDir dir;
  Drawing d = HiddenGroupDrawing(700);
  d.Blocks = {Def(1, "three", {Line(0, 0, 0), Line(0, 0, 1), Line(0, 0, 2)})};  // x 0..3
  for (int i = 0; i < 10000; ++i) d.Elements.emplace_back(Insert(static_cast<uint16_t>(i % 2), 0, 1, i));
  Ten temporary = Point(0, 0, -5);
  temporary.Temporary = 1;
  d.Elements.emplace_back(temporary);
  d.Elements.emplace_back(Line(0, 0, 1e308));
  testutil::WriteAll(dir / "d.jww", Build(d));
  TJwwData doc;
  const auto p = qm::MakePreview(dir / "d.jww", doc);
  ASSERT_TRUE(p->Error.empty()) << p->Error;
  EXPECT_EQ(p->Undrawable, 1u);
  // The drawing's two lines, 10,000 inserts and the point, then the definition.
  ASSERT_EQ(p->Items.TopLevel(), 2u + 10000u + 1u);
  EXPECT_EQ(p->Items.Size(), 10003u + 1u + 3u);
  EXPECT_EQ(p->Items.Contents(0).size(), 3u);
  EXPECT_EQ(p->HiddenItems, 1u + 5000u);  // the line and the inserts on group 1
  EXPECT_EQ(p->Items[10002].Kind, qm::view::TItemKind::Dot);
  EXPECT_NEAR(p->Items.Bounds().Right, 9999 + 3, 1e-3);  // the last insert's lines reach x = 10002
  EXPECT_EQ(p->Extent, (qm::view::TBox{-210, -148.5, 210, 148.5}));  // fitted to the builder's A3 sheet
  // Off it: the shown inserts from x = 212 on (every other one), and the line at 1e308.
  EXPECT_EQ(p->OffSheet, (9998u - 212u) / 2 + 1 + 1);
}

TEST(PreviewTest, PaperToPixelsFitsZoomsAboutAPointAndPans) {
  qm::view::TBox extent;
  extent.Add({-10, -5});
  extent.Add({10, 5});
  qm::TPreviewView v(extent, 200, 100);
  EXPECT_DOUBLE_EQ(v.Scale(), 9.5);  // 0.95 of min(200 / 20, 100 / 10)
  EXPECT_TRUE(Near(v.ToPixels({0, 0}), {100, 50}));
  EXPECT_TRUE(Near(v.ToPixels({10, 5}), {195, 2.5}));  // y turns down
  EXPECT_TRUE(Near(v.ToPaper({195, 2.5}), {10, 5}));

  const TPoint held = v.ToPaper({150, 20});
  v.ZoomAt(4, {150, 20});
  EXPECT_DOUBLE_EQ(v.Scale(), 38);
  EXPECT_TRUE(Near(v.ToPaper({150, 20}), held));
  const TPoint before = v.ToPixels({1, 1});
  v.Pan(12, -7);
  EXPECT_TRUE(Near(v.ToPixels({1, 1}), {before.X + 12, before.Y - 7}));
  const qm::view::TBox seen = v.Visible();
  EXPECT_NEAR(seen.Width(), 200 / 38.0, 1e-9);
  v.ZoomAt(1e9, {0, 0});
  EXPECT_EQ(v.Zoom(), qm::TPreviewView::MaxZoom);
  const TPoint middle = v.ToPaper({100, 50});
  v.Resize(400, 100);  // a wider window: the height still limits the fit
  EXPECT_EQ(v.Zoom(), qm::TPreviewView::MaxZoom);
  EXPECT_DOUBLE_EQ(v.Scale(), 9.5 * qm::TPreviewView::MaxZoom);
  EXPECT_TRUE(Near(v.ToPaper({200, 50}), middle));
  v.Resize(100, 100);  // a narrower one: fitted again, the zoom kept
  EXPECT_DOUBLE_EQ(v.Scale(), 4.75 * qm::TPreviewView::MaxZoom);
  EXPECT_TRUE(Near(v.ToPaper({50, 50}), middle));

  qm::TPreviewView empty(qm::view::TBox{}, 50, 50);  // nothing drawn: a unit square
  EXPECT_TRUE(Near(empty.ToPixels({0, 0}), {25, 25}));
}

Sen LineAt(uint16_t group, double x0, double y0, double x1, double y1) {
  Sen e = Line(group, 0);
  e.StartX = x0;
  e.StartY = y0;
  e.EndX = x1;
  e.EndY = y1;
  return e;
}

// An A3 sheet (420 × 297) with its drawing, a line crossing its right edge,
// one element 50 m to the right and one a hair right of the edge, two far
// above on the left, and hidden material far below: the picture fits the
// sheet, the four strays are counted and marked at the sheet's edge where
// they lie.
TEST(PreviewTest, FitsTheSheetAndMarksTheElementsFarOffIt) {
  testutil::TTempDir dir;
  Drawing d = HiddenGroupDrawing(600);
  d.Elements.push_back(LineAt(0, 100, 0, 5000, 0));            // partly outside: stays, clipped
  d.Elements.push_back(LineAt(0, 50000, 10, 50001, 10));       // right
  d.Elements.push_back(LineAt(0, 210 + 1e-7, 10, 211, 10));    // right, a hair beyond the edge
  d.Elements.push_back(LineAt(0, -30000, 20000, -29000, 20000));  // above left
  d.Elements.push_back(LineAt(0, -31000, 21000, -30500, 22000));  // above left
  d.Elements.push_back(LineAt(1, 0, -60000, 1, -60000));       // hidden: not a stray
  testutil::WriteAll(dir / "d.jww", Build(d));
  TJwwData doc;
  const auto p = qm::MakePreview(dir / "d.jww", doc);
  ASSERT_TRUE(p->Error.empty()) << p->Error;
  EXPECT_EQ(p->Extent, (qm::view::TBox{-210, -148.5, 210, 148.5}));
  EXPECT_EQ(p->OffSheet, 4u);
  EXPECT_EQ(qm::StrayNote(*p), "図面外に 4 個の要素");
  ASSERT_EQ(p->Strays.size(), 2u);
  EXPECT_EQ(p->Strays[0], (qm::TStrays{-1, 1, 2, {-210, 148.5}}));  // the corner towards them
  EXPECT_EQ(p->Strays[1].Dx, 1);
  EXPECT_EQ(p->Strays[1].Dy, 0);
  EXPECT_EQ(p->Strays[1].Elements, 2u);
  EXPECT_EQ(p->Strays[1].Mark.X, 210);
  EXPECT_NEAR(p->Strays[1].Mark.Y, 10, 0.01);  // level with it

  // The sheet fills the window: 0.95 of its width, the strays far outside it.
  qm::TPreviewView v(p->Extent, 400, 300);
  EXPECT_NEAR(v.ToPixels({-210, 0}).X, 10, 1e-9);
  EXPECT_NEAR(v.ToPixels({210, 0}).X, 390, 1e-9);
  EXPECT_GT(v.ToPixels({50000, 0}).X, 400);
  // The marks: tips on the sheet's edge, bodies inside it.
  const auto right = qm::StrayMarker(v, p->Strays[1], 12);
  EXPECT_TRUE(Near(right[0], v.ToPixels(p->Strays[1].Mark)));
  for (const TPoint& corner : {right[1], right[2]}) {
    EXPECT_NEAR(corner.X, right[0].X - 12, 1e-9);
    EXPECT_NEAR(std::fabs(corner.Y - right[0].Y), 7.2, 1e-9);
  }
  const auto aboveLeft = qm::StrayMarker(v, p->Strays[0], 12);
  EXPECT_TRUE(Near(aboveLeft[0], v.ToPixels({-210, 148.5})));
  for (const TPoint& corner : {aboveLeft[1], aboveLeft[2]}) {
    EXPECT_GT(corner.X, aboveLeft[0].X);  // right of the tip and below it: on the sheet
    EXPECT_GT(corner.Y, aboveLeft[0].Y);
  }

  // A PaperSize that names no sheet: no strays, the picture fits everything.
  d.Hdr.PaperSize = 7;
  testutil::WriteAll(dir / "d.jww", Build(d));
  const auto free = qm::MakePreview(dir / "d.jww", doc);
  EXPECT_EQ(free->OffSheet, 0u);
  EXPECT_TRUE(free->Strays.empty());
  EXPECT_EQ(qm::StrayNote(*free), "");
  EXPECT_EQ(free->Extent.Right, 50001);
  EXPECT_EQ(free->Extent.Bottom, -60000);
}

// A hidden group and a hidden layer of another group, picked in turn from
// the pane's list: only the picked one's material is marked as picked.
TEST(PreviewTest, APickedGroupOrLayerMarksOnlyItsMaterial) {
  testutil::TTempDir dir;
  Drawing d = HiddenGroupDrawing(600);        // group 1 hidden, a line on it
  d.Hdr.Layers[4].State = 0;                  // layer 0-4 hidden
  d.Elements.push_back(Line(0, 4, 5));
  d.Elements.push_back(Line(0, 4, 6));
  d.Elements.push_back(Line(1, 4, 7));        // on group 1's layer 4
  testutil::WriteAll(dir / "d.jww", Build(d));
  TJwwData doc;
  const auto p = qm::MakePreview(dir / "d.jww", doc);
  ASSERT_TRUE(p->Error.empty()) << p->Error;
  ASSERT_EQ(p->HiddenItems, 4u);

  qm::TRow row;
  row.Path = dir / "d.jww";
  row.Inspected = true;
  row.Inspection.Facts.Read = qm::TRead::Whole;
  row.Inspection.Facts.HiddenGroups = {{.Group = 1, .Layer = -1, .Name = "hidden", .Elements = 2}};
  row.Inspection.Facts.HiddenLayers = {{.Group = 0, .Layer = 4, .Name = "", .Elements = 2}};
  struct {
    int Index;
    std::optional<qm::TLayerPick> Pick;
    std::vector<double> Picked;  // the picked lines' starts
  } const cases[] = {
      {0, qm::TLayerPick{1, -1}, {2, 7}},
      {1, qm::TLayerPick{0, 4}, {5, 6}},
      {2, std::nullopt, {}},
      {-1, std::nullopt, {}},
  };
  for (const auto& c : cases) {
    const std::optional<qm::TLayerPick> pick = qm::PaneLayerPick(&row, c.Index);
    EXPECT_EQ(pick, c.Pick) << c.Index;
    std::vector<double> picked;
    for (const auto& e : p->Items.Entries())
      if (qm::IsPicked(e.Origin, pick)) picked.push_back(p->Items.Points(e)[0].X);
    EXPECT_EQ(picked, c.Picked) << c.Index;
  }
  EXPECT_EQ(qm::PaneLayerPick(nullptr, 0), std::nullopt);
  // A shown item on a picked group's number is never picked.
  EXPECT_FALSE(qm::IsPicked({.Element = 0, .LayerGroup = 1, .Layer = 0, .Visible = true}, qm::TLayerPick{1, -1}));
}

TEST(PreviewTest, ArcsBecomePolylinesWithinAQuarterPixel) {
  qm::view::TArc circle;
  circle.Center = {3, 4};
  circle.U = {10, 0};
  circle.V = {0, 10};
  circle.Whole = true;
  for (const double scale : {0.01, 1.0, 40.0}) {
    const auto points = qm::FlattenArc(circle, scale);
    ASSERT_GE(points.size(), 2u);
    EXPECT_TRUE(Near(points.front(), points.back())) << scale;
    for (size_t k = 0; k + 1 < points.size(); ++k) {
      EXPECT_NEAR(std::hypot(points[k].X - 3, points[k].Y - 4), 10, 1e-9);
      const TPoint mid{(points[k].X + points[k + 1].X) / 2, (points[k].Y + points[k + 1].Y) / 2};
      if (scale * 10 > 0.25) {
        EXPECT_LE((10 - std::hypot(mid.X - 3, mid.Y - 4)) * scale, 0.25 + 1e-9) << scale;
      }
    }
  }
  EXPECT_LT(qm::FlattenArc(circle, 1).size(), qm::FlattenArc(circle, 40).size());
  qm::view::TArc half = circle;
  half.Whole = false;
  half.Start = 0;
  half.Sweep = -3.14159265358979323846;  // clockwise from (13, 4) to (-7, 4)
  const auto points = qm::FlattenArc(half, 2);
  EXPECT_TRUE(Near(points.front(), {13, 4}));
  EXPECT_NEAR(points.back().X, -7, 1e-9);
  EXPECT_LT(points[points.size() / 2].Y, 4);  // below the centre: the sweep ran clockwise
}

// The worker is held in its first wake while more is asked for: what it
// takes next is the picture, however many inspections wait.
TEST(PreviewTest, APictureIsDrawnBeforeTheInspectionsWaiting) {
  testutil::TTempDir dir, work;
  std::vector<fs::path> files;
  for (int k = 0; k < 12; ++k) {
    files.push_back(dir / ("d" + std::to_string(k) + ".jww"));
    testutil::WriteAll(files.back(), Build(HiddenGroupDrawing(600)));
  }
  std::mutex lock;
  std::condition_variable changed;
  bool held = false, release = false;
  int wakes = 0;
  qm::TInspector inspector(work.Path(), [&] {
    std::unique_lock<std::mutex> guard(lock);
    ++wakes;
    if (wakes == 1) {
      held = true;
      changed.notify_all();
      changed.wait(guard, [&] { return release; });
    }
    changed.notify_all();
  }, 1);
  const uint64_t first = inspector.Submit(files[0]);
  {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return held; });
  }
  for (size_t k = 1; k < files.size(); ++k) inspector.Submit(files[k]);
  const uint64_t picture = inspector.SubmitPreview(files[5]);
  {
    std::lock_guard<std::mutex> guard(lock);
    release = true;
  }
  changed.notify_all();
  std::vector<uint64_t> order;
  while (order.size() < files.size() + 1) {
    for (const auto& done : inspector.Take()) order.push_back(done.Ticket);
    std::unique_lock<std::mutex> guard(lock);
    changed.wait_for(guard, std::chrono::milliseconds(20));
  }
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order[0], first);
  EXPECT_EQ(order[1], picture);
}

TEST(PreviewTest, TheWindowKeepsThePictureAskedForLast) {
  testutil::TTempDir dir, work;
  std::vector<fs::path> files;
  for (int k = 0; k < 3; ++k) {
    files.push_back(dir / ("d" + std::to_string(k) + ".jww"));
    testutil::WriteAll(files.back(), Build(HiddenGroupDrawing(600)));
  }
  std::mutex lock;
  std::condition_variable woken;
  bool wake = false;
  rig::TRig r;
  r.Form1.Setup.InspectionsReady = [&] {
    std::lock_guard<std::mutex> guard(lock);
    wake = true;
    woken.notify_all();
  };
  r.Form1.StartWork(work.Path());
  r.Form1.Button1Click(files);
  r.Form1.RequestPreview(files[1]);
  r.Form1.RequestPreview(files[2]);  // replaces the one not taken yet
  while (!r.Form1.Preview() || r.Form1.Uninspected() > 0) {
    {
      std::unique_lock<std::mutex> guard(lock);
      woken.wait(guard, [&] { return wake; });
      wake = false;
    }
    r.Form1.TakeInspections();
  }
  EXPECT_EQ(r.Form1.Preview()->Source, files[2]);
  EXPECT_EQ(r.Form1.Preview()->HiddenItems, 1u);
  r.Form1.EndWork();
}

}  // namespace
