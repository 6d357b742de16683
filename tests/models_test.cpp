// The models the main window shows, without a window: the file list (what
// may be listed, the selection, removal, sorting), the detail pane's texts,
// and the rules of a close during a batch.
#include <gtest/gtest.h>

#include "closing.h"
#include "drawings.h"
#include "formrig.h"
#include "messages.h"
#include "pane.h"

namespace {

namespace fs = std::filesystem;
using namespace draw;

class ModelsTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir;
  fs::path Touch(const std::string& name) {
    fs::create_directories((Dir / name).parent_path());
    testutil::WriteAll(Dir / name, testutil::Bytes("JwwData."));
    return Dir / name;
  }
};

// Listed: names ending in ".JWW" in any letter case, of files that exist,
// each once whatever its letters' case; the view is told once per change.
TEST_F(ModelsTest, TheListTakesWhatMayBeListedOnce) {
  qm::TFileList list;
  std::vector<qm::TFileList::TChange> told;
  list.Changed = [&](qm::TFileList::TChange c) { told.push_back(c); };
  const fs::path a = Touch("a.jww"), b = Touch("B.JwW"), text = Touch("c.txt");
  fs::create_directory(Dir / "d.jww");
  const auto added = list.Add({a, Dir / "A.JWW", b, text, Dir / "missing.jww", Dir / "d.jww", fs::path(), a});
  EXPECT_EQ(added, (std::vector<fs::path>{a, b}));
  EXPECT_EQ(told, std::vector<qm::TFileList::TChange>{qm::TFileList::TChange::Items});
  EXPECT_TRUE(list.Add({a}).empty());
  EXPECT_EQ(told.size(), 1u);  // nothing came: nothing told
  ASSERT_NE(list.Find(Dir / "A.JWW"), nullptr);
  EXPECT_EQ(list.Find(Dir / "A.JWW")->Path, a);
  EXPECT_EQ(list.IndexOf(b), 1);
  EXPECT_EQ(list.Find(text), nullptr);
}

// Delete takes the selected items out when there is a current item; the
// current place stays within the list; a selection told twice is told once.
TEST_F(ModelsTest, RemovingTheSelectionKeepsTheCurrentPlace) {
  qm::TFileList list;
  list.Assign({"/d/0.jww", "/d/1.jww", "/d/2.jww", "/d/3.jww", "/d/4.jww"});
  int selections = 0;
  list.Changed = [&](qm::TFileList::TChange c) { selections += c == qm::TFileList::TChange::Selection; };
  for (const int i : {1, 2, 4}) list.SetSelected(i, true);
  list.SetSelected(1, true);
  EXPECT_EQ(selections, 3);
  EXPECT_TRUE(list.RemoveSelected().empty());  // no current item
  list.SetItemIndex(4);
  const auto removed = list.RemoveSelected();
  ASSERT_EQ(removed.size(), 3u);
  EXPECT_EQ(removed[0].Path, fs::path("/d/1.jww"));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.ItemIndex(), 1);  // clamped to the last item
  EXPECT_TRUE(list.SelectedIndices().empty());
  EXPECT_EQ(list.Find("/d/3.jww"), &list.Row(1));  // found where it is now
}

// Sorting keeps equal rows in their order and rows not inspected last; the
// selection and the current item go with their items; again: descending.
TEST_F(ModelsTest, SortingCarriesTheSelectionAlong) {
  qm::TFileList list;
  list.Assign({"/d/c.jww", "/d/a.jww", "/d/b.jww"});
  list.SetSelected(1, true);  // a
  list.SetItemIndex(1);
  list.SortBy(qm::ColName);
  EXPECT_EQ(list.Item(0), fs::path("/d/a.jww"));
  EXPECT_EQ(list.SelectedIndices(), std::vector<int>{0});
  EXPECT_EQ(list.ItemIndex(), 0);
  EXPECT_TRUE(list.SortAscending());
  list.SortBy(qm::ColName);
  EXPECT_FALSE(list.SortAscending());
  EXPECT_EQ(list.Item(0), fs::path("/d/c.jww"));
  EXPECT_EQ(list.SelectedIndices(), std::vector<int>{2});
  EXPECT_EQ(list.IndexOf("/d/a.jww"), 2);
}

