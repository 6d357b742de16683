#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

#include <chrono>
#include <memory>

#include "fileio.h"
#include "folderhandle.h"
#include "textconv.h"

// Entries are opened relative to their folder's handle (NtCreateFile with a
// root directory), never by a path, and with FILE_OPEN_REPARSE_POINT, so that
// a link (a reparse point) is opened itself, not followed. Wine's emulation
// of that flag follows a Unix link; its listing still marks the link as a
// reparse point, and every open is compared with the identity listed, so a
// link found either way is not taken for what it leads to.

namespace qm {

namespace {

[[noreturn]] void Fail(const std::string& what, DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n && text ? std::wstring(text, n) : L"error " + std::to_wstring(code);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
    message.pop_back();
  throw EFileError(what + ": " + PathToUtf8(std::filesystem::path(message)),
                   code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? EFileError::TKind::NotFound
                                                                                : EFileError::TKind::Other);
}

std::filesystem::file_time_type TimeOf(LARGE_INTEGER filetime) {
  using namespace std::chrono;
  // 100-nanosecond steps since 1601-01-01; the system clock counts from 1970.
  const int64_t since1970 = filetime.QuadPart - 116444736000000000LL;
  const sys_time<nanoseconds> at{nanoseconds(since1970 * 100)};
  return time_point_cast<std::filesystem::file_time_type::duration>(file_clock::from_sys(at));
}

// A name that stays inside its folder: one part, not "." or "..".
bool PlainName(const std::filesystem::path& name) {
  const std::wstring& s = name.native();
  return !s.empty() && s != L"." && s != L".." && s.find_first_of(L"/\\:") == std::wstring::npos;
}

// The owners this program's files get: the token's user, and the token's
// default owner (for an elevated administrator the Administrators group).
struct TOwners {
  std::unique_ptr<uint8_t[]> User, Owner;
  TOwners() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    auto query = [token](TOKEN_INFORMATION_CLASS what) {
      DWORD size = 0;
      GetTokenInformation(token, what, nullptr, 0, &size);
      std::unique_ptr<uint8_t[]> data(new uint8_t[size ? size : 1]);
      if (!size || !GetTokenInformation(token, what, data.get(), size, &size)) data.reset();
      return data;
    };
    User = query(TokenUser);
    Owner = query(TokenOwner);
    CloseHandle(token);
  }
  bool Contains(PSID sid) const {
    if (!sid || !IsValidSid(sid)) return false;
    if (User && EqualSid(reinterpret_cast<TOKEN_USER*>(User.get())->User.Sid, sid)) return true;
    return Owner && EqualSid(reinterpret_cast<TOKEN_OWNER*>(Owner.get())->Owner, sid);
  }
};

bool OwnedByUs(HANDLE h) {
  static const TOwners owners;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &sd) !=
      ERROR_SUCCESS)
    return false;
  const bool ours = owners.Contains(owner);
  LocalFree(sd);
  return ours;
}

// Opens an entry of a folder by its name relative to the folder's handle,
// never following a link. Null with the system error in error when it fails.
HANDLE OpenRelative(HANDLE folder, const std::filesystem::path& name, ACCESS_MASK access, ULONG options,
                    DWORD& error) {
  std::wstring units = name.native();
  UNICODE_STRING ustr;
  ustr.Buffer = units.data();
  ustr.Length = static_cast<USHORT>(units.size() * sizeof(wchar_t));
  ustr.MaximumLength = ustr.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &ustr, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE h = nullptr;
  const NTSTATUS status =
      NtCreateFile(&h, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr, 0,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                   options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (status < 0) {
    error = RtlNtStatusToDosError(status);
    return nullptr;
  }
  return h;
}

// What an open handle holds.
TFolderEntry EntryOf(HANDLE h, const std::filesystem::path& name) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) Fail("cannot examine " + PathToUtf8(name), GetLastError());
  TFolderEntry e;
  e.Name = name;
  e.Type = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? TEntryType::Link
           : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? TEntryType::Folder
                                                                  : TEntryType::File;
  if (e.Type == TEntryType::File && GetFileType(h) != FILE_TYPE_DISK) e.Type = TEntryType::Other;
  e.Identity = {info.dwVolumeSerialNumber,
                (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  e.Ours = OwnedByUs(h);
  LARGE_INTEGER written;
  written.LowPart = info.ftLastWriteTime.dwLowDateTime;
  written.HighPart = static_cast<LONG>(info.ftLastWriteTime.dwHighDateTime);
  e.Changed = TimeOf(written);
  return e;
}

constexpr ACCESS_MASK FolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL;

}  // namespace

TFolderHandle::~TFolderHandle() {
  if (Handle_) CloseHandle(Handle_);
}

TFolderHandle::TFolderHandle(TFolderHandle&& other) noexcept : Handle_(other.Handle_), Volume_(other.Volume_) {
  other.Handle_ = nullptr;
}

TFolderHandle& TFolderHandle::operator=(TFolderHandle&& other) noexcept {
  if (this != &other) {
    if (Handle_) CloseHandle(Handle_);
    Handle_ = other.Handle_;
    Volume_ = other.Volume_;
    other.Handle_ = nullptr;
  }
  return *this;
}

