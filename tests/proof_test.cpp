// The visual proof of a purge on builder-made drawings: it holds after the
// purge (in memory and on the written file read back), and it finds a hidden
// element forced to survive, a changed visible element, and an insert that
// the written file makes show another definition.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "convert.h"
#include "drawings.h"
#include "jwwnormalise.h"
#include "jwwunit.h"
#include "proof.h"
#include "purge.h"
#include "testutil.h"

namespace {

using namespace qm;

using namespace draw;
using qm::view::TVisualRecord;

std::unique_ptr<TJwwData> Load(const std::vector<uint8_t>& bytes) {
  auto doc = std::make_unique<TJwwData>();
  EXPECT_TRUE(testutil::Ok(doc->LoadDocument(bytes.data(), bytes.size())));
  return doc;
}
std::unique_ptr<TJwwData> Load(const Drawing& d) { return Load(Build(d)); }

EntHdr Pen(uint16_t group, uint16_t layer, uint16_t color, uint8_t style = 1, uint16_t width = 0) {
  EntHdr h = On(group, layer);
  h.PenColor = color;
  h.PenStyle = style;
  h.PenWidth = width;
  return h;
}

// Group 2 and layer 0-5 are hidden. Shown: one element of each kind, texts
// with "^m", numbers the writer rewrites (layers above 15, pens out of
// range, older pen numbers below 4.20), inserts of nested and shared
// definitions, one of a definition that holds elements on hidden layers.
// Hidden: elements on 0-5, on group 2 and on "group 18 layer 5" (0-5), and an
// insert of a definition only it reaches.
Drawing Plan(int32_t version, bool wide = false) {
  Drawing d;
  d.Hdr.Version = version;
  d.Hdr.Wide = wide;
  d.Hdr.LayerGroups[2].State = 0;
  d.Hdr.LayerGroups[2].Name = "equipment";
  d.Hdr.Layers[5].State = 0;
  d.Hdr.Layers[5].Name = "sketch";
  d.Hdr.PenSettings[4] = {0x7FFFFFFF, 40, 0, 900, 20};  // colour, width and radius beyond what is written
  const std::string caret = "A^mB\x81\x40^m";           // ^m pairs, a full-width space

  Enko arc = Arc(0, 1, 3);
  arc.H = Pen(0, 1, 4, 2);
  arc.Flatness = 0.4;
  arc.TiltAngle = 0.3;
  arc.FullCircle = 0;
  arc.ArcAngle = 2;
  Ten point = Point(0, 2, 4);
  point.H = Pen(0, 2, 4);
  point.Temporary = 1;
  Moji text = Text(0, 3, 5, wide ? "A^mB　^m" : caret);
  text.Angle = 15;
  text.FontName = "Gothic^m";
  Solid solid = Fill(0, 4, 6);
  solid.H = Pen(0, 4, 10);
  solid.Color = 0x123456;
  solid.Point2X = 3;
  Block shared = Insert(0, 6, 1, 40);
  shared.ScaleX = 0.5;
  shared.Angle = 1;
  d.Elements = {Sen{Pen(0, 0, 105, 35), 0, 0, 10, 0},  // older numbers below 4.20
                Sen{Pen(0, 99, 4, 1, 40000), 0, 1, 10, 1},  // layer 99 counts as 0; a width beyond 30000
                arc, point, text, Dim(0, 1, 7), solid,
                Line(0, 5, 100), Text(2, 3, 101, "hidden note"), Sen{Pen(18, 5, 2), 0, 2, 5, 2},
                Insert(0, 6, 40, 10), shared, Insert(0, 6, 1, 60), Insert(0, 7, 3, 70),
                Insert(2, 1, 2, 80)};
  Moji inner = Text(0, 6, 1, "door^m");
  d.Blocks = {Def(3, "mixed", {Line(0, 5, 1), Text(2, 0, 2, "in a shown insert"), Insert(0, 0, 1, 3)}),
              Def(40, "door", {Line(0, 6, 0), inner, Insert(0, 6, 1, 5), Insert(0, 6, 1, 9)}),
              Def(1, "window", {Line(0, 6, 0), Arc(0, 6, 1)}),
              Def(2, "fixture", {Line(2, 0, 0)}),
              Def(7, "never inserted", {Line(0, 0, 0)})};
  if (wide) {  // the builder's wide strings are UTF-8
    auto utf8 = [](Moji& m) { m.FontName = "\xEF\xBC\xAD\xEF\xBC\xB3 Gothic^m"; };  // ＭＳ
    auto visit = [&](std::vector<Element>& list) {
      for (Element& e : list) {
        if (auto* m = std::get_if<Moji>(&e)) utf8(*m);
        if (auto* s = std::get_if<Sunpou>(&e)) utf8(s->ValueText);
      }
    };
    visit(d.Elements);
    for (BlockDef& b : d.Blocks) visit(b.Elements);
  }
  return d;
}

std::vector<uint8_t> Saved(TJwwData& doc) {
  testutil::TTempDir dir;
  EXPECT_TRUE(testutil::Ok(doc.SaveDocument(dir / "out.jww", doc.Header.Version)));
  return testutil::ReadAll(dir / "out.jww");
}

TEST(ProofTest, HoldsAfterThePurgeAndOnTheWrittenFile) {
  struct TCase {
    int32_t Version;
    bool Wide;
  };
  for (const TCase c : {TCase{230, false}, TCase{351, false}, TCase{420, false}, TCase{600, false},
                        TCase{700, false}, TCase{700, true}}) {
    SCOPED_TRACE(std::to_string(c.Version) + (c.Wide ? " wide" : ""));
    auto doc = Load(Plan(c.Version, c.Wide));
    const TVisualRecord before = TVisualRecord::Of(*doc);
    // Unpurged, the hidden material is there to find.
    ASSERT_TRUE(before.Compare(*doc).has_value());

    const qm::TPurgeResult purged = qm::PurgeHiddenMaterial(*doc);
    EXPECT_EQ(purged.RemovedElements, 4);
    EXPECT_EQ(purged.RemovedBlockDefs, 1);  // the fixture
    const auto difference = before.Compare(*doc);
    EXPECT_FALSE(difference.has_value()) << difference->What;

    // The file the writer makes, read back, shows the same.
    auto back = Load(Saved(*doc));
    const auto written = before.Compare(*back);
    EXPECT_FALSE(written.has_value()) << written->What;
    // It holds as the writer writes both sides: what it writes otherwise
    // ("^m" pairs, pens out of range, layer 99) is counted apart.
    const JwwNormalise::TNormalised changes = JwwNormalise::Changes(*doc, c.Version);
    EXPECT_GE(changes.Texts, 2);  // the shown text, and the one inside "door"
    EXPECT_GE(changes.Fonts, 1);
    EXPECT_GE(changes.Pens, 1);
    EXPECT_GE(changes.Layers, 1);
  }
}

// An image is compared by the bytes the output carries for it: an image the
// writer would drop, or a name that would find other bytes, is a difference.
TEST(ProofTest, ComparesTheBytesOfEveryImageShown) {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.Layers[1].State = 0;
  Sunpou dim = Dim(0, 0, 3);
  dim.ValueText.Text = "^@BMa.bmp";  // a dimension's value text shows an image too
  d.Elements = {Text(0, 0, 1, "^@BM%temp%a.bmp,10,10"), Text(0, 0, 2, "^@BMb.bmp,5,5"), dim, Line(0, 1, 0)};
  d.Images = {{"a.bmp", std::vector<uint8_t>(40, 0xA1), {}}, {"b.bmp", std::vector<uint8_t>(40, 0xB2), {}}};
  const auto bytes = Build(d);
  testutil::TScopedWorkFolder work;
  auto load = [&] {
    auto doc = std::make_unique<TJwwData>();
    EXPECT_TRUE(testutil::Ok(doc->LoadDocument(bytes.data(), bytes.size(), work.Options())));
    return doc;
  };
  auto doc = load();
  const TVisualRecord before = TVisualRecord::Of(*doc);
  qm::PurgeHiddenMaterial(*doc);
  EXPECT_FALSE(before.Compare(*doc).has_value());

  // The two names swapped: the same frames and names, other bytes.
  std::swap(doc->Images[0].FileName, doc->Images[1].FileName);
  auto diff = before.Compare(*doc);
  ASSERT_TRUE(diff.has_value());
  EXPECT_EQ(diff->Item, 0u);
  EXPECT_EQ(diff->What, "item 0 differs from the source's: the output shows an image (element 0, layer 0-0)");

  // An entry without bytes is not written: the image the second text shows is lost.
  doc = load();
  qm::PurgeHiddenMaterial(*doc);
  doc->Images[1].Size = 0;
  diff = before.Compare(*doc);
  ASSERT_TRUE(diff.has_value());
  EXPECT_EQ(diff->Item, 1u);
}

// Three lines, the middle one on the hidden layer 0-5: the record holds two
// items.
Drawing ThreeLines() {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.Layers[5].State = 0;
  d.Elements = {Line(0, 0, 1), Line(0, 5, 2), Line(0, 0, 3)};
  return d;
}

TEST(ProofTest, FindsAHiddenElementThatSurvives) {
  auto doc = Load(ThreeLines());
  const TVisualRecord before = TVisualRecord::Of(*doc);
  EXPECT_EQ(before.Items(), 2u);
  qm::PurgeHiddenMaterial(*doc);
  ASSERT_EQ(doc->EntityOrder[1].Kind, KindNone);
  doc->EntityOrder[1].Kind = KindSen;
  ++doc->LineCount;
  const auto d = before.Compare(*doc);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->Item, 1u);
  EXPECT_EQ(d->What, "item 1 differs from the source's: the output shows a line (element 1, layer 0-5)");
}

