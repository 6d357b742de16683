#include "workfolder.h"

#include <array>
#include <chrono>
#include <string>
#include <system_error>

#include "Func_.h"
#include "fileio.h"
#include "textconv.h"

std::filesystem::path WorkFolder;
std::vector<TBindImageType> TempFiles;

int32_t TempFileCount() noexcept { return static_cast<int32_t>(TempFiles.size()); }

void ClearTempFileList() noexcept {
  TempFiles.clear();
  TempFiles.shrink_to_fit();
}

namespace {

// The position of the last "." of a file name, or npos.
size_t LastDot(const std::filesystem::path::string_type& name) {
  return name.rfind(static_cast<std::filesystem::path::value_type>('.'));
}

// True when the name ends in ".gz", in any letter case.
bool IsGz(const std::filesystem::path::string_type& name) {
  const size_t dot = LastDot(name);
  if (dot == name.npos || name.size() - dot != 3) return false;
  auto lower = [](std::filesystem::path::value_type c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
  return lower(name[dot + 1]) == 'g' && lower(name[dot + 2]) == 'z';
}

void DeleteInWorkFolder(const std::filesystem::path::string_type& name) {
  if (!WorkFolder.empty() && !name.empty()) qm::DeleteFileIfExists(WorkFolder / name);
}

bool IsDeviceName(std::string upper) {
  const size_t dot = upper.find('.');
  if (dot != std::string::npos) upper.resize(dot);
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  static const std::array<const char*, 4> plain = {"CON", "PRN", "AUX", "NUL"};
  for (const char* n : plain)
    if (upper == n) return true;
  if (upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '0' &&
      upper[3] <= '9')
    return true;
  return upper == "CONIN$" || upper == "CONOUT$";
}

}  // namespace

void DeleteTempFiles() noexcept {
  for (const TBindImageType& f : TempFiles)
    if (const auto name = PlainImageName(f.FileName)) DeleteInWorkFolder(name->native());
}

void DeleteTempGzFiles() noexcept {
  for (const TBindImageType& f : TempFiles)
    if (const auto name = PlainImageName(f.FileName); name && IsGz(name->native())) DeleteInWorkFolder(name->native());
}

void DeleteTempUnpackedFiles() noexcept {
  for (const TBindImageType& f : TempFiles) {
    const auto name = PlainImageName(f.FileName);
    if (!name) continue;
    auto unpacked = name->native();
    if (IsGz(unpacked)) unpacked.resize(LastDot(unpacked));
    DeleteInWorkFolder(unpacked);
  }
}

std::optional<std::filesystem::path> ImageFilePath(const TJwwString& stored) {
  if (WorkFolder.empty()) return std::nullopt;
  auto name = PlainImageName(stored);
  if (!name) return std::nullopt;
  return WorkFolder / *name;
}

std::optional<std::filesystem::path> PlainImageName(const TJwwString& stored) {
  if (stored.empty()) return std::nullopt;
  const auto decoded = qm::PathFromJww(stored);
  if (!decoded) return std::nullopt;
  const std::string utf8 = qm::PathToUtf8(*decoded);
  if (utf8.empty() || utf8 == "." || utf8 == "..") return std::nullopt;
  for (const char c : utf8) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return std::nullopt;
    switch (c) {
      case '/': case '\\': case ':': case '<': case '>': case '"': case '|': case '?': case '*':
        return std::nullopt;
      default:
        break;
    }
  }
  // Full-width and other look-alike delimiters are ordinary characters; only
  // the real ones above can reach another folder.
  if (utf8.back() == '.' || utf8.back() == ' ') return std::nullopt;
  std::string upper;
  for (const char c : utf8) upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  if (IsDeviceName(upper)) return std::nullopt;
  return decoded;
}

namespace qm {

TWorkFolderScope::TWorkFolderScope(const std::filesystem::path& parent) : Previous_(WorkFolder) {
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  RemoveDeadLeftovers(parent);
  const auto seed = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::string failure;
  for (uint32_t attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        parent / ("quillmark-" + std::to_string(ProcessId()) + "-" + std::to_string((seed + attempt) % 100000));
    try {
      if (!MakeFolder(candidate)) continue;  // taken
    } catch (const EFileError& e) {
      failure = e.what();
      break;
    }
    std::filesystem::permissions(candidate, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace,
                                 ec);
    Folder_ = candidate;
    WorkFolder = candidate;
    ClearTempFileList();
    return;
  }
  throw EFileError("cannot create a work folder in " + PathToUtf8(parent) + (failure.empty() ? "" : ": " + failure));
}

TWorkFolderScope::~TWorkFolderScope() { Close(); }

std::string TWorkFolderScope::Close() noexcept {
  if (Folder_.empty()) return {};
  DeleteTempFiles();
  DeleteTempGzFiles();
  DeleteTempUnpackedFiles();
  std::error_code ec;
  std::filesystem::remove_all(Folder_, ec);
  std::string problem;
  if (ec || std::filesystem::exists(std::filesystem::symlink_status(Folder_, ec)))
    problem = "the work folder " + PathToUtf8(Folder_) + " could not be removed" + (ec ? ": " + ec.message() : "");
  ClearTempFileList();
  WorkFolder = Previous_;
  Folder_.clear();
  return problem;
}

}  // namespace qm
