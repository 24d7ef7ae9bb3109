#include "platform/win32/PostedCalls.h"

#include "platform/win32/CallbackGuard.h"

namespace velmora::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VelmoraPostedCalls";
constexpr UINT kRunPosted = WM_APP + 1;

}  // namespace

PostedCalls::PostedCalls(FailureReport report) : report_(std::move(report)) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  hwnd_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          wc.hInstance, nullptr);
  if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

PostedCalls::~PostedCalls() {
  HWND h;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    h = hwnd_;
    hwnd_ = nullptr;
    calls_.clear();
  }
  if (h) DestroyWindow(h);
}

void PostedCalls::Post(std::function<void()> call) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!hwnd_) return;
  calls_.push_back(std::move(call));
  // One message per call: each message runs the oldest call, so the order holds
  // even when a call runs a modal loop that takes the next messages.
  PostMessageW(hwnd_, kRunPosted, 0, 0);
}

void PostedCalls::RunNext() {
  std::function<void()> call;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (calls_.empty()) return;
    call = std::move(calls_.front());
    calls_.pop_front();
  }
  RunReported(call, "a posted call", report_);
}

LRESULT CALLBACK PostedCalls::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != kRunPosted) return DefWindowProcW(hwnd, msg, wp, lp);
  // The calls report their own failures; the guard is for taking one off the queue.
  return Guarded("posted calls", msg, [&] {
    if (auto* self = reinterpret_cast<PostedCalls*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) self->RunNext();
    return LRESULT{0};
  }, [] { return LRESULT{0}; });
}

}  // namespace velmora::win32
