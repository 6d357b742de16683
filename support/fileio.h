// Thin platform file layer: binary files by std::filesystem::path, exact errors,
// no buffering of its own (the archive reader and writer buffer above it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace qm {

// Raised by every failing file operation of this layer; carries the system's
// description of the failure.
class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TFile {
 public:
  TFile() = default;
  ~TFile();
  TFile(TFile&& other) noexcept;
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Opens an existing regular file for reading only. Directories are refused.
  static TFile OpenRead(const std::filesystem::path& path);
  // Creates a new file for writing; fails when any entry of that name exists.
  static TFile CreateNew(const std::filesystem::path& path);
  // Creates a file for writing, replacing a file of that name.
  static TFile CreateReplace(const std::filesystem::path& path);

  bool IsOpen() const noexcept;
  uint64_t Size() const;
  // Reads up to n bytes; returns the number read (0 only at the end of the file).
  size_t Read(void* buffer, size_t n);
  // Writes all n bytes or raises.
  void Write(const void* buffer, size_t n);
  // Flushes the file's data to the device.
  void Sync();
  void Close();  // raises when closing reports a failure

 private:
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
// Deletes a file; false when it could not be deleted. Never raises.
bool DeleteFileIfExists(const std::filesystem::path& path) noexcept;
// Moves from to to when no entry named to exists; raises otherwise. The move
// itself never replaces anything, also when another process takes the name
// between a check and the move.
void MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Moves from to to, replacing a file named to.
void MoveReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes a completed rename durable (flushes the folder entry where the
// platform needs it). Never raises.
void SyncFolder(const std::filesystem::path& folder) noexcept;
// A number that differs between processes running at the same time.
uint32_t ProcessId() noexcept;

}  // namespace qm
