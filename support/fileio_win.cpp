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

[[noreturn]] void Fail(const char* what, const std::filesystem::path& path, DWORD code) {
  throw EFileError(std::string(what) + " " + PathToUtf8(path) + ": " + SystemMessage(code));
}

[[noreturn]] void Fail(const char* what, DWORD code) { throw EFileError(std::string(what) + ": " + SystemMessage(code)); }

HANDLE Open(const std::filesystem::path& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TFile::~TFile() {
  if (Handle_) CloseHandle(Handle_);
}

TFile::TFile(TFile&& other) noexcept : Handle_(other.Handle_) { other.Handle_ = nullptr; }

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    if (Handle_) CloseHandle(Handle_);
    Handle_ = other.Handle_;
    other.Handle_ = nullptr;
  }
  return *this;
}

TFile TFile::OpenRead(const std::filesystem::path& path) {
  HANDLE h = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) Fail("cannot open", path, GetLastError());
  TFile f;
  f.Handle_ = h;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) Fail("cannot examine", path, GetLastError());
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Fail("cannot read", path, ERROR_DIRECTORY);
  return f;
}

TFile TFile::Create(const std::filesystem::path& path, bool replace) {
  HANDLE h = Open(path, GENERIC_WRITE, FILE_SHARE_READ, replace ? CREATE_ALWAYS : CREATE_NEW);
  if (h == INVALID_HANDLE_VALUE) Fail("cannot create", path, GetLastError());
  TFile f;
  f.Handle_ = h;
  return f;
}

TFile TFile::CreateNew(const std::filesystem::path& path) { return Create(path, false); }

TFile TFile::CreateReplace(const std::filesystem::path& path) { return Create(path, true); }

bool TFile::IsOpen() const noexcept { return Handle_ != nullptr; }

uint64_t TFile::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle_, &size)) Fail("cannot examine file", GetLastError());
  return static_cast<uint64_t>(size.QuadPart);
}

size_t TFile::Read(void* buffer, size_t n) {
  const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(Handle_, buffer, want, &got, nullptr)) Fail("read error", GetLastError());
  return got;
}

void TFile::Write(const void* buffer, size_t n) {
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

void TFile::Sync() {
  if (!FlushFileBuffers(Handle_)) Fail("cannot flush file to disk", GetLastError());
}

void TFile::Close() {
  if (!Handle_) return;
  HANDLE h = Handle_;
  Handle_ = nullptr;
  if (!CloseHandle(h)) Fail("error closing file", GetLastError());
}

bool EntryExists(const std::filesystem::path& path) noexcept {
  return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::filesystem::path& path) noexcept {
  if (path.empty()) return false;
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileIfExists(const std::filesystem::path& path) noexcept {
  if (path.empty()) return false;
  return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

void MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) Fail("cannot move file to", to, GetLastError());
}

void MoveReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    Fail("cannot move file to", to, GetLastError());
}

void SyncFolder(const std::filesystem::path&) noexcept {}  // MOVEFILE_WRITE_THROUGH did it

uint32_t ProcessId() noexcept { return GetCurrentProcessId(); }

}  // namespace qm
#endif
