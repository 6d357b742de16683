// One conversion as a value, and the batch over a list of them. A conversion
// is a function of its inputs (the source, the rule for its output's name,
// its own document, the options) that returns its record (record.h); the
// batch reports through one callback, which the window, the command line and
// the tests implement. The steps of one file are road.h's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "jwwunit.h"
#include "purge.h"
#include "record.h"

namespace qm {

// Where the outputs of a batch go: the first free name FOLDER/BASE_N.JWW
// (N = 2, 3, ...) in the output folder of a source. Names are compared as
// Windows compares them (letters regardless of case), also where the file
// system tells cases apart; a name the batch has handed out (a dry run's
// planned outputs, a run's written ones) counts as taken. A dry run and a run
// therefore name the same outputs. Safe to use from several threads.
class TOutputRule {
 public:
  // The folder the output of a source goes to; when empty, the source's own
  // folder. The folder is created when the output is written.
  std::function<std::filesystem::path(const std::filesystem::path& source)> FolderFor;

  std::filesystem::path FolderOf(const std::filesystem::path& source) const;
  // The first name for source that is neither on disk nor handed out.
  std::filesystem::path Next(const std::filesystem::path& source) const;
  // Counts a name as taken from now on.
  void HandOut(const std::filesystem::path& output);
  // Makes an output folder that does not exist yet, with the folders above
  // it, each flushed into its parent, once per folder for the whole batch
  // (the other threads wait for it). Raises EFileError.
  void MakeFolder(const std::filesystem::path& folder) const;

  // The first name folder/base_N.JWW that is not taken: no entry in the
  // folder has that name in any letter case, and taken does not say it is.
  static std::filesystem::path FirstFree(const std::filesystem::path& source, const std::filesystem::path& folder,
                                         const std::function<bool(const std::filesystem::path&)>& taken = {});
  // The key under which names are compared, as Windows compares them: every
  // letter upper-cased, so that names differing only in letter case are one.
  static std::u16string Key(const std::filesystem::path& path);
  // The keys of the names of a folder's entries (none when it cannot be read).
  static std::unordered_set<std::u16string> NamesIn(const std::filesystem::path& folder);

 private:
  static std::filesystem::path FirstFreeAmong(const std::filesystem::path& source,
                                              const std::filesystem::path& folder,
                                              const std::unordered_set<std::u16string>& names,
                                              const std::function<bool(const std::filesystem::path&)>& taken);
  mutable std::mutex Lock_;
  std::unordered_set<std::u16string> HandedOut_;
  // The names of each output folder as it was first listed.
  mutable std::unordered_map<std::u16string, std::unordered_set<std::u16string>> Listed_;
  mutable std::mutex MakeLock_;
  mutable std::unordered_set<std::u16string> Made_;  // the folders known to exist and be flushed
};

struct TConvertOptions {
  // A dry run loads, purges and checks every drawing as a conversion would,
  // writes the purged drawing only to memory to check it, and creates no
  // file: the outcome is WouldConvert where a conversion would be made.
  bool DryRun = false;
  // With DryRun, for info and the window's inspection: every drawing is read
  // whole and described, also one with nothing to remove (or whose rest a
  // conversion would never read); the outcome stays the dry run's.
  bool Describe = false;
  // What goes besides the hidden layers' material (nothing unless asked): a
  // drawing without hidden layers that holds some of it converts too.
  TAlsoRemove Remove;
  // The run's work folder, in which each document extracts its images.
  std::filesystem::path WorkFolder;
  // How many files of a batch are converted at once: 1 converts one file
  // after another on the calling thread; 0 as many as the machine has
  // processors (the files in flight then wait for the disk on threads of
  // their own while others are converted, and each folder is flushed once
  // for a group of files). The report and the callback keep list order.
  int Workers = 1;
  // With several workers: at most this many files started and not yet
  // reported, so that a stop ends after at most that many; 0 leaves it to
  // the batch (a few more than its threads, to keep the disk busy).
  int InFlight = 0;
  // Drawings to pass by as converted already: for a source that passes the
  // first tests (it is a regular file named .JWW), the output of an earlier
  // run that makes it so (TEarlierRuns::Converted), or an empty path to
  // convert it. The outcome is then Skipped, with that output's name; the
  // drawing is not opened. Called from the batch's threads.
  std::function<std::filesystem::path(const std::filesystem::path& source)> AlreadyConverted;
  // Tests only: runs on the purged document before it is guarded and written.
  std::function<void(TJwwData&)> AfterPurge;
};

// The extension of a path's file name from its last ".", upper-cased; empty
// when there is no ".".
std::string UpperExtension(const std::filesystem::path& path);

// One file along the whole road (road.h), its output committed at once.
// Uses document and leaves it empty. Never raises.
TFileResult ConvertOne(const std::filesystem::path& source, TOutputRule& outputs, TJwwData& document,
                       const TConvertOptions& options);

// Follows a batch, in list order, on the thread that runs the batch.
// FileStarted comes before a file is converted, FileFinished when it is done;
// either returns false to stop the batch: no file is started after that (a
// file whose FileStarted said false is not converted and gets no
// FileFinished), and the files already started are finished and reported.
// With several workers a few files are started before the first is reported.
class IBatchCallback {
 public:
  virtual ~IBatchCallback() = default;
  virtual bool FileStarted(int index, const std::filesystem::path& source) = 0;
  virtual bool FileFinished(int index, const TFileResult& result) = 0;
};

struct TBatchResult {
  std::vector<TFileResult> Files;  // in list order, for the files done
  bool Interrupted = false;        // stopped before its last file
};

// Converts the sources in order with the given document (the batch's own
// when none is given).
TBatchResult ConvertBatch(const std::vector<std::filesystem::path>& sources, TOutputRule& outputs,
                          const TConvertOptions& options, IBatchCallback& callback, TJwwData* document = nullptr);

}  // namespace qm
