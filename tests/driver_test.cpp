// The batch conversion driver (Convert) end to end: real drawings in a
// temporary folder, the controls replaced by recorders, the report compared as
// Shift-JIS bytes, and the outputs read back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "drawings.h"
#include "formrig.h"
#include "messages.h"
#include "jwwunit.h"

namespace {

using namespace qm;

namespace fs = std::filesystem;
using namespace draw;
using rig::Converted;
using rig::FileLine;
using rig::Skipped;

std::unique_ptr<TJwwData> LoadOut(const fs::path& path) {
  auto doc = std::make_unique<TJwwData>();
  EXPECT_TRUE(testutil::Ok(doc->LoadDocument(path)));
  return doc;
}

std::string Sjis(const char* utf8) { return qm::Utf8ToSjis(utf8); }

class DriverTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir, Work;
  rig::TRig R;

  struct TSource {
    std::vector<uint8_t> Bytes;
    fs::file_time_type Time;
  };
  std::map<fs::path, TSource> Sources;

  void SetUp() override { R.Form1.StartWork(Work.Path()); }

  // Writes a source with an old modification time and remembers both.
  fs::path Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path p = Dir / name;
    fs::create_directories(p.parent_path());
    testutil::WriteAll(p, bytes);
    fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::hours(48));
    Sources[p] = {bytes, fs::last_write_time(p)};
    return p;
  }
  fs::path Put(const std::string& name, const Drawing& d) { return Put(name, Build(d)); }

  void Run(const std::vector<fs::path>& items) {
    R.List.Set(items);
    R.Snapshots.clear();
    R.Observer.Events.clear();
    R.Form1.Button3Click();
  }
  void ExpectSourcesUnchanged() {
    for (const auto& [path, src] : Sources) {
      if (!fs::exists(path)) continue;
      EXPECT_EQ(testutil::ReadAll(path), src.Bytes) << path;
      EXPECT_TRUE(fs::last_write_time(path) == src.Time) << path;
    }
  }
  // Selection, status, work folder and observer around each file: the
  // observer has heard of a file before the window paints it, and of the
  // batch's end before the report is shown.
  void ExpectWindowCycle(const std::vector<fs::path>& items) {
    ASSERT_EQ(R.App.Calls, static_cast<int>(2 * items.size()));
    ASSERT_EQ(R.Snapshots.size(), 2 * items.size());
    ASSERT_EQ(R.Observer.Events.size(), 2 * items.size() + 2);
    EXPECT_EQ(R.Observer.Events.front(), "start " + std::to_string(items.size()));
    std::vector<std::string> texts;
    for (size_t k = 0; k < items.size(); ++k) {
      EXPECT_EQ(R.Snapshots[2 * k].Selected, std::vector<int>{static_cast<int>(k)}) << k;
      EXPECT_EQ(R.Snapshots[2 * k].Status, rig::Progress(items[k])) << k;
      EXPECT_TRUE(R.Snapshots[2 * k + 1].Selected.empty()) << k;
      EXPECT_EQ(R.Snapshots[2 * k + 1].WorkFiles, 0u) << "work folder not cleaned after " << items[k];
      EXPECT_EQ(R.Observer.Events[2 * k + 1], "file " + std::to_string(k) + " " + items[k].string());
      EXPECT_EQ(R.Snapshots[2 * k].Events, 2 * k + 2) << k;
      EXPECT_TRUE(R.Observer.Events[2 * k + 2].starts_with("done " + std::to_string(k) + " ")) << k;
      EXPECT_EQ(R.Snapshots[2 * k + 1].Events, 2 * k + 3) << k;
      texts.push_back(rig::Progress(items[k]));
    }
    EXPECT_EQ(R.Observer.Events.back(), "end");
    texts.push_back(qm::TotalsLine(R.Form2.Totals()));  // the batch's totals stay in view
    EXPECT_EQ(R.Status.Texts, texts);
    EXPECT_TRUE(R.List.SelectedIndices().empty());
    EXPECT_EQ(R.View.Shown, 1);
    EXPECT_EQ(R.EventsAtShow, R.Observer.Events.size());
  }
  static std::vector<std::string> Cat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  }
};

