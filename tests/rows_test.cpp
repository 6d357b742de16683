// What the main window's list shows of each drawing: filled in by the
// inspection after it is listed, its outcome after Convert, sorted by a
// column; folders and paths handed over by the shell; Stop; and the result
// window's reasons and totals. The controls are the rig's recorders.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "drawings.h"
#include "formrig.h"
#include "messages.h"

namespace {

using namespace qm;

namespace fs = std::filesystem;
using namespace draw;

class RowsTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir, Work;
  std::mutex Lock;  // before R: the inspector's workers use them until R goes
  std::condition_variable Woken;
  int Wakes = 0;
  rig::TRig R;

  void SetUp() override {
    R.Form1.Setup.InspectionsReady = [this] {
      std::lock_guard<std::mutex> guard(Lock);
      ++Wakes;
      Woken.notify_all();
    };
    R.Form1.Setup.InspectionWorkers = 2;
    R.Form1.StartWork(Work.Path());
  }
  fs::path Put(const std::string& name, const Drawing& d) {
    fs::create_directories((Dir / name).parent_path());
    testutil::WriteAll(Dir / name, Build(d));
    return Dir / name;
  }
  // What the window's thread does when woken, until every listed drawing is
  // inspected.
  void Settle() {
    while (R.Form1.Uninspected() > 0) {
      {
        std::unique_lock<std::mutex> lock(Lock);
        Woken.wait(lock, [this] { return Wakes > 0; });
        Wakes = 0;
      }
      R.Form1.TakeInspections();
    }
  }
  std::string Cell(const fs::path& item, int column) {
    const qm::TRow* row = R.Form1.RowOf(item);
    return row ? qm::CellText(*row, column) : "<no row>";
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const fs::path& p : R.List.Items()) out.push_back(p.filename().string());
    return out;
  }
};

Drawing Visible() {
  Drawing d;
  d.Hdr.Version = 600;
  d.Elements = {Line(0, 0)};
  return d;
}

Drawing AllHidden() {
  Drawing d = HiddenGroupDrawing(700);
  d.Elements = {Line(1, 0, 1), Text(1, 2, 2)};
  return d;
}

