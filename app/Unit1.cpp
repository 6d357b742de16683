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

// A line of the settings file (line 10) back to a folder: UTF-8 as written by
// this program, or the Shift-JIS of older settings files.
std::filesystem::path FolderFromSettingsLine(const std::string& line) {
  if (IsValidUtf8(line)) return PathFromUtf8(line);
  if (auto path = PathFromSjis(line)) return *path;
  return PathFromUtf8(line);
}

}  // namespace

TForm1::TForm1(IStatusBar& status, IWindowBounds& bounds, TForm2& form2)
    : StatusBar1_(status), Bounds_(bounds), Form2_(form2) {}

TForm1::~TForm1() { EndWork(); }

void TForm1::FormShow(const std::filesystem::path& executable) {
  ProgramFolder = executable.parent_path() / "";
  Store_ = TSettingsStore(executable, Setup.UserFolder, Setup.InstalledCopy);
  LoadSettings(Store_.ReadFrom());
  LoadViewSettings(TSettingsStore::ViewSettingsPathFor(Store_.ReadFrom()));
  if (Setup.InstalledCopy) {
    WorkFolder_.clear();
  } else {
    WorkFolder_ = ProgramFolder / "TEMP";
    std::error_code ec;
    std::filesystem::create_directory(WorkFolder_, ec);  // may exist already or be refused
  }
  StartWork(WorkFolder_);
  ListBox1_.Clear();
}