TEST_F(DriverTest, EmptyListConvertsNothingAndSaysSo) {
  R.Form1.Button3Click();
  EXPECT_TRUE(R.Observer.Events.empty());
  EXPECT_EQ(R.View.Shown, 0);
  EXPECT_EQ(R.Form2.Lines(), std::vector<std::string>{"RE1"});
  EXPECT_EQ(R.Status.Texts, std::vector<std::string>{std::string(qm::Msg::NothingListed)});
  EXPECT_EQ(R.App.Calls, 0);
  EXPECT_TRUE(R.Form1.Results().empty());
}

TEST_F(DriverTest, ReportsEveryOutcomeInThreeLinesAndWritesOnlyTheConvertedFile) {
  Drawing visible;
  visible.Hdr.Version = 600;
  visible.Elements = {Line(0, 0)};
  Drawing badSig = HiddenGroupDrawing(600);
  badSig.Hdr.Signature = "JwwDatb.";
  auto truncated = Build(HiddenGroupDrawing(600));
  truncated.resize(truncated.size() - 5);  // the header and the first element are whole

  const auto deleted = Put("missing.jww", HiddenGroupDrawing(600));  // deleted after it was listed
  const std::vector<fs::path> items = {deleted,                     Put("notes.txt", testutil::Bytes("JwwData.")),
                                       Put("nosig.JWW", badSig),    Put("visible.jww", visible),
                                       Put("hidden.jww", HiddenGroupDrawing(600)), Put("trunc.jww", truncated)};
  fs::remove(deleted);
  Run(items);

  EXPECT_EQ(R.Report(), Cat({Skipped(items[0], rig::kNotFound), Skipped(items[1], rig::kNotJww),
                             Skipped(items[2], rig::kUnreadable), Skipped(items[3], rig::kNothingHidden),
                             Converted(items[4], Dir / "hidden_2.JWW"), Skipped(items[5], rig::kUnreadable)}));
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"hidden.jww", "hidden_2.JWW", "nosig.JWW", "notes.txt",
                                                  "trunc.jww", "visible.jww"}));
  const std::vector<qm::TOutcome> outcomes = {qm::TOutcome::NotFound,      qm::TOutcome::NotJww,
                                              qm::TOutcome::Unreadable,    qm::TOutcome::NothingHidden,
                                              qm::TOutcome::Converted,     qm::TOutcome::Unreadable};
  ASSERT_EQ(R.Form1.Results().size(), items.size());
  for (size_t k = 0; k < items.size(); ++k) {
    EXPECT_EQ(R.Form1.Results()[k].Outcome, outcomes[k]) << k;
    EXPECT_EQ(R.Form1.Results()[k].Source, items[k]);
  }
  EXPECT_EQ(R.Form1.Results()[0].Output, Dir / "missing_2.JWW");  // named also when skipped
  const std::vector<std::string> heard = {"not-found", "not-jww", "unreadable", "nothing-hidden", "converted",
                                          "unreadable"};
  ASSERT_EQ(R.Observer.Events.size(), 2 * items.size() + 2);
  for (size_t k = 0; k < items.size(); ++k)
    EXPECT_EQ(R.Observer.Events[2 * k + 2], "done " + std::to_string(k) + " " + heard[k]);
  ExpectWindowCycle(items);
  ExpectSourcesUnchanged();
  EXPECT_EQ(LoadOut(Dir / "hidden_2.JWW")->LineCount, 1);
}

