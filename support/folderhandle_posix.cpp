#ifndef _WIN32
#include "folderhandle.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio.h"
#include "textconv.h"

namespace qm {

namespace {

[[noreturn]] void Fail(const std::string& what, int err) {
  throw EFileError(what + ": " + std::strerror(err), err == ENOENT ? EFileError::TKind::NotFound
                                                                   : EFileError::TKind::Other);
}

std::filesystem::file_time_type TimeOf(const struct stat& st) {
  using namespace std::chrono;
  const sys_time<nanoseconds> at{seconds(st.st_mtim.tv_sec) + nanoseconds(st.st_mtim.tv_nsec)};
  return time_point_cast<std::filesystem::file_time_type::duration>(file_clock::from_sys(at));
}

TFolderEntry EntryOf(const std::filesystem::path& name, const struct stat& st) {
  TFolderEntry e;
  e.Name = name;
  e.Type = S_ISREG(st.st_mode)   ? TEntryType::File
           : S_ISDIR(st.st_mode) ? TEntryType::Folder
           : S_ISLNK(st.st_mode) ? TEntryType::Link
                                 : TEntryType::Other;
  e.Identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  e.Ours = st.st_uid == ::geteuid();
  e.Changed = TimeOf(st);
  return e;
}

// A name that stays inside its folder: one part, not "." or "..".
bool PlainName(const std::filesystem::path& name) {
  const std::string& s = name.native();
  return !s.empty() && s != "." && s != ".." && s.find('/') == std::string::npos;
}

}  // namespace

TFolderHandle::~TFolderHandle() {
  if (Fd_ >= 0) ::close(Fd_);
}

TFolderHandle::TFolderHandle(TFolderHandle&& other) noexcept : Fd_(other.Fd_) { other.Fd_ = -1; }

TFolderHandle& TFolderHandle::operator=(TFolderHandle&& other) noexcept {
  if (this != &other) {
    if (Fd_ >= 0) ::close(Fd_);
    Fd_ = other.Fd_;
    other.Fd_ = -1;
  }
  return *this;
}

TFolderHandle TFolderHandle::Open(const std::filesystem::path& path, bool followLink) {
  TFolderHandle h;
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
  h.Fd_ = ::open(path.empty() ? "." : path.c_str(), flags);
  if (h.Fd_ < 0) Fail("cannot open the folder " + PathToUtf8(path), errno);
  return h;
}

bool TFolderHandle::IsOpen() const noexcept { return Fd_ >= 0; }

std::optional<TFolderHandle> TFolderHandle::OpenFolder(const std::filesystem::path& name) const {
  if (!PlainName(name)) return std::nullopt;
  TFolderHandle h;
  h.Fd_ = ::openat(Fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (h.Fd_ >= 0) return h;
  // A link (ELOOP), or something that is not a folder: not the folder asked for.
  if (errno == ELOOP || errno == ENOTDIR || errno == ENOENT) return std::nullopt;
  Fail("cannot open the folder " + PathToUtf8(name), errno);
}

TFolderEntry TFolderHandle::Self() const {
  struct stat st {};
  if (::fstat(Fd_, &st) != 0) Fail("cannot examine a folder", errno);
  return EntryOf({}, st);
}

std::vector<TFolderEntry> TFolderHandle::List(bool) const {
  // The listing gets a descriptor of its own: reading a folder moves the
  // position of the descriptor it reads.
  const int fd = ::openat(Fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("cannot list a folder", errno);
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    const int err = errno;
    ::close(fd);
    Fail("cannot list a folder", err);
  }
  std::vector<TFolderEntry> entries;
  int err = 0;
  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(dir);
    if (!d) {
      err = errno;
      break;
    }
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
    struct stat st {};
    if (::fstatat(Fd_, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // gone meanwhile
      err = errno;
      break;
    }
    entries.push_back(EntryOf(d->d_name, st));
  }
  ::closedir(dir);
  if (err) Fail("cannot list a folder", err);
  return entries;
}

std::optional<TFolderEntry> TFolderHandle::Look(const std::filesystem::path& name) const {
  if (!PlainName(name)) return std::nullopt;
  struct stat st {};
  if (::fstatat(Fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EntryOf(name, st);
  if (errno == ENOENT) return std::nullopt;
  Fail("cannot examine " + PathToUtf8(name), errno);
}

std::optional<std::string> TFolderHandle::ReadFile(const std::filesystem::path& name, size_t limit) const {
  if (!PlainName(name)) return std::nullopt;
  const int fd = ::openat(Fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP || errno == ENOENT || errno == ENXIO) return std::nullopt;
    Fail("cannot open " + PathToUtf8(name), errno);
  }
  std::optional<std::string> text;
  struct stat st {};
  int err = 0;
  if (::fstat(fd, &st) != 0) {
    err = errno;
  } else if (S_ISREG(st.st_mode)) {
    text.emplace();
    char buffer[512];
    while (text->size() < limit) {
      const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, limit - text->size()));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) err = errno;
      if (got <= 0) break;
      text->append(buffer, static_cast<size_t>(got));
    }
  }
  ::close(fd);
  if (err) Fail("cannot read " + PathToUtf8(name), err);
  return text;
}

bool TFolderHandle::RemoveFile(const TFolderEntry& checked) const {
  const auto now = Look(checked.Name);
  if (!now || now->Type == TEntryType::Link || now->Type == TEntryType::Folder || now->Identity != checked.Identity)
    return false;
  if (::unlinkat(Fd_, checked.Name.c_str(), 0) == 0) return true;
  if (errno == ENOENT) return false;
  Fail("cannot delete " + PathToUtf8(checked.Name), errno);
}

bool TFolderHandle::RemoveFolder(const std::filesystem::path& name, TFolderHandle&& child) const {
  const TFolderHandle held = std::move(child);
  const auto now = Look(name);
  if (!now || now->Type != TEntryType::Folder || now->Identity != held.Self().Identity) return false;
  // Only an empty folder is removed: should another take its place in the
  // moment since the look, it is removed only when it holds nothing.
  if (::unlinkat(Fd_, name.c_str(), AT_REMOVEDIR) == 0) return true;
  if (errno == ENOENT || errno == ENOTEMPTY || errno == EEXIST || errno == ENOTDIR) return false;
  Fail("cannot remove the folder " + PathToUtf8(name), errno);
}

}  // namespace qm
#endif
