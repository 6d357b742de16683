// quillmark: the command-line front end. Runs the same batch driver as the
// window: plain models stand in for the list and the status bar, the batch
// observer draws the progress line and writes each file's report to stdout
// as soon as the file is done.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "Unit1.h"
#include "Unit2.h"
#include "console.h"
#include "fileio.h"
#include "info.h"
#include "paths.h"
#include "render.h"
#include "report.h"
#include "textconv.h"

#ifndef QUILLMARK_VERSION
#define QUILLMARK_VERSION "0.0.0"
#endif

namespace {

namespace fs = std::filesystem;

std::atomic<bool> g_Interrupted{false};

extern "C" void OnInterrupt(int) { g_Interrupted = true; }

#ifdef _WIN32
constexpr bool ExpandWildcards = true;  // cmd and PowerShell hand patterns over as they are
#else
constexpr bool ExpandWildcards = false;  // the shell has expanded them: a * is a character of a name
#endif

const char* const Usage =
    "Usage: quillmark [convert] [OPTIONS] PATH...\n"
    "       quillmark info [--json] [-r] [--encoding ENC] PATH...\n"
    "       quillmark render DRAWING.jww [-o OUT.svg] [--hidden omit|mark|only] [--layers-all]\n"
    "\n"
    "Removes the hidden content of JWW drawings. For every drawing that has a\n"
    "hidden layer group or layer, writes NAME_2.JWW (or _3, _4, ...: the first\n"
    "free name) beside it, or in the folder of -o, without the elements on\n"
    "hidden groups and layers, with their names emptied and without the block\n"
    "definitions nothing reaches. The source files are never changed.\n"
    "\n"
    "A PATH is a drawing, or a folder: its *.jww files (any letter case) in\n"
    "name order, without the outputs of earlier runs (NAME_2.JWW beside\n"
    "NAME.jww)."
#ifdef _WIN32
    " A pattern with * or ? in its last part (*.jww, plans\\*.JWW)\n"
    "stands for the matching names of its folder, letters regardless of case.\n"
#else
    "\n"
#endif
    "\n"
    "Commands:\n"
    "  convert PATH...       convert the drawings in order, report each when done\n"
    "                        (the default when the first argument is a path)\n"
    "                          quillmark convert plans/a.jww plans/b.jww\n"
    "  info PATH...          show version, elements, block definitions, images and\n"
    "                        hidden layers, and what a conversion would remove\n"
    "                          quillmark info plans\n"
    "  render DRAWING        draw it as an SVG picture, hidden material left out,\n"
    "                        marked or alone (quillmark render --help)\n"
    "                          quillmark render plans/a.jww --hidden mark\n"
    "\n"
    "Options:\n"
    "  -r, --recursive       folders with their subfolders\n"
    "                          quillmark convert -r project\n"
    "  -o, --output-dir DIR  write the outputs to DIR (created when needed; the\n"
    "                        next free NAME_N.JWW there); with -r the subfolders\n"
    "                        below a named folder are made again in DIR\n"
    "                          quillmark convert -r -o cleaned project\n"
    "  --dry-run             load and check every drawing, report the output name\n"
    "                        and what would be removed, write nothing\n"
    "                          quillmark convert --dry-run -r project\n"
    "  --json                one JSON object a line on stdout, written as each file\n"
    "                        is done (convert: source, output, outcome, detail,\n"
    "                        failure, removed, seconds; info: a JSON array);\n"
    "                        always UTF-8, bytes of a name that are not UTF-8\n"
    "                        as \\udcXX\n"
    "                          quillmark convert --json project > report.jsonl\n"
    "  -q, --quiet           report only the files that failed\n"
    "                          quillmark convert -q -r project\n"
    "  --encoding ENC        text report in utf8 (default) or sjis (Shift-JIS)\n"
    "                          quillmark convert --encoding sjis a.jww > report.txt\n"
    "  -h, --help            show this help\n"
    "  -V, --version         show the version\n"
    "  --                    the arguments after it are paths\n"
    "                          quillmark convert -- -draft.jww\n"
    "\n"
    "Exit status: 0 when every file was converted or had nothing hidden (or, in\n"
    "a dry run, would be converted), 1 when a file was missing, not .JWW,\n"
    "unreadable or failed, or the report could not be written, 2 for a usage\n"
    "error, 130 when interrupted (the batch stops after the file in progress).\n";

struct TOptions {
  std::string Command;
  bool Json = false, Sjis = false, Recursive = false, DryRun = false, Quiet = false;
  std::optional<fs::path> OutputDir;
  std::vector<fs::path> Paths;
};

// The batch's progress becomes a line on the console; each file's report
// (its lines, or its JSON object) goes to stdout as soon as it is done, and
// what went wrong with it to stderr. A report that cannot be written stops
// the batch.
class TCliObserver : public qm::IBatchObserver {
 public:
  TCliObserver(const qm::TPlainStatusBar& status, const qm::TForm2& report, const TOptions& options)
      : Status_(status), Report_(report), Options_(options),
        SjisBytes_(options.Sjis && !qm::IsConsole(qm::TStdStream::Out)) {}
  void BatchStarted(int count) override { Total_ = count; }
  void FileStarted(int index, const fs::path&) override {
    Started_ = std::chrono::steady_clock::now();
    FirstLine_ = Report_.Lines().size();
    Progress_.Show("[" + std::to_string(index + 1) + "/" + std::to_string(Total_) + "] " + Status_.SimpleText());
  }
  void FileFinished(int, const qm::TFileResult& result) override {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started_).count();
    Progress_.Clear();
    ++Finished_;
    Messages(result);
    if (WriteFailed_ || (Options_.Quiet && !qm::IsFailure(result.Outcome))) return;
    std::string text;
    if (Options_.Json) {
      text = qm::ResultJson(result, seconds) + "\n";
    } else {
      const std::vector<std::string>& lines = Report_.Lines();
      for (size_t i = FirstLine_; i < lines.size(); ++i) text += lines[i] + "\n";
      if (SjisBytes_) text = qm::Utf8ToSjis(text);
    }
    WriteFailed_ = !qm::WriteReport(std::cout, text, WriteProblem_);
  }
  void BatchFinished(bool interrupted) override {
    Progress_.Clear();
    Interrupted_ = interrupted;
  }
  int Finished() const noexcept { return Finished_; }
  bool AnyFailed() const noexcept { return AnyFailed_; }
  bool Interrupted() const noexcept { return Interrupted_; }
  bool WriteFailed() const noexcept { return WriteFailed_; }
  const std::string& WriteProblem() const noexcept { return WriteProblem_; }

