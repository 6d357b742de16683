// Folders examined and emptied through open handles. Whatever removes files
// it did not just create (the leftovers of crashed runs, a run's own work
// folder) checks the folder and then deletes what it checked: between the two
// another process may swap a folder for a link to somewhere else. Through a
// handle, a deletion can only reach the folder that was checked: every entry
// is looked at and removed relative to its folder's handle, never by a path,
// links are never followed, and just before each removal the entry's
// identity is compared with the one checked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm {

enum class TEntryType { File, Folder, Link, Other };

// One entry of a folder as the system describes it without following a link.
struct TFolderEntry {
  std::filesystem::path Name;  // one name, no folder
  TEntryType Type = TEntryType::Other;
  // The device (volume) and the file's number on it.
  std::pair<uint64_t, uint64_t> Identity{};
  // Owned by the user this program runs as (on Windows also: by the owner the
  // process's token gives new files, the Administrators group when elevated).
  bool Ours = false;
  std::filesystem::file_time_type Changed{};
};

// An open folder. Raises EFileError from every operation that fails, with
// what it was doing; those that find something other than they expect (a
// link, another entry under the name) answer false or nothing instead.
class TFolderHandle {
 public:
  TFolderHandle() = default;
  ~TFolderHandle();
  TFolderHandle(TFolderHandle&& other) noexcept;
  TFolderHandle& operator=(TFolderHandle&& other) noexcept;
  TFolderHandle(const TFolderHandle&) = delete;
  TFolderHandle& operator=(const TFolderHandle&) = delete;

  // The folder a path names. With followLink false the path's last part must
  // not be a link (links earlier in the path are the system's business, such
  // as a temporary folder that is itself a link).
  static TFolderHandle Open(const std::filesystem::path& path, bool followLink);
  bool IsOpen() const noexcept;

  // A folder in this one, reached without following a link; nothing when the
  // name is not a folder (a link to one included).
  std::optional<TFolderHandle> OpenFolder(const std::filesystem::path& name) const;
  // What the handle holds.
  TFolderEntry Self() const;
  // Every entry in the folder ("." and ".." left out). Without owners the
  // entries' Ours is false: on Windows learning an owner means opening the
  // entry (Look tells it of one entry).
  std::vector<TFolderEntry> List(bool owners = true) const;
  // The entry of that name as it is now; nothing when there is none.
  std::optional<TFolderEntry> Look(const std::filesystem::path& name) const;
  // At most limit bytes of a regular file in this folder, read without
  // following a link and without waiting on a FIFO or device; nothing when
  // the name is anything but a regular file.
  std::optional<std::string> ReadFile(const std::filesystem::path& name, size_t limit) const;
  // Removes the file `checked` describes when its name still leads to it (the
  // same identity, not a link); false when anything else is there now.
  bool RemoveFile(const TFolderEntry& checked) const;
  // Removes the empty folder child holds, which this folder holds under that
  // name; false when the name leads elsewhere now or the folder is not
  // empty. The child's handle is closed either way. (On Windows the folder is
  // deleted through the child's own handle; elsewhere by its name relative
  // to this folder, once the name is seen to lead to it.)
  bool RemoveFolder(const std::filesystem::path& name, TFolderHandle&& child) const;

 private:
#ifdef _WIN32
  void* Handle_ = nullptr;
  uint64_t Volume_ = 0;
#else
  int Fd_ = -1;
#endif
};

}  // namespace qm
