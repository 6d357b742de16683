// Thin platform file layer: binary files by std::filesystem::path, exact errors,
// no buffering of its own (the archive reader and writer buffer above it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Raised by every failing file operation of this layer; carries the system's
// description of the failure and, where it matters, what kind it was.
class EFileError : public std::runtime_error {
 public:
  enum class TKind { Other, Exists, NotFound, NoSpace, NotRegular, NoReader };
  explicit EFileError(const std::string& message, TKind kind = TKind::Other)
      : std::runtime_error(message), Kind_(kind) {}
  TKind Kind() const noexcept { return Kind_; }

 private:
  TKind Kind_;
};

// The file operations a test can make fail (or watch): a hook that returns 0
// lets the operation go on, any other value is the system error it fails with
// (an errno value; on Windows mapped to the nearest system error). Null in
// production.
enum class TFileOp { Open, Create, Read, Write, Sync, Close, Rename, MakeFolder, Commit };
using TFileHook = int (*)(TFileOp op);
extern TFileHook FileHook;

class TFile {
 public:
  TFile() = default;
  ~TFile();
  TFile(TFile&& other) noexcept;
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Opens an existing regular file for reading only, never waiting on a FIFO
  // or device; anything but a regular file is refused (kind NotRegular).
  static TFile OpenRead(const std::filesystem::path& path);
  // Creates a new file for writing (and reading back); fails when any entry
  // of that name exists.
  static TFile CreateNew(const std::filesystem::path& path);
  // Creates a file for writing, replacing a file of that name.
  static TFile CreateReplace(const std::filesystem::path& path);
  // Opens an existing character device or FIFO (on Windows: a device or a
  // pipe) for writing, never creating, truncating or waiting: a FIFO that
  // nobody reads is refused (kind NoReader), and so is anything that turns
  // out to be something else (kind NotRegular).
  static TFile OpenStream(const std::filesystem::path& path);

  bool IsOpen() const noexcept;
  uint64_t Size() const;
  // The size the file had when OpenRead opened it (no further system call).
  uint64_t SizeAtOpen() const noexcept { return SizeAtOpen_; }
  // Reads up to n bytes; returns the number read (0 only at the end of the file).
  size_t Read(void* buffer, size_t n);
  // Writes all n bytes or raises.
  void Write(const void* buffer, size_t n);
  // Reads up to n bytes from the given offset without moving the file's
  // position (a file made by CreateNew, read back); the number read.
  size_t ReadAt(uint64_t offset, void* buffer, size_t n);
  // Flushes the file's data to the device.
  void Sync();
  // Asks the system to start writing the file's data to the device without
  // waiting for it, so that a Sync later finds less to wait for. A hint:
  // nothing is promised and nothing fails.
  void StartSync() noexcept;
  void Close();  // raises when closing reports a failure

 private:
  uint64_t SizeAtOpen_ = 0;
#ifdef _WIN32
  static TFile Create(const std::filesystem::path& path, bool replace);
  void* Handle_ = nullptr;
#else
  int Fd_ = -1;
#endif
};

// True when an entry of that name exists (a file, a folder, or a link, even a
// dangling one). Never raises.
bool EntryExists(const std::filesystem::path& path) noexcept;
// True when path names an existing regular file (links followed). Never raises.
bool FileExists(const std::filesystem::path& path) noexcept;
// What a path names (links followed): nothing, a regular file, or something
// else (a folder, a FIFO, a device). With size, a regular file's size is
// stored there (the same look, no second one). Never raises.
enum class TEntryKind { None, File, Other };
TEntryKind EntryKindOf(const std::filesystem::path& path, uint64_t* size = nullptr) noexcept;
// Where a file a user names for an output goes, as the name finds it.
struct TOutputPlace {
  enum class TKind {
    New,     // nothing of that name: a new file
    File,    // a regular file (or a link to one: its target), replaced
    Stream,  // a character device or a FIFO, written as it is
  };
  TKind Kind = TKind::New;
  // The file to write: the name itself, or for a link to a regular file the
  // file it leads to (the link stays a link).
  std::filesystem::path Path;
};
// Looks at what a name holds before an output is written to it. Raises
// EFileError, naming what is there, for a link that leads nowhere, a folder
// and anything else that is neither a file nor a stream (a socket, a block
// device): those are never written to or replaced.
TOutputPlace ExamineOutputPlace(const std::filesystem::path& path);
// True when a regular file is still what ExamineOutputPlace found: the
// moment before it is replaced.
bool StillRegularFile(const std::filesystem::path& path) noexcept;

