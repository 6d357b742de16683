// Several documents, and several conversions, alive at once: each keeps its
// own images; the window's batch on a thread of its own, its calls made on
// the window's thread, while inspections run beside it. Run under
// ThreadSanitizer as well (scripts/test.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "batchthread.h"
#include "convert.h"
#include "drawings.h"
#include "formrig.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using namespace draw;

// A version 7.00 drawing with a hidden group whose visible text shows the
// image "a.bmp", made of the given bytes.
std::vector<uint8_t> WithImage(const std::vector<uint8_t>& image) {
  Drawing d = HiddenGroupDrawing(700);
  d.Elements.push_back(Text(0, 0, 1, "^@BM%temp%a.bmp,10,10"));
  d.Images = {{"a.bmp", image, {}}};
  return Build(d);
}

// The image table a drawing ends with when it carries "a.bmp" alone, by hand:
// the count 1, the name (length 5), the size, the bytes.
std::vector<uint8_t> TableOf(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> t = testutil::Hex("01000000 05 612E626D70");
  const auto n = static_cast<uint32_t>(image.size());
  for (int i = 0; i < 4; ++i) t.push_back(static_cast<uint8_t>(n >> (8 * i)));
  t.insert(t.end(), image.begin(), image.end());
  return t;
}

::testing::AssertionResult EndsWith(const std::vector<uint8_t>& file, const std::vector<uint8_t>& tail) {
  if (file.size() >= tail.size() && std::equal(tail.begin(), tail.end(), file.end() - static_cast<long>(tail.size())))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the file of " << file.size() << " bytes does not end with the "
                                       << tail.size() << " bytes of its own image table";
}

std::vector<uint8_t> Filled(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

TEST(Concurrency, TwoDocumentsAliveAtOnceKeepTheirOwnImages) {
  testutil::TScopedWorkFolder work;  // one run: both documents extract into it
  testutil::TTempDir dir;
  const auto first = Filled(3000, 1), second = Filled(2000, 99);
  const auto a = WithImage(first), b = WithImage(second);
  for (const bool firstSavedFirst : {true, false}) {
    TJwwData one, two;
    ASSERT_TRUE(testutil::Ok(one.LoadDocument(a.data(), a.size(), work.Options())));
    ASSERT_TRUE(testutil::Ok(two.LoadDocument(b.data(), b.size(), work.Options())));
    const fs::path out1 = dir / "one.jww", out2 = dir / "two.jww";
    if (firstSavedFirst) {
      ASSERT_TRUE(testutil::Ok(one.SaveDocument(out1, 700)));
      ASSERT_TRUE(testutil::Ok(two.SaveDocument(out2, 700)));
    } else {
      ASSERT_TRUE(testutil::Ok(two.SaveDocument(out2, 700)));
      ASSERT_TRUE(testutil::Ok(one.SaveDocument(out1, 700)));
    }
    EXPECT_TRUE(EndsWith(testutil::ReadAll(out1), TableOf(first)));
    EXPECT_TRUE(EndsWith(testutil::ReadAll(out2), TableOf(second)));
    // Emptying one leaves the other's images where they are.
    one.ClearDocument();
    EXPECT_EQ(testutil::ImageBytesOf(two, 0), second);
    fs::remove(out1);
    fs::remove(out2);
  }
}

// Two threads convert drawings that each carry "a.bmp" with bytes of their
// own, into one folder, with one output rule and one work folder: every
// output holds its own drawing's bytes, and every name is taken once.
TEST(Concurrency, TwoThreadsConvertingAtOnceKeepTheirOwnImages) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  constexpr int PerThread = 12;
  std::vector<std::vector<uint8_t>> images;
  for (int i = 0; i < 2 * PerThread; ++i) {
    images.push_back(Filled(1000 + 37 * static_cast<size_t>(i), static_cast<uint8_t>(i)));
    testutil::WriteAll(dir / ("d" + std::to_string(i) + ".jww"), WithImage(images.back()));
  }
  qm::TOutputRule outputs;
  qm::TConvertOptions options;
  options.WorkFolder = work.Path();
  std::vector<qm::TFileResult> results(2 * PerThread);
  auto convert = [&](int thread) {
    TJwwData document;
    for (int k = 0; k < PerThread; ++k) {
      const int i = 2 * k + thread;
      results[static_cast<size_t>(i)] =
          qm::ConvertOne(dir / ("d" + std::to_string(i) + ".jww"), outputs, document, options);
    }
  };
  std::thread t0(convert, 0), t1(convert, 1);
  t0.join();
  t1.join();
  for (int i = 0; i < 2 * PerThread; ++i) {
    const qm::TFileResult& r = results[static_cast<size_t>(i)];
    ASSERT_EQ(r.Outcome, qm::TOutcome::Converted) << i << ": " << r.Detail;
    EXPECT_EQ(r.Output, dir / ("d" + std::to_string(i) + "_2.JWW"));
    EXPECT_TRUE(EndsWith(testutil::ReadAll(r.Output), TableOf(images[static_cast<size_t>(i)]))) << i;
  }
  EXPECT_TRUE(work.Empty());
}