TEST_F(RowsTest, ADroppedFolderIsListedInspectedAndShowsTheOutcomeAfterConvert) {
  const fs::path hidden = Put("plans/hidden.jww", HiddenGroupDrawing(600));
  const fs::path visible = Put("plans/Visible.JWW", Visible());
  const fs::path all = Put("plans/all.jww", AllHidden());
  Drawing bad = HiddenGroupDrawing(600);
  bad.Hdr.Signature = "JwwDatb.";
  const fs::path unreadable = Put("plans/bad.jww", bad);
  Put("plans/hidden_2.JWW", HiddenGroupDrawing(600));  // an earlier output: left out
  Put("plans/sub/deeper.jww", HiddenGroupDrawing(600));
  testutil::WriteAll(Dir / "plans/notes.txt", testutil::Bytes("JwwData."));

  EXPECT_TRUE(R.Form1.WMDropFiles({Dir / "plans"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"all.jww", "bad.jww", "hidden.jww", "Visible.JWW"}));
  EXPECT_EQ(Cell(hidden, qm::ColOutcome), qm::Msg::Inspecting);
  EXPECT_EQ(Cell(hidden, qm::ColName), "hidden.jww");
  EXPECT_EQ(Cell(hidden, qm::ColFolder), (Dir / "plans").string());
  Settle();
  EXPECT_GT(R.List.Repaints(), 0);

  const std::vector<std::vector<std::string>> before = {
      {"all.jww", "7.00", "1 / 0", "要素 2、ブロック定義 0、画像 0", std::string(qm::Msg::WarnAllHidden)},
      {"bad.jww", "", "", "", "読み込めません：JWW の図面ではありません（先頭が JwwData. ではありません）"},
      {"hidden.jww", "6.00", "1 / 0", "要素 1、ブロック定義 0、画像 0", "前回の出力あり：hidden_2.JWW"},
      {"Visible.JWW", "6.00", "0 / 0", "なし", "非表示レイヤはありません"}};
  for (size_t k = 0; k < before.size(); ++k) {
    const fs::path item = R.List.Items()[k];
    EXPECT_EQ((std::vector<std::string>{Cell(item, qm::ColName), Cell(item, qm::ColVersion), Cell(item, qm::ColHidden),
                                        Cell(item, qm::ColRemoves), Cell(item, qm::ColOutcome)}),
              before[k]);
  }

  R.Form1.Button3Click();
  EXPECT_EQ(Cell(hidden, qm::ColOutcome), "→ hidden_3.JWW");
  EXPECT_EQ(Cell(all, qm::ColOutcome), "→ all_2.JWW／" + std::string(qm::Msg::WarnAllHidden));
  EXPECT_EQ(Cell(visible, qm::ColOutcome), "非表示レイヤはありません");
  EXPECT_EQ(Cell(unreadable, qm::ColOutcome), "読み込めません：JWW の図面ではありません（先頭が JwwData. ではありません）");
  // The English detail is kept for the tooltip, never in a column.
  EXPECT_EQ(qm::ShownDetail(*R.Form1.RowOf(unreadable)),
            "the file does not start with \"JwwData.\"");
  EXPECT_EQ(qm::ShownDetail(*R.Form1.RowOf(visible)), "");
  EXPECT_EQ(Cell(hidden, qm::ColRemoves), "要素 1、ブロック定義 0、画像 0");  // the source is unchanged

  // The report: the driver's lines, the note after the empty output, the
  // reason after the unreadable file, the totals.
  const std::vector<std::string> shown = R.Form2.DisplayLines();
  ASSERT_EQ(shown.size(), 4 * 3 + 2 + 2u);
  EXPECT_EQ(shown[3], "　注意：出力には要素が一つもありません");
  EXPECT_EQ(std::vector<std::string>(shown.begin() + 4, shown.begin() + 8),
            (std::vector<std::string>{"【" + unreadable.string() + "】", "　読み込めないファイルですので",
                                      "　変換をパスします。", "　理由：JWW の図面ではありません（先頭が JwwData. ではありません）"}));
  EXPECT_EQ(shown[14], "");
  EXPECT_EQ(shown[15], "集計：変換 2（表示一致 2、書き出しで整えたもの 0、空の図面 1）、非表示レイヤなし 1、読み込めない 1、変換出来ない 0");
  EXPECT_EQ(R.Form2.Lines().size(), 12u);  // the driver's three lines a file, unchanged
  // The output folder: of the file at a line, else the batch's first output.
  EXPECT_EQ(R.Form2.OutputAt(0), Dir / "plans/all_2.JWW");
  EXPECT_EQ(R.Form2.OutputAt(8), Dir / "plans/hidden_3.JWW");
  EXPECT_EQ(R.Form2.OutputAt(5), Dir / "plans/all_2.JWW");
}

TEST_F(RowsTest, RemovedDrawingsAreForgottenAndAddedAgainInspectedAfresh) {
  std::vector<fs::path> files;
  for (int k = 0; k < 30; ++k) files.push_back(Put("d" + std::to_string(k) + ".jww", HiddenGroupDrawing(600)));
  R.Form1.Button1Click(files);
  R.List.SelectAll(true);
  R.List.SetIndex(0);
  EXPECT_TRUE(R.Form1.Button2Click());  // most are not inspected yet
  EXPECT_EQ(R.List.Count(), 0);
  EXPECT_EQ(R.Form1.Uninspected(), 0);
  EXPECT_EQ(R.Form1.RowOf(files[0]), nullptr);
  R.Form1.TakeInspections();  // what finished meanwhile belongs to nothing listed
  EXPECT_EQ(R.Form1.RowOf(files[0]), nullptr);

  R.Form1.Button1Click({files[3]});
  ASSERT_NE(R.Form1.RowOf(files[3]), nullptr);
  EXPECT_FALSE(R.Form1.RowOf(files[3])->Inspected);
  Settle();
  EXPECT_EQ(Cell(files[3], qm::ColHidden), "1 / 0");
}

