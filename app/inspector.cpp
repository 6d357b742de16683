#include "inspector.h"

#include <algorithm>
#include <memory>

namespace qm {

TInspector::TInspector(std::filesystem::path workFolder, std::function<void()> wake, int workers)
    : WorkFolder_(std::move(workFolder)), Wake_(std::move(wake)), Workers_(std::max(1, workers)) {}

TInspector::~TInspector() { Stop(); }

int TInspector::DefaultWorkers() {
  // The window's thread stays free whatever the machine; a few workers are
  // enough to keep ahead of a user, more would only compete with Convert.
  const unsigned n = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(n, 1u, 4u));
}

uint64_t TInspector::Submit(const std::filesystem::path& source, const TAlsoRemove& remove) {
  return Queue(source, false, remove);
}

uint64_t TInspector::SubmitPreview(const std::filesystem::path& source) { return Queue(source, true); }

uint64_t TInspector::Queue(const std::filesystem::path& source, bool preview, const TAlsoRemove& remove) {
  std::lock_guard<std::mutex> guard(Lock_);
  if (Stopping_) return 0;
  const uint64_t ticket = Next_++;
  if (preview)
    Queue_.push_front({ticket, source, true, {}});
  else
    Queue_.push_back({ticket, source, false, remove});
  if (Threads_.size() < static_cast<size_t>(Workers_) && Threads_.size() < Queue_.size() + Running_.size())
    Threads_.emplace_back([this] { Work(); });
  Ready_.notify_one();
  return ticket;
}

void TInspector::Cancel(uint64_t ticket) {
  std::lock_guard<std::mutex> guard(Lock_);
  const auto queued = std::find_if(Queue_.begin(), Queue_.end(), [ticket](const TJob& job) { return job.Ticket == ticket; });
  if (queued != Queue_.end()) {
    Queue_.erase(queued);
    return;
  }
  if (Running_.contains(ticket)) {
    Cancelled_.insert(ticket);
    return;
  }
  std::erase_if(Done_, [ticket](const TDone& done) { return done.Ticket == ticket; });
}

std::vector<TInspector::TDone> TInspector::Take() {
  std::lock_guard<std::mutex> guard(Lock_);
  WakePending_ = false;
  return std::exchange(Done_, {});
}

size_t TInspector::Outstanding() const {
  std::lock_guard<std::mutex> guard(Lock_);
  return Queue_.size() + Running_.size() + Done_.size();
}

void TInspector::Stop() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> guard(Lock_);
    Stopping_ = true;
    Queue_.clear();
    threads.swap(Threads_);
  }
  Ready_.notify_all();
  for (std::thread& t : threads) t.join();
  std::lock_guard<std::mutex> guard(Lock_);
  Done_.clear();
}

void TInspector::Work() {
  auto document = std::make_unique<TJwwData>();
  for (;;) {
    TJob job;
    {
      std::unique_lock<std::mutex> lock(Lock_);
      Ready_.wait(lock, [this] { return Stopping_ || !Queue_.empty(); });
      if (Stopping_) return;
      job = std::move(Queue_.front());
      Queue_.pop_front();
      Running_.insert(job.Ticket);
    }
    TDone done;
    done.Ticket = job.Ticket;
    if (job.Preview)
      done.Preview = MakePreview(job.Source, *document);
    else
      done.Inspection = Inspect(job.Source, *document, WorkFolder_, job.Remove);
    bool wake = false;
    {
      std::lock_guard<std::mutex> guard(Lock_);
      Running_.erase(job.Ticket);
      if (Cancelled_.erase(job.Ticket) == 0 && !Stopping_) {
        Done_.push_back(std::move(done));
        wake = !std::exchange(WakePending_, true);
      }
    }
    if (wake && Wake_) Wake_();
  }
}

}  // namespace qm
