// quillmark: the command-line front end. Runs the batch of the window's
// Convert (ConvertBatch, the same road for every file) with a callback of its
// own that writes each file's report to stdout as soon as the file is done.
#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
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

#include "convert.h"
#include "console.h"
#include "earlier.h"
#include "fileio.h"
#include "help.h"
#include "info.h"
#include "record.h"
#include "paths.h"
#include "picture.h"
#include "report.h"
#include "textconv.h"
#include "workfolder.h"

#ifndef QUILLMARK_VERSION
#define QUILLMARK_VERSION "0.0.0"
#endif

namespace {

using namespace qm;

namespace fs = std::filesystem;

std::atomic<bool> g_Interrupted{false};

extern "C" void OnInterrupt(int) { g_Interrupted = true; }

#ifdef _WIN32
constexpr bool ExpandWildcards = true;  // cmd and PowerShell hand patterns over as they are
#else
constexpr bool ExpandWildcards = false;  // the shell has expanded them: a * is a character of a name
#endif

struct TOptions {
  std::string Command;
  bool Json = false, Sjis = false, Recursive = false, DryRun = false, Quiet = false, All = false;
  bool SkipConverted = false;
  std::optional<fs::path> OutputDir;
  qm::TAlsoRemove Remove;
  int Jobs = 0;  // files converted at once; 0: as many as the machine has processors
  std::vector<fs::path> Paths;
};

// The batch's progress becomes a line on the console; each file's record
// (its report lines, info's description, or its JSON object) goes to stdout
// as soon as the file is done, and what went wrong with it to stderr. The
// report ends with the totals: a JSON report's summary, a conversion's
// totals line (a quiet one's only after a file was reported). Ctrl+C, and a
// report that cannot be written, stop the batch after the file in progress.
class TCliBatch : public qm::IBatchCallback {
 public:
  TCliBatch(int total, const TOptions& options)
      : Options_(options),
        Info_(options.Command == "info"),
        SjisBytes_(options.Sjis && !qm::IsConsole(qm::TStdStream::Out)),
        Total_(total),
        Started_(std::chrono::steady_clock::now()) {}
  bool FileStarted(int index, const fs::path& source) override {
    if (g_Interrupted || WriteFailed_) return false;
    Progress_.Show("[" + std::to_string(index + 1) + "/" + std::to_string(Total_) + "] " +
                   qm::Printable(qm::PathToUtf8(source)));
    return true;
  }
  bool FileFinished(int, const qm::TFileResult& result) override {
    Progress_.Clear();
    ++Finished_;
    Report(result);
    return !g_Interrupted && !WriteFailed_;
  }
  // A path that is no file's: a folder that could not be read.
  void Report(const qm::TFileResult& r) {
    Totals_.Add(r);
    Messages(r);
    const bool failed = qm::IsFailure(r.Outcome) || r.Failure;
    if (WriteFailed_ || (Options_.Quiet && !failed)) return;
    std::string text;
    if (Options_.Json) {
      text = qm::RecordJson(r) + "\n";
    } else {
      if (Info_) {
        text = (Reported_ ? "\n" : "") + qm::InfoText(r, Options_.All);
      } else {
        for (const std::string& line : qm::ReportLines(r)) text += line + "\n";
      }
      if (SjisBytes_) text = qm::Utf8ToSjis(text);
    }
    ++Reported_;
    WriteFailed_ = !qm::WriteReport(std::cout, text, WriteProblem_);
  }
  // The end of the report, of total files (the folders that could not be
  // read among them): its totals.
  void Done(int total, bool interrupted) {
    Progress_.Clear();
    if (WriteFailed_) return;
    if (Options_.Json) {
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started_).count();
      WriteFailed_ = !qm::WriteReport(std::cout, qm::SummaryJson(Totals_, seconds) + "\n", WriteProblem_);
    } else if (!Info_ && (!Options_.Quiet || Reported_ > 0)) {
      std::string text;
      for (const std::string& line : qm::ClosingLines(Totals_, total, interrupted)) text += line + "\n";
      if (SjisBytes_) text = qm::Utf8ToSjis(text);
      WriteFailed_ = !qm::WriteReport(std::cout, text, WriteProblem_);
    }
  }
  int Finished() const noexcept { return Finished_; }
  bool AnyFailed() const noexcept { return AnyFailed_; }
  bool WriteFailed() const noexcept { return WriteFailed_; }
  const std::string& WriteProblem() const noexcept { return WriteProblem_; }

