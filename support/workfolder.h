// The work folder: where the images embedded in a drawing are extracted while
// that drawing is converted, and the process-wide list of those files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jwwstring.h"

// One image file bound into a drawing of version 700 or later: the entry of
// a drawing's image table and of the list of extracted images.
struct TBindImageType {
  TJwwString FileName;  // without folder
  int32_t Size = 0;     // bytes of stored image data
  bool InUse = false;   // the output must carry it
  bool operator==(const TBindImageType&) const = default;
};

// The folder that holds the extracted images, private to this process. Empty
// until a front end sets it up.
extern std::filesystem::path WorkFolder;
// The images of the drawing loaded last, in the order the drawing stores them.
extern std::vector<TBindImageType> TempFiles;

// Number of valid entries of TempFiles.
int32_t TempFileCount() noexcept;
// Empties the list; no file is touched.
void ClearTempFileList() noexcept;
// Deletes the file of every listed entry.
void DeleteTempFiles() noexcept;
// Deletes the file of every listed entry whose name ends in ".gz" (any case).
void DeleteTempGzFiles() noexcept;
// Deletes, for a listed name ending in ".gz", the file named without that
// ending, and for every other listed name the listed file itself.
void DeleteTempUnpackedFiles() noexcept;

// The file name a stored image name stands for, when it is a plain file name
// on every platform. Nothing when it could reach outside the folder it is put
// in or is not a name every system accepts: empty, "." or "..", a path
// delimiter, a drive or colon, a control character, a character Windows
// forbids in names, a trailing dot or space, a device name such as CON or
// LPT1, or a name that does not decode (bytes that are not Shift-JIS, an
// unpaired surrogate).
std::optional<std::filesystem::path> PlainImageName(const TJwwString& name);
// WorkFolder joined with the plain name; nothing when the name is not plain
// or there is no work folder.
std::optional<std::filesystem::path> ImageFilePath(const TJwwString& name);

namespace qm {

// Creates a fresh folder of its own inside parent ("quillmark-<pid>-<n>") and
// makes it the WorkFolder, after removing the folders that crashed runs left
// in parent; on destruction deletes the listed files, removes the folder with
// whatever is left in it, empties the list and restores the previous
// WorkFolder. Raises EFileError when no folder can be created.
class TWorkFolderScope {
 public:
  explicit TWorkFolderScope(const std::filesystem::path& parent);
  ~TWorkFolderScope();
  // What the destructor does, now: empty when the folder is gone, else what
  // went wrong (the folder stays).
  std::string Close() noexcept;
  TWorkFolderScope(const TWorkFolderScope&) = delete;
  TWorkFolderScope& operator=(const TWorkFolderScope&) = delete;
  const std::filesystem::path& Folder() const noexcept { return Folder_; }

 private:
  std::filesystem::path Folder_;
  std::filesystem::path Previous_;
};

}  // namespace qm
