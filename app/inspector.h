// Inspection off the window's thread: a few workers, each with a document of
// its own, take the listed drawings in the order they were asked for and
// inspect them (inspect.h), or draw the picture of one (preview.h) before
// anything else; the window's thread collects what is done. The
// workers touch nothing but their own documents and the run's work folder
// they are given.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "inspect.h"
#include "preview.h"

namespace qm {

class TInspector {
 public:
  struct TDone {
    uint64_t Ticket = 0;
    TFileResult Inspection;                   // of a drawing asked for with Submit
    std::shared_ptr<const TPreview> Preview;  // of one asked for with SubmitPreview
  };

  // wake is called from a worker when something is done and waits to be
  // taken: once, until the next Take (so a front end posts one message for
  // many drawings). workers: how many threads (at least 1), started with the
  // first drawing.
  TInspector(std::filesystem::path workFolder, std::function<void()> wake, int workers);
  ~TInspector();
  TInspector(const TInspector&) = delete;
  TInspector& operator=(const TInspector&) = delete;

  // Asks for a drawing's inspection, as a conversion that removes also what
  // remove asks would see it; the ticket names it in what Take returns.
  uint64_t Submit(const std::filesystem::path& source, const TAlsoRemove& remove = {});
  // Asks for a drawing's picture, before the inspections waiting.
  uint64_t SubmitPreview(const std::filesystem::path& source);
  // Forgets a drawing: not inspected when it has not begun, and its result
  // never taken when it has.
  void Cancel(uint64_t ticket);
  // What is done since the last call, in the order it was done.
  std::vector<TDone> Take();
  // Drawings asked for and not taken yet (also those in progress).
  size_t Outstanding() const;
  // Forgets every drawing not begun, lets those in progress finish, ends the
  // workers. Nothing is done after it.
  void Stop();

  // How many workers suit this machine.
  static int DefaultWorkers();

 private:
  struct TJob {
    uint64_t Ticket = 0;
    std::filesystem::path Source;
    bool Preview = false;
    TAlsoRemove Remove;
  };
  uint64_t Queue(const std::filesystem::path& source, bool preview, const TAlsoRemove& remove = {});
  void Work();

  const std::filesystem::path WorkFolder_;
  const std::function<void()> Wake_;
  const int Workers_;
  mutable std::mutex Lock_;
  std::condition_variable Ready_;
  std::deque<TJob> Queue_;
  std::unordered_set<uint64_t> Running_, Cancelled_;
  std::vector<TDone> Done_;
  std::vector<std::thread> Threads_;
  uint64_t Next_ = 1;
  bool WakePending_ = false;
  bool Stopping_ = false;
};

}  // namespace qm
