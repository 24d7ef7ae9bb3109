// The background download task: one download at a time beside the interface
// thread, on a worker of its own. The window that started it reads its counters
// while it runs and takes its result once it has ended; Stop cancels a running
// download and waits for the worker, and the destructor stops it, so no worker
// outlives the task.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "net/HttpFetch.h"

namespace velmora {

enum class TaskState { Idle, Running, Completed, Failed, Stopped };

class BackgroundDownload {
 public:
  explicit BackgroundDownload(const WinInetApi& api, MillisecondClock clock = SteadyClock());
  ~BackgroundDownload();
  BackgroundDownload(const BackgroundDownload&) = delete;
  BackgroundDownload& operator=(const BackgroundDownload&) = delete;

  // Starts a download; false while one runs. `onEnded` runs on the worker when the
  // download has ended by itself (not after Stop), after the state is final.
  bool Start(FetchRequest request, std::function<void()> onEnded = {});
  TaskState State() const;
  uint64_t Received() const { return counters_ ? counters_->received.load() : 0; }
  uint64_t Total() const { return counters_ ? counters_->total.load() : 0; }
  // The content of a completed download, handed over once; nothing otherwise.
  std::optional<std::string> TakeResult();
  // Why the last download ended (diagnostics; meaningful once it has ended).
  FetchOutcome LastOutcome() const;
  // Cancels a running download and waits for its worker; harmless when none runs.
  void Stop();

 private:
  void Join();

  const WinInetApi& api_;
  MillisecondClock clock_;
  mutable std::mutex mutex_;
  TaskState state_ = TaskState::Idle;
  FetchResult result_;
  // Per download; replaced only when no worker runs.
  std::unique_ptr<FetchCounters> counters_;
  std::unique_ptr<TransferHandles> handles_;
  std::thread worker_;
};

}  // namespace velmora
