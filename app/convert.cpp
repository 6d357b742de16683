#include "convert.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "Func_.h"
#include "fileio.h"
#include "messages.h"
#include "proof.h"
#include "textconv.h"

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;

// Drawings up to this size are read into memory once; larger ones are read
// as they are loaded, a piece at a time, so that the bytes of a large file
// never sit in memory beside its document (a few MiB covers the drawings
// users convert by the hundred, which are of 15 to 350 KB).
constexpr uint64_t ReadOnceLimit = 4ull << 20;
// From this many visible items on, the visual proof's comparison runs on a
// thread of its own beside the write.
constexpr size_t ProofBesideItems = 100000;

// The second line of a dry run's report for a drawing that would be converted.
std::string DryRunLine(const TRemovedCounts& removed) {
  return "　変換できます（削除するもの: 要素 " + std::to_string(removed.Elements) + "、ブロック定義 " +
         std::to_string(removed.BlockDefs) + "、画像 " + std::to_string(removed.Images) +
         "。--dry-run のため書き込みません）";
}

std::string Shown(const std::filesystem::path& path) { return Printable(PathToUtf8(path)); }

// How far a file has come before its output gets its name.
enum class TStage {
  Final,     // skipped (not there, not ".JWW", unreadable, nothing hidden): outcome and lines are final
  Failed,    // purged but not written: Detail and Failure say why
  Checked,   // a dry run: written to memory and checked
  Written,   // written to a temporary file, flushed and checked
};

// One file between its conversion (any thread) and its commit (in list order).
struct TPending {
  TFileResult Result;
  TStage Stage = TStage::Final;
  std::unique_ptr<TTempFile> Output;  // Written: the checked file under its temporary name
  Clock::time_point Started;
};

void Skip(TFileResult& r, TOutcome outcome, std::string_view reason) {
  r.Outcome = outcome;
  r.Lines.emplace_back(reason);
  r.Lines.emplace_back(Msg::Skipped);
}

void Fail(TFileResult& r, std::string detail, TJwwFailure kind) {
  r.Detail = std::move(detail);
  r.Failure = kind;
  r.Lines.push_back(std::string(Msg::FailedTo) + Shown(r.Output));
  r.Lines.push_back(std::string(Msg::Failed));
  r.Outcome = TOutcome::Failed;
}

// ConvertFile: purges the fully loaded document and writes it, guarded
// before anything gets a name: to a temporary file that is flushed and read
// back (its name comes at the commit), or, in a dry run, to memory.
void ConvertFile(TPending& p, TJwwData& doc, const TOutputRule& outputs, const TConvertOptions& options,
                 const TJwwData::TFlushRunner& runFlush) {
  TFileResult& r = p.Result;
  // What the source shows with its hidden layers off, before the purge.
  const view::TVisualRecord shown = view::TVisualRecord::Of(doc);
  const TPurgeResult purge = PurgeHiddenMaterial(doc);
  r.Removed = {purge.RemovedElements, purge.RemovedBlockDefs, purge.RemovedImages};
  if (options.AfterPurge) options.AfterPurge(doc);
  p.Stage = TStage::Failed;
  // Hidden material must never reach a file.
  if (const std::string leak = FindHiddenMaterial(doc); !leak.empty()) {
    r.Detail = PathToUtf8(r.Output) + ": not written: " + leak;
    r.Failure = TJwwFailure::Corrupt;
    return;
  }
  doc.Header.Signature = "JwwData.";
  // The output, every layer on, must show exactly that: what the sender saw
  // is what the recipient sees, and nothing more. The comparison only reads
  // the document, as the writer does: for a large drawing it runs beside the
  // write, and what it finds decides before the output gets its name.
  std::optional<view::TVisualDifference> difference;
  std::jthread beside;  // joined however this is left
  if (shown.Items() >= ProofBesideItems)
    beside = std::jthread([&] { difference = shown.Compare(doc); });
  else
    difference = shown.Compare(doc);
  const auto proven = [&] {
    if (beside.joinable()) beside.join();
    r.VisibleUnchanged = !difference;
    if (!difference) return true;
    r.Detail = PathToUtf8(r.Output) + ": not written: the output would not show what the source shows: " +
               difference->What;
    r.Failure = TJwwFailure::Corrupt;
    return false;
  };
  if (!beside.joinable() && !proven()) return;
  const int32_t version = doc.Header.Version;
  if (options.DryRun) {
    // Written to memory, read back and compared exactly as a save checks its
    // file, so that what a save would refuse is refused here too.
    try {
      doc.WriteToMemory(version);
      p.Stage = TStage::Checked;
    } catch (const EJwwError& e) {
      r.Detail = PathToUtf8(r.Output) + ": " + e.Text();
      r.Failure = e.Kind();
    } catch (const std::bad_alloc&) {
      r.Detail = PathToUtf8(r.Output) + ": not enough memory";
      r.Failure = TJwwFailure::IoError;
    }
    if (!proven()) p.Stage = TStage::Failed;
    return;
  }
  TJwwData::TWrittenOutput written;
  const std::filesystem::path folder = outputs.FolderOf(r.Source);
  std::error_code ec;
  if (outputs.FolderFor) std::filesystem::create_directories(folder, ec);
  if (ec) {
    r.Detail = PathToUtf8(folder) + ": cannot create the folder: " + ec.message();
    r.Failure = TJwwFailure::IoError;
  } else {
    written = doc.WriteOutput(folder, version, r.Output, runFlush);
    if (!written.Status) {
      r.Detail = written.Status.Text();
      r.Failure = written.Status.Kind;
    }
  }
  // The proof decides first: a failed one is the reason given.
  if (!proven() || !written.Status || ec) return;  // a temporary file not kept goes with written
  p.Output = std::move(written.File);
  p.Stage = TStage::Written;
}

