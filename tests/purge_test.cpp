// The hidden-layer test and the purge, on drawings assembled by the builder
// and read through a file, or on layer tables set up in memory.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "drawings.h"
#include "jwwunit.h"
#include "proof.h"
#include "purge.h"
#include "testutil.h"

namespace {

using namespace qm;

using namespace draw;

std::unique_ptr<TJwwData> Load(const Drawing& d) {
  testutil::TTempDir dir;
  WriteFile(dir / "d.jww", Build(d));
  auto doc = std::make_unique<TJwwData>();
  EXPECT_TRUE(testutil::Ok(doc->LoadDocument(dir / "d.jww")));
  return doc;
}

// The purge, with its visual proof: the purged drawing, every layer on,
// shows exactly what the drawing showed with its hidden layers off.
qm::TPurgeResult Purge(TJwwData& d) {
  const qm::view::TVisualRecord before = qm::view::TVisualRecord::Of(d);
  const qm::TPurgeResult r = qm::PurgeHiddenMaterial(d);
  const auto difference = before.Compare(d);
  EXPECT_FALSE(difference.has_value()) << difference->What;
  return r;
}

std::vector<int32_t> Kinds(const TJwwData& d) {
  std::vector<int32_t> k;
  for (const auto& item : d.EntityOrder) k.push_back(item.Kind);
  return k;
}

TEST(PurgeTest, EmptiesTheNamesOfHiddenGroupsAndLayersAndKeepsEveryState) {
  Drawing d;
  d.Hdr.Version = 600;
  auto& g = d.Hdr.LayerGroups;
  auto& l = d.Hdr.Layers;
  g[0].Name = "\x90\x7D\x96\xCA";  // 図面
  g[3] = {.State = 0, .Name = "\x89\x42\x82\xB5"};  // 隠し
  g[5] = {.State = 1, .Name = "G5"};
  l[3 * 16 + 3] = {.State = 2, .Name = "keep"};  // own state 2 in the hidden group 3
  l[3 * 16 + 0] = {.State = 1, .Name = "g3l0"};
  l[3 * 16 + 4] = {.State = 0, .Name = "gone"};
  l[0 * 16 + 5] = {.State = 0, .Name = "L05"};
  l[0 * 16 + 6] = {.State = -7, .Name = "odd"};
  l[15 * 16 + 15] = {.State = 0, .Name = "last"};
  auto doc = Load(d);
  std::vector<int32_t> before;
  for (const auto& x : doc->LayerGroups) before.push_back(x.State);
  for (const auto& x : doc->Layers) before.push_back(x.State);

  Purge(*doc);

  EXPECT_EQ(doc->LayerGroups[0].Name, "\x90\x7D\x96\xCA");
  EXPECT_EQ(doc->LayerGroups[3].Name, "");
  EXPECT_EQ(doc->LayerGroups[5].Name, "G5");
  EXPECT_EQ(doc->Layers[3 * 16 + 3].Name, "keep");
  EXPECT_EQ(doc->Layers[3 * 16 + 0].Name, "g3l0");
  EXPECT_EQ(doc->Layers[3 * 16 + 4].Name, "");
  EXPECT_EQ(doc->Layers[5].Name, "");
  EXPECT_EQ(doc->Layers[6].Name, "odd");
  EXPECT_EQ(doc->Layers[255].Name, "");
  std::vector<int32_t> after;
  for (const auto& x : doc->LayerGroups) after.push_back(x.State);
  for (const auto& x : doc->Layers) after.push_back(x.State);
  EXPECT_EQ(after, before);
  EXPECT_EQ(doc->LayerGroups[3].State, 0);
  EXPECT_EQ(doc->Layers[6].State, -7);
}

TEST(PurgeTest, MarksEveryElementOnAHiddenGroupOrLayerAsDeletedAndLowersTheCounts) {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.LayerGroups[3].State = 0;
  d.Hdr.Layers[5].State = 0;   // (0,5)
  d.Hdr.Layers[6].State = -7;  // (0,6): not hidden
  d.Elements = {Line(0, 0, 1), Arc(0, 5, 2), Point(3, 3, 3), Text(0, 1, 4), Dim(3, 0, 5),
                Fill(2, 2, 6), Line(0, 5, 7), Point(1, 1, 8), Text(0, 6, 9), Fill(3, 15, 10)};
  auto doc = Load(d);
  ASSERT_EQ(Kinds(*doc), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 1, 3, 4, 6}));
  const auto orderBefore = doc->EntityOrder;
  const auto linesBefore = doc->Lines;

  const qm::TPurgeResult r = Purge(*doc);

  EXPECT_EQ(r.RemovedElements, 5);
  EXPECT_EQ(Kinds(*doc), (std::vector<int32_t>{1, 0, 0, 4, 0, 6, 0, 3, 4, 0}));
  ASSERT_EQ(doc->EntityOrder.size(), orderBefore.size());
  for (size_t i = 0; i < orderBefore.size(); ++i) {
    EXPECT_EQ(doc->EntityOrder[i].Index, orderBefore[i].Index) << i;
    if (doc->EntityOrder[i].Kind != 0) {
      EXPECT_EQ(doc->EntityOrder[i].Kind, orderBefore[i].Kind) << i;
    }
  }
  EXPECT_EQ(doc->Header.EntityCount, 10);
  EXPECT_EQ(doc->LineCount, 1);
  EXPECT_EQ(doc->ArcCount, 0);
  EXPECT_EQ(doc->PointCount, 1);
  EXPECT_EQ(doc->TextCount, 2);
  EXPECT_EQ(doc->DimensionCount, 0);
  EXPECT_EQ(doc->SolidCount, 1);
  EXPECT_EQ(doc->TotalCount(), 5);
  EXPECT_EQ(doc->Lines, linesBefore);  // the records stay where they are
}

