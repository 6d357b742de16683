#include "earlier.h"

#include <algorithm>
#include <system_error>

#include "convert.h"

namespace qm {

namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view Extension = u".JWW";

// The N of a folded output name's "_N" (the part after its BASE), 0 when it
// is not a number from 2 without leading zeros (one beyond the largest
// unsigned stays the largest).
unsigned OutputNumber(std::u16string_view digits) {
  if (digits.empty() || digits.front() == u'0' || digits == u"1") return 0;
  unsigned n = 0;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') return 0;
    const auto d = static_cast<unsigned>(c - u'0');
    n = n > (~0u - d) / 10 ? ~0u : n * 10 + d;
  }
  return n;
}

// The folded BASE and N of an output's name.
std::optional<std::pair<std::u16string, unsigned>> OutputParts(const fs::path& name) {
  const std::u16string folded = TOutputRule::Key(name.filename());
  if (folded.size() <= Extension.size() || !folded.ends_with(Extension)) return std::nullopt;
  const std::u16string_view stem = std::u16string_view(folded).substr(0, folded.size() - Extension.size());
  const size_t bar = stem.rfind(u'_');
  if (bar == std::u16string_view::npos) return std::nullopt;
  const unsigned n = OutputNumber(stem.substr(bar + 1));
  if (n == 0) return std::nullopt;
  return std::pair{std::u16string(stem.substr(0, bar)), n};
}

bool IsDrawingName(const std::u16string& folded) {
  return folded.size() >= Extension.size() && folded.ends_with(Extension);
}

}  // namespace

std::optional<std::u16string> OutputBase(const fs::path& name) {
  auto parts = OutputParts(name);
  if (!parts) return std::nullopt;
  return std::move(parts->first);
}

std::u16string StemKey(const fs::path& name) {
  auto text = name.filename().native();
  const auto dot = text.rfind(static_cast<fs::path::value_type>('.'));
  if (dot != text.npos) text.resize(dot);
  return TOutputRule::Key(fs::path(text));
}

const TEarlierRuns::TFolder& TEarlierRuns::Listing(const fs::path& folder) {
  const std::u16string key = TOutputRule::Key(folder);
  std::lock_guard<std::mutex> guard(Lock_);
  if (const auto found = Folders_.find(key); found != Folders_.end()) return found->second;
  TFolder& listed = Folders_[key];
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder.empty() ? fs::path(".") : folder, ec);
       !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code entryError;
    if (!it->is_regular_file(entryError)) continue;
    const fs::path name = it->path().filename();
    if (!IsDrawingName(TOutputRule::Key(name))) continue;
    listed.Drawings.emplace(StemKey(name), name);
    if (auto parts = OutputParts(name)) {
      const fs::file_time_type time = it->last_write_time(entryError);
      if (!entryError) listed.Outputs[parts->first].push_back({it->path(), time, parts->second});
    }
  }
  return listed;
}

std::optional<TEarlierOutput> TEarlierRuns::Converted(const fs::path& source, const fs::path& outputFolder) {
  std::error_code ec;
  const fs::file_time_type changed = fs::last_write_time(source, ec);
  if (ec) return std::nullopt;
  const TFolder& folder = Listing(outputFolder);
  const auto outputs = folder.Outputs.find(StemKey(source));
  if (outputs == folder.Outputs.end()) return std::nullopt;
  // Strictly newer: an output as old as its drawing may have been made
  // before the drawing's last change (a file system's times are coarse).
  const TEarlierOutput* newest = nullptr;
  for (const TEarlierOutput& output : outputs->second) {
    if (output.Time <= changed) continue;
    if (!newest || output.Time > newest->Time || (output.Time == newest->Time && output.Number > newest->Number))
      newest = &output;
  }
  if (!newest) return std::nullopt;
  return *newest;
}

std::optional<fs::path> TEarlierRuns::SourceOf(const fs::path& drawing) {
  const auto base = OutputBase(drawing.filename());
  if (!base) return std::nullopt;
  const TFolder& folder = Listing(drawing.parent_path());
  const auto found = folder.Drawings.find(*base);
  if (found == folder.Drawings.end()) return std::nullopt;
  return drawing.parent_path() / found->second;
}

}  // namespace qm
