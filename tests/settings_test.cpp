// The settings file, the file list's rules (Add, drop, Delete) and the
// lifetime of the work folder and the document around FormShow/FormClose.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "formrig.h"

namespace {

namespace fs = std::filesystem;
using testutil::Bytes;

class SettingsTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir;
  rig::TRig R;
  fs::path Dat = Dir / "Quillmark.dat";

  void SetUp() override { R.Form1.ProgramFolder = fs::path("/prog/"); }
  void Load(const std::string& text) {
    testutil::WriteAll(Dat, Bytes(text));
    R.Form1.LoadSettings(Dat);
  }
  std::vector<int> Main() const {
    return {R.MainBounds.Left(), R.MainBounds.Top(), R.MainBounds.Width(), R.MainBounds.Height()};
  }
  std::vector<int> Result() const {
    return {R.ResultBounds.Left(), R.ResultBounds.Top(), R.ResultBounds.Width(), R.ResultBounds.Height()};
  }
};

TEST_F(SettingsTest, ReadsTheTenLinesInOrder) {
  Load("10\r\n20\r\n500\r\n400\r\n300\r\n-30\r\n40\r\n600\r\n450\r\n/data/drawings/\r\n");
  EXPECT_EQ(Main(), (std::vector<int>{10, 20, 500, 400}));
  EXPECT_EQ(R.List.ListWidth(), 300);
  EXPECT_EQ(Result(), (std::vector<int>{-30, 40, 600, 450}));
  EXPECT_EQ(R.Form1.LastFolder, fs::path("/data/drawings/"));
}

TEST_F(SettingsTest, ClampsTheListWidthAndTakesBadNumbersAsZero) {
  const std::vector<std::pair<std::string, int>> cases = {{"5", 20},      {"99999", 2000}, {"abc", 20}, {"20", 20},
                                                          {"2000", 2000}, {"-3", 20},      {"", 20},    {"21", 21}};
  for (const auto& [line5, width] : cases) {
    Load("left\r\n7\r\n8\r\n9\r\n" + line5 + "\r\n1\r\n2\r\n3\r\n4\r\n/f/\r\n");
    EXPECT_EQ(R.List.ListWidth(), width) << line5;
    EXPECT_EQ(R.MainBounds.Left(), 0);
    EXPECT_EQ(R.MainBounds.Top(), 7);
  }
}

TEST_F(SettingsTest, NoFileKeepsTheDesignedGeometryAndStartsInTheProgramFolder) {
  R.Form1.LastFolder = "/elsewhere/";
  R.Form1.LoadSettings(Dir / "none.dat");
  EXPECT_EQ(Main(), (std::vector<int>{192, 107, 478, 264}));
  EXPECT_EQ(Result(), (std::vector<int>{222, 129, 456, 293}));
  EXPECT_EQ(R.List.ListWidth(), 176);
  EXPECT_EQ(R.Form1.LastFolder, fs::path("/prog/"));
}

TEST_F(SettingsTest, LinesPastTheEndOfAShortFileReadEmpty) {
  Load("1\r\n2\r\n3\r\n");
  EXPECT_EQ(Main(), (std::vector<int>{1, 2, 3, 0}));
  EXPECT_EQ(R.List.ListWidth(), 20);
  EXPECT_EQ(Result(), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(R.Form1.LastFolder, fs::path());
}

TEST_F(SettingsTest, LastFolderIsReadAsUtf8OrElseAsShiftJis) {
  const std::string rest = "1\r\n2\r\n3\r\n4\r\n100\r\n5\r\n6\r\n7\r\n8\r\n";
  Load(rest + "/data/" + rig::B("90 7D 96 CA") + "/\r\n");  // 図面 in Shift-JIS, as older files have it
  EXPECT_EQ(R.Form1.LastFolder, qm::PathFromUtf8("/data/図面/"));
  Load(rest + "/data/図面/\r\n");
  EXPECT_EQ(R.Form1.LastFolder, qm::PathFromUtf8("/data/図面/"));
}

TEST_F(SettingsTest, WritesTenCrLfLinesThatReadBackTheSame) {
  R.MainBounds.SetLeft(-5);
  R.MainBounds.SetTop(-7);
  R.MainBounds.SetWidth(800);
  R.MainBounds.SetHeight(600);
  R.List.SetListWidth(250);
  R.ResultBounds.SetLeft(-1);
  R.ResultBounds.SetTop(0);
  R.Form1.LastFolder = qm::PathFromUtf8("/data/図面/");
  R.Form1.SaveSettings(Dat);
  EXPECT_EQ(testutil::ReadAll(Dat), Bytes("-5\r\n-7\r\n800\r\n600\r\n250\r\n-1\r\n0\r\n456\r\n293\r\n/data/"
                                          "\xE5\x9B\xB3\xE9\x9D\xA2/\r\n"));
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"Quillmark.dat"});

  rig::TRig other;
  other.Form1.LoadSettings(Dat);
  EXPECT_EQ(other.MainBounds.Left(), -5);
  EXPECT_EQ(other.MainBounds.Height(), 600);
  EXPECT_EQ(other.List.ListWidth(), 250);
  EXPECT_EQ(other.ResultBounds.Width(), 456);
  EXPECT_EQ(other.Form1.LastFolder, R.Form1.LastFolder);
}