// The tests of one file up to its written output. r.Output holds the name
// the output is meant to get (for messages).
void Decide(TPending& p, TJwwData& doc, const TOutputRule& outputs, const TConvertOptions& options,
            const TJwwData::TFlushRunner& runFlush) {
  TFileResult& r = p.Result;
  auto unreadable = [&](std::string detail, TJwwFailure kind) {
    r.Detail = std::move(detail);
    r.Failure = kind;
    Skip(r, TOutcome::Unreadable, Msg::Unreadable);
  };
  uint64_t size = 0;
  if (const auto refused = RefuseSource(r.Source, size)) {
    if (refused->Outcome == TOutcome::NotFound) return Skip(r, TOutcome::NotFound, Msg::NotFound);
    if (refused->Outcome == TOutcome::NotJww) return Skip(r, TOutcome::NotJww, Msg::NotJww);
    return unreadable(refused->Detail, refused->Failure);
  }
  TLoadOptions load;
  load.WorkFolder = options.WorkFolder;
  load.Name = r.Source;
  // A drawing of ordinary size is read once; the tests and both loads work
  // on those bytes, which are then exactly the file as it was when opened.
  if (size <= ReadOnceLimit) {
    TFileBytes bytes;
    try {
      bytes = ReadWholeFile(r.Source);
    } catch (const EFileError& e) {
      return unreadable(PathToUtf8(r.Source) + ": " + e.what(), TJwwFailure::IoError);
    }
    if (bytes.Size < 8 || std::memcmp(bytes.Data.get(), "JwwData.", 8) != 0)
      return unreadable(NotADrawing(r.Source), TJwwFailure::Corrupt);
    // The layer test and the whole load in one reading: with nothing hidden
    // the load stops where the quick load would, with what it found.
    load.ContinueAfterHeader = [](const TJwwData& d) { return HasHiddenLayer(d); };
    const TJwwStatus loaded = doc.LoadDocument(bytes.Data.get(), bytes.Size, load);
    const bool hidden = HasHiddenLayer(doc);
    // A drawing that does not read completely is never written out.
    if (!loaded) return unreadable(loaded.Text(), loaded.Kind);
    if (!hidden) return Skip(r, TOutcome::NothingHidden, Msg::NothingHidden);
    bytes = {};
    return ConvertFile(p, doc, outputs, options, runFlush);
  }
  if (!doc.CheckSignature(r.Source))
    return unreadable(NotADrawing(r.Source), TJwwFailure::Corrupt);
  if (const TJwwStatus quick = doc.LoadForLayerTest(r.Source, 1); !quick) return unreadable(quick.Text(), quick.Kind);
  if (!HasHiddenLayer(doc)) return Skip(r, TOutcome::NothingHidden, Msg::NothingHidden);
  if (const TJwwStatus full = doc.LoadDocument(r.Source, load); !full) return unreadable(full.Text(), full.Kind);
  ConvertFile(p, doc, outputs, options, runFlush);
}

