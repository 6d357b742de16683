#include "workfolder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <system_error>

#include "Func_.h"
#include "fileio.h"
#include "textconv.h"

std::filesystem::path WorkFolder;

namespace {

bool IsDeviceName(std::u16string upper) {
  const size_t dot = upper.find(u'.');
  if (dot != std::u16string::npos) upper.resize(dot);
  while (!upper.empty() && upper.back() == u' ') upper.pop_back();
  for (const char16_t* n : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
    if (upper == n) return true;
  // COM0..COM9 and LPT0..LPT9, and with the superscript digits ¹ ² ³, which
  // Windows takes for the same devices.
  if (upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT"))) {
    const char16_t d = upper[3];
    return (d >= u'0' && d <= u'9') || d == u'\u00B9' || d == u'\u00B2' || d == u'\u00B3';
  }
  return false;
}

}  // namespace

std::optional<std::filesystem::path> PlainImageName(const TJwwString& stored) {
  if (stored.empty()) return std::nullopt;
  const auto decoded = qm::PathFromJww(stored);
  if (!decoded) return std::nullopt;
  const std::u16string units = qm::PathToUtf16(*decoded);
  if (units.empty() || units == u"." || units == u"..") return std::nullopt;
  for (const char16_t c : units) {
    if (c < 0x20 || c == 0x7F) return std::nullopt;
    switch (c) {
      case u'/': case u'\\': case u':': case u'<': case u'>': case u'"': case u'|': case u'?': case u'*':
        return std::nullopt;
      default:
        break;
    }
  }
  // Full-width and other look-alike delimiters are ordinary characters; only
  // the real ones above can reach another folder.
  if (units.back() == u'.' || units.back() == u' ') return std::nullopt;
  if (IsDeviceName(Func_::WideUpperCase(units))) return std::nullopt;
  return decoded;
}

namespace qm {

namespace {

std::string MarkerText(const std::filesystem::path& folder) {
  return "Quillmark work folder " + PathToUtf8(folder.filename()) + "\n";
}

// The number in a name of the form <letter><digits> ("d12", "i0"), or nothing.
std::optional<uint64_t> NumberedName(const std::string& name, char letter) {
  if (name.size() < 2 || name.size() > 12 || name[0] != letter) return std::nullopt;
  if (name[1] == '0' && name.size() > 2) return std::nullopt;
  uint64_t n = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    n = n * 10 + static_cast<uint64_t>(name[i] - '0');
  }
  return n;
}

std::string FileNameOf(const std::filesystem::path& p) {
  try {
    return p.filename().string();
  } catch (...) {
    return {};  // a name this program would never have made
  }
}

// What a run's work folder holds when everything in it is ours: the marker,
// image folders "d<n>" (not links) and in them image files "i<n>" (regular
// files, not links). Collected so that they can be removed one by one; nothing
// when anything else is there. newest: the latest change seen.
struct TOwnedContent {
  std::filesystem::path Marker;
  std::vector<std::filesystem::path> Files;    // images, in their folders
  std::vector<std::filesystem::path> Folders;  // the image folders
  std::filesystem::file_time_type Newest = std::filesystem::file_time_type::min();
};

std::optional<TOwnedContent> OwnedContent(const std::filesystem::path& folder, bool markerRequired) {
  TOwnedContent owned;
  std::error_code ec;
  auto note = [&](const std::filesystem::path& p) {
    std::error_code e;
    const auto t = std::filesystem::last_write_time(p, e);
    if (e) return false;
    owned.Newest = std::max(owned.Newest, t);
    return true;
  };
  if (!note(folder)) return std::nullopt;
  for (auto it = std::filesystem::directory_iterator(folder, ec); it != std::filesystem::directory_iterator();
       it.increment(ec)) {
    if (ec) return std::nullopt;
    const std::filesystem::path& p = it->path();
    const std::string name = FileNameOf(p);
    std::error_code e;
    const auto status = std::filesystem::symlink_status(p, e);
    if (e) return std::nullopt;
    if (name == WorkFolderMarker && std::filesystem::is_regular_file(status)) {
      owned.Marker = p;
    } else if (NumberedName(name, 'd') && std::filesystem::is_directory(status)) {
      for (auto in = std::filesystem::directory_iterator(p, e); in != std::filesystem::directory_iterator();
           in.increment(e)) {
        if (e) return std::nullopt;
        const std::filesystem::path& f = in->path();
        std::error_code e2;
        if (!NumberedName(FileNameOf(f), 'i') || !std::filesystem::is_regular_file(std::filesystem::symlink_status(f, e2)) ||
            !note(f))
          return std::nullopt;
        owned.Files.push_back(f);
      }
      if (e || !note(p)) return std::nullopt;
      owned.Folders.push_back(p);
    } else {
      return std::nullopt;  // not ours: the whole folder stays
    }
  }
  if (ec) return std::nullopt;
  if (markerRequired) {
    if (owned.Marker.empty() || !note(owned.Marker)) return std::nullopt;
    // The marker names its own folder: a marker copied elsewhere proves nothing.
    std::string text;
    try {
      TFile f = TFile::OpenRead(owned.Marker);
      char buffer[256];
      for (size_t n; (n = f.Read(buffer, sizeof buffer)) > 0 && text.size() < 1024;) text.append(buffer, n);
    } catch (...) {
      return std::nullopt;
    }
    if (text != MarkerText(folder)) return std::nullopt;
  }
  return owned;
}

// Removes what OwnedContent found, one entry at a time; false when anything
// stays (something arrived meanwhile, or could not be removed).
bool RemoveOwned(const TOwnedContent& owned, const std::filesystem::path& folder, bool withFolder) {
  bool all = true;
  std::error_code ec;
  for (const auto& f : owned.Files) all = DeleteFileIfExists(f) && all;
  for (const auto& d : owned.Folders) all = std::filesystem::remove(d, ec) && !ec && all;  // only when empty
  if (!withFolder) return all;
  if (!owned.Marker.empty()) all = DeleteFileIfExists(owned.Marker) && all;
  return std::filesystem::remove(folder, ec) && !ec && all;
}

}  // namespace

void RemoveDeadWorkFoldersNow(const std::filesystem::path& parent) noexcept {
  try {
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(parent.empty() ? "." : parent, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
      const std::filesystem::path& path = it->path();
      const uint32_t pid = LeftoverProcess(FileNameOf(path), true);
      if (pid == 0) continue;
      std::error_code e;
      if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, e)) || e) continue;
      const auto owned = OwnedContent(path, true);
      if (!owned || !LeftoverIsDead(pid, owned->Newest)) continue;
      RemoveOwned(*owned, path, true);
    }
  } catch (...) {
  }
}

