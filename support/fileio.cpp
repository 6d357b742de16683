// The platform-neutral parts of the file layer: temporary files that delete
// themselves unless committed, and the removal of what crashed runs left.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "fileio.h"
#include "folderhandle.h"
#include "textconv.h"

namespace qm {

TFileHook FileHook = nullptr;

TTempFile::TTempFile(const std::filesystem::path& folder) {
  RemoveDeadTempFiles(folder);
  const std::string prefix = ".quillmark-" + std::to_string(ProcessId()) + "-";
  // Numbered through the process, so that files written at once on several
  // threads do not try each other's names first.
  static std::atomic<uint32_t> serial{0};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    Path_ = folder / (prefix + std::to_string(serial++ % 1000000000u) + ".tmp");
    try {
      File_ = TFile::CreateNew(Path_);
      return;
    } catch (const EFileError& e) {
      if (e.Kind() != EFileError::TKind::Exists) {
        Path_.clear();  // nothing of ours to remove
        throw;
      }
    }
  }
  Path_.clear();
  throw EFileError("no free temporary file name in the folder");
}

TTempFile::~TTempFile() {
  if (!Committed_) Discard();
}

void TTempFile::Discard() noexcept {
  File_ = TFile();  // closes it; a failure to close no longer matters
  if (!Path_.empty()) DeleteFileIfExists(Path_);
  Path_.clear();
}

bool TTempFile::Commit(const std::filesystem::path& to) {
  if (FileHook) FileHook(TFileOp::Commit);
  File_.Close();
  try {
    MoveNoReplace(Path_, to);
  } catch (const EFileError& e) {
    if (e.Kind() == EFileError::TKind::Exists) return false;
    throw;
  }
  Committed_ = true;
  return true;
}

void TTempFile::CommitReplacing(const std::filesystem::path& to) {
  File_.Close();
  MoveReplace(Path_, to);
  Committed_ = true;
}

uint32_t LeftoverProcess(std::string_view rest, bool folder) noexcept {
  const std::string_view head = folder ? "quillmark-" : ".quillmark-";
  if (!rest.starts_with(head)) return 0;
  rest.remove_prefix(head.size());
  if (!folder) {
    if (!rest.ends_with(".tmp")) return 0;
    rest.remove_suffix(4);
  }
  // Exactly two runs of digits joined by one dash; no sign, no leading zero
  // (this program never writes one), no other character.
  const size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() || dash > 10) return 0;
  if (rest[0] == '0' || (rest[dash + 1] == '0' && dash + 2 != rest.size())) return 0;
  uint64_t pid = 0;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (i == dash) continue;
    if (rest[i] < '0' || rest[i] > '9') return 0;
    if (i < dash) pid = pid * 10 + static_cast<uint64_t>(rest[i] - '0');
  }
  if (rest.size() - dash - 1 > 10) return 0;
  return pid > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(pid);
}

namespace {

// A leftover may belong to a process of another machine that shares the
// folder: only what has not changed for a while is taken for dead.
constexpr auto QuietFor = std::chrono::minutes(10);

}  // namespace

TFileBytes ReadWholeFile(const std::filesystem::path& path) {
  TFile f = TFile::OpenRead(path);
  const uint64_t size = f.SizeAtOpen();
  if (size > SIZE_MAX / 2) throw EFileError("cannot read " + path.string() + ": too large");
  TFileBytes bytes{std::unique_ptr<uint8_t[]>(new uint8_t[std::max<uint64_t>(1, size)]), static_cast<size_t>(size)};
  size_t got = 0;
  while (got < bytes.Size) {
    const size_t n = f.Read(bytes.Data.get() + got, bytes.Size - got);
    if (n == 0) throw EFileError("cannot read " + path.string() + ": it ended early (it changed while being read)");
    got += n;
  }
  f.Close();
  return bytes;
}