TEST_F(RowsTest, SortingByAColumnOrdersTheRowsAndKeepsTheSelection) {
  Drawing two = HiddenGroupDrawing(420);
  two.Elements.push_back(Line(1, 3, 7));
  Drawing three = two;
  three.Elements.push_back(Arc(1, 0));
  const fs::path b = Put("b.jww", two), a = Put("a.jww", three), c = Put("c.jww", Visible());
  const fs::path d = Put("D.jww", HiddenGroupDrawing(700));
  R.Form1.Button1Click({b, c, a, d});
  Settle();
  R.List.Select(std::vector<bool>{false, false, true, false});  // a
  R.List.SetIndex(2);

  EXPECT_TRUE(R.Form1.SortBy(qm::ColName));
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.jww", "b.jww", "c.jww", "D.jww"}));
  EXPECT_EQ(R.List.SelectedIndices(), std::vector<int>{0});
  EXPECT_EQ(R.List.Index(), 0);
  EXPECT_TRUE(R.Form1.SortBy(qm::ColName));  // again: descending
  EXPECT_FALSE(R.Form1.ListBox1().SortAscending());
  EXPECT_EQ(Names(), (std::vector<std::string>{"D.jww", "c.jww", "b.jww", "a.jww"}));
  EXPECT_TRUE(R.Form1.SortBy(qm::ColRemoves));  // nothing hidden first, then by elements
  EXPECT_EQ(Names(), (std::vector<std::string>{"c.jww", "D.jww", "b.jww", "a.jww"}));
  EXPECT_TRUE(R.Form1.SortBy(qm::ColVersion));  // equal versions keep their order
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.jww", "a.jww", "c.jww", "D.jww"}));
  EXPECT_EQ(R.List.SelectedIndices(), std::vector<int>{1});
  EXPECT_FALSE(R.Form1.SortBy(qm::ColumnCount));
  R.Form1.Button1Click({Put("e.jww", Visible())});
  EXPECT_EQ(R.Form1.ListBox1().SortColumn(), -1);  // appended at the end: no longer sorted

  // Convert walks the list as sorted; sorting is refused while it runs.
  R.Extra = [&](int call) {
    if (call == 0) {
      EXPECT_FALSE(R.Form1.SortBy(qm::ColName));
    }
    return true;
  };
  R.Form1.Button3Click();
  ASSERT_EQ(R.Form1.Results().size(), 5u);
  EXPECT_EQ(R.Form1.Results()[0].Source, b);
  EXPECT_EQ(R.Form1.Results()[1].Source, a);
}

TEST_F(RowsTest, StopEndsTheBatchAfterTheFileInProgressAndReportsWhatWasDone) {
  const std::vector<fs::path> items = {Put("a.jww", HiddenGroupDrawing(600)), Put("b.jww", HiddenGroupDrawing(600)),
                                       Put("c.jww", HiddenGroupDrawing(600))};
  R.Form1.Button1Click(items);
  R.Extra = [&](int call) {
    // The window's Stop arrives while a is converted (on the batch's thread);
    // here it is pressed between a's two calls: a is finished first.
    if (call == 0) R.Form1.StopBatch();
    return true;
  };
  R.Form1.Button3Click();
  EXPECT_TRUE(R.Form1.Interrupted());
  EXPECT_FALSE(fs::exists(Dir / "a_2.JWW"));  // stopped before a began
  R.App.Calls = 0;
  R.View.Shown = 0;
  R.Extra = [&](int call) {
    if (call == 1) R.Form1.StopBatch();
    return true;
  };
  R.Form1.Button3Click();
  EXPECT_TRUE(R.Form1.Interrupted());
  EXPECT_EQ(R.View.Shown, 1);
  EXPECT_TRUE(fs::exists(Dir / "a_2.JWW"));
  EXPECT_FALSE(fs::exists(Dir / "b_2.JWW"));
  const std::vector<std::string> shown = R.Form2.DisplayLines();
  ASSERT_EQ(shown.size(), 3 + 3u);
  EXPECT_EQ(shown[4], "中止しました（1 / 3）");
  EXPECT_EQ(shown[5], "集計：変換 1（表示一致 1、書き出しで整えたもの 0）、非表示レイヤなし 0、読み込めない 0、変換出来ない 0");
  Settle();
  EXPECT_EQ(Cell(items[1], qm::ColOutcome), "");  // not reached: what inspection found
  EXPECT_FALSE(R.Form1.StopRequested());

  R.Extra = nullptr;
  R.Form1.StopBatch();  // no batch runs: nothing to stop, the next batch runs whole
  R.Form1.Button3Click();
  EXPECT_FALSE(R.Form1.Interrupted());
  EXPECT_EQ(R.Form1.Results().size(), 3u);
}