void RemoveDeadWorkFolders(const std::filesystem::path& parent) noexcept {
  static TOncePerFolder once;
  if (once.First(parent)) RemoveDeadWorkFoldersNow(parent);
}

TWorkFolderScope::TWorkFolderScope(const std::filesystem::path& parent) {
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  RemoveDeadWorkFolders(parent);
  const auto seed = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::string failure;
  for (uint32_t attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = parent / ("quillmark-" + std::to_string(ProcessId()) + "-" +
                                                      std::to_string((seed + attempt) % 100000));
    try {
      if (!MakeFolder(candidate)) continue;  // taken
    } catch (const EFileError& e) {
      failure = e.what();
      break;
    }
    std::filesystem::permissions(candidate, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace,
                                 ec);
    // The marker makes the folder provably ours for a later run's cleanup.
    try {
      TFile marker = TFile::CreateNew(candidate / std::string(WorkFolderMarker));
      const std::string text = MarkerText(candidate);
      marker.Write(text.data(), text.size());
      marker.Close();
    } catch (const EFileError& e) {
      DeleteFileIfExists(candidate / std::string(WorkFolderMarker));
      std::filesystem::remove(candidate, ec);
      failure = e.what();
      break;
    }
    Folder_ = candidate;
    return;
  }
  throw EFileError("cannot create a work folder in " + PathToUtf8(parent) + (failure.empty() ? "" : ": " + failure));
}

TWorkFolderScope::~TWorkFolderScope() { Close(); }

void TWorkFolderScope::DeleteTempFiles() noexcept {
  if (Folder_.empty()) return;
  try {
    if (const auto owned = OwnedContent(Folder_, false)) RemoveOwned(*owned, Folder_, false);
  } catch (...) {
  }
}

std::string TWorkFolderScope::Close() noexcept {
  if (Folder_.empty()) return {};
  std::string problem;
  try {
    const auto owned = OwnedContent(Folder_, false);
    if (!owned || !RemoveOwned(*owned, Folder_, true))
      problem = "the work folder " + PathToUtf8(Folder_) + " could not be removed (it holds files that are not ours)";
  } catch (...) {
    problem = "the work folder " + PathToUtf8(Folder_) + " could not be removed";
  }
  Folder_.clear();
  return problem;
}

TImageFolder::TImageFolder(const std::filesystem::path& workFolder) {
  // Unique among the documents of all threads of this run.
  static std::atomic<uint64_t> next{0};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::filesystem::path candidate = workFolder / ("d" + std::to_string(next++));
    if (MakeFolder(candidate)) {
      Folder_ = candidate;
      return;
    }
  }
  throw EFileError("cannot create an image folder in " + PathToUtf8(workFolder));
}

TImageFolder::~TImageFolder() {
  for (const size_t i : Made_) DeleteFileIfExists(FileOf(i));
  std::error_code ec;
  std::filesystem::remove(Folder_, ec);  // stays when anything else is in it
}

std::filesystem::path TImageFolder::FileOf(size_t index) const { return Folder_ / ("i" + std::to_string(index)); }

TFile TImageFolder::Create(size_t index) {
  TFile f = TFile::CreateNew(FileOf(index));
  Made_.push_back(index);
  return f;
}

}  // namespace qm
