// The `quillmark` command line, run as a separate process on drawings in a
// temporary folder, with TMPDIR pointing at a folder of its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "convert.h"
#include "drawings.h"
#include "formrig.h"
#include "inspect.h"
#include "jwwunit.h"

namespace {

using namespace qm;

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

// The lines of a conversion's text report up to the empty line before its
// totals, which must end it.
std::vector<std::string> FileReport(const std::string& s) {
  std::vector<std::string> lines = Lines(s);
  const auto blank = std::find(lines.rbegin(), lines.rend(), "");
  EXPECT_TRUE(blank != lines.rend() && lines.back().starts_with("集計：")) << s;
  if (blank != lines.rend()) lines.erase(std::prev(blank.base()), lines.end());
  return lines;
}

// The same, as text: each line ended by a line feed.
std::string ReportBody(const std::string& s) {
  std::string out;
  for (const std::string& line : FileReport(s)) out += line + "\n";
  return out;
}

// A JSON value, read strictly (RFC 8259): strings decoded to bytes, where
// \udc80..\udcff stand for the bytes 0x80..0xFF of a name that is not UTF-8.
struct TJson {
  enum TKind { Null, Bool, Number, String, Array, Object };
  TKind Kind = Null;
  bool Flag = false;
  double Value = 0;
  std::string Text;
  std::vector<TJson> Items;
  std::vector<std::pair<std::string, TJson>> Members;

  const TJson& operator[](const std::string& key) const {
    static const TJson missing;
    for (const auto& [k, v] : Members)
      if (k == key) return v;
    return missing;
  }
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (const auto& m : Members) keys.push_back(m.first);
    return keys;
  }
  bool IsNull() const { return Kind == Null; }
};

class TJsonReader {
 public:
  explicit TJsonReader(std::string_view text) : S_(text) {}
  std::optional<TJson> Document() {
    if (!qm::IsValidUtf8(S_)) return std::nullopt;
    TJson v;
    if (!Value(v)) return std::nullopt;
    Space();
    if (P_ != S_.size()) return std::nullopt;
    return v;
  }

 private:
  void Space() {
    while (P_ < S_.size() && (S_[P_] == ' ' || S_[P_] == '\t' || S_[P_] == '\n' || S_[P_] == '\r')) ++P_;
  }
  bool Literal(std::string_view word) {
    if (S_.substr(P_, word.size()) != word) return false;
    P_ += word.size();
    return true;
  }
  bool Hex4(unsigned& u) {
    if (P_ + 4 > S_.size()) return false;
    u = 0;
    for (int i = 0; i < 4; ++i) {
      const auto c = static_cast<unsigned char>(S_[P_++]);
      const size_t d = std::string_view("0123456789abcdef").find(static_cast<char>(std::tolower(c)));
      if (d == std::string_view::npos) return false;
      u = u * 16 + static_cast<unsigned>(d);
    }
    return true;
  }
  bool String(std::string& out) {
    if (!Literal("\"")) return false;
    while (P_ < S_.size()) {
      const auto c = static_cast<unsigned char>(S_[P_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (P_ >= S_.size()) return false;
      const char e = S_[P_++];
      const std::string_view simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
      if (const size_t k = simple.find(e); k != std::string_view::npos) {
        out += meaning[k];
        continue;
      }
      unsigned u = 0;
      if (e != 'u' || !Hex4(u)) return false;
      if (u >= 0xDC80 && u <= 0xDCFF) {
        out += static_cast<char>(u - 0xDC00);  // a byte that is not UTF-8
        continue;
      }
      std::u16string units(1, static_cast<char16_t>(u));
      if (u >= 0xD800 && u <= 0xDBFF) {
        unsigned low = 0;
        if (!Literal("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
        units += static_cast<char16_t>(low);
      } else if (u >= 0xDC00 && u <= 0xDFFF) {
        return false;
      }
      out += qm::Utf16ToUtf8(units);
    }
    return false;
  }
  bool Value(TJson& v) {
    Space();
    if (P_ >= S_.size()) return false;
    const char c = S_[P_];
    if (c == '{' || c == '[') {
      const bool object = c == '{';
      v.Kind = object ? TJson::Object : TJson::Array;
      ++P_;
      Space();
      if (Literal(object ? "}" : "]")) return true;
      for (;;) {
        TJson item;
        std::string key;
        if (object) {
          Space();
          if (!String(key)) return false;
          Space();
          if (!Literal(":")) return false;
        }
        if (!Value(item)) return false;
        if (object) v.Members.emplace_back(key, std::move(item));
        else v.Items.push_back(std::move(item));
        Space();
        if (Literal(",")) continue;
        return Literal(object ? "}" : "]");
      }
    }
    if (c == '"') {
      v.Kind = TJson::String;
      return String(v.Text);
    }
    if (Literal("true") || Literal("false")) {
      v.Kind = TJson::Bool;
      v.Flag = S_[P_ - 2] == 'u';
      return true;
    }
    if (Literal("null")) return true;
    const size_t from = P_;
    if (P_ < S_.size() && S_[P_] == '-') ++P_;
    const size_t digits = P_;
    while (P_ < S_.size() && std::isdigit(static_cast<unsigned char>(S_[P_]))) ++P_;
    if (P_ == digits || (S_[digits] == '0' && P_ - digits > 1)) return false;
    if (P_ < S_.size() && S_[P_] == '.') {
      const size_t fraction = ++P_;
      while (P_ < S_.size() && std::isdigit(static_cast<unsigned char>(S_[P_]))) ++P_;
      if (P_ == fraction) return false;
    }
    v.Kind = TJson::Number;
    v.Value = std::stod(std::string(S_.substr(from, P_ - from)));
    return true;
  }

  std::string_view S_;
  size_t P_ = 0;
};

std::optional<TJson> ParseJson(std::string_view text) { return TJsonReader(text).Document(); }

// Every entry below a folder (links not followed): files with their bytes,
// folders and links marked as such.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), root).string();
    if (it->is_symlink()) tree[rel] = "link to " + fs::read_symlink(it->path()).string();
    else if (it->is_directory()) tree[rel] = "folder";
    else tree[rel] = FileText(it->path());
  }
  return tree;
}

// The drawing in a file; null (and a failed expectation) when it does not load.
std::unique_ptr<TJwwData> Loaded(const fs::path& p) {
  auto doc = std::make_unique<TJwwData>();
  if (const TJwwStatus loaded = doc->LoadDocument(p)) return doc;
  else ADD_FAILURE() << loaded.Text();
  return nullptr;
}

class CliTest : public ::testing::Test {
 protected:
  testutil::TTempDir Dir, Tmp, Io;
  int Status = -1;
  std::string Out, Err;

  void SetUp() override { ASSERT_TRUE(fs::exists(Cli())) << Cli(); }

  // Runs the command line in Dir, stdout into a file (Out then holds it) or
  // to the redirection given.
  void Run(const std::string& args, const std::string& stdoutTo = "") {
    testutil::WriteAll(Io / "out", {});
    const std::string cmd = "cd " + Q(Dir.Path()) + " && TMPDIR=" + Q(Tmp.Path()) + " " + Q(Cli()) + " " + args +
                            " >" + (stdoutTo.empty() ? Q(Io / "out") : stdoutTo) + " 2>" + Q(Io / "err") +
                            " </dev/null";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc)) << cmd;
    Status = WEXITSTATUS(rc);
    Out = FileText(Io / "out");
    Err = FileText(Io / "err");
    EXPECT_TRUE(Tmp.List().empty()) << "left in TMPDIR: " << Tmp.List().front();
  }
  // Starts the command line in Dir with stdout into a pipe of one page (a
  // long report fills it, and the writer waits) and stderr into Io/err;
  // SIGPIPE at its default. Returns the process and the pipe's read end, or
  // -1 when closeReader closed it before the start.
  std::pair<pid_t, int> Start(const std::vector<std::string>& args, bool closeReader = false) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, -1};
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    if (closeReader) close(fds[0]);
    const std::string cli = Cli().string(), tmp = Tmp.Path().string(), err = (Io / "err").string();
    std::vector<char*> argv{const_cast<char*>(cli.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      signal(SIGPIPE, SIG_DFL);
      const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (errFd < 0 || chdir(Dir.Path().c_str()) != 0 || dup2(fds[1], 1) < 0 || dup2(errFd, 2) < 0) _exit(127);
      if (!closeReader) close(fds[0]);
      setenv("TMPDIR", tmp.c_str(), 1);
      execv(cli.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    return {child, closeReader ? -1 : fds[0]};
  }
  fs::path Put(const std::string& name, const Drawing& d) {
    fs::create_directories((Dir / name).parent_path());
    WriteFile(Dir / name, Build(d));
    return Dir / name;
  }
};

// The one schema of a file's record, info's and convert's alike: every key,
// in this order, of the kind given (null where it does not apply).
void ExpectRecord(const TJson& r) {
  using K = TJson::TKind;
  const std::string line = r["source"].Text;
  ASSERT_EQ(r.Keys(), (std::vector<std::string>{"source", "outcome", "version", "strings", "elements",
                                                "block_definitions", "images", "undrawable", "hidden", "found",
                                                "off_sheet_extent", "removed", "empty_output", "visible_unchanged",
                                                "normalised", "output", "failure", "detail", "seconds"}))
      << line;
  auto kind = [&](const TJson& v, std::initializer_list<K> kinds, const std::string& key) {
    EXPECT_TRUE(std::find(kinds.begin(), kinds.end(), v.Kind) != kinds.end()) << line << ": " << key;
  };
  auto object = [&](const TJson& v, const std::vector<std::string>& keys, const std::string& key) {
    if (v.IsNull()) return false;
    EXPECT_EQ(v.Kind, K::Object) << line << ": " << key;
    EXPECT_EQ(v.Keys(), keys) << line << ": " << key;
    return true;
  };
  kind(r["source"], {K::String}, "source");
  const std::string outcome = r["outcome"].Text;
  const std::vector<std::string> outcomes = {"converted", "would_convert", "nothing_hidden", "not_found",
                                             "not_jww",   "unreadable",    "failed",         "skipped"};
  EXPECT_NE(std::find(outcomes.begin(), outcomes.end(), outcome), outcomes.end()) << line << ": " << outcome;
  kind(r["version"], {K::Number, K::Null}, "version");
  kind(r["strings"], {K::String, K::Null}, "strings");
  if (!r["strings"].IsNull()) {
    EXPECT_TRUE(r["strings"].Text == "sjis" || r["strings"].Text == "utf16") << line;
  }
  object(r["elements"], {"total", "lines", "arcs", "points", "texts", "dimensions", "solids", "block_inserts"},
         "elements");
  if (object(r["block_definitions"], {"total", "used", "unused"}, "block_definitions"))
    kind(r["block_definitions"]["unused"], {K::Array, K::Null}, "unused");
  kind(r["images"], {K::Array, K::Null}, "images");
  for (const TJson& image : r["images"].Items) object(image, {"name", "size"}, "an image");
  kind(r["undrawable"], {K::Number, K::Null}, "undrawable");
  if (object(r["hidden"], {"groups", "layers"}, "hidden")) {
    for (const TJson& g : r["hidden"]["groups"].Items) object(g, {"group", "name", "elements"}, "a group");
    for (const TJson& l : r["hidden"]["layers"].Items) object(l, {"group", "layer", "name", "elements"}, "a layer");
  }
  // The hidden information besides, only of a drawing read whole; where
  // its elements outside the sheet lie, only when there are some.
  if (object(r["found"], {"memo", "temporary_points", "auxiliary", "off_sheet"}, "found")) {
    EXPECT_FALSE(r["elements"].IsNull()) << line;
    for (const auto& [key, count] : r["found"].Members) EXPECT_GE(count.Value, 0) << line << ": " << key;
  }
  if (object(r["off_sheet_extent"], {"left", "bottom", "right", "top"}, "off_sheet_extent")) {
    EXPECT_GT(r["found"]["off_sheet"].Value, 0) << line;
    EXPECT_LE(r["off_sheet_extent"]["left"].Value, r["off_sheet_extent"]["right"].Value) << line;
    EXPECT_LE(r["off_sheet_extent"]["bottom"].Value, r["off_sheet_extent"]["top"].Value) << line;
  }
  const bool written = outcome == "converted" || outcome == "would_convert";
  EXPECT_EQ(object(r["removed"], {"elements", "block_definitions", "images", "memo", "temporary_points", "auxiliary",
                                  "off_sheet"},
                   "removed"),
            written)
      << line;
  kind(r["empty_output"], {K::Bool, K::Null}, "empty_output");
  EXPECT_EQ(r["empty_output"].IsNull(), !written) << line;
  kind(r["visible_unchanged"], {K::Bool, K::Null}, "visible_unchanged");
  EXPECT_EQ(object(r["normalised"], {"texts", "fonts", "pens", "layers", "names", "settings"}, "normalised"),
            !r["visible_unchanged"].IsNull())
      << line;
  kind(r["output"], {K::String, K::Null}, "output");
  EXPECT_EQ(r["output"].IsNull(), !written && outcome != "skipped") << line;
  const bool failed = object(r["failure"], {"kind", "offset", "context"}, "failure");
  if (failed) kind(r["failure"]["offset"], {K::Number, K::Null}, "offset");
  if (outcome == "unreadable" || outcome == "failed") {
    EXPECT_TRUE(failed) << line;
  }
  kind(r["detail"], {K::String, K::Null}, "detail");
  EXPECT_EQ(r["detail"].IsNull(), !failed) << line;
  kind(r["seconds"], {K::Number}, "seconds");
  EXPECT_GE(r["seconds"].Value, 0) << line;
}

// The lines of a JSON Lines report: the records, each checked against the
// schema; a summary, where the report has one, is its last line and is
// checked against the records before it (all of them unless quiet).
std::vector<TJson> JsonLines(const std::string& text, std::optional<TJson>* summary = nullptr, bool quiet = false) {
  std::vector<TJson> lines;
  std::optional<TJson> last;
  for (const std::string& line : Lines(text)) {
    auto v = ParseJson(line);
    EXPECT_TRUE(v && v->Kind == TJson::Object) << line;
    EXPECT_FALSE(last.has_value()) << "after the summary: " << line;
    if (!v) continue;
    if (v->Keys() == std::vector<std::string>{"summary"}) {
      last = std::move(*v);
    } else {
      ExpectRecord(*v);
      lines.push_back(std::move(*v));
    }
  }
  if (last && !quiet) {
    const TJson& s = (*last)["summary"];
    EXPECT_EQ(s.Keys(), (std::vector<std::string>{"files", "outcomes", "visible_unchanged", "normalised", "seconds"}));
    EXPECT_EQ(s["files"].Value, static_cast<double>(lines.size())) << text;
    double sum = 0;
    for (const auto& [outcome, count] : s["outcomes"].Members) {
      const auto n = std::count_if(lines.begin(), lines.end(), [&](const TJson& l) { return l["outcome"].Text == outcome; });
      EXPECT_EQ(count.Value, static_cast<double>(n)) << outcome;
      sum += count.Value;
    }
    EXPECT_EQ(sum, s["files"].Value);
    EXPECT_EQ(s["outcomes"].Members.size(), 8u);
  }
  if (summary) *summary = std::move(last);
  return lines;
}

// Reads from a pipe up to its end.
std::string ReadAllFrom(int fd) {
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  return text;
}

// Reads from a pipe until a whole line has come (true) or the pipe ends.
bool ReadFirstLine(int fd, std::string& text) {
  char c;
  while (read(fd, &c, 1) == 1) {
    text += c;
    if (c == '\n') return true;
  }
  return false;
}

TEST_F(CliTest, ConvertsAndPrintsTheReportInUtf8) {
  const auto a = Put("a.jww", HiddenGroupDrawing(600));
  Run("a.jww");  // convert is the default command
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Out, "【" + a.string() + "】\n　→ " + (Dir / "a_2.JWW").string() +
                     "\n　変換を行いました。\n\n"
                     "集計：変換 1（表示一致 1、書き出しで整えたもの 0）、非表示レイヤなし 0、読み込めない 0、変換出来ない 0\n");
  EXPECT_EQ(Err, "");
  TJwwData out;
  ASSERT_TRUE(testutil::Ok(out.LoadDocument(Dir / "a_2.JWW")));
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
                     kNothingHidden + "\n" + kSkipped + "\n\n" +
                     // 集計：変換 1（表示一致 1、書き出しで整えたもの 0）、非表示レイヤなし 1、読み込めない 0、変換出来ない 0
                     B("8F 57 8C 76 81 46 95 CF 8A B7") + " 1" + B("81 69 95 5C 8E A6 88 EA 92 76") + " 1" +
                     B("81 41 8F 91 82 AB 8F 6F 82 B5 82 C5 90 AE 82 A6 82 BD 82 E0 82 CC") + " 0" +
                     B("81 6A 81 41 94 F1 95 5C 8E A6 83 8C 83 43 83 84 82 C8 82 B5") + " 1" +
                     B("81 41 93 C7 82 DD 8D 9E 82 DF 82 C8 82 A2") + " 0" + B("81 41 95 CF 8A B7 8F 6F 97 88 82 C8 82 A2") +
                     " 0\n");
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
  // Each file's lines, and after an unreadable one's the reason (at stderr
  // too); then the totals.
  std::vector<std::string> lines = Lines(Out);
  ASSERT_EQ(lines.size(), expected.size() + 3) << Out;
  EXPECT_EQ(lines[14], "集計：変換 1（表示一致 1、書き出しで整えたもの 0）、非表示レイヤなし 0、読み込めない 3、変換出来ない 0");
  EXPECT_EQ(lines[13], "");
  lines.resize(13);
  EXPECT_TRUE(lines[9].starts_with("　理由：at byte ")) << lines[9];
  lines.erase(lines.begin() + 9);
  EXPECT_EQ(lines, expected);
  for (const char* name : {"missing.jww", "notes.txt", "cut.jww"}) EXPECT_NE(Err.find(name), std::string::npos) << name;
  EXPECT_EQ(Err.find("a.jww"), std::string::npos) << Err;
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"a.jww", "a_2.JWW", "cut.jww", "notes.txt"}));
}