TEST(PurgeTest, NothingHiddenChangesNothing) {
  Drawing d;
  d.Hdr.Version = 420;
  d.Elements = {Line(15, 15), Insert(4, 4, 1)};
  d.Blocks = {Def(1, "A", {Point(0, 0)}), Def(2, "unused", {})};
  auto doc = Load(d);
  const qm::TPurgeResult r = Purge(*doc);
  EXPECT_EQ(r.RemovedElements, 0);
  EXPECT_EQ(r.RemovedBlockDefs, 0);
  EXPECT_EQ(Kinds(*doc), (std::vector<int32_t>{1, 7}));
  EXPECT_EQ(doc->UsedBlockDefCount, 1);
  EXPECT_EQ(doc->BlockDefCount, 2);
}

// Without any remaining insert every definition goes, with the bookkeeping.
TEST(PurgeTest, DropsEveryBlockDefinitionWhenNoInsertRemains) {
  for (const bool withHiddenInserts : {true, false}) {
    SCOPED_TRACE(withHiddenInserts ? "all inserts hidden" : "no insert at all");
    Drawing d;
    d.Hdr.Version = 351;
    d.Hdr.LayerGroups[2].State = 0;
    d.Elements = {Line(0, 0)};
    if (withHiddenInserts) {
      d.Elements.push_back(Insert(2, 7, 1));
      d.Elements.push_back(Insert(2, 0, 2));
    }
    d.Blocks = {Def(1, "A", {Insert(0, 0, 2)}), Def(2, "B", {Line(0, 0)})};
    auto doc = Load(d);
    ASSERT_EQ(doc->BlockDefCount, 2);

    const qm::TPurgeResult r = Purge(*doc);

    EXPECT_EQ(r.RemovedBlockDefs, withHiddenInserts ? 2 : 0);
    EXPECT_EQ(doc->BlockInsertCount, 0);
    EXPECT_TRUE(doc->BlockDefs.empty());
    EXPECT_EQ(doc->BlockDefCount, 0);
    EXPECT_EQ(doc->Header.DeclaredBlockDefCount, 0);
    EXPECT_TRUE(doc->BlockTree.empty());
    EXPECT_EQ(doc->BlockTreeCount, 0);
    EXPECT_EQ(doc->UsedBlockDefCount, 0);
    EXPECT_EQ(doc->LineCount, 1);
  }
}

