#include "Unit1.h"

#include <algorithm>
#include <atomic>
#include <array>
#include <charconv>
#include <optional>
#include <fstream>
#include <functional>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "Func_.h"
#include "fileio.h"
#include "messages.h"
#include "paths.h"
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

void TForm1::FormShow(const std::filesystem::path& executable) {
  ProgramFolder = executable.parent_path() / "";
  Store_ = TSettingsStore(executable, AppDataFolder, InstalledCopy);
  LoadSettings(Store_.ReadFrom());
  LoadViewSettings(TSettingsStore::ViewSettingsPathFor(Store_.ReadFrom()));
  if (InstalledCopy) {
    WorkFolder.clear();
    StartWork({});
  } else {
    WorkFolder = ProgramFolder / "TEMP";
    std::error_code ec;
    std::filesystem::create_directory(WorkFolder, ec);  // may exist already or be refused
    StartWork(WorkFolder);
  }
  ListBox1_.Clear();
}

void TForm1::FormClose() {
  EndWork();  // the inspections, the document, then everything of ours in the run's work folder, then the folder
  if (!WorkFolder.empty()) {
    std::error_code ec;
    std::filesystem::remove(WorkFolder, ec);  // stays when other files are in it
  }
  SaveAllSettings();
}

bool TForm1::SaveAllSettings() { return Store_.Save(SettingsText(), View); }

void TForm1::StartWork(const std::filesystem::path& workParent) {
  EndWork();
  try {
    if (!workParent.empty()) WorkScope_ = std::make_unique<TWorkFolderScope>(workParent);
  } catch (const std::exception&) {
  }
  if (!WorkScope_) {
    // None asked for (an installed program), or a program folder without
    // write access: the system's temporary folder.
    try {
      FallbackTempFolder_ = SystemTempFolder() / "Quillmark";
      WorkScope_ = std::make_unique<TWorkFolderScope>(FallbackTempFolder_);
    } catch (const std::exception&) {
      WorkScope_.reset();  // images cannot be extracted; such drawings fail to load
    }
  }
  Document = std::make_unique<TJwwData>();
  if (InspectionsReady) Inspector_ = std::make_unique<TInspector>(RunFolder(), InspectionsReady, InspectionWorkers);
}

std::string TForm1::EndWork() {
  Inspector_.reset();  // its workers use the work folder: they end first
  PreviewTicket_ = 0;
  for (auto& [key, row] : Rows_) row.Ticket = 0;
  Tickets_.clear();
  Uninspected_ = 0;
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
  TListUpdate update(ListBox1_);
  for (const std::filesystem::path& file : files) {
    if (!CanList(file)) continue;
    std::u16string key = ListKey(file);
    if (!listed.insert(key).second) continue;
    ListBox1_.Add(file);
    TRow& row = Rows_[key] = TRow{};
    row.Path = file;
    if (Inspector_) {
      row.Ticket = Inspector_->Submit(file);
      Tickets_.emplace(row.Ticket, std::move(key));
      ++Uninspected_;
    }
    SortColumn_ = -1;  // the new items are at the end: the list is no longer in sorted order
  }
}

void TForm1::ListExpanded(const std::vector<std::filesystem::path>& paths) {
  std::vector<std::filesystem::path> named;
  for (const std::filesystem::path& p : paths)
    if (!p.empty()) named.push_back(p);
  // A folder stands for its drawings as on the command line; anything else
  // is taken as it is named.
  const std::atomic<bool> never{false};
  std::vector<std::filesystem::path> files;
  for (const TSource& source : ExpandPaths(named, TPathRules{}, never).Sources) files.push_back(source.Path);
  ListFiles(files);
}

void TForm1::Forget(const std::filesystem::path& item) {
  const auto row = Rows_.find(ListKey(item));
  if (row == Rows_.end()) return;
  if (row->second.Ticket && Tickets_.erase(row->second.Ticket)) {
    if (Inspector_) Inspector_->Cancel(row->second.Ticket);
    --Uninspected_;
  }
  Rows_.erase(row);
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
  ListExpanded(dropped);
  return true;
}

bool TForm1::AddFolder(const std::filesystem::path& folder) {
  if (Busy_) return false;
  if (folder.empty()) return true;  // the dialog was cancelled
  LastFolder = folder / "";
  ListExpanded({folder});
  return true;
}

void TForm1::AddPaths(const std::vector<std::filesystem::path>& paths) {
  if (Busy_) {
    Deferred_.insert(Deferred_.end(), paths.begin(), paths.end());
    return;
  }
  ListExpanded(paths);
}

bool TForm1::Button2Click() {
  if (Busy_) return false;
  if (ListBox1_.Count() == 0 || ListBox1_.ItemIndex() < 0) return true;
  TListUpdate update(ListBox1_);
  for (int i = ListBox1_.Count() - 1; i >= 0; --i) {
    if (!ListBox1_.Selected(i)) continue;
    Forget(ListBox1_.Item(i));
    ListBox1_.Delete(i);
  }
  return true;
}

const TRow* TForm1::RowOf(const std::filesystem::path& item) const {
  const auto row = Rows_.find(ListKey(item));
  return row == Rows_.end() ? nullptr : &row->second;
}

void TForm1::TakeInspections() {
  if (!Inspector_) return;
  bool changed = false;
  for (TInspector::TDone& done : Inspector_->Take()) {
    if (done.Preview) {
      if (done.Ticket == PreviewTicket_) {
        Preview_ = std::move(done.Preview);
        PreviewTicket_ = 0;
      }
      continue;
    }
    const auto ticket = Tickets_.find(done.Ticket);
    if (ticket == Tickets_.end()) continue;  // removed from the list meanwhile
    TRow& row = Rows_.at(ticket->second);
    row.Inspection = std::move(done.Inspection);
    row.Inspected = true;
    Tickets_.erase(ticket);
    --Uninspected_;
    changed = true;
  }
  if (changed) ListBox1_.RowsChanged();
}

