#include "net/BackgroundDownload.h"

namespace velmora {

BackgroundDownload::BackgroundDownload(const WinInetApi& api, MillisecondClock clock)
    : api_(api), clock_(std::move(clock)) {}

BackgroundDownload::~BackgroundDownload() { Stop(); }

bool BackgroundDownload::Start(FetchRequest request, std::function<void()> onEnded) {
  if (State() == TaskState::Running) return false;
  Join();  // an ended worker may still be on its way out
  counters_ = std::make_unique<FetchCounters>();
  handles_ = std::make_unique<TransferHandles>(api_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = TaskState::Running;
    result_ = {};
  }
  worker_ = std::thread([this, request = std::move(request), onEnded = std::move(onEnded)] {
    FetchResult r;
    try {
      r = HttpFetch(api_, request, *counters_, *handles_, clock_);
    } catch (...) {
      r.outcome = FetchOutcome::OutOfMemory;  // nothing may leave the worker
    }
    handles_->CloseAll();
    const bool cancelled = r.outcome == FetchOutcome::Cancelled;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_ = cancelled                                   ? TaskState::Stopped
               : r.outcome == FetchOutcome::Completed ? TaskState::Completed
                                                      : TaskState::Failed;
      result_ = std::move(r);
    }
    if (!cancelled && onEnded) onEnded();
  });
  return true;
}

TaskState BackgroundDownload::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

std::optional<std::string> BackgroundDownload::TakeResult() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ != TaskState::Completed) return std::nullopt;
  state_ = TaskState::Idle;
  return std::move(result_.body);
}

FetchOutcome BackgroundDownload::LastOutcome() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return result_.outcome;
}

void BackgroundDownload::Stop() {
  if (handles_) handles_->Cancel();
  Join();
}

void BackgroundDownload::Join() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace velmora
