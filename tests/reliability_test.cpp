// A conversion never leaves a damaged or unverified drawing: a write damaged
// after the fact is caught before the output gets its name, a process killed
// at any moment leaves no unverified file under it, concurrent conversions of
// one drawing all complete, crash leftovers of dead processes go, and every
// failing file operation ends cleanly.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "drawings.h"
#include "fileio.h"
#include "formrig.h"
#include "jwwunit.h"

namespace {

using namespace qm;

namespace fs = std::filesystem;
using namespace draw;

// ---------------------------------------------------------------------------
// The file hook: counts operations and acts at a chosen one.

struct THookState {
  std::map<qm::TFileOp, int> Seen;  // operations so far, per kind
  int Total = 0;                    // operations so far
  std::function<int(qm::TFileOp, int nth, int total)> Act;
};
THookState g_Hook;

int Hook(qm::TFileOp op) {
  const int nth = ++g_Hook.Seen[op];
  ++g_Hook.Total;
  return g_Hook.Act ? g_Hook.Act(op, nth, g_Hook.Total) : 0;
}

class THooked {
 public:
  explicit THooked(std::function<int(qm::TFileOp, int, int)> act) {
    g_Hook = THookState{};
    g_Hook.Act = std::move(act);
    qm::FileHook = Hook;
  }
  ~THooked() {
    qm::FileHook = nullptr;
    g_Hook = THookState{};
  }
};

// A version 7.00 drawing with a hidden group, a visible line with an odd
// coordinate, a visible text, a block and two images (one kept).
Drawing Source() {
  Drawing d = HiddenGroupDrawing(700);
  d.Hdr.PaperSize = 4;
  d.Elements = {Line(0, 0, 12345.678), Line(1, 0, 2), Text(0, 0, 3, "VisibleText"),
                Text(0, 0, 4, "^@BM%temp%keep.bmp,1,1"), Text(1, 0, 5, "^@BM%temp%gone.bmp,1,1"), Insert(0, 0, 0, 6)};
  d.Blocks = {Def(0, "B", {Arc(0, 0, 7)})};
  std::vector<uint8_t> keep(5000), gone(300, 9);
  for (size_t i = 0; i < keep.size(); ++i) keep[i] = static_cast<uint8_t>(i * 31 + 7);
  d.Images = {{"keep.bmp", keep, {}}, {"gone.bmp", gone, {}}};
  return d;
}

std::vector<uint8_t> Find(const std::vector<uint8_t>& hay, const std::vector<uint8_t>& needle, size_t& at) {
  const auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
  at = static_cast<size_t>(it - hay.begin());
  return needle;
}

std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().starts_with(".quillmark-")) out.push_back(e.path().filename().string());
  return out;
}

class Reliability : public ::testing::Test {
 protected:
  testutil::TTempDir Dir, Work;
  fs::path Src;
  std::vector<uint8_t> SrcBytes, Expected;  // the source and the output of an undisturbed conversion

  void SetUp() override {
    Src = Dir / "plan.jww";
    SrcBytes = Build(Source());
    testutil::WriteAll(Src, SrcBytes);
    rig::TRig r;
    r.Form1.StartWork(Work.Path());
    r.List.Set({Src});
    r.Form1.Button3Click();
    ASSERT_EQ(r.Report(), rig::Converted(Src, Dir / "plan_2.JWW"));
    Expected = testutil::ReadAll(Dir / "plan_2.JWW");
    fs::remove(Dir / "plan_2.JWW");
  }

  // One conversion with the hook in place; how it ended.
  qm::TOutcome Convert() {
    rig::TRig r;
    r.Form1.StartWork(Work.Path());
    r.List.Set({Src});
    r.Form1.Button3Click();
    Detail = r.Form1.Results().empty() ? "" : r.Form1.Results()[0].Detail();
    Context = r.Form1.Results().empty() || !r.Form1.Results()[0].Failure ? "" : r.Form1.Results()[0].Failure->Context;
    const std::string problem = r.Form1.EndWork();
    EXPECT_EQ(problem, "");
    const auto report = r.Report();
    EXPECT_EQ(report.size(), 3u);
    return r.Form1.Results().empty() ? qm::TOutcome::NotFound : r.Form1.Results()[0].Outcome;
  }
  std::string Detail, Context;

