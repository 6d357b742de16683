#ifdef _WIN32
#include <windows.h>

#include "fileio.h"
#include "textconv.h"

namespace qm {

namespace {

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n && text ? std::wstring(text, n) : L"error " + std::to_wstring(code);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
    message.pop_back();
  return PathToUtf8(std::filesystem::path(message));
}

EFileError::TKind KindOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EFileError::TKind::Exists;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return EFileError::TKind::NotFound;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return EFileError::TKind::NoSpace;
    default: return EFileError::TKind::Other;
  }
}

[[noreturn]] void Fail(const char* what, const std::filesystem::path& path, DWORD code) {
  throw EFileError(std::string(what) + " " + PathToUtf8(path) + ": " + SystemMessage(code), KindOf(code));
}

[[noreturn]] void Fail(const char* what, DWORD code) {
  throw EFileError(std::string(what) + ": " + SystemMessage(code), KindOf(code));
}

// The failure a test's hook injects, as a system error; 0 for none.
DWORD Injected(TFileOp op) {
  const int e = FileHook ? FileHook(op) : 0;
  return e == 0 ? 0 : e == 28 /* ENOSPC */ ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

// The name Windows is given for a path: a path too long for the classic
// limit of 260 characters goes in its extended form ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), which has no limit whatever the system's
// long-path setting; shorter paths go as they are.
std::wstring Win(const std::filesystem::path& path) {
  const std::wstring& given = path.native();
  if (given.size() < MAX_PATH - 12 || given.starts_with(L"\\\\?\\")) return given;
  std::error_code ec;
  std::wstring full = std::filesystem::absolute(path, ec).lexically_normal().native();
  if (ec) return given;
  for (wchar_t& c : full)
    if (c == L'/') c = L'\\';
  if (full.starts_with(L"\\\\?\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

HANDLE Open(const std::filesystem::path& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(Win(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TFile::~TFile() {
  if (Handle_) CloseHandle(Handle_);
}

TFile::TFile(TFile&& other) noexcept : SizeAtOpen_(other.SizeAtOpen_), Handle_(other.Handle_) {
  other.Handle_ = nullptr;
}

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    if (Handle_) CloseHandle(Handle_);
    Handle_ = other.Handle_;
    SizeAtOpen_ = other.SizeAtOpen_;
    other.Handle_ = nullptr;
  }
  return *this;
}

TFile TFile::OpenRead(const std::filesystem::path& path) {
  if (const DWORD e = Injected(TFileOp::Open)) Fail("cannot open", path, e);
  HANDLE h = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) Fail("cannot open", path, GetLastError());
  TFile f;
  f.Handle_ = h;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    throw EFileError("cannot read " + PathToUtf8(path) + ": not a regular file", EFileError::TKind::NotRegular);
  f.SizeAtOpen_ = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return f;
}

TFile TFile::Create(const std::filesystem::path& path, bool replace) {
  if (const DWORD e = Injected(TFileOp::Create)) Fail("cannot create", path, e);
  HANDLE h = Open(path, replace ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                  replace ? CREATE_ALWAYS : CREATE_NEW);
  if (h == INVALID_HANDLE_VALUE) Fail("cannot create", path, GetLastError());
  TFile f;
  f.Handle_ = h;
  return f;
}

TFile TFile::CreateNew(const std::filesystem::path& path) { return Create(path, false); }

TFile TFile::OpenStream(const std::filesystem::path& path) {
  if (const DWORD e = Injected(TFileOp::Open)) Fail("cannot open", path, e);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_PIPE_BUSY || code == ERROR_PIPE_NOT_CONNECTED)
      throw EFileError("nobody reads " + PathToUtf8(path) + " (a pipe without a free reader)",
                       EFileError::TKind::NoReader);
    Fail("cannot open", path, code);
  }
  TFile f;
  f.Handle_ = h;
  const DWORD type = GetFileType(h);
  if (type != FILE_TYPE_CHAR && type != FILE_TYPE_PIPE)
    throw EFileError(PathToUtf8(path) + " changed: it is no longer a device or pipe", EFileError::TKind::NotRegular);
  return f;
}

TFile TFile::CreateReplace(const std::filesystem::path& path) { return Create(path, true); }

bool TFile::IsOpen() const noexcept { return Handle_ != nullptr; }

uint64_t TFile::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle_, &size)) Fail("cannot examine file", GetLastError());
  return static_cast<uint64_t>(size.QuadPart);
}

size_t TFile::Read(void* buffer, size_t n) {
  if (const DWORD e = Injected(TFileOp::Read)) Fail("read error", e);
  const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(Handle_, buffer, want, &got, nullptr)) Fail("read error", GetLastError());
  return got;
}

void TFile::Write(const void* buffer, size_t n) {
  if (const DWORD e = Injected(TFileOp::Write)) Fail("write error", e);
  const char* p = static_cast<const char*>(buffer);
  while (n > 0) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(Handle_, p, want, &put, nullptr)) Fail("write error", GetLastError());
    if (put == 0) Fail("write error", ERROR_DISK_FULL);
    p += put;
    n -= put;
  }
}

size_t TFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
  if (const DWORD e = Injected(TFileOp::Read)) Fail("read error", e);
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(Handle_, buffer, want, &got, &at)) {
    const DWORD code = GetLastError();
    if (code == ERROR_HANDLE_EOF) return 0;
    Fail("read error", code);
  }
  // A read at an offset moves a synchronous handle's position: it goes back
  // to the end, where the writing left it.
  LARGE_INTEGER zero{};
  SetFilePointerEx(Handle_, zero, nullptr, FILE_END);
  return got;
}