 private:
  void Messages(const qm::TFileResult& r) {
    if (!r.Warning.empty()) std::cerr << "quillmark: " << r.Warning << "\n";
    if (!qm::IsFailure(r.Outcome)) return;
    AnyFailed_ = true;
    std::cerr << "quillmark: ";
    if (r.Outcome == qm::TOutcome::NotFound) {
      std::cerr << qm::PathToUtf8(r.Source) << ": no such file\n";
    } else if (r.Outcome == qm::TOutcome::NotJww) {
      std::cerr << qm::PathToUtf8(r.Source) << ": not a .JWW file\n";
    } else {
      std::cerr << (r.Outcome == qm::TOutcome::Unreadable ? "unreadable" : "not converted")
                << (r.Failure != TJwwFailure::None ? std::string(" (") + FailureName(r.Failure) + ")" : "") << ": "
                << (r.Detail.empty() ? qm::PathToUtf8(r.Source) : r.Detail) << "\n";
    }
    std::cerr.flush();
  }

  const qm::TPlainStatusBar& Status_;
  const qm::TForm2& Report_;
  const TOptions& Options_;
  const bool SjisBytes_;
  qm::TProgressLine Progress_;
  std::chrono::steady_clock::time_point Started_;
  size_t FirstLine_ = 0;
  int Total_ = 0, Finished_ = 0;
  bool AnyFailed_ = false, Interrupted_ = false, WriteFailed_ = false;
  std::string WriteProblem_;
};

// Ctrl+C, and a report that cannot be written, stop the batch after the file
// in progress.
class TCliApplication : public qm::IApplication {
 public:
  explicit TCliApplication(const TCliObserver& observer) : Observer_(observer) {}
  bool ProcessMessages() override { return !g_Interrupted && !Observer_.WriteFailed(); }

 private:
  const TCliObserver& Observer_;
};

// The result window: the report has been written file by file already.
class TCliResultView : public qm::IResultView {
 public:
  void ShowModal(const qm::TForm2&) override {}
};

fs::path Absolute(const fs::path& path) {
  std::error_code ec;
  fs::path full = fs::absolute(path, ec).lexically_normal();
  if (ec) return path;
  if (full.filename().empty() && full.has_relative_path()) full = full.parent_path();  // no trailing separator
  return full;
}