  // What every attempt must leave: the source as it was, no temporary file,
  // an empty work parent, and at the output name nothing or the whole output.
  void ExpectClean(qm::TOutcome outcome, const std::string& trial) {
    EXPECT_EQ(testutil::ReadAll(Src), SrcBytes) << trial;
    EXPECT_EQ(Leftovers(Dir.Path()), std::vector<std::string>{}) << trial;
    EXPECT_TRUE(fs::is_empty(Work.Path())) << trial;
    const fs::path out = Dir / "plan_2.JWW";
    if (outcome == qm::TOutcome::Converted) {
      EXPECT_EQ(testutil::ReadAll(out), Expected) << trial;
    } else {
      EXPECT_TRUE(outcome == qm::TOutcome::Failed || outcome == qm::TOutcome::Unreadable) << trial;
      EXPECT_FALSE(qm::EntryExists(out)) << trial;
    }
    fs::remove(out);
  }
};

// ---------------------------------------------------------------------------

// A byte flipped in the temporary file after it was written and flushed, in a
// coordinate, a text, an image or a header field: the check finds it, and
// nothing appears under the output name.
TEST_F(Reliability, AWriteDamagedAfterTheFactIsCaught) {
  auto bytesOf = [](double x) {
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &x, 8);
    return b;
  };
  struct Target {
    const char* Name;
    size_t At;
  };
  std::vector<Target> targets;
  size_t at = 0;
  Find(Expected, bytesOf(12345.678), at);
  targets.push_back({"a coordinate", at + 3});
  Find(Expected, testutil::Bytes("VisibleText"), at);
  targets.push_back({"a text", at + 4});
  std::vector<uint8_t> keep(64);
  for (size_t i = 0; i < keep.size(); ++i) keep[i] = static_cast<uint8_t>((i + 100) * 31 + 7);
  Find(Expected, keep, at);
  targets.push_back({"an image byte", at + 10});
  targets.push_back({"the paper size", 13});
  for (const Target& t : targets) {
    ASSERT_LT(t.At, Expected.size()) << t.Name;
    bool damaged = false;
    THooked hooked([&](qm::TFileOp op, int, int) {
      // The first read once the temporary file exists: it is complete and
      // about to be read back.
      if (op == qm::TFileOp::Read && !damaged && !Leftovers(Dir.Path()).empty()) {
        damaged = true;
        const auto names = Leftovers(Dir.Path());
        EXPECT_EQ(names.size(), 1u);
        for (const auto& name : names) {
          const int fd = ::open((Dir / name).c_str(), O_RDWR);
          uint8_t b = 0;
          EXPECT_EQ(::pread(fd, &b, 1, static_cast<off_t>(t.At)), 1);
          b ^= 0x10;
          EXPECT_EQ(::pwrite(fd, &b, 1, static_cast<off_t>(t.At)), 1);
          ::close(fd);
        }
      }
      return 0;
    });
    const qm::TOutcome outcome = Convert();
    EXPECT_TRUE(damaged) << t.Name;
    EXPECT_EQ(outcome, qm::TOutcome::Failed) << t.Name;
    EXPECT_NE(Detail.find("does not read back"), std::string::npos) << t.Name << ": " << Detail;
    EXPECT_EQ(Context, "read_back") << t.Name;
    // The offset named is that of the field (or the image) that holds the byte.
    const size_t named = Detail.find("at byte ");
    ASSERT_NE(named, std::string::npos) << Detail;
    const size_t offset = std::stoul(Detail.substr(named + 8));
    EXPECT_LE(offset, t.At) << t.Name << ": " << Detail;
    EXPECT_LT(t.At - offset, t.Name == std::string("an image byte") ? 6000u : 9u) << t.Name << ": " << Detail;
    ExpectClean(outcome, t.Name);
  }
}

