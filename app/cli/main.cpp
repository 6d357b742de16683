// quillmark: the command-line front end. Runs the same batch driver as the
// window: plain models stand in for the list and the status bar, the batch
// observer draws the progress line, and the report goes to stdout.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <set>
#include <unordered_set>
#include <string>
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
#include "messages.h"
#include "textconv.h"

#ifndef QUILLMARK_VERSION
#define QUILLMARK_VERSION "0.0.0"
#endif

namespace {

std::atomic<bool> g_Interrupted{false};

extern "C" void OnInterrupt(int) { g_Interrupted = true; }

const char* const Usage =
    "Usage: quillmark [convert] [options] FILE...\n"
    "       quillmark info [--json] FILE...\n"
    "\n"
    "Removes the hidden content of JWW drawings. For every drawing that has a\n"
    "hidden layer group or layer, writes NAME_2.JWW (or _3, _4, ...) beside it\n"
    "without the elements on hidden groups and layers, with their names emptied\n"
    "and without the block definitions nothing reaches. The source files are\n"
    "never changed.\n"
    "\n"
    "Commands:\n"
    "  convert FILE...     convert the drawings in order and print the report\n"
    "                      (the default when the first argument is a file)\n"
    "  info FILE...        show version, elements, block definitions, images and\n"
    "                      hidden layers, and what a conversion would remove\n"
    "\n"
    "Options:\n"
    "  --encoding ENC      report encoding: utf8 (default) or sjis\n"
    "  --json              info as JSON\n"
    "  -h, --help          show this help\n"
    "  -V, --version       show the version\n"
    "  --                  the arguments after it are files\n"
    "\n"
    "Exit status: 0 when every file was converted or had nothing hidden,\n"
    "1 when a file was missing, not .JWW, unreadable or failed, 2 for a usage\n"
    "error, 130 when interrupted.\n";

// The batch's progress becomes a line on the console, and how each file
// ended decides the exit status and the messages on stderr.
class TCliObserver : public qm::IBatchObserver {
 public:
  explicit TCliObserver(const qm::TPlainStatusBar& status) : Status_(status) {}
  void BatchStarted(int count) override { Total_ = count; }
  void FileStarted(int index, const std::filesystem::path&) override {
    Progress_.Show("[" + std::to_string(index + 1) + "/" + std::to_string(Total_) + "] " + Status_.SimpleText());
  }
  void FileFinished(int, const qm::TFileResult& result) override { Results_.push_back(result); }
  void BatchFinished(bool interrupted) override {
    Progress_.Clear();
    Interrupted_ = interrupted;
  }
  const std::vector<qm::TFileResult>& Results() const noexcept { return Results_; }
  bool Interrupted() const noexcept { return Interrupted_; }

 private:
  const qm::TPlainStatusBar& Status_;
  qm::TProgressLine Progress_;
  std::vector<qm::TFileResult> Results_;
  int Total_ = 0;
  bool Interrupted_ = false;
};

class TCliApplication : public qm::IApplication {
 public:
  bool ProcessMessages() override { return !g_Interrupted; }
};

// The result window becomes the report on stdout: as text on a console, as
// UTF-8 or Shift-JIS bytes otherwise.
class TCliResultView : public qm::IResultView {
 public:
  explicit TCliResultView(bool sjis) : Sjis_(sjis) {}
  void ShowModal(const qm::TForm2& form) override {
    const std::string text = form.Text("\n");
    const bool bytes = Sjis_ && !qm::IsConsole(qm::TStdStream::Out);
    std::cout << (bytes ? qm::Utf8ToSjis(text) : text) << std::flush;
  }

