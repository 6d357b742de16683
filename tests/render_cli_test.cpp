// `quillmark render`, run as a separate process on copies of the bundled
// samples (build/samples, made by makesamples) and on drawings of the builder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include <cstdlib>
#include <string>
#include <vector>

#include "drawings.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;

// The test runs from <build>/tests/.
fs::path BuildDir() { return fs::read_symlink("/proc/self/exe").parent_path().parent_path(); }
fs::path Cli() { return BuildDir() / "app" / "cli" / "quillmark"; }
std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }
std::string Text(const fs::path& p) {
  const auto b = testutil::ReadAll(p);
  return std::string(b.begin(), b.end());
}
size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

class RenderCliTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir, Io;
  int Status = -1;
  std::string Out, Err;

  void SetUp() override { ASSERT_TRUE(fs::exists(Cli())) << Cli(); }
  void Run(const std::string& args) {
    const std::string cmd = "cd " + Q(Dir.Path()) + " && " + Q(Cli()) + " " + args + " >" + Q(Io / "out") + " 2>" +
                            Q(Io / "err") + " </dev/null";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc)) << cmd;
    Status = WEXITSTATUS(rc);
    Out = Text(Io / "out");
    Err = Text(Io / "err");
  }
};

TEST_F(RenderCliTest, EverySampleInEveryMode) {
  const fs::path samples = BuildDir() / "samples";
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(samples))
    if (e.path().extension() == ".jww") {
      fs::copy_file(e.path(), Dir / e.path().filename().string());
      names.push_back(e.path().stem().string());
    }
  ASSERT_EQ(names.size(), 6u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const auto before = testutil::ReadAll(Dir / (name + ".jww"));
    for (const std::string mode : {"omit", "mark", "only"}) {
      Run("render " + name + ".jww --hidden " + mode);
      ASSERT_EQ(Status, 0) << Err;
      const std::string file = name + (mode == "omit" ? ".svg" : "." + mode + ".svg");
      EXPECT_TRUE(Out.starts_with(name + ".jww -> " + file + " (")) << Out;
      const std::string svg = Text(Dir / file);
      EXPECT_TRUE(svg.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ")) << file;
      EXPECT_TRUE(svg.ends_with("</svg>\n")) << file;
      EXPECT_EQ(Count(svg, "<g "), Count(svg, "</g>")) << file;
      // A3: the sheet's outline, over the canvas painted white.
      EXPECT_NE(svg.find("<rect x=\"-210\" y=\"-148.5\" width=\"420\" height=\"297\" fill=\"none\" stroke"),
                std::string::npos);
      EXPECT_LT(svg.find("fill=\"#FFFFFF\"/>"), svg.find("fill=\"none\" stroke"));
      // The equipment's name (設備 in UTF-8) lies on the hidden group, except in
      // visible_v420, where nothing is hidden.
      const bool equipment = svg.find("\xE8\xA8\xAD\xE5\x82\x99</text>") != std::string::npos;
      EXPECT_EQ(equipment, name == "visible_v420" ? mode != "only" : mode != "omit") << file;
      // The shown room name 居間 is left out only by "only".
      EXPECT_EQ(svg.find("\xE5\xB1\x85\xE9\x96\x93</text>") != std::string::npos, mode != "only") << file;
    }
    EXPECT_TRUE(testutil::SameBytes(testutil::ReadAll(Dir / (name + ".jww")), before));
  }
  // The report line's counts, on the sample with images: the picture's top
  // level. Shown: 10 grid lines, a circle, a point, 2 texts, a dimension of
  // 8 items (its 2 temporary points too), a solid, the door's and the
  // window's inserts, an image's frame. Hidden: 2 lines, 2 texts, the
  // fixture's insert, an image. A print leaves out the temporary points.
  Run("render -o - --hidden mark plan_v700.jww");
  EXPECT_EQ(Status, 0);
  EXPECT_NE(Err.find("plan_v700.jww -> stdout (26 items shown, 6 hidden)"), std::string::npos) << Err;
  Run("render plan_v700.jww --view print --hidden=mark");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_NE(Out.find("plan_v700.jww -> plan_v700.print.mark.svg (24 items shown, 6 hidden)"), std::string::npos)
      << Out;
  EXPECT_NE(Text(Dir / "plan_v700.print.mark.svg").find("clip-path=\"url(#sheet)\""), std::string::npos);
}

