// The `quillmark` command line, run as a separate process on drawings in a
// temporary folder, with TMPDIR pointing at a folder of its own.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "drawings.h"
#include "formrig.h"
#include "jwwunit.h"

namespace {

namespace fs = std::filesystem;
using namespace draw;

// The test runs from <build>/tests/; the command line is <build>/app/cli/quillmark.
fs::path Cli() { return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "app" / "cli" / "quillmark"; }

std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }

std::string FileText(const fs::path& p) {
  const auto b = testutil::ReadAll(p);
  return std::string(b.begin(), b.end());
}

std::vector<std::string> Lines(const std::string& s) {
  std::vector<std::string> out;
  size_t from = 0;
  for (size_t nl; (nl = s.find('\n', from)) != std::string::npos; from = nl + 1) out.push_back(s.substr(from, nl - from));
  if (from < s.size()) out.push_back(s.substr(from));
  return out;
}

// True when the brackets and braces outside strings pair up and every string ends.
bool Balanced(const std::string& json) {
  std::string stack;
  bool inString = false;
  for (size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      stack.push_back(c == '[' ? ']' : '}');
    } else if (c == ']' || c == '}') {
      if (stack.empty() || stack.back() != c) return false;
      stack.pop_back();
    }
  }
  return !inString && stack.empty();
}

class CliTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir, Tmp, Io;
  int Status = -1;
  std::string Out, Err;

  void SetUp() override { ASSERT_TRUE(fs::exists(Cli())) << Cli(); }

  void Run(const std::string& args) {
    const std::string cmd = "cd " + Q(Dir.Path()) + " && TMPDIR=" + Q(Tmp.Path()) + " " + Q(Cli()) + " " + args +
                            " >" + Q(Io / "out") + " 2>" + Q(Io / "err") + " </dev/null";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc)) << cmd;
    Status = WEXITSTATUS(rc);
    Out = FileText(Io / "out");
    Err = FileText(Io / "err");
    EXPECT_TRUE(Tmp.List().empty()) << "left in TMPDIR: " << Tmp.List().front();
  }
  fs::path Put(const std::string& name, const Drawing& d) {
    WriteFile(Dir / name, Build(d));
    return Dir / name;
  }
};

TEST_F(CliTest, ConvertsAndPrintsTheReportInUtf8) {
  const auto a = Put("a.jww", HiddenGroupDrawing(600));
  Run("a.jww");  // convert is the default command
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Out, "【" + a.string() + "】\n　→ " + (Dir / "a_2.JWW").string() + "\n　変換を行いました。\n");
  EXPECT_EQ(Err, "");
  TJwwData out;
  out.ExtractImages = false;
  ASSERT_TRUE(out.LoadDocument(Dir / "a_2.JWW")) << out.LastError;
  EXPECT_EQ(out.LineCount, 1);

  Run("convert a.jww");
  EXPECT_EQ(Status, 0);
  EXPECT_TRUE(fs::exists(Dir / "a_3.JWW"));
}

TEST_F(CliTest, PrintsTheReportInShiftJisOnRequest) {
  const auto a = Put("a.jww", HiddenGroupDrawing(351));
  Drawing visible;
  visible.Hdr.Version = 351;
  const auto b = Put("b.jww", visible);
  Run("convert --encoding sjis a.jww b.jww");
  EXPECT_EQ(Status, 0) << Err;
  using namespace rig;
  EXPECT_EQ(Out, FileLine(a) + "\n" + kTo + (Dir / "a_2.JWW").string() + "\n" + kDone + "\n" + FileLine(b) + "\n" +
                     kNothingHidden + "\n" + kSkipped + "\n");
  EXPECT_FALSE(fs::exists(Dir / "b_2.JWW"));
}

TEST_F(CliTest, AnyFileThatIsNotConvertedOrCleanGivesStatusOne) {
  const auto a = Put("a.jww", HiddenGroupDrawing(600));
  testutil::WriteAll(Dir / "notes.txt", testutil::Bytes("JwwData."));
  auto cut = Build(HiddenGroupDrawing(600));
  cut.resize(cut.size() / 2);
  WriteFile(Dir / "cut.jww", cut);
  Run("missing.jww notes.txt cut.jww a.jww");
  EXPECT_EQ(Status, 1);
  const std::vector<std::string> expected = {
      "【" + (Dir / "missing.jww").string() + "】", "　指定したファイルは存在しませんので", "　変換をパスします。",
      "【" + (Dir / "notes.txt").string() + "】",   "　JWW形式ファイルではありませんので", "　変換をパスします。",
      "【" + (Dir / "cut.jww").string() + "】",     "　読み込めないファイルですので",       "　変換をパスします。",
      "【" + a.string() + "】",                     "　→ " + (Dir / "a_2.JWW").string(),  "　変換を行いました。"};
  EXPECT_EQ(Lines(Out), expected);
  for (const char* name : {"missing.jww", "notes.txt", "cut.jww"}) EXPECT_NE(Err.find(name), std::string::npos) << name;
  EXPECT_EQ(Err.find("a.jww"), std::string::npos) << Err;
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"a.jww", "a_2.JWW", "cut.jww", "notes.txt"}));
}

