// The interface thread's queue of posted calls: a message-only window whose
// messages run the calls handed to Post from any thread, one at a time and in
// order (a call that opens a message box lets the next ones run inside its
// modal loop, still in order). Made and released on the interface thread; a
// call posted after its release is dropped.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

#include "platform/Worker.h"

namespace velmora::win32 {

class PostedCalls final : public UiQueue {
 public:
  explicit PostedCalls(FailureReport report = {});
  ~PostedCalls() override;
  PostedCalls(const PostedCalls&) = delete;
  PostedCalls& operator=(const PostedCalls&) = delete;

  void Post(std::function<void()> call) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void RunNext();

  FailureReport report_;
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
  HWND hwnd_ = nullptr;
};

}  // namespace velmora::win32