TEST_F(CliTest, UsageErrorsGiveStatusTwoAndConvertNothing) {
  Put("a.jww", HiddenGroupDrawing(600));
  for (const char* args : {"", "convert", "info", "--bogus a.jww", "-x a.jww", "--encoding latin1 a.jww", "-j 0 a.jww",
                           "--jobs=x a.jww", "-j", "info -j 2 a.jww",
                           "a.jww --encoding", "convert --json --encoding sjis a.jww", "info -o out a.jww",
                           "info --dry-run a.jww", "info -q a.jww", "convert a.jww -o", "convert --output-dir= a.jww",
                           "convert -o a.jww a.jww", "-r", "--dry-run -q", "info --skip-converted a.jww"}) {
    Run(args);
    EXPECT_EQ(Status, 2) << args;
    EXPECT_EQ(Out, "") << args;
    EXPECT_NE(Err, "") << args;
  }
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"a.jww"});
  Run("--help");
  EXPECT_EQ(Status, 0);
  // Each option with an example of its use.
  const std::vector<std::string> help = Lines(Out);
  for (const std::string option : {"-r", "-o", "--dry-run", "--json", "-q", "-j", "--encoding", "--"}) {
    const auto described = std::find_if(help.begin(), help.end(), [&](const std::string& line) {
      return line.starts_with("  " + option + " ") || line.starts_with("  " + option + ",");
    });
    ASSERT_NE(described, help.end()) << option << "\n" << Out;
    const auto example = std::find_if(described, help.end(), [](const std::string& line) {
      return line.find("quillmark ") != std::string::npos;
    });
    ASSERT_NE(example, help.end()) << option;
    EXPECT_NE((*example + " ").find(" " + option + " "), std::string::npos) << option << ": " << *example;
  }
  Run("--version");
  EXPECT_EQ(Status, 0);
  EXPECT_TRUE(Out.starts_with("quillmark ")) << Out;
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"a.jww"});
}

// A first word that is no command and no existing path was a mistyped
// command: nothing is converted, and the nearest command is suggested.
TEST_F(CliTest, AMistypedCommandConvertsNothing) {
  Put("ok.jww", HiddenGroupDrawing(600));
  Run("inof ok.jww");
  EXPECT_EQ(Status, 2);
  EXPECT_EQ(Out, "");
  EXPECT_NE(Err.find("unknown command 'inof'"), std::string::npos) << Err;
  EXPECT_NE(Err.find("did you mean 'info'?"), std::string::npos) << Err;
  Run("covnert -r ok.jww");
  EXPECT_EQ(Status, 2);
  EXPECT_NE(Err.find("did you mean 'convert'?"), std::string::npos) << Err;
  Run("zebra ok.jww");
  EXPECT_EQ(Status, 2);
  EXPECT_EQ(Err.find("did you mean"), std::string::npos) << Err;
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"ok.jww"});
  // A word that names something is a path, and "--" makes any word one.
  fs::create_directory(Dir / "inof");
  Put("inof/x.jww", HiddenGroupDrawing(600));
  Run("inof ok.jww");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_TRUE(fs::exists(Dir / "inof" / "x_2.JWW"));
  Run("-- zebra");
  EXPECT_EQ(Status, 1) << Err;
  EXPECT_NE(Out.find("zebra"), std::string::npos);
}

// Names from drawings and file names reach the terminal only as visible
// escapes: no control character of theirs is passed through.
TEST_F(CliTest, ControlCharactersOfNamesArePrintedAsEscapes) {
  Drawing d = HiddenGroupDrawing(700);
  d.Images = {{std::string("evil\x1b]0;owned\x07\x1b[31m") + std::string(1, '\0') + "x.bmp", {1, 2, 3}, {}}};
  Put("evil.jww", d);
  const std::string pathName = "a\x1b[2Jb\x01.jww";
  Put(pathName, HiddenGroupDrawing(600));
  auto clean = [](const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return c != '\n' && static_cast<unsigned char>(c) < 0x20; });
  };
  for (const std::string& args : {std::string("evil.jww"), std::string("info evil.jww"), "'" + pathName + "'",
                                  "info '" + pathName + "'"}) {
    Run(args);
    EXPECT_TRUE(clean(Out)) << args << ": " << testing::PrintToString(Out);
    EXPECT_TRUE(clean(Err)) << args << ": " << testing::PrintToString(Err);
  }
  Run("evil.jww");
  EXPECT_EQ(Status, 1);
  EXPECT_NE(Err.find("evil\\x1b]0;owned\\x07\\x1b[31m\\x00x.bmp"), std::string::npos) << Err;
  Run("'" + pathName + "'");
  EXPECT_NE(Out.find("a\\x1b[2Jb\\x01.jww"), std::string::npos) << Out;
  // JSON keeps its own escapes.
  Run("--json '" + pathName + "'");
  const auto lines = JsonLines(Out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(fs::path(lines[0]["source"].Text).filename(), pathName);
}