TEST(ProofTest, FindsAChangedShownElement) {
  auto doc = Load(ThreeLines());
  const TVisualRecord before = TVisualRecord::Of(*doc);
  qm::PurgeHiddenMaterial(*doc);
  doc->Lines[2].EndY = 0.001;
  auto d = before.Compare(*doc);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->Item, 1u);
  EXPECT_EQ(d->What, "item 1 differs from the source's: the output shows a line (element 2, layer 0-0)");

  // One item missing at the end.
  doc->Lines[2].EndY = 0;
  doc->EntityOrder[2].Kind = KindNone;
  --doc->LineCount;
  d = before.Compare(*doc);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->Item, 1u);
  EXPECT_EQ(d->What, "the output shows 1 items, the source 2");
}

TEST(ProofTest, FindsAChangeInsideADefinitionOrOfAnInsert) {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.LayerGroups[1].State = 0;
  d.Blocks = {Def(8, "a", {Line(0, 0, 1), Insert(0, 0, 9)}), Def(9, "b", {Arc(0, 0, 2)})};
  d.Elements = {Insert(0, 0, 8), Insert(1, 0, 9), Insert(0, 0, 8, 5)};
  // Items: insert of a, insert of a, [a] a's line, insert of b, [b] b's arc.
  const std::vector<uint8_t> bytes = Build(d);
  auto doc = Load(bytes);
  const TVisualRecord before = TVisualRecord::Of(*doc);
  EXPECT_EQ(before.Items(), 7u);
  qm::PurgeHiddenMaterial(*doc);
  ASSERT_FALSE(before.Compare(*doc).has_value());

  doc->BlockDefs[1].Lists().Arcs[0].Radius = 2;
  auto diff = before.Compare(*doc);
  ASSERT_TRUE(diff.has_value());
  EXPECT_EQ(diff->Item, 6u);
  EXPECT_EQ(diff->What,
            "item 6 differs from the source's: the output shows an arc (entry 0 of block definition 1 in the order "
            "reached)");

  doc = Load(bytes);
  qm::PurgeHiddenMaterial(*doc);
  doc->BlockInserts[2].Angle = 0.5;
  diff = before.Compare(*doc);
  ASSERT_TRUE(diff.has_value());
  EXPECT_EQ(diff->Item, 1u);
}

