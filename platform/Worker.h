// Work beside the interface thread, the one way the program does it: a worker
// thread runs the jobs handed to it one at a time, in order; what a job has to
// show or hand back reaches the interface thread as a call posted to its queue.
// Nothing on the interface thread ever waits for a job: a job is cancelled
// through a switch of its own (it ends at its next check, or at once where a
// blocking call can be ended), and whatever it posts afterwards finds its window
// gone or still there.
//
// The threads of the program, all of them Workers: the install worker (plug-in
// download, store, unpack, commit), the site worker (version check, self-update
// download), and while an archive of several MiB is inflated, up to three
// helpers that the unpacking starts and joins before it goes on.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

namespace velmora {

// The interface thread's side: Post queues a call that runs on that thread, in
// the order posted. Safe from any thread.
class UiQueue {
 public:
  virtual ~UiQueue() = default;
  virtual void Post(std::function<void()> call) = 0;
};

// What to tell the log of a job or call that ended by an exception (they report
// their own failures; this is the last net).
using FailureReport = std::function<void(std::string_view)>;

// Runs `call`; an exception that leaves it goes to `report` as "<what>: <why>".
void RunReported(const std::function<void()>& call, std::string_view what, const FailureReport& report);

class Worker {
 public:
  explicit Worker(FailureReport report = {}) : report_(std::move(report)) {}
  // Jobs not yet begun are dropped; the one running is waited for, so it must
  // have been cancelled first (the owner's release does that).
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Queues a job; it begins once the jobs before it have ended. False when the
  // worker's thread could not be started (the system is out of threads): the
  // job is dropped and the caller tells its own failure.
  [[nodiscard]] bool Submit(std::function<void()> job);
  // True while a job runs or waits.
  bool Busy() const;

 private:
  void Run();

  FailureReport report_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;  // a job is in hand
  bool stopping_ = false;
  std::thread thread_;  // started with the first job
};

}  // namespace velmora