// Deletes a file; false when it could not be deleted. Never raises.
bool DeleteFileIfExists(const std::filesystem::path& path) noexcept;
// Moves from to to when no entry named to exists; raises otherwise. The move
// itself never replaces anything, also when another process takes the name
// between a check and the move.
void MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Moves from to to, replacing a file named to.
void MoveReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes a completed rename durable (flushes the folder entry where the
// platform needs it). False when that failed. Never raises.
bool SyncFolder(const std::filesystem::path& folder) noexcept;
// Creates a folder; false when it exists already. Raises on other failures.
bool MakeFolder(const std::filesystem::path& folder);
// Creates a folder and every missing folder above it, and flushes each one
// made into its parent, from the deepest up to the first that existed, so
// that what is written into it does not vanish with its folder after a
// power loss. Raises EFileError, naming the folder that could not be made or
// flushed.
void MakeFolders(const std::filesystem::path& folder);
// Which file a path leads to (links followed): equal for two paths of one
// file, nothing when there is no such file. Never raises.
std::optional<std::pair<uint64_t, uint64_t>> FileIdentity(const std::filesystem::path& path) noexcept;
// A number that differs between processes running at the same time.
uint32_t ProcessId() noexcept;
// True when a process of that number runs on this machine (or may: when that
// cannot be told, the answer is true).
bool ProcessAlive(uint32_t pid) noexcept;
// The system's temporary folder: TMPDIR (TEMP on Windows) when it names an
// existing folder, else the system's default; never the current folder.
std::filesystem::path SystemTempFolder();
// A file name folded as this system's file systems compare names that differ
// only in letter case (on Windows the system's own upper-casing, elsewhere
// Unicode's simple upper case of every unit).
std::u16string SystemCaseFolded(const std::filesystem::path& name);

// A temporary file ".quillmark-<process>-<n>.tmp" in a folder, open for
// writing. Commit moves it to its final name without ever replacing a file;
// until then, and whenever Commit fails, the destructor deletes it.
class TTempFile {
 public:
  explicit TTempFile(const std::filesystem::path& folder);
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  TFile& File() noexcept { return File_; }
  const std::filesystem::path& Path() const noexcept { return Path_; }
  // Closes the file if it is open and moves it to `to`. False, with the file
  // kept under its temporary name, when `to` is taken; raises on other failures.
  bool Commit(const std::filesystem::path& to);
  // The same, replacing a file named `to` (files of this program's own).
  void CommitReplacing(const std::filesystem::path& to);
  // Deletes the file now (what the destructor would do).
  void Discard() noexcept;

 private:
  std::filesystem::path Path_;
  TFile File_;
  bool Committed_ = false;
};

// Bytes read from a file, in a buffer that is not cleared before they come.
struct TFileBytes {
  std::unique_ptr<uint8_t[]> Data;
  size_t Size = 0;
};
// The whole of a regular file, read once (never waiting on a FIFO or a
// device): exactly the bytes it had when it was opened. Raises EFileError.
TFileBytes ReadWholeFile(const std::filesystem::path& path);
// The whole of a file this program has written and not closed, read back
// from its start.
TFileBytes ReadBack(TFile& file);

// The first 8 bytes of every drawing, the one spelling of them in the program.
inline constexpr std::string_view DrawingSignature = "JwwData.";

// True when the regular file at path can be read and begins with
// DrawingSignature. Never waits on a FIFO or device. Never raises.
bool StartsWithDrawingSignature(const std::filesystem::path& path) noexcept;

// Answers true the first time it is asked about a folder (the same folder
// under another spelling included), false ever after: work done once per
// folder in a run. Safe to use from several threads.
class TOncePerFolder {
 public:
  bool First(const std::filesystem::path& folder) noexcept;

 private:
  std::mutex Lock_;
  std::set<std::filesystem::path> Done_;
};

// What crashed runs of this program leave behind is removed only when it is
// provably ours: its exact name form, its content, and its process gone and
// nothing changed in it for some minutes. Anything else stays, whatever its
// name, age or process number, and what stays is never an error.
//
// The process number in a leftover's name, when the name has exactly the form
// ".quillmark-<process>-<n>.tmp" (a temporary file) or "quillmark-<process>-<n>"
// (a work folder); 0 for any other name.
uint32_t LeftoverProcess(std::string_view name, bool folder) noexcept;
// True when a leftover of that process, last changed at `changed`, can be
// taken for dead: the process is not this one and runs no more, and the
// leftover has been quiet for some minutes (it may belong to another machine
// sharing the folder, or be in the middle of being written).
bool LeftoverIsDead(uint32_t pid, std::filesystem::file_time_type changed) noexcept;
// Removes the temporary outputs that crashed conversions left in a folder of
// outputs: regular files (not links) named exactly ".quillmark-<process>-<n>.tmp"
// that begin with DrawingSignature, whose process is dead as above. Nothing else in
// the folder is looked at. Each folder once per run. Never raises.
void RemoveDeadTempFiles(const std::filesystem::path& folder) noexcept;
// The same for one folder every time it is called (tests).
void RemoveDeadTempFilesNow(const std::filesystem::path& folder) noexcept;

}  // namespace qm