// The first half of a conversion, on any thread: everything but the
// output's name. Uses document and leaves it empty. Never raises.
void Prepare(TPending& p, const std::filesystem::path& source, const TOutputRule& outputs, TJwwData& doc,
             const TConvertOptions& options, const TJwwData::TFlushRunner& runFlush = {}) {
  p.Started = Clock::now();
  TFileResult& r = p.Result;
  r.Source = source;
  r.Lines.push_back(std::string(Msg::FileOpen) + Shown(source) + std::string(Msg::FileClose));
  try {
    r.Output = outputs.Next(source);
    Decide(p, doc, outputs, options, runFlush);
  } catch (const std::exception& e) {
    // Nothing above should raise; should it happen, the file still gets its
    // two lines and the next file its turn.
    p.Output.reset();
    r.Lines.resize(1);
    r.Removed = {};
    r.Detail = e.what();
    r.Failure = TJwwFailure::IoError;
    p.Stage = TStage::Failed;
  }
  doc.ClearDocument();  // the images' folder goes with it
}

// The second half, in list order: the output gets the first free name now
// (the names of the files before it are taken by then, exactly as one file
// after another would find them), and the file its report lines. The folder
// is flushed here when syncFolder, else by the caller for a group of files.
void Commit(TPending& p, TOutputRule& outputs, bool syncFolder) {
  TFileResult& r = p.Result;
  try {
    r.Output = outputs.Next(r.Source);
    switch (p.Stage) {
      case TStage::Final:
        break;
      case TStage::Failed:
        Fail(r, r.Detail, r.Failure);
        break;
      case TStage::Checked:
        outputs.HandOut(r.Output);  // a dry run's name counts as taken, as its file would
        r.Lines.push_back(std::string(Msg::ConvertedTo) + Shown(r.Output));
        r.Lines.push_back(DryRunLine(r.Removed));
        r.Outcome = TOutcome::WouldConvert;
        break;
      case TStage::Written: {
        // A name taken meanwhile (another conversion of the same drawing)
        // passes on to the next free one.
        const std::filesystem::path source = r.Source;
        const TSaveStatus saved = TJwwData::CommitOutput(*p.Output, r.Output,
                                                          [&outputs, &source] { return outputs.Next(source); },
                                                          syncFolder);
        p.Output.reset();  // removes the temporary file when it was not moved
        if (!saved) {
          Fail(r, saved.Text(), saved.Kind);
          break;
        }
        r.Output = saved.SavedPath;
        r.Warning = saved.Warning;
        r.Lines.push_back(std::string(Msg::ConvertedTo) + Shown(r.Output));
        r.Lines.push_back(std::string(Msg::Converted));
        r.Outcome = TOutcome::Converted;
        break;
      }
    }
  } catch (const std::exception& e) {
    p.Output.reset();
    r.Lines.resize(1);
    r.Warning.clear();
    Fail(r, e.what(), TJwwFailure::IoError);
  }
  r.Seconds = std::chrono::duration<double>(Clock::now() - p.Started).count();
}

// A count that threads take from and give back, waiting while it is spent:
// the batch's share of the processor and of memory.
class TBudget {
 public:
  // units: every Take and Give is of 1, so a Give wakes one waiter only.
  TBudget(uint64_t total, bool units) : Left_(total), Total_(total), Units_(units) {}
  // Takes n (at most the whole budget, so that one large file still runs alone).
  uint64_t Take(uint64_t n) {
    n = std::min(n, Total_);
    std::unique_lock<std::mutex> lock(Lock_);
    Changed_.wait(lock, [&] { return Left_ >= n; });
    Left_ -= n;
    return n;
  }
  void Give(uint64_t n) {
    {
      std::lock_guard<std::mutex> lock(Lock_);
      Left_ += n;
    }
    if (Units_)
      Changed_.notify_one();
    else
      Changed_.notify_all();
  }

 private:
  std::mutex Lock_;
  std::condition_variable Changed_;
  uint64_t Left_, Total_;
  const bool Units_;
};

// The batch on several threads: files are started in list order, converted
// on the threads as far as their checked temporary files (at most Processors
// at a time doing the processor's work, the others waiting for the disk),
// then committed in list order, a group at a time with each folder flushed
// once, and reported in list order.
class TPipeline {
 public:
  TPipeline(const std::vector<std::filesystem::path>& sources, TOutputRule& outputs, const TConvertOptions& options,
            IBatchCallback& callback)
      : Sources_(sources),
        Outputs_(outputs),
        Options_(options),
        Callback_(callback),
        Processors_(static_cast<uint64_t>(options.Workers), true),
        Memory_(1ull << 30, false) {}