TEST_F(RowsTest, PathsHandedOverDuringABatchAreListedWhenItIsOver) {
  const fs::path a = Put("a.jww", HiddenGroupDrawing(600)), b = Put("more/b.jww", HiddenGroupDrawing(600));
  R.Form1.AddPaths({a});
  R.Extra = [&](int call) {
    if (call == 0) {
      R.Form1.AddPaths({Dir / "more", a});
      EXPECT_FALSE(R.Form1.AddFolder(Dir / "more"));
    }
    return true;
  };
  R.Form1.Button3Click();
  EXPECT_EQ(R.List.Items(), (std::vector<fs::path>{a, b}));
  EXPECT_EQ(R.Form1.Results().size(), 1u);
  EXPECT_NE(R.Form1.RowOf(b), nullptr);

  R.Extra = nullptr;
  EXPECT_TRUE(R.Form1.AddFolder(Dir / "more"));
  EXPECT_EQ(R.Form1.LastFolder, Dir / "more" / "");
  EXPECT_EQ(R.List.Count(), 2);
}

// A second Convert asks once about the drawings converted already (in this
// window, or by an earlier run whose output is newer), and each answer does
// what it says; Convert writes into the chosen output folder.
TEST_F(RowsTest, ASecondConvertAsksAboutTheDrawingsConvertedAlready) {
  const fs::path a = Put("a.jww", HiddenGroupDrawing(600)), b = Put("b.jww", HiddenGroupDrawing(600));
  std::vector<int> asked;
  qm::TAgain answer = qm::TAgain::Cancel;
  R.Form1.Setup.AskAgain = [&](int drawings) {
    asked.push_back(drawings);
    return answer;
  };
  R.Form1.AddPaths({a});
  Settle();
  R.Form1.Button3Click();  // nothing converted before: no question
  EXPECT_TRUE(asked.empty());
  ASSERT_TRUE(fs::exists(Dir / "a_2.JWW"));
  R.Form1.AddPaths({b});
  Settle();
  EXPECT_EQ(Cell(b, qm::ColOutcome), "");

  const std::vector<std::string> files = Dir.List();
  R.Form1.Button3Click();  // cancel: nothing happens
  EXPECT_EQ(asked, std::vector<int>{1});
  EXPECT_EQ(Dir.List(), files);
  EXPECT_EQ(R.Form1.Results().size(), 1u);  // the last batch's

  answer = qm::TAgain::Skip;  // a passed by, b converted
  R.Form1.Button3Click();
  ASSERT_EQ(R.Form1.Results().size(), 2u);
  EXPECT_EQ(R.Form1.Results()[0].Outcome, qm::TOutcome::Skipped);
  EXPECT_EQ(R.Form1.Results()[0].Output, Dir / "a_2.JWW");
  EXPECT_EQ(R.Form1.Results()[1].Outcome, qm::TOutcome::Converted);
  EXPECT_FALSE(fs::exists(Dir / "a_3.JWW"));

  answer = qm::TAgain::Again;  // both again, under the next free names
  R.Form1.Button3Click();
  EXPECT_EQ(asked, (std::vector<int>{1, 1, 2}));
  EXPECT_TRUE(fs::exists(Dir / "a_3.JWW"));
  EXPECT_TRUE(fs::exists(Dir / "b_3.JWW"));

  // Another output folder: nothing was converted into it, so no question,
  // and the outputs go there under their own names.
  const fs::path out = Dir / "out";
  fs::create_directory(out);
  EXPECT_TRUE(R.Form1.SetOutputFolder(out));
  Settle();
  EXPECT_EQ(R.Form1.OutputFolderOf(a), out);
  R.Form1.Button3Click();
  EXPECT_EQ(asked.size(), 3u);
  EXPECT_EQ(Dir.ListOf(out), (std::vector<std::string>{"a_2.JWW", "b_2.JWW"}));
}

