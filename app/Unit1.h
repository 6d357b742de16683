// The main window's logic, free of any window toolkit: the file list's rules,
// the settings file, the work folder and document lifecycle, and the batch
// conversion driver. Front ends hand it their controls through controls.h.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "Unit2.h"
#include "controls.h"
#include "convert.h"
#include "jwwunit.h"
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

  // The settings file of an executable: its path with the extension ".dat".
  static std::filesystem::path SettingsPathFor(const std::filesystem::path& executable);
  std::filesystem::path SettingsPath() const { return SettingsPath_; }

  // On showing the main window: program folder, settings, work folder under
  // the program folder's "TEMP", the document, an empty list.
  void FormShow(const std::filesystem::path& executable);
  // On closing: cleans and removes the work folder, frees the document, saves
  // the settings.
  void FormClose();
  // The work folder and document without the window parts (the command line):
  // a private work folder inside workParent and a fresh document.
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
  // Files dropped on the window, under the same three conditions; empty
  // names are skipped. Refused (false) while a batch runs.
  bool WMDropFiles(const std::vector<std::filesystem::path>& dropped);
  // Delete: removes every selected item (when there is a current item).
  // Refused (false) while a batch runs.
  bool Button2Click();
  // Convert: the batch. A second Convert while one runs is refused.
  void Button3Click();
  // Exit: true when the window may close now; while a batch runs the close
  // is remembered (CloseRequested) and the front end closes after the batch.
  bool Button4Click();
  bool CloseRequested() const noexcept { return CloseRequested_; }
  bool Busy() const noexcept { return Busy_; }

  // The first name folder/base_N.JWW (N = 2, 3, ...) that is not taken; the
  // folder is the source's own unless given.
  static std::filesystem::path OutputPathFor(const std::filesystem::path& source);
  static std::filesystem::path OutputPathFor(const std::filesystem::path& source, const std::filesystem::path& folder,
                                             const std::function<bool(const std::filesystem::path&)>& taken = {});
  // The extension of a path's file name from its last ".", upper-cased; empty
  // when there is no ".".
  static std::string UpperExtension(const std::filesystem::path& path) { return qm::UpperExtension(path); }

  void LoadSettings(const std::filesystem::path& path);
  void SaveSettings(const std::filesystem::path& path);

  // How each file of the last batch ended, in list order.
  const std::vector<TFileResult>& Results() const noexcept { return Results_; }
  // True when the last batch was stopped before its end.
  bool Interrupted() const noexcept { return Interrupted_; }

 private:
  class TBatch;
  static std::u16string ListKey(const std::filesystem::path& file);
  bool CanList(const std::filesystem::path& file) const;
  void ListFiles(const std::vector<std::filesystem::path>& files);

  IListBox& ListBox1_;
  IStatusBar& StatusBar1_;
  IApplication& Application_;
  IWindowBounds& Bounds_;
  TForm2& Form2_;
  IBatchObserver& Observer_;
  std::filesystem::path SettingsPath_;
  std::filesystem::path FallbackTempFolder_;
  std::unique_ptr<TWorkFolderScope> WorkScope_;
  std::vector<TFileResult> Results_;
  bool Busy_ = false;
  bool CloseRequested_ = false;
  bool Interrupted_ = false;
};

}  // namespace qm