int Convert(const std::vector<qm::TSource>& sources, const TOptions& options) {
  qm::TPlainListBox list;
  // Every named file gets its report, also the ones that do not exist or are
  // not JWW files; a file named twice is converted once. Two names are the
  // same file when their paths agree or, for files that exist, when they
  // lead to the same file (links included). Looked up by hash: the time
  // before the first conversion grows with the files, not with their pairs.
  std::unordered_set<std::string> paths;
  std::set<std::pair<uint64_t, uint64_t>> identities;
  std::unordered_map<fs::path::string_type, fs::path> subFolders;
  for (const qm::TSource& source : sources) {
    if (g_Interrupted) {
      std::cerr << "quillmark: interrupted before the first conversion\n";
      return 130;
    }
    const fs::path full = Absolute(source.Path);
    const auto identity = qm::FileIdentity(full);
    if (!paths.insert(qm::PathToUtf8(full)).second || (identity && !identities.insert(*identity).second)) {
      std::cerr << "quillmark: " << qm::PathToUtf8(source.Path) << " is named more than once; converting it once\n";
      continue;
    }
    list.Add(full);
    if (!source.SubFolder.empty()) subFolders.emplace(full.native(), source.SubFolder);
  }
  qm::TPlainStatusBar status;
  qm::TPlainBounds mainBounds(qm::TForm1::DesignLeft, qm::TForm1::DesignTop, qm::TForm1::DesignWidth,
                              qm::TForm1::DesignHeight);
  qm::TPlainBounds resultBounds(qm::TForm2::DesignLeft, qm::TForm2::DesignTop, qm::TForm2::DesignWidth,
                                qm::TForm2::DesignHeight);
  TCliResultView view;
  qm::TForm2 form2(view, resultBounds);
  TCliObserver observer(status, form2, options);
  TCliApplication app(observer);
  qm::TForm1 form1(list, status, app, mainBounds, form2, observer);
  form1.DryRun = options.DryRun;
  if (options.OutputDir) {
    const fs::path outputDir = Absolute(*options.OutputDir);
    form1.OutputFolderFor = [&subFolders, outputDir](const fs::path& source) {
      const auto it = subFolders.find(source.native());
      return it == subFolders.end() ? outputDir : outputDir / it->second;
    };
  }
  form1.StartWork(qm::SystemTempFolder());
  form1.Button3Click();
  if (const std::string problem = form1.EndWork(); !problem.empty()) std::cerr << "quillmark: " << problem << "\n";

  if (observer.WriteFailed()) {
    std::cerr << "quillmark: " << observer.WriteProblem() << "; stopped after " << observer.Finished() << " of "
              << list.Count() << " files\n";
    return 1;
  }
  if (observer.Interrupted()) {
    std::cerr << "quillmark: interrupted; " << observer.Finished() << " of " << list.Count()
              << " files were processed\n";
    return 130;
  }
  return observer.AnyFailed() ? 1 : 0;
}

// The arguments as UTF-8 (on Windows from the wide command line, so that any
// file name works whatever the console's code page).
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  std::vector<std::string> args;
  int n = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
    for (int i = 1; i < n; ++i) args.push_back(qm::PathToUtf8(fs::path(wide[i])));
    LocalFree(wide);
  }
  return args;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

int UsageError(const std::string& message) {
  std::cerr << "quillmark: " << message << "\nTry 'quillmark --help'.\n";
  return 2;
}

