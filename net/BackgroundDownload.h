// The background download task: one download at a time of a whole object, as a
// job on a worker beside the interface thread. The window that started it reads
// its counters while it runs, is told on the interface thread when it has ended
// and takes its result then; Stop cancels a running download without waiting
// for it (its worker lets it go at the next check, or at once where WinINet can
// end a blocked call), and a stopped download reports nothing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "net/HttpFetch.h"
#include "platform/Worker.h"

namespace velmora {

enum class TaskState { Idle, Running, Completed, Failed, Stopped };

class BackgroundDownload {
 public:
  BackgroundDownload(const WinInetApi& api, Worker& worker, UiQueue& ui,
                     MillisecondClock clock = SteadyClock());
  ~BackgroundDownload();
  BackgroundDownload(const BackgroundDownload&) = delete;
  BackgroundDownload& operator=(const BackgroundDownload&) = delete;

  // Starts a download; false while one runs (until its end has been told), or
  // when its worker cannot start. `onEnded` runs on the interface thread once
  // the download has ended by itself (never after Stop).
  bool Start(FetchRequest request, std::function<void()> onEnded = {});
  TaskState State() const;
  uint64_t Received() const;
  uint64_t Total() const;
  // The content of a completed download, handed over once; nothing otherwise.
  std::optional<std::string> TakeResult();
  // Why the last download ended (diagnostics; meaningful once it has ended).
  TransferOutcome LastOutcome() const;
  // "ReadFailed, error 12002": the outcome and WinINet's code, for the log.
  std::string LastFailure() const;
  // Cancels a running download; never waits. Harmless when none runs.
  void Stop();

 private:
  struct Run;

  const WinInetApi& api_;
  Worker& worker_;
  UiQueue& ui_;
  MillisecondClock clock_;
  std::shared_ptr<Run> run_;  // the latest download; the job holds it too
};

}  // namespace velmora
