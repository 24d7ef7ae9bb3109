// Work beside the interface thread, the one way the program does it: a worker
// thread runs the jobs handed to it one at a time, in order; what a job has to
// show or hand back reaches the interface thread as a call posted to its queue.
// Nothing on the interface thread ever waits for a job: a job is cancelled
// through a switch of its own (it ends at its next check, or at once where a
// blocking call can be ended), and whatever it posts afterwards finds its window
// gone or still there.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velmora {

// The interface thread's side: Post queues a call that runs on that thread, in
// the order posted. Safe from any thread.
class UiQueue {
 public:
  virtual ~UiQueue() = default;
  virtual void Post(std::function<void()> call) = 0;
};

class Worker {
 public:
  Worker() = default;
  // Jobs not yet begun are dropped; the one running is waited for, so it must
  // have been cancelled first (the owner's release does that).
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Queues a job; it begins once the jobs before it have ended.
  void Submit(std::function<void()> job);
  // True while a job runs or waits.
  bool Busy() const;

 private:
  void Run();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;  // a job is in hand
  bool stopping_ = false;
  std::thread thread_;  // started with the first job
};

}  // namespace velmora