  TBatchResult Run() {
    const size_t count = Sources_.size();
    size_t threads = std::min(count, static_cast<size_t>(2 * Options_.Workers + 4));
    // Files started and not yet reported.
    const size_t ahead = Options_.InFlight > 0 ? static_cast<size_t>(Options_.InFlight) : threads + 8;
    threads = std::min(threads, ahead);
    for (size_t t = 0; t < threads; ++t) Threads_.emplace_back([this] { Work(); });

    TBatchResult batch;
    bool stop = false;
    size_t next = 0;
    std::deque<size_t> inFlight;
    while (true) {
      while (!stop && next < count && inFlight.size() < ahead) {
        if (!Callback_.FileStarted(static_cast<int>(next), Sources_[next])) {
          stop = true;
          break;
        }
        {
          std::lock_guard<std::mutex> lock(Lock_);
          Slots_.emplace_back();  // std::deque: the slots of other files stay where they are
          Queue_.push_back(next);
        }
        Ready_.notify_one();
        inFlight.push_back(next++);
      }
      if (inFlight.empty()) break;
      // The files done at the front of the list, at least one.
      std::vector<size_t> group;
      {
        std::unique_lock<std::mutex> lock(Lock_);
        Done_.wait(lock, [&] { return Slots_[inFlight.front() - First_].Done; });
        while (!inFlight.empty() && Slots_[inFlight.front() - First_].Done) {
          group.push_back(inFlight.front());
          inFlight.pop_front();
        }
      }
      std::map<std::filesystem::path, std::vector<TPending*>> folders;
      for (const size_t k : group) {
        TPending& p = Slots_[k - First_].Pending;
        const bool written = p.Stage == TStage::Written;
        Commit(p, Outputs_, false);
        if (written && p.Result.Outcome == TOutcome::Converted) folders[p.Result.Output.parent_path()].push_back(&p);
      }
      for (auto& [folder, pendings] : folders)
        if (!SyncFolder(folder.empty() ? std::filesystem::path(".") : folder))
          for (TPending* p : pendings)
            p->Result.Warning = PathToUtf8(p->Result.Output) +
                                ": written and checked, but its folder could not be flushed to disk";
      for (const size_t k : group) {
        batch.Files.push_back(std::move(Slots_[k - First_].Pending.Result));
        if (!Callback_.FileFinished(static_cast<int>(k), batch.Files.back())) stop = true;
      }
      // The slots of the files reported go.
      std::lock_guard<std::mutex> lock(Lock_);
      const size_t reported = inFlight.empty() ? next : inFlight.front();
      while (First_ < reported) {
        Slots_.pop_front();
        ++First_;
      }
    }
    batch.Interrupted = next < count;
    {
      std::lock_guard<std::mutex> lock(Lock_);
      Closing_ = true;
    }
    Ready_.notify_all();
    for (std::thread& t : Threads_) t.join();
    return batch;
  }

 private:
  struct TSlot {
    TPending Pending;
    bool Done = false;
  };

  void Work() {
    TJwwData document;  // each thread its own
    while (true) {
      size_t k;
      {
        std::unique_lock<std::mutex> lock(Lock_);
        Ready_.wait(lock, [&] { return Closing_ || !Queue_.empty(); });
        if (Queue_.empty()) return;
        k = Queue_.front();
        Queue_.pop_front();
      }
      const std::filesystem::path& source = Sources_[k];
      std::error_code ec;
      const uint64_t size = std::filesystem::file_size(source, ec);
      const uint64_t memory = Memory_.Take(ec ? 0 : 3 * size);
      TPending pending;
      Processors_.Take(1);
      // The flush is the last long step of a file: from it on the processor
      // is another file's (what is left, closing the file and making the
      // report's lines, is not worth waiting for a processor again).
      bool holding = true;
      const TJwwData::TFlushRunner runFlush = [&](const std::function<void()>& flush) {
        Processors_.Give(1);
        holding = false;
        flush();
      };
      Prepare(pending, source, Outputs_, document, Options_, runFlush);
      if (holding) Processors_.Give(1);
      Memory_.Give(memory);
      {
        std::lock_guard<std::mutex> lock(Lock_);
        TSlot& slot = Slots_[k - First_];
        slot.Pending = std::move(pending);
        slot.Done = true;
      }
      Done_.notify_one();
    }
  }