void TForm1::RequestPreview(const std::filesystem::path& item) {
  if (!Inspector_ || (Preview_ && Preview_->Source == item && !PreviewTicket_)) return;
  if (PreviewTicket_) Inspector_->Cancel(PreviewTicket_);
  Preview_.reset();
  PreviewTicket_ = Inspector_->SubmitPreview(item);
}

bool TForm1::SortBy(int column) {
  if (Busy_ || column < 0 || column >= ColumnCount) return false;
  SortAscending_ = column == SortColumn_ ? !SortAscending_ : true;
  SortColumn_ = column;
  const bool ascending = SortAscending_;
  ListBox1_.Sort([this, column, ascending](const std::filesystem::path& a, const std::filesystem::path& b) {
    const TRow *x = RowOf(a), *y = RowOf(b);
    if (!x || !y) return x && !y;
    const int c = CompareRows(*x, *y, column);
    return ascending ? c < 0 : c > 0;
  });
  return true;
}

void TForm1::StopBatch() {
  if (Busy_) StopRequested_ = true;
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
    if (F_.Application_.ProcessMessages() && !F_.StopRequested_) return true;
    Select(k, false);
    return false;
  }
  bool FileFinished(int k, const TFileResult& result) override {
    F_.Form2_.AppendFile(result);
    F_.Results_.push_back(result);
    if (const auto row = F_.Rows_.find(ListKey(result.Source)); row != F_.Rows_.end()) {
      row->second.Result = result;
      F_.ListBox1_.RowsChanged();
    }
    Select(k, false);
    F_.Observer_.FileFinished(k, result);
    return F_.Application_.ProcessMessages() && !F_.StopRequested_;
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
  {
  TFlagGuard busy(Busy_);
  Interrupted_ = false;
  StopRequested_ = false;
  Results_.clear();
  Form2_.ClearLines();
  ListBox1_.ClearSelection();
  for (auto& [key, row] : Rows_) row.Result.reset();
  ListBox1_.RowsChanged();
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
  // Several at once: a file on each worker and two more waiting for the
  // disk, so that Stop ends the batch after those few.
  options.Workers = BatchWorkers;
  if (BatchWorkers != 1)
    options.InFlight = (BatchWorkers > 0 ? BatchWorkers : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))) + 2;

  Observer_.BatchStarted(count);
  // The batch works on the list's names, its outputs' rule and the document
  // alone, so a runner may run it on a thread of its own.
  TJwwData* document = Document.get();
  const IBatchRunner::TBody body = [&batch, &outputs, &options, document](IBatchCallback& callback) {
    return ConvertBatch(batch.Names(), outputs, options, callback, document);
  };
  TDirectBatchRunner direct;
  Interrupted_ = (BatchRunner ? *BatchRunner : direct).Run(body, batch).Interrupted;
  StopRequested_ = false;
  Form2_.FinishBatch(count, Interrupted_);
  StatusBar1_.SetSimpleText(std::string(Msg::IdleHint));
  Observer_.BatchFinished(Interrupted_);
  }
  // What a second start handed over meanwhile.
  if (!Deferred_.empty()) ListExpanded(std::exchange(Deferred_, {}));
  Form2_.ShowModal();
}

void TForm1::LoadSettings(const std::filesystem::path& path) {
  LastFolder = ProgramFolder;
  // Each value is applied as its line is read; a line that could not be
  // read, and those after it, leave what is there.
  const TSettingsLines lines = TSettingsStore::ReadLines(path);
  auto number = [&](size_t k) { return Func_::StrToIntOrZero(*lines[k]); };
  IWindowBounds& result = Form2_.Bounds();
  const std::array<std::function<void()>, 10> apply = {
      [&] { Bounds_.SetLeft(number(0)); },
      [&] { Bounds_.SetTop(number(1)); },
      [&] { Bounds_.SetWidth(number(2)); },
      [&] { Bounds_.SetHeight(number(3)); },
      [&] { ListBox1_.SetWidth(std::clamp(number(4), 20, 2000)); },
      [&] { result.SetLeft(number(5)); },
      [&] { result.SetTop(number(6)); },
      [&] { result.SetWidth(number(7)); },
      [&] { result.SetHeight(number(8)); },
      [&] { LastFolder = FolderFromSettingsLine(*lines[9]); },
  };
  for (size_t k = 0; k < lines.size() && lines[k]; ++k) apply[k]();
}

std::string TForm1::SettingsText() const {
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
  const IWindowBounds& result = Form2_.Bounds();
  add(std::to_string(result.Left()));
  add(std::to_string(result.Top()));
  add(std::to_string(result.Width()));
  add(std::to_string(result.Height()));
  add(PathToUtf8(LastFolder));
  return text;
}

bool TForm1::SaveSettings(const std::filesystem::path& path) const {
  return TSettingsStore::WriteWhole(path, SettingsText());
}

void TForm1::LoadViewSettings(const std::filesystem::path& path) {
  TSettingsStore::ReadView(path, View, static_cast<size_t>(ColumnCount));
}

bool TForm1::SaveViewSettings(const std::filesystem::path& path) const {
  return TSettingsStore::WriteWhole(path, TSettingsStore::ViewText(View));
}

}  // namespace qm
