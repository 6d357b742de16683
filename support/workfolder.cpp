#include "workfolder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <system_error>

#include "Func_.h"
#include "fileio.h"
#include "textconv.h"

namespace qm {

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
  const auto decoded = PathFromJww(stored);
  if (!decoded) return std::nullopt;
  const std::u16string units = PathToUtf16(*decoded);
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
// files, not links), all owned by this user. Each is held as it was checked
// (an image folder through its open handle), so that what is removed is
// exactly what was checked.
struct TImageFolderContent {
  TFolderEntry Entry;
  TFolderHandle Handle;
  std::vector<TFolderEntry> Files;
};
struct TOwnedContent {
  std::optional<TFolderEntry> Marker;
  std::vector<TImageFolderContent> Folders;
  std::filesystem::file_time_type Newest = std::filesystem::file_time_type::min();
  std::string NotOurs;  // why the folder is not wholly ours; empty when it is
};

// Checks a work folder through its handle. Raises EFileError when it cannot
// be read.
TOwnedContent OwnedContent(const TFolderHandle& folder, const std::filesystem::path& name, bool markerRequired) {
  TOwnedContent owned;
  auto notOurs = [&owned](const std::string& why) {
    owned.NotOurs = why;
    return std::move(owned);
  };
  const TFolderEntry self = folder.Self();
  if (!self.Ours) return notOurs("it belongs to another user");
  owned.Newest = self.Changed;
  for (TFolderEntry& e : folder.List()) {
    const std::string entryName = FileNameOf(e.Name);
    if (!e.Ours) return notOurs("it holds " + Printable(entryName) + ", which belongs to another user");
    owned.Newest = std::max(owned.Newest, e.Changed);
    if (entryName == WorkFolderMarker && e.Type == TEntryType::File) {
      owned.Marker = e;
      continue;
    }
    if (!NumberedName(entryName, 'd') || e.Type != TEntryType::Folder)
      return notOurs("it holds " + Printable(entryName) + ", which is not ours");
    std::optional<TFolderHandle> inner = folder.OpenFolder(e.Name);
    // Opened is what was listed, or the name now leads elsewhere.
    if (!inner || inner->Self().Identity != e.Identity) return notOurs(entryName + " changed while it was examined");
    TImageFolderContent images{std::move(e), std::move(*inner), {}};
    for (TFolderEntry& f : images.Handle.List()) {
      const std::string fileName = FileNameOf(f.Name);
      if (!NumberedName(fileName, 'i') || f.Type != TEntryType::File || !f.Ours)
        return notOurs("it holds " + entryName + "/" + Printable(fileName) + ", which is not ours");
      owned.Newest = std::max(owned.Newest, f.Changed);
      images.Files.push_back(std::move(f));
    }
    owned.Folders.push_back(std::move(images));
  }
  if (markerRequired) {
    // The marker names its own folder: a marker copied elsewhere proves nothing.
    if (!owned.Marker) return notOurs("it has no marker");
    const auto text = folder.ReadFile(owned.Marker->Name, 1024);
    if (!text || *text != MarkerText(name)) return notOurs("its marker is not its own");
  }
  return owned;
}

// Removes what OwnedContent found, one entry at a time, each through the
// handle of its folder and only while it is still what was checked: the
// image files, their folders and, with parent, the marker and the folder
// itself. Empty when everything went, else what stays. Raises EFileError
// when a removal fails.
std::string RemoveOwned(TOwnedContent& owned, TFolderHandle& folder, const TFolderHandle* parent,
                        const std::filesystem::path& name) {
  std::string stays;
  auto note = [&stays](const std::filesystem::path& what) {
    if (stays.empty()) stays = Printable(FileNameOf(what)) + " changed while it was removed";
  };
  for (TImageFolderContent& images : owned.Folders) {
    for (const TFolderEntry& f : images.Files)
      if (!images.Handle.RemoveFile(f)) note(f.Name);
    if (!folder.RemoveFolder(images.Entry.Name, std::move(images.Handle))) note(images.Entry.Name);
  }
  owned.Folders.clear();
  if (!parent) return stays;
  if (owned.Marker && !folder.RemoveFile(*owned.Marker)) note(owned.Marker->Name);
  if (!parent->RemoveFolder(name, std::move(folder))) note(name);
  return stays;
}

}  // namespace

void (*LeftoverChecked)(const std::filesystem::path& folder) = nullptr;

