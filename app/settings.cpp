#include "settings.h"

#include <charconv>
#include <fstream>
#include <string_view>
#include <system_error>

#include "fileio.h"
#include "textconv.h"

namespace qm {

namespace {

// True when a file can be made in folder (tried, and removed again).
bool FolderWritable(const std::filesystem::path& folder) {
  try {
    TTempFile probe(folder);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::optional<int> Number(std::string_view text, int low, int high) {
  int v = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (error != std::errc() || end != text.data() + text.size() || v < low || v > high) return std::nullopt;
  return v;
}

}  // namespace

TSettingsStore::TSettingsStore(const std::filesystem::path& executable, const std::filesystem::path& userFolder,
                               bool installed) {
  SettingsPath_ = ReadFrom_ = SettingsPathFor(executable);
  if (userFolder.empty()) return;
  UserPath_ = userFolder / "Quillmark" / SettingsPathFor(executable).filename();
  if (installed || FileExists(UserPath_))
    ReadFrom_ = SettingsPath_ = UserPath_;
  else if (!FolderWritable(executable.parent_path()))
    SettingsPath_ = UserPath_;
}

std::filesystem::path TSettingsStore::SettingsPathFor(const std::filesystem::path& executable) {
  std::filesystem::path p = executable;
  p.replace_extension(".dat");
  return p;
}

std::filesystem::path TSettingsStore::ViewSettingsPathFor(const std::filesystem::path& settings) {
  std::filesystem::path p = settings;
  p.replace_extension(".ini");
  return p;
}

TSettingsLines TSettingsStore::ReadLines(const std::filesystem::path& path) {
  TSettingsLines lines;
  if (!FileExists(path)) return lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  for (std::optional<std::string>& line : lines) {
    std::string text;
    if (in.bad()) break;
    std::getline(in, text);  // past the end: empty
    if (in.bad()) break;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    line = std::move(text);
  }
  return lines;
}

void TSettingsStore::ReadView(const std::filesystem::path& path, TViewSettings& view, size_t columns) {
  if (!FileExists(path)) return;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string_view key = std::string_view(line).substr(0, eq), value = std::string_view(line).substr(eq + 1);
    if (key == "Maximized") {
      if (const auto v = Number(value, 0, 1)) view.Maximized = *v == 1;
    } else if (key == "ResultMaximized") {
      if (const auto v = Number(value, 0, 1)) view.ResultMaximized = *v == 1;
    } else if (key == "OutputFolder") {
      const std::filesystem::path folder = PathFromUtf8(value);
      if (IsValidUtf8(value) && folder.is_absolute()) view.OutputFolder = folder;
    } else if (key == "Remove") {
      view.Remove = {};
      for (size_t from = 0; from <= value.size();) {
        const size_t comma = std::min(value.find(',', from), value.size());
        const std::string_view word = value.substr(from, comma - from);
        if (word == "memo") view.Remove.Memo = true;
        if (word == "off-sheet") view.Remove.OffSheet = true;
        if (word == "temporary-points") view.Remove.TemporaryPoints = true;
        if (word == "auxiliary") view.Remove.Auxiliary = true;
        from = comma + 1;
      }
    } else if (key == "PaneWidth") {
      if (const auto v = Number(value, 0, 20000)) view.PaneWidth = *v;
    } else if (key == "Columns") {
      std::vector<int> widths;
      size_t start = 0;
      for (;;) {
        const size_t comma = value.find(',', start);
        const auto v = Number(value.substr(start, comma == value.npos ? value.npos : comma - start), 0, 20000);
        if (!v) break;
        widths.push_back(*v);
        if (comma == value.npos) break;
        start = comma + 1;
      }
      if (widths.size() == columns) view.ColumnWidths = widths;
    }
  }
}

std::string TSettingsStore::ViewText(const TViewSettings& view) {
  std::string text = "[Quillmark]\r\nMaximized=" + std::string(view.Maximized ? "1" : "0") + "\r\n";
  if (!view.ColumnWidths.empty()) {
    text += "Columns=";
    for (size_t c = 0; c < view.ColumnWidths.size(); ++c) text += (c ? "," : "") + std::to_string(view.ColumnWidths[c]);
    text += "\r\n";
  }
  if (view.PaneWidth > 0) text += "PaneWidth=" + std::to_string(view.PaneWidth) + "\r\n";
  if (view.ResultMaximized) text += "ResultMaximized=1\r\n";
  if (!view.OutputFolder.empty()) text += "OutputFolder=" + PathToUtf8(view.OutputFolder) + "\r\n";
  if (view.Remove.Any()) {
    std::string words;
    for (const auto& [on, word] : {std::pair{view.Remove.Memo, "memo"}, std::pair{view.Remove.OffSheet, "off-sheet"},
                                   std::pair{view.Remove.TemporaryPoints, "temporary-points"},
                                   std::pair{view.Remove.Auxiliary, "auxiliary"}})
      if (on) words += (words.empty() ? "" : ",") + std::string(word);
    text += "Remove=" + words + "\r\n";
  }
  return text;
}

bool TSettingsStore::WriteWhole(const std::filesystem::path& path, const std::string& text) {
  if (path.empty()) return false;
  try {
    TTempFile temp(path.parent_path());
    temp.File().Write(text.data(), text.size());
    temp.File().Sync();
    temp.CommitReplacing(path);
    return true;
  } catch (const std::exception&) {
    return false;  // the temporary file has gone with temp
  }
}

bool TSettingsStore::Save(const std::string& settingsText, const TViewSettings& view) {
  auto write = [&](const std::filesystem::path& path) {
    if (path == UserPath_) {
      std::error_code ec;
      std::filesystem::create_directories(path.parent_path(), ec);  // made with the first settings it holds
    }
    return WriteWhole(path, settingsText);
  };
  bool written = write(SettingsPath_);
  // A program folder that has become read-only since the start: the user's.
  if (!written && !UserPath_.empty() && SettingsPath_ != UserPath_) written = write(SettingsPath_ = UserPath_);
  WriteWhole(ViewSettingsPathFor(SettingsPath_), ViewText(view));
  return written;
}

}  // namespace qm
