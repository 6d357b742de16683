// The hidden information besides hidden layers: the memo, temporary points,
// auxiliary elements and elements wholly outside the sheet. How each is
// found (and where its edges lie), how the purge removes what is asked for
// and nothing else, what the proof and the guard then hold, and the bytes of
// an emptied memo. Drawings are made by the builder; the sheet is A3
// (x -210..210, y -148.5..148.5) unless said otherwise.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "convert.h"
#include "drawings.h"
#include "hiddenkinds.h"
#include "jwwunit.h"
#include "proof.h"
#include "purge.h"
#include "record.h"
#include "testutil.h"

namespace {

using namespace qm;

namespace fs = std::filesystem;
using namespace draw;
using qm::TAlsoRemove;
using qm::view::AuxiliaryKind;
using qm::view::OffSheetKind;
using qm::view::TemporaryPointKind;

constexpr double Pi = 3.14159265358979323846;

std::unique_ptr<TJwwData> Load(const Drawing& d) {
  const std::vector<uint8_t> bytes = Build(d);
  auto doc = std::make_unique<TJwwData>();
  EXPECT_TRUE(testutil::Ok(doc->LoadDocument(bytes.data(), bytes.size())));
  return doc;
}

Sen Segment(double x0, double y0, double x1, double y1) {
  Sen e = Line(0, 0);
  e.StartX = x0;
  e.StartY = y0;
  e.EndX = x1;
  e.EndY = y1;
  return e;
}

Ten At(double x, double y) {
  Ten p = Point(0, 0, x);
  p.Y = y;
  return p;
}

// A dimension whose every part lies right of the sheet, but for the first
// extension line when it is given a place of its own.
Sunpou OffSheetDimension(double auxLineX = 300) {
  Sunpou d = Dim(0, 0, 300);
  d.Line = Segment(300, 0, 310, 0);
  d.AuxLine1 = Segment(auxLineX, 0, auxLineX, 5);
  d.AuxLine2 = Segment(310, 0, 310, 5);
  d.Point1 = At(300, 0);
  d.Point2 = At(310, 0);
  d.Point3 = At(300, 5);
  d.Point4 = At(310, 5);
  return d;
}

Moji Label(double x, std::string text, double size = 5) {
  Moji t = Text(0, 0, x, std::move(text));
  t.SizeX = size;
  return t;
}

TEST(HiddenKindsTest, AnElementIsOutsideTheSheetOnlyWhenAllItDrawsIs) {
  Block turned = Insert(0, 0, 1, 240);  // its diagonal turned upright at x 240
  turned.Angle = Pi / 4;
  Block reaching = turned;  // the same at x 200: on the sheet
  reaching.X = 200;
  Enko crossing = Arc(0, 0, 230);
  crossing.Radius = 25;  // x 205..255
  Enko away = Arc(0, 0, 300);
  Solid above = Fill(0, 0, 0);
  above.StartY = above.EndY = above.Point2Y = above.Point3Y = 200;
  above.EndX = 5;
  struct TCase {
    const char* What;
    Element E;
    bool Outside;
  };
  const std::vector<TCase> cases = {
      {"a line on the sheet", Segment(0, 0, 1, 0), false},
      {"a line right of it", Segment(300, 0, 301, 0), true},
      {"a line that touches its edge", Segment(210, 0, 300, 0), false},
      {"a text that crosses its edge", Label(205, "abcd"), false},  // 205..215
      {"a text whose frame reaches in from outside", Label(-220, "abcdefgh"), false},  // -220..-200
      {"a text wholly outside", Label(211, "abcd"), true},
      {"a turned insert wholly outside", turned, true},  // its box, turned, would reach in
      {"a turned insert partly inside", reaching, false},
      {"a dimension with one part inside", OffSheetDimension(205), false},
      {"a dimension wholly outside", OffSheetDimension(), true},
      {"a circle crossing the edge", crossing, false},
      {"a circle outside", away, true},
      {"a point outside", At(300, 0), true},
      {"a solid above the sheet", above, true},
      {"an insert of no definition", Insert(0, 0, 9, 0), true},  // draws nothing
  };
  Drawing d;
  d.Hdr.Version = 700;
  d.Blocks = {Def(1, "diagonal", {Segment(0, 0, 100, 100)})};
  for (const TCase& c : cases) d.Elements.push_back(c.E);
  auto doc = Load(d);
  const qm::view::TElementKinds kinds = qm::view::ClassifyElements(*doc);
  ASSERT_EQ(kinds.Of.size(), cases.size());
  int outside = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ((kinds.Of[i] & OffSheetKind) != 0, cases[i].Outside) << cases[i].What;
    outside += cases[i].Outside;
  }
  EXPECT_EQ(kinds.OffSheet, outside);
  EXPECT_EQ(kinds.TemporaryPoints + kinds.Auxiliary, 0);