 private:
  void Messages(const qm::TFileResult& r) {
    if (!r.Warning.empty()) std::cerr << "quillmark: " << qm::Printable(r.Warning) << "\n";
    const std::string message = qm::FailureMessage(r);
    if (message.empty()) return;
    AnyFailed_ = true;
    std::cerr << "quillmark: " << message << "\n";
    std::cerr.flush();
  }

  const TOptions& Options_;
  const bool Info_, SjisBytes_;
  qm::TProgressLine Progress_;
  int Total_ = 0, Finished_ = 0, Reported_ = 0;
  bool AnyFailed_ = false, WriteFailed_ = false;
  std::string WriteProblem_;
  qm::TTotals Totals_;
  const std::chrono::steady_clock::time_point Started_;
};

fs::path Absolute(const fs::path& path) {
  std::error_code ec;
  fs::path full = fs::absolute(path, ec).lexically_normal();
  if (ec) return path;
  if (full.filename().empty() && full.has_relative_path()) full = full.parent_path();  // no trailing separator
  return full;
}

// Convert and info alike: the named drawings along the road, a record each,
// and first a record for each folder that could not be read.
int RunBatch(const qm::TExpansion& expansion, const TOptions& options) {
  const bool info = options.Command == "info";
  std::vector<fs::path> files;
  // Every named file gets its record, also the ones that do not exist or are
  // not JWW files; a file named twice is taken once. Two names are the same
  // file when their paths agree or, for files that exist, when they lead to
  // the same file (links included). Looked up by hash: the time before the
  // first file grows with the files, not with their pairs.
  std::unordered_set<std::string> paths;
  std::set<std::pair<uint64_t, uint64_t>> identities;
  std::unordered_map<fs::path::string_type, fs::path> subFolders;
  for (const qm::TSource& source : expansion.Sources) {
    if (g_Interrupted) {
      std::cerr << "quillmark: interrupted before the first drawing\n";
      return 130;
    }
    const fs::path full = Absolute(source.Path);
    const auto identity = qm::FileIdentity(full);
    if (!paths.insert(qm::PathToUtf8(full)).second || (identity && !identities.insert(*identity).second)) {
      std::cerr << "quillmark: " << qm::PathToUtf8(source.Path) << " is named more than once; taking it once\n";
      continue;
    }
    files.push_back(full);
    if (!source.SubFolder.empty()) subFolders.emplace(full.native(), source.SubFolder);
  }
  qm::TOutputRule outputs;
  if (options.OutputDir) {
    const fs::path outputDir = Absolute(*options.OutputDir);
    outputs.FolderFor = [&subFolders, outputDir](const fs::path& source) {
      const auto it = subFolders.find(source.native());
      return it == subFolders.end() ? outputDir : outputDir / it->second;
    };
  }
  std::optional<qm::TWorkFolderScope> work;
  try {
    work.emplace(qm::SystemTempFolder());
  } catch (const std::exception& e) {
    std::cerr << "quillmark: " << e.what() << "; drawings with embedded images cannot be converted\n";
  }
  qm::TConvertOptions convert;
  convert.DryRun = options.DryRun || info;
  convert.Describe = info;
  convert.Remove = options.Remove;
  convert.Workers = options.Jobs;
  if (work) convert.WorkFolder = work->Folder();
  // A drawing named that an earlier run made is converted as asked, with a word.
  qm::TEarlierRuns earlier;
  if (!info)
    for (const fs::path& file : files)
      if (const auto source = earlier.SourceOf(file))
        std::cerr << "quillmark: " << qm::Printable(qm::PathToUtf8(file)) << " is an output of an earlier run of "
                  << qm::Printable(qm::PathToUtf8(source->filename()))
                  << " beside it; it is converted as any drawing\n";
  // The drawings converted already, looked up before the first is converted.
  std::unordered_map<fs::path::string_type, fs::path> converted;
  if (options.SkipConverted) {
    for (const fs::path& file : files)
      if (const auto output = earlier.Converted(file, outputs.FolderOf(file))) converted.emplace(file.native(), output->Path);
    convert.AlreadyConverted = [&converted](const fs::path& source) {
      const auto it = converted.find(source.native());
      return it == converted.end() ? fs::path() : it->second;
    };
  }
  TCliBatch observer(static_cast<int>(files.size()), options);
  for (const TFailure& problem : expansion.Problems) {
    qm::TFileResult folder;
    folder.Source = problem.Path;
    folder.Outcome = qm::TOutcome::Unreadable;
    folder.Failure = problem;
    observer.Report(folder);
  }
  const qm::TBatchResult batch =
      files.empty() ? qm::TBatchResult{} : qm::ConvertBatch(files, outputs, convert, observer);
  observer.Done(static_cast<int>(files.size() + expansion.Problems.size()), batch.Interrupted);
  if (work)
    if (const std::string problem = work->Close(); !problem.empty()) std::cerr << "quillmark: " << problem << "\n";

  if (observer.WriteFailed()) {
    std::cerr << "quillmark: " << observer.WriteProblem() << "; stopped after " << observer.Finished() << " of "
              << files.size() << " files\n";
    return 1;
  }
  if (batch.Interrupted) {
    std::cerr << "quillmark: interrupted; " << observer.Finished() << " of " << files.size()
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

constexpr std::array<const char*, 2> Commands = {"convert", "info"};
// The words a mistyped command is compared with.
constexpr std::array<const char*, 4> Suggested = {"convert", "info", "render", "help"};

bool IsCommand(const std::string& word) {
  return std::find_if(Commands.begin(), Commands.end(), [&](const char* c) { return word == c; }) != Commands.end();
}

// A first word that names nothing on disk and has nothing of a path about it
// (no folder delimiter, no dot of an extension, no pattern) was meant as a
// command.
bool LooksLikeCommand(const std::string& word) {
  if (word.find_first_of("/\\.*?:") != std::string::npos) return false;
  return !qm::EntryExists(qm::PathFromUtf8(word));
}

// The command nearest to a mistyped word (at most two letters added, dropped,
// changed or swapped), or empty.
std::string NearestCommand(const std::string& word) {
  std::string best;
  size_t bestDistance = 3;
  for (const char* command : Suggested) {
    const std::string c = command;
    // Optimal string alignment distance.
    std::vector<std::vector<size_t>> d(word.size() + 1, std::vector<size_t>(c.size() + 1));
    for (size_t i = 0; i <= word.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= c.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= word.size(); ++i)
      for (size_t j = 1; j <= c.size(); ++j) {
        const size_t cost = std::tolower(static_cast<unsigned char>(word[i - 1])) == c[j - 1] ? 0 : 1;
        d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
        if (i > 1 && j > 1 && word[i - 1] == c[j - 2] && word[i - 2] == c[j - 1])
          d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    if (d[word.size()][c.size()] < bestDistance) {
      bestDistance = d[word.size()][c.size()];
      best = c;
    }
  }
  return best;
}

int UsageError(const std::string& message) {
  std::cerr << "quillmark: " << message << "\nTry 'quillmark --help'.\n";
  return 2;
}

// "quillmark help [COMMAND]": the command's help, or the overview.
int Help(const std::vector<std::string>& args) {
  if (args.size() > 1) return UsageError("help takes one command at most");
  const std::string command = args.empty() || args[0] == "--help" || args[0] == "-h" ? "" : args[0];
  const std::optional<std::string> text = qm::HelpText(command);
  if (!text) {
    const std::string nearest = NearestCommand(command);
    return UsageError("no command '" + qm::Printable(command) + "'" +
                      (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)"));
  }
  std::cout << *text;
  return 0;
}

// Reads the arguments into options. Returns -1 to go on, else the exit status
// (help, version, a usage error).
int ParseArguments(const std::vector<std::string>& args, TOptions& o) {
  bool endOfOptions = false;
  auto setJobs = [&](const std::string& value) {
    if (value.empty() || value.size() > 2 || value.find_first_not_of("0123456789") != std::string::npos) return false;
    const int n = std::stoi(value);
    if (n < 1 || n > 64) return false;
    o.Jobs = n;
    return true;
  };
  // --remove memo,off-sheet,temporary-points,auxiliary or all, each word once or more.
  auto addRemove = [&](const std::string& value) {
    for (size_t from = 0; from <= value.size();) {
      const size_t comma = std::min(value.find(',', from), value.size());
      const std::string word = value.substr(from, comma - from);
      if (word == "memo") o.Remove.Memo = true;
      else if (word == "off-sheet") o.Remove.OffSheet = true;
      else if (word == "temporary-points") o.Remove.TemporaryPoints = true;
      else if (word == "auxiliary") o.Remove.Auxiliary = true;
      else if (word == "all") o.Remove = qm::TAlsoRemove::All();
      else return std::optional<std::string>(word);
      from = comma + 1;
    }
    return std::optional<std::string>();
  };
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
      const bool first = o.Command.empty() && o.Paths.empty() && !endOfOptions;
      if (first && IsCommand(a)) {
        o.Command = a;
      } else if (first && LooksLikeCommand(a)) {
        // A mistyped command must not convert the paths after it.
        const std::string nearest = NearestCommand(a);
        return UsageError("unknown command '" + qm::Printable(a) + "'" +
                          (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)") +
                          "; to convert a file of that name, write ./" + qm::Printable(a) + " or put -- before it");
      } else {
        o.Paths.push_back(qm::PathFromUtf8(a));
      }
    } else if (a == "--") {
      endOfOptions = true;
    } else if (a == "--help") {
      std::cout << *qm::HelpText(o.Command);
      return 0;
    } else if (a == "--version") {
      std::cout << "quillmark " << QUILLMARK_VERSION << "\n";
      return 0;
    } else if (a == "--json") {
      o.Json = true;
    } else if (a == "--dry-run") {
      o.DryRun = true;
    } else if (a == "--skip-converted") {
      o.SkipConverted = true;
    } else if (a == "--all") {
      o.All = true;
    } else if (a == "--quiet") {
      o.Quiet = true;
    } else if (a == "--recursive") {
      o.Recursive = true;
    } else if (a == "--encoding" || a.starts_with("--encoding=")) {
      std::string v = a.size() > 10 ? a.substr(11) : "";
      if (a == "--encoding" && !next(v)) return UsageError("--encoding needs a value (utf8 or sjis)");
      if (!setEncoding(v)) return UsageError("unknown encoding '" + v + "' (use utf8 or sjis)");
    } else if (a == "--remove" || a.starts_with("--remove=")) {
      std::string v = a.size() > 8 ? a.substr(9) : "";
      if (a == "--remove" && !next(v)) return UsageError("--remove needs what to remove");
      if (const std::optional<std::string> bad = addRemove(v))
        return UsageError("--remove takes memo, off-sheet, temporary-points, auxiliary or all, not '" +
                          qm::Printable(*bad) + "'");
    } else if (a == "--jobs" || a.starts_with("--jobs=")) {
      std::string v = a.size() > 6 ? a.substr(7) : "";
      if (a == "--jobs" && !next(v)) return UsageError("--jobs needs a number");
      if (!setJobs(v)) return UsageError("--jobs needs a number from 1 to 64, not '" + qm::Printable(v) + "'");
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
          std::cout << *qm::HelpText(o.Command);
          return 0;
        } else if (c == 'V') {
          std::cout << "quillmark " << QUILLMARK_VERSION << "\n";
          return 0;
        } else if (c == 'r') {
          o.Recursive = true;
        } else if (c == 'q') {
          o.Quiet = true;
        } else if (c == 'j') {
          std::string v = a.substr(k + 1);
          if (v.empty() && !next(v)) return UsageError("-j needs a number");
          if (!setJobs(v)) return UsageError("-j needs a number from 1 to 64, not '" + qm::Printable(v) + "'");
          break;
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
    if (o.Jobs) return UsageError("-j is an option of 'convert'");
    if (o.SkipConverted) return UsageError("--skip-converted is an option of 'convert'");
  } else if (o.All) {
    return UsageError("--all is an option of 'info'");
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
  if (!args.empty() && args[0] == "help") return Help({args.begin() + 1, args.end()});
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
    if (expansion.Interrupted) {
      std::cerr << "quillmark: interrupted before the first drawing\n";
      return 130;
    }
    if (expansion.Sources.empty() && expansion.Problems.empty()) {
      std::cerr << "quillmark: no drawings found\n";
      return 0;
    }
    return RunBatch(expansion, options);
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
