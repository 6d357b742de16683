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
#include "road.h"
#include "textconv.h"

namespace qm {

namespace {

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
      std::map<std::filesystem::path, std::vector<TTrip*>> folders;
      for (const size_t k : group) {
        TTrip& p = Slots_[k - First_].Pending;
        const bool written = p.Stage == TTrip::TStage::Written;
        Commit(p, Outputs_, false);
        if (written && p.Result.Outcome == TOutcome::Converted) folders[p.Result.Output.parent_path()].push_back(&p);
      }
      for (auto& [folder, pendings] : folders)
        if (!SyncFolder(folder.empty() ? std::filesystem::path(".") : folder))
          for (TTrip* p : pendings)
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
    TTrip Pending;
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
      TTrip pending;
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
      Travel(pending, source, Outputs_, document, Options_, runFlush);
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

std::unordered_set<std::u16string> TOutputRule::NamesIn(const std::filesystem::path& folder) {
  // On a file system that tells letter cases apart, "is the name taken" is
  // asked of the folder's listing: a name that differs from an entry only in
  // letter case is one name on the recipients' machines.
  std::unordered_set<std::u16string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    names.insert(Key(it->path().filename()));
  return names;
}

std::filesystem::path TOutputRule::FirstFree(const std::filesystem::path& source, const std::filesystem::path& folder,
                                             const std::function<bool(const std::filesystem::path&)>& taken) {
  return FirstFreeAmong(source, folder, NamesIn(folder), taken);
}

std::filesystem::path TOutputRule::FirstFreeAmong(const std::filesystem::path& source,
                                                  const std::filesystem::path& folder,
                                                  const std::unordered_set<std::u16string>& names,
                                                  const std::function<bool(const std::filesystem::path&)>& taken) {
  auto base = source.filename().native();
  const auto dot = base.rfind(static_cast<std::filesystem::path::value_type>('.'));
  if (dot != base.npos) base.resize(dot);
  for (unsigned n = 2;; ++n) {
    std::filesystem::path name(base);
    name += "_" + std::to_string(n) + ".JWW";
    const std::filesystem::path candidate = folder / name;
    // Any entry counts as taken: a folder or a link of that name too, and
    // what came since the listing.
    if (!names.contains(Key(name)) && !EntryExists(candidate) && !(taken && taken(candidate))) return candidate;
  }
}

std::filesystem::path TOutputRule::Next(const std::filesystem::path& source) const {
  const std::filesystem::path folder = FolderOf(source);
  std::lock_guard<std::mutex> guard(Lock_);
  // Each folder is listed once; the names this batch hands out are added as
  // it goes, so that a dry run and a run name the same outputs.
  auto listed = Listed_.find(Key(folder));
  if (listed == Listed_.end()) listed = Listed_.emplace(Key(folder), NamesIn(folder)).first;
  return FirstFreeAmong(source, folder, listed->second,
                        [this](const std::filesystem::path& p) { return HandedOut_.contains(Key(p)); });
}

void TOutputRule::MakeFolder(const std::filesystem::path& folder) const {
  std::lock_guard<std::mutex> guard(MakeLock_);
  if (Made_.contains(Key(folder))) return;
  MakeFolders(folder);
  Made_.insert(Key(folder));
}

void TOutputRule::HandOut(const std::filesystem::path& output) {
  std::lock_guard<std::mutex> guard(Lock_);
  HandedOut_.insert(Key(output));
}

TFileResult ConvertOne(const std::filesystem::path& source, TOutputRule& outputs, TJwwData& doc,
                       const TConvertOptions& options) {
  TTrip t;
  Travel(t, source, outputs, doc, options);
  Commit(t, outputs, true);
  return std::move(t.Result);
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
