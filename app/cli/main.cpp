// quillmark: the command-line front end. Runs the same batch driver as the
// window, with the terminal as list, status bar and result window.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "Unit1.h"
#include "Unit2.h"
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

class TCliList : public qm::IListBox {
 public:
  int Count() const override { return static_cast<int>(Items_.size()); }
  std::filesystem::path Item(int i) const override { return Items_[static_cast<size_t>(i)]; }
  void Add(const std::filesystem::path& item) override {
    Items_.push_back(item);
    Selected_.push_back(false);
  }
  void Delete(int i) override {
    Items_.erase(Items_.begin() + i);
    Selected_.erase(Selected_.begin() + i);
  }
  void Clear() override {
    Items_.clear();
    Selected_.clear();
  }
  bool Selected(int i) const override { return Selected_[static_cast<size_t>(i)]; }
  void SetSelected(int i, bool on) override { Selected_[static_cast<size_t>(i)] = on; }
  void ClearSelection() override { Selected_.assign(Selected_.size(), false); }
  int ItemIndex() const override { return -1; }
  int Width() const override { return qm::TForm1::DesignListWidth; }
  void SetWidth(int) override {}

 private:
  std::vector<std::filesystem::path> Items_;
  std::vector<bool> Selected_;
};

// The status bar becomes a progress line on stderr, shown only on a terminal.
class TCliStatus : public qm::IStatusBar {
 public:
  TCliStatus(int total, bool show) : Total_(total), Show_(show) {}
  void SetSimpleText(const std::string& text) override {
    if (!Show_) return;
    if (text == qm::Msg::IdleHint) {
      std::fputs("\r\x1b[K", stderr);
    } else {
      ++Current_;
      std::fprintf(stderr, "\r\x1b[K[%d/%d] %s", Current_, Total_, text.c_str());
    }
    std::fflush(stderr);
  }

 private:
  int Total_, Current_ = 0;
  bool Show_;
};

class TCliApplication : public qm::IApplication {
 public:
  bool ProcessMessages() override { return !g_Interrupted; }
};

// The result window becomes the report on stdout.
class TCliResultView : public qm::IResultView {
 public:
  explicit TCliResultView(bool sjis) : Sjis_(sjis) {}
  void ShowModal(const qm::TForm2& form) override {
    const std::string text = form.Text("\n");
    const std::string out = Sjis_ ? qm::Utf8ToSjis(text) : text;
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
  }

 private:
  bool Sjis_;
};

int Convert(const std::vector<std::filesystem::path>& files, bool sjis) {
  TCliList list;
  // Every named file gets its report lines, also the ones that do not exist
  // or are not JWW files; a file named twice is converted once.
  // Two names are the same file when their paths agree or, for files that
  // exist, when they lead to the same file (links included).
  auto same = [](const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a == b) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
  };
  for (const std::filesystem::path& file : files) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(file, ec).lexically_normal();
    if (ec) full = file;
    bool listed = false;
    for (int i = 0; i < list.Count() && !listed; ++i) listed = same(list.Item(i), full);
    if (listed) {
      std::cerr << "quillmark: " << qm::PathToUtf8(file) << " is named more than once; converting it once\n";
      continue;
    }
    list.Add(full);
  }
  TCliStatus status(list.Count(), isatty(fileno(stderr)) != 0);
  TCliApplication app;
  qm::TPlainBounds mainBounds(qm::TForm1::DesignLeft, qm::TForm1::DesignTop, qm::TForm1::DesignWidth,
                              qm::TForm1::DesignHeight);
  qm::TPlainBounds resultBounds(qm::TForm2::DesignLeft, qm::TForm2::DesignTop, qm::TForm2::DesignWidth,
                                qm::TForm2::DesignHeight);
  TCliResultView view(sjis);
  qm::TForm2 form2(view, resultBounds);
  qm::TForm1 form1(list, status, app, mainBounds, form2);
  form1.StartWork(qm::SystemTempFolder());
  form1.Button3Click();
  if (const std::string problem = form1.EndWork(); !problem.empty()) std::cerr << "quillmark: " << problem << "\n";

  int exitCode = 0;
  for (const qm::TFileResult& r : form1.Results()) {
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
        std::cerr << "quillmark: " << (r.Detail.empty() ? qm::PathToUtf8(r.Source) : r.Detail) << "\n";
        exitCode = 1;
        break;
    }
  }
  if (form1.Interrupted()) {
    std::cerr << "quillmark: interrupted; " << form1.Results().size() << " of " << list.Count()
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
  SetConsoleOutputCP(CP_UTF8);
  return args;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv) {
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