  // A drawing whose paper size names no sheet has nothing outside it.
  d.Hdr.PaperSize = 7;
  EXPECT_EQ(qm::view::ClassifyElements(*Load(d)).OffSheet, 0);
}

TEST(HiddenKindsTest, TheExtentOfWhatLiesOutsideTheSheet) {
  Drawing d;
  d.Hdr.Version = 600;
  d.Elements = {Segment(300, 0, 301, 0), Segment(0, 0, 1, 1), Segment(-400, 10, -399, 12)};
  const qm::view::TElementKinds kinds = qm::view::ClassifyElements(*Load(d));
  EXPECT_EQ(kinds.OffSheet, 2);
  EXPECT_EQ(kinds.OffSheetExtent, (qm::view::TBox{-400, 0, 301, 12}));
}

// Each kind on shown layers among top-level elements only: an auxiliary
// element on a hidden layer is hidden material and nothing else, and a
// definition's contents are not looked at.
TEST(HiddenKindsTest, TemporaryAndAuxiliaryElementsAreFoundOnShownLayersAtTheTopLevel) {
  Drawing d = HiddenGroupDrawing(700);  // group 1 hidden
  auto pen = [](auto e, uint8_t style, uint16_t color) {
    e.H.PenStyle = style;
    e.H.PenColor = color;
    return e;
  };
  Ten temporary = Point(0, 0, 3);
  temporary.Temporary = 1;
  Ten hiddenTemporary = Point(1, 0, 3);
  hiddenTemporary.Temporary = 1;
  Ten insideBlock = Point(0, 0, 4);
  insideBlock.Temporary = 1;
  Moji farNote = pen(Label(300, "x"), 1, 9);
  d.Blocks = {Def(1, "b", {insideBlock, pen(Line(0, 0), 9, 1)})};
  d.Elements = {
      Line(0, 0),                      // 0: nothing
      temporary,                       // 1: temporary
      pen(Line(0, 0), 9, 1),           // 2: auxiliary line type
      pen(Text(0, 0), 9, 1),           // 3: a text in the auxiliary line type
      pen(Point(0, 0), 1, 9),          // 4: a point in the auxiliary colour
      pen(Point(0, 0), 9, 1),          // 5: a point's style tells its extra fields only
      pen(Dim(0, 0), 1, 9),            // 6: a dimension in the auxiliary colour
      pen(Line(1, 0), 9, 9),           // 7: on the hidden group
      hiddenTemporary,                 // 8: on the hidden group
      Insert(0, 0, 1),                 // 9: its contents are not looked at
      farNote,                         // 10: auxiliary and off the sheet
  };
  auto doc = Load(d);
  const qm::view::TElementKinds kinds = qm::view::ClassifyElements(*doc);
  EXPECT_EQ(kinds.Of, (std::vector<uint8_t>{0, TemporaryPointKind, AuxiliaryKind, AuxiliaryKind, AuxiliaryKind, 0,
                                            AuxiliaryKind, 0, 0, 0, AuxiliaryKind | OffSheetKind}));
  EXPECT_EQ(kinds.TemporaryPoints, 1);
  EXPECT_EQ(kinds.Auxiliary, 5);
  EXPECT_EQ(kinds.OffSheet, 1);

  // Removed, the definition keeps its temporary point and auxiliary line.
  qm::PurgeHiddenMaterial(*doc, TAlsoRemove::All(), &kinds);
  EXPECT_EQ(doc->TotalCount(), 3);  // the plain line, the point of style 9, the insert
  ASSERT_EQ(doc->BlockDefs.size(), 1u);
  EXPECT_TRUE(doc->BlockDefs[0].Used);
  EXPECT_EQ(doc->BlockDefs[0].Lists().Points.at(0).Temporary, 1);
  EXPECT_EQ(doc->BlockDefs[0].Lists().LineCount, 1);
}