// The pane: the hint without a drawing; a drawing being inspected; one
// inspected, with its version, what goes and its hidden groups and layers.
TEST_F(ModelsTest, ThePaneSaysWhatTheRowHolds) {
  EXPECT_EQ(qm::PaneText(nullptr).Notes, std::string(qm::Msg::PaneHint));
  EXPECT_FALSE(qm::PaneText(nullptr).Picture);
  qm::TRow row;
  row.Path = "/d/plan.jww";
  EXPECT_EQ(qm::PaneText(&row).Title, "plan.jww");
  EXPECT_EQ(qm::PaneText(&row).Notes, std::string(qm::Msg::Inspecting));
  row.Inspected = true;
  row.Inspection.Outcome = qm::TOutcome::WouldConvert;
  row.Inspection.Facts.Read = qm::TRead::Whole;
  row.Inspection.Facts.Version = 600;
  row.Inspection.Removed = qm::TRemovedCounts{5, 1, 0};
  row.Inspection.Facts.HiddenGroups = {{2, -1, "設備", 3}};
  row.Inspection.Facts.HiddenLayers = {{0, 5, "", 2}};
  const qm::TPaneText pane = qm::PaneText(&row);
  EXPECT_TRUE(pane.Notes.starts_with("Ver.6.00　削除するもの：要素 5、ブロック定義 1、画像 0")) << pane.Notes;
  ASSERT_EQ(pane.Layers.size(), 2u);
  EXPECT_EQ(pane.Layers[0].Label, "グループ 2");
  EXPECT_EQ(pane.Layers[0].Name, "設備");
  EXPECT_EQ(pane.Layers[0].Elements, "3");
  EXPECT_EQ(pane.Layers[1].Label, "レイヤ 0-5");
  EXPECT_EQ(pane.Layers[1].Name, "（名前なし）");
  row.Inspection.Facts.Read = qm::TRead::Header;
  EXPECT_EQ(qm::PaneText(&row).Layers[0].Elements, "");
}

// A close: at once when idle; never while the report is shown; during a
// batch the user is asked once, the batch's calls wait for the answer, no
// goes on, yes stops the batch and closes after it; the end of a session
// during a batch keeps the settings only.
TEST_F(ModelsTest, ACloseDuringABatchAsksOnceAndWaits) {
  using TDo = qm::TClosing::TDo;
  rig::TRig r;
  qm::TClosing closing(r.Form1);
  EXPECT_EQ(closing.CloseAsked(true), TDo::Nothing);
  EXPECT_EQ(closing.CloseAsked(false), TDo::Close);
  EXPECT_EQ(closing.SessionEnds(), qm::TClosing::TEnd::Close);

  r.List.Set({Touch("a.jww"), Touch("b.jww"), Touch("c.jww")});
  std::vector<std::string> seen;
  r.Extra = [&](int call) {
    if (call == 0) {
      seen.push_back(closing.CloseAsked(false) == TDo::Ask ? "ask" : "?");
      seen.push_back(closing.CloseAsked(false) == TDo::Nothing ? "asked already" : "?");
      seen.push_back(closing.MayDeliver() ? "?" : "waits");
      seen.push_back(closing.Answered(false) ? "deliver" : "?");  // no: the batch goes on
      EXPECT_FALSE(r.Form1.StopRequested());
      EXPECT_EQ(closing.CloseAsked(false), TDo::Ask);  // asked again on the next close
      seen.push_back(closing.MayDeliver() ? "?" : "waits");
      seen.push_back(closing.Answered(true) ? "deliver" : "?");
      EXPECT_TRUE(r.Form1.StopRequested());
      EXPECT_EQ(closing.CloseAsked(false), TDo::Nothing);  // the close is remembered
    }
    return true;
  };
  r.Form1.Button3Click();
  EXPECT_EQ(seen, (std::vector<std::string>{"ask", "asked already", "waits", "deliver", "waits", "deliver"}));
  EXPECT_TRUE(r.Form1.Interrupted());
  EXPECT_TRUE(closing.CloseAfterBatch());

  rig::TRig s;
  qm::TClosing ending(s.Form1);
  s.List.Set({Touch("a.jww"), Touch("b.jww")});
  qm::TClosing::TEnd end = qm::TClosing::TEnd::Close;
  s.Extra = [&](int call) {
    if (call == 0) end = ending.SessionEnds();
    return true;
  };
  s.Form1.Button3Click();
  EXPECT_EQ(end, qm::TClosing::TEnd::SaveSettings);
  EXPECT_TRUE(s.Form1.Interrupted());
}

}  // namespace