TEST_F(DriverTest, OutputTakesTheFirstFreeNumberWithAnUpperCaseExtension) {
  EXPECT_EQ(qm::TForm1::OutputPathFor(Dir / "noext"), Dir / "noext_2.JWW");
  fs::create_directory(Dir / "x_2.JWW");  // a folder takes the name too
  EXPECT_EQ(qm::TForm1::OutputPathFor(Dir / "x.jww"), Dir / "x_3.JWW");
  EXPECT_EQ(qm::UpperExtension("a/b.c/Plan.Jww"), ".JWW");
  EXPECT_EQ(qm::UpperExtension("a/b.c/noext"), "");

  const auto taken2 = Put("p/plan_2.JWW", testutil::Bytes("two"));
  const auto taken3 = Put("p/plan_3.JWW", testutil::Bytes("three"));
  const std::vector<fs::path> items = {Put("p/plan.jww", HiddenGroupDrawing(420)),
                                       Put("q/a.b.jww", HiddenGroupDrawing(420)),
                                       Put("r/Plan.Jww", HiddenGroupDrawing(420))};
  Run(items);
  EXPECT_EQ(R.Report(), Cat({Converted(items[0], Dir / "p/plan_4.JWW"), Converted(items[1], Dir / "q/a.b_2.JWW"),
                             Converted(items[2], Dir / "r/Plan_2.JWW")}));
  Run(items);  // the second run replaces the report and takes the next names
  EXPECT_EQ(R.Report(), Cat({Converted(items[0], Dir / "p/plan_5.JWW"), Converted(items[1], Dir / "q/a.b_3.JWW"),
                             Converted(items[2], Dir / "r/Plan_3.JWW")}));
  for (const char* out : {"p/plan_4.JWW", "p/plan_5.JWW", "q/a.b_2.JWW", "q/a.b_3.JWW", "r/Plan_2.JWW",
                          "r/Plan_3.JWW"})
    EXPECT_EQ(LoadOut(Dir / out)->Header.Version, 420) << out;
  EXPECT_FALSE(fs::exists(Dir / "q/a_2.JWW"));
  ExpectSourcesUnchanged();  // also plan_2 and plan_3, which were in the way
}

// The output name is probed before the file is worked on; an entry that takes
// the name meanwhile is never replaced.
// Another conversion of the same drawing (a second window, a script) takes
// the name first: this one goes on to the next free name.
TEST_F(DriverTest, ANameTakenMeanwhileGoesToTheNextFreeOne) {
  const auto src = Put("hidden.jww", HiddenGroupDrawing(600));
  R.Extra = [&](int call) {
    if (call == 0) testutil::WriteAll(Dir / "hidden_2.JWW", testutil::Bytes("foreign"));
    return true;
  };
  Run({src});
  EXPECT_EQ(R.Report(), Converted(src, Dir / "hidden_3.JWW"));
  EXPECT_EQ(testutil::ReadAll(Dir / "hidden_2.JWW"), testutil::Bytes("foreign"));
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"hidden.jww", "hidden_2.JWW", "hidden_3.JWW"}));
  ASSERT_EQ(R.Form1.Results().size(), 1u);
  EXPECT_EQ(R.Form1.Results()[0].Outcome, qm::TOutcome::Converted);
  EXPECT_EQ(R.Form1.Results()[0].Output, Dir / "hidden_3.JWW");
  ExpectWindowCycle({src});
  ExpectSourcesUnchanged();
}

TEST_F(DriverTest, DrawingsThatDoNotReadCompletelyAreNeverWritten) {
  auto cutHeader = Build(HiddenGroupDrawing(600));
  cutHeader.resize(600);
  Drawing old = HiddenGroupDrawing(219);
  Drawing newer = HiddenGroupDrawing(701);
  newer.Elements.push_back(Text(0, 0, 3, "^@BM%temp%img.bmp,1,1,0,0,1,0"));
  newer.Images = {{"img.bmp", std::vector<uint8_t>(300, 7), {}}};
  Drawing newerTrailing = newer;
  newerTrailing.Trailer = {1, 2, 3, 4};

  const std::vector<fs::path> items = {Put("cut.jww", cutHeader), Put("v219.jww", old),
                                       Put("v701t.jww", newerTrailing), Put("v701.jww", newer)};
  Run(items);
  EXPECT_EQ(R.Report(), Cat({Skipped(items[0], rig::kUnreadable), Skipped(items[1], rig::kUnreadable),
                             Skipped(items[2], rig::kUnreadable), Converted(items[3], Dir / "v701_2.JWW")}));
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"cut.jww", "v219.jww", "v701.jww", "v701_2.JWW", "v701t.jww"}));
  for (size_t k = 0; k < 3; ++k) EXPECT_FALSE(R.Form1.Results()[k].Detail().empty()) << k;
  const auto out = LoadOut(Dir / "v701_2.JWW");
  EXPECT_EQ(out->Header.Version, 701);
  ASSERT_EQ(out->Images.size(), 1u);
  EXPECT_EQ(out->Images[0].Size, 300);
  ExpectWindowCycle(items);  // the image of v701t.jww is gone from the work folder as well
  ExpectSourcesUnchanged();
}