// Killed at any file operation of a conversion, the process leaves at the
// output name either nothing or the verified output.
TEST_F(Reliability, AKillAtAnyMomentLeavesNoUnverifiedOutput) {
  int total = 0;
  {
    THooked count([](qm::TFileOp, int, int) { return 0; });
    ASSERT_EQ(Convert(), qm::TOutcome::Converted);
    total = g_Hook.Total;
    fs::remove(Dir / "plan_2.JWW");
  }
  ASSERT_GT(total, 10);
  int verifiedOutputs = 0;
  for (int k = 1; k <= total; ++k) {
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      THooked kill([k](qm::TFileOp, int, int n) {
        if (n == k) ::raise(SIGKILL);
        return 0;
      });
      Convert();
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "moment " << k;
    const fs::path out = Dir / "plan_2.JWW";
    if (qm::EntryExists(out)) {
      EXPECT_EQ(testutil::ReadAll(out), Expected) << "moment " << k;
      ++verifiedOutputs;
      fs::remove(out);
    }
    EXPECT_EQ(testutil::ReadAll(Src), SrcBytes) << "moment " << k;
    for (const auto& name : Leftovers(Dir.Path())) fs::remove(Dir / name);  // what a crash leaves
    for (const auto& e : fs::directory_iterator(Work.Path())) fs::remove_all(e.path());
  }
  EXPECT_GE(verifiedOutputs, 1);  // the last moments come after the move
}

// Conversions of one drawing in several processes, all reaching the final
// move at once: each takes its own name, and every output is complete.
TEST_F(Reliability, ConcurrentConversionsOfOneDrawingAllComplete) {
  constexpr int N = 4;
  int arrived[2], release[2];
  ASSERT_EQ(pipe(arrived), 0);
  ASSERT_EQ(pipe(release), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < N; ++i) {
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(release[1]);
      THooked wait([&](qm::TFileOp op, int, int) {
        if (op == qm::TFileOp::Commit) {
          const char c = 'x';
          if (::write(arrived[1], &c, 1) != 1) _exit(4);
          char r;
          while (::read(release[0], &r, 1) == 1) {
          }  // until the parent closes it
        }
        return 0;
      });
      _exit(Convert() == qm::TOutcome::Converted ? 0 : 1);
    }
    children.push_back(child);
  }
  ::close(release[0]);
  for (int i = 0; i < N; ++i) {
    char c;
    ASSERT_EQ(::read(arrived[0], &c, 1), 1);
  }
  ::close(release[1]);  // all of them move their files now
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ::close(arrived[0]);
  ::close(arrived[1]);
  for (int n = 2; n <= N + 1; ++n)
    EXPECT_EQ(testutil::ReadAll(Dir / ("plan_" + std::to_string(n) + ".JWW")), Expected) << n;
  EXPECT_FALSE(qm::EntryExists(Dir / ("plan_" + std::to_string(N + 2) + ".JWW")));
  EXPECT_EQ(Leftovers(Dir.Path()), std::vector<std::string>{});
}

// Every failing read, write, open, create, close, rename, flush and folder
// creation, with EIO and with ENOSPC: a clean failure, or (when only the
// folder flush after the move failed) the same output with a warning.
TEST_F(Reliability, EveryInjectedFileFailureEndsCleanly) {
  std::map<qm::TFileOp, int> counts;
  {
    THooked count([](qm::TFileOp, int, int) { return 0; });
    ASSERT_EQ(Convert(), qm::TOutcome::Converted);
    counts = g_Hook.Seen;
    fs::remove(Dir / "plan_2.JWW");
  }
  int trials = 0, failures = 0;
  for (const auto& [op, count] : counts) {
    if (op == qm::TFileOp::Commit) continue;  // a watch point, not an operation
    for (int n = 1; n <= count; ++n) {
      for (const int err : {EIO, ENOSPC}) {
        const std::string trial = "op " + std::to_string(static_cast<int>(op)) + " #" + std::to_string(n) + " errno " +
                                  std::to_string(err);
        THooked fail([&](qm::TFileOp o, int nth, int) { return o == op && nth == n ? err : 0; });
        const qm::TOutcome outcome = Convert();
        ++trials;
        failures += outcome != qm::TOutcome::Converted;
        if (outcome != qm::TOutcome::Converted) {
          EXPECT_FALSE(Detail.empty()) << trial;
        }
        ExpectClean(outcome, trial);
      }
    }
  }
  RecordProperty("trials", trials);
  RecordProperty("failures", failures);
  EXPECT_GT(trials, 20);  // the drawing is read once, written once, read back once
  EXPECT_GT(failures, trials / 2);
}