TEST(HiddenKindsTest, TheMemoIsCountedInCharactersWithoutTheWhiteSpaceAtItsEnds) {
  struct TCase {
    TJwwString Memo;
    int32_t Characters;
  };
  const std::vector<TCase> cases = {
      {"", 0},
      {"abc", 3},
      {"\r\n abc\r\ndef\x81\x40\r\n", 8},  // CR LF inside counts; U+3000 at the end does not
      {"\x81\x40\t \r\n", 0},
      {"\x90\x7D\x96\xCA", 2},  // 図面: two characters, four bytes
      {"\x85", 1},              // a lead byte alone: one character that does not decode
      {TJwwString::Wide(u"\u3000a b\u3000"), 3},
      {TJwwString::Wide(u"\U0002000Bx"), 2},  // a surrogate pair is one character
      {TJwwString::Wide(u"\xD800x"), 2},       // an unpaired one too
  };
  for (const TCase& c : cases) EXPECT_EQ(qm::MemoCharacters(c.Memo), c.Characters) << c.Memo;
}

// A drawing with one of everything: group 1 hidden with an auxiliary line;
// on the shown layers a memo, a temporary point, an auxiliary line off the
// sheet, the only insert (off the sheet) and a text off the sheet showing an
// image.
Drawing EveryKind() {
  Drawing d = HiddenGroupDrawing(700);
  d.Hdr.Memo = "client: \x90\x7D\x96\xCA\r\nnote";
  Ten temporary = Point(0, 0, 5);
  temporary.Temporary = 1;
  Sen far = Segment(500, 0, 501, 0);
  far.H.PenStyle = 9;
  Sen hiddenAux = Line(1, 0, 7);
  hiddenAux.H.PenStyle = 9;
  d.Elements.push_back(temporary);
  d.Elements.push_back(far);
  d.Elements.push_back(hiddenAux);
  d.Elements.push_back(Insert(0, 0, 1, 600));
  d.Elements.push_back(Text(0, 0, 700, "^@BM%temp%far.jpg,1,1,0,0,1,0"));
  d.Blocks = {Def(1, "door", {Line(0, 0, 9)})};
  d.Images = {{"far.jpg", std::vector<uint8_t>(40, 7), {}}};
  return d;
}

TEST(HiddenPurgeTest, RemovesWhatIsAskedOnceAndCountsItUnderEachKindAsked) {
  auto doc = Load(EveryKind());
  ASSERT_EQ(doc->TotalCount(), 7);
  const qm::view::TElementKinds kinds = qm::view::ClassifyElements(*doc);
  EXPECT_EQ(kinds.Of, (std::vector<uint8_t>{0, 0, TemporaryPointKind, AuxiliaryKind | OffSheetKind, 0, OffSheetKind,
                                            OffSheetKind}));
  const TAlsoRemove all = TAlsoRemove::All();
  const qm::view::TVisualRecord before =
      qm::view::TVisualRecord::Of(*doc, kinds.Of, all.Elements());
  const qm::TPurgeResult r = qm::PurgeHiddenMaterial(*doc, all, &kinds);
  EXPECT_EQ(r.RemovedElements, 2);  // the hidden group's line and auxiliary line, as hidden only
  EXPECT_EQ(r.RemovedMemo, 16);
  EXPECT_EQ(r.RemovedTemporaryPoints, 1);
  EXPECT_EQ(r.RemovedAuxiliary, 1);
  EXPECT_EQ(r.RemovedOffSheet, 3);
  EXPECT_EQ(r.RemovedBlockDefs, 1);  // its only insert went
  EXPECT_EQ(r.RemovedImages, 1);     // the only text showing it went
  EXPECT_EQ(doc->TotalCount(), 1);   // seven less two hidden, less four (the line once)
  EXPECT_EQ(doc->Header.Memo, "");
  EXPECT_FALSE(doc->Header.Memo.IsWide());
  const auto difference = before.Compare(*doc);
  EXPECT_FALSE(difference.has_value()) << difference->What;
  EXPECT_EQ(qm::FindHiddenMaterial(*doc, all, &kinds), "");

  // Only what is asked: the off-sheet elements, judged here.
  doc = Load(EveryKind());
  const qm::TPurgeResult offSheet = qm::PurgeHiddenMaterial(*doc, {.OffSheet = true});
  EXPECT_EQ(offSheet.RemovedOffSheet, 3);
  EXPECT_EQ(offSheet.RemovedAuxiliary + offSheet.RemovedTemporaryPoints + offSheet.RemovedMemo, 0);
  EXPECT_EQ(doc->TotalCount(), 2);
  EXPECT_NE(doc->Header.Memo, "");
  // Nothing asked: the hidden group only, as ever.
  doc = Load(EveryKind());
  const qm::TPurgeResult plain = qm::PurgeHiddenMaterial(*doc);
  EXPECT_EQ(plain.RemovedElements, 2);
  EXPECT_EQ(plain.RemovedOffSheet + plain.RemovedAuxiliary + plain.RemovedTemporaryPoints + plain.RemovedMemo, 0);
  EXPECT_EQ(doc->TotalCount(), 5);
}