 private:
  bool Sjis_;
};

int Convert(const std::vector<std::filesystem::path>& files, bool sjis) {
  qm::TPlainListBox list;
  // Every named file gets its report lines, also the ones that do not exist
  // or are not JWW files; a file named twice is converted once. Two names are
  // the same file when their paths agree or, for files that exist, when they
  // lead to the same file (links included). Looked up by hash: the time
  // before the first conversion grows with the files, not with their pairs.
  std::unordered_set<std::string> paths;
  std::set<std::pair<uint64_t, uint64_t>> identities;
  for (const std::filesystem::path& file : files) {
    if (g_Interrupted) {
      std::cerr << "quillmark: interrupted before the first conversion\n";
      return 130;
    }
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(file, ec).lexically_normal();
    if (ec) full = file;
    const auto identity = qm::FileIdentity(full);
    const bool listed = !paths.insert(qm::PathToUtf8(full)).second || (identity && !identities.insert(*identity).second);
    if (listed) {
      std::cerr << "quillmark: " << qm::PathToUtf8(file) << " is named more than once; converting it once\n";
      continue;
    }
    list.Add(full);
  }
  qm::TPlainStatusBar status;
  TCliObserver observer(status);
  TCliApplication app;
  qm::TPlainBounds mainBounds(qm::TForm1::DesignLeft, qm::TForm1::DesignTop, qm::TForm1::DesignWidth,
                              qm::TForm1::DesignHeight);
  qm::TPlainBounds resultBounds(qm::TForm2::DesignLeft, qm::TForm2::DesignTop, qm::TForm2::DesignWidth,
                                qm::TForm2::DesignHeight);
  TCliResultView view(sjis);
  qm::TForm2 form2(view, resultBounds);
  qm::TForm1 form1(list, status, app, mainBounds, form2, observer);
  form1.StartWork(qm::SystemTempFolder());
  form1.Button3Click();
  if (const std::string problem = form1.EndWork(); !problem.empty()) std::cerr << "quillmark: " << problem << "\n";

  int exitCode = 0;
  for (const qm::TFileResult& r : observer.Results()) {
    if (!r.Warning.empty()) std::cerr << "quillmark: " << r.Warning << "\n";
    switch (r.Outcome) {
      case qm::TOutcome::Converted:
      case qm::TOutcome::NothingHidden:
        break;
      case qm::TOutcome::NotFound:
        std::cerr << "quillmark: " << qm::PathToUtf8(r.Source) << ": no such file\n";
        exitCode = 1;
        break;
      case qm::TOutcome::NotJww:
        std::cerr << "quillmark: " << qm::PathToUtf8(r.Source) << ": not a .JWW file\n";
        exitCode = 1;
        break;
      case qm::TOutcome::Unreadable:
      case qm::TOutcome::Failed:
        std::cerr << "quillmark: " << (r.Outcome == qm::TOutcome::Unreadable ? "unreadable" : "not converted")
                  << (r.Failure != TJwwFailure::None ? std::string(" (") + FailureName(r.Failure) + ")" : "") << ": "
                  << (r.Detail.empty() ? qm::PathToUtf8(r.Source) : r.Detail) << "\n";
        exitCode = 1;
        break;
    }
  }
  if (observer.Interrupted()) {
    std::cerr << "quillmark: interrupted; " << observer.Results().size() << " of " << list.Count()
              << " files were processed\n";
    return 130;
  }
  return exitCode;
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
    for (int i = 1; i < n; ++i) args.push_back(qm::PathToUtf8(std::filesystem::path(wide[i])));
    LocalFree(wide);
  }
  return args;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

int Main(int argc, char** argv) {
  const std::vector<std::string> args = Arguments(argc, argv);
  std::string command;
  bool json = false, sjis = false, endOfOptions = false;
  std::vector<std::filesystem::path> files;
  auto usageError = [](const std::string& message) {
    std::cerr << "quillmark: " << message << "\nTry 'quillmark --help'.\n";
    return 2;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!endOfOptions && a == "--") {
      endOfOptions = true;
    } else if (!endOfOptions && (a == "-h" || a == "--help")) {
      std::cout << Usage;
      return 0;
    } else if (!endOfOptions && (a == "-V" || a == "--version")) {
      std::cout << "quillmark " << QUILLMARK_VERSION << "\n";
      return 0;
    } else if (!endOfOptions && a == "--json") {
      json = true;
    } else if (!endOfOptions && (a == "--encoding" || a.starts_with("--encoding="))) {
      std::string value;
      if (a == "--encoding") {
        if (i + 1 >= args.size()) return usageError("--encoding needs a value (utf8 or sjis)");
        value = args[++i];
      } else {
        value = a.substr(11);
      }
      if (value == "sjis" || value == "shift_jis" || value == "cp932") sjis = true;
      else if (value == "utf8" || value == "utf-8") sjis = false;
      else return usageError("unknown encoding '" + value + "' (use utf8 or sjis)");
    } else if (!endOfOptions && a.size() > 1 && a[0] == '-') {
      return usageError("unknown option '" + a + "'");
    } else if (command.empty() && files.empty() && !endOfOptions && (a == "convert" || a == "info")) {
      command = a;
    } else {
      files.push_back(qm::PathFromUtf8(a));
    }
  }
  if (command.empty()) command = "convert";
  if (files.empty()) return usageError("no files given");
  if (json && command != "info") return usageError("--json is an option of 'info'");

  if (command == "info") return qm::RunInfo(files, json, std::cout, std::cerr);

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  try {
    return Convert(files, sjis);
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