// A flush of the output's folder that fails is told, and the conversion stands.
TEST_F(Reliability, AFolderThatCannotBeFlushedIsReported) {
  THooked fail([](qm::TFileOp op, int nth, int) { return op == qm::TFileOp::Sync && nth == 2 ? EIO : 0; });
  rig::TRig r;
  r.Form1.StartWork(Work.Path());
  r.List.Set({Src});
  r.Form1.Button3Click();
  EXPECT_EQ(r.Report(), rig::Converted(Src, Dir / "plan_2.JWW"));
  ASSERT_EQ(r.Form1.Results().size(), 1u);
  EXPECT_NE(r.Form1.Results()[0].Warning.find("could not be flushed"), std::string::npos);
  EXPECT_EQ(testutil::ReadAll(Dir / "plan_2.JWW"), Expected);
}

// Every folder made for outputs is flushed into its parent, from the deepest
// up to the first that existed: one flush a folder made, none when the
// folder is there already.
TEST_F(Reliability, FoldersMadeForOutputsAreFlushedIntoTheirParents) {
  struct TCase {
    const char* Exists;  // made before, below Dir ("" for none)
    const char* Made;
    int Flushes;
  };
  for (const TCase c : {TCase{"", "a/b/c", 3}, TCase{"a", "a/b/c", 2}, TCase{"a/b/c", "a/b/c", 0},
                        TCase{"", "a/b/c/", 3}}) {
    SCOPED_TRACE(c.Made);
    fs::remove_all(Dir / "a");
    if (*c.Exists) fs::create_directories(Dir / c.Exists);
    int flushes = 0;
    {
      THooked count([&](qm::TFileOp op, int, int) {
        flushes += op == qm::TFileOp::Sync;
        return 0;
      });
      qm::MakeFolders(Dir / c.Made);
    }
    EXPECT_TRUE(fs::is_directory(Dir / c.Made));
    EXPECT_EQ(flushes, c.Flushes);
  }
  // A flush that fails is a failure of the folder, named.
  fs::remove_all(Dir / "a");
  THooked refuse([](qm::TFileOp op, int, int) { return op == qm::TFileOp::Sync ? EIO : 0; });
  try {
    qm::MakeFolders(Dir / "a" / "b");
    ADD_FAILURE() << "no error";
  } catch (const qm::EFileError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot flush the folder"), std::string::npos) << e.what();
  }
}

// A process number that no process has: a child's, after it has ended.
pid_t DeadProcess() {
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  return dead;
}

// Sets the time of an entry and of everything below it an hour back.
void Age(const fs::path& path) {
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  if (fs::is_directory(fs::symlink_status(path)))
    for (auto& e : fs::recursive_directory_iterator(path)) fs::last_write_time(e.path(), old);
  if (!fs::is_symlink(path)) fs::last_write_time(path, old);
}

// A work folder as a run makes it: the marker naming it, a document's folder
// with one image.
void MakeRunFolder(const fs::path& folder, const std::string& marker) {
  fs::create_directories(folder / "d3");
  testutil::WriteAll(folder / std::string(qm::WorkFolderMarker), testutil::Bytes(marker));
  testutil::WriteAll(folder / "d3" / "i0", testutil::Bytes("image"));
}

std::string MarkerOf(const std::string& name) { return "Quillmark work folder " + name + "\n"; }