void TForm1::FormClose() {
  EndWork();  // the inspections, the document, then everything of ours in the run's work folder, then the folder
  if (!WorkFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove(WorkFolder_, ec);  // stays when other files are in it
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
  if (Setup.InspectionsReady)
    Inspector_ = std::make_unique<TInspector>(RunFolder(), Setup.InspectionsReady, Setup.InspectionWorkers);
}

std::string TForm1::EndWork() {
  Inspector_.reset();  // its workers use the work folder: they end first
  PreviewTicket_ = 0;
  for (const auto& [ticket, item] : Tickets_)
    if (TRow* row = ListBox1_.Find(item)) row->Ticket = 0;
  Tickets_.clear();
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

std::string NotListedLine(const std::vector<std::filesystem::path>& refused) {
  std::string line = std::string(Msg::NotListed) + Printable(PathToUtf8(refused.front().filename()));
  if (refused.size() > 1) line += std::string(Msg::NotListedMore) + std::to_string(refused.size() - 1) + std::string(Msg::NotListedUnit);
  return line;
}

void TForm1::Inspect(TRow& row) {
  if (!Inspector_) return;
  row.Ticket = Inspector_->Submit(row.Path, View.Remove);
  Tickets_.emplace(row.Ticket, row.Path);
}

void TForm1::ListFiles(const std::vector<std::filesystem::path>& files) {
  Earlier_.reset();  // the new rows see the folders as they are now
  for (const std::filesystem::path& file : ListBox1_.Add(files))
    if (TRow* row = ListBox1_.Find(file)) Inspect(*row);
  // Files that are not drawings (or are gone) are said so, not listed.
  std::vector<std::filesystem::path> refused;
  for (const std::filesystem::path& file : files)
    if (!file.empty() && !TFileList::CanList(file)) refused.push_back(file);
  if (!refused.empty()) StatusBar1_.SetSimpleText(NotListedLine(refused));
}

void TForm1::InspectAgain() {
  Earlier_.reset();
  for (const auto& [ticket, path] : Tickets_)
    if (Inspector_) Inspector_->Cancel(ticket);
  Tickets_.clear();
  for (int k = 0; k < ListBox1_.Count(); ++k) {
    TRow* row = ListBox1_.Find(ListBox1_.Item(k));
    row->Inspected = false;
    row->Ticket = 0;
    row->Earlier.clear();
    Inspect(*row);
  }
  ListBox1_.RowsChanged();
}

std::filesystem::path TForm1::OutputFolderOf(const std::filesystem::path& source) const {
  if (Setup.OutputFolderFor) return Setup.OutputFolderFor(source);
  return View.OutputFolder.empty() ? source.parent_path() : View.OutputFolder;
}

bool TForm1::SetOutputFolder(const std::filesystem::path& folder) {
  if (Busy()) return false;
  if (folder == View.OutputFolder) return true;
  View.OutputFolder = folder;
  InspectAgain();  // the marks of earlier outputs are of the other folder
  return true;
}

bool TForm1::SetRemove(const TAlsoRemove& remove) {
  if (Busy()) return false;
  if (remove == View.Remove) return true;
  View.Remove = remove;
  InspectAgain();
  return true;
}

std::unordered_map<std::filesystem::path::string_type, std::filesystem::path> TForm1::ConvertedAlready() {
  // Looked at afresh: what this window's last Convert wrote is there now.
  TEarlierRuns earlier;
  std::unordered_map<std::filesystem::path::string_type, std::filesystem::path> converted;
  for (int k = 0; k < ListBox1_.Count(); ++k) {
    const TRow& row = ListBox1_.Row(k);
    const std::filesystem::path folder = OutputFolderOf(row.Path);
    const bool done = row.Result && (row.Result->Outcome == TOutcome::Converted || row.Result->Outcome == TOutcome::Skipped);
    if (done && row.Result->Output.parent_path() == folder)
      converted.emplace(row.Path.native(), row.Result->Output);
    else if (const auto output = earlier.Converted(row.Path, folder))
      converted.emplace(row.Path.native(), output->Path);
  }
  return converted;
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

bool TForm1::Button1Click(const std::vector<std::filesystem::path>& chosen) {
  if (Busy()) return false;
  if (chosen.empty()) return true;  // the dialog was cancelled
  LastFolder = chosen.front().parent_path() / "";
  ListFiles(chosen);
  return true;
}

bool TForm1::WMDropFiles(const std::vector<std::filesystem::path>& dropped) {
  if (Busy()) return false;
  ListExpanded(dropped);
  return true;
}

bool TForm1::AddFolder(const std::filesystem::path& folder) {
  if (Busy()) return false;
  if (folder.empty()) return true;  // the dialog was cancelled
  LastFolder = folder / "";
  ListExpanded({folder});
  return true;
}

void TForm1::AddPaths(const std::vector<std::filesystem::path>& paths) {
  if (Busy()) {
    Deferred_.insert(Deferred_.end(), paths.begin(), paths.end());
    return;
  }
  ListExpanded(paths);
}

bool TForm1::Button2Click() {
  if (Busy()) return false;
  for (const TRow& row : ListBox1_.RemoveSelected())
    if (row.Ticket && Tickets_.erase(row.Ticket) && Inspector_) Inspector_->Cancel(row.Ticket);
  return true;
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
    if (TRow* row = ListBox1_.Find(ticket->second)) {
      row->Inspection = std::move(done.Inspection);
      row->Inspected = true;
      row->Ticket = 0;
      if (!Earlier_) Earlier_ = std::make_unique<TEarlierRuns>();
      const auto earlier = Earlier_->Converted(row->Path, OutputFolderOf(row->Path));
      row->Earlier = earlier ? earlier->Path : std::filesystem::path();
      changed = true;
    }
    Tickets_.erase(ticket);
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
  if (Busy() || column < 0 || column >= ColumnCount) return false;
  ListBox1_.SortBy(column);
  return true;
}

void TForm1::StopBatch() {
  if (Batch_) Batch_->Stop();
}

bool TForm1::Button4Click() {
  if (Busy()) {
    CloseRequested_ = true;
    return false;
  }
  return true;
}

const TBatchProgress& TForm1::Progress() const noexcept { return Batch_ ? Batch_->Progress() : Progress_; }

void TForm1::Button3Click() {
  if (Busy()) return;
  if (ListBox1_.Count() == 0) {
    StatusBar1_.SetSimpleText(std::string(Msg::NothingListed));  // nothing else happens: no report
    return;
  }
  // Drawings converted already: asked once for all of them.
  auto converted = ConvertedAlready();
  TAgain again = TAgain::Again;
  if (!converted.empty() && Setup.AskAgain) again = Setup.AskAgain(static_cast<int>(converted.size()));
  if (again == TAgain::Cancel) return;
  Results_.clear();
  Form2_.ClearLines();
  ListBox1_.SetAllSelected(false);
  ListBox1_.ForgetResults();
  if (!Document) Document = std::make_unique<TJwwData>();

  std::vector<std::filesystem::path> names;
  const int count = ListBox1_.Count();
  for (int k = 0; k < count; ++k) names.push_back(ListBox1_.Item(k));
  TBatchFront batch(ListBox1_, StatusBar1_, Form2_, std::move(names), OnBatch);
  TOutputRule outputs;
  if (Setup.OutputFolderFor)
    outputs.FolderFor = Setup.OutputFolderFor;
  else if (!View.OutputFolder.empty())
    outputs.FolderFor = [folder = View.OutputFolder](const std::filesystem::path&) { return folder; };
  TConvertOptions options;
  options.DryRun = Setup.DryRun;
  options.Remove = View.Remove;
  if (again == TAgain::Skip)
    options.AlreadyConverted = [converted = std::move(converted)](const std::filesystem::path& source) {
      const auto it = converted.find(source.native());
      return it == converted.end() ? std::filesystem::path() : it->second;
    };
  if (WorkScope_) options.WorkFolder = WorkScope_->Folder();
  // Several at once: a file on each worker and two more waiting for the
  // disk, so that Stop ends the batch after those few.
  options.Workers = Setup.BatchWorkers;
  if (Setup.BatchWorkers != 1)
    options.InFlight = (Setup.BatchWorkers > 0 ? Setup.BatchWorkers
                                               : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))) +
                       2;

  // The batch works on the list's names, its outputs' rule and the document
  // alone, so a runner may run it on a thread of its own.
  TJwwData* document = Document.get();
  const IBatchRunner::TBody body = [&batch, &outputs, &options, document](IBatchCallback& callback) {
    return ConvertBatch(batch.Names(), outputs, options, callback, document);
  };
  TDirectBatchRunner direct;
  Batch_ = &batch;
  batch.Begin();
  bool interrupted = true;
  try {
    interrupted = (Setup.BatchRunner ? *Setup.BatchRunner : direct).Run(body, batch).Interrupted;
  } catch (...) {
    Batch_ = nullptr;
    throw;
  }
  Results_ = batch.TakeResults();
  batch.End(interrupted);  // the view is told with the batch over (no longer Busy)
  if (std::any_of(Results_.begin(), Results_.end(), [](const TFileResult& r) { return CannotWriteOutput(r); }))
    Form2_.AddClosingLine(std::string(Msg::ChooseOutputLine));
  Progress_ = batch.Progress();
  Batch_ = nullptr;
  Earlier_.reset();  // what this Convert wrote is seen by the next inspections
  // What a second start handed over meanwhile.
  if (!Deferred_.empty()) ListExpanded(std::exchange(Deferred_, {}));
  Form2_.ShowModal();
}

void TForm1::LoadSettings(const std::filesystem::path& path) {
  LastFolder = ProgramFolder;
  // Each value is applied as its line is read; a line that could not be
  // read, and those after it, leave what is there.
  const TSettingsLines lines = TSettingsStore::ReadLines(path);
  SettingsRead_ = lines[0].has_value();
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