  const std::vector<std::filesystem::path>& Sources_;
  TOutputRule& Outputs_;
  const TConvertOptions& Options_;
  IBatchCallback& Callback_;
  TBudget Processors_, Memory_;
  std::vector<std::thread> Threads_;
  std::mutex Lock_;
  std::condition_variable Ready_, Done_;
  std::deque<size_t> Queue_;  // files started and not yet taken by a thread
  std::deque<TSlot> Slots_;   // files from First_ on, until reported
  size_t First_ = 0;
  bool Closing_ = false;
};

}  // namespace

std::optional<TSourceRefusal> RefuseSource(const std::filesystem::path& source, uint64_t& size) {
  const TEntryKind entry = EntryKindOf(source, &size);
  if (entry == TEntryKind::None) return TSourceRefusal{TOutcome::NotFound, {}, TJwwFailure::None};
  if (UpperExtension(source) != ".JWW") return TSourceRefusal{TOutcome::NotJww, {}, TJwwFailure::None};
  if (entry != TEntryKind::File)
    return TSourceRefusal{TOutcome::Unreadable, PathToUtf8(source) + ": not a regular file", TJwwFailure::IoError};
  return std::nullopt;
}

std::string NotADrawing(const std::filesystem::path& source) {
  return PathToUtf8(source) + ": the file does not start with \"JwwData.\"";
}

std::string UpperExtension(const std::filesystem::path& path) {
  const std::string name = PathToUtf8(path.filename());
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

std::filesystem::path TOutputRule::FolderOf(const std::filesystem::path& source) const {
  return FolderFor ? FolderFor(source) : source.parent_path();
}

std::u16string TOutputRule::Key(const std::filesystem::path& path) {
  return Func_::UnicodeUpperCase(PathToUtf16(path));
}

std::filesystem::path TOutputRule::FirstFree(const std::filesystem::path& source, const std::filesystem::path& folder,
                                             const std::function<bool(const std::filesystem::path&)>& taken) {
  auto base = source.filename().native();
  const auto dot = base.rfind(static_cast<std::filesystem::path::value_type>('.'));
  if (dot != base.npos) base.resize(dot);
  for (unsigned n = 2;; ++n) {
    std::filesystem::path candidate = folder / std::filesystem::path(base);
    candidate += "_" + std::to_string(n) + ".JWW";
    // Any entry counts as taken: a folder or a link of that name too.
    if (!EntryExists(candidate) && !(taken && taken(candidate))) return candidate;
  }
}

std::filesystem::path TOutputRule::Next(const std::filesystem::path& source) const {
  std::lock_guard<std::mutex> guard(Lock_);
  if (HandedOut_.empty()) return FirstFree(source, FolderOf(source));
  return FirstFree(source, FolderOf(source),
                   [this](const std::filesystem::path& p) { return HandedOut_.contains(Key(p)); });
}

void TOutputRule::HandOut(const std::filesystem::path& output) {
  std::lock_guard<std::mutex> guard(Lock_);
  HandedOut_.insert(Key(output));
}

TFileResult ConvertOne(const std::filesystem::path& source, TOutputRule& outputs, TJwwData& doc,
                       const TConvertOptions& options) {
  TPending p;
  Prepare(p, source, outputs, doc, options);
  Commit(p, outputs, true);
  return std::move(p.Result);
}

TBatchResult ConvertBatch(const std::vector<std::filesystem::path>& sources, TOutputRule& outputs,
                          const TConvertOptions& options, IBatchCallback& callback, TJwwData* document) {
  if (options.Workers != 1 && sources.size() > 1) {
    TConvertOptions pipelined = options;
    if (pipelined.Workers <= 0) pipelined.Workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return TPipeline(sources, outputs, pipelined, callback).Run();
  }
  TBatchResult batch;
  std::unique_ptr<TJwwData> own;
  if (!document) {
    own = std::make_unique<TJwwData>();
    document = own.get();
  }
  const int count = static_cast<int>(sources.size());
  for (int k = 0; k < count; ++k) {
    const std::filesystem::path& source = sources[static_cast<size_t>(k)];
    if (!callback.FileStarted(k, source)) {
      batch.Interrupted = true;
      break;
    }
    batch.Files.push_back(ConvertOne(source, outputs, *document, options));
    if (!callback.FileFinished(k, batch.Files.back())) {
      batch.Interrupted = k + 1 < count;
      break;
    }
  }
  return batch;
}

}  // namespace qm