// A temporary output is removed only when it is a regular file of our exact
// name form, starts like a drawing, and its process is gone and it has been
// quiet for a while; nothing else in an output folder is looked at.
TEST(Leftovers, OnlyProvablyOwnTemporaryOutputsGo) {
  const pid_t live = fork();
  if (live == 0) {
    pause();
    _exit(0);
  }
  ASSERT_GT(live, 0);
  testutil::TTempDir dir;
  const std::string d = std::to_string(DeadProcess()), l = std::to_string(live);
  const auto drawing = testutil::Bytes("JwwData.\x2C\x01\x00\x00 and the rest");
  auto file = [&](const std::string& name, const std::vector<uint8_t>& bytes, bool aged) {
    testutil::WriteAll(dir / name, bytes);
    if (aged) Age(dir / name);
  };
  file(".quillmark-" + d + "-0.tmp", drawing, true);              // ours: goes
  file(".quillmark-" + d + "-1.tmp", drawing, false);             // too fresh: perhaps still being written
  file(".quillmark-" + d + "-2.tmp", testutil::Bytes("notes"), true);  // not a drawing: a user's
  file(".quillmark-" + d + "-3.tmp", {}, true);                   // empty: nothing proves it ours
  file(".quillmark-" + l + "-0.tmp", drawing, true);              // its process runs
  file(".quillmark-x-0.tmp", drawing, true);
  file(".quillmark-0" + d + "-4.tmp", drawing, true);             // not a form this program writes
  file("plan_2.JWW", drawing, true);
  file("user.jww", drawing, true);
  fs::create_symlink(dir / "user.jww", dir / (".quillmark-" + d + "-5.tmp"));  // a link, not a file of ours
  fs::create_directory(dir / (".quillmark-" + d + "-6.tmp"));
  MakeRunFolder(dir / ("quillmark-" + d + "-7"), MarkerOf("quillmark-" + d + "-7"));  // no work folder lives here
  Age(dir / ("quillmark-" + d + "-7"));
  Age(dir / (".quillmark-" + d + "-6.tmp"));
  const auto before = dir.List();
  qm::RemoveDeadTempFilesNow(dir.Path());
  auto expected = before;
  expected.erase(std::find(expected.begin(), expected.end(), ".quillmark-" + d + "-0.tmp"));
  EXPECT_EQ(dir.List(), expected);
  EXPECT_EQ(testutil::ReadAll(dir / "user.jww"), drawing);
  kill(live, SIGKILL);
  waitpid(live, nullptr, 0);
}

// A work folder is removed only where work folders live, when it carries our
// marker with its own name and holds nothing but what a run puts there.
TEST(Leftovers, OnlyProvablyOwnWorkFoldersGo) {
  testutil::TTempDir parent;
  const std::string d = std::to_string(DeadProcess());
  auto run = [&](const std::string& name, const std::string& marker) {
    MakeRunFolder(parent / name, marker);
    return parent / name;
  };
  const std::string ours = "quillmark-" + d + "-5";
  run(ours, MarkerOf(ours));
  const fs::path notes = run("quillmark-" + d + "-6", MarkerOf("quillmark-" + d + "-6"));
  testutil::WriteAll(notes / "notes.txt", testutil::Bytes("a user's notes"));
  const fs::path inDoc = run("quillmark-" + d + "-7", MarkerOf("quillmark-" + d + "-7"));
  testutil::WriteAll(inDoc / "d3" / "plan.bmp", testutil::Bytes("not an image name of ours"));
  run("quillmark-" + d + "-8", "");                                     // no marker text
  fs::remove(run("quillmark-" + d + "-9", MarkerOf("x")) / std::string(qm::WorkFolderMarker));  // no marker
  run("quillmark-" + d + "-10", MarkerOf("quillmark-" + d + "-5"));     // another folder's marker
  const fs::path link = run("quillmark-" + d + "-11", MarkerOf("quillmark-" + d + "-11"));
  fs::create_symlink(parent.Path(), link / "d3" / "i1");                // a link inside
  fs::create_directories(parent / "quillmark-2024-0612");
  testutil::WriteAll(parent / "quillmark-2024-0612" / "notes.txt", testutil::Bytes("mine"));
  for (const auto& name : parent.List()) Age(parent / name);
  const std::string fresh = "quillmark-" + d + "-12";
  run(fresh, MarkerOf(fresh));
  Age(parent / fresh);
  testutil::WriteAll(parent / fresh / "d3" / "i0", testutil::Bytes("just written"));  // changed a moment ago
  const auto before = parent.List();

  qm::RemoveDeadWorkFoldersNow(parent.Path());
  auto expected = before;
  expected.erase(std::find(expected.begin(), expected.end(), ours));
  EXPECT_EQ(parent.List(), expected);
  EXPECT_EQ(testutil::ReadAll(notes / "notes.txt"), testutil::Bytes("a user's notes"));
  EXPECT_TRUE(fs::exists(notes / "d3" / "i0"));  // nothing of a folder that is not wholly ours goes
  EXPECT_TRUE(fs::exists(inDoc / "d3" / "plan.bmp"));
  EXPECT_EQ(testutil::ReadAll(parent / "quillmark-2024-0612" / "notes.txt"), testutil::Bytes("mine"));
}

