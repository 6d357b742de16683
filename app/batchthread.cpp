#include "batchthread.h"

#include <thread>

namespace qm {

// The callback the body calls on its thread: each call is handed to the
// window's thread and answered from there.
class TThreadedBatchRunner::TProxy : public IBatchCallback {
 public:
  explicit TProxy(TThreadedBatchRunner& runner) : Runner_(runner) {}
  bool FileStarted(int index, const std::filesystem::path& source) override {
    return Runner_.Call({false, index, &source, nullptr});
  }
  bool FileFinished(int index, const TFileResult& result) override {
    return Runner_.Call({true, index, nullptr, &result});
  }

 private:
  TThreadedBatchRunner& Runner_;
};

bool TThreadedBatchRunner::Call(const TCall& call) {
  std::unique_lock<std::mutex> lock(Lock_);
  Pending_ = call;
  Answer_.reset();
  lock.unlock();
  Loop_.Wake();
  lock.lock();
  Answered_.wait(lock, [this] { return Answer_.has_value(); });
  return *Answer_;
}

void TThreadedBatchRunner::Deliver() {
  std::optional<TCall> call;
  {
    std::lock_guard<std::mutex> guard(Lock_);
    // Taken out before it is made: a message loop inside the call (the
    // window painting itself) that delivers again finds nothing.
    call.swap(Pending_);
  }
  if (!call || !WindowSide_) return;
  const bool answer = call->Finished ? WindowSide_->FileFinished(call->Index, *call->Result)
                                     : WindowSide_->FileStarted(call->Index, *call->Source);
  {
    std::lock_guard<std::mutex> guard(Lock_);
    Answer_ = answer;
  }
  Answered_.notify_one();
}

TBatchResult TThreadedBatchRunner::Run(const TBody& body, IBatchCallback& windowSide) {
  {
    std::lock_guard<std::mutex> guard(Lock_);
    WindowSide_ = &windowSide;
    Pending_.reset();
    Answer_.reset();
    Done_ = false;
  }
  TBatchResult result;
  std::exception_ptr failure;
  TProxy proxy(*this);
  std::thread worker([&] {
    try {
      result = body(proxy);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> guard(Lock_);
      Done_ = true;
    }
    Loop_.Wake();
  });
  Loop_.RunUntil([this] {
    std::lock_guard<std::mutex> guard(Lock_);
    return Done_;
  });
  worker.join();
  {
    std::lock_guard<std::mutex> guard(Lock_);
    WindowSide_ = nullptr;
  }
  if (failure) std::rethrow_exception(failure);
  return result;
}

}  // namespace qm
