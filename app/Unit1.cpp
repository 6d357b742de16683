#include "Unit1.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <system_error>
#include <unordered_set>

#include "Func_.h"
#include "fileio.h"
#include "messages.h"
#include "purge.h"
#include "textconv.h"

namespace qm {

namespace {

// Sets a flag for the lifetime of a scope, also when it is left by an exception.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : Flag_(flag) { Flag_ = true; }
  ~TFlagGuard() { Flag_ = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& Flag_;
};

// A line of the settings file (line 10) back to a folder: UTF-8 as written by
// this program, or the Shift-JIS of older settings files.
std::filesystem::path FolderFromSettingsLine(const std::string& line) {
  if (IsValidUtf8(line)) return PathFromUtf8(line);
  if (auto path = PathFromSjis(line)) return *path;
  return PathFromUtf8(line);
}

}  // namespace

TForm1::TForm1(IListBox& list, IStatusBar& status, IApplication& application, IWindowBounds& bounds, TForm2& form2,
               IBatchObserver& observer)
    : ListBox1_(list),
      StatusBar1_(status),
      Application_(application),
      Bounds_(bounds),
      Form2_(form2),
      Observer_(observer) {}

TForm1::~TForm1() { EndWork(); }

std::filesystem::path TForm1::SettingsPathFor(const std::filesystem::path& executable) {
  std::filesystem::path p = executable;
  p.replace_extension(".dat");
  return p;
}

void TForm1::FormShow(const std::filesystem::path& executable) {
  ProgramFolder = executable.parent_path() / "";
  SettingsPath_ = SettingsPathFor(executable);
  LoadSettings(SettingsPath_);
  WorkFolder = ProgramFolder / "TEMP";
  std::error_code ec;
  std::filesystem::create_directory(WorkFolder, ec);  // may exist already or be refused
  StartWork(WorkFolder);
  ListBox1_.Clear();
}

void TForm1::FormClose() {
  EndWork();  // the document, then everything of ours in the run's work folder, then the folder
  if (!WorkFolder.empty()) {
    std::error_code ec;
    std::filesystem::remove(WorkFolder, ec);  // stays when other files are in it
  }
  SaveSettings(SettingsPath_);
}

void TForm1::StartWork(const std::filesystem::path& workParent) {
  EndWork();
  try {
    WorkScope_ = std::make_unique<TWorkFolderScope>(workParent);
  } catch (const std::exception&) {
    // A program folder without write access (an installed program): use the
    // system's temporary folder instead.
    try {
      FallbackTempFolder_ = SystemTempFolder() / "Quillmark";
      WorkScope_ = std::make_unique<TWorkFolderScope>(FallbackTempFolder_);
    } catch (const std::exception&) {
      WorkScope_.reset();  // images cannot be extracted; such drawings fail to load
    }
  }
  Document = std::make_unique<TJwwData>();
}

std::string TForm1::EndWork() {
  Document.reset();
  std::string problem;
  if (WorkScope_) problem = WorkScope_->Close();  // removes what is ours in it, then the folder
  WorkScope_.reset();
  if (!FallbackTempFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove(FallbackTempFolder_, ec);  // stays while another instance uses it
    FallbackTempFolder_.clear();
  }
  return problem;
}

std::filesystem::path TForm1::OutputPathFor(const std::filesystem::path& source) {
  return TOutputRule::FirstFree(source, source.parent_path());
}

std::filesystem::path TForm1::OutputPathFor(const std::filesystem::path& source, const std::filesystem::path& folder,
                                            const std::function<bool(const std::filesystem::path&)>& taken) {
  return TOutputRule::FirstFree(source, folder, taken);
}

// The key under which the list holds a file: its path with every letter
// upper-cased, so that names differing only in letter case are one entry.
std::u16string TForm1::ListKey(const std::filesystem::path& file) { return TOutputRule::Key(file); }

bool TForm1::CanList(const std::filesystem::path& file) const {
  return !file.empty() && UpperExtension(file) == ".JWW" && FileExists(file);
}

void TForm1::ListFiles(const std::vector<std::filesystem::path>& files) {
  // The list's entries are looked up by key, once per call: adding many
  // files costs as much per file as adding one.
  std::unordered_set<std::u16string> listed;
  listed.reserve(static_cast<size_t>(ListBox1_.Count()) + files.size());
  for (int i = 0; i < ListBox1_.Count(); ++i) listed.insert(ListKey(ListBox1_.Item(i)));
  for (const std::filesystem::path& file : files)
    if (CanList(file) && listed.insert(ListKey(file)).second) ListBox1_.Add(file);
}

bool TForm1::Button1Click(const std::vector<std::filesystem::path>& chosen) {
  if (Busy_) return false;
  if (chosen.empty()) return true;  // the dialog was cancelled
  LastFolder = chosen.front().parent_path() / "";
  ListFiles(chosen);
  return true;
}

bool TForm1::WMDropFiles(const std::vector<std::filesystem::path>& dropped) {
  if (Busy_) return false;
  ListFiles(dropped);
  return true;
}

bool TForm1::Button2Click() {
  if (Busy_) return false;
  if (ListBox1_.Count() == 0 || ListBox1_.ItemIndex() < 0) return true;
  for (int i = ListBox1_.Count() - 1; i >= 0; --i)
    if (ListBox1_.Selected(i)) ListBox1_.Delete(i);
  return true;
}

bool TForm1::Button4Click() {
  if (Busy_) {
    CloseRequested_ = true;
    return false;
  }
  return true;
}

// The batch as the window runs it: each file is selected and named in the
// status bar while it is converted, its report lines go to the result
// window, and the window handles its messages before and after it.
class TForm1::TBatch : public IBatchCallback {
 public:
  TBatch(TForm1& form, std::vector<std::filesystem::path> names) : F_(form), Names_(std::move(names)) {}
  const std::vector<std::filesystem::path>& Names() const noexcept { return Names_; }

