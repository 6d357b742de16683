// The window's settings and where they live: the settings file of ten lines
// (the geometry of both windows, the list's width, the last folder), the view
// settings file beside it (the settings file's name with ".ini"), and the rule
// of their folder: beside the executable, or the user's application data
// folder when the program's folder cannot be written or is the installer's.
// Nothing here knows a window: the front end applies what is read.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "purge.h"

namespace qm {

// What the window keeps beyond the ten lines of the settings file.
struct TViewSettings {
  bool Maximized = false;
  std::vector<int> ColumnWidths;  // pixels at 96 DPI, by column; empty: the designed ones
  int PaneWidth = 0;  // the part right of the splitter, pixels at 96 DPI; 0: what the list width leaves
  bool ResultMaximized = false;  // the result window was maximised when last closed
  std::filesystem::path OutputFolder;  // where Convert writes; empty: beside each drawing
  TAlsoRemove Remove;                  // what Convert removes besides the hidden layers' content
  bool operator==(const TViewSettings&) const = default;
};

// The ten lines as a file holds them, in order: main window left, top,
// width, height; the list's width; result window left, top, width, height;
// the last folder. A line past the end of a short file reads as empty; a
// line that cannot be read, and every one after it, is absent.
using TSettingsLines = std::array<std::optional<std::string>, 10>;

class TSettingsStore {
 public:
  // The settings of an executable: where they are read from and written to.
  // userFolder: the user's application data folder (empty: none, always
  // beside the executable). installed: the executable is the installer's
  // copy, whose folder is not the user's even when it can be written.
  TSettingsStore(const std::filesystem::path& executable, const std::filesystem::path& userFolder, bool installed);
  TSettingsStore() = default;

  // The settings file of an executable: its path with the extension ".dat".
  static std::filesystem::path SettingsPathFor(const std::filesystem::path& executable);
  // The file of the view settings beside a settings file.
  static std::filesystem::path ViewSettingsPathFor(const std::filesystem::path& settings);

  // Where the settings are read from at the start: the user's file once it
  // exists (or for the installer's copy), else the one beside the executable.
  const std::filesystem::path& ReadFrom() const noexcept { return ReadFrom_; }
  // Where they are written: where they were read from, or the user's file
  // when the program's folder cannot be written.
  const std::filesystem::path& SettingsPath() const noexcept { return SettingsPath_; }

  // Reads the ten lines of a settings file; all absent when there is none.
  static TSettingsLines ReadLines(const std::filesystem::path& path);
  // The view settings of a file over what view holds: a missing file, or a
  // line that does not read, leaves what is there (column widths are taken
  // only for a list of that many columns).
  static void ReadView(const std::filesystem::path& path, TViewSettings& view, size_t columns);
  static std::string ViewText(const TViewSettings& view);
  // Writes a whole text beside path and moves it over it when complete: a
  // failure leaves the previous file (or none), never a partial one.
  static bool WriteWhole(const std::filesystem::path& path, const std::string& text);

  // Writes both files where they go (the ten lines as a text of CR LF
  // lines). A program folder that has become read-only since the start sends
  // them to the user's folder, which is made for them. False when the
  // settings file could not be written anywhere.
  bool Save(const std::string& settingsText, const TViewSettings& view);

 private:
  std::filesystem::path ReadFrom_, SettingsPath_, UserPath_;
};

}  // namespace qm