// A FIFO, a folder or a device named like a drawing is never waited on.
TEST_F(CliTest, WhatIsNotARegularFileIsUnreadableAndNeverWaitedOn) {
  ASSERT_EQ(mkfifo((Dir / "pipe.jww").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", Dir / "zero.jww");
  for (const char* command : {"convert", "info"}) {
    const std::string args = std::string("timeout 20 ") + Q(Cli()) + " " + command + " pipe.jww zero.jww";
    testutil::WriteAll(Io / "out", {});
    const std::string cmd = "cd " + Q(Dir.Path()) + " && TMPDIR=" + Q(Tmp.Path()) + " " + args + " >" + Q(Io / "out") +
                            " 2>" + Q(Io / "err") + " </dev/null";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc));
    EXPECT_EQ(WEXITSTATUS(rc), 1) << command << " (124: it waited)";
    const std::string err = FileText(Io / "err");
    for (const char* name : {"pipe.jww", "zero.jww"})
      EXPECT_NE(err.find(std::string(name) + ": not a regular file"), std::string::npos) << command << ": " << err;
  }
  Run("pipe.jww");
  EXPECT_EQ(FileReport(Out), (std::vector<std::string>{"【" + (Dir / "pipe.jww").string() + "】",
                                                  "　読み込めないファイルですので", "　変換をパスします。",
                                                  "　理由：not a regular file"}));
}

TEST_F(CliTest, AFileNamedTwiceIsConvertedOnce) {
  const auto a = Put("a.jww", HiddenGroupDrawing(600));
  Run("a.jww ./a.jww " + Q(a));
  EXPECT_EQ(Status, 0);
  EXPECT_EQ(FileReport(Out).size(), 3u) << Out;
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
  ASSERT_TRUE(testutil::Ok(out.LoadDocument(Dir / "img_2.JWW")));
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

// Hidden layers that hold nothing and have no name are left out of the text
// unless --all asks for them; JSON names every one; paths are shown in full.
TEST_F(CliTest, InfoTextLeavesOutEmptyUnnamedLayersUnlessAll) {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.Layers[1] = {.State = 0, .Name = ""};                         // (0,1): empty, no name
  d.Hdr.Layers[2] = {.State = 0, .Name = ""};                         // (0,2): holds a line
  d.Hdr.Layers[3] = {.State = 0, .Name = qm::Utf8ToSjis("下書き")};  // (0,3): empty, named
  d.Hdr.LayerGroups[5] = {.State = 0, .Name = ""};                    // group 5: empty, no name
  d.Elements = {Line(0, 2), Line(0, 0)};
  Put("d.jww", d);
  auto layerLines = [&] {
    std::vector<std::string> out;
    for (const auto& line : Lines(Out))
      if (line.starts_with("    ")) out.push_back(line);
    return out;
  };
  Run("info d.jww");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Lines(Out).front(), (Dir / "d.jww").string());
  EXPECT_EQ(layerLines(), (std::vector<std::string>{
                              "    (1 more without elements or names; --all shows them)",
                              "    layer 0-2 (no name): 1 elements", "    layer 0-3 \"下書き\": 0 elements",
                              "    (1 more without elements or names; --all shows them)"}));
  EXPECT_NE(Out.find("hidden layers:      3"), std::string::npos) << Out;

  Run("info --all d.jww");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(layerLines(), (std::vector<std::string>{"    group 5 (no name): 0 elements",
                                                    "    layer 0-1 (no name): 0 elements",
                                                    "    layer 0-2 (no name): 1 elements",
                                                    "    layer 0-3 \"下書き\": 0 elements"}));
  Run("info --json d.jww");
  const auto json = JsonLines(Out);
  ASSERT_EQ(json.size(), 1u) << Out;
  EXPECT_EQ(json[0]["hidden"]["layers"].Items.size(), 3u) << Out;
  EXPECT_EQ(json[0]["hidden"]["groups"].Items.size(), 1u) << Out;
  Run("convert --all d.jww");
  EXPECT_EQ(Status, 2);
}

// An element no picture can draw is counted, on a hidden layer group too.
TEST_F(CliTest, InfoCountsTheElementsNoPictureCanDraw) {
  Drawing d = InfoDrawing();
  d.Elements.push_back(Line(1, 0, 1e6));  // a kilometre off
  Put("far.jww", d);
  Drawing near;
  near.Hdr.Version = 600;
  near.Elements = {Line(0, 0, 1)};
  Put("near.jww", near);
  Run("info far.jww near.jww");
  EXPECT_EQ(Status, 0) << Err;
  const size_t line = Out.find("\n  1 element(s) cannot be drawn (not finite, or beyond 100 m)\n");
  EXPECT_NE(line, std::string::npos) << Out;
  EXPECT_LT(line, Out.find("near.jww"));  // in far.jww's report, not near.jww's
  EXPECT_EQ(Out.find("cannot be drawn", line + 40), std::string::npos);
  Run("info --json far.jww near.jww");
  const auto json = JsonLines(Out);
  ASSERT_EQ(json.size(), 2u) << Out;
  EXPECT_EQ(json[0]["undrawable"].Value, 1);
  EXPECT_EQ(json[1]["undrawable"].Kind, TJson::Number);
  EXPECT_EQ(json[1]["undrawable"].Value, 0);
  // A conversion does not describe: it does not count them.
  Run("convert --dry-run --json far.jww");
  EXPECT_TRUE(JsonLines(Out).at(0)["undrawable"].IsNull()) << Out;
}

TEST_F(CliTest, InfoAsJson) {
  Put("d.jww", InfoDrawing());
  Run("info --json d.jww missing.jww");
  EXPECT_EQ(Status, 1);
  std::optional<TJson> summary;
  const auto json = JsonLines(Out, &summary);
  ASSERT_EQ(json.size(), 2u) << Out;
  ASSERT_TRUE(summary) << Out;
  // Named in full, as convert's JSON names them.
  EXPECT_EQ(json[0]["source"].Text, (Dir / "d.jww").string());
  EXPECT_EQ(json[1]["source"].Text, (Dir / "missing.jww").string());
  EXPECT_EQ(json[1]["outcome"].Text, "not_found");
  for (const char* key : {"\"version\":600", "\"outcome\":\"would_convert\"", "\"total\":5",
                          "\"hidden\":{\"groups\":[{\"group\":1,", "\"name\":\"隠しグループ\",\"elements\":2",
                          "{\"group\":0,\"layer\":3,\"name\":\"壁\",\"elements\":1}",
                          "\"removed\":{\"elements\":3,\"block_definitions\":0,\"images\":0,\"memo\":0,"
                          "\"temporary_points\":0,\"auxiliary\":0,\"off_sheet\":0},\"empty_output\":false"})
    EXPECT_NE(Out.find(key), std::string::npos) << key << "\n" << Out;
  EXPECT_NE(Err.find("missing.jww"), std::string::npos);
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"d.jww"});
}

// A drawing of version 7.00 whose hidden group holds a line, a text showing
// an image and the only block insert: a purge removes three elements, the
// block definition and one of the two images.
Drawing RichDrawing() {
  Drawing d = HiddenGroupDrawing(700);
  d.Elements.push_back(Text(0, 0, 5, "^@BM%temp%kept.jpg,1,1,0,0,1,0"));
  d.Elements.push_back(Text(1, 0, 6, "^@BM%temp%gone.jpg,1,1,0,0,1,0"));
  d.Elements.push_back(Insert(1, 0, 1));
  d.Blocks = {Def(1, "door", {Line(0, 0, 9)})};
  d.Images = {{"kept.jpg", std::vector<uint8_t>(300, 3), {}}, {"gone.jpg", std::vector<uint8_t>(10, 4), {}}};
  return d;
}

// A wide drawing whose memo is Shift-JIS: a layer name without a Shift-JIS
// form cannot be written.
Drawing UnwritableDrawing() {
  Drawing d = HiddenGroupDrawing(600);
  d.Hdr.Wide = true;
  d.Hdr.MemoWide = false;
  d.Hdr.Layers[4].Name = "caf\xC3\xA9";
  return d;
}

Drawing VisibleDrawing() {
  Drawing d;
  d.Hdr.Version = 600;
  d.Elements = {Line(0, 0, 1)};
  return d;
}

// The file lines of a text report: the sources in the order reported.
std::vector<std::string> ReportedFiles(const std::string& report) {
  std::vector<std::string> files;
  for (const std::string& line : Lines(report))
    if (line.starts_with("【") && line.ends_with("】")) files.push_back(line.substr(3, line.size() - 6));
  return files;
}

std::vector<std::string> Sources(const std::vector<TJson>& lines) {
  std::vector<std::string> sources;
  for (const TJson& line : lines) sources.push_back(line["source"].Text);
  return sources;
}

class CliFolderTest : public CliTest {
 protected:
  // plans/ with drawings in mixed letter case, the outputs of an earlier run
  // beside them, a file that only looks like an output (no solo.jww), a text
  // file, and sub/ with a drawing and a link back up to plans.
  void SetUp() override {
    CliTest::SetUp();
    for (const char* name : {"plans/b.jww", "plans/A.JWW", "plans/solo_2.JWW", "plans/sub/d.jww", "plans/A_2.JWW",
                             "plans/b_2.JWW", "plans/b_3.JWW"})
      Put(name, HiddenGroupDrawing(600));
    Put("plans/c.Jww", VisibleDrawing());
    testutil::WriteAll(Dir / "plans" / "notes.txt", testutil::Bytes("JwwData."));
    fs::create_directory_symlink("..", Dir / "plans" / "sub" / "up");
  }
  std::string P(const std::string& name) const { return (Dir / "plans" / name).string(); }
};

TEST_F(CliFolderTest, AFolderGivesItsDrawingsInNameOrderWithoutEarlierOutputs) {
  Run("convert plans");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(ReportedFiles(Out), (std::vector<std::string>{P("A.JWW"), P("b.jww"), P("c.Jww"), P("solo_2.JWW")}));
  for (const char* made : {"A_3.JWW", "b_4.JWW", "solo_2_2.JWW"}) EXPECT_TRUE(Loaded(Dir / "plans" / made)) << made;
  EXPECT_FALSE(fs::exists(Dir / "plans" / "c_2.JWW"));
  EXPECT_FALSE(fs::exists(Dir / "plans" / "sub" / "d_2.JWW"));  // subfolders only with -r

  // With its subfolders; the outputs just made are earlier outputs now, and
  // the link back up leads to a folder walked already.
  Run("convert -r --json plans");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Sources(JsonLines(Out)),
            (std::vector<std::string>{P("A.JWW"), P("b.jww"), P("c.Jww"), P("solo_2.JWW"), P("sub/d.jww")}));
  EXPECT_TRUE(Loaded(Dir / "plans" / "sub" / "d_2.JWW"));
  EXPECT_EQ(Err, "");
}

