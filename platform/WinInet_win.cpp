// The WinINet table bound by name from wininet.dll. Each entry is a forwarder
// that loads the library when the first of them is called, so a program run that
// never downloads never loads it.
#include <windows.h>

#include <mutex>

#include "platform/WinInet.h"
#include "platform/win32/WinHandle.h"

namespace velmora {
namespace {

namespace wi = wininet;

struct BoundWinInet {
  ModuleHandle library;
  WinInetApi api{};  // the library's own entries, null where a name is missing
};

template <typename F>
void Bind(HMODULE library, const char* name, F& entry) {
  entry = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const BoundWinInet& Bound() {
  static BoundWinInet bound;
  static std::once_flag once;
  std::call_once(once, [] {
    // From the system folder only: a wininet.dll beside the program is never loaded.
    bound.library.Reset(LoadLibraryExW(L"wininet.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!bound.library) return;
    HMODULE h = bound.library.Get();
    Bind(h, "InternetOpenA", bound.api.InternetOpenA);
    Bind(h, "InternetConnectA", bound.api.InternetConnectA);
    Bind(h, "HttpOpenRequestA", bound.api.HttpOpenRequestA);
    Bind(h, "HttpSendRequestA", bound.api.HttpSendRequestA);
    Bind(h, "HttpQueryInfoA", bound.api.HttpQueryInfoA);
    Bind(h, "InternetReadFile", bound.api.InternetReadFile);
    Bind(h, "InternetCloseHandle", bound.api.InternetCloseHandle);
    Bind(h, "InternetSetOptionA", bound.api.InternetSetOptionA);
  });
  return bound;
}

// A missing library or name fails the call the way WinINet fails one.
constexpr DWORD kNotBound = ERROR_PROC_NOT_FOUND;

wi::HINTERNET VELMORA_WINAPI OpenForward(const char* agent, wi::DWORD access, const char* proxy,
                                          const char* bypass, wi::DWORD flags) {
  auto f = Bound().api.InternetOpenA;
  if (!f) return SetLastError(kNotBound), nullptr;
  return f(agent, access, proxy, bypass, flags);
}

wi::HINTERNET VELMORA_WINAPI ConnectForward(wi::HINTERNET internet, const char* server,
                                             wi::INTERNET_PORT port, const char* user,
                                             const char* password, wi::DWORD service,
                                             wi::DWORD flags, wi::DWORD_PTR context) {
  auto f = Bound().api.InternetConnectA;
  if (!f) return SetLastError(kNotBound), nullptr;
  return f(internet, server, port, user, password, service, flags, context);
}

wi::HINTERNET VELMORA_WINAPI OpenRequestForward(wi::HINTERNET connect, const char* verb,
                                                 const char* object, const char* version,
                                                 const char* referrer, const char** accept,
                                                 wi::DWORD flags, wi::DWORD_PTR context) {
  auto f = Bound().api.HttpOpenRequestA;
  if (!f) return SetLastError(kNotBound), nullptr;
  return f(connect, verb, object, version, referrer, accept, flags, context);
}

wi::BOOL VELMORA_WINAPI SendForward(wi::HINTERNET request, const char* headers,
                                     wi::DWORD headersLength, void* optional,
                                     wi::DWORD optionalLength) {
  auto f = Bound().api.HttpSendRequestA;
  if (!f) return SetLastError(kNotBound), FALSE;
  return f(request, headers, headersLength, optional, optionalLength);
}

wi::BOOL VELMORA_WINAPI QueryForward(wi::HINTERNET request, wi::DWORD level, void* buffer,
                                      wi::DWORD* length, wi::DWORD* index) {
  auto f = Bound().api.HttpQueryInfoA;
  if (!f) return SetLastError(kNotBound), FALSE;
  return f(request, level, buffer, length, index);
}

wi::BOOL VELMORA_WINAPI ReadForward(wi::HINTERNET file, void* buffer, wi::DWORD wanted,
                                     wi::DWORD* got) {
  auto f = Bound().api.InternetReadFile;
  if (!f) return SetLastError(kNotBound), FALSE;
  return f(file, buffer, wanted, got);
}

wi::BOOL VELMORA_WINAPI CloseForward(wi::HINTERNET handle) {
  auto f = Bound().api.InternetCloseHandle;
  if (!f) return SetLastError(kNotBound), FALSE;
  return f(handle);
}

wi::BOOL VELMORA_WINAPI SetOptionForward(wi::HINTERNET handle, wi::DWORD option, void* buffer,
                                          wi::DWORD length) {
  auto f = Bound().api.InternetSetOptionA;
  if (!f) return SetLastError(kNotBound), FALSE;
  return f(handle, option, buffer, length);
}

wi::DWORD VELMORA_WINAPI LastErrorForward() { return ::GetLastError(); }

}  // namespace

const WinInetApi& SystemWinInet() {
  static const WinInetApi api = {
      &OpenForward, &ConnectForward, &OpenRequestForward, &SendForward,     &QueryForward,
      &ReadForward, &CloseForward,   &SetOptionForward,   &LastErrorForward,
  };
  return api;
}

}  // namespace velmora