// Definitions in file order D, A, E, B, C. A visible insert of A reaches A ->
// B -> C; the only insert of D is hidden, and E is reached only through D.
TEST(PurgeTest, KeepsExactlyTheDefinitionsThatRemainingInsertsReachAndLeavesTheirContents) {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.LayerGroups[2].State = 0;
  d.Hdr.Layers[5].State = 0;  // (0,5)
  d.Elements = {Insert(0, 0, 3, 1), Insert(2, 1, 7, 2), Insert(0, 5, 3, 3), Line(0, 1)};
  d.Blocks = {Def(7, "D", {Line(0, 0), Insert(0, 0, 9)}),
              Def(3, "A", {Line(0, 5, 5), Text(2, 0), Insert(0, 0, 5)}),
              Def(9, "E", {Point(0, 0)}),
              Def(5, "B", {Arc(2, 3), Insert(2, 2, 1)}),
              Def(1, "C", {Fill(0, 5)})};
  auto doc = Load(d);
  ASSERT_EQ(doc->BlockDefs.size(), 5u);
  ASSERT_EQ(doc->UsedBlockDefCount, 5);
  const std::vector<TEntJwwBlockDef> before = doc->BlockDefs;

  const qm::TPurgeResult r = Purge(*doc);

  EXPECT_EQ(Kinds(*doc), (std::vector<int32_t>{7, 0, 0, 1}));
  EXPECT_EQ(doc->BlockInsertCount, 1);
  EXPECT_EQ(r.RemovedBlockDefs, 2);
  EXPECT_EQ(doc->UsedBlockDefCount, 3);
  ASSERT_EQ(doc->BlockDefs.size(), 5u);
  const std::vector<bool> used = {false, true, false, true, true};
  const std::vector<int32_t> numbers = {-1, 0, -1, 1, 2};
  for (size_t i = 0; i < 5; ++i) {
    const TEntJwwBlockDef& a = doc->BlockDefs[i];
    const TEntJwwBlockDef& b = before[i];
    SCOPED_TRACE(b.Name);
    EXPECT_EQ(a.Used, used[i]);
    EXPECT_EQ(a.NewNumber, numbers[i]);
    // Contents untouched, also the elements on hidden layers.
    EXPECT_EQ(a.Number, b.Number);
    EXPECT_EQ(a.Order, b.Order);
    EXPECT_EQ(a.Lists().Lines, b.Lists().Lines);
    EXPECT_EQ(a.Lists().Arcs, b.Lists().Arcs);
    EXPECT_EQ(a.Lists().Points, b.Lists().Points);
    EXPECT_EQ(a.Lists().Texts, b.Lists().Texts);
    EXPECT_EQ(a.Lists().Solids, b.Lists().Solids);
    EXPECT_EQ(a.Lists().BlockInserts, b.Lists().BlockInserts);
    EXPECT_EQ(a.TotalCount(), b.TotalCount());
  }
  EXPECT_EQ(doc->BlockDefs[1].Lists().LineCount, 1);
  EXPECT_EQ(doc->BlockDefs[1].Lists().TextCount, 1);
}