TEST_F(CliFolderTest, AnOutputFolderTakesTheOutputsWithTheirSubfolders) {
  const auto plans = Tree(Dir / "plans");
  Run("convert -r -o out plans");  // out does not exist yet
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Tree(Dir / "plans"), plans);
  std::vector<std::string> made;
  for (const auto& [name, content] : Tree(Dir / "out")) made.push_back(name);
  EXPECT_EQ(made, (std::vector<std::string>{"A_2.JWW", "b_2.JWW", "solo_2_2.JWW", "sub", "sub/d_2.JWW"}));
  EXPECT_NE(Out.find("　→ " + (Dir / "out" / "sub" / "d_2.JWW").string() + "\n"), std::string::npos) << Out;

  // Into a populated folder: the next free name there.
  Run("convert -r -o out --json plans");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Tree(Dir / "plans"), plans);
  std::vector<std::string> outputs;
  for (const TJson& line : JsonLines(Out))
    if (!line["output"].IsNull()) outputs.push_back(line["output"].Text);
  const fs::path out = Dir / "out";
  EXPECT_EQ(outputs, (std::vector<std::string>{(out / "A_3.JWW").string(), (out / "b_3.JWW").string(),
                                               (out / "solo_2_3.JWW").string(), (out / "sub" / "d_3.JWW").string()}));
  for (const std::string& o : outputs) EXPECT_TRUE(Loaded(o)) << o;

  // An output folder inside the walked folder is not walked: its outputs are
  // never taken as sources.
  Run("convert -r -o plans/clean plans");
  Run("convert -r -o plans/clean plans");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(ReportedFiles(Out).size(), 5u) << Out;
  EXPECT_TRUE(fs::exists(Dir / "plans" / "clean" / "sub" / "d_3.JWW"));
}

TEST_F(CliTest, ADryRunWritesNothingAndTellsWhatAConversionWould) {
  Put("rich.jww", RichDrawing());
  Put("plain.jww", HiddenGroupDrawing(600));
  Put("other/plain.jww", HiddenGroupDrawing(351));
  Put("visible.jww", VisibleDrawing());
  Put("unwritable.jww", UnwritableDrawing());
  Put("out/plain_2.JWW", VisibleDrawing());
  const std::string args = "-o out rich.jww plain.jww other/plain.jww visible.jww unwritable.jww";
  const auto before = Tree(Dir.Path());
  Run("convert --dry-run --json " + args);
  EXPECT_EQ(Status, 1) << Err;  // the unwritable drawing
  EXPECT_EQ(Tree(Dir.Path()), before);
  const std::vector<TJson> dry = JsonLines(Out);
  ASSERT_EQ(dry.size(), 5u) << Out;
  const fs::path out = Dir / "out";
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"would_convert", (out / "rich_2.JWW").string()}, {"would_convert", (out / "plain_3.JWW").string()},
      {"would_convert", (out / "plain_4.JWW").string()}, {"nothing_hidden", ""}, {"failed", ""}};
  for (size_t i = 0; i < dry.size(); ++i) {
    EXPECT_EQ(dry[i]["outcome"].Text, expected[i].first) << i;
    EXPECT_EQ(dry[i]["output"].Text, expected[i].second) << i;
  }
  const TJson& removed = dry[0]["removed"];
  EXPECT_EQ(removed["elements"].Value, 3);
  EXPECT_EQ(removed["block_definitions"].Value, 1);
  EXPECT_EQ(removed["images"].Value, 1);
  EXPECT_EQ(dry[1]["removed"]["elements"].Value, 1);
  EXPECT_EQ(dry[4]["failure"]["kind"].Text, "not representable");
  EXPECT_EQ(dry[4]["failure"]["context"].Text, "output_file");

  // The conversion itself does what the dry run said.
  Run("convert --json " + args);
  EXPECT_EQ(Status, 1) << Err;
  const std::vector<TJson> real = JsonLines(Out);
  ASSERT_EQ(real.size(), dry.size()) << Out;
  for (size_t i = 0; i < real.size(); ++i) {
    EXPECT_EQ(real[i]["outcome"].Text, i < 3 ? "converted" : expected[i].first) << i;
    EXPECT_EQ(real[i]["output"].Text, dry[i]["output"].Text) << i;
    for (const char* count : {"elements", "block_definitions", "images"})
      EXPECT_EQ(real[i]["removed"][count].Value, dry[i]["removed"][count].Value) << i << " " << count;
  }
  const auto rich = Loaded(out / "rich_2.JWW");
  ASSERT_TRUE(rich);
  EXPECT_EQ(rich->BlockDefCount, 0);
  ASSERT_EQ(rich->Images.size(), 1u);
  EXPECT_EQ(rich->Images[0].FileName, "kept.jpg");

  // The text report of a dry run: the name it would get, what would go.
  const auto now = Tree(Dir.Path());
  Run("convert --dry-run plain.jww");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(FileReport(Out), (std::vector<std::string>{"【" + (Dir / "plain.jww").string() + "】",
                                                  "　→ " + (Dir / "plain_2.JWW").string(),
                                                  "　変換できます（削除するもの: 要素 1、ブロック定義 0、画像 0。"
                                                  "--dry-run のため書き込みません）"}));
  EXPECT_EQ(Tree(Dir.Path()), now);
}

// Names that differ only in letter case are one name on the recipients'
// Windows machines: a run never writes two of them into one folder, and a
// dry run reports exactly the names the run then writes, with and without
// -o, with -r and with several workers.
TEST_F(CliTest, CaseTwinsGetTheSameOutputNamesInADryRunAndARun) {
  struct TCase {
    std::vector<std::string> Drawings, Taken;  // made before the runs
    std::string Args;
    std::vector<std::string> Outputs;          // what both runs name, relative to Dir
  };
  const std::vector<TCase> cases = {
      {{"plan.jww", "PLAN.jww"}, {}, "plan.jww PLAN.jww", {"plan_2.JWW", "PLAN_3.JWW"}},
      {{"a/x.jww", "b/x.jww", "a/X.JWW", "b/X.JWW"}, {}, "-o out a/x.jww b/x.jww a/X.JWW b/X.JWW",
       {"out/x_2.JWW", "out/x_3.JWW", "out/X_4.JWW", "out/X_5.JWW"}},
      // b/X_2.JWW is an earlier output of b/x.jww: not a source.
      {{"a/x.jww", "a/X.JWW", "b/x.jww"}, {"out/x_2.jww", "out/X_3.Jww", "b/X_2.JWW"}, "-r -j 2 -o out a b",
       {"out/X_4.JWW", "out/x_5.JWW", "out/x_6.JWW"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args);
    for (const auto& e : fs::directory_iterator(Dir.Path())) fs::remove_all(e.path());
    for (const std::string& d : c.Drawings) Put(d, HiddenGroupDrawing(600));
    for (const std::string& t : c.Taken) Put(t, VisibleDrawing());
    auto outputs = [&](const std::string& args) {
      Run("convert --json " + args);
      EXPECT_EQ(Status, 0) << Err;
      std::vector<std::string> named;
      for (const TJson& line : JsonLines(Out)) named.push_back(fs::relative(line["output"].Text, Dir.Path()).string());
      return named;
    };
    const auto dry = outputs("--dry-run " + c.Args);
    EXPECT_EQ(dry, c.Outputs);
    EXPECT_EQ(outputs(c.Args), dry);
    for (const std::string& o : c.Outputs) EXPECT_TRUE(Loaded(Dir / o)) << o;
    // No two outputs, nor an output and a name taken before, differ in
    // letter case only.
    std::set<std::u16string> folded;
    for (const auto& list : {c.Outputs, c.Taken})
      for (const std::string& o : list) EXPECT_TRUE(folded.insert(qm::TOutputRule::Key(o)).second) << o;
  }
}

TEST_F(CliTest, JsonLinesTellEveryOutcomeOfTheFiles) {
  Put("a.jww", HiddenGroupDrawing(600));
  Put("visible.jww", VisibleDrawing());
  const std::string odd = "odd\xff\xfe.jww";  // a name whose bytes are not UTF-8
  Put(odd, HiddenGroupDrawing(420));
  testutil::WriteAll(Dir / "notes.txt", testutil::Bytes("JwwData."));
  auto cut = Build(HiddenGroupDrawing(600));
  cut.resize(cut.size() / 2);
  WriteFile(Dir / "cut.jww", cut);
  const std::string args = "missing.jww notes.txt cut.jww a.jww visible.jww " + Q(odd);
  Run("convert --json " + args);
  EXPECT_EQ(Status, 1);
  const std::vector<TJson> lines = JsonLines(Out);
  ASSERT_EQ(lines.size(), 6u) << Out;
  const std::vector<std::string> names = {"missing.jww", "notes.txt", "cut.jww", "a.jww", "visible.jww", odd};
  const std::vector<std::string> outcomes = {"not_found", "not_jww", "unreadable", "converted", "nothing_hidden",
                                             "converted"};
  for (size_t i = 0; i < lines.size(); ++i) {
    const TJson& line = lines[i];
    EXPECT_EQ(line["source"].Text, (Dir / names[i]).string()) << i;
    EXPECT_EQ(line["outcome"].Text, outcomes[i]) << i;
    const bool converted = outcomes[i] == "converted";
    EXPECT_EQ(line["output"].IsNull(), !converted) << i;
    if (converted) {
      EXPECT_TRUE(Loaded(line["output"].Text)) << i;
    }
    EXPECT_EQ(line["removed"].IsNull(), !converted) << i;
    if (converted) {
      EXPECT_EQ(line["removed"]["elements"].Value, 1) << i;
    }
    // The visual proof runs on every drawing that is purged.
    if (converted) {
      EXPECT_EQ(line["visible_unchanged"].Kind, TJson::Bool) << i;
      EXPECT_TRUE(line["visible_unchanged"].Flag) << i;
    } else {
      EXPECT_TRUE(line["visible_unchanged"].IsNull()) << i;
    }
    EXPECT_EQ(line["seconds"].Kind, TJson::Number) << i;
    EXPECT_GE(line["seconds"].Value, 0) << i;
  }
  EXPECT_EQ(lines[5]["output"].Text, (Dir / "odd\xff\xfe_2.JWW").string());
  EXPECT_EQ(lines[2]["failure"]["kind"].Text, "truncated");
  EXPECT_EQ(lines[2]["failure"]["context"].Text, "extended_colours");
  EXPECT_NE(lines[2]["detail"].Text.find("cut.jww"), std::string::npos);
  for (size_t i : {0u, 1u, 3u}) EXPECT_TRUE(lines[i]["failure"].IsNull() && lines[i]["detail"].IsNull()) << i;

  // Quiet: the failures only, in either report.
  Run("convert -q --json " + args);
  EXPECT_EQ(Status, 1);
  EXPECT_EQ(Sources(JsonLines(Out, nullptr, true)), (std::vector<std::string>{(Dir / "missing.jww").string(),
                                                               (Dir / "notes.txt").string(),
                                                               (Dir / "cut.jww").string()}));
  Run("convert -q a.jww visible.jww");
  EXPECT_EQ(Status, 0);
  EXPECT_EQ(Out, "");
  Run("convert --quiet missing.jww a.jww");
  EXPECT_EQ(Status, 1);
  EXPECT_EQ(ReportedFiles(Out), std::vector<std::string>{(Dir / "missing.jww").string()});
}

TEST_F(CliTest, AKilledRunKeepsTheLinesOfTheFilesItFinished) {
  constexpr int count = 60;  // their report is longer than the pipe holds
  for (int i = 0; i < count; ++i) Put("d" + std::to_string(100 + i) + ".jww", HiddenGroupDrawing(600));
  // One file at a time, so that only the file in progress can lack its line
  // (with several at once, so can the files in flight).
  const auto [child, reader] = Start({"convert", "-j", "1", "--json", "."});
  ASSERT_GT(child, 0);
  std::string text;
  ASSERT_TRUE(ReadFirstLine(reader, text)) << FileText(Io / "err");
  // The run waits for the pipe now, or converts the file after the last line.
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  text += ReadAllFrom(reader);
  close(reader);
  EXPECT_TRUE(text.ends_with("\n"));
  const std::vector<TJson> lines = JsonLines(text);
  ASSERT_LT(lines.size(), static_cast<size_t>(count));
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["source"].Text, (Dir / ("d" + std::to_string(100 + i) + ".jww")).string());
    EXPECT_EQ(lines[i]["outcome"].Text, "converted");
    EXPECT_TRUE(Loaded(lines[i]["output"].Text)) << i;
  }
  // At most the file in progress has an output without its line.
  size_t outputs = 0;
  for (const std::string& name : Dir.List()) outputs += name.ends_with("_2.JWW");
  EXPECT_TRUE(outputs == lines.size() || outputs == lines.size() + 1) << outputs << " outputs, " << lines.size();
}