TFileBytes ReadBack(TFile& file) {
  const uint64_t size = file.Size();
  TFileBytes bytes{std::unique_ptr<uint8_t[]>(new uint8_t[std::max<uint64_t>(1, size)]), static_cast<size_t>(size)};
  size_t got = 0;
  while (got < bytes.Size) {
    const size_t n = file.ReadAt(got, bytes.Data.get() + got, bytes.Size - got);
    if (n == 0) throw EFileError("the written file ended early when it was read back");
    got += n;
  }
  return bytes;
}

bool StartsWithDrawingSignature(const std::filesystem::path& path) noexcept {
  try {
    TFile f = TFile::OpenRead(path);
    char head[DrawingSignature.size()];
    size_t got = 0;
    while (got < sizeof head) {
      const size_t n = f.Read(head + got, sizeof head - got);
      if (n == 0) return false;
      got += n;
    }
    return std::string_view(head, sizeof head) == DrawingSignature;
  } catch (...) {
    return false;
  }
}

void MakeFolders(const std::filesystem::path& folder) {
  // The folders to make, the deepest first.
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path p = folder.lexically_normal(); !p.empty(); p = p.parent_path()) {
    if (p.filename().empty() && p.has_parent_path() && p.parent_path() != p) continue;  // a trailing separator
    if (EntryExists(p)) break;
    missing.push_back(p);
    if (p.parent_path() == p) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) MakeFolder(*it);  // made meanwhile is fine
  for (const std::filesystem::path& made : missing) {
    const std::filesystem::path parent = made.parent_path();
    if (!SyncFolder(parent.empty() ? std::filesystem::path(".") : parent))
      throw EFileError("cannot flush the folder " + PathToUtf8(parent.empty() ? "." : parent) + " to disk");
  }
}

bool TOncePerFolder::First(const std::filesystem::path& folder) noexcept {
  try {
    {
      std::lock_guard<std::mutex> guard(Lock_);
      if (Done_.contains(folder)) return false;  // asked before under this spelling
    }
    std::error_code ec;
    std::filesystem::path key = std::filesystem::weakly_canonical(folder.empty() ? "." : folder, ec);
    if (ec) key = folder;
    std::lock_guard<std::mutex> guard(Lock_);
    const bool first = Done_.insert(key).second;
    Done_.insert(folder);
    return first;
  } catch (...) {
    return false;
  }
}

bool LeftoverIsDead(uint32_t pid, std::filesystem::file_time_type changed) noexcept {
  if (pid == 0 || pid == ProcessId() || ProcessAlive(pid)) return false;
  return std::filesystem::file_time_type::clock::now() - changed >= QuietFor;
}

void RemoveDeadTempFilesNow(const std::filesystem::path& folder) noexcept {
  try {
    // Examined and removed through the folder's handle: a name swapped for a
    // link meanwhile is never followed.
    const TFolderHandle outputs = TFolderHandle::Open(folder, true);
    for (const TFolderEntry& listed : outputs.List(false)) {
      try {
        std::string name;
        try {
          name = listed.Name.string();
        } catch (...) {
          continue;  // a name this program would never have made
        }
        const uint32_t pid = LeftoverProcess(name, false);
        if (pid == 0 || listed.Type != TEntryType::File) continue;
        const auto e = outputs.Look(listed.Name);
        if (!e || e->Type != TEntryType::File || !e->Ours || !LeftoverIsDead(pid, e->Changed)) continue;
        const auto head = outputs.ReadFile(e->Name, DrawingSignature.size());
        if (head && *head == DrawingSignature) outputs.RemoveFile(*e);
      } catch (...) {
        // This one stays; the others are still looked at.
      }
    }
  } catch (...) {
  }
}

void RemoveDeadTempFiles(const std::filesystem::path& folder) noexcept {
  static TOncePerFolder once;
  if (once.First(folder)) RemoveDeadTempFilesNow(folder);
}

}  // namespace qm
