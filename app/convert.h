// One conversion as a value, and the batch over a list of them. A conversion
// is a function of its inputs (the source, the rule for its output's name,
// its own document, the options) that returns everything a front end needs;
// the batch reports through one callback, which the window, the command line
// and the tests implement.
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

namespace qm {

// How one file of a batch ended. WouldConvert only in a dry run: the file
// would have been converted, and nothing was written.
enum class TOutcome { Converted, NothingHidden, NotFound, NotJww, Unreadable, Failed, WouldConvert };

// What the purge took out of a converted drawing (or would take, in a dry run).
struct TRemovedCounts {
  int32_t Elements = 0;   // top-level elements on hidden groups and layers
  int32_t BlockDefs = 0;  // block definitions that are no longer written
  int32_t Images = 0;     // embedded images that only removed texts showed
};

// Everything a front end needs of one file.
struct TFileResult {
  std::filesystem::path Source;
  // The output's name: where it went (Converted), would go (WouldConvert),
  // or was meant to go; named also for files that are skipped.
  std::filesystem::path Output;
  TOutcome Outcome = TOutcome::Failed;
  // The file's three report lines (UTF-8; names shown printable).
  std::vector<std::string> Lines;
  std::string Detail;   // why a file was unreadable or failed (UTF-8), else empty
  TJwwFailure Failure = TJwwFailure::None;  // what kind of failure made it unreadable or failed
  std::string Warning;  // what went wrong around a conversion that stands (UTF-8), else empty
  TRemovedCounts Removed;  // for Converted and WouldConvert
  // The visual proof of the purge: true when the output, every layer on,
  // shows item for item what the source shows with its hidden layers off;
  // false when it would not (the file is then not written); nothing when the
  // file was not purged.
  std::optional<bool> VisibleUnchanged;
  double Seconds = 0;      // how long the file took
};

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
  // Tests only: runs on the purged document before it is guarded and written.
  std::function<void(TJwwData&)> AfterPurge;
};

// The extension of a path's file name from its last ".", upper-cased; empty
// when there is no ".".
std::string UpperExtension(const std::filesystem::path& path);

// The tests of a source before anything opens it, as a conversion and an
// inspection make them: it exists (else NotFound), its name ends in ".JWW"
// (else NotJww), and it is a regular file (else Unreadable, with the reason).
// A folder, FIFO or device named like a drawing is never opened for reading
// (the open itself could wait for ever); should one take a drawing's place
// after this test, the opens refuse it too. Nothing when the source passes;
// size then holds its size.
struct TSourceRefusal {
  TOutcome Outcome = TOutcome::NotFound;
  std::string Detail;  // for Unreadable
  TJwwFailure Failure = TJwwFailure::None;
};
std::optional<TSourceRefusal> RefuseSource(const std::filesystem::path& source, uint64_t& size);
// The reason given for a file that does not begin with the signature.
std::string NotADrawing(const std::filesystem::path& source);

// One file, start to end: exists, ".JWW", signature, the quick load and the
// hidden-layer test, the full load, the purge, the guard against hidden
// material, the write with its read-back check and the move to the next free
// name (or, in a dry run, the write to memory). Uses document and leaves it
// empty. Never raises.
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
