#include "paths.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <type_traits>
#include <utility>

#include "convert.h"
#include "earlier.h"
#include "fileio.h"
#include "textconv.h"

namespace qm {

namespace {

namespace fs = std::filesystem;
using TString = fs::path::string_type;
using TChar = fs::path::value_type;
using TIdentity = std::pair<uint64_t, uint64_t>;

auto FoldedUnit(TChar c) {
  if (c >= 'a' && c <= 'z') c = static_cast<TChar>(c - 'a' + 'A');
  return static_cast<std::make_unsigned_t<TChar>>(c);
}

// Name order: letters regardless of case first, the exact units to decide
// between names that differ in case only.
bool NameLess(const fs::path& a, const fs::path& b) {
  const TString x = a.filename().native(), y = b.filename().native();
  const bool folded = std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                                   [](TChar p, TChar q) { return FoldedUnit(p) < FoldedUnit(q); });
  if (folded) return true;
  const bool foldedOther = std::lexicographical_compare(
      y.begin(), y.end(), x.begin(), x.end(), [](TChar p, TChar q) { return FoldedUnit(p) < FoldedUnit(q); });
  if (foldedOther) return false;
  return x < y;
}

bool IsDrawingName(const fs::path& file) { return UpperExtension(file) == ".JWW"; }

// Drops the outputs of earlier runs: a drawing named BASE_N.JWW while a
// drawing with the stem BASE (in any letter case) is in the same folder
// (stems holds the folded stems of all drawings there).
void DropEarlierOutputs(std::vector<fs::path>& files, const std::set<std::u16string>& stems) {
  std::erase_if(files, [&](const fs::path& file) {
    const auto base = OutputBase(file.filename());
    return base && stems.contains(*base);
  });
}

// Matches * (any units, also none) and ? (one unit) against a name; both
// already folded.
bool Matches(std::u16string_view pattern, std::u16string_view name) {
  size_t p = 0, n = 0, star = std::u16string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      resume = n;
    } else if (star != std::u16string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool HasWildcard(const fs::path& path) {
  const TString name = path.filename().native();
  return name.find(static_cast<TChar>('*')) != TString::npos || name.find(static_cast<TChar>('?')) != TString::npos;
}

class TExpander {
 public:
  TExpander(const TPathRules& rules, const std::atomic<bool>& stop, TExpansion& out)
      : Rules_(rules), Stop_(stop), Out_(out) {
    if (!rules.SkipFolder.empty()) Skip_ = FileIdentity(rules.SkipFolder);
  }

  void Path(const fs::path& path) {
    std::error_code ec;
    if (Rules_.Wildcards && HasWildcard(path) && !EntryExists(path)) {
      Pattern(path);
    } else if (fs::is_directory(path, ec)) {
      Walk(path, {});
    } else {
      Out_.Sources.push_back({path, {}});
    }
  }

 private:
  bool Stopped() {
    if (Stop_) Out_.Interrupted = true;
    return Out_.Interrupted;
  }

  void Problem(const fs::path& folder, const std::error_code& ec) {
    Out_.Problems.push_back(
        {TJwwFailure::IoError, std::nullopt, JwwContext::Folder, folder, "cannot read the folder: " + ec.message()});
  }

  // The entries of a folder; false when it could not be read (or stop was set).
  bool List(const fs::path& folder, std::vector<fs::directory_entry>& entries) {
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      if (Stopped()) return false;
      entries.push_back(*it);
    }
    if (ec) Problem(folder, ec);
    return !ec;
  }

  void Walk(const fs::path& folder, const fs::path& sub) {
    if (Stopped()) return;
    // A folder is walked once: a link back to a folder above cannot loop.
    if (const auto identity = FileIdentity(folder); identity && !Visited_.insert(*identity).second) return;
    std::vector<fs::directory_entry> entries;
    if (!List(folder, entries)) return;
    std::vector<fs::path> files, folders;
    std::set<std::u16string> stems;
    for (const fs::directory_entry& entry : entries) {
      std::error_code ec;
      if (entry.is_directory(ec)) {
        if (Rules_.Recursive) folders.push_back(entry.path());
      } else if (entry.is_regular_file(ec) && IsDrawingName(entry.path())) {
        files.push_back(entry.path());
        stems.insert(StemKey(entry.path().filename()));
      }
    }
    DropEarlierOutputs(files, stems);
    std::sort(files.begin(), files.end(), NameLess);
    for (const fs::path& file : files) Out_.Sources.push_back({file, sub});
    std::sort(folders.begin(), folders.end(), NameLess);
    for (const fs::path& child : folders) {
      if (Stopped()) return;
      if (Skip_ && FileIdentity(child) == Skip_) continue;
      Walk(child, sub / child.filename());
    }
  }

  void Pattern(const fs::path& path) {
    const fs::path folder = path.parent_path();
    const std::u16string pattern = SystemCaseFolded(path.filename());
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    if (!fs::is_directory(folder.empty() ? fs::path(".") : folder, ec) || !List(folder, entries)) {
      if (!Stopped()) Out_.Sources.push_back({path, {}});  // reported as a file that is not there
      return;
    }
    std::vector<fs::path> matched;
    std::set<std::u16string> stems;
    for (const fs::directory_entry& entry : entries) {
      const fs::path name = entry.path().filename();
      if (IsDrawingName(name) && entry.is_regular_file(ec)) stems.insert(StemKey(name));
      if (Matches(pattern, SystemCaseFolded(name))) matched.push_back(folder / name);
    }
    DropEarlierOutputs(matched, stems);
    if (matched.empty()) {
      Out_.Sources.push_back({path, {}});
      return;
    }
    std::sort(matched.begin(), matched.end(), NameLess);
    for (const fs::path& match : matched) {
      if (Stopped()) return;
      if (fs::is_directory(match, ec)) Walk(match, {});
      else Out_.Sources.push_back({match, {}});
    }
  }

  const TPathRules& Rules_;
  const std::atomic<bool>& Stop_;
  TExpansion& Out_;
  std::optional<TIdentity> Skip_;
  std::set<TIdentity> Visited_;
};

}  // namespace

TExpansion ExpandPaths(const std::vector<fs::path>& paths, const TPathRules& rules, const std::atomic<bool>& stop) {
  TExpansion out;
  TExpander expander(rules, stop, out);
  for (const fs::path& path : paths) {
    if (stop) {
      out.Interrupted = true;
      break;
    }
    expander.Path(path);
    if (out.Interrupted) break;
  }
  return out;
}

}  // namespace qm