// Reads the arguments into options. Returns -1 to go on, else the exit status
// (help, version, a usage error).
int ParseArguments(const std::vector<std::string>& args, TOptions& o) {
  bool endOfOptions = false;
  auto setEncoding = [&](const std::string& value) {
    if (value == "sjis" || value == "shift_jis" || value == "cp932") o.Sjis = true;
    else if (value == "utf8" || value == "utf-8") o.Sjis = false;
    else return false;
    return true;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto next = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    if (endOfOptions || a.size() < 2 || a[0] != '-') {
      if (o.Command.empty() && o.Paths.empty() && !endOfOptions && (a == "convert" || a == "info")) o.Command = a;
      else o.Paths.push_back(qm::PathFromUtf8(a));
    } else if (a == "--") {
      endOfOptions = true;
    } else if (a == "--help") {
      std::cout << Usage;
      return 0;
    } else if (a == "--version") {
      std::cout << "quillmark " << QUILLMARK_VERSION << "\n";
      return 0;
    } else if (a == "--json") {
      o.Json = true;
    } else if (a == "--dry-run") {
      o.DryRun = true;
    } else if (a == "--quiet") {
      o.Quiet = true;
    } else if (a == "--recursive") {
      o.Recursive = true;
    } else if (a == "--encoding" || a.starts_with("--encoding=")) {
      std::string v = a.size() > 10 ? a.substr(11) : "";
      if (a == "--encoding" && !next(v)) return UsageError("--encoding needs a value (utf8 or sjis)");
      if (!setEncoding(v)) return UsageError("unknown encoding '" + v + "' (use utf8 or sjis)");
    } else if (a == "--output-dir" || a.starts_with("--output-dir=")) {
      std::string v = a.size() > 12 ? a.substr(13) : "";
      if (a == "--output-dir" && !next(v)) return UsageError("--output-dir needs a folder");
      if (v.empty()) return UsageError("--output-dir needs a folder");
      o.OutputDir = qm::PathFromUtf8(v);
    } else if (a[1] == '-') {
      return UsageError("unknown option '" + a + "'");
    } else {
      // Short options, also run together (-rq, -ro DIR, -oDIR).
      for (size_t k = 1; k < a.size(); ++k) {
        const char c = a[k];
        if (c == 'h') {
          std::cout << Usage;
          return 0;
        } else if (c == 'V') {
          std::cout << "quillmark " << QUILLMARK_VERSION << "\n";
          return 0;
        } else if (c == 'r') {
          o.Recursive = true;
        } else if (c == 'q') {
          o.Quiet = true;
        } else if (c == 'o') {
          std::string v = a.substr(k + 1);
          if (v.empty() && !next(v)) return UsageError("-o needs a folder");
          if (v.empty()) return UsageError("-o needs a folder");
          o.OutputDir = qm::PathFromUtf8(v);
          break;
        } else {
          return UsageError("unknown option '-" + std::string(1, c) + "'");
        }
      }
    }
  }
  if (o.Command.empty()) o.Command = "convert";
  if (o.Paths.empty()) return UsageError("no files or folders given");
  if (o.Command == "info") {
    if (o.OutputDir) return UsageError("-o is an option of 'convert'");
    if (o.DryRun) return UsageError("--dry-run is an option of 'convert'");
    if (o.Quiet) return UsageError("-q is an option of 'convert'");
  }
  if (o.Json && o.Sjis) return UsageError("--json is always UTF-8; --encoding sjis is for the text report");
  if (o.OutputDir) {
    std::error_code ec;
    if (qm::EntryExists(*o.OutputDir) && !fs::is_directory(*o.OutputDir, ec))
      return UsageError(qm::PathToUtf8(*o.OutputDir) + " is not a folder");
  }
  return -1;
}

int Main(int argc, char** argv) {
  const std::vector<std::string> args = Arguments(argc, argv);
  if (!args.empty() && args[0] == "render") return qm::RunRender({args.begin() + 1, args.end()}, std::cout, std::cerr);
  TOptions options;
  if (const int status = ParseArguments(args, options); status >= 0) return status;

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
#ifdef SIGPIPE
  // A closed pipe is a failing write of the report, told by the stream.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  try {
    qm::TPathRules rules;
    rules.Recursive = options.Recursive;
    rules.Wildcards = ExpandWildcards;
    if (options.OutputDir) rules.SkipFolder = *options.OutputDir;
    const qm::TExpansion expansion = qm::ExpandPaths(options.Paths, rules, g_Interrupted);
    for (const std::string& problem : expansion.Problems) std::cerr << "quillmark: " << problem << "\n";
    if (expansion.Interrupted) {
      std::cerr << "quillmark: interrupted before the first conversion\n";
      return 130;
    }
    const int walked = expansion.Problems.empty() ? 0 : 1;  // a folder that could not be read
    if (expansion.Sources.empty()) {
      std::cerr << "quillmark: no drawings found\n";
      return walked;
    }
    std::vector<fs::path> files;
    for (const qm::TSource& source : expansion.Sources) files.push_back(source.Path);
    const int status = options.Command == "info"
                           ? qm::RunInfo(files, options.Json, options.Sjis && !qm::IsConsole(qm::TStdStream::Out),
                                         g_Interrupted, std::cout, std::cerr)
                           : Convert(expansion.Sources, options);
    return status == 0 ? walked : status;
  } catch (const std::exception& e) {
    std::cerr << "quillmark: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  qm::TConsoleScope console;
  return Main(argc, argv);
}