TEST_F(SettingsTest, AFileInAMissingFolderIsNotWritten) {
  EXPECT_NO_THROW(R.Form1.SaveSettings(Dir / "missing" / "Quillmark.dat"));
  EXPECT_TRUE(Dir.List().empty());
}

TEST_F(SettingsTest, AFileInAReadOnlyFolderIsNotWritten) {
  fs::create_directory(Dir / "ro");
  fs::permissions(Dir / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                  fs::perms::others_exec | fs::perms::group_read | fs::perms::group_exec);
  // Saved in a child as an ordinary user (the superuser writes anywhere); the
  // save must neither raise nor leave anything behind.
  EXPECT_TRUE(testutil::RunAsOrdinaryUser([&] {
    try {
      R.Form1.SaveSettings(Dir / "ro" / "Quillmark.dat");
      return true;
    } catch (...) {
      return false;
    }
  }));
  fs::permissions(Dir / "ro", fs::perms::owner_all);
  EXPECT_TRUE(fs::is_empty(Dir / "ro"));
}

// A write that fails half-way (here: the file size limit of the process)
// keeps the previous settings whole, or leaves none when there were none.
TEST_F(SettingsTest, AFailedSaveKeepsThePreviousSettings) {
  const std::string previous = "1\r\n2\r\n3\r\n4\r\n100\r\n5\r\n6\r\n7\r\n8\r\n/old/\r\n";
  testutil::WriteAll(Dat, Bytes(previous));
  R.Form1.LastFolder = "/a/rather/long/folder/name/that/makes/the/file/longer/";
  auto saveLimited = [&](const fs::path& path) {
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_NO_THROW(R.Form1.SaveSettings(path));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
  };
  saveLimited(Dat);
  EXPECT_EQ(testutil::ReadAll(Dat), Bytes(previous));
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"Quillmark.dat"});
  saveLimited(Dir / "new.dat");
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"Quillmark.dat"});
}


// An installed program's folder cannot be written: the settings go to the
// user's application data folder and are read from there at the next start.
TEST_F(SettingsTest, AReadOnlyProgramFolderKeepsTheSettingsInTheUsersFolder) {
  const fs::path app = Dir / "app", user = Dir / "user";
  fs::create_directories(app);
  fs::create_directories(user);
  testutil::WriteAll(app / "Quillmark.dat", Bytes("11\r\n12\r\n613\r\n414\r\n215\r\n16\r\n17\r\n518\r\n319\r\n/x/\r\n"));
  fs::permissions(app, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec |
                           fs::perms::group_read | fs::perms::group_exec);
  fs::permissions(Dir.Path(), fs::perms::all);
  fs::permissions(user, fs::perms::all);
  const fs::path saved = user / "Quillmark" / "Quillmark.dat";
  // As an ordinary user (no permission stops the superuser).
  EXPECT_TRUE(testutil::RunAsOrdinaryUser([&] {
    rig::TRig first;
    first.Form1.Setup.UserFolder = user;
    first.Form1.FormShow(app / "Quillmark.exe");
    // Read from beside the program while the user's folder holds none.
    const bool seeded = first.MainBounds.Left() == 11 && first.Form1.SettingsPath() == saved;
    first.MainBounds.SetLeft(33);
    first.Form1.View.Maximized = true;
    first.Form1.FormClose();
    rig::TRig second;
    second.Form1.Setup.UserFolder = user;
    second.Form1.FormShow(app / "Quillmark.exe");
    const bool kept = second.MainBounds.Left() == 33 && second.MainBounds.Top() == 12 && second.Form1.View.Maximized;
    second.Form1.FormClose();
    return seeded && kept;
  }));
  fs::permissions(app, fs::perms::owner_all);
  EXPECT_EQ(testutil::ReadAll(app / "Quillmark.dat"),
            Bytes("11\r\n12\r\n613\r\n414\r\n215\r\n16\r\n17\r\n518\r\n319\r\n/x/\r\n"));
  EXPECT_EQ(testutil::TTempDir::ListOf(app), std::vector<std::string>{"Quillmark.dat"});
  EXPECT_EQ(testutil::TTempDir::ListOf(user / "Quillmark"), (std::vector<std::string>{"Quillmark.dat", "Quillmark.ini"}));

  // Once the user's folder holds settings they are read first and kept
  // there, even when the program folder can be written again.
  rig::TRig third;
  third.Form1.Setup.UserFolder = user;
  third.Form1.FormShow(app / "Quillmark.exe");
  EXPECT_EQ(third.MainBounds.Left(), 33);
  EXPECT_EQ(third.Form1.SettingsPath(), saved);
  third.Form1.FormClose();
  EXPECT_EQ(testutil::TTempDir::ListOf(app), std::vector<std::string>{"Quillmark.dat"});
}

