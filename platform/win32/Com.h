// Owners for COM: one interface pointer, and the OLE start-up of a thread.
#pragma once

#include <ole2.h>

#include <optional>
#include <utility>

#include "platform/win32/LateBound.h"

namespace velmora::win32 {

// Holds one reference to a COM interface and releases it.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.p_, nullptr));
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset(T* p = nullptr) {
    if (p_) p_->Release();
    p_ = p;
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For functions that hand out a new reference through a void** argument.
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }

 private:
  T* p_ = nullptr;
};

// OLE for the calling thread (the folder browser and the web view need it),
// ended when the owner goes.
class OleSession {
 public:
  OleSession() : ok_(SUCCEEDED(late::OleInitialize(nullptr))) {}
  ~OleSession() {
    if (ok_) late::OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

// OLE started on first need (the web view, the folder browser), not before the
// first window: it is a good part of a start-up's time. Ended with its owner.
class OleOnDemand {
 public:
  bool Ensure() {
    if (!session_) session_.emplace();
    return session_->ok();
  }

 private:
  std::optional<OleSession> session_;
};

}  // namespace velmora::win32