// The folders a leftover's check examined are the folders its removal
// empties: swapped for links between the check and the deletion (through the
// test seam, where a racing process would do it), nothing outside is
// reached, and the links stay links.
TEST(Leftovers, ASwapBetweenCheckAndDeletionReachesNothingOutside) {
  struct TCase {
    const char* What;
    const char* Swapped;  // the part of the leftover made a link to the victim
  };
  for (const TCase c : {TCase{"the image folder", "d3"}, TCase{"the run's folder", ""}}) {
    SCOPED_TRACE(c.What);
    testutil::TTempDir parent, victimParent;
    const std::string name = "quillmark-" + std::to_string(DeadProcess()) + "-1";
    const fs::path run = parent / name;
    MakeRunFolder(run, MarkerOf(name));
    Age(run);
    // The victim looks exactly like what the cleanup would remove.
    const fs::path victim = victimParent / "victim";
    MakeRunFolder(victim, MarkerOf(name));
    static fs::path swapPath, swapTo;
    swapPath = std::string(c.Swapped).empty() ? run : run / c.Swapped;
    swapTo = std::string(c.Swapped).empty() ? victim : victim / c.Swapped;
    qm::LeftoverChecked = [](const fs::path&) {
      fs::rename(swapPath, swapPath.string() + ".moved");
      fs::create_directory_symlink(swapTo, swapPath);
    };
    qm::RemoveDeadWorkFoldersNow(parent.Path());
    qm::LeftoverChecked = nullptr;
    EXPECT_EQ(testutil::ReadAll(victim / "d3" / "i0"), testutil::Bytes("image"));
    EXPECT_TRUE(fs::exists(victim / std::string(qm::WorkFolderMarker)));
    EXPECT_TRUE(fs::is_symlink(swapPath));
    // What was checked went: the image in the folder that was moved aside.
    EXPECT_FALSE(fs::exists(fs::path(swapPath.string() + ".moved") / (std::string(c.Swapped).empty() ? "d3/i0" : "i0")));
  }
}

// Nothing of another user is ours to remove, however well it looks like a
// crash leftover: neither a folder of theirs nor a folder of ours holding a
// file of theirs, nor a temporary output of theirs.
TEST(Leftovers, AnotherUsersLeftoversStay) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  testutil::TTempDir parent;
  fs::permissions(parent.Path(), fs::perms::all);
  const std::string d = std::to_string(DeadProcess());
  const std::string theirs = "quillmark-" + d + "-1", mixed = "quillmark-" + d + "-2", ours = "quillmark-" + d + "-3";
  for (const std::string& n : {theirs, mixed, ours}) MakeRunFolder(parent / n, MarkerOf(n));
  const std::string output = ".quillmark-" + d + "-4.tmp";
  testutil::WriteAll(parent / output, testutil::Bytes("JwwData. and more"));
  auto give = [](const fs::path& p) { ASSERT_EQ(::lchown(p.c_str(), 65534, 65534), 0) << p; };
  for (const auto& e : fs::recursive_directory_iterator(parent / theirs)) give(e.path());
  give(parent / theirs);
  give(parent / mixed / "d3" / "i0");
  give(parent / output);
  for (const auto& name : parent.List()) Age(parent / name);
  qm::RemoveDeadWorkFoldersNow(parent.Path());
  qm::RemoveDeadTempFilesNow(parent.Path());
  EXPECT_EQ(parent.List(), (std::vector<std::string>{output, theirs, mixed}));
  EXPECT_TRUE(fs::exists(parent / theirs / "d3" / "i0"));
  EXPECT_TRUE(fs::exists(parent / mixed / "d3" / "i0"));
}

