#ifndef _WIN32
#include "fileio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

[[noreturn]] void Fail(const char* what, const std::filesystem::path& path, int err) {
  throw EFileError(std::string(what) + " " + path.string() + ": " + std::strerror(err));
}

[[noreturn]] void Fail(const char* what, int err) { throw EFileError(std::string(what) + ": " + std::strerror(err)); }

int OpenFlags(int base) { return base | O_CLOEXEC; }

}  // namespace

TFile::~TFile() {
  if (Fd_ >= 0) ::close(Fd_);
}

TFile::TFile(TFile&& other) noexcept : Fd_(other.Fd_) { other.Fd_ = -1; }

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    if (Fd_ >= 0) ::close(Fd_);
    Fd_ = other.Fd_;
    other.Fd_ = -1;
  }
  return *this;
}

TFile TFile::OpenRead(const std::filesystem::path& path) {
  TFile f;
  f.Fd_ = ::open(path.c_str(), OpenFlags(O_RDONLY));
  if (f.Fd_ < 0) Fail("cannot open", path, errno);
  struct stat st {};
  if (::fstat(f.Fd_, &st) != 0) Fail("cannot examine", path, errno);
  if (!S_ISREG(st.st_mode)) Fail("cannot read", path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  return f;
}

TFile TFile::CreateNew(const std::filesystem::path& path) {
  TFile f;
  f.Fd_ = ::open(path.c_str(), OpenFlags(O_WRONLY | O_CREAT | O_EXCL), 0666);
  if (f.Fd_ < 0) Fail("cannot create", path, errno);
  return f;
}

TFile TFile::CreateReplace(const std::filesystem::path& path) {
  TFile f;
  f.Fd_ = ::open(path.c_str(), OpenFlags(O_WRONLY | O_CREAT | O_TRUNC), 0666);
  if (f.Fd_ < 0) Fail("cannot create", path, errno);
  return f;
}

bool TFile::IsOpen() const noexcept { return Fd_ >= 0; }

uint64_t TFile::Size() const {
  struct stat st {};
  if (::fstat(Fd_, &st) != 0) Fail("cannot examine file", errno);
  return static_cast<uint64_t>(st.st_size);
}

size_t TFile::Read(void* buffer, size_t n) {
  for (;;) {
    const ssize_t got = ::read(Fd_, buffer, n);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) Fail("read error", errno);
  }
}

void TFile::Write(const void* buffer, size_t n) {
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

void TFile::Sync() {
  if (::fsync(Fd_) != 0) Fail("cannot flush file to disk", errno);
}

void TFile::Close() {
  if (Fd_ < 0) return;
  const int fd = Fd_;
  Fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) Fail("error closing file", errno);
}

bool EntryExists(const std::filesystem::path& path) noexcept {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool FileExists(const std::filesystem::path& path) noexcept {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFileIfExists(const std::filesystem::path& path) noexcept {
  if (path.empty()) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

void MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) Fail("cannot move file to", to, errno);
#endif
  // Fallback for file systems without an atomic no-replace rename: link the
  // new name (which fails when it exists), then drop the temporary name.
  if (::link(from.c_str(), to.c_str()) != 0) Fail("cannot move file to", to, errno);
  ::unlink(from.c_str());
}

void MoveReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) Fail("cannot move file to", to, errno);
}

void SyncFolder(const std::filesystem::path& folder) noexcept {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

uint32_t ProcessId() noexcept { return static_cast<uint32_t>(::getpid()); }

}  // namespace qm
#endif