TEST(HiddenPurgeTest, TheGuardFindsWhatWasAskedToGoAndStayed) {
  auto doc = Load(EveryKind());
  const qm::view::TElementKinds kinds = qm::view::ClassifyElements(*doc);
  const TAlsoRemove all = TAlsoRemove::All();
  EXPECT_EQ(qm::FindHiddenMaterial(*doc, {.Memo = true}), "the memo is still there");
  qm::PurgeHiddenMaterial(*doc);  // the hidden group only
  EXPECT_EQ(qm::FindHiddenMaterial(*doc), "");
  EXPECT_EQ(qm::FindHiddenMaterial(*doc, {.TemporaryPoints = true}), "element 2 is a temporary point");
  EXPECT_EQ(qm::FindHiddenMaterial(*doc, {.Auxiliary = true}), "element 3 is auxiliary");
  EXPECT_EQ(qm::FindHiddenMaterial(*doc, {.OffSheet = true}, &kinds), "element 3 lies outside the sheet");
  doc->Header.Memo = TJwwString("\x81\x40\r\n");  // white space only: nothing to leak
  qm::PurgeHiddenMaterial(*doc, all, &kinds);
  EXPECT_EQ(qm::FindHiddenMaterial(*doc, all, &kinds), "");
}

// The memo is emptied in the form it was stored in: the header after the
// signature and the version holds the empty string (a length byte of 0, or
// the wide marker FF FE and a length of 0), then the paper size 3; every
// other byte is that of the same drawing written with an empty memo.
TEST(HiddenPurgeTest, AnEmptiedMemoKeepsItsForm) {
  for (const bool wide : {false, true}) {
    Drawing d = HiddenGroupDrawing(700);
    d.Hdr.Wide = wide;
    d.Hdr.Memo = "abc";
    auto doc = Load(d);
    ASSERT_EQ(doc->WideStrings(), wide);
    qm::PurgeHiddenMaterial(*doc, {.Memo = true});
    const std::vector<uint8_t> out = doc->WriteToMemory(700);
    const std::vector<uint8_t> head = wide ? testutil::Hex("FF FE FF 00 03 00 00 00") : testutil::Hex("00 03 00 00 00");
    ASSERT_GT(out.size(), 12 + head.size());
    EXPECT_TRUE(testutil::SameBytes(std::vector<uint8_t>(out.begin() + 12, out.begin() + 12 + static_cast<std::ptrdiff_t>(head.size())), head))
        << (wide ? "wide" : "narrow");

    d.Hdr.Memo.clear();
    auto none = Load(d);
    qm::PurgeHiddenMaterial(*none);
    EXPECT_TRUE(testutil::SameBytes(out, none->WriteToMemory(700))) << (wide ? "wide" : "narrow");
  }
}

// ---------------------------------------------------------------------------
// Along the road.

class HiddenRoadTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir, Work;
  qm::TFileResult Convert(const fs::path& source, const TAlsoRemove& remove, bool dryRun = false) {
    qm::TOutputRule outputs;
    TJwwData doc;
    qm::TConvertOptions options;
    options.Remove = remove;
    options.DryRun = dryRun;
    options.WorkFolder = Work.Path();
    return qm::ConvertOne(source, outputs, doc, options);
  }
  fs::path Put(const std::string& name, const Drawing& d) {
    WriteFile(Dir / name, Build(d));
    return Dir / name;
  }
};