TEST_F(CliTest, CtrlCEndsTheBatchAfterTheFileInProgressWithStatus130) {
  constexpr int count = 60;
  for (int i = 0; i < count; ++i) Put("d" + std::to_string(100 + i) + ".jww", HiddenGroupDrawing(600));
  const auto [child, reader] = Start({"convert", "--json", "."});
  ASSERT_GT(child, 0);
  std::string text;
  ASSERT_TRUE(ReadFirstLine(reader, text)) << FileText(Io / "err");
  kill(child, SIGINT);
  text += ReadAllFrom(reader);
  close(reader);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::vector<TJson> lines = JsonLines(text);
  EXPECT_LT(lines.size(), static_cast<size_t>(count));
  size_t outputs = 0;
  for (const std::string& name : Dir.List()) outputs += name.ends_with("_2.JWW");
  EXPECT_EQ(outputs, lines.size());  // every file it converted is reported
  EXPECT_NE(FileText(Io / "err").find("interrupted"), std::string::npos);
  EXPECT_TRUE(Tmp.List().empty());
}

// The text report of a batch stopped by Ctrl+C says so before its totals,
// which count the files it did.
TEST_F(CliTest, AStoppedTextReportEndsWithWhatWasDone) {
  constexpr int count = 60;
  for (int i = 0; i < count; ++i) Put("d" + std::to_string(100 + i) + ".jww", HiddenGroupDrawing(600));
  const auto [child, reader] = Start({"convert", "."});
  ASSERT_GT(child, 0);
  std::string text;
  ASSERT_TRUE(ReadFirstLine(reader, text)) << FileText(Io / "err");
  kill(child, SIGINT);
  text += ReadAllFrom(reader);
  close(reader);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::vector<std::string> lines = Lines(text);
  const size_t done = ReportedFiles(text).size();
  ASSERT_LT(done, static_cast<size_t>(count));
  ASSERT_EQ(lines.size(), 3 * done + 3) << text;
  EXPECT_EQ(lines[3 * done], "");
  EXPECT_EQ(lines[3 * done + 1], "中止しました（" + std::to_string(done) + " / " + std::to_string(count) + "）");
  EXPECT_EQ(lines[3 * done + 2], "集計：変換 " + std::to_string(done) + "（表示一致 " + std::to_string(done) +
                                     "、書き出しで整えたもの 0）、非表示レイヤなし 0、読み込めない 0、変換出来ない 0");
}

TEST_F(CliTest, AReportThatCannotBeWrittenStopsTheBatchWithStatusOne) {
  for (const char* name : {"a.jww", "b.jww", "c.jww"}) Put(name, HiddenGroupDrawing(600));
  for (const char* json : {"", "--json "}) {
    // One file at a time: with several at once the files in flight are finished too.
    Run(std::string("convert -j 1 ") + json + "a.jww b.jww c.jww", "/dev/full");
    EXPECT_EQ(Status, 1) << json;
    EXPECT_NE(Err.find("cannot write the report"), std::string::npos) << Err;
  }
  // Each run converted its first file and stopped.
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"a.jww", "a_2.JWW", "a_3.JWW", "b.jww", "c.jww"}));

  const auto [child, reader] = Start({"convert", "-j", "1", "b.jww", "c.jww"}, true);  // nobody reads
  ASSERT_GT(child, 0);
  EXPECT_EQ(reader, -1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(FileText(Io / "err").find("cannot write the report"), std::string::npos);
  EXPECT_TRUE(fs::exists(Dir / "b_2.JWW"));
  EXPECT_FALSE(fs::exists(Dir / "c_2.JWW"));
}

TEST_F(CliTest, InfoFollowsThePathRulesAndAlwaysWritesValidJson) {
  Put("plans/a.jww", InfoDrawing());
  Put("plans/a_2.JWW", InfoDrawing());
  Put("plans/sub/b.jww", InfoDrawing());
  const std::string odd = "plans/odd\x82\xa0\xff.jww";  // Shift-JIS bytes in a name: not UTF-8
  Put(odd, InfoDrawing());
  Run("info --json -r plans");
  EXPECT_EQ(Status, 0) << Err;
  std::vector<std::string> paths;
  for (const TJson& item : JsonLines(Out)) paths.push_back(item["source"].Text);
  EXPECT_EQ(paths, (std::vector<std::string>{(Dir / "plans/a.jww").string(), (Dir / odd).string(),
                                             (Dir / "plans/sub/b.jww").string()}));
  EXPECT_NE(Out.find("\\udc82\\udca0\\udcff"), std::string::npos) << Out;

  fs::remove(Dir / odd);
  Run("info plans");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Out.find("sub"), std::string::npos) << Out;
  EXPECT_NE(Out.find("隠しグループ"), std::string::npos) << Out;
  const std::string utf8 = Out;
  Run("info --encoding sjis plans");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_NE(Out.find(qm::Utf8ToSjis("隠しグループ")), std::string::npos) << Out;
  EXPECT_EQ(Out.find("隠しグループ"), std::string::npos) << Out;
  EXPECT_EQ(Lines(Out).size(), Lines(utf8).size());
}

// ---------------------------------------------------------------------------
// One road, one truth

// A JSON value as one canonical text, to compare two of them.
std::string Canon(const TJson& v) {
  switch (v.Kind) {
    case TJson::Null: return "null";
    case TJson::Bool: return v.Flag ? "true" : "false";
    case TJson::Number: return std::to_string(v.Value);
    case TJson::String: return "\"" + v.Text + "\"";
    case TJson::Array: {
      std::string out = "[";
      for (const TJson& item : v.Items) out += Canon(item) + ",";
      return out + "]";
    }
    case TJson::Object: {
      std::string out = "{";
      for (const auto& [key, value] : v.Members) out += key + ":" + Canon(value) + ",";
      return out + "}";
    }
  }
  return {};
}

const char* OutcomeName(qm::TOutcome o) {
  switch (o) {
    case qm::TOutcome::Converted: return "converted";
    case qm::TOutcome::WouldConvert: return "would_convert";
    case qm::TOutcome::NothingHidden: return "nothing_hidden";
    case qm::TOutcome::NotFound: return "not_found";
    case qm::TOutcome::NotJww: return "not_jww";
    case qm::TOutcome::Unreadable: return "unreadable";
    case qm::TOutcome::Failed: return "failed";
    case qm::TOutcome::Skipped: return "skipped";
  }
  return "";
}

// The drawings of every kind the road meets, by name: what info, the
// window's inspection, the dry run and the run must agree on.
struct TKinds {
  std::vector<std::string> Names;
  std::vector<std::string> Images;  // of images.jww: the names its shown texts keep
};

TKinds PutEveryKind(const fs::path& dir, const std::function<fs::path(const std::string&, const Drawing&)>& put) {
  TKinds k;
  auto add = [&](const std::string& name, const Drawing& d) {
    put(name, d);
    k.Names.push_back(name);
  };
  auto raw = [&](const std::string& name, std::vector<uint8_t> bytes) {
    testutil::WriteAll(dir / name, bytes);
    k.Names.push_back(name);
  };
  Drawing clean;
  clean.Hdr.Version = 600;
  clean.Elements = {Line(0, 0, 1), Line(0, 0, 2), Line(0, 0, 3)};
  add("clean.jww", clean);
  add("hidden.jww", HiddenGroupDrawing(600));
  Drawing all = HiddenGroupDrawing(600);
  all.Elements = {Line(1, 0, 1), Text(1, 0, 2, "secret")};
  add("allhidden.jww", all);
  auto damaged = Build(HiddenGroupDrawing(600));
  damaged[0] = 'X';  // a real drawing whose first byte is changed
  raw("damaged.jww", damaged);
  auto cut = Build(HiddenGroupDrawing(600));
  cut.resize(cut.size() - 5);
  raw("cut.jww", cut);
  auto cutClean = Build(clean);
  cutClean.resize(cutClean.size() - 5);  // nothing hidden, and its last line does not read
  raw("cutclean.jww", cutClean);
  std::vector<uint8_t> random(100);
  for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<uint8_t>(i * 73 + 11);
  raw("random.jww", random);
  add("renamed.txt", HiddenGroupDrawing(600));
  EXPECT_EQ(mkfifo((dir / "fifo.jww").c_str(), 0600), 0);
  k.Names.push_back("fifo.jww");
  k.Names.push_back("missing.jww");
  // Images shown through every form of reference, one of them by a
  // dimension's value text, and one shown only by a hidden text.
  Drawing images = HiddenGroupDrawing(700);
  Sunpou dim = Dim(0, 0, 9);
  dim.ValueText.Text = "^@BMd.bmp,2,2";
  images.Elements.push_back(Text(0, 0, 5, "^@BM%temp%a.bmp,10,10"));
  images.Elements.push_back(Text(0, 0, 6, "^@BMb.bmp,10,10"));
  images.Elements.push_back(Text(0, 0, 7, "^@BM%temp%c.bmp"));
  images.Elements.push_back(dim);
  images.Elements.push_back(Text(1, 0, 8, "^@BMhidden.bmp,1,1"));
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "hidden.bmp"})
    images.Images.push_back({name, std::vector<uint8_t>(64, static_cast<uint8_t>(name[0])), {}});
  k.Images = {"a.bmp", "b.bmp", "c.bmp", "d.bmp"};
  add("images.jww", images);
  Drawing caret = HiddenGroupDrawing(600);
  caret.Elements.push_back(Text(0, 0, 5, "A^mB"));
  add("caret.jww", caret);
  Drawing tab = HiddenGroupDrawing(600);
  tab.Elements.push_back(Text(0, 0, 5, "TAB\there"));
  add("tab.jww", tab);
  Drawing pens = HiddenGroupDrawing(600);
  Sen odd = Line(17, 21, 5);  // layer 21 of group 17: written as 0-0
  odd.H.PenStyle = 250;
  odd.H.PenColor = 500;
  odd.H.PenWidth = 65000;
  pens.Elements.push_back(odd);
  add("pens.jww", pens);
  Drawing unwritable = HiddenGroupDrawing(600);  // wide, but its memo is Shift-JIS: é cannot be written
  unwritable.Hdr.Wide = true;
  unwritable.Hdr.MemoWide = false;
  unwritable.Hdr.Layers[4].Name = "caf\xC3\xA9";
  add("unwritable.jww", unwritable);
  return k;
}

