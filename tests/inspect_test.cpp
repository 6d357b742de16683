// The inspection the window shows before Convert (the dry run that describes
// every drawing; its agreement with info, the dry run and the run is
// cli_test's): it counts what lies on each hidden group and layer, warns of
// empty outputs and of a drawing that does not read to its end, and says why
// a drawing cannot be read; and its worker pool must hand back exactly the
// drawings still asked for.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>

#include "drawings.h"
#include "filerows.h"
#include "inspector.h"
#include "messages.h"
#include "testutil.h"
#include "textconv.h"

namespace {

using namespace qm;

namespace fs = std::filesystem;
using namespace draw;

class InspectTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir;
  testutil::TScopedWorkFolder Work;
  TJwwData Doc;

  fs::path Put(const std::string& name, const Drawing& d) { return PutBytes(name, Build(d)); }
  fs::path PutBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    testutil::WriteAll(Dir / name, bytes);
    return Dir / name;
  }
  qm::TFileResult Inspect(const fs::path& p) { return qm::Inspect(p, Doc, Work.Path()); }
};

// A hidden group that holds two elements and a block insert, a hidden named
// layer with one, a hidden layer with none, and visible elements.
Drawing Mixed() {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.LayerGroups[2] = {.State = 0, .Name = qm::Utf8ToSjis("下図")};
  d.Hdr.Layers[0 * 16 + 4] = {.State = 0, .Name = qm::Utf8ToSjis("寸法")};
  d.Hdr.Layers[1 * 16 + 7] = {.State = 0, .Name = ""};
  d.Elements = {Line(2, 0, 1), Text(2, 9, 2), Dim(0, 4, 3), Line(0, 0, 4), Insert(2, 1, 1, 5), Arc(1, 1, 6)};
  d.Blocks = {Def(1, "A", {Line(0, 0)})};
  return d;
}

TEST_F(InspectTest, CountsWhatLiesOnEachHiddenGroupAndLayerAndWhatThePurgeTakes) {
  const qm::TFileResult i = Inspect(Put("mixed.jww", Mixed()));
  EXPECT_EQ(i.Outcome, qm::TOutcome::WouldConvert) << i.Detail();
  ASSERT_EQ(i.Facts.Read, qm::TRead::Whole);
  EXPECT_EQ(i.Facts.Version, 600);
  EXPECT_EQ(i.Facts.Total, 6);
  EXPECT_EQ(i.Facts.HiddenGroups, (std::vector<qm::THiddenLayer>{{2, -1, "下図", 3}}));
  EXPECT_EQ(i.Facts.HiddenLayers, (std::vector<qm::THiddenLayer>{{0, 4, "寸法", 1}, {1, 7, "", 0}}));
  ASSERT_TRUE(i.Removed);
  EXPECT_EQ(i.Removed->Elements, 4);
  EXPECT_EQ(i.Removed->BlockDefs, 1);  // its only insert lay on the hidden group
  EXPECT_EQ(i.VisibleUnchanged, std::optional<bool>(true));  // the proof ran
  EXPECT_TRUE(qm::Warnings(i).empty());
  EXPECT_TRUE(Work.Empty());  // the document's image folder went with it
}

TEST_F(InspectTest, WarnsWhenEverythingIsHiddenAndWhenHiddenLayersHoldNothing) {
  Drawing all = HiddenGroupDrawing(600);
  all.Elements = {Line(1, 0), Line(1, 5)};
  Drawing empty;
  empty.Hdr.Version = 420;
  empty.Hdr.Layers[3].State = 0;
  empty.Elements = {Line(0, 0)};
  Drawing nothing;  // no element at all: nothing becomes empty that was not
  nothing.Hdr.Version = 600;
  nothing.Hdr.Layers[3].State = 0;

  const qm::TFileResult a = Inspect(Put("all.jww", all)), e = Inspect(Put("empty.jww", empty)),
                        n = Inspect(Put("nothing.jww", nothing));
  EXPECT_EQ(qm::Warnings(a), std::vector<std::string>{std::string(qm::Msg::WarnAllHidden)});
  EXPECT_EQ(qm::Warnings(e), std::vector<std::string>{std::string(qm::Msg::WarnHiddenEmpty)});
  EXPECT_EQ(qm::Warnings(n), std::vector<std::string>{std::string(qm::Msg::WarnHiddenEmpty)});
  EXPECT_FALSE(qm::AllHidden(n));
}