// The writer puts a group or layer number above 15 on 0; the purge tests it there.
TEST(PurgeTest, TestsLayerNumbersAbove15AsZero) {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.Layers[2].State = 0;        // (0,2)
  d.Hdr.Layers[16 + 2].State = 0;   // (1,2): what l = 18 would index in group 0
  d.Hdr.Layers[16 + 0].State = 0;   // (1,0)
  d.Hdr.LayerGroups[4].State = 0;   // what group 20 would be taken modulo 16
  d.Elements = {Line(0, 18, 1), Line(17, 2, 2),  Line(20, 3, 3),
                Line(1, 16, 4), Line(16, 16, 5), Point(65535, 65535, 6)};
  auto doc = Load(d);
  ASSERT_EQ(doc->Lines.size(), 5u);
  ASSERT_EQ(doc->Lines[1].Header.LayerGroup, 17);  // read as stored

  Purge(*doc);

  EXPECT_EQ(Kinds(*doc), (std::vector<int32_t>{1, 0, 1, 0, 1, 3}));
  EXPECT_EQ(doc->LineCount, 3);
}

// Gives a document the two layer tables only, every state 2.
void Tables(TJwwData& d) {
  d.LayerGroups.assign(16, {});
  d.Layers.assign(256, {});
  for (auto& g : d.LayerGroups) g.State = 2;
  for (auto& l : d.Layers) l.State = 2;
}

TEST(HasHiddenLayerTest, FindsAnySingleHiddenGroupOrLayerAndNothingElse) {
  TJwwData d;
  Tables(d);
  EXPECT_FALSE(qm::HasHiddenLayer(d));
  const int32_t others[] = {1, 3, -1, INT_MIN, INT_MAX, 256};
  for (size_t i = 0; i < 256; ++i) {
    d.Layers[i].State = others[i % 6];
    d.Layers[i].Name = "n";
  }
  for (size_t g = 0; g < 16; ++g) d.LayerGroups[g].State = others[(g + 1) % 6];
  EXPECT_FALSE(qm::HasHiddenLayer(d)) << "only the state 0 means hidden";

  for (size_t g = 0; g < 16; ++g) {
    TJwwData one;
    Tables(one);
    one.LayerGroups[g].State = 0;
    EXPECT_TRUE(qm::HasHiddenLayer(one)) << "group " << g;
  }
  for (size_t i = 0; i < 256; ++i) {
    TJwwData one;
    Tables(one);
    one.Layers[i].State = 0;
    EXPECT_TRUE(qm::HasHiddenLayer(one)) << "layer " << i / 16 << "," << i % 16;
  }
}

}  // namespace

// The purge's guard before a save: a purged drawing passes; each way hidden
// material could still reach the file is named.
TEST(PurgeGuard, NamesWhatWouldLeak) {
  Drawing src;
  src.Hdr.Version = 600;
  src.Hdr.LayerGroups[1] = {.State = 0, .Name = "g1"};
  src.Hdr.Layers[3] = {.State = 0, .Name = "l3"};
  src.Elements = {Line(0, 0, 1), Line(1, 0, 2), Line(0, 3, 3), Insert(0, 0, 5), Insert(1, 1, 6)};
  src.Blocks = {Def(5, "kept", {Line(1, 0)}), Def(6, "hidden only", {Line(0, 0)})};
  auto d = Load(src);
  EXPECT_NE(qm::FindHiddenMaterial(*d).find("hidden layer group 1"), std::string::npos);
  Purge(*d);
  EXPECT_EQ(qm::FindHiddenMaterial(*d), "");

  d->Layers[3].Name = "l3";
  EXPECT_NE(qm::FindHiddenMaterial(*d).find("hidden layer 0-3"), std::string::npos);
  d->Layers[3].Name.clear();
  d->EntityOrder[2].Kind = KindSen;  // the element on layer 0-3 back in
  ++d->LineCount;
  EXPECT_NE(qm::FindHiddenMaterial(*d).find("element 2"), std::string::npos);
  d->EntityOrder[2].Kind = KindNone;
  --d->LineCount;
  d->BlockDefs[1].Used = true;  // reached only through the removed insert
  EXPECT_NE(qm::FindHiddenMaterial(*d).find("block definition 1"), std::string::npos);
}