// Files dropped that are not drawings are said so in the status bar, not
// listed; a drop of drawings alone says nothing of the kind.
TEST_F(RowsTest, FilesThatAreNotDrawingsAreSaidSo) {
  const fs::path a = Put("a.jww", Visible());
  testutil::WriteAll(Dir / "notes.txt", testutil::Bytes("x"));
  testutil::WriteAll(Dir / "plan.dxf", testutil::Bytes("x"));
  const struct {
    std::vector<fs::path> Dropped;
    std::string Status;  // the last status line; empty: none
  } cases[] = {
      {{a}, ""},
      {{Dir / "notes.txt", a}, "JWW ファイルではないので追加しませんでした：notes.txt"},
      {{Dir / "notes.txt", Dir / "plan.dxf", Dir / "gone.jww"},
       "JWW ファイルではないので追加しませんでした：notes.txt（ほか 2 個）"},
  };
  for (const auto& c : cases) {
    R.Status.Texts.clear();
    EXPECT_TRUE(R.Form1.WMDropFiles(c.Dropped));
    EXPECT_EQ(R.Status.Texts.empty() ? "" : R.Status.Texts.back(), c.Status);
  }
  EXPECT_EQ(R.List.Items(), std::vector<fs::path>{a});
  Settle();
}

// An output folder that cannot be made: the row and the report say so and
// point to the output folder's choice.
TEST_F(RowsTest, AnOutputThatCannotBeWrittenPointsToTheOutputFolder) {
  const fs::path a = Put("a.jww", HiddenGroupDrawing(600));
  testutil::WriteAll(Dir / "file", testutil::Bytes("x"));
  R.Form1.AddPaths({a});
  Settle();
  ASSERT_TRUE(R.Form1.SetOutputFolder(Dir / "file" / "out"));  // below a file: cannot be made
  Settle();
  R.Form1.Button3Click();
  ASSERT_EQ(R.Form1.Results().size(), 1u);
  EXPECT_EQ(R.Form1.Results()[0].Outcome, qm::TOutcome::Failed);
  EXPECT_EQ(Cell(a, qm::ColOutcome), "変換出来ませんでした：出力フォルダを作成できません（出力先で別のフォルダを選べます）");
  EXPECT_EQ(R.Form2.DisplayLines().back(), std::string(qm::Msg::ChooseOutputLine));
}

// The drawings' other hidden information in a column of its own; ticking a
// kind inspects the list again, and Convert removes it.
TEST_F(RowsTest, TheOtherHiddenInformationIsShownAndRemovedWhenTicked) {
  Drawing memo = Visible();
  memo.Hdr.Memo = "note";
  const fs::path m = Put("memo.jww", memo), v = Put("visible.jww", Visible());
  R.Form1.AddPaths({m, v});
  Settle();
  EXPECT_EQ(Cell(m, qm::ColFound), "メモ 4字");
  EXPECT_EQ(Cell(v, qm::ColFound), "なし");
  EXPECT_EQ(Cell(m, qm::ColOutcome), "非表示レイヤはありません");

  qm::TAlsoRemove memoToo;
  memoToo.Memo = true;
  EXPECT_TRUE(R.Form1.SetRemove(memoToo));
  EXPECT_EQ(Cell(m, qm::ColOutcome), qm::Msg::Inspecting);
  Settle();
  EXPECT_EQ(Cell(m, qm::ColOutcome), "非表示レイヤはありません：ほかの隠れた情報を削除します");
  R.Form1.Button3Click();
  ASSERT_EQ(R.Form1.Results().size(), 2u);
  EXPECT_EQ(R.Form1.Results()[0].Outcome, qm::TOutcome::Converted);
  EXPECT_EQ(R.Form1.Results()[1].Outcome, qm::TOutcome::NothingHidden);
  TJwwData out;
  ASSERT_TRUE(out.LoadDocument(Dir / "memo_2.JWW"));
  EXPECT_EQ(out.Header.Memo, "");
}

