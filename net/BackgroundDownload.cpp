#include "net/BackgroundDownload.h"

#include <atomic>
#include <mutex>

namespace velmora {

struct BackgroundDownload::Run {
  explicit Run(const WinInetApi& api) : handles(api) {}
  FetchCounters counters;
  TransferHandles handles;
  mutable std::mutex mutex;
  TaskState state = TaskState::Running;
  FetchResult result;
  // Set once the end has been told on the interface thread: until then the
  // download still counts as running, so a second Start cannot replace the
  // result the first one's notice is about to take.
  std::atomic<bool> told{false};
};

BackgroundDownload::BackgroundDownload(const WinInetApi& api, Worker& worker, UiQueue& ui,
                                       MillisecondClock clock)
    : api_(api), worker_(worker), ui_(ui), clock_(std::move(clock)) {}

BackgroundDownload::~BackgroundDownload() { Stop(); }

bool BackgroundDownload::Start(FetchRequest request, std::function<void()> onEnded) {
  if (run_ && !run_->told.load() && State() != TaskState::Stopped) return false;
  auto run = std::make_shared<Run>(api_);
  const bool started = worker_.Submit([run, request = std::move(request), onEnded = std::move(onEnded), &api = api_,
                  clock = clock_, &ui = ui_]() mutable {
    FetchResult r;
    try {
      r = HttpFetch(api, request, run->counters, run->handles, clock);
    } catch (const std::exception&) {
      // Out of memory: a failed download, which the window's log line names
      // (LastFailure). Anything else is the worker's to report.
      r.outcome = TransferOutcome::WriteFailed;
    }
    run->handles.CloseAll();
    {
      std::lock_guard<std::mutex> lock(run->mutex);
      if (run->state == TaskState::Stopped) return;
      run->state = r.outcome == TransferOutcome::Completed ? TaskState::Completed : TaskState::Failed;
      run->result = std::move(r);
    }
    if (!onEnded) {
      run->told = true;
      return;
    }
    ui.Post([run, onEnded = std::move(onEnded)] {
      run->told = true;
      if (run->state != TaskState::Stopped) onEnded();  // state is final: no lock needed here
    });
  });
  if (started) run_ = run;
  return started;
}

TaskState BackgroundDownload::State() const {
  if (!run_) return TaskState::Idle;
  std::lock_guard<std::mutex> lock(run_->mutex);
  return run_->state;
}

uint64_t BackgroundDownload::Received() const { return run_ ? run_->counters.received.load() : 0; }
uint64_t BackgroundDownload::Total() const { return run_ ? run_->counters.total.load() : 0; }

std::optional<std::string> BackgroundDownload::TakeResult() {
  if (!run_) return std::nullopt;
  std::lock_guard<std::mutex> lock(run_->mutex);
  if (run_->state != TaskState::Completed) return std::nullopt;
  run_->state = TaskState::Idle;
  return std::move(run_->result.body);
}

TransferOutcome BackgroundDownload::LastOutcome() const {
  if (!run_) return TransferOutcome::Cancelled;
  std::lock_guard<std::mutex> lock(run_->mutex);
  return run_->state == TaskState::Stopped ? TransferOutcome::Cancelled : run_->result.outcome;
}

std::string BackgroundDownload::LastFailure() const {
  uint32_t error = 0;
  if (run_) {
    std::lock_guard<std::mutex> lock(run_->mutex);
    error = run_->result.error;
  }
  return std::string(OutcomeName(LastOutcome())) + ", error " + std::to_string(error);
}

void BackgroundDownload::Stop() {
  if (!run_) return;
  {
    std::lock_guard<std::mutex> lock(run_->mutex);
    if (run_->state != TaskState::Running) return;
    run_->state = TaskState::Stopped;
  }
  run_->handles.Cancel();
}

}  // namespace velmora
