#ifndef _WIN32
#include "fileio.h"

#include "Func_.h"
#include "textconv.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

EFileError::TKind KindOf(int err) {
  switch (err) {
    case EEXIST: return EFileError::TKind::Exists;
    case ENOENT: return EFileError::TKind::NotFound;
    case ENOSPC:
    case EDQUOT: return EFileError::TKind::NoSpace;
    default: return EFileError::TKind::Other;
  }
}

[[noreturn]] void Fail(const char* what, const std::filesystem::path& path, int err) {
  throw EFileError(std::string(what) + " " + path.string() + ": " + std::strerror(err), KindOf(err));
}

[[noreturn]] void Fail(const char* what, int err) {
  throw EFileError(std::string(what) + ": " + std::strerror(err), KindOf(err));
}

// The error a test's hook injects into an operation, 0 for none.
int Injected(TFileOp op) { return FileHook ? FileHook(op) : 0; }

int OpenFlags(int base) { return base | O_CLOEXEC; }

}  // namespace

TFile::~TFile() {
  if (Fd_ >= 0) ::close(Fd_);
}

TFile::TFile(TFile&& other) noexcept : SizeAtOpen_(other.SizeAtOpen_), Fd_(other.Fd_) { other.Fd_ = -1; }

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    if (Fd_ >= 0) ::close(Fd_);
    Fd_ = other.Fd_;
    SizeAtOpen_ = other.SizeAtOpen_;
    other.Fd_ = -1;
  }
  return *this;
}

TFile TFile::OpenRead(const std::filesystem::path& path) {
  if (const int e = Injected(TFileOp::Open)) Fail("cannot open", path, e);
  TFile f;
  // Opened without waiting: a FIFO or a device named like a drawing would
  // otherwise block the open until a writer appears. What was opened is then
  // checked to be a regular file.
  f.Fd_ = ::open(path.c_str(), OpenFlags(O_RDONLY | O_NONBLOCK | O_NOCTTY));
  if (f.Fd_ < 0) Fail("cannot open", path, errno);
  struct stat st {};
  if (::fstat(f.Fd_, &st) != 0) Fail("cannot examine", path, errno);
  if (!S_ISREG(st.st_mode))
    throw EFileError("cannot read " + path.string() + ": not a regular file (" +
                         (S_ISDIR(st.st_mode) ? "a folder" : S_ISFIFO(st.st_mode) ? "a FIFO" : "a device or socket") +
                         ")",
                     EFileError::TKind::NotRegular);
  // O_NONBLOCK means nothing to a regular file's reads: it stays set.
  f.SizeAtOpen_ = static_cast<uint64_t>(st.st_size);
  return f;
}

TFile TFile::CreateNew(const std::filesystem::path& path) {
  if (const int e = Injected(TFileOp::Create)) Fail("cannot create", path, e);
  TFile f;
  f.Fd_ = ::open(path.c_str(), OpenFlags(O_RDWR | O_CREAT | O_EXCL), 0666);
  if (f.Fd_ < 0) Fail("cannot create", path, errno);
  return f;
}

TFile TFile::CreateReplace(const std::filesystem::path& path) {
  if (const int e = Injected(TFileOp::Create)) Fail("cannot create", path, e);
  TFile f;
  f.Fd_ = ::open(path.c_str(), OpenFlags(O_WRONLY | O_CREAT | O_TRUNC), 0666);
  if (f.Fd_ < 0) Fail("cannot create", path, errno);
  return f;
}

TFile TFile::OpenStream(const std::filesystem::path& path) {
  if (const int e = Injected(TFileOp::Open)) Fail("cannot open", path, e);
  TFile f;
  // Without waiting: a FIFO that nobody reads answers ENXIO at once.
  f.Fd_ = ::open(path.c_str(), OpenFlags(O_WRONLY | O_NONBLOCK | O_NOCTTY));
  if (f.Fd_ < 0) {
    if (errno == ENXIO)
      throw EFileError("nobody reads " + Printable(PathToUtf8(path)) + " (a FIFO without a reader)",
                       EFileError::TKind::NoReader);
    Fail("cannot open", path, errno);
  }
  struct stat st {};
  if (::fstat(f.Fd_, &st) != 0) Fail("cannot examine", path, errno);
  if (!S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode))
    throw EFileError(Printable(PathToUtf8(path)) + " changed: it is no longer a device or FIFO",
                     EFileError::TKind::NotRegular);
  // From here on the writes wait for the reader as any writer's would.
  const int flags = ::fcntl(f.Fd_, F_GETFL);
  if (flags < 0 || ::fcntl(f.Fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) Fail("cannot set up", path, errno);
  return f;
}

bool TFile::IsOpen() const noexcept { return Fd_ >= 0; }

uint64_t TFile::Size() const {
  struct stat st {};
  if (::fstat(Fd_, &st) != 0) Fail("cannot examine file", errno);
  return static_cast<uint64_t>(st.st_size);
}

size_t TFile::Read(void* buffer, size_t n) {
  if (const int e = Injected(TFileOp::Read)) Fail("read error", e);
  for (;;) {
    const ssize_t got = ::read(Fd_, buffer, n);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) Fail("read error", errno);
  }
}