// info, the window's inspection, the dry run and the run tell the same story
// of every kind of drawing: outcome, counts, names and reasons.
TEST_F(CliTest, InfoTheInspectionTheDryRunAndTheRunAgreeOnEveryKindOfDrawing) {
  const TKinds kinds = PutEveryKind(Dir.Path(), [&](const std::string& n, const Drawing& d) { return Put(n, d); });
  std::string args;
  for (const std::string& name : kinds.Names) args += " " + Q(name);
  const auto before = Dir.List();  // names only: the FIFO is never read
  Run("info --json" + args);
  EXPECT_EQ(Status, 1);
  const std::vector<TJson> info = JsonLines(Out);
  Run("convert --dry-run --json" + args);
  EXPECT_EQ(Status, 1);
  const std::vector<TJson> dry = JsonLines(Out);
  EXPECT_EQ(Dir.List(), before);  // neither wrote anything
  testutil::TScopedWorkFolder work;
  TJwwData doc;
  std::vector<qm::TFileResult> inspected;
  for (const std::string& name : kinds.Names) inspected.push_back(qm::Inspect(Dir / name, doc, work.Path()));
  Run("convert --json" + args);
  EXPECT_EQ(Status, 1);
  const std::vector<TJson> run = JsonLines(Out);
  ASSERT_EQ(info.size(), kinds.Names.size());
  ASSERT_EQ(dry.size(), kinds.Names.size());
  ASSERT_EQ(run.size(), kinds.Names.size());

  const std::map<std::string, std::string> outcomes = {
      {"clean.jww", "nothing_hidden"}, {"hidden.jww", "would_convert"},  {"allhidden.jww", "would_convert"},
      {"damaged.jww", "unreadable"},   {"cut.jww", "unreadable"},         {"cutclean.jww", "nothing_hidden"},
      {"random.jww", "unreadable"},    {"renamed.txt", "not_jww"},        {"fifo.jww", "unreadable"},
      {"missing.jww", "not_found"},    {"images.jww", "would_convert"},   {"caret.jww", "would_convert"},
      {"tab.jww", "would_convert"},    {"pens.jww", "would_convert"},     {"unwritable.jww", "failed"}};
  for (size_t k = 0; k < kinds.Names.size(); ++k) {
    const std::string& name = kinds.Names[k];
    SCOPED_TRACE(name);
    const TJson &i = info[k], &d = dry[k], &r = run[k];
    const qm::TFileResult& w = inspected[k];
    EXPECT_EQ(i["source"].Text, (Dir / name).string());
    EXPECT_EQ(d["source"].Text, i["source"].Text);
    EXPECT_EQ(r["source"].Text, i["source"].Text);
    // Outcome: the dry run's, everywhere; the run converts what it would.
    EXPECT_EQ(i["outcome"].Text, outcomes.at(name));
    EXPECT_EQ(d["outcome"].Text, i["outcome"].Text);
    EXPECT_EQ(OutcomeName(w.Outcome), i["outcome"].Text);
    EXPECT_EQ(r["outcome"].Text, i["outcome"].Text == "would_convert" ? "converted" : i["outcome"].Text);
    // Names: the output's, and the hidden groups' and layers'.
    EXPECT_EQ(Canon(d["output"]), Canon(i["output"]));
    EXPECT_EQ(Canon(r["output"]), Canon(i["output"]));
    if (!i["output"].IsNull()) {
      EXPECT_EQ(w.Output.string(), i["output"].Text);
    }
    EXPECT_EQ(Canon(d["version"]), Canon(i["version"]));
    EXPECT_EQ(Canon(r["hidden"]), Canon(d["hidden"]));
    if (!d["hidden"].IsNull() && !i["hidden"].IsNull()) {
      EXPECT_EQ(d["hidden"]["groups"].Items.size(), i["hidden"]["groups"].Items.size());
      EXPECT_EQ(d["hidden"]["layers"].Items.size(), i["hidden"]["layers"].Items.size());
    }
    EXPECT_EQ(i["version"].IsNull() ? 0 : static_cast<int32_t>(i["version"].Value), w.Facts.Version);
    EXPECT_EQ(i["hidden"]["groups"].Items.size(), w.Facts.HiddenGroups.size());
    // Counts: what is removed, what is tidied, and the proof.
    EXPECT_EQ(Canon(d["removed"]), Canon(i["removed"]));
    EXPECT_EQ(Canon(r["removed"]), Canon(i["removed"]));
    EXPECT_EQ(Canon(d["normalised"]), Canon(i["normalised"]));
    EXPECT_EQ(Canon(r["normalised"]), Canon(i["normalised"]));
    EXPECT_EQ(Canon(d["visible_unchanged"]), Canon(i["visible_unchanged"]));
    EXPECT_EQ(Canon(r["visible_unchanged"]), Canon(i["visible_unchanged"]));
    EXPECT_EQ(w.Removed.has_value(), !i["removed"].IsNull());
    if (w.Removed) {
      EXPECT_EQ(w.Removed->Elements, i["removed"]["elements"].Value);
      EXPECT_EQ(w.Removed->Images, i["removed"]["images"].Value);
    }
    EXPECT_EQ(w.VisibleUnchanged.has_value(), !i["visible_unchanged"].IsNull());
    if (i["elements"].Kind == TJson::Object) {
      EXPECT_EQ(w.Facts.Total, i["elements"]["total"].Value);
    }
    // Reasons: the same failure, kind, place and context, and the same sentence.
    if (name != "cutclean.jww") {
      EXPECT_EQ(Canon(d["failure"]), Canon(i["failure"]));
      EXPECT_EQ(Canon(d["detail"]), Canon(i["detail"]));
    }
    EXPECT_EQ(Canon(r["failure"]), Canon(d["failure"]));
    EXPECT_EQ(Canon(r["detail"]), Canon(d["detail"]));
    EXPECT_EQ(w.Failure.has_value(), !i["failure"].IsNull());
    if (w.Failure) {
      EXPECT_EQ(w.Failure->Context, i["failure"]["context"].Text);
      EXPECT_EQ(w.Failure->Text(), i["detail"].Text);
    }
  }
  auto at = [&](const std::vector<TJson>& lines, const std::string& name) -> const TJson& {
    for (const TJson& line : lines)
      if (fs::path(line["source"].Text).filename() == name) return line;
    static const TJson none;
    ADD_FAILURE() << name;
    return none;
  };
  // What each kind is known by.
  EXPECT_EQ(at(info, "damaged.jww")["failure"]["context"].Text, "signature");
  EXPECT_EQ(at(info, "random.jww")["failure"]["context"].Text, "signature");
  EXPECT_EQ(at(info, "fifo.jww")["detail"].Text, (Dir / "fifo.jww").string() + ": not a regular file");
  EXPECT_EQ(at(info, "cut.jww")["failure"]["kind"].Text, "truncated");
  EXPECT_EQ(at(info, "unwritable.jww")["failure"]["context"].Text, "output_file");
  // A drawing with nothing hidden that does not read to its end: info says
  // where the reading stopped; the dry run and the run never read so far.
  EXPECT_EQ(at(info, "cutclean.jww")["failure"]["kind"].Text, "truncated");
  EXPECT_TRUE(at(dry, "cutclean.jww")["failure"].IsNull());
  EXPECT_EQ(at(info, "allhidden.jww")["removed"]["elements"].Value, 2);
  // What the writer tidies is counted, and the output then does not show
  // exactly what the source showed.
  for (const auto& [name, kind, count] : {std::tuple{"caret.jww", "texts", 1}, std::tuple{"tab.jww", "texts", 1},
                                          std::tuple{"pens.jww", "pens", 1}, std::tuple{"pens.jww", "layers", 1}}) {
    EXPECT_EQ(at(run, name)["normalised"][kind].Value, count) << name << " " << kind;
    EXPECT_FALSE(at(run, name)["visible_unchanged"].Flag) << name;
    EXPECT_EQ(at(run, name)["outcome"].Text, "converted") << name;
  }
  EXPECT_TRUE(at(run, "hidden.jww")["visible_unchanged"].Flag);
  EXPECT_TRUE(at(run, "images.jww")["visible_unchanged"].Flag);
  EXPECT_EQ(at(run, "images.jww")["removed"]["images"].Value, 1);

  // The images any shown reference names are in the output with their bytes;
  // the one only a hidden text showed is not.
  const auto output = testutil::ReadAll(at(run, "images.jww")["output"].Text);
  auto holds = [&](const std::string& name) {
    std::vector<uint8_t> entry = {static_cast<uint8_t>(name.size())};
    entry.insert(entry.end(), name.begin(), name.end());
    for (const int b : {64, 0, 0, 0}) entry.push_back(static_cast<uint8_t>(b));
    entry.insert(entry.end(), 64, static_cast<uint8_t>(name[0]));
    return std::search(output.begin(), output.end(), entry.begin(), entry.end()) != output.end();
  };
  for (const std::string& name : kinds.Images) EXPECT_TRUE(holds(name)) << name;
  EXPECT_FALSE(holds("hidden.bmp"));

  // The text reports say the same: a dry run's lines, then the reason or
  // what was tidied.
  Run("convert --dry-run caret.jww cut.jww");
  const std::vector<std::string> lines = FileReport(Out);
  ASSERT_EQ(lines.size(), 8u) << Out;
  EXPECT_EQ(lines[3], "　書き出し時に整えたもの：文字 1");
  EXPECT_TRUE(lines[7].starts_with("　理由：at byte ")) << lines[7];
}

// The proof refuses a purge made wrong through the test seam: info's road
// (the inspection's), the dry run and the run refuse it alike.
TEST_F(CliTest, AProofThatFailsFailsOnEveryRoad) {
  const fs::path source = Put("plan.jww", HiddenGroupDrawing(600));
  testutil::TScopedWorkFolder work;
  std::vector<qm::TFileResult> results;
  for (const auto& [dryRun, describe] : {std::pair{true, true}, std::pair{true, false}, std::pair{false, false}}) {
    qm::TConvertOptions options;
    options.DryRun = dryRun;
    options.Describe = describe;
    options.WorkFolder = work.Path();
    // The hidden line back, moved to a shown layer past the purge's guard.
    options.AfterPurge = [](TJwwData& purged) {
      purged.EntityOrder[1].Kind = KindSen;
      ++purged.LineCount;
      purged.Lines[1].Header.LayerGroup = 0;
    };
    qm::TOutputRule outputs;
    TJwwData doc;
    results.push_back(qm::ConvertOne(source, outputs, doc, options));
  }
  for (const qm::TFileResult& r : results) {
    EXPECT_EQ(r.Outcome, qm::TOutcome::Failed);
    ASSERT_TRUE(r.Failure);
    EXPECT_EQ(r.Failure->Context, "visual_proof");
    EXPECT_EQ(r.Failure->Kind, TJwwFailure::Corrupt);
    EXPECT_EQ(r.Detail(), results[0].Detail());
    EXPECT_EQ(r.VisibleUnchanged, std::optional<bool>(false));
    EXPECT_FALSE(r.Removed);
    EXPECT_EQ(qm::ReportLines(r), qm::ReportLines(results[0]));
  }
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"plan.jww"});
}

