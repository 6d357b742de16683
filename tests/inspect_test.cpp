// The inspection the window shows before Convert: it must tell what a
// conversion will do (compared with a dry run of the same drawings), count
// what lies on each hidden group and layer, warn of empty outputs, and say
// why a drawing cannot be read; and its worker pool must hand back exactly
// the drawings still asked for.
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
  qm::TInspection Inspect(const fs::path& p) { return qm::Inspect(p, Doc, Work.Path()); }
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
  const qm::TInspection i = Inspect(Put("mixed.jww", Mixed()));
  EXPECT_EQ(i.Outcome, qm::TOutcome::WouldConvert) << i.Detail;
  ASSERT_TRUE(i.Loaded);
  EXPECT_EQ(i.Facts.Version, 600);
  EXPECT_EQ(i.Facts.Total, 6);
  EXPECT_EQ(i.Facts.HiddenGroups, (std::vector<qm::THiddenLayer>{{2, -1, "下図", 3}}));
  EXPECT_EQ(i.Facts.HiddenLayers, (std::vector<qm::THiddenLayer>{{0, 4, "寸法", 1}, {1, 7, "", 0}}));
  EXPECT_EQ(i.Facts.Removed.Elements, 4);
  EXPECT_EQ(i.Facts.Removed.BlockDefs, 1);  // its only insert lay on the hidden group
  EXPECT_TRUE(i.Warnings().empty());
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

  const qm::TInspection a = Inspect(Put("all.jww", all)), e = Inspect(Put("empty.jww", empty)),
                        n = Inspect(Put("nothing.jww", nothing));
  EXPECT_EQ(a.Warnings(), std::vector<std::string>{std::string(qm::Msg::WarnAllHidden)});
  EXPECT_EQ(e.Warnings(), std::vector<std::string>{std::string(qm::Msg::WarnHiddenEmpty)});
  EXPECT_EQ(n.Warnings(), std::vector<std::string>{std::string(qm::Msg::WarnHiddenEmpty)});
  EXPECT_FALSE(n.AllHidden());
}

// Inspection and a dry run must agree on every drawing: the window tells
// before Convert what Convert will do.
TEST_F(InspectTest, AgreesWithADryRunOnEveryKindOfDrawing) {
  Drawing visible;
  visible.Hdr.Version = 600;
  visible.Elements = {Line(0, 0)};
  Drawing badSig = HiddenGroupDrawing(600);
  badSig.Hdr.Signature = "JwwDatb.";
  auto cutHidden = Build(HiddenGroupDrawing(600));
  cutHidden.resize(cutHidden.size() - 5);
  Drawing longer = visible;  // its first element reads, its last does not
  longer.Elements = {Line(0, 0, 1), Line(0, 0, 2), Line(0, 0, 3)};
  auto cutVisible = Build(longer);
  cutVisible.resize(cutVisible.size() - 5);
  Drawing unwritable = HiddenGroupDrawing(600);  // wide, but its memo is Shift-JIS: é cannot be written
  unwritable.Hdr.Wide = true;
  unwritable.Hdr.MemoWide = false;
  unwritable.Hdr.Layers[4].Name = "caf\xC3\xA9";
  Drawing images = HiddenGroupDrawing(700);
  images.Elements.push_back(Text(0, 0, 5, "^@BM%temp%kept.jpg,1,1,0,0,1,0"));
  images.Elements.push_back(Text(1, 0, 6, "^@BM%temp%gone.jpg,1,1,0,0,1,0"));
  images.Images = {{"kept.jpg", std::vector<uint8_t>(300, 3), {}}, {"gone.jpg", std::vector<uint8_t>(10, 4), {}}};

  fs::create_directory(Dir / "folder.jww");
  const std::vector<fs::path> sources = {
      Put("visible.jww", visible),   Put("hidden.JWW", HiddenGroupDrawing(351)), Put("mixed.jww", Mixed()),
      Put("badsig.jww", badSig),     PutBytes("cuthidden.jww", cutHidden),      PutBytes("cutvisible.jww", cutVisible),
      Put("old.jww", HiddenGroupDrawing(219)), Put("unwritable.jww", unwritable), Put("images.jww", images),
      Put("notes.txt", visible),     Dir / "missing.jww",                        Dir / "folder.jww"};
  const std::vector<qm::TOutcome> expected = {
      qm::TOutcome::NothingHidden, qm::TOutcome::WouldConvert, qm::TOutcome::WouldConvert, qm::TOutcome::Unreadable,
      qm::TOutcome::Unreadable,    qm::TOutcome::NothingHidden, qm::TOutcome::Unreadable,  qm::TOutcome::Failed,
      qm::TOutcome::WouldConvert,  qm::TOutcome::NotJww,       qm::TOutcome::NotFound,     qm::TOutcome::Unreadable};
  qm::TOutputRule outputs;
  qm::TConvertOptions dry;
  dry.DryRun = true;
  dry.WorkFolder = Work.Path();
  TJwwData other;
  for (size_t k = 0; k < sources.size(); ++k) {
    SCOPED_TRACE(sources[k].filename().string());
    const qm::TInspection i = Inspect(sources[k]);
    const qm::TFileResult r = qm::ConvertOne(sources[k], outputs, other, dry);
    EXPECT_EQ(i.Outcome, expected[k]) << i.Detail;
    EXPECT_EQ(i.Outcome, r.Outcome) << i.Detail << " / " << r.Detail;
    if (r.Outcome != qm::TOutcome::NothingHidden) {  // which may say more: see below
      EXPECT_EQ(i.Failure, r.Failure);
      EXPECT_EQ(qm::ShownReason(i.Detail, sources[k]), qm::ShownReason(r.Detail, sources[k], r.Output));
    }
    if (r.Outcome == qm::TOutcome::WouldConvert) {
      EXPECT_EQ(i.Facts.Removed.Elements, r.Removed.Elements);
      EXPECT_EQ(i.Facts.Removed.BlockDefs, r.Removed.BlockDefs);
      EXPECT_EQ(i.Facts.Removed.Images, r.Removed.Images);
    }
    if (r.Outcome == qm::TOutcome::Unreadable || r.Outcome == qm::TOutcome::Failed) {
      EXPECT_FALSE(i.Detail.empty());
    }
  }
  EXPECT_TRUE(Work.Empty());
  // The row says why, without the path: the version of an old drawing, the
  // byte where a cut one ends, an incomplete drawing with nothing hidden.
  qm::TRow row;
  row.Inspected = true;
  row.Inspection = Inspect(sources[6]);
  EXPECT_NE(qm::CellText(row, qm::ColOutcome).find("version 219"), std::string::npos) << qm::CellText(row, qm::ColOutcome);
  row.Inspection = Inspect(sources[4]);
  EXPECT_TRUE(qm::CellText(row, qm::ColOutcome).starts_with(std::string(qm::Msg::RowUnreadable) + "at byte "))
      << qm::CellText(row, qm::ColOutcome);
  row.Inspection = Inspect(sources[5]);
  EXPECT_EQ(row.Inspection.Facts.Version, 600);
  ASSERT_EQ(row.Inspection.Warnings().size(), 1u);
  EXPECT_TRUE(row.Inspection.Warnings()[0].starts_with(std::string(qm::Msg::WarnIncomplete) + "at byte "));
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
