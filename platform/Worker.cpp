#include "platform/Worker.h"

#include <exception>
#include <string>
#include <system_error>

namespace velmora {

void RunReported(const std::function<void()>& call, std::string_view what, const FailureReport& report) {
  std::string why;
  try {
    call();
    return;
  } catch (const std::exception& e) {
    why = e.what();
  } catch (...) {
    why = "not a standard exception";
  }
  if (!report) return;
  try {
    report(std::string(what) + " ended by an exception: " + why);
  } catch (const std::exception&) {
    // The log itself failed (out of memory): nothing is left to tell it to.
  }
}

Worker::~Worker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool Worker::Submit(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { Run(); });
      } catch (const std::system_error&) {
        return false;
      }
    }
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
  return true;
}

bool Worker::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_ || !jobs_.empty();
}

void Worker::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    RunReported(job, "a job", report_);
    lock.lock();
    running_ = false;
  }
}

}  // namespace velmora