// A report of files that could not be read or written names the reason of
// each, after its three lines.
TEST(ResultReportTest, ReasonsFollowTheFilesTheyBelongTo) {
  rig::TFakeView view;
  rig::TFakeBounds bounds(0, 0, 10, 10);
  qm::TForm2 form(view, bounds);
  EXPECT_EQ(form.DisplayLines(), std::vector<std::string>{"RE1"});
  auto result = [](const std::string& source, qm::TOutcome outcome, const std::string& path,
                   const std::string& detail) {
    qm::TFileResult r;
    r.Source = source;
    r.Output = source + "_2.JWW";
    r.Outcome = outcome;
    if (!detail.empty()) r.Failure = TFailure{TJwwFailure::IoError, std::nullopt, "output_file", path, detail};
    return r;
  };
  form.ClearLines();
  form.AppendFile(result("/d/a", qm::TOutcome::Failed, "/d/a_2.JWW", "cannot write the file: disk full"));
  form.AppendFile(result("/d/b", qm::TOutcome::NotFound, "", ""));
  form.AppendFile(result("/d/c", qm::TOutcome::Unreadable, "/d/c", "truncated"));
  form.FinishBatch(3, false);
  const std::string skip = "　変換をパスします。";
  EXPECT_EQ(form.DisplayLines(),
            (std::vector<std::string>{"【/d/a】", "　……→ /d/a_2.JWW", "　変換出来ませんでした。",
                                      "　理由：書き込めません", "【/d/b】",
                                      "　指定したファイルは存在しませんので", skip, "【/d/c】",
                                      "　読み込めないファイルですので", skip, "　理由：書き込めません", "",
                                      "集計：変換 0、非表示レイヤなし 0、読み込めない 2、変換出来ない 1"}));
  EXPECT_EQ(form.OutputAt(0), std::nullopt);
  EXPECT_TRUE(form.Text().starts_with("【/d/a】\n　……→ /d/a_2.JWW\n　変換出来ませんでした。\n　理由："));

  // An output the writer tidied says what, after its lines, and counts apart
  // from those that show exactly what their sources showed.
  auto converted = [&](const std::string& source, std::optional<JwwNormalise::TNormalised> tidied) {
    qm::TFileResult r = result(source, qm::TOutcome::Converted, "", "");
    r.Removed = qm::TRemovedCounts{.Elements = 1, .Remaining = 1};
    r.Normalised = tidied.value_or(JwwNormalise::TNormalised{});
    r.VisibleUnchanged = !tidied;
    return r;
  };
  form.ClearLines();
  form.AppendFile(converted("/d/e", JwwNormalise::TNormalised{.Texts = 3, .Pens = 2, .Settings = 1}));
  form.AppendFile(converted("/d/f", std::nullopt));
  form.FinishBatch(2, false);
  EXPECT_EQ(form.DisplayLines(),
            (std::vector<std::string>{"【/d/e】", "　→ /d/e_2.JWW", "　変換を行いました。",
                                      "　書き出し時に整えたもの：文字 3、ペン 2、設定 1", "【/d/f】", "　→ /d/f_2.JWW",
                                      "　変換を行いました。", "",
                                      "集計：変換 2（表示一致 1、書き出しで整えたもの 1）、非表示レイヤなし 0、"
                                      "読み込めない 0、変換出来ない 0"}));
  EXPECT_EQ(form.OutputAt(3), fs::path("/d/e_2.JWW"));  // the tidied line is the file's
  EXPECT_EQ(form.OutputAt(4), fs::path("/d/f_2.JWW"));
}

}  // namespace

// The texts made of the named pieces of messages.h, spelled out by hand.
TEST(RowTextsTest, CountsAndTotalsReadAsTheWindowShowsThem) {
  qm::TRemovedCounts removed;
  removed.Elements = 12;
  removed.BlockDefs = 3;
  removed.Images = 1;
  EXPECT_EQ(qm::RemovedText(removed), "要素 12、ブロック定義 3、画像 1");

  qm::TTotals t;
  t.Files = 9;
  t.Outcomes[static_cast<size_t>(qm::TOutcome::Converted)] = 4;
  t.Outcomes[static_cast<size_t>(qm::TOutcome::Skipped)] = 2;
  t.Outcomes[static_cast<size_t>(qm::TOutcome::NotFound)] = 1;
  t.Outcomes[static_cast<size_t>(qm::TOutcome::Unreadable)] = 1;
  t.Outcomes[static_cast<size_t>(qm::TOutcome::Failed)] = 1;
  t.Proven = 2;
  t.Normalised = 1;
  t.Empty = 1;
  EXPECT_EQ(qm::ClosingLines(t, 12, true),
            (std::vector<std::string>{"", "中止しました（9 / 12）",
                                      "集計：変換 4（表示一致 2、書き出しで整えたもの 1、空の図面 1）、非表示レイヤなし 0、"
                                      "読み込めない 2、変換出来ない 1、スキップ 2"}));
}