void TFile::Sync() {
  if (const DWORD e = Injected(TFileOp::Sync)) Fail("cannot flush file to disk", e);
  if (!FlushFileBuffers(Handle_)) Fail("cannot flush file to disk", GetLastError());
}

// Windows writes cached data on its own schedule and has no call to hurry it.
void TFile::StartSync() noexcept {}

void TFile::Close() {
  if (!Handle_) return;
  HANDLE h = Handle_;
  Handle_ = nullptr;
  const DWORD injected = Injected(TFileOp::Close);
  if (!CloseHandle(h)) Fail("error closing file", GetLastError());
  if (injected) Fail("error closing file", injected);
}

bool EntryExists(const std::filesystem::path& path) noexcept {
  return !path.empty() && GetFileAttributesW(Win(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::filesystem::path& path) noexcept {
  if (path.empty()) return false;
  const DWORD a = GetFileAttributesW(Win(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

TEntryKind EntryKindOf(const std::filesystem::path& path, uint64_t* size) noexcept {
  if (path.empty()) return TEntryKind::None;
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!GetFileAttributesExW(Win(path).c_str(), GetFileExInfoStandard, &a)) return TEntryKind::None;
  if (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return TEntryKind::Other;
  if (size) *size = (static_cast<uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
  return TEntryKind::File;
}

TOutputPlace ExamineOutputPlace(const std::filesystem::path& path) {
  const std::string shown = PathToUtf8(path);
  // Opened as a file is opened to be written (links followed), without any
  // access to its content: what the name leads to is then known for certain.
  HANDLE h = CreateFileW(Win(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const DWORD own = GetFileAttributesW(Win(path).c_str());  // the name itself, a link not followed
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) Fail("cannot examine", path, code);
    if (own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_REPARSE_POINT))
      throw EFileError(shown + " is a link that leads nowhere; not written", EFileError::TKind::NotFound);
    return {TOutputPlace::TKind::New, path};
  }
  const DWORD type = GetFileType(h);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = type == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
  std::wstring final(32768, L'\0');
  DWORD n = 0;
  if (known && own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_REPARSE_POINT))
    n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  CloseHandle(h);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) return {TOutputPlace::TKind::Stream, path};
  if (!known) throw EFileError(shown + " is not a file; not written", EFileError::TKind::NotRegular);
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    throw EFileError(shown + " is a folder; not written", EFileError::TKind::NotRegular);
  if (own & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (n == 0 || n >= final.size()) throw EFileError("cannot follow the link " + shown);
    final.resize(n);
    return {TOutputPlace::TKind::File, std::filesystem::path(final)};
  }
  return {TOutputPlace::TKind::File, path};
}

bool StillRegularFile(const std::filesystem::path& path) noexcept {
  const DWORD a = GetFileAttributesW(Win(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool DeleteFileIfExists(const std::filesystem::path& path) noexcept {
  if (path.empty()) return false;
  return DeleteFileW(Win(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

void MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (const DWORD e = Injected(TFileOp::Rename)) Fail("cannot move file to", to, e);
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
  if (!MoveFileExW(Win(from).c_str(), Win(to).c_str(), MOVEFILE_WRITE_THROUGH)) Fail("cannot move file to", to, GetLastError());
}

void MoveReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (const DWORD e = Injected(TFileOp::Rename)) Fail("cannot move file to", to, e);
  if (!MoveFileExW(Win(from).c_str(), Win(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    Fail("cannot move file to", to, GetLastError());
}

bool SyncFolder(const std::filesystem::path&) noexcept { return Injected(TFileOp::Sync) == 0; }  // MOVEFILE_WRITE_THROUGH did it

bool MakeFolder(const std::filesystem::path& folder) {
  if (const DWORD e = Injected(TFileOp::MakeFolder)) Fail("cannot create the folder", folder, e);
  if (CreateDirectoryW(Win(folder).c_str(), nullptr)) return true;
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS) return false;
  Fail("cannot create the folder", folder, code);
}

uint32_t ProcessId() noexcept { return GetCurrentProcessId(); }

std::optional<std::pair<uint64_t, uint64_t>> FileIdentity(const std::filesystem::path& path) noexcept {
  if (path.empty()) return std::nullopt;
  HANDLE h = CreateFileW(Win(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return std::make_pair(static_cast<uint64_t>(info.dwVolumeSerialNumber),
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

bool ProcessAlive(uint32_t pid) noexcept {
  if (pid == 0) return false;
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!h) return GetLastError() != ERROR_INVALID_PARAMETER;  // access denied: it runs
  DWORD code = 0;
  const bool alive = !GetExitCodeProcess(h, &code) || code == STILL_ACTIVE;
  CloseHandle(h);
  return alive;
}

std::filesystem::path SystemTempFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
  std::error_code ec;
  if (n > 0 && n <= MAX_PATH + 1 && std::filesystem::is_directory(std::filesystem::path(buffer), ec))
    return std::filesystem::path(buffer);
  wchar_t windows[MAX_PATH + 1];
  const UINT w = GetWindowsDirectoryW(windows, MAX_PATH + 1);
  if (w > 0 && w <= MAX_PATH) {
    const std::filesystem::path fallback = std::filesystem::path(windows) / L"Temp";
    if (std::filesystem::is_directory(fallback, ec)) return fallback;
  }
  throw EFileError("there is no temporary folder");
}

std::u16string SystemCaseFolded(const std::filesystem::path& name) {
  const std::wstring& wide = name.native();
  if (wide.empty()) return {};
  const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()),
                              nullptr, 0, nullptr, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                  nullptr, nullptr, 0);
  return std::u16string(out.begin(), out.end());
}

}  // namespace qm
#endif
