// The outputs of earlier runs: which output makes a drawing converted
// already, and which drawing is itself an output, over tables of folder
// contents and times.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "earlier.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// An entry of a folder: a file changed seconds after the drawing (before it
// when negative), or a folder.
struct TEntry {
  std::string Name;
  int Seconds = 0;
  bool Folder = false;
};

class EarlierTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir;
  const fs::file_time_type Drawn = fs::file_time_type::clock::now() - 1h;

  fs::path Put(const fs::path& path, int seconds = 0) {
    fs::create_directories(path.parent_path());
    testutil::WriteAll(path, testutil::Bytes("JwwData."));
    fs::last_write_time(path, Drawn + std::chrono::seconds(seconds));
    return path;
  }
  void Fill(const fs::path& folder, const std::vector<TEntry>& entries) {
    for (const TEntry& e : entries) {
      if (e.Folder) fs::create_directories(folder / e.Name);
      else Put(folder / e.Name, e.Seconds);
    }
  }
};

TEST_F(EarlierTest, TheNewestOutputNewerThanTheDrawingMakesItConverted) {
  struct TCase {
    std::string Drawing;
    std::vector<TEntry> Beside;
    std::string Expected;  // the output found, empty for none
  };
  const std::vector<TCase> cases = {
      {"plan.jww", {}, ""},
      {"plan.jww", {{"plan_2.JWW", 60}}, "plan_2.JWW"},
      {"plan.jww", {{"plan_2.JWW", -60}}, ""},
      {"plan.jww", {{"plan_2.JWW", 0}}, ""},  // as old as the drawing: perhaps made before its last change
      {"plan.jww", {{"plan_2.JWW", 60}, {"plan_3.JWW", 120}}, "plan_3.JWW"},
      {"plan.jww", {{"plan_2.JWW", 120}, {"plan_3.JWW", -60}}, "plan_2.JWW"},
      {"plan.jww", {{"plan_2.JWW", 60}, {"plan_3.JWW", 60}}, "plan_3.JWW"},
      {"plan.jww", {{"plan_9.JWW", 60}, {"plan_10.JWW", 60}}, "plan_10.JWW"},
      // Letters compared as Windows compares them, full-width ones too.
      {"Plan.jww", {{"PLAN_2.jww", 60}}, "PLAN_2.jww"},
      {"ｐｌａｎ.JWW", {{"ＰＬＡＮ_2.JWW", 60}}, "ＰＬＡＮ_2.JWW"},
      // Only the drawing's last extension goes.
      {"a.b.jww", {{"a.b_2.JWW", 60}, {"a_2.JWW", 120}}, "a.b_2.JWW"},
      // Names that are not its outputs, and an entry that is no file.
      {"plan.jww",
       {{"plan_02.JWW", 60}, {"plan_1.JWW", 60}, {"plan_x.JWW", 60}, {"plan_.JWW", 60}, {"plan_2.txt", 60},
        {"plan2.JWW", 60}, {"plan_2_2.JWW", 60}, {"other_2.JWW", 60}, {"xplan_2.JWW", 60}, {"plan_2.JWW.bak", 60},
        {"plan_3.JWW", 0, true}},
       ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Drawing + " with " + (c.Beside.empty() ? "nothing" : c.Beside.front().Name));
    for (const auto& e : fs::directory_iterator(Dir.Path())) fs::remove_all(e.path());
    const fs::path drawing = Put(Dir / c.Drawing);
    Fill(Dir.Path(), c.Beside);
    qm::TEarlierRuns earlier;
    const auto found = earlier.Converted(drawing, Dir.Path());
    EXPECT_EQ(found ? found->Path.filename().string() : "", c.Expected);
    if (found) {
      EXPECT_EQ(found->Path, Dir / c.Expected);
      EXPECT_EQ(found->Time, fs::last_write_time(Dir / c.Expected));
    }
  }
}