// Through the real cleanup: a user's folder and file that merely carry our
// names survive conversions beside them, under -o and in the work folder's
// parent, while what a conversion killed in mid-write left is removed by the
// next run once it is old enough.
TEST(Leftovers, ARealCrashLeftoverGoesAndNothingOfTheUsersDoes) {
  testutil::TTempDir dir, out, temp;
  const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "app" / "cli" / "quillmark";
  Drawing drawing = HiddenGroupDrawing(700);
  drawing.Elements.push_back(Text(0, 0, 1, "^@BM%temp%a.bmp,1,1"));
  drawing.Images = {{"a.bmp", std::vector<uint8_t>(5000, 3), {}}};
  testutil::WriteAll(dir / "plan.jww", Build(drawing));
  const std::string d = std::to_string(DeadProcess());
  // What a user keeps under names like ours, aged, of a dead process number.
  for (const fs::path& folder : {dir.Path(), out.Path(), temp.Path()}) {
    fs::create_directory(folder / "quillmark-2024-0612");
    testutil::WriteAll(folder / "quillmark-2024-0612" / "notes.txt", testutil::Bytes("notes"));
    fs::create_directory(folder / ("quillmark-" + d + "-1"));
    testutil::WriteAll(folder / ("quillmark-" + d + "-1") / "i0", testutil::Bytes("mine"));
    testutil::WriteAll(folder / (".quillmark-" + d + "-1.tmp"), testutil::Bytes("a user's file"));
    for (const auto& name : testutil::TTempDir::ListOf(folder)) Age(folder / name);
  }
  auto tree = [&](const fs::path& folder) {
    std::vector<std::string> v;
    for (auto& e : fs::recursive_directory_iterator(folder)) v.push_back(fs::relative(e.path(), folder).string());
    std::sort(v.begin(), v.end());
    return v;
  };
  const auto userDir = tree(dir.Path()), userOut = tree(out.Path()), userTemp = tree(temp.Path());
  auto convert = [&](const std::string& extra) {
    const std::string cmd = "TMPDIR='" + temp.Path().string() + "' '" + cli.string() + "' convert -q " + extra + " '" +
                            (dir / "plan.jww").string() + "' >/dev/null 2>&1";
    return std::system(cmd.c_str());
  };
  ASSERT_EQ(convert(""), 0);
  ASSERT_EQ(convert("-o '" + out.Path().string() + "'"), 0);
  fs::remove(dir / "plan_2.JWW");
  fs::remove(out / "plan_2.JWW");
  EXPECT_EQ(tree(dir.Path()), userDir);
  EXPECT_EQ(tree(out.Path()), userOut);
  EXPECT_EQ(tree(temp.Path()), userTemp);

  // A conversion killed while its output is written: a temporary output in
  // the output folder and the run's work folder with the extracted image.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    THooked stop([&](qm::TFileOp op, int, int) {
      if (op == qm::TFileOp::Sync) {  // the whole output written, about to be flushed
        const char c = 'x';
        if (::write(ready[1], &c, 1) != 1) _exit(4);
        pause();
      }
      return 0;
    });
    rig::TRig r;
    r.Form1.StartWork(temp.Path());
    r.List.Set({dir / "plan.jww"});
    r.Form1.Button3Click();
    _exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  const auto crashedDir = tree(dir.Path()), crashedTemp = tree(temp.Path());
  ASSERT_EQ(crashedDir.size(), userDir.size() + 1);  // the temporary output
  ASSERT_GT(crashedTemp.size(), userTemp.size());    // the work folder, its marker, the image
  // Too fresh yet: the next run leaves them.
  ASSERT_EQ(convert(""), 0);
  fs::remove(dir / "plan_2.JWW");
  EXPECT_EQ(tree(dir.Path()), crashedDir);
  EXPECT_EQ(tree(temp.Path()), crashedTemp);
  // Old enough: the next run removes them, and only them.
  for (const auto& name : dir.List()) Age(dir / name);
  for (const auto& name : temp.List()) Age(temp / name);
  ASSERT_EQ(convert(""), 0);
  fs::remove(dir / "plan_2.JWW");
  EXPECT_EQ(tree(dir.Path()), userDir);
  EXPECT_EQ(tree(temp.Path()), userTemp);
}

