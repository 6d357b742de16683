// The main window's logic, free of any window toolkit: it holds the models a
// window shows (the file list, the batch's progress, the settings) and runs
// the commands (Add, Delete, Convert, Exit), the inspection of listed
// drawings, and the work folder and document around FormShow and FormClose.
// A front end gives it its status bar and the bounds of its windows, shows
// its models and is told when they change.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Unit2.h"
#include "batchfront.h"
#include "batchthread.h"
#include "controls.h"
#include "convert.h"
#include "earlier.h"
#include "filelist.h"
#include "inspector.h"
#include "jwwunit.h"
#include "settings.h"
#include "workfolder.h"

namespace qm {

// The answer to Convert's question about drawings converted already.
enum class TAgain { Again, Skip, Cancel };

// How a front end runs the window's logic; set before FormShow.
struct TFormSetup {
  // The user's application data folder: the settings go there when the
  // program folder cannot be written (and are read from there first once
  // they exist there). Empty: always beside the executable.
  std::filesystem::path UserFolder;
  // The program runs from the folder an installer put it in (which may be
  // writable, but is not the user's): its settings then live in the user's
  // folder, and its work folder under the system's temporary folder; a copy
  // unpacked anywhere else keeps both beside itself.
  bool InstalledCopy = false;
  // Called from a worker thread when inspections are done; the front end then
  // calls TakeInspections on the window's thread. Unset: listed drawings are
  // not inspected.
  std::function<void()> InspectionsReady;
  int InspectionWorkers = TInspector::DefaultWorkers();
  // Runs Convert's batch; unset, on the calling thread itself.
  IBatchRunner* BatchRunner = nullptr;
  // How many drawings Convert converts at once (see TConvertOptions): 1, one
  // after another; 0, as many as there are processors, with a few more
  // files in flight, each selected in the list while it is.
  int BatchWorkers = 1;
  // The folder the output of a source goes to; when empty (the window), the
  // source's own folder.
  std::function<std::filesystem::path(const std::filesystem::path& source)> OutputFolderFor;
  // Convert makes a dry run (see TConvertOptions).
  bool DryRun = false;
  // Asked once by Convert when drawings of the list were converted already
  // (in this window, or an earlier run's output is newer than the drawing),
  // with how many: convert them again (the next free name), skip them, or
  // cancel Convert. Unset: they are converted again.
  std::function<TAgain(int drawings)> AskAgain;
};

// "JWW ファイルではないので追加しませんでした：notes.txt（ほか 2 個）".
std::string NotListedLine(const std::vector<std::filesystem::path>& refused);

class TForm1 {
 public:
  // Designed geometry of the main window and the list.
  static constexpr int DesignLeft = 192, DesignTop = 107, DesignWidth = 478, DesignHeight = 264;
  static constexpr int DesignListWidth = TFileList::DesignWidth;

  TForm1(IStatusBar& status, IWindowBounds& bounds, TForm2& form2);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  TFormSetup Setup;
  std::filesystem::path ProgramFolder;  // ends with a delimiter
  std::filesystem::path LastFolder;     // where the open dialog starts
  std::unique_ptr<TJwwData> Document;
  // Read by FormShow, written by FormClose; the front end applies and fills it.
  TViewSettings View;

  // The list of drawings (the window's list view shows it).
  TFileList& ListBox1() noexcept { return ListBox1_; }
  const TFileList& ListBox1() const noexcept { return ListBox1_; }
  // The batch that runs, or ran last: its progress.
  const TBatchProgress& Progress() const noexcept;
  // Told each step of a batch, on the window's thread.
  TBatchFront::TListener OnBatch;

  // True when FormShow found a settings file (a first start finds none).
  bool SettingsRead() const noexcept { return SettingsRead_; }
  // Where FormClose writes the settings (see TSettingsStore).
  std::filesystem::path SettingsPath() const { return Store_.SettingsPath(); }
  // The folder in which the run's work folder is made: the program folder's
  // "TEMP" (the installer's copy: none, the system's temporary folder).
  const std::filesystem::path& WorkFolder() const noexcept { return WorkFolder_; }

  // On showing the main window: program folder, settings, work folder under
  // the program folder's "TEMP", the document, an empty list.
  void FormShow(const std::filesystem::path& executable);
  // On closing: ends the inspections, cleans and removes the work folder,
  // frees the document, saves the settings.
  void FormClose();
  // The work folder and document without the window parts: a private work
  // folder inside workParent (empty: or where it cannot be made, inside the
  // system's temporary folder's "Quillmark") and a fresh document.
  void StartWork(const std::filesystem::path& workParent);
  // Empty when the work folder is gone, else what went wrong.
  std::string EndWork();
  // The run's own work folder, in which the documents extract their images;
  // empty when there is none.
  std::filesystem::path RunFolder() const { return WorkScope_ ? WorkScope_->Folder() : std::filesystem::path(); }