TEST_F(CliTest, UsageErrorsGiveStatusTwoAndConvertNothing) {
  Put("a.jww", HiddenGroupDrawing(600));
  for (const char* args : {"", "convert", "info", "--bogus a.jww", "--encoding latin1 a.jww", "a.jww --encoding",
                           "convert --json a.jww"}) {
    Run(args);
    EXPECT_EQ(Status, 2) << args;
    EXPECT_EQ(Out, "") << args;
    EXPECT_NE(Err, "") << args;
  }
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"a.jww"});
  Run("--help");
  EXPECT_EQ(Status, 0);
  EXPECT_NE(Out.find("quillmark"), std::string::npos);
  EXPECT_NE(Out.find("info"), std::string::npos);
  Run("--version");
  EXPECT_EQ(Status, 0);
  EXPECT_TRUE(Out.starts_with("quillmark ")) << Out;
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"a.jww"});
}

TEST_F(CliTest, AFileNamedTwiceIsConvertedOnce) {
  const auto a = Put("a.jww", HiddenGroupDrawing(600));
  Run("a.jww ./a.jww " + Q(a));
  EXPECT_EQ(Status, 0);
  EXPECT_EQ(Lines(Out).size(), 3u) << Out;
  EXPECT_TRUE(fs::exists(Dir / "a_2.JWW"));
  EXPECT_FALSE(fs::exists(Dir / "a_3.JWW"));
}

TEST_F(CliTest, ImagesPassThroughAPrivateWorkFolderThatIsGoneAfterwards) {
  Drawing d = HiddenGroupDrawing(700);
  d.Elements.push_back(Text(0, 0, 5, "^@BM%temp%kept.jpg,1,1,0,0,1,0"));
  d.Elements.push_back(Text(1, 0, 6, "^@BM%temp%gone.jpg,1,1,0,0,1,0"));
  d.Images = {{"kept.jpg", std::vector<uint8_t>(5000, 3), {}}, {"gone.jpg", std::vector<uint8_t>(10, 4), {}}};
  Put("img.jww", d);
  Run("img.jww");  // Run checks that TMPDIR is empty again
  EXPECT_EQ(Status, 0) << Err;
  TJwwData out;
  out.ExtractImages = false;
  ASSERT_TRUE(out.LoadDocument(Dir / "img_2.JWW")) << out.LastError;
  ASSERT_EQ(out.Images.size(), 1u);
  EXPECT_EQ(out.Images[0].FileName, "kept.jpg");
  EXPECT_EQ(out.Images[0].Size, 5000);
}

Drawing InfoDrawing() {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.LayerGroups[1] = {.State = 0, .Name = qm::Utf8ToSjis("隠しグループ")};
  d.Hdr.Layers[3] = {.State = 0, .Name = qm::Utf8ToSjis("壁")};  // (0,3)
  d.Elements = {Line(1, 0), Arc(1, 4), Point(0, 3), Line(0, 0), Fill(2, 2)};
  return d;
}

TEST_F(CliTest, InfoNamesTheHiddenGroupsAndLayersWithTheirElements) {
  Put("d.jww", InfoDrawing());
  Run("info d.jww");
  EXPECT_EQ(Status, 0) << Err;
  auto lineWith = [&](const std::string& what) {
    for (const auto& line : Lines(Out))
      if (line.find(what) != std::string::npos) return line;
    return std::string("<no line with " + what + ">");
  };
  EXPECT_NE(lineWith("version").find("600"), std::string::npos) << Out;
  EXPECT_NE(lineWith("隠しグループ").find(" 2 "), std::string::npos) << Out;
  EXPECT_NE(lineWith("壁").find(" 1 "), std::string::npos) << Out;
  EXPECT_NE(lineWith("elements").find("5"), std::string::npos) << Out;
  EXPECT_NE(lineWith("purge").find("3 "), std::string::npos) << Out;
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"d.jww"});
}

TEST_F(CliTest, InfoAsJson) {
  Put("d.jww", InfoDrawing());
  Run("info --json d.jww missing.jww");
  EXPECT_EQ(Status, 1);
  EXPECT_TRUE(Balanced(Out)) << Out;
  EXPECT_TRUE(Out.starts_with("[")) << Out;
  for (const char* key : {"\"version\":600", "\"ok\":true", "\"ok\":false", "\"total\":5",
                          "\"hiddenGroups\":[{\"group\":1,", "\"name\":\"隠しグループ\",\"elements\":2",
                          "{\"group\":0,\"layer\":3,\"name\":\"壁\",\"elements\":1}", "\"convert\":true",
                          "\"elements\":3"})
    EXPECT_NE(Out.find(key), std::string::npos) << key << "\n" << Out;
  EXPECT_NE(Err.find("missing.jww"), std::string::npos);
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"d.jww"});
}

}  // namespace