// A folder or a FIFO named like a drawing is unreadable: never opened for
// reading, never waited on.
TEST_F(DriverTest, WhatIsNotARegularFileIsUnreadable) {
  fs::create_directory(Dir / "folder.jww");
  ASSERT_EQ(mkfifo((Dir / "pipe.jww").c_str(), 0600), 0);
  const std::vector<fs::path> items = {Dir / "folder.jww", Dir / "pipe.jww"};
  Run(items);
  EXPECT_EQ(R.Report(), Cat({Skipped(items[0], rig::kUnreadable), Skipped(items[1], rig::kUnreadable)}));
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(R.Form1.Results()[k].Outcome, qm::TOutcome::Unreadable);
    EXPECT_NE(R.Form1.Results()[k].Detail().find("not a regular file"), std::string::npos) << k;
  }
  ExpectWindowCycle(items);
}

TEST_F(DriverTest, HiddenLayersAndBlocksInTheOutput) {
  Drawing empty;  // the only hidden layer holds nothing
  empty.Hdr.Version = 600;
  empty.Hdr.Layers[2 * 16 + 2] = {.State = 0, .Name = "empty"};
  empty.Elements = {Line(0, 0, 1)};
  Drawing noInsert = HiddenGroupDrawing(600);
  noInsert.Blocks = {Def(1, "A", {Line(0, 0)})};
  Drawing allHidden = HiddenGroupDrawing(600);
  allHidden.Elements.push_back(Insert(1, 0, 1));
  allHidden.Elements.push_back(Insert(1, 3, 2));
  allHidden.Blocks = {Def(1, "A", {Line(0, 0)}), Def(2, "B", {Point(0, 0)})};
  Drawing inside;  // a visible insert of a block whose elements lie on a hidden layer
  inside.Hdr.Version = 600;
  inside.Hdr.Layers[5].State = 0;
  inside.Elements = {Insert(0, 0, 1, 9), Line(0, 5, 8)};
  inside.Blocks = {Def(1, "A", {Line(0, 5, 1), Text(0, 5, 2), Point(0, 0, 3)})};

  const std::vector<fs::path> items = {Put("empty.jww", empty), Put("noinsert.jww", noInsert),
                                       Put("allhidden.jww", allHidden), Put("inside.jww", inside)};
  Run(items);
  std::vector<std::string> expected;
  for (const auto& p : items) {
    auto out = p;
    out.replace_filename(p.stem().string() + "_2.JWW");
    for (const auto& line : Converted(p, out)) expected.push_back(line);
  }
  EXPECT_EQ(R.Report(), expected);

  auto e = LoadOut(Dir / "empty_2.JWW");
  EXPECT_EQ(e->Layers[2 * 16 + 2].Name, "");
  EXPECT_EQ(e->Layers[2 * 16 + 2].State, 0);
  EXPECT_EQ(e->LineCount, 1);
  auto n = LoadOut(Dir / "noinsert_2.JWW");
  EXPECT_EQ(n->BlockDefCount, 0);
  EXPECT_EQ(n->Header.DeclaredBlockDefCount, 0);
  auto a = LoadOut(Dir / "allhidden_2.JWW");
  EXPECT_EQ(a->BlockInsertCount, 0);
  EXPECT_EQ(a->BlockDefCount, 0);
  EXPECT_EQ(a->LineCount, 1);
  auto src = LoadOut(items[3]);
  auto i = LoadOut(Dir / "inside_2.JWW");
  EXPECT_EQ(i->LineCount, 0);
  ASSERT_EQ(i->BlockInsertCount, 1);
  ASSERT_EQ(i->BlockDefCount, 1);
  EXPECT_EQ(i->BlockDefs[0].Name, "A");
  EXPECT_EQ(i->BlockDefs[0].Order, src->BlockDefs[0].Order);
  EXPECT_EQ(i->BlockDefs[0].Lists().Lines, src->BlockDefs[0].Lists().Lines);
  EXPECT_EQ(i->BlockDefs[0].Lists().Texts, src->BlockDefs[0].Lists().Texts);
  EXPECT_EQ(i->BlockDefs[0].Lists().Points, src->BlockDefs[0].Lists().Points);
  ExpectWindowCycle(items);
  ExpectSourcesUnchanged();
}

