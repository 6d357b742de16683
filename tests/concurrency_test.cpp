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

using namespace qm;

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
    ASSERT_EQ(r.Outcome, qm::TOutcome::Converted) << i << ": " << r.Detail();
    EXPECT_EQ(r.Output, dir / ("d" + std::to_string(i) + "_2.JWW"));
    EXPECT_TRUE(EndsWith(testutil::ReadAll(r.Output), TableOf(images[static_cast<size_t>(i)]))) << i;
  }
  EXPECT_TRUE(work.Empty());
}

// Drawings above 4 MiB, each with a picture above 1 MiB, on two threads: the
// drawing is read, and its output read back, a piece at a time (not whole),
// the picture goes to the document's own folder instead of memory, and each
// output still ends with its own picture.
TEST(Concurrency, LargeDrawingsOnTwoThreadsKeepTheirOwnLargeImages) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  std::vector<fs::path> sources;
  std::vector<std::vector<uint8_t>> images;
  for (int i = 0; i < 3; ++i) {
    images.push_back(Filled((5u << 20) + static_cast<size_t>(i), static_cast<uint8_t>(40 + i)));
    sources.push_back(dir / ("big" + std::to_string(i) + ".jww"));
    testutil::WriteAll(sources.back(), WithImage(images.back()));
  }
  const std::vector<uint8_t> source0 = testutil::ReadAll(sources[0]);
  struct : qm::IBatchCallback {
    bool FileStarted(int, const fs::path&) override { return true; }
    bool FileFinished(int, const qm::TFileResult&) override { return true; }
  } quiet;
  qm::TOutputRule outputs;
  qm::TConvertOptions options;
  options.WorkFolder = work.Path();
  options.Workers = 2;
  const qm::TBatchResult batch = qm::ConvertBatch(sources, outputs, options, quiet);
  ASSERT_EQ(batch.Files.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const qm::TFileResult& r = batch.Files[i];
    ASSERT_EQ(r.Outcome, qm::TOutcome::Converted) << i << ": " << r.Detail();
    EXPECT_EQ(r.VisibleUnchanged, std::optional<bool>(true)) << i;
    EXPECT_TRUE(EndsWith(testutil::ReadAll(r.Output), TableOf(images[i]))) << i;
  }
  EXPECT_EQ(testutil::ReadAll(sources[0]), source0);
  EXPECT_TRUE(work.Empty());
}

// The same batch converted one file after another and on several threads
// at once: the same outcomes, report lines and names, in list order, and the
// same bytes in every output, also where several sources take names from one
// base in one folder.
TEST(Concurrency, ABatchOnSeveralThreadsIsTheBatchOneFileAfterAnother) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir one, many;
  Drawing visible;
  visible.Hdr.Version = 600;
  visible.Elements = {Line(0, 0)};
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 5) {
      case 0: files.push_back({"p" + n + ".jww", Build(HiddenGroupDrawing(600))}); break;
      case 1: files.push_back({"i" + n + ".jww", WithImage(Filled(500 + static_cast<size_t>(i), 3))}); break;
      case 2: files.push_back({"v" + n + ".jww", Build(visible)}); break;
      case 3: files.push_back({"u" + n + ".jww", testutil::Bytes("JwwData. cut short")}); break;
      default: files.push_back({"same.jww", Build(HiddenGroupDrawing(300 + i))}); break;  // one base, one folder
    }
  }
  auto run = [&](const testutil::TTempDir& dir, int workers) {
    std::vector<fs::path> sources;
    for (size_t k = 0; k < files.size(); ++k) {
      const fs::path folder = dir / ("s" + std::to_string(k));
      fs::create_directories(folder);
      testutil::WriteAll(folder / files[k].first, files[k].second);
      sources.push_back(folder / files[k].first);
    }
    struct TOrder : qm::IBatchCallback {
      std::vector<int> Started, Finished;
      bool FileStarted(int k, const fs::path&) override {
        Started.push_back(k);
        return true;
      }
      bool FileFinished(int k, const qm::TFileResult&) override {
        Finished.push_back(k);
        return true;
      }
    } order;
    qm::TOutputRule outputs;
    outputs.FolderFor = [&dir](const fs::path&) { return dir / "out"; };
    qm::TConvertOptions options;
    options.WorkFolder = work.Path();
    options.Workers = workers;
    qm::TBatchResult batch = qm::ConvertBatch(sources, outputs, options, order);
    std::vector<int> expected(files.size());
    for (size_t k = 0; k < expected.size(); ++k) expected[k] = static_cast<int>(k);
    EXPECT_EQ(order.Started, expected);
    EXPECT_EQ(order.Finished, expected);
    EXPECT_FALSE(batch.Interrupted);
    return batch;
  };
  const qm::TBatchResult a = run(one, 1), b = run(many, 4);
  ASSERT_EQ(a.Files.size(), files.size());
  ASSERT_EQ(b.Files.size(), files.size());
  auto relative = [](const std::vector<std::string>& lines, const fs::path& dir) {
    std::vector<std::string> out;
    for (std::string line : lines) {
      for (size_t at; (at = line.find(dir.string())) != std::string::npos;) line.replace(at, dir.string().size(), "D");
      out.push_back(line);
    }
    return out;
  };
  for (size_t k = 0; k < files.size(); ++k) {
    EXPECT_EQ(a.Files[k].Outcome, b.Files[k].Outcome) << k;
    EXPECT_EQ(relative(qm::ReportLines(a.Files[k]), one.Path()), relative(qm::ReportLines(b.Files[k]), many.Path())) << k;
    EXPECT_EQ(a.Files[k].Output.filename(), b.Files[k].Output.filename()) << k;
  }
  EXPECT_EQ(one.ListOf(one / "out"), many.ListOf(many / "out"));
  for (const std::string& name : one.ListOf(one / "out"))
    EXPECT_TRUE(testutil::SameBytes(testutil::ReadAll(many / "out" / name), testutil::ReadAll(one / "out" / name)))
        << name;
  EXPECT_EQ(one.ListOf(one / "out").size(), 24u);  // 8 plain, 8 with images, 8 of one base (_2 .. _9)
  EXPECT_TRUE(work.Empty());
}