// The row says why, without the path: the version of an old drawing, the
// byte where a cut one ends, an incomplete drawing with nothing hidden (whose
// version and hidden layers, none, are known from its header).
TEST_F(InspectTest, TheRowSaysWhyADrawingCannotBeReadOrIsIncomplete) {
  Drawing visible;
  visible.Hdr.Version = 600;
  visible.Elements = {Line(0, 0, 1), Line(0, 0, 2), Line(0, 0, 3)};
  auto cutVisible = Build(visible);
  cutVisible.resize(cutVisible.size() - 5);  // its first element reads, its last does not
  auto cutHidden = Build(HiddenGroupDrawing(600));
  cutHidden.resize(cutHidden.size() - 5);
  qm::TRow row;
  row.Inspected = true;
  row.Inspection = Inspect(Put("old.jww", HiddenGroupDrawing(219)));
  // The window's words: a Japanese sentence with the offset, never the English detail.
  EXPECT_EQ(qm::CellText(row, qm::ColOutcome),
            std::string(qm::Msg::RowUnreadable) + "対応していないバージョンの図面です（Ver.2.20 より古いか、Ver.7.00 と形式が異なります）");
  row.Inspection = Inspect(PutBytes("cuthidden.jww", cutHidden));
  EXPECT_TRUE(qm::CellText(row, qm::ColOutcome)
                  .starts_with(std::string(qm::Msg::RowUnreadable) + "ファイルが途中で終わっています（バイト位置 "))
      << qm::CellText(row, qm::ColOutcome);
  EXPECT_NE(qm::ShownDetail(row).find("at byte "), std::string::npos) << qm::ShownDetail(row);
  EXPECT_EQ(qm::CellText(row, qm::ColVersion), "6.00");  // it failed after its header
  EXPECT_EQ(qm::CellText(row, qm::ColRemoves), "");
  row.Inspection = Inspect(PutBytes("cutvisible.jww", cutVisible));
  EXPECT_EQ(row.Inspection.Outcome, qm::TOutcome::NothingHidden);
  EXPECT_EQ(row.Inspection.Facts.Version, 600);
  EXPECT_EQ(qm::CellText(row, qm::ColHidden), "0 / 0");
  EXPECT_EQ(qm::CellText(row, qm::ColRemoves), std::string(qm::Msg::RowNone));
  ASSERT_EQ(qm::Warnings(row.Inspection).size(), 1u);
  EXPECT_TRUE(qm::Warnings(row.Inspection)[0].starts_with(std::string(qm::Msg::WarnIncomplete) +
                                                          "ファイルが途中で終わっています（バイト位置 "))
      << qm::Warnings(row.Inspection)[0];
  EXPECT_TRUE(Work.Empty());
}

// ---------------------------------------------------------------------------

// Waits, as a window's thread would, for the inspector to wake it.
class TWakeRecorder {
 public:
  void Wake() {
    std::lock_guard<std::mutex> guard(Lock_);
    ++Wakes_;
    Changed_.notify_all();
  }
  // Takes from the inspector until count results came or the inspector has
  // nothing outstanding.
  std::vector<qm::TInspector::TDone> TakeAll(qm::TInspector& inspector, size_t count) {
    std::vector<qm::TInspector::TDone> all;
    while (all.size() < count && inspector.Outstanding() > 0) {
      {
        std::unique_lock<std::mutex> lock(Lock_);
        Changed_.wait(lock, [&] { return Wakes_ > Seen_; });
        Seen_ = Wakes_;
      }
      for (auto& done : inspector.Take()) all.push_back(std::move(done));
    }
    return all;
  }

 private:
  std::mutex Lock_;
  std::condition_variable Changed_;
  int Wakes_ = 0, Seen_ = 0;
};

TEST_F(InspectTest, InspectorHandsBackEachDrawingAskedForOnceAndForgetsCancelledOnes) {
  std::vector<fs::path> files;
  for (int k = 0; k < 40; ++k) files.push_back(Put("d" + std::to_string(k) + ".jww", HiddenGroupDrawing(600)));
  TWakeRecorder wakes;
  qm::TInspector inspector(Work.Path(), [&] { wakes.Wake(); }, 3);
  std::vector<uint64_t> tickets;
  for (const fs::path& f : files) tickets.push_back(inspector.Submit(f));
  std::set<uint64_t> cancelled;
  for (size_t k = 0; k < tickets.size(); k += 3) {
    inspector.Cancel(tickets[k]);
    cancelled.insert(tickets[k]);
  }
  const auto done = wakes.TakeAll(inspector, tickets.size() - cancelled.size());
  std::set<uint64_t> seen;
  for (const auto& d : done) {
    EXPECT_FALSE(cancelled.contains(d.Ticket)) << d.Ticket;
    EXPECT_TRUE(seen.insert(d.Ticket).second) << "twice: " << d.Ticket;
    const size_t k = static_cast<size_t>(std::find(tickets.begin(), tickets.end(), d.Ticket) - tickets.begin());
    ASSERT_LT(k, files.size());
    EXPECT_EQ(d.Inspection.Source, files[k]);
    EXPECT_EQ(d.Inspection.Outcome, qm::TOutcome::WouldConvert);
  }
  EXPECT_EQ(seen.size(), tickets.size() - cancelled.size());
  EXPECT_EQ(inspector.Outstanding(), 0u);
  inspector.Stop();
  EXPECT_EQ(inspector.Submit(files[0]), 0u);  // nothing is taken after Stop
  EXPECT_TRUE(Work.Empty());
}

TEST_F(InspectTest, StopForgetsWhatHasNotBegunAndEndsTheWorkers) {
  std::vector<fs::path> files;
  for (int k = 0; k < 200; ++k) files.push_back(Put("d" + std::to_string(k) + ".jww", Mixed()));
  std::atomic<int> wakes{0};
  qm::TInspector inspector(Work.Path(), [&] { ++wakes; }, 2);
  for (const fs::path& f : files) inspector.Submit(f);
  inspector.Stop();  // returns once the drawings in progress are done
  EXPECT_EQ(inspector.Outstanding(), 0u);
  EXPECT_TRUE(inspector.Take().empty());
  EXPECT_TRUE(Work.Empty());
}

}  // namespace