TEST_F(DriverTest, ImagesOnlyRemovedTextsShowAreLeftOut) {
  Drawing d = HiddenGroupDrawing(700);
  d.Elements = {Text(0, 0, 1, "^@BM%temp%pic1.bmp,10,10,0,0,1,0"), Text(1, 0, 2, "^@BM%temp%pic2.bmp,10,10,0,0,1,0"),
                Text(0, 1, 3, "^@BM%temp%pic3.png,5,5,0,0,1,0"), Text(1, 1, 4, "^@BM%temp%pic3.png,5,5,0,0,1,0")};
  std::vector<uint8_t> pic1(100), pic2(50, 0xEE), pic3(3000);
  for (size_t k = 0; k < pic1.size(); ++k) pic1[k] = static_cast<uint8_t>(k);
  for (size_t k = 0; k < pic3.size(); ++k) pic3[k] = static_cast<uint8_t>(k * 7 + 1);
  d.Images = {{"pic1.bmp", pic1, {}}, {"pic2.bmp", pic2, {}}, {"pic3.png", pic3, {}}};
  const auto src = Put("img.jww", d);
  const fs::path work = R.Form1.RunFolder();
  EXPECT_EQ(work.parent_path(), Work.Path());
  EXPECT_TRUE(work.filename().string().starts_with("quillmark-" + std::to_string(qm::ProcessId()) + "-"));

  Run({src});
  EXPECT_EQ(R.Report(), Converted(src, Dir / "img_2.JWW"));
  ExpectWindowCycle({src});
  {
    testutil::TScopedWorkFolder scratch;  // extract the output's images to compare them
    TJwwData out;
    ASSERT_TRUE(testutil::Ok(out.LoadDocument(Dir / "img_2.JWW", scratch.Options())));
    ASSERT_EQ(out.Images.size(), 2u);
    EXPECT_EQ(out.Images[0].FileName, "pic1.bmp");
    EXPECT_EQ(out.Images[1].FileName, "pic3.png");
    EXPECT_EQ(testutil::ImageBytesOf(out, 0), pic1);
    EXPECT_EQ(testutil::ImageBytesOf(out, 1), pic3);
    EXPECT_EQ(out.TextCount, 2);
  }
  // Nothing of the conversion is left in the run's work folder: only its marker.
  EXPECT_EQ(testutil::TTempDir::ListOf(work), std::vector<std::string>{std::string(qm::WorkFolderMarker)});
  R.Form1.EndWork();
  EXPECT_FALSE(fs::exists(work));
  EXPECT_TRUE(Work.List().empty());
  ExpectSourcesUnchanged();
}

// ---------------------------------------------------------------------------
// The purge in every major layout. Definitions in file order D(7), A(3),
// E(9), B(5), C(1): the visible insert reaches A -> B -> C; D is inserted
// only on a hidden group and E only from D.

