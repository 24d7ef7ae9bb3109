// The interface thread's queue in a test: calls posted from a worker wait until
// the test, standing for the interface thread, runs them.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "platform/Worker.h"

namespace velmora::testing {

class ManualUiQueue final : public UiQueue {
 public:
  void Post(std::function<void()> call) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  // Runs what has been posted so far, in order; returns how many ran.
  int RunPosted() {
    int ran = 0;
    for (;;) {
      std::function<void()> call;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (calls_.empty()) return ran;
        call = std::move(calls_.front());
        calls_.pop_front();
      }
      call();
      ++ran;
    }
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};

}  // namespace velmora::testing
