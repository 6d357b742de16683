// Small helpers shared by the tests: a temporary folder that removes itself,
// whole-file reads, hex literals, a work folder for image extraction, and
// load and save results as test results.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "fileio.h"
#include "jwwnormalise.h"
#include "jwwstring.h"
#include "jwwunit.h"
#include "workfolder.h"

// Found by argument-dependent lookup, so beside the types they print.
namespace qm {

// How a drawing string shows in a failed expectation: its form and its units.
inline std::ostream& operator<<(std::ostream& out, const TJwwString& s) {
  char buf[8];
  if (s.IsWide()) {
    out << "utf16{";
    for (const char16_t u : s.Units()) {
      std::snprintf(buf, sizeof buf, " %04X", static_cast<unsigned>(u));
      out << buf;
    }
  } else {
    out << "sjis{";
    for (const char c : s.Sjis()) {
      std::snprintf(buf, sizeof buf, " %02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out << buf;
    }
  }
  return out << " }";
}

namespace JwwNormalise {
inline void PrintTo(const TNormalised& n, std::ostream* out) {
  *out << "{texts " << n.Texts << ", fonts " << n.Fonts << ", pens " << n.Pens << ", layers " << n.Layers
       << ", names " << n.Names << ", settings " << n.Settings << "}";
}
}  // namespace JwwNormalise

}  // namespace qm

namespace testutil {

using namespace qm;

// A fresh folder under the system's temporary directory; removed with its
// content when the object goes.
class TTempDir {
 public:
  TTempDir() {
    static int serial = 0;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      Path_ = base / ("qmtest-" + std::to_string(qm::ProcessId()) + "-" + std::to_string(++serial));
      if (std::filesystem::create_directory(Path_)) break;
    }
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::permissions(Path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    for (auto& e : std::filesystem::recursive_directory_iterator(Path_, ec))
      if (e.is_directory(ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(Path_, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::filesystem::path& Path() const { return Path_; }
  std::filesystem::path operator/(const std::string& name) const { return Path_ / name; }
  // Names of the entries in the folder, sorted.
  std::vector<std::string> List() const { return ListOf(Path_); }
  static std::vector<std::string> ListOf(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path Path_;
};

// A run's work folder for the images of the documents a test loads; removed
// with its content when the object goes.
class TScopedWorkFolder {
 public:
  const std::filesystem::path& Path() const { return Dir_.Path(); }
  // Load options that extract the images into files in it (none kept in memory).
  TLoadOptions Options() const {
    TLoadOptions o;
    o.WorkFolder = Dir_.Path();
    o.ImagesInMemory = 0;
    return o;
  }
  // Load options as a conversion uses them: small images in memory.
  TLoadOptions Ordinary() const {
    TLoadOptions o;
    o.WorkFolder = Dir_.Path();
    return o;
  }
  // Every file in it, at any depth (the documents' image folders hold them).
  size_t FileCount() const {
    size_t n = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(Dir_.Path()))
      if (!e.is_directory()) ++n;
    return n;
  }
  bool Empty() const { return std::filesystem::is_empty(Dir_.Path()); }
  // The file in which the one document loaded with it keeps its image at
  // that place of the image table ("i<index>" in the document's folder).
  std::filesystem::path ImageFile(size_t index) const {
    for (auto& e : std::filesystem::recursive_directory_iterator(Dir_.Path()))
      if (e.path().filename() == "i" + std::to_string(index)) return e.path();
    ADD_FAILURE() << "no extracted image " << index;
    return Dir_.Path() / "none";
  }

 private:
  TTempDir Dir_;
};

// A load's or save's status as a test's result, with its reason on failure.
inline ::testing::AssertionResult Ok(const TJwwStatus& status) {
  if (status) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "failed (" << FailureName(status.Kind) << "): " << status.Text();
}

// The bytes a document kept of one of its images.
inline std::vector<uint8_t> ImageBytesOf(const TJwwData& d, size_t index) {
  std::vector<uint8_t> out;
  d.ImageBytes().ReadBytes(index, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); });
  return out;
}

inline std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// "0A ff 12" -> bytes; spaces and line breaks are ignored.
inline std::vector<uint8_t> Hex(std::string_view text) {
  std::vector<uint8_t> out;
  int nibble = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
    if (nibble < 0) nibble = v;
    else {
      out.push_back(static_cast<uint8_t>(nibble * 16 + v));
      nibble = -1;
    }
  }
  return out;
}

// Runs body in a child process as an ordinary user (user and group 65534 when
// the tests run as the superuser, whom no permission stops). True when the
// child could drop its rights and body returned true.
inline bool RunAsOrdinaryUser(const std::function<bool()>& body) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const bool ordinary = geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0);
    _exit(ordinary && body() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Where two byte strings first differ, for readable failures (gtest's own
// output of two large vectors is unreadable).
inline ::testing::AssertionResult SameBytes(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return ::testing::AssertionFailure() << "sizes " << got.size() << " and " << want.size() << ", first difference at "
                                       << i;
}

inline std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace testutil