TEST_F(EarlierTest, TheOutputFolderIsTheOneLookedIn) {
  const fs::path drawing = Put(Dir / "src" / "plan.jww");
  Put(Dir / "out" / "plan_2.JWW", 60);
  qm::TEarlierRuns earlier;
  EXPECT_FALSE(earlier.Converted(drawing, Dir / "src"));
  const auto found = earlier.Converted(drawing, Dir / "out");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Path, Dir / "out" / "plan_2.JWW");
  EXPECT_FALSE(earlier.Converted(drawing, Dir / "missing"));
  EXPECT_FALSE(earlier.Converted(Dir / "out" / "gone.jww", Dir / "out"));  // no drawing, no time
}

// One listing a folder: what comes later is seen by a new look only.
TEST_F(EarlierTest, EachFolderIsListedOnceAndANewLookSeesWhatCameSince) {
  const fs::path a = Put(Dir / "a.jww"), b = Put(Dir / "b.jww");
  qm::TEarlierRuns earlier;
  EXPECT_FALSE(earlier.Converted(a, Dir.Path()));
  Put(Dir / "a_2.JWW", 60);
  Put(Dir / "b_2.JWW", 60);
  EXPECT_FALSE(earlier.Converted(a, Dir.Path()));
  EXPECT_FALSE(earlier.Converted(b, Dir.Path()));
  qm::TEarlierRuns again;
  EXPECT_TRUE(again.Converted(a, Dir.Path()));
  EXPECT_TRUE(again.Converted(b, Dir.Path()));
}

TEST_F(EarlierTest, ManyThreadsAskOneSnapshot) {
  constexpr int count = 200;
  std::vector<fs::path> drawings;
  for (int i = 0; i < count; ++i) {
    const fs::path folder = Dir / (i % 2 ? "odd" : "even");
    drawings.push_back(Put(folder / ("d" + std::to_string(i) + ".jww")));
    if (i % 3) Put(folder / ("d" + std::to_string(i) + "_2.JWW"), 60);
  }
  qm::TEarlierRuns earlier;
  std::vector<int> found(count, -1);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = t; i < count; i += 4)
        found[static_cast<size_t>(i)] = earlier.Converted(drawings[static_cast<size_t>(i)],
                                                          drawings[static_cast<size_t>(i)].parent_path())
                                            ? 1
                                            : 0;
    });
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < count; ++i) EXPECT_EQ(found[static_cast<size_t>(i)], i % 3 ? 1 : 0) << i;
}

TEST_F(EarlierTest, ADrawingNamedAsAnOutputBesideItsSourceIsAnOutputItself) {
  struct TCase {
    std::string Drawing;
    std::vector<TEntry> Beside;
    std::string Expected;  // its source, empty for none
  };
  const std::vector<TCase> cases = {
      {"Test6_2.JWW", {{"Test6.jww"}}, "Test6.jww"},
      {"Test6_2.JWW", {{"TEST6.JWW"}}, "TEST6.JWW"},
      {"test6_3.jww", {{"Test6.Jww"}}, "Test6.Jww"},
      {"Test6_2_2.JWW", {{"Test6_2.JWW"}}, "Test6_2.JWW"},
      {"Test6_2.JWW", {}, ""},
      {"Test6_02.JWW", {{"Test6.jww"}}, ""},
      {"Test6_2.JWW", {{"Test6.txt"}}, ""},
      {"Test6_2.JWW", {{"Test6.jww", 0, true}}, ""},  // a folder, not a drawing
      {"Test6.jww", {{"Test6_2.JWW"}}, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Drawing);
    for (const auto& e : fs::directory_iterator(Dir.Path())) fs::remove_all(e.path());
    const fs::path drawing = Put(Dir / c.Drawing);
    Fill(Dir.Path(), c.Beside);
    qm::TEarlierRuns earlier;
    const auto source = earlier.SourceOf(drawing);
    EXPECT_EQ(source ? source->string() : "", c.Expected.empty() ? "" : (Dir / c.Expected).string());
  }
}

}  // namespace