double X(const TJwwData& d, const TEntJwwOrderItem& it) {
  const auto i = static_cast<size_t>(it.Index);
  switch (it.Kind) {
    case 1: return d.Lines[i].StartX;
    case 2: return d.Arcs[i].CenterX;
    case 3: return d.Points[i].X;
    case 4: return d.Texts[i].StartX;
    case 5: return d.Dimensions[i].Line.StartX;
    case 6: return d.Solids[i].StartX;
    case 7: return d.BlockInserts[i].X;
    default: return -1;
  }
}

TJwwString DefName(const TJwwData& d, int32_t number) {
  for (const auto& def : d.BlockDefs)
    if (def.Number == number) return def.Name;
  return "?";
}

class DriverPurgeTest : public DriverTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(DriverPurgeTest, RemovesHiddenMaterialAndKeepsEverythingElse) {
  const int32_t v = GetParam();
  const bool images = v >= 700;
  Drawing d;
  d.Hdr.Version = v;
  auto& g = d.Hdr.LayerGroups;
  auto& l = d.Hdr.Layers;
  g[2] = {.State = 0, .Name = Sjis("隠しG")};
  g[1] = {.State = 1, .Name = "G1"};
  l[5] = {.State = 0, .Name = Sjis("隠しL")};  // (0,5)
  l[2 * 16 + 3] = {.State = 2, .Name = "keep23"};
  l[1 * 16 + 1] = {.State = 3, .Name = "L11"};
  l[0].Name = Sjis("通り芯");
  d.Elements = {Line(0, 0, 1),      Arc(0, 5, 2),      Point(2, 3, 3),
                Text(0, 1, 4, images ? "^@BM%temp%keep.bmp,1,1,0,0,1,0" : "abc"),
                Dim(1, 1, 5),       Fill(2, 0, 6),     Insert(0, 0, 3, 7),
                Insert(2, 1, 7, 8), Line(1, 4, 9),
                Text(0, 5, 10, images ? "^@BM%temp%drop.bmp,1,1,0,0,1,0" : "def"),
                Fill(0, 2, 11),     Point(1, 1, 12)};
  d.Blocks = {Def(7, "D", {Line(0, 0), Insert(0, 0, 9)}), Def(3, "A", {Line(0, 5, 5), Text(2, 0), Insert(0, 0, 5)}),
              Def(9, "E", {Point(0, 0)}), Def(5, "B", {Arc(2, 3), Insert(2, 2, 1)}), Def(1, "C", {Fill(0, 5)})};
  if (images) d.Images = {{"keep.bmp", std::vector<uint8_t>(40, 1), {}}, {"drop.bmp", std::vector<uint8_t>(60, 2), {}}};
  const auto path = Put("v.jww", d);

  Run({path});
  ASSERT_EQ(R.Report(), Converted(path, Dir / "v_2.JWW"));
  auto src = LoadOut(path);
  auto out = LoadOut(Dir / "v_2.JWW");
  EXPECT_EQ(out->Header.Version, v);

  std::vector<double> xs;
  std::vector<int32_t> kinds;
  for (const auto& it : out->EntityOrder) {
    const TEntJwwEntityHeader* h = out->HeaderOf(it.Kind, it.Index);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(out->LayerGroups[h->LayerGroup].State, 0) << X(*out, it);
    EXPECT_NE(out->Layers[h->LayerGroup * 16u + h->Layer].State, 0) << X(*out, it);
    xs.push_back(X(*out, it));
    kinds.push_back(it.Kind);
  }
  EXPECT_EQ(xs, (std::vector<double>{1, 4, 5, 7, 9, 11, 12}));
  EXPECT_EQ(kinds, (std::vector<int32_t>{1, 4, 5, 7, 1, 6, 3}));
  EXPECT_EQ(out->Texts[0], src->Texts[0]);
  EXPECT_EQ(out->Dimensions[0], src->Dimensions[0]);