// The record does not expand inserts: a definition placed a thousand times
// is compared once.
TEST(ProofTest, ComparesEachDefinitionOnce) {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.Layers[1].State = 0;
  d.Blocks = {Def(0, "a", {Line(0, 0, 1), Arc(0, 0, 2)})};
  d.Elements.assign(1001, Insert(0, 0, 0));
  for (size_t k = 0; k < 1000; ++k) std::get<Block>(d.Elements[k]).X = static_cast<double>(k);
  d.Elements[1000] = Line(0, 1, 0);
  auto doc = Load(d);
  EXPECT_EQ(TVisualRecord::Of(*doc).Items(), 1000u + 1u + 2u);
}

// An insert of a number that no definition has shows nothing, and the
// writer keeps it so (its number becomes one no written definition has); the
// proof reads the inserts as the file will, and holds.
TEST(ProofTest, SeesTheNumbersTheWriterGivesTheInserts) {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.Layers[1].State = 0;
  d.Blocks = {Def(5, "a", {Line(0, 0, 1)})};
  d.Elements = {Insert(0, 0, 5), Insert(0, 0, 77), Insert(0, 0, 0), Line(0, 1, 0)};
  auto doc = Load(d);
  const TVisualRecord before = TVisualRecord::Of(*doc);
  qm::PurgeHiddenMaterial(*doc);
  EXPECT_FALSE(before.Compare(*doc).has_value());
  EXPECT_EQ(doc->MapBlockNumber(5), 0);
  EXPECT_EQ(doc->MapBlockNumber(77), 77);
  EXPECT_EQ(doc->MapBlockNumber(0), 1);
  // A written insert made to name another definition is seen.
  doc->BlockInserts[1].BlockNumber = 5;
  const auto diff = before.Compare(*doc);
  ASSERT_TRUE(diff.has_value());
  EXPECT_EQ(diff->Item, 1u);
  EXPECT_EQ(diff->What, "item 1 differs from the source's: the output shows a block insert (element 1, layer 0-0)");
}