// Told to stop, the batch starts no file after that, finishes and reports the
// files already started, and says it was interrupted.
TEST(Concurrency, AStopEndsAfterTheFilesInFlight) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  std::vector<fs::path> sources;
  for (int i = 0; i < 30; ++i) {
    sources.push_back(dir / ("d" + std::to_string(i) + ".jww"));
    testutil::WriteAll(sources.back(), Build(HiddenGroupDrawing(600)));
  }
  struct TStopAt : qm::IBatchCallback {
    int Started = 0;
    std::vector<int> Finished;
    bool FileStarted(int, const fs::path&) override {
      ++Started;
      return true;
    }
    bool FileFinished(int k, const qm::TFileResult& r) override {
      EXPECT_EQ(r.Outcome, qm::TOutcome::Converted) << k;
      Finished.push_back(k);
      return k < 2;
    }
  } stop;
  qm::TOutputRule outputs;
  qm::TConvertOptions options;
  options.WorkFolder = work.Path();
  options.Workers = 2;
  const qm::TBatchResult batch = qm::ConvertBatch(sources, outputs, options, stop);
  EXPECT_TRUE(batch.Interrupted);
  ASSERT_GE(stop.Started, 3);
  EXPECT_LT(stop.Started, 30);
  // Every file started was finished, reported in order, and has its output; no other has one.
  ASSERT_EQ(static_cast<int>(stop.Finished.size()), stop.Started);
  for (int k = 0; k < stop.Started; ++k) EXPECT_EQ(stop.Finished[static_cast<size_t>(k)], k);
  for (int i = 0; i < 30; ++i)
    EXPECT_EQ(fs::exists(dir / ("d" + std::to_string(i) + "_2.JWW")), i < stop.Started) << i;
  EXPECT_EQ(batch.Files.size(), static_cast<size_t>(stop.Started));
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
  r.Form1.Setup.InspectionsReady = [] {};  // inspections run beside the batch
  r.Form1.StartWork(work.Path());
  TFakeLoop loop;
  qm::TThreadedBatchRunner runner(loop);
  loop.Runner = &runner;
  r.Form1.Setup.BatchRunner = &runner;
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

// Several drawings at once, as the Windows program converts them: the report
// is that of one after another, and Stop ends the batch after the few files
// in flight (a file on each worker and two more).
TEST(Concurrency, TheWindowsBatchOnTwoWorkersReportsInListOrderAndStopsAfterTheFilesInFlight) {
  testutil::TTempDir dir, work;
  std::vector<fs::path> items;
  for (int k = 0; k < 12; ++k) {
    items.push_back(dir / ("d" + std::to_string(k) + ".jww"));
    testutil::WriteAll(items.back(), k % 3 ? Build(HiddenGroupDrawing(600)) : WithImage(Filled(500, 3)));
  }
  rig::TRig r;
  r.Form1.StartWork(work.Path());
  TFakeLoop loop;
  qm::TThreadedBatchRunner runner(loop);
  loop.Runner = &runner;
  r.Form1.Setup.BatchRunner = &runner;
  r.Form1.Setup.BatchWorkers = 2;
  r.Form1.Button1Click(items);
  auto expected = [&](size_t files, int n) {
    std::vector<std::string> lines;
    for (size_t k = 0; k < files; ++k)
      for (const std::string& line :
           rig::Converted(items[k], dir / ("d" + std::to_string(k) + "_" + std::to_string(n) + ".JWW")))
        lines.push_back(line);
    return lines;
  };
  r.Form1.Button3Click();
  EXPECT_FALSE(r.Form1.Interrupted());
  EXPECT_EQ(r.Report(), expected(12, 2));

  r.Extra = [&](int) {
    if (!r.Form1.Results().empty()) r.Form1.StopBatch();
    return true;
  };
  r.Form1.Button3Click();
  EXPECT_TRUE(r.Form1.Interrupted());
  const size_t done = r.Form1.Results().size();
  EXPECT_GE(done, 1u);
  EXPECT_LE(done, 4u);
  EXPECT_EQ(r.Report(), expected(done, 3));
  for (size_t k = 0; k < items.size(); ++k)
    EXPECT_EQ(fs::exists(dir / ("d" + std::to_string(k) + "_3.JWW")), k < done) << k;
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