// Where the settings are read from and written to, for each kind of
// program folder: no user folder known, a user's file already there, the
// installer's copy, a program folder that cannot be written.
TEST_F(SettingsTest, TheStoreFindsItsFolder) {
  const fs::path app = Dir / "app", user = Dir / "user", exe = app / "Quillmark.exe";
  const fs::path beside = app / "Quillmark.dat", users = user / "Quillmark" / "Quillmark.dat";
  fs::create_directories(app);
  struct TCase {
    const char* What;
    bool UserFolder, UserFile, Installed, ReadOnly;
    fs::path ReadFrom, WriteTo;
  };
  const std::vector<TCase> cases = {
      {"no user folder", false, false, false, false, beside, beside},
      {"beside the program", true, false, false, false, beside, beside},
      {"the user's file exists", true, true, false, false, users, users},
      {"the installer's copy", true, false, true, false, users, users},
      {"a read-only program folder", true, false, false, true, beside, users},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    fs::remove_all(user);
    if (c.UserFile) {
      fs::create_directories(users.parent_path());
      testutil::WriteAll(users, Bytes("1\r\n"));
    }
    if (c.ReadOnly) {
      fs::permissions(app, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                               fs::perms::others_exec);
      fs::permissions(Dir.Path(), fs::perms::all);
      EXPECT_TRUE(testutil::RunAsOrdinaryUser([&] {
        const qm::TSettingsStore store(exe, c.UserFolder ? user : fs::path(), c.Installed);
        return store.ReadFrom() == c.ReadFrom && store.SettingsPath() == c.WriteTo;
      }));
      fs::permissions(app, fs::perms::owner_all);
      continue;
    }
    const qm::TSettingsStore store(exe, c.UserFolder ? user : fs::path(), c.Installed);
    EXPECT_EQ(store.ReadFrom(), c.ReadFrom);
    EXPECT_EQ(store.SettingsPath(), c.WriteTo);
  }
}

TEST_F(SettingsTest, ViewSettingsLiveInAFileOfTheirOwn) {
  const fs::path ini = Dir / "Quillmark.ini";
  const fs::path out = Dir / "出力";
  R.Form1.View = {true, {10, 20, 30, 40, 50, 60, 70}, 300, true, out, {true, false, false, true}};
  ASSERT_TRUE(R.Form1.SaveViewSettings(ini));
  EXPECT_EQ(testutil::ReadAll(ini),
            Bytes("[Quillmark]\r\nMaximized=1\r\nColumns=10,20,30,40,50,60,70\r\nPaneWidth=300\r\nResultMaximized=1\r\n"
                  "OutputFolder=" + out.string() + "\r\nRemove=memo,auxiliary\r\n"));
  rig::TRig other;
  other.Form1.LoadViewSettings(ini);
  EXPECT_EQ(other.Form1.View, R.Form1.View);

  // What does not read leaves what was there: six columns, a negative
  // width, letters, an unknown key, a folder named relatively or not in
  // UTF-8.
  testutil::WriteAll(ini, Bytes("Maximized=yes\r\nColumns=1,2,3,4,5,6\r\nPaneWidth=-4\r\nColour=red\r\n"
                                "OutputFolder=out\r\nOutputFolder=/p/\xff\r\n"));
  other.Form1.LoadViewSettings(ini);
  EXPECT_EQ(other.Form1.View, R.Form1.View);
  // Remove names what it names (unknown words are passed by).
  testutil::WriteAll(ini, Bytes("Maximized=0\nColumns=1,2,3,4,5,6,x\nPaneWidth=0\nResultMaximized=0\nRemove=off-sheet,colour\n"));
  other.Form1.LoadViewSettings(ini);
  EXPECT_EQ(other.Form1.View, (qm::TViewSettings{false, {10, 20, 30, 40, 50, 60, 70}, 0, false, out, {false, true, false, false}}));
  EXPECT_EQ(qm::TSettingsStore::ViewSettingsPathFor(Dir / "Quillmark.dat"), ini);
}