  // Add: the files chosen in the open dialog. LastFolder becomes the first
  // file's folder. Each file is listed when the list may take it
  // (TFileList::Add). Refused (false) while a batch runs.
  bool Button1Click(const std::vector<std::filesystem::path>& chosen);
  // Files and folders dropped on the window: a folder stands for its
  // drawings (paths.h: without the outputs of earlier runs); each is listed
  // under the same rules; empty names are skipped. Refused (false) while a
  // batch runs.
  bool WMDropFiles(const std::vector<std::filesystem::path>& dropped);
  // A folder chosen to be added: its drawings, as a dropped folder's.
  // LastFolder becomes it. Refused (false) while a batch runs.
  bool AddFolder(const std::filesystem::path& folder);
  // Files and folders named on the command line, or handed over by a second
  // start: listed as dropped ones, or once the running batch is over.
  void AddPaths(const std::vector<std::filesystem::path>& paths);
  // Delete: removes every selected item (when there is a current item).
  // Refused (false) while a batch runs.
  bool Button2Click();
  // Convert: the batch. A second Convert while one runs is refused.
  void Button3Click();
  // Stop: the running batch ends after the files in progress and its report
  // is shown.
  void StopBatch();
  bool StopRequested() const noexcept { return Progress().StopRequested; }
  // Exit: true when the window may close now; while a batch runs the close
  // is remembered (CloseRequested) and the front end closes after the batch.
  bool Button4Click();
  bool CloseRequested() const noexcept { return CloseRequested_; }
  bool Busy() const noexcept { return Batch_ && Batch_->Progress().Running; }

  // What the list shows of a listed drawing; null for one it does not hold.
  const TRow* RowOf(const std::filesystem::path& item) const { return ListBox1_.Find(item); }
  // On the window's thread: takes the inspections that are done into the rows.
  void TakeInspections();
  // Drawings listed and not inspected yet.
  int Uninspected() const noexcept { return static_cast<int>(Tickets_.size()); }
  // Asks for the picture of a listed drawing (when inspections run); the one
  // asked for last replaces any other not drawn yet.
  void RequestPreview(const std::filesystem::path& item);
  // The picture last asked for, once it is drawn (TakeInspections takes it).
  std::shared_ptr<const TPreview> Preview() const noexcept { return Preview_; }
  // Sorts the list by a column (TFileList::SortBy). Refused while a batch
  // runs (it walks the list's order).
  bool SortBy(int column);

  // Where Convert writes the outputs: beside each drawing (an empty path, as
  // at first) or into one folder; kept in the view settings. Changing it
  // looks again for earlier outputs (the list's marks).
  const std::filesystem::path& OutputFolder() const noexcept { return View.OutputFolder; }
  bool SetOutputFolder(const std::filesystem::path& folder);
  // What Convert removes besides the hidden layers' content (the window's
  // check boxes); kept in the view settings. Changing it inspects every
  // listed drawing again. Both refused (false) while a batch runs.
  const TAlsoRemove& Remove() const noexcept { return View.Remove; }
  bool SetRemove(const TAlsoRemove& remove);
  // The folder a drawing's output goes to.
  std::filesystem::path OutputFolderOf(const std::filesystem::path& source) const;

  // The first name folder/base_N.JWW (N = 2, 3, ...) that is not taken; the
  // folder is the source's own unless given.
  static std::filesystem::path OutputPathFor(const std::filesystem::path& source);
  static std::filesystem::path OutputPathFor(const std::filesystem::path& source, const std::filesystem::path& folder,
                                             const std::function<bool(const std::filesystem::path&)>& taken = {});

  // The ten lines of a settings file, applied to the windows' bounds, the
  // list's width and LastFolder; and written from them.
  void LoadSettings(const std::filesystem::path& path);
  bool SaveSettings(const std::filesystem::path& path) const;
  // The view settings: a missing file, or a line that does not read, leaves
  // what View holds.
  void LoadViewSettings(const std::filesystem::path& path);
  bool SaveViewSettings(const std::filesystem::path& path) const;
  // Both files, where FormClose writes them (also at the end of a session).
  bool SaveAllSettings();

  // How each file of the running batch, or else of the last one, ended, in
  // list order.
  const std::vector<TFileResult>& Results() const noexcept { return Batch_ ? Batch_->Results() : Results_; }
  // True when the last batch was stopped before its end.
  bool Interrupted() const noexcept { return Progress_.Interrupted; }

 private:
  void ListFiles(const std::vector<std::filesystem::path>& files);
  void Inspect(TRow& row);
  void InspectAgain();
  // The rows that Convert would convert again, with the output that makes
  // each converted already.
  std::unordered_map<std::filesystem::path::string_type, std::filesystem::path> ConvertedAlready();
  void ListExpanded(const std::vector<std::filesystem::path>& paths);
  std::string SettingsText() const;

  IStatusBar& StatusBar1_;
  IWindowBounds& Bounds_;
  TForm2& Form2_;
  TFileList ListBox1_;
  TSettingsStore Store_;
  std::filesystem::path WorkFolder_, FallbackTempFolder_;
  std::unique_ptr<TWorkFolderScope> WorkScope_;
  std::unique_ptr<TInspector> Inspector_;
  std::unordered_map<uint64_t, std::filesystem::path> Tickets_;  // inspections asked for, by ticket
  std::vector<std::filesystem::path> Deferred_;
  std::shared_ptr<const TPreview> Preview_;
  uint64_t PreviewTicket_ = 0;
  TBatchFront* Batch_ = nullptr;  // while a batch runs
  TBatchProgress Progress_;
  std::vector<TFileResult> Results_;
  // What earlier runs left beside the listed drawings, or in the output
  // folder: looked up as inspections come in, looked at afresh after each
  // Add, Convert and change of the output folder.
  std::unique_ptr<TEarlierRuns> Earlier_;
  bool CloseRequested_ = false;
  bool SettingsRead_ = false;
};

}  // namespace qm