  bool FileStarted(int k, const std::filesystem::path& name) override {
    Select(k, true);
    F_.StatusBar1_.SetSimpleText(std::string(Msg::Converting) + Printable(PathToUtf8(name)) +
                                 std::string(Msg::ConvertingEnd));
    F_.Observer_.FileStarted(k, name);
    if (F_.Application_.ProcessMessages()) return true;
    Select(k, false);
    return false;
  }
  bool FileFinished(int k, const TFileResult& result) override {
    for (const std::string& line : result.Lines) F_.Form2_.AppendLine(line);
    F_.Results_.push_back(result);
    Select(k, false);
    F_.Observer_.FileFinished(k, result);
    return F_.Application_.ProcessMessages();
  }

 private:
  // The batch works on the list as it was when Convert was pressed; should
  // the list change meanwhile, the selection follows only the same items.
  void Select(int k, bool on) {
    if (k < F_.ListBox1_.Count() && F_.ListBox1_.Item(k) == Names_[static_cast<size_t>(k)])
      F_.ListBox1_.SetSelected(k, on);
  }

  TForm1& F_;
  std::vector<std::filesystem::path> Names_;
};

void TForm1::Button3Click() {
  if (Busy_ || ListBox1_.Count() == 0) return;
  TFlagGuard busy(Busy_);
  Interrupted_ = false;
  Results_.clear();
  Form2_.ClearLines();
  ListBox1_.ClearSelection();
  if (!Document) Document = std::make_unique<TJwwData>();

  std::vector<std::filesystem::path> names;
  const int count = ListBox1_.Count();
  for (int k = 0; k < count; ++k) names.push_back(ListBox1_.Item(k));
  TBatch batch(*this, std::move(names));
  TOutputRule outputs;
  outputs.FolderFor = OutputFolderFor;
  TConvertOptions options;
  options.DryRun = DryRun;
  if (WorkScope_) options.WorkFolder = WorkScope_->Folder();

  Observer_.BatchStarted(count);
  Interrupted_ = ConvertBatch(batch.Names(), outputs, options, batch, Document.get()).Interrupted;
  StatusBar1_.SetSimpleText(std::string(Msg::IdleHint));
  Observer_.BatchFinished(Interrupted_);
  Form2_.ShowModal();
}

void TForm1::LoadSettings(const std::filesystem::path& path) {
  LastFolder = ProgramFolder;
  if (!FileExists(path)) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  // Each value is applied as soon as its line is read. Past the end of a
  // short file the lines read as empty; a read error stops reading.
  auto next = [&](std::string& line) {
    line.clear();
    if (in.bad()) return false;
    std::getline(in, line);
    if (in.bad()) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  };
  std::string line;
  auto number = [&]() { return Func_::StrToIntOrZero(line); };
  if (!next(line)) return;
  Bounds_.SetLeft(number());
  if (!next(line)) return;
  Bounds_.SetTop(number());
  if (!next(line)) return;
  Bounds_.SetWidth(number());
  if (!next(line)) return;
  Bounds_.SetHeight(number());
  if (!next(line)) return;
  ListBox1_.SetWidth(std::clamp(number(), 20, 2000));
  IWindowBounds& result = Form2_.Bounds();
  if (!next(line)) return;
  result.SetLeft(number());
  if (!next(line)) return;
  result.SetTop(number());
  if (!next(line)) return;
  result.SetWidth(number());
  if (!next(line)) return;
  result.SetHeight(number());
  if (!next(line)) return;
  LastFolder = FolderFromSettingsLine(line);
}

void TForm1::SaveSettings(const std::filesystem::path& path) {
  if (path.empty()) return;
  std::string text;
  auto add = [&](const std::string& line) {
    text += line;
    text += "\r\n";
  };
  add(std::to_string(Bounds_.Left()));
  add(std::to_string(Bounds_.Top()));
  add(std::to_string(Bounds_.Width()));
  add(std::to_string(Bounds_.Height()));
  add(std::to_string(ListBox1_.Width()));
  IWindowBounds& result = Form2_.Bounds();
  add(std::to_string(result.Left()));
  add(std::to_string(result.Top()));
  add(std::to_string(result.Width()));
  add(std::to_string(result.Height()));
  add(PathToUtf8(LastFolder));
  // Written beside the settings file and moved over it when complete, so a
  // failure leaves the previous settings (or none), never a partial file.
  try {
    TTempFile temp(path.parent_path());
    temp.File().Write(text.data(), text.size());
    temp.File().Sync();
    temp.CommitReplacing(path);
  } catch (const std::exception&) {
    // The temporary file has gone with temp; the settings stay as they were.
  }
}

}  // namespace qm