// ---------------------------------------------------------------------------
// The file list.

class ListTest : public SettingsTest {
 protected:
  fs::path Touch(const std::string& name) {
    fs::create_directories((Dir / name).parent_path());
    testutil::WriteAll(Dir / name, Bytes("JwwData."));
    return Dir / name;
  }
};

TEST_F(ListTest, AddListsExistingJwwFilesOnceIgnoringCase) {
  const auto plan = Touch("plan.jww"), upper = Touch("PLAN.JWW"), mixed = Touch("b.JwW");
  const auto other = Touch("plan.jw_"), text = Touch("plan.txt");
  fs::create_directory(Dir / "x.jww");
  EXPECT_TRUE(R.Form1.Button1Click({plan, plan, upper, other, text, Dir / "missing.jww", Dir / "x.jww", mixed}));
  EXPECT_EQ(R.List.Items(), (std::vector<fs::path>{plan, mixed}));
  EXPECT_EQ(R.Form1.LastFolder, Dir.Path() / "");
  EXPECT_TRUE(R.Form1.Button1Click({upper}));
  EXPECT_EQ(R.List.Count(), 2);

  // The folder of the first chosen file, whether or not it gets listed.
  const auto sub = Touch("sub/c.jww");
  EXPECT_TRUE(R.Form1.Button1Click({Dir / "other" / "gone.jww", sub}));
  EXPECT_EQ(R.Form1.LastFolder, Dir / "other" / "");
  EXPECT_EQ(R.List.Items().back(), sub);
  R.Form1.Button1Click({});  // cancelled
  EXPECT_EQ(R.Form1.LastFolder, Dir / "other" / "");
  EXPECT_EQ(R.List.Count(), 3);
}

TEST_F(ListTest, DropSkipsEmptyNamesAndFollowsTheAddRules) {
  const auto a = Touch("a.jww"), b = Touch("B.JWW");
  fs::create_directory(Dir / "folder.jww");
  R.Form1.LastFolder = "/kept/";
  EXPECT_TRUE(R.Form1.WMDropFiles({fs::path(), a, fs::path(), Dir / "folder.jww", Dir / "A.JWW", b, Touch("c.doc")}));
  EXPECT_EQ(R.List.Items(), (std::vector<fs::path>{a, b}));
  EXPECT_EQ(R.Form1.LastFolder, fs::path("/kept/"));
}

TEST_F(ListTest, DeleteRemovesTheSelectedItemsWhenThereIsACurrentItem) {
  const std::vector<fs::path> five = {"/d/0.jww", "/d/1.jww", "/d/2.jww", "/d/3.jww", "/d/4.jww"};
  R.List.Set(five);
  R.List.Select(std::vector<bool>{false, true, true, false, true});
  R.List.SetIndex(-1);
  EXPECT_TRUE(R.Form1.Button2Click());
  EXPECT_EQ(R.List.Items(), five);
  R.List.SetIndex(2);
  EXPECT_TRUE(R.Form1.Button2Click());
  EXPECT_EQ(R.List.Items(), (std::vector<fs::path>{"/d/0.jww", "/d/3.jww"}));
  R.List.Clear();
  R.List.SetIndex(0);
  EXPECT_TRUE(R.Form1.Button2Click());
  EXPECT_EQ(R.List.Count(), 0);
}

// ---------------------------------------------------------------------------
// Showing and closing the main window.