// Both commands write their JSON by one schema (ExpectRecord), a record a
// file, a folder that cannot be read included, and the summary last.
TEST_F(CliTest, InfoAndConvertWriteOneSchema) {
  Put("plans/a.jww", HiddenGroupDrawing(600));
  Put("plans/b.jww", VisibleDrawing());
  testutil::WriteAll(Dir / "plans" / "bad.jww", testutil::Bytes("JwwData.x"));
  Put("locked/c.jww", HiddenGroupDrawing(600));
  fs::permissions(Dir / "locked", fs::perms::none);
  const bool root = geteuid() == 0;  // root reads any folder
  for (const char* command : {"info", "convert --dry-run", "convert"}) {
    SCOPED_TRACE(command);
    Run(std::string(command) + " --json -r plans locked missing.jww");
    EXPECT_EQ(Status, 1);
    std::optional<TJson> summary;
    const std::vector<TJson> lines = JsonLines(Out, &summary);
    ASSERT_TRUE(summary) << Out;
    ASSERT_EQ(lines.size(), 5u) << Out;
    if (!root) {
      EXPECT_EQ(lines[0]["source"].Text, (Dir / "locked").string());
      EXPECT_EQ(lines[0]["outcome"].Text, "unreadable");
      EXPECT_EQ(lines[0]["failure"]["context"].Text, "folder");
    }
    EXPECT_GE((*summary)["summary"]["seconds"].Value, 0);
  }
  fs::permissions(Dir / "locked", fs::perms::owner_all);
}

// ---------------------------------------------------------------------------
// The hidden information besides hidden layers.

// The members of an object of numbers, as "key n, key n" (%g).
std::string Numbers(const TJson& v) {
  std::string out;
  for (const auto& [key, value] : v.Members) {
    char n[32];
    std::snprintf(n, sizeof n, "%g", value.Value);
    out += (out.empty() ? "" : ", ") + key + " " + n;
  }
  return out;
}

// A drawing without hidden layers that holds every kind of it: a memo (CR LF
// and a tab inside, white space around), a temporary point, an auxiliary
// line, and two lines off the A3 sheet; and one plain line.
Drawing HoldsEveryKind() {
  Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.Memo = qm::Utf8ToSjis(" 図面\r\n\tA社\r\n");
  Ten temporary = Point(0, 0, 5);
  temporary.Temporary = 1;
  Sen aux = Line(0, 0, 7);
  aux.H.PenColor = 9;
  Sen left = Line(0, 0, -400);
  left.StartY = 10;
  left.EndY = 12;
  d.Elements = {Line(0, 0, 1), temporary, aux, Line(0, 0, 300), left};
  return d;
}

TEST_F(CliTest, InfoShowsEachKindOfHiddenInformation) {
  Put("d.jww", HoldsEveryKind());
  Run("info d.jww");
  EXPECT_EQ(Status, 0) << Err;
  for (const char* line : {"  memo:               7 character(s): \" 図面\\x0d\\x0a\\x09A社\\x0d\\x0a\"\n",
                           "  temporary points:   1\n", "  auxiliary elements: 1\n",
                           "  off the sheet:      2 (x -400.0 .. 301.0, y 0.0 .. 12.0 mm)\n",
                           "  nothing is hidden:  no file would be written\n"
                           "  --remove takes:     memo,off-sheet,temporary-points,auxiliary\n"})
    EXPECT_NE(Out.find(line), std::string::npos) << line << "\n" << Out;

  Run("info --json d.jww");
  std::vector<TJson> json = JsonLines(Out);
  ASSERT_EQ(json.size(), 1u) << Out;
  EXPECT_EQ(Numbers(json[0]["found"]), "memo 7, temporary_points 1, auxiliary 1, off_sheet 2");
  EXPECT_EQ(Numbers(json[0]["off_sheet_extent"]), "left -400, bottom 0, right 301, top 12");
  EXPECT_EQ(json[0]["outcome"].Text, "nothing_hidden");

  // What a conversion asked to remove all of it would do.
  Run("info --json --remove all d.jww");
  json = JsonLines(Out);
  ASSERT_EQ(json.size(), 1u) << Out;
  EXPECT_EQ(json[0]["outcome"].Text, "would_convert");
  EXPECT_EQ(Numbers(json[0]["removed"]),
            "elements 0, block_definitions 0, images 0, memo 7, temporary_points 1, auxiliary 1, off_sheet 2");
  EXPECT_FALSE(json[0]["empty_output"].Flag);
  EXPECT_TRUE(json[0]["visible_unchanged"].Flag);
  Run("info --remove memo d.jww");
  EXPECT_NE(Out.find("  and besides:        the memo (7 characters)\n"), std::string::npos) << Out;
  EXPECT_EQ(Dir.List(), std::vector<std::string>{"d.jww"});
}

TEST_F(CliTest, ConvertRemovesWhatIsAskedAndSaysWhatWent) {
  const fs::path d = Put("d.jww", HoldsEveryKind());
  Run("convert d.jww");  // nothing asked: nothing hidden, nothing written
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(ReportBody(Out), "【" + d.string() + "】\n　非表示レイヤはありませんので\n　変換をパスします。\n");

  Run("convert --remove memo --remove auxiliary d.jww");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(ReportBody(Out), "【" + d.string() + "】\n　→ " + (Dir / "d_2.JWW").string() +
                     "\n　変換を行いました。\n　ほかに削除：メモ、補助線 1\n");
  if (auto out = Loaded(Dir / "d_2.JWW")) {
    EXPECT_EQ(out->Header.Memo, "");
    EXPECT_EQ(out->TotalCount(), 4);
    EXPECT_EQ(out->PointCount, 1);  // the temporary point was not asked for
  }

  Run("convert --dry-run --remove=all d.jww");
  EXPECT_EQ(Status, 0) << Err;
  ASSERT_EQ(FileReport(Out).size(), 4u) << Out;
  EXPECT_EQ(FileReport(Out)[3], "　ほかに削除：メモ、図面外の要素 2、仮点 1、補助線 1");

  Run("convert --json --remove off-sheet,temporary-points d.jww");
  EXPECT_EQ(Status, 0) << Err;
  const std::vector<TJson> json = JsonLines(Out);
  ASSERT_EQ(json.size(), 1u) << Out;
  EXPECT_EQ(Numbers(json[0]["removed"]),
            "elements 0, block_definitions 0, images 0, memo 0, temporary_points 1, auxiliary 0, off_sheet 2");
  if (auto out = Loaded(Dir / "d_3.JWW")) {
    EXPECT_NE(out->Header.Memo, "");
    EXPECT_EQ(out->TotalCount(), 2);
  }

  for (const char* wrong : {"--remove", "--remove nothing d.jww", "--remove memo, d.jww", "--remove= d.jww",
                            "--remove memo,,auxiliary d.jww", "--remove Memo d.jww"}) {
    Run(std::string("convert ") + wrong);
    EXPECT_EQ(Status, 2) << wrong;
    EXPECT_NE(Err.find("--remove"), std::string::npos) << wrong << ": " << Err;
  }
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"d.jww", "d_2.JWW", "d_3.JWW"}));
}

// An output without any element, whatever emptied it, is said to be one.
TEST_F(CliTest, AnEmptyOutputIsSaidToBeOne) {
  Drawing all = HiddenGroupDrawing(600);
  all.Elements = {Line(1, 0, 1)};
  const fs::path a = Put("all.jww", all);
  Drawing far;
  far.Hdr.Version = 600;
  far.Elements = {Line(0, 0, 500)};
  const fs::path f = Put("far.jww", far);
  Run("convert --remove off-sheet all.jww far.jww");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(ReportBody(Out), "【" + a.string() + "】\n　→ " + (Dir / "all_2.JWW").string() +
                     "\n　変換を行いました。\n　注意：出力には要素が一つもありません\n"
                     "【" + f.string() + "】\n　→ " + (Dir / "far_2.JWW").string() +
                     "\n　変換を行いました。\n　ほかに削除：図面外の要素 1\n　注意：出力には要素が一つもありません\n");
  EXPECT_EQ(Lines(Out).back(),
            "集計：変換 2（表示一致 2、書き出しで整えたもの 0、空の図面 2）、非表示レイヤなし 0、読み込めない 0、変換出来ない 0");
  Run("convert --dry-run --json all.jww far.jww");
  const std::vector<TJson> json = JsonLines(Out);
  ASSERT_EQ(json.size(), 2u) << Out;
  EXPECT_TRUE(json[0]["empty_output"].Flag);
  EXPECT_TRUE(json[1]["empty_output"].IsNull());  // nothing hidden: no output
}

// Asked to remove every kind, info, the inspection, the dry run and the run
// agree on every drawing: what they find, what goes, and what is left.
TEST_F(CliTest, InfoTheInspectionTheDryRunAndTheRunAgreeOnTheKindsRemoved) {
  Drawing memo;
  memo.Hdr.Version = 700;
  memo.Hdr.Memo = "note";
  memo.Elements = {Line(0, 0)};
  Drawing clean;
  clean.Hdr.Version = 600;
  clean.Elements = {Line(0, 0)};
  Drawing hidden = HoldsEveryKind();
  hidden.Hdr.LayerGroups[1].State = 0;
  Sen hiddenAux = Line(1, 0, 400);  // auxiliary and off the sheet, on the hidden group: hidden only
  hiddenAux.H.PenStyle = 9;
  hidden.Elements.push_back(hiddenAux);
  Drawing far;
  far.Hdr.Version = 351;
  far.Elements = {Line(0, 0, -900)};
  auto cut = Build(clean);
  cut.resize(cut.size() - 5);  // nothing hidden, and its last line does not read
  const std::vector<std::string> names = {"memo.jww", "clean.jww", "hidden.jww", "far.jww", "cut.jww"};
  Put("memo.jww", memo);
  Put("clean.jww", clean);
  Put("hidden.jww", hidden);
  Put("far.jww", far);
  testutil::WriteAll(Dir / "cut.jww", cut);
  std::string args = " --json --remove all";
  for (const std::string& name : names) args += " " + name;
  Run("info" + args);
  const std::vector<TJson> info = JsonLines(Out);
  Run("convert --dry-run" + args);
  const std::vector<TJson> dry = JsonLines(Out);
  testutil::TScopedWorkFolder work;
  TJwwData doc;
  std::vector<qm::TFileResult> inspected;
  for (const std::string& name : names)
    inspected.push_back(qm::Inspect(Dir / name, doc, work.Path(), qm::TAlsoRemove::All()));
  Run("convert" + args);
  const std::vector<TJson> run = JsonLines(Out);
  ASSERT_EQ(info.size(), names.size());
  ASSERT_EQ(dry.size(), names.size());
  ASSERT_EQ(run.size(), names.size());
  const std::vector<std::string> outcomes = {"would_convert", "nothing_hidden", "would_convert", "would_convert",
                                             "unreadable"};
  for (size_t k = 0; k < names.size(); ++k) {
    SCOPED_TRACE(names[k]);
    const qm::TFileResult& w = inspected[k];
    EXPECT_EQ(info[k]["outcome"].Text, outcomes[k]);
    EXPECT_EQ(dry[k]["outcome"].Text, outcomes[k]);
    EXPECT_EQ(OutcomeName(w.Outcome), outcomes[k]);
    EXPECT_EQ(run[k]["outcome"].Text, outcomes[k] == "would_convert" ? "converted" : outcomes[k]);
    for (const char* key : {"found", "off_sheet_extent", "removed", "empty_output", "visible_unchanged"}) {
      EXPECT_EQ(Canon(dry[k][key]), Canon(info[k][key])) << key;
      EXPECT_EQ(Canon(run[k][key]), Canon(info[k][key])) << key;
    }
    EXPECT_EQ(w.Facts.Found.has_value(), !info[k]["found"].IsNull());
    if (w.Removed) {
      EXPECT_EQ(w.Removed->OffSheet, info[k]["removed"]["off_sheet"].Value);
      EXPECT_EQ(w.Removed->Memo, info[k]["removed"]["memo"].Value);
      EXPECT_EQ(qm::EmptyOutput(w), info[k]["empty_output"].Flag);
    }
  }
  EXPECT_EQ(Numbers(info[2]["removed"]),
            "elements 1, block_definitions 0, images 0, memo 7, temporary_points 1, auxiliary 1, off_sheet 2");
  EXPECT_EQ(Numbers(info[2]["found"]), "memo 7, temporary_points 1, auxiliary 1, off_sheet 2");
  EXPECT_TRUE(info[3]["empty_output"].Flag);
  EXPECT_EQ(info[4]["failure"]["kind"].Text, "truncated");  // a conversion asked for the kinds reads it whole
}

