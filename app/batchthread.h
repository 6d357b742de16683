// Running Convert's batch for a window: the batch on a thread of its own, its
// callback's calls made on the window's thread, one at a time and in order,
// while the window keeps handling its messages.
#pragma once

#include <condition_variable>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

#include "convert.h"

namespace qm {

// Runs a batch body; every call the body makes of its callback reaches
// windowSide on the thread that called Run, in the body's order, and the
// body's result is Run's.
class IBatchRunner {
 public:
  using TBody = std::function<TBatchResult(IBatchCallback& callback)>;
  virtual ~IBatchRunner() = default;
  virtual TBatchResult Run(const TBody& body, IBatchCallback& windowSide) = 0;
};

// The body on the calling thread itself (the command line, the tests).
class TDirectBatchRunner : public IBatchRunner {
 public:
  TBatchResult Run(const TBody& body, IBatchCallback& windowSide) override { return body(windowSide); }
};

// A window's message loop as the threaded runner needs it.
class IMessageLoop {
 public:
  virtual ~IMessageLoop() = default;
  // From any thread: the window's thread is to call Deliver of the runner
  // soon (a posted message).
  virtual void Wake() = 0;
  // On the window's thread: handles messages until done() holds; done is
  // asked again after every message.
  virtual void RunUntil(const std::function<bool()>& done) = 0;
};

// The body on a thread of its own. Each call of its callback waits there for
// the window's thread, which makes it (Deliver, after a Wake) and hands back
// its answer; meanwhile Run handles the window's messages.
class TThreadedBatchRunner : public IBatchRunner {
 public:
  explicit TThreadedBatchRunner(IMessageLoop& loop) : Loop_(loop) {}
  TBatchResult Run(const TBody& body, IBatchCallback& windowSide) override;
  // On the window's thread, when woken: makes the call the batch waits for,
  // if there is one.
  void Deliver();

 private:
  class TProxy;
  struct TCall {
    bool Finished = false;  // FileFinished, else FileStarted
    int Index = 0;
    const std::filesystem::path* Source = nullptr;
    const TFileResult* Result = nullptr;
  };
  bool Call(const TCall& call);

  IMessageLoop& Loop_;
  IBatchCallback* WindowSide_ = nullptr;
  std::mutex Lock_;
  std::condition_variable Answered_;
  std::optional<TCall> Pending_;
  std::optional<bool> Answer_;
  bool Done_ = false;
};

}  // namespace qm