// A drawing without hidden layers that holds a memo converts only when the
// memo is asked to go.
TEST_F(HiddenRoadTest, ADrawingWithOnlyAMemoConvertsOnlyWhenAsked) {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.Memo = "\x8C\xDA\x8B\x71\x96\xBC";  // 顧客名
  d.Elements = {Line(0, 0)};
  const fs::path source = Put("memo.jww", d);
  for (const TAlsoRemove& other : {TAlsoRemove{}, TAlsoRemove{.OffSheet = true, .Auxiliary = true}}) {
    const qm::TFileResult r = Convert(source, other);
    EXPECT_EQ(r.Outcome, qm::TOutcome::NothingHidden);
    EXPECT_EQ(r.Facts.Found.has_value(), other.Any());  // read whole to look for the kinds asked
  }
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"memo.jww"});

  const qm::TFileResult r = Convert(source, {.Memo = true});
  ASSERT_EQ(r.Outcome, qm::TOutcome::Converted) << r.Detail();
  EXPECT_EQ(r.Removed->Memo, 3);
  EXPECT_EQ(r.Removed->Elements, 0);
  EXPECT_EQ(r.Removed->Remaining, 1);
  EXPECT_EQ(r.Facts.Found->Memo, 3);
  EXPECT_EQ(r.VisibleUnchanged, true);
  EXPECT_EQ(qm::ExtraLines(r), std::vector<std::string>{"　ほかに削除：メモ"});
  TJwwData out;
  ASSERT_TRUE(testutil::Ok(out.LoadDocument(Dir / "memo_2.JWW")));
  EXPECT_EQ(out.Header.Memo, "");
  EXPECT_EQ(out.LineCount, 1);
}

// An output that holds no element, whatever emptied it, counts in the totals.
TEST_F(HiddenRoadTest, TheTotalsCountTheEmptyOutputs) {
  Drawing far;
  far.Hdr.Version = 600;
  far.Elements = {Segment(300, 0, 301, 0)};
  const qm::TFileResult empty = Convert(Put("far.jww", far), {.OffSheet = true});
  ASSERT_EQ(empty.Outcome, qm::TOutcome::Converted) << empty.Detail();
  EXPECT_TRUE(qm::EmptyOutput(empty));
  const qm::TFileResult kept = Convert(Put("every.jww", EveryKind()), TAlsoRemove::All(), true);
  ASSERT_EQ(kept.Outcome, qm::TOutcome::WouldConvert) << kept.Detail();
  EXPECT_EQ(kept.Removed->Remaining, 1);
  EXPECT_FALSE(qm::EmptyOutput(kept));
  qm::TTotals totals;
  totals.Add(empty);
  totals.Add(kept);
  EXPECT_EQ(qm::TotalsLine(totals),
            "集計：変換 2（表示一致 2、書き出しで整えたもの 0、空の図面 1）、非表示レイヤなし 0、読み込めない 0、変換出来ない 0");
}

// Without anything asked, a conversion writes exactly what the purge of the
// hidden layers alone writes: the bundled samples and drawings holding every
// kind, byte for byte.
TEST_F(HiddenRoadTest, NothingAskedWritesTheOutputOfTheHiddenLayersAlone) {
  std::vector<fs::path> sources;
  const fs::path samples = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "samples";
  for (const auto& e : fs::directory_iterator(samples)) {
    fs::copy_file(e.path(), Dir / e.path().filename());
    sources.push_back(Dir / e.path().filename());
  }
  ASSERT_GE(sources.size(), 5u);
  Drawing old = EveryKind();
  old.Hdr.Version = 351;
  old.Images.clear();
  for (const auto& [name, d] : std::vector<std::pair<std::string, Drawing>>{
           {"every.jww", EveryKind()}, {"old.jww", old}})
    sources.push_back(Put(name, d));
  size_t compared = 0;
  for (const fs::path& source : sources) {
    const qm::TFileResult r = Convert(source, {});
    if (r.Outcome == qm::TOutcome::NothingHidden) continue;
    ++compared;
    ASSERT_EQ(r.Outcome, qm::TOutcome::Converted) << source << ": " << r.Detail();
    TJwwData doc;
    TLoadOptions load;
    load.WorkFolder = Work.Path();
    ASSERT_TRUE(testutil::Ok(doc.LoadDocument(source, load)));
    qm::PurgeHiddenMaterial(doc);
    EXPECT_TRUE(testutil::SameBytes(testutil::ReadAll(r.Output), doc.WriteToMemory(doc.Header.Version))) << source;
  }
  EXPECT_EQ(compared, sources.size() - 1);  // all but the sample with nothing hidden
}

}  // namespace
