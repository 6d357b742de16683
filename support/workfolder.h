// The work folder: where the images embedded in drawings are extracted while
// the drawings are in use. A run (the window, one command line) has a private
// folder of its own, marked as ours when it is made; each document extracts
// into a folder of its own inside it, under names this program gives, so no
// two documents and no two images can ever share a file. What crashed runs
// left is removed only when it is provably ours.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fileio.h"
#include "folderhandle.h"
#include "jwwstring.h"

namespace qm {

// The file name a stored image name stands for, when it is a plain file name
// on every platform. Nothing when it could reach outside the folder it is put
// in or is not a name every system accepts: empty, "." or "..", a path
// delimiter, a drive or colon, a control character, a character Windows
// forbids in names, a trailing dot or space, a device name such as CON, LPT1
// or COM¹, or a name that does not decode (bytes that are not Shift-JIS, an
// unpaired surrogate). A drawing holding such a name is refused: the program
// that opens the output would extract the image under it.
std::optional<std::filesystem::path> PlainImageName(const TJwwString& name);

// The name of the file that marks a run's work folder as this program's.
inline constexpr std::string_view WorkFolderMarker = ".quillmark-work";

// A run's private work folder "quillmark-<pid>-<n>" inside parent, marked as
// ours by a file written when it is made. Making one first removes the work
// folders that crashed runs left in parent (see RemoveDeadWorkFolders). On
// destruction (or Close) everything of ours in it is removed, then the folder;
// anything else found in it stays, and so does the folder. Raises EFileError
// when no folder can be made.
class TWorkFolderScope {
 public:
  explicit TWorkFolderScope(const std::filesystem::path& parent);
  ~TWorkFolderScope();
  TWorkFolderScope(const TWorkFolderScope&) = delete;
  TWorkFolderScope& operator=(const TWorkFolderScope&) = delete;
  const std::filesystem::path& Folder() const noexcept { return Folder_; }
  // Removes the image folders that documents left in the run's folder (those
  // of documents still alive must not be in use).
  void DeleteTempFiles() noexcept;
  // What the destructor does, now: empty when the folder is gone, else what
  // went wrong (the folder stays).
  std::string Close() noexcept;

 private:
  std::filesystem::path Folder_, Name_;
  TFolderHandle Parent_, Self_;  // open from the folder's making to its removal
};

// One document's own folder of extracted images "d<n>" inside a run's work
// folder, its images named "i<index>" by their place in the drawing's image
// table. Made by the load of a drawing that carries images; removed with
// every image in it when the document is reset or goes.
class TImageFolder {
 public:
  // Raises EFileError when the folder cannot be made.
  explicit TImageFolder(const std::filesystem::path& workFolder);
  ~TImageFolder();
  TImageFolder(const TImageFolder&) = delete;
  TImageFolder& operator=(const TImageFolder&) = delete;
  const std::filesystem::path& Folder() const noexcept { return Folder_; }
  // The file of the image at that place of the table.
  std::filesystem::path FileOf(size_t index) const;
  // Creates that file new (never replacing one) and remembers it for removal.
  TFile Create(size_t index);

 private:
  std::filesystem::path Folder_, Name_;
  TFolderHandle Work_, Self_;
  std::vector<TFolderEntry> Made_;  // the images as they were made
};

// Removes the work folders that crashed runs left in parent: a folder (not a
// link) named exactly "quillmark-<pid>-<n>", whose process is dead and in
// which nothing changed for some minutes, that carries our marker with its
// own name in it, and that holds nothing but what this program puts there
// (the marker, document folders "d<n>" holding only image files "i<n>").
// Anything else is left alone, and so is a folder holding anything else or
// anything of another user. What was checked is removed through handles of
// the folders checked, so that a folder swapped for a link meanwhile leads
// nowhere. Each parent once per run. Never raises.
void RemoveDeadWorkFolders(const std::filesystem::path& parent) noexcept;
// The same for one parent every time it is called (tests).
void RemoveDeadWorkFoldersNow(const std::filesystem::path& parent) noexcept;
// Tests: called with a leftover folder's path once it has been found dead
// and wholly ours, before anything in it is removed. Null in production.
extern void (*LeftoverChecked)(const std::filesystem::path& folder);

}  // namespace qm
