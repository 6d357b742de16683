// The main window's logic, free of any window toolkit: the file list's rules
// and what it shows of each drawing, the inspection of listed drawings, the
// settings files, the work folder and document lifecycle, and the batch
// conversion driver. Front ends hand it their controls through controls.h.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Unit2.h"
#include "batchthread.h"
#include "controls.h"
#include "convert.h"
#include "filerows.h"
#include "inspector.h"
#include "jwwunit.h"
#include "settings.h"
#include "workfolder.h"

namespace qm {

class TForm1 {
 public:
  // Designed geometry of the main window and the list.
  static constexpr int DesignLeft = 192, DesignTop = 107, DesignWidth = 478, DesignHeight = 264;
  static constexpr int DesignListWidth = 176;

  TForm1(IListBox& list, IStatusBar& status, IApplication& application, IWindowBounds& bounds, TForm2& form2,
         IBatchObserver& observer);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  std::filesystem::path ProgramFolder;  // ends with a delimiter
  std::filesystem::path LastFolder;     // where the open dialog starts
  std::unique_ptr<TJwwData> Document;

  // The folder the output of a source goes to; when empty (the window), the
  // source's own folder. The folder is created when the output is written.
  std::function<std::filesystem::path(const std::filesystem::path& source)> OutputFolderFor;
  // A dry run loads, purges and checks every drawing as a conversion would,
  // and creates no file (see TConvertOptions).
  bool DryRun = false;

  // Set by a front end before FormShow. The user's application data folder:
  // the settings go there when the program folder cannot be written (and
  // are read from there first once they exist there). Empty: always beside
  // the executable.
  std::filesystem::path AppDataFolder;
  // Set by a front end before FormShow: the program runs from the folder an
  // installer put it in (which may be writable, but is not the user's). Its
  // settings then live in the user's application data folder, and its work
  // folder under the system's temporary folder; a copy unpacked anywhere
  // else keeps both beside itself.
  bool InstalledCopy = false;
  // Called from a worker thread when inspections are done; the front end then
  // calls TakeInspections on the window's thread. Unset: listed drawings are
  // not inspected.
  std::function<void()> InspectionsReady;
  int InspectionWorkers = TInspector::DefaultWorkers();
  // Runs Convert's batch; unset, on the window's thread itself.
  IBatchRunner* BatchRunner = nullptr;
  // How many drawings Convert converts at once (see TConvertOptions): 1, one
  // after another; 0, as many as there are processors, with a few more
  // files in flight, each selected in the list while it is.
  int BatchWorkers = 1;
  // Read by FormShow, written by FormClose; the front end applies and fills it.
  TViewSettings View;

  // Where FormClose writes the settings (see TSettingsStore).
  std::filesystem::path SettingsPath() const { return Store_.SettingsPath(); }

  // On showing the main window: program folder, settings, work folder under
  // the program folder's "TEMP", the document, an empty list.
  void FormShow(const std::filesystem::path& executable);
  // On closing: ends the inspections, cleans and removes the work folder,
  // frees the document, saves the settings.
  void FormClose();
  // The work folder and document without the window parts (the command line):
  // a private work folder inside workParent (empty: or where it cannot be
  // made, inside the system's temporary folder's "Quillmark") and a fresh
  // document.
  void StartWork(const std::filesystem::path& workParent);
  // Empty when the work folder is gone, else what went wrong.
  std::string EndWork();
  // The run's own work folder, in which the documents extract their images;
  // empty when there is none.
  std::filesystem::path RunFolder() const { return WorkScope_ ? WorkScope_->Folder() : std::filesystem::path(); }

  // Add: the files chosen in the open dialog. LastFolder becomes the first
  // file's folder. Each file is listed when it is not listed yet (ignoring
  // letter case), its extension is ".JWW" in any case, and it exists.
  // Refused (false) while a batch runs.
  bool Button1Click(const std::vector<std::filesystem::path>& chosen);
  // Files and folders dropped on the window: a folder stands for its
  // drawings (paths.h: without the outputs of earlier runs); each is listed
  // under the same three conditions; empty names are skipped. Refused
  // (false) while a batch runs.
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
  // Stop: the running batch ends after the file in progress and its report
  // is shown.
  void StopBatch();
  bool StopRequested() const noexcept { return StopRequested_; }
  // Exit: true when the window may close now; while a batch runs the close
  // is remembered (CloseRequested) and the front end closes after the batch.
  bool Button4Click();
  bool CloseRequested() const noexcept { return CloseRequested_; }
  bool Busy() const noexcept { return Busy_; }

  // What the list shows of a listed drawing; null for one it does not hold.
  const TRow* RowOf(const std::filesystem::path& item) const;
  // On the window's thread: takes the inspections that are done into the rows.
  void TakeInspections();
  // Drawings listed and not inspected yet.
  int Uninspected() const noexcept { return Uninspected_; }
  // Asks for the picture of a listed drawing (when inspections run); the one
  // asked for last replaces any other not drawn yet.
  void RequestPreview(const std::filesystem::path& item);
  // The picture last asked for, once it is drawn (TakeInspections takes it).
  std::shared_ptr<const TPreview> Preview() const noexcept { return Preview_; }
  // Sorts the list by a column, ascending; again by the same column,
  // descending. Refused while a batch runs (it walks the list's order).
  bool SortBy(int column);
  int SortColumn() const noexcept { return SortColumn_; }
  bool SortAscending() const noexcept { return SortAscending_; }

  // The first name folder/base_N.JWW (N = 2, 3, ...) that is not taken; the
  // folder is the source's own unless given.
  static std::filesystem::path OutputPathFor(const std::filesystem::path& source);
  static std::filesystem::path OutputPathFor(const std::filesystem::path& source, const std::filesystem::path& folder,
                                             const std::function<bool(const std::filesystem::path&)>& taken = {});
  // The extension of a path's file name from its last ".", upper-cased; empty
  // when there is no ".".
  static std::string UpperExtension(const std::filesystem::path& path) { return qm::UpperExtension(path); }

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

  // How each file of the last batch ended, in list order.
  const std::vector<TFileResult>& Results() const noexcept { return Results_; }
  // True when the last batch was stopped before its end.
  bool Interrupted() const noexcept { return Interrupted_; }

 private:
  class TBatch;
  static std::u16string ListKey(const std::filesystem::path& file);
  bool CanList(const std::filesystem::path& file) const;
  void ListFiles(const std::vector<std::filesystem::path>& files);
  void ListExpanded(const std::vector<std::filesystem::path>& paths);
  void Forget(const std::filesystem::path& item);
  std::string SettingsText() const;

  IListBox& ListBox1_;
  IStatusBar& StatusBar1_;
  IApplication& Application_;
  IWindowBounds& Bounds_;
  TForm2& Form2_;
  IBatchObserver& Observer_;
  TSettingsStore Store_;
  std::filesystem::path FallbackTempFolder_;
  std::unique_ptr<TWorkFolderScope> WorkScope_;
  std::unique_ptr<TInspector> Inspector_;
  std::unordered_map<std::u16string, TRow> Rows_;
  std::unordered_map<uint64_t, std::u16string> Tickets_;
  std::vector<std::filesystem::path> Deferred_;
  std::shared_ptr<const TPreview> Preview_;
  uint64_t PreviewTicket_ = 0;
  std::vector<TFileResult> Results_;
  int Uninspected_ = 0;
  int SortColumn_ = -1;
  bool SortAscending_ = true;
  bool Busy_ = false;
  bool CloseRequested_ = false;
  bool StopRequested_ = false;
  bool Interrupted_ = false;
};

}  // namespace qm