// A drawing whose output of an earlier run is newer than it is passed by,
// named with that output, beside it or in -o's folder, letters in any case;
// one changed since its output was made is converted again.
TEST_F(CliTest, SkipConvertedPassesByWhatAnEarlierRunConverted) {
  for (const char* name : {"a.jww", "b.jww", "c.jww", "d.jww"}) Put(name, HiddenGroupDrawing(600));
  Run("a.jww b.jww c.jww");
  ASSERT_EQ(Status, 0) << Err;
  fs::rename(Dir / "c_2.JWW", Dir / "C_2.jww");
  fs::last_write_time(Dir / "b.jww", fs::last_write_time(Dir / "b_2.JWW") + std::chrono::minutes(1));
  const std::string args = "--skip-converted a.jww b.jww c.jww d.jww";

  Run("convert --dry-run --json " + args);
  EXPECT_EQ(Status, 0) << Err;
  std::optional<TJson> summary;
  const std::vector<TJson> dry = JsonLines(Out, &summary);
  ASSERT_EQ(dry.size(), 4u) << Out;
  const std::vector<std::pair<std::string, fs::path>> expected = {{"skipped", Dir / "a_2.JWW"},
                                                                  {"would_convert", Dir / "b_3.JWW"},
                                                                  {"skipped", Dir / "C_2.jww"},
                                                                  {"would_convert", Dir / "d_2.JWW"}};
  for (size_t i = 0; i < dry.size(); ++i) {
    EXPECT_EQ(dry[i]["outcome"].Text, expected[i].first) << i;
    EXPECT_EQ(dry[i]["output"].Text, expected[i].second.string()) << i;
  }
  EXPECT_TRUE(dry[0]["version"].IsNull());  // passed by unopened
  ASSERT_TRUE(summary);
  EXPECT_EQ((*summary)["summary"]["outcomes"]["skipped"].Value, 2);

  Run("convert " + args);
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Err, "");
  EXPECT_EQ(Lines(Out),
            (std::vector<std::string>{
                "【" + (Dir / "a.jww").string() + "】", "　既に変換済みです：" + (Dir / "a_2.JWW").string(),
                "　変換をパスします。", "【" + (Dir / "b.jww").string() + "】", "　→ " + (Dir / "b_3.JWW").string(),
                "　変換を行いました。", "【" + (Dir / "c.jww").string() + "】",
                "　既に変換済みです：" + (Dir / "C_2.jww").string(), "　変換をパスします。",
                "【" + (Dir / "d.jww").string() + "】", "　→ " + (Dir / "d_2.JWW").string(), "　変換を行いました。", "",
                "集計：変換 2（表示一致 2、書き出しで整えたもの 0）、非表示レイヤなし 0、読み込めない 0、変換出来ない 0、"
                "スキップ 2"}));
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"C_2.jww", "a.jww", "a_2.JWW", "b.jww", "b_2.JWW", "b_3.JWW",
                                                  "c.jww", "d.jww", "d_2.JWW"}));
  // Quiet: nothing went wrong, nothing to say.
  Run("convert -q " + args);
  EXPECT_EQ(Status, 0);
  EXPECT_EQ(Out, "");

  // The output folder is where an earlier output is looked for.
  Put("e.jww", HiddenGroupDrawing(600));
  Run("convert -o out e.jww");
  ASSERT_EQ(Status, 0) << Err;
  Run("convert --skip-converted -o out e.jww");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(FileReport(Out), (std::vector<std::string>{"【" + (Dir / "e.jww").string() + "】",
                                                      "　既に変換済みです：" + (Dir / "out" / "e_2.JWW").string(),
                                                      "　変換をパスします。"}));
  Run("convert --skip-converted e.jww");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_TRUE(Loaded(Dir / "e_2.JWW"));
  EXPECT_EQ(testutil::TTempDir::ListOf(Dir / "out"), std::vector<std::string>{"e_2.JWW"});
}

// Converting an output of an earlier run is what the user asked for, and
// goes on as asked; the warning says what the file is.
TEST_F(CliTest, ADrawingThatIsAnEarlierOutputIsConvertedWithAWarning) {
  Put("Test6.jww", HiddenGroupDrawing(600));
  Put("Test6_2.JWW", HiddenGroupDrawing(600));  // as if its output kept something hidden
  Run("convert Test6_2.JWW");
  EXPECT_EQ(Status, 0) << Err;
  EXPECT_EQ(Err, "quillmark: " + (Dir / "Test6_2.JWW").string() +
                     " is an output of an earlier run of Test6.jww beside it; it is converted as any drawing\n");
  EXPECT_EQ(FileReport(Out)[1], "　→ " + (Dir / "Test6_2_2.JWW").string());
  // Named through a folder it is left out; info describes it without a word.
  Run("convert .");
  EXPECT_EQ(Err, "");
  EXPECT_EQ(ReportedFiles(Out), std::vector<std::string>{(Dir / "Test6.jww").string()});
  Run("info Test6_2.JWW");
  EXPECT_EQ(Status, 0);
  EXPECT_EQ(Err, "");
}

// The reason a file could not be read or converted follows its three lines
// in the report itself, in either encoding; the totals end it.
TEST_F(CliTest, TheReportStandsAloneWithItsReasonsAndTotals) {
  Put("a.jww", HiddenGroupDrawing(600));
  auto cut = Build(HiddenGroupDrawing(600));
  cut.resize(cut.size() / 2);
  WriteFile(Dir / "cut.jww", cut);
  testutil::WriteAll(Dir / "出力", testutil::Bytes("a file where the output folder should be made"));
  Run("convert -o 出力/sub cut.jww a.jww");
  EXPECT_EQ(Status, 1);
  const std::vector<std::string> utf8 = Lines(Out);
  ASSERT_EQ(utf8.size(), 10u) << Out;
  EXPECT_TRUE(utf8[3].starts_with("　理由：at byte ") && utf8[3].find(": unexpected end of file reading ") != std::string::npos)
      << utf8[3];
  EXPECT_NE(Err.find(utf8[3].substr(std::string("　理由：").size())), std::string::npos) << Err;
  EXPECT_EQ(utf8[5], "　……→ " + (Dir / "出力" / "sub" / "a_2.JWW").string());
  EXPECT_EQ(utf8[7], "　理由：cannot create the folder " + (Dir / "出力" / "sub").string() + ": Not a directory");
  EXPECT_EQ(utf8[8], "");
  EXPECT_EQ(utf8[9], "集計：変換 0、非表示レイヤなし 0、読み込めない 1、変換出来ない 1");

  // The same report as Shift-JIS bytes, line for line.
  Run("convert --encoding sjis -o 出力/sub cut.jww a.jww");
  EXPECT_EQ(Status, 1);
  const std::vector<std::string> sjis = Lines(Out);
  ASSERT_EQ(sjis.size(), utf8.size()) << Out;
  const std::string reason = rig::B("81 40 97 9D 97 52 81 46");  // 　理由：
  EXPECT_EQ(sjis[3], reason + utf8[3].substr(std::string("　理由：").size()));
  EXPECT_EQ(sjis[7], reason + "cannot create the folder " + Dir.Path().string() + "/" + rig::B("8F 6F 97 CD") +
                         "/sub: Not a directory");
  // 集計：変換 0、非表示レイヤなし 0、読み込めない 1、変換出来ない 1
  EXPECT_EQ(sjis[9], rig::B("8F 57 8C 76 81 46 95 CF 8A B7") + " 0" +
                         rig::B("81 41 94 F1 95 5C 8E A6 83 8C 83 43 83 84 82 C8 82 B5") + " 0" +
                         rig::B("81 41 93 C7 82 DD 8D 9E 82 DF 82 C8 82 A2") + " 1" +
                         rig::B("81 41 95 CF 8A B7 8F 6F 97 88 82 C8 82 A2") + " 1");

  // Quiet: the failed files and the totals; stderr keeps its messages.
  Run("convert -q -o 出力/sub a.jww cut.jww");
  EXPECT_EQ(Status, 1);
  EXPECT_EQ(ReportedFiles(Out), (std::vector<std::string>{(Dir / "a.jww").string(), (Dir / "cut.jww").string()}));
  EXPECT_EQ(Lines(Out).back(), "集計：変換 0、非表示レイヤなし 0、読み込めない 1、変換出来ない 1");
  EXPECT_NE(Err.find("cut.jww"), std::string::npos);
}

// "help" is a command: the overview, or a command's help, which the
// command's --help shows too.
TEST_F(CliTest, HelpShowsTheOverviewOrACommandsHelp) {
  Run("help");
  EXPECT_EQ(Status, 0) << Err;
  const std::string overview = Out;
  for (const char* args : {"--help", "-h", "help help", "help --help"}) {
    Run(args);
    EXPECT_EQ(Status, 0) << args;
    EXPECT_EQ(Out, overview) << args;
  }
  for (const char* command : {"  convert ", "  info ", "  render ", "  help ", "--skip-converted", "--all"})
    EXPECT_NE(overview.find(command), std::string::npos) << command;

  // Each command's own: its options, and no other command's.
  struct TCase {
    std::string Command;
    std::vector<std::string> Has, HasNot;
  };
  const std::vector<TCase> cases = {
      {"convert", {"  -o, --output-dir", "  --dry-run", "  --skip-converted", "  -j, --jobs", "  --encoding"},
       {"  --all", "render DRAWING"}},
      {"info", {"  -r, --recursive", "  --all", "  --json", "quillmark info --json"},
       {"  -o, --output-dir", "  --dry-run", "  --skip-converted", "quillmark convert"}},
      {"render", {"  --hidden mark", "  --layers-all"}, {"  --skip-converted", "  --all"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Command);
    Run("help " + c.Command);
    EXPECT_EQ(Status, 0) << Err;
    const std::string help = Out;
    EXPECT_NE(help, overview);
    for (const std::string& text : c.Has) EXPECT_NE(help.find(text), std::string::npos) << text;
    for (const std::string& text : c.HasNot) EXPECT_EQ(help.find(text), std::string::npos) << text;
    Run(c.Command + " --help");
    EXPECT_EQ(Status, 0);
    EXPECT_EQ(Out, help);
  }

  for (const char* args : {"help bogus", "help convert info", "help rendr"}) {
    Run(args);
    EXPECT_EQ(Status, 2) << args;
    EXPECT_EQ(Out, "") << args;
  }
  EXPECT_NE(Err.find("did you mean 'render'"), std::string::npos) << Err;
}

}  // namespace
