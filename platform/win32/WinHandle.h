// Small owners of Win32 handles. Windows-only; include from *_win.cpp.
#pragma once

#include <windows.h>

#include <utility>

namespace velmora {

// Owns one handle; Traits names its "no handle" value and how it is released.
template <typename Traits>
class UniqueWinHandle {
 public:
  using Handle = decltype(Traits::Invalid());

  UniqueWinHandle() = default;
  explicit UniqueWinHandle(Handle h) : h_(h) {}
  UniqueWinHandle(const UniqueWinHandle&) = delete;
  UniqueWinHandle& operator=(const UniqueWinHandle&) = delete;
  UniqueWinHandle(UniqueWinHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
  UniqueWinHandle& operator=(UniqueWinHandle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.h_, Traits::Invalid()));
    return *this;
  }
  ~UniqueWinHandle() { Reset(); }

  void Reset(Handle h = Traits::Invalid()) {
    if (Valid()) Traits::Close(h_);
    h_ = h;
  }
  Handle Get() const { return h_; }
  Handle Release() { return std::exchange(h_, Traits::Invalid()); }
  bool Valid() const { return h_ != Traits::Invalid() && h_ != Handle{}; }
  explicit operator bool() const { return Valid(); }

 private:
  Handle h_ = Traits::Invalid();
};

struct FileHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE on failure
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct KernelHandleTraits {  // processes, threads, events: NULL on failure
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};
struct ModuleHandleTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};
template <typename G>
struct GdiObjectTraits {
  static G Invalid() { return nullptr; }
  static void Close(G h) { DeleteObject(h); }
};

using FileHandle = UniqueWinHandle<FileHandleTraits>;
using KernelHandle = UniqueWinHandle<KernelHandleTraits>;
using FindHandle = UniqueWinHandle<FindHandleTraits>;
using ModuleHandle = UniqueWinHandle<ModuleHandleTraits>;
using FontHandle = UniqueWinHandle<GdiObjectTraits<HFONT>>;
using BrushHandle = UniqueWinHandle<GdiObjectTraits<HBRUSH>>;
using BitmapHandle = UniqueWinHandle<GdiObjectTraits<HBITMAP>>;

struct MemoryDcTraits {  // CreateCompatibleDC
  static HDC Invalid() { return nullptr; }
  static void Close(HDC dc) { DeleteDC(dc); }
};
using MemoryDc = UniqueWinHandle<MemoryDcTraits>;

// A window's device context from GetDC, released when it goes.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// An object selected into a device context; the previous selection comes back
// when it goes.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() {
    if (Valid()) SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  bool Valid() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace velmora