TEST_F(SettingsTest, ShowSetsUpAPrivateWorkFolderAndCloseRemovesItAndSavesTheSettings) {
  const fs::path app = Dir / "app";
  fs::create_directory(app);
  testutil::WriteAll(app / "Quillmark.dat", Bytes("11\r\n12\r\n613\r\n414\r\n215\r\n16\r\n17\r\n518\r\n319\r\n/x/\r\n"));
  R.List.Set({"/d/left-over.jww"});
  R.Form1.FormShow(app / "Quillmark");
  EXPECT_EQ(R.Form1.ProgramFolder, app / "");
  EXPECT_EQ(R.Form1.SettingsPath(), app / "Quillmark.dat");
  EXPECT_EQ(Main(), (std::vector<int>{11, 12, 613, 414}));
  EXPECT_EQ(R.List.ListWidth(), 215);
  EXPECT_EQ(R.Form1.LastFolder, fs::path("/x/"));
  EXPECT_EQ(R.List.Count(), 0);
  ASSERT_NE(R.Form1.Document, nullptr);
  const fs::path work = R.Form1.RunFolder();
  EXPECT_EQ(R.Form1.WorkFolder(), app / "TEMP");
  EXPECT_EQ(work.parent_path(), app / "TEMP");
  EXPECT_TRUE(fs::is_regular_file(work / std::string(qm::WorkFolderMarker)));
  EXPECT_TRUE(work.filename().string().starts_with("quillmark-" + std::to_string(qm::ProcessId()) + "-"));
  EXPECT_TRUE(fs::is_directory(work));

  R.MainBounds.SetLeft(-20);
  R.Form1.LastFolder = "/y/";
  R.Form1.FormClose();
  EXPECT_FALSE(fs::exists(work));
  EXPECT_FALSE(fs::exists(app / "TEMP"));
  EXPECT_EQ(R.Form1.Document, nullptr);
  EXPECT_EQ(testutil::ReadAll(app / "Quillmark.dat"),
            Bytes("-20\r\n12\r\n613\r\n414\r\n215\r\n16\r\n17\r\n518\r\n319\r\n/y/\r\n"));
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"app"});
}

TEST_F(SettingsTest, CloseKeepsATempFolderThatHoldsOtherFiles) {
  const fs::path app = Dir / "app";
  fs::create_directories(app / "TEMP");  // there already
  R.Form1.FormShow(app / "Quillmark");
  EXPECT_EQ(R.Form1.LastFolder, app / "");  // no settings file yet
  const fs::path work = R.Form1.RunFolder();
  testutil::WriteAll(app / "TEMP" / "foreign.txt", Bytes("x"));
  R.Form1.FormClose();
  EXPECT_FALSE(fs::exists(work));
  EXPECT_TRUE(fs::exists(app / "TEMP" / "foreign.txt"));
  EXPECT_EQ(std::distance(fs::directory_iterator(app / "TEMP"), fs::directory_iterator()), 1);
  EXPECT_EQ(testutil::ReadAll(app / "Quillmark.dat"),
            Bytes("192\r\n107\r\n478\r\n264\r\n176\r\n222\r\n129\r\n456\r\n293\r\n" + (app / "").string() + "\r\n"));
}

// An installed copy keeps nothing beside itself, although its folder can be
// written: its settings are the user's (also when an old settings file lies
// beside the exe), its work folder is under the system's temporary folder.
TEST_F(SettingsTest, AnInstalledCopyKeepsItsSettingsWithTheUserAndItsWorkInTemp) {
  testutil::TTempDir temp;
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string keep = oldTmp ? oldTmp : "";
  setenv("TMPDIR", temp.Path().c_str(), 1);
  const fs::path app = Dir / "app", user = Dir / "user";
  fs::create_directory(app);
  testutil::WriteAll(app / "Quillmark.dat", Bytes("11\r\n12\r\n613\r\n414\r\n215\r\n16\r\n17\r\n518\r\n319\r\n/x/\r\n"));
  R.Form1.Setup.UserFolder = user;
  R.Form1.Setup.InstalledCopy = true;
  R.Form1.FormShow(app / "Quillmark");
  EXPECT_EQ(R.Form1.SettingsPath(), user / "Quillmark" / "Quillmark.dat");
  EXPECT_EQ(Main(), (std::vector<int>{192, 107, 478, 264}));  // not the file beside the exe
  EXPECT_EQ(R.Form1.RunFolder().parent_path(), temp / "Quillmark");
  R.Form1.FormClose();
  if (oldTmp) setenv("TMPDIR", keep.c_str(), 1);
  else unsetenv("TMPDIR");
  EXPECT_TRUE(fs::exists(user / "Quillmark" / "Quillmark.dat"));
  EXPECT_TRUE(fs::exists(user / "Quillmark" / "Quillmark.ini"));
  EXPECT_EQ(testutil::TTempDir::ListOf(app), std::vector<std::string>{"Quillmark.dat"});  // as it was
  EXPECT_TRUE(temp.List().empty());
}

}  // namespace