// In a conversion: an element of a hidden layer forced to survive the purge
// is seen by the proof before anything is written, and the file is reported
// not converted.
TEST(ProofTest, AConversionWhoseOutputWouldShowMoreIsRefused) {
  testutil::TTempDir dir;
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.Layers[1].State = 0;
  d.Elements = {Line(0, 0, 1), Line(0, 1, 2), Arc(0, 0, 3)};
  testutil::WriteAll(dir / "plan.jww", Build(d));
  qm::TOutputRule outputs;
  qm::TConvertOptions options;
  TJwwData doc;
  const qm::TFileResult fine = qm::ConvertOne(dir / "plan.jww", outputs, doc, options);
  EXPECT_EQ(fine.Outcome, qm::TOutcome::Converted);
  EXPECT_EQ(fine.VisibleUnchanged, std::optional<bool>(true));
  // The hidden line back in the order list, past the purge, and moved to a
  // visible layer so that the purge's own guard does not see it either.
  options.AfterPurge = [](TJwwData& purged) {
    purged.EntityOrder[1].Kind = KindSen;
    ++purged.LineCount;
    purged.Lines[1].Header.Layer = 0;
  };
  const qm::TFileResult forced = qm::ConvertOne(dir / "plan.jww", outputs, doc, options);
  EXPECT_EQ(forced.Outcome, qm::TOutcome::Failed);
  EXPECT_EQ(forced.VisibleUnchanged, std::optional<bool>(false));
  EXPECT_NE(forced.Detail().find("would not show what the source shows"), std::string::npos) << forced.Detail();
  ASSERT_TRUE(forced.Failure);
  EXPECT_EQ(forced.Failure->Kind, TJwwFailure::Corrupt);
  EXPECT_EQ(forced.Failure->Context, "visual_proof");
  EXPECT_FALSE(forced.Removed);  // nothing was written
  ASSERT_EQ(qm::FileLines(forced).size(), 3u);
  EXPECT_EQ(qm::FileLines(forced)[2], "　変換出来ませんでした。");
  EXPECT_EQ(testutil::TTempDir::ListOf(dir.Path()), (std::vector<std::string>{"plan.jww", "plan_2.JWW"}));
}

}  // namespace
