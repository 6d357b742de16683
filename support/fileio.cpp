// The platform-neutral parts of the file layer: temporary files that delete
// themselves unless committed, and the removal of what crashed runs left.
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <system_error>

#include "fileio.h"

namespace qm {

TFileHook FileHook = nullptr;

TTempFile::TTempFile(const std::filesystem::path& folder) {
  RemoveDeadLeftovers(folder);
  const std::string prefix = ".quillmark-" + std::to_string(ProcessId()) + "-";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    Path_ = folder / (prefix + std::to_string(attempt) + ".tmp");
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

namespace {

// The process number of a leftover's name: ".quillmark-<pid>-<n>.tmp" for a
// temporary file, "quillmark-<pid>-<n>" for a work folder; 0 for any other name.
uint32_t LeftoverProcess(const std::string& name, bool folder) {
  std::string_view rest = name;
  const std::string_view head = folder ? "quillmark-" : ".quillmark-";
  if (!rest.starts_with(head)) return 0;
  rest.remove_prefix(head.size());
  if (!folder) {
    if (!rest.ends_with(".tmp")) return 0;
    rest.remove_suffix(4);
  }
  const size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() || dash > 10) return 0;
  uint64_t pid = 0;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (i == dash) continue;
    if (rest[i] < '0' || rest[i] > '9') return 0;
    if (i < dash) pid = pid * 10 + static_cast<uint64_t>(rest[i] - '0');
  }
  return pid > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(pid);
}

// A leftover may belong to a process of another machine that shares the
// folder: only what has not changed for a while is taken for dead.
constexpr auto QuietFor = std::chrono::minutes(10);

}  // namespace

void RemoveDeadLeftoversNow(const std::filesystem::path& folder) noexcept {
  std::error_code ec;
  const auto now = std::filesystem::file_time_type::clock::now();
  for (auto it = std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::filesystem::path& path = it->path();
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec) continue;
    const bool isFolder = std::filesystem::is_directory(status);
    if (!isFolder && !std::filesystem::is_regular_file(status)) continue;
    std::string name;
    try {
      name = path.filename().string();
    } catch (...) {
      continue;  // a name this program would never have made
    }
    const uint32_t pid = LeftoverProcess(name, isFolder);
    if (pid == 0 || pid == ProcessId() || ProcessAlive(pid)) continue;
    const auto changed = std::filesystem::last_write_time(path, ec);
    if (ec || now - changed < QuietFor) continue;
    if (isFolder)
      std::filesystem::remove_all(path, ec);
    else
      DeleteFileIfExists(path);
  }
}

void RemoveDeadLeftovers(const std::filesystem::path& folder) noexcept {
  static std::mutex lock;
  static std::set<std::filesystem::path> done;
  try {
    std::error_code ec;
    std::filesystem::path key = std::filesystem::weakly_canonical(folder.empty() ? "." : folder, ec);
    if (ec) key = folder;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (!done.insert(key).second) return;
    }
    RemoveDeadLeftoversNow(folder);
  } catch (...) {
  }
}

}  // namespace qm