void RemoveDeadWorkFoldersNow(const std::filesystem::path& parent) noexcept {
  try {
    const TFolderHandle folder = TFolderHandle::Open(parent, true);
    for (const TFolderEntry& e : folder.List()) {
      try {
        const uint32_t pid = LeftoverProcess(FileNameOf(e.Name), true);
        if (pid == 0 || e.Type != TEntryType::Folder || !e.Ours) continue;
        std::optional<TFolderHandle> run = folder.OpenFolder(e.Name);
        if (!run || run->Self().Identity != e.Identity) continue;
        TOwnedContent owned = OwnedContent(*run, e.Name, true);
        if (!owned.NotOurs.empty() || !LeftoverIsDead(pid, owned.Newest)) continue;
        if (LeftoverChecked) LeftoverChecked(parent / e.Name);
        RemoveOwned(owned, *run, &folder, e.Name);
      } catch (...) {
        // This one stays; the others are still looked at.
      }
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
    const std::filesystem::path name = "quillmark-" + std::to_string(ProcessId()) + "-" +
                                       std::to_string((seed + attempt) % 100000);
    const std::filesystem::path candidate = parent / name;
    try {
      if (!MakeFolder(candidate)) continue;  // taken
    } catch (const EFileError& e) {
      failure = e.what();
      break;
    }
    std::filesystem::permissions(candidate, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace,
                                 ec);
    try {
      // Held open for the run: its cleanup reaches exactly this folder.
      Parent_ = TFolderHandle::Open(parent, true);
      std::optional<TFolderHandle> self = Parent_.OpenFolder(name);
      if (!self) throw EFileError("the folder " + PathToUtf8(candidate) + " was replaced as it was made");
      Self_ = std::move(*self);
      // The marker makes the folder provably ours for a later run's cleanup.
      TFile marker = TFile::CreateNew(candidate / std::string(WorkFolderMarker));
      const std::string text = MarkerText(name);
      marker.Write(text.data(), text.size());
      marker.Close();
    } catch (const EFileError& e) {
      DeleteFileIfExists(candidate / std::string(WorkFolderMarker));
      std::filesystem::remove(candidate, ec);
      Self_ = {};
      Parent_ = {};
      failure = e.what();
      break;
    }
    Folder_ = candidate;
    Name_ = name;
    return;
  }
  throw EFileError("cannot create a work folder in " + PathToUtf8(parent) + (failure.empty() ? "" : ": " + failure));
}

TWorkFolderScope::~TWorkFolderScope() { Close(); }

void TWorkFolderScope::DeleteTempFiles() noexcept {
  if (Folder_.empty()) return;
  try {
    TOwnedContent owned = OwnedContent(Self_, Name_, false);
    if (owned.NotOurs.empty()) RemoveOwned(owned, Self_, nullptr, Name_);
  } catch (...) {
  }
}

std::string TWorkFolderScope::Close() noexcept {
  if (Folder_.empty()) return {};
  std::string problem;
  const std::string shown = "the work folder " + Printable(PathToUtf8(Folder_)) + " could not be removed";
  try {
    TOwnedContent owned = OwnedContent(Self_, Name_, false);
    if (!owned.NotOurs.empty()) {
      problem = shown + " (" + owned.NotOurs + ")";
    } else if (const std::string stays = RemoveOwned(owned, Self_, &Parent_, Name_); !stays.empty()) {
      problem = shown + " (" + stays + ")";
    }
  } catch (const std::exception& e) {
    problem = shown + ": " + e.what();
  }
  Self_ = {};
  Parent_ = {};
  Folder_.clear();
  return problem;
}

TImageFolder::TImageFolder(const std::filesystem::path& workFolder) {
  // Unique among the documents of all threads of this run.
  static std::atomic<uint64_t> next{0};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::filesystem::path name = "d" + std::to_string(next++);
    if (MakeFolder(workFolder / name)) {
      Folder_ = workFolder / name;
      Name_ = name;
      // Held open: the images are removed through it, whatever the path
      // leads to by then.
      Work_ = TFolderHandle::Open(workFolder, true);
      std::optional<TFolderHandle> self = Work_.OpenFolder(name);
      if (!self) throw EFileError("the image folder " + PathToUtf8(Folder_) + " was replaced as it was made");
      Self_ = std::move(*self);
      return;
    }
  }
  throw EFileError("cannot create an image folder in " + PathToUtf8(workFolder));
}

TImageFolder::~TImageFolder() {
  try {
    for (const TFolderEntry& made : Made_) Self_.RemoveFile(made);
    if (Work_.IsOpen() && Self_.IsOpen()) Work_.RemoveFolder(Name_, std::move(Self_));  // stays when anything else is in it
  } catch (...) {
  }
}

std::filesystem::path TImageFolder::FileOf(size_t index) const { return Folder_ / ("i" + std::to_string(index)); }

TFile TImageFolder::Create(size_t index) {
  TFile f = TFile::CreateNew(FileOf(index));
  if (const auto made = Self_.Look("i" + std::to_string(index)); made && made->Type == TEntryType::File)
    Made_.push_back(*made);
  return f;
}

}  // namespace qm