TEST_F(RenderCliTest, APictureFromRsvgConvert) {
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "rsvg-convert is not installed";
  fs::copy_file(BuildDir() / "samples" / "plan_v700_wide.jww", Dir / "w.jww");
  Run("render w.jww --hidden mark");
  ASSERT_EQ(Status, 0) << Err;
  const std::string cmd = "rsvg-convert -w 400 " + Q(Dir / "w.mark.svg") + " -o " + Q(Dir / "w.png") + " 2>" +
                          Q(Io / "rsvg");
  EXPECT_EQ(std::system(cmd.c_str()), 0) << Text(Io / "rsvg");
  EXPECT_TRUE(Text(Dir / "w.png").starts_with("\x89PNG"));
}

TEST_F(RenderCliTest, NeverReplacesAFileItWasNotToldTo) {
  using namespace draw;
  WriteFile(Dir / "a.jww", Build(HiddenGroupDrawing(700)));
  const auto drawing = testutil::ReadAll(Dir / "a.jww");
  Run("render a.jww");
  ASSERT_EQ(Status, 0) << Err;
  testutil::WriteAll(Dir / "a.svg", testutil::Bytes("mine"));
  Run("render a.jww");
  EXPECT_EQ(Status, 1);
  EXPECT_NE(Err.find("a.svg exists; remove it, or name it with -o to replace it"), std::string::npos) << Err;
  EXPECT_EQ(Text(Dir / "a.svg"), "mine");

  // Named with -o, it is replaced.
  Run("render a.jww -o a.svg");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_TRUE(Text(Dir / "a.svg").starts_with("<?xml"));

  // The drawing itself never, however it is named.
  Run("render a.jww -o ./a.jww");
  EXPECT_EQ(Status, 1);
  EXPECT_NE(Err.find("is the drawing itself"), std::string::npos);
  EXPECT_TRUE(testutil::SameBytes(testutil::ReadAll(Dir / "a.jww"), drawing));
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"a.jww", "a.svg"}));  // no temporary file left

  // To stdout: the picture alone there, the report on stderr.
  Run("render --output=- a.jww --hidden=only");
  EXPECT_EQ(Status, 0);
  EXPECT_TRUE(Out.starts_with("<?xml")) << Out;
  EXPECT_NE(Out.find("<path d=\"M2 0L3 0\"/>"), std::string::npos) << Out;  // the line on the hidden group
  EXPECT_EQ(Out.find("<path d=\"M1 0L2 0\"/>"), std::string::npos);
  EXPECT_NE(Err.find("a.jww -> stdout (0 items shown, 1 hidden)"), std::string::npos) << Err;
}

TEST_F(RenderCliTest, UsageErrorsAndUnreadableDrawings) {
  using namespace draw;
  WriteFile(Dir / "a.jww", Build(HiddenGroupDrawing(600)));
  for (const std::string args : {"render", "render a.jww b.jww", "render --frame a.jww", "render a.jww --hidden all",
                                 "render a.jww --layers-all --hidden mark", "render a.jww -o", "render a.jww -o x -o y",
                                 "render a.jww --view", "render a.jww --view paper"}) {
    Run(args);
    EXPECT_EQ(Status, 2) << args;
    EXPECT_NE(Err.find("Try 'quillmark render --help'."), std::string::npos) << args << ": " << Err;
  }
  Run("render --help");
  EXPECT_EQ(Status, 0);
  EXPECT_TRUE(Out.starts_with("Usage: quillmark render DRAWING.jww")) << Out;
  Run("--help");
  EXPECT_NE(Out.find("quillmark render DRAWING.jww"), std::string::npos);

  Run("render missing.jww");
  EXPECT_EQ(Status, 1);
  EXPECT_NE(Err.find("missing.jww: no such file"), std::string::npos);
  testutil::WriteAll(Dir / "bad.jww", testutil::Bytes("JwwData.garbage"));
  Run("render bad.jww");
  EXPECT_EQ(Status, 1);
  EXPECT_NE(Err.find("quillmark: unreadable ("), std::string::npos) << Err;
  EXPECT_FALSE(fs::exists(Dir / "bad.svg"));

  Run("render a.jww --layers-all");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_NE(Out.find("a.all.svg (2 items shown, 0 hidden)"), std::string::npos) << Out;

  // What cannot be drawn is left out and said, and the picture is written.
  Drawing far = HiddenGroupDrawing(700);
  far.Elements.push_back(Line(0, 0, 1e6));
  WriteFile(Dir / "far.jww", Build(far));
  Run("render far.jww --view=print");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Err, "quillmark: 1 element(s) cannot be drawn (not finite, or beyond 100 m)\n");
  EXPECT_NE(Out.find("far.jww -> far.print.svg (1 items shown, 0 hidden)"), std::string::npos) << Out;
}