void TFile::Write(const void* buffer, size_t n) {
  if (const int e = Injected(TFileOp::Write)) Fail("write error", e);
  const char* p = static_cast<const char*>(buffer);
  while (n > 0) {
    const ssize_t put = ::write(Fd_, p, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail("write error", errno);
    }
    if (put == 0) Fail("write error", ENOSPC);
    p += put;
    n -= static_cast<size_t>(put);
  }
}

size_t TFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
  if (const int e = Injected(TFileOp::Read)) Fail("read error", e);
  for (;;) {
    const ssize_t got = ::pread(Fd_, buffer, n, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) Fail("read error", errno);
  }
}

void TFile::Sync() {
  if (const int e = Injected(TFileOp::Sync)) Fail("cannot flush file to disk", e);
  if (::fsync(Fd_) != 0) Fail("cannot flush file to disk", errno);
}

void TFile::StartSync() noexcept {
#ifdef SYNC_FILE_RANGE_WRITE
  if (Fd_ >= 0) (void)::sync_file_range(Fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

void TFile::Close() {
  if (Fd_ < 0) return;
  const int fd = Fd_;
  Fd_ = -1;
  const int injected = Injected(TFileOp::Close);
  if (::close(fd) != 0 && errno != EINTR) Fail("error closing file", errno);
  if (injected) Fail("error closing file", injected);
}

bool EntryExists(const std::filesystem::path& path) noexcept {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool FileExists(const std::filesystem::path& path) noexcept {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TEntryKind EntryKindOf(const std::filesystem::path& path, uint64_t* size) noexcept {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return TEntryKind::None;
  if (!S_ISREG(st.st_mode)) return TEntryKind::Other;
  if (size) *size = static_cast<uint64_t>(st.st_size);
  return TEntryKind::File;
}

namespace {

const char* KindName(mode_t mode) {
  return S_ISDIR(mode)    ? "a folder"
         : S_ISSOCK(mode) ? "a socket"
         : S_ISBLK(mode)  ? "a block device"
         : S_ISLNK(mode)  ? "a link"
                          : "not a file";
}

}  // namespace

TOutputPlace ExamineOutputPlace(const std::filesystem::path& path) {
  const std::string shown = Printable(PathToUtf8(path));
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return {TOutputPlace::TKind::New, path};
    Fail("cannot examine", path, errno);
  }
  std::filesystem::path target = path;
  if (S_ISLNK(st.st_mode)) {
    if (::stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ELOOP)
        throw EFileError(shown + " is a link that leads nowhere; not written", EFileError::TKind::NotFound);
      Fail("cannot examine", path, errno);
    }
    std::error_code ec;
    target = std::filesystem::canonical(path, ec);
    if (ec) throw EFileError("cannot follow the link " + shown + ": " + ec.message());
  }
  if (S_ISREG(st.st_mode)) return {TOutputPlace::TKind::File, target};
  if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) return {TOutputPlace::TKind::Stream, path};
  throw EFileError(shown + " is " + KindName(st.st_mode) + "; not written", EFileError::TKind::NotRegular);
}

bool StillRegularFile(const std::filesystem::path& path) noexcept {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFileIfExists(const std::filesystem::path& path) noexcept {
  if (path.empty()) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

void MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (const int e = Injected(TFileOp::Rename)) Fail("cannot move file to", to, e);
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) Fail("cannot move file to", to, errno);
#endif
  // Fallback for file systems without an atomic no-replace rename: link the
  // new name (which fails when it exists), then drop the temporary name. If
  // that cannot be dropped, the new name goes again: a file never keeps two.
  if (::link(from.c_str(), to.c_str()) != 0) Fail("cannot move file to", to, errno);
  if (::unlink(from.c_str()) != 0) {
    const int err = errno;
    ::unlink(to.c_str());
    Fail("cannot move file to", to, err);
  }
}

void MoveReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (const int e = Injected(TFileOp::Rename)) Fail("cannot move file to", to, e);
  if (::rename(from.c_str(), to.c_str()) != 0) Fail("cannot move file to", to, errno);
}

bool SyncFolder(const std::filesystem::path& folder) noexcept {
  if (Injected(TFileOp::Sync)) return false;
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot flush a folder
  ::close(fd);
  return ok;
}

bool MakeFolder(const std::filesystem::path& folder) {
  if (const int e = Injected(TFileOp::MakeFolder)) Fail("cannot create the folder", folder, e);
  if (::mkdir(folder.c_str(), 0777) == 0) return true;
  if (errno == EEXIST) return false;
  Fail("cannot create the folder", folder, errno);
}

std::optional<std::pair<uint64_t, uint64_t>> FileIdentity(const std::filesystem::path& path) noexcept {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
}

bool ProcessAlive(uint32_t pid) noexcept {
  if (pid == 0 || pid > 0x7FFFFFFFu) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::filesystem::path SystemTempFolder() {
  std::error_code ec;
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
    const char* value = std::getenv(name);
    if (value && *value && std::filesystem::is_directory(value, ec)) return std::filesystem::path(value);
  }
  for (const char* fallback : {"/tmp", "/var/tmp"})
    if (std::filesystem::is_directory(fallback, ec)) return fallback;
  throw EFileError("there is no temporary folder (TMPDIR names none, and there is no /tmp)");
}

std::u16string SystemCaseFolded(const std::filesystem::path& name) {
  return Func_::UnicodeUpperCase(PathToUtf16(name));  // names that are not UTF-8 keep their bytes as units
}

uint32_t ProcessId() noexcept { return static_cast<uint32_t>(::getpid()); }

}  // namespace qm
#endif