// The reader takes the size a file has when it is opened: bytes appended
// while it is read (a drawing still being saved) are not read.
TEST(GrowingFile, IsReadAtItsSizeWhenOpened) {
  testutil::TTempDir dir;
  Drawing d = HiddenGroupDrawing(600);
  d.Elements.resize(d.Elements.size() + 3000, Element{Line(0, 0, 5)});
  const auto bytes = Build(d);
  testutil::WriteAll(dir / "g.jww", bytes);
  THooked grow([&](qm::TFileOp op, int nth, int) {
    if (op == qm::TFileOp::Read && nth == 1) {
      std::ofstream f(dir / "g.jww", std::ios::binary | std::ios::app);
      f << std::string(100000, '\x01');
    }
    return 0;
  });
  TJwwData doc;
  EXPECT_TRUE(testutil::Ok(doc.LoadDocument(dir / "g.jww")));
  EXPECT_EQ(doc.TotalCount(), 3002);
}

}  // namespace

namespace {

// A work folder that cannot be removed is told, not ignored, with its cause:
// something in it that is not ours, or a failure to read it.
TEST(WorkFolder, ARemovalThatFailsIsReportedWithItsCause) {
  testutil::TTempDir parent;
  fs::permissions(parent.Path(), fs::perms::all);
  EXPECT_TRUE(testutil::RunAsOrdinaryUser([&] {
    qm::TWorkFolderScope scope(parent.Path());
    const fs::path locked = scope.Folder() / "locked";
    fs::create_directory(locked);
    testutil::WriteAll(locked / "image.bmp", testutil::Bytes("x"));
    const std::string problem = scope.Close();
    return problem.find("could not be removed (it holds locked, which is not ours)") != std::string::npos;
  }));
  EXPECT_TRUE(testutil::RunAsOrdinaryUser([&] {
    qm::TWorkFolderScope scope(parent.Path());
    const fs::path folder = scope.Folder();
    fs::permissions(folder, fs::perms::owner_write);  // cannot be listed
    const std::string problem = scope.Close();
    fs::permissions(folder, fs::perms::owner_all);
    return problem.find("could not be removed: cannot list a folder: Permission denied") != std::string::npos &&
           problem.find("not ours") == std::string::npos;
  }));
}

// A TMPDIR that does not exist sends the work folder to the system's
// temporary folder, never into the current folder (here one that cannot be
// written: the images could not be extracted there).
TEST(WorkFolder, AMissingTmpdirIsNotTheCurrentFolder) {
  testutil::TTempDir here, dir;
  fs::permissions(here.Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
  fs::permissions(dir.Path(), fs::perms::all);
  Drawing d = HiddenGroupDrawing(700);
  d.Elements.push_back(Text(0, 0, 1, "^@BM%temp%a.bmp,1,1"));
  d.Images = {{"a.bmp", std::vector<uint8_t>(50, 3), {}}};
  WriteFile(dir / "h.jww", Build(d));
  fs::permissions(dir / "h.jww", fs::perms::all);
  const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "app" / "cli" / "quillmark";
  EXPECT_TRUE(testutil::RunAsOrdinaryUser([&] {
    const std::string cmd = "cd '" + here.Path().string() + "' && TMPDIR=/nonexistent/quillmark-test '" +
                            cli.string() + "' convert '" + (dir / "h.jww").string() + "' >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
  }));
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"h.jww", "h_2.JWW"}));
  EXPECT_TRUE(fs::is_empty(here.Path()));
}

}  // namespace