  for (size_t k = 0; k < 16; ++k) {
    EXPECT_EQ(out->LayerGroups[k].State, src->LayerGroups[k].State) << k;
    EXPECT_EQ(out->LayerGroups[k].Name, k == 2 ? "" : src->LayerGroups[k].Name) << k;
  }
  for (size_t k = 0; k < 256; ++k) {
    EXPECT_EQ(out->Layers[k].State, src->Layers[k].State) << k;
    EXPECT_EQ(out->Layers[k].Name, k == 5 ? "" : src->Layers[k].Name) << k;
  }
  EXPECT_EQ(out->LayerGroups[1].Name, "G1");
  EXPECT_EQ(out->Layers[2 * 16 + 3].Name, "keep23");
  EXPECT_EQ(out->Layers[0].Name, Sjis("通り芯"));

  // Exactly A, B, C, in file order, with their contents; block references
  // may be renumbered but must name the same definitions.
  ASSERT_EQ(out->BlockDefs.size(), 3u);
  EXPECT_EQ(DefName(*out, out->BlockInserts[0].BlockNumber), "A");
  for (size_t k = 0; k < 3; ++k) {
    const TEntJwwBlockDef& o = out->BlockDefs[k];
    EXPECT_EQ(o.Name, std::string(1, "ABC"[k]));
    const TEntJwwBlockDef* s = nullptr;
    for (const auto& def : src->BlockDefs)
      if (def.Name == o.Name) s = &def;
    ASSERT_NE(s, nullptr);
    SCOPED_TRACE(o.Name);
    EXPECT_EQ(o.Order, s->Order);
    EXPECT_EQ(o.Lists().Lines, s->Lists().Lines);
    EXPECT_EQ(o.Lists().Arcs, s->Lists().Arcs);
    EXPECT_EQ(o.Lists().Points, s->Lists().Points);
    EXPECT_EQ(o.Lists().Texts, s->Lists().Texts);
    EXPECT_EQ(o.Lists().Solids, s->Lists().Solids);
    ASSERT_EQ(o.Lists().BlockInserts.size(), s->Lists().BlockInserts.size());
    for (size_t j = 0; j < o.Lists().BlockInserts.size(); ++j) {
      EXPECT_EQ(o.Lists().BlockInserts[j].Header, s->Lists().BlockInserts[j].Header);
      EXPECT_EQ(DefName(*out, o.Lists().BlockInserts[j].BlockNumber), DefName(*src, s->Lists().BlockInserts[j].BlockNumber));
    }
  }
  if (images) {
    ASSERT_EQ(out->Images.size(), 1u);
    EXPECT_EQ(out->Images[0].FileName, "keep.bmp");
    EXPECT_EQ(out->Images[0].Size, 40);
  }
  ExpectWindowCycle({path});
  ExpectSourcesUnchanged();
}

INSTANTIATE_TEST_SUITE_P(Versions, DriverPurgeTest, ::testing::Values(220, 300, 351, 420, 600, 700));

// ---------------------------------------------------------------------------
// What the window may do while a batch lets it process messages.

TEST_F(DriverTest, CommandsAreRefusedWhileABatchRuns) {
  const std::vector<fs::path> items = {Put("a.jww", HiddenGroupDrawing(600)), Put("b.jww", HiddenGroupDrawing(600))};
  const auto extra = Put("extra.jww", HiddenGroupDrawing(600));
  R.Form1.LastFolder = "/somewhere/";
  bool checked = false;
  R.Extra = [&](int call) {
    if (call != 0) return true;
    checked = true;
    EXPECT_TRUE(R.Form1.Busy());
    EXPECT_FALSE(R.Form1.Button1Click({extra}));
    EXPECT_FALSE(R.Form1.WMDropFiles({extra}));
    EXPECT_EQ(R.Form1.LastFolder, fs::path("/somewhere/"));
    R.List.Select(1, true);
    R.List.SetIndex(1);
    EXPECT_FALSE(R.Form1.Button2Click());
    EXPECT_EQ(R.List.Items(), items);
    R.List.Select(1, false);
    const int calls = R.App.Calls;
    R.Form1.Button3Click();  // a second Convert
    EXPECT_EQ(R.App.Calls, calls);
    EXPECT_EQ(R.View.Shown, 0);
    EXPECT_FALSE(R.Form1.Button4Click());
    EXPECT_TRUE(R.Form1.CloseRequested());
    return true;
  };
  Run(items);
  EXPECT_TRUE(checked);
  EXPECT_EQ(R.Report(), Cat({Converted(items[0], Dir / "a_2.JWW"), Converted(items[1], Dir / "b_2.JWW")}));
  ExpectWindowCycle(items);
  EXPECT_FALSE(fs::exists(Dir / "b_3.JWW"));
  EXPECT_FALSE(fs::exists(Dir / "extra_2.JWW"));
  EXPECT_FALSE(R.Form1.Busy());
  EXPECT_TRUE(R.Form1.Button1Click({extra}));
  EXPECT_EQ(R.List.Count(), 3);
  EXPECT_TRUE(R.Form1.Button4Click());
}