// A window's message loop without a window: Wake posts a message that
// delivers the batch's call, RunUntil handles messages until done.
class TFakeLoop : public qm::IMessageLoop {
 public:
  qm::TThreadedBatchRunner* Runner = nullptr;
  std::thread::id Thread = std::this_thread::get_id();
  int Delivered = 0;
  void Wake() override {
    std::lock_guard<std::mutex> guard(Lock_);
    ++Posted_;
    Arrived_.notify_one();
  }
  void RunUntil(const std::function<bool()>& done) override {
    EXPECT_EQ(std::this_thread::get_id(), Thread);
    while (!done()) {
      {
        std::unique_lock<std::mutex> lock(Lock_);
        Arrived_.wait(lock, [this] { return Posted_ > 0; });
        --Posted_;
      }
      Runner->Deliver();
      ++Delivered;
    }
  }

 private:
  std::mutex Lock_;
  std::condition_variable Arrived_;
  int Posted_ = 0;
};

TEST(Concurrency, TheWindowsBatchRunsOnAThreadOfItsOwnWithItsCallsOnTheWindowsThread) {
  testutil::TTempDir dir, work;
  std::vector<fs::path> items;
  for (int k = 0; k < 6; ++k) {
    items.push_back(dir / ("d" + std::to_string(k) + ".jww"));
    testutil::WriteAll(items.back(), k % 2 ? Build(HiddenGroupDrawing(600)) : WithImage(Filled(500, 3)));
  }
  rig::TRig r;
  r.Form1.InspectionsReady = [] {};  // inspections run beside the batch
  r.Form1.StartWork(work.Path());
  TFakeLoop loop;
  qm::TThreadedBatchRunner runner(loop);
  loop.Runner = &runner;
  r.Form1.BatchRunner = &runner;
  r.Form1.Button1Click(items);
  const std::thread::id window = std::this_thread::get_id();
  bool elsewhere = false;
  r.Extra = [&](int call) {
    elsewhere = elsewhere || std::this_thread::get_id() != window;
    if (call == 5) r.Form1.StopBatch();  // after the third file is done
    return true;
  };
  r.Form1.Button3Click();
  EXPECT_FALSE(elsewhere);
  EXPECT_GE(loop.Delivered, 6);  // six calls (and the wake at the end, unless the loop saw the end first)
  EXPECT_TRUE(r.Form1.Interrupted());
  ASSERT_EQ(r.Form1.Results().size(), 3u);
  std::vector<std::string> expected;
  for (size_t k = 0; k < 3; ++k)
    for (const std::string& line : rig::Converted(items[k], dir / ("d" + std::to_string(k) + "_2.JWW")))
      expected.push_back(line);
  EXPECT_EQ(r.Report(), expected);
  EXPECT_EQ(r.Observer.Events.size(), 2 + 2 * 3u);
  EXPECT_EQ(r.View.Shown, 1);
  EXPECT_FALSE(fs::exists(dir / "d3_2.JWW"));
  r.Form1.EndWork();
  EXPECT_TRUE(work.List().empty());
}

TEST(Concurrency, AFailingBatchBodyRaisesOnTheWindowsThread) {
  TFakeLoop loop;
  qm::TThreadedBatchRunner runner(loop);
  loop.Runner = &runner;
  struct : qm::IBatchCallback {
    bool FileStarted(int, const fs::path&) override { return true; }
    bool FileFinished(int, const qm::TFileResult&) override { return true; }
  } window;
  EXPECT_THROW(runner.Run([](qm::IBatchCallback& c) -> qm::TBatchResult {
                 c.FileStarted(0, "x");
                 throw std::runtime_error("broken");
               }, window),
               std::runtime_error);
}

}  // namespace