// What -o names is written as what it is: a device or FIFO is written to and
// stays what it was, a link's target is replaced while the link stays, and
// anything else (a link to nothing, a socket-like entry, a folder) is refused
// untouched. A folder or FIFO given as the drawing is never read.
TEST_F(RenderCliTest, TheOutputIsWrittenAsWhatItIs) {
  using namespace draw;
  WriteFile(Dir / "a.jww", Build(HiddenGroupDrawing(700)));

  // A link to a file: the file gets the picture, the link stays a link.
  testutil::WriteAll(Dir / "target.svg", testutil::Bytes("old"));
  fs::create_symlink("target.svg", Dir / "link.svg");
  Run("render a.jww -o link.svg");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_TRUE(fs::is_symlink(Dir / "link.svg"));
  EXPECT_TRUE(Text(Dir / "target.svg").starts_with("<?xml"));

  // A FIFO with a reader: the reader receives the picture, the FIFO stays.
  ASSERT_EQ(::mkfifo((Dir / "pipe").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    const int fd = ::open((Dir / "pipe").c_str(), O_RDONLY);
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
    if (fd >= 0) ::close(fd);
  });
  // The writer may open before the reader: it is then refused as unread, and
  // tried again (the reader is there by the next try).
  for (int attempt = 0; attempt < 100; ++attempt) {
    Run("render a.jww -o pipe");
    if (Status == 0 || Err.find("nobody reads") == std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  reader.join();
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_TRUE(received.starts_with("<?xml")) << received.substr(0, 40);
  EXPECT_TRUE(received.ends_with("</svg>\n"));
  struct stat st {};
  ASSERT_EQ(::lstat((Dir / "pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  // A FIFO nobody reads: refused at once, left a FIFO.
  Run("render a.jww -o pipe");
  EXPECT_EQ(Status, 1);
  EXPECT_NE(Err.find("nobody reads"), std::string::npos) << Err;
  ASSERT_EQ(::lstat((Dir / "pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  // A link that leads nowhere, and a folder: refused, untouched.
  fs::create_symlink("nowhere.svg", Dir / "dangling.svg");
  fs::create_directory(Dir / "folder.svg");
  for (const char* name : {"dangling.svg", "folder.svg"}) {
    Run(std::string("render a.jww -o ") + name);
    EXPECT_EQ(Status, 1) << name;
    EXPECT_NE(Err.find("not written"), std::string::npos) << Err;
  }
  EXPECT_TRUE(fs::is_symlink(Dir / "dangling.svg"));
  EXPECT_FALSE(fs::exists(Dir / "nowhere.svg"));
  EXPECT_TRUE(fs::is_directory(Dir / "folder.svg"));

  // A folder or a FIFO as the drawing: not a regular file (and no wait).
  fs::create_directory(Dir / "f.jww");
  ASSERT_EQ(::mkfifo((Dir / "p.jww").c_str(), 0600), 0);
  for (const char* name : {"f.jww", "p.jww"}) {
    Run(std::string("render ") + name);
    EXPECT_EQ(Status, 1);
    EXPECT_NE(Err.find(std::string(name) + ": not a regular file"), std::string::npos) << Err;
  }

  // A character device (made here as /dev/null is): written to, and still a
  // device afterwards.
  if (geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
  ASSERT_EQ(::mknod((Dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  Run("render a.jww -o null");
  EXPECT_EQ(Status, 0) << Err;
  ASSERT_EQ(::lstat((Dir / "null").c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(std::count_if(fs::directory_iterator(Dir.Path()), fs::directory_iterator(),
                          [](const fs::directory_entry& e) { return e.path().extension() == ".tmp"; }),
            0);
}

// Names reach the terminal escaped in every message, as convert and info
// print them.
TEST_F(RenderCliTest, NamesAreEscaped) {
  using namespace draw;
  const std::string odd = "a\x1b]0;x\x07";
  WriteFile(Dir / (odd + ".jww"), Build(HiddenGroupDrawing(700)));
  Run("render '" + odd + ".jww'");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_NE(Out.find("a\\x1b]0;x\\x07.jww -> a\\x1b]0;x\\x07.svg"), std::string::npos) << Out;
  Run("render '" + odd + ".jww'");  // exists now
  EXPECT_NE(Err.find("a\\x1b]0;x\\x07.svg exists"), std::string::npos) << Err;
  Run("render 'b\x1b.jww'");
  EXPECT_NE(Err.find("b\\x1b.jww: no such file"), std::string::npos) << Err;
  for (const std::string& s : {Out, Err}) {
    EXPECT_EQ(s.find('\x1b'), std::string::npos);
    EXPECT_EQ(s.find('\x07'), std::string::npos);
  }
}

}  // namespace