TEST_F(DriverTest, ListChangingUnderTheBatchDoesNotDisturbIt) {
  const std::vector<fs::path> items = {Put("a.jww", HiddenGroupDrawing(600)), Put("b.jww", HiddenGroupDrawing(600)),
                                       Put("c.jww", HiddenGroupDrawing(600))};
  R.Extra = [&](int call) {
    if (call == 0) R.List.Set({Dir / "x.jww", Dir / "y.jww", Dir / "z.jww"});
    if (call == 3) R.List.Delete(0);
    return true;
  };
  Run(items);
  EXPECT_EQ(R.Report(), Cat({Converted(items[0], Dir / "a_2.JWW"), Converted(items[1], Dir / "b_2.JWW"),
                             Converted(items[2], Dir / "c_2.JWW")}));
  EXPECT_EQ(R.List.Items(), (std::vector<fs::path>{Dir / "y.jww", Dir / "z.jww"}));
  EXPECT_TRUE(R.List.SelectedIndices().empty());
  ASSERT_EQ(R.Snapshots.size(), 6u);
  for (size_t c = 1; c < 6; ++c)
    EXPECT_TRUE(R.Snapshots[c].Selected.empty()) << "an item other than the one in progress was selected, call " << c;
  EXPECT_EQ(R.Status.Texts.back(), qm::TotalsLine(R.Form2.Totals()));
}

TEST_F(DriverTest, ProcessMessagesReturningFalseStopsTheBatch) {
  const std::vector<fs::path> items = {Put("a.jww", HiddenGroupDrawing(600)), Put("b.jww", HiddenGroupDrawing(600))};
  R.Extra = [](int call) { return call != 2; };  // stop when b is about to start
  Run(items);
  EXPECT_TRUE(R.Form1.Interrupted());
  EXPECT_EQ(R.Observer.Events, (std::vector<std::string>{"start 2", "file 0 " + items[0].string(), "done 0 converted",
                                                          "file 1 " + items[1].string(), "end interrupted"}));
  EXPECT_EQ(R.View.Shown, 1);  // the report of what was done
  EXPECT_EQ(R.Report(), Converted(items[0], Dir / "a_2.JWW"));
  ASSERT_EQ(R.Form1.Results().size(), 1u);
  EXPECT_FALSE(fs::exists(Dir / "b_2.JWW"));
  EXPECT_TRUE(R.List.SelectedIndices().empty());
  EXPECT_EQ(R.Status.Texts.back(), qm::TotalsLine(R.Form2.Totals()));

  R.App.Calls = 0;
  R.Extra = [](int call) { return call != 3; };  // a stop after the last file ends nothing early
  Run(items);
  EXPECT_FALSE(R.Form1.Interrupted());
  EXPECT_EQ(R.Observer.Events.back(), "end");
  EXPECT_EQ(R.Form1.Results().size(), 2u);
  EXPECT_TRUE(fs::exists(Dir / "b_2.JWW"));
}

}  // namespace