TFolderHandle TFolderHandle::Open(const std::filesystem::path& path, bool followLink) {
  const std::filesystem::path target = path.empty() ? std::filesystem::path(L".") : path;
  HANDLE h = CreateFileW(target.c_str(), FolderAccess | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail("cannot open the folder " + PathToUtf8(path), GetLastError());
  TFolderHandle folder;
  folder.Handle_ = h;
  const TFolderEntry self = EntryOf(h, {});
  if (self.Type != TEntryType::Folder) Fail("cannot open the folder " + PathToUtf8(path), ERROR_DIRECTORY);
  folder.Volume_ = self.Identity.first;
  return folder;
}

bool TFolderHandle::IsOpen() const noexcept { return Handle_ != nullptr; }

std::optional<TFolderHandle> TFolderHandle::OpenFolder(const std::filesystem::path& name) const {
  if (!PlainName(name)) return std::nullopt;
  DWORD error = 0;
  HANDLE h = OpenRelative(Handle_, name, FolderAccess | DELETE, FILE_DIRECTORY_FILE, error);
  if (!h) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY)
      return std::nullopt;
    Fail("cannot open the folder " + PathToUtf8(name), error);
  }
  TFolderHandle folder;
  folder.Handle_ = h;
  const TFolderEntry self = EntryOf(h, name);
  if (self.Type != TEntryType::Folder) return std::nullopt;
  folder.Volume_ = self.Identity.first;
  return folder;
}

TFolderEntry TFolderHandle::Self() const { return EntryOf(Handle_, {}); }

std::vector<TFolderEntry> TFolderHandle::List(bool owners) const {
  std::vector<TFolderEntry> entries;
  alignas(8) uint8_t buffer[64 * 1024];
  for (FILE_INFO_BY_HANDLE_CLASS what = FileIdBothDirectoryRestartInfo;; what = FileIdBothDirectoryInfo) {
    if (!GetFileInformationByHandleEx(Handle_, what, buffer, sizeof buffer)) {
      const DWORD code = GetLastError();
      if (code == ERROR_NO_MORE_FILES) break;
      Fail("cannot list a folder", code);
    }
    for (size_t at = 0;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
      const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") {
        TFolderEntry e;
        e.Name = name;
        e.Type = (info->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? TEntryType::Link
                 : (info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? TEntryType::Folder
                                                                       : TEntryType::File;
        e.Identity = {Volume_, static_cast<uint64_t>(info->FileId.QuadPart)};
        e.Changed = TimeOf(info->LastWriteTime);
        if (owners) {
          // The owner of what the name leads to now, when it is what was listed.
          const auto now = Look(e.Name);
          e.Ours = now && now->Identity == e.Identity && now->Ours;
        }
        entries.push_back(std::move(e));
      }
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
  return entries;
}

std::optional<TFolderEntry> TFolderHandle::Look(const std::filesystem::path& name) const {
  if (!PlainName(name)) return std::nullopt;
  DWORD error = 0;
  HANDLE h = OpenRelative(Handle_, name, READ_CONTROL, 0, error);
  if (!h) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    Fail("cannot examine " + PathToUtf8(name), error);
  }
  std::optional<TFolderEntry> e;
  try {
    e = EntryOf(h, name);
  } catch (...) {
    CloseHandle(h);
    throw;
  }
  CloseHandle(h);
  return e;
}

std::optional<std::string> TFolderHandle::ReadFile(const std::filesystem::path& name, size_t limit) const {
  if (!PlainName(name)) return std::nullopt;
  DWORD error = 0;
  HANDLE h = OpenRelative(Handle_, name, FILE_READ_DATA, FILE_NON_DIRECTORY_FILE, error);
  if (!h) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_ACCESS_DENIED)
      return std::nullopt;
    Fail("cannot open " + PathToUtf8(name), error);
  }
  std::optional<std::string> text;
  DWORD failure = 0;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
      !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    text.emplace();
    char buffer[512];
    while (text->size() < limit) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, limit - text->size()));
      if (!::ReadFile(h, buffer, want, &got, nullptr)) {
        failure = GetLastError();
        break;
      }
      if (got == 0) break;
      text->append(buffer, got);
    }
  }
  CloseHandle(h);
  if (failure) Fail("cannot read " + PathToUtf8(name), failure);
  return text;
}

namespace {

// Deletes what an open handle holds (the name goes when the handle closes).
bool DeleteOpened(HANDLE h, const std::filesystem::path& name) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  const bool deleted = SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
  const DWORD code = deleted ? 0 : GetLastError();
  CloseHandle(h);
  if (deleted) return true;
  if (code == ERROR_DIR_NOT_EMPTY) return false;
  Fail("cannot delete " + PathToUtf8(name), code);
}

}  // namespace

bool TFolderHandle::RemoveFile(const TFolderEntry& checked) const {
  if (!PlainName(checked.Name)) return false;
  DWORD error = 0;
  HANDLE h = OpenRelative(Handle_, checked.Name, DELETE, FILE_NON_DIRECTORY_FILE, error);
  if (!h) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    Fail("cannot delete " + PathToUtf8(checked.Name), error);
  }
  TFolderEntry now;
  try {
    now = EntryOf(h, checked.Name);
  } catch (...) {
    CloseHandle(h);
    throw;
  }
  if (now.Type != TEntryType::File || now.Identity != checked.Identity) {
    CloseHandle(h);
    return false;
  }
  return DeleteOpened(h, checked.Name);
}

bool TFolderHandle::RemoveFolder(const std::filesystem::path& name, TFolderHandle&& child) const {
  TFolderHandle held = std::move(child);
  if (!held.Handle_) return false;
  // The name must lead to the folder held (it is the folder in this one that
  // was checked); the deletion then goes through the held handle itself.
  const auto now = Look(name);
  if (!now || now->Type != TEntryType::Folder || now->Identity != held.Self().Identity) return false;
  HANDLE h = held.Handle_;
  held.Handle_ = nullptr;
  return DeleteOpened(h, name);
}

}  // namespace qm
#endif
