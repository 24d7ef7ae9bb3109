// The WinINet functions the plug-in download uses, declared by the program itself
// so that the portable core needs neither <windows.h> nor <wininet.h>. The shell
// binds the table by name from wininet.dll (SystemWinInet, Windows only); the unit
// tests put a scripted server behind it.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define VELMORA_WINAPI __stdcall
#else
#define VELMORA_WINAPI
#endif

namespace velmora::wininet {

using HINTERNET = void*;
using DWORD = uint32_t;
using BOOL = int;
using INTERNET_PORT = uint16_t;
using DWORD_PTR = uintptr_t;

inline constexpr DWORD kOpenTypePreconfig = 0;          // INTERNET_OPEN_TYPE_PRECONFIG
inline constexpr DWORD kServiceHttp = 3;                // INTERNET_SERVICE_HTTP
inline constexpr DWORD kFlagReload = 0x80000000u;       // INTERNET_FLAG_RELOAD
inline constexpr DWORD kFlagNoCacheWrite = 0x04000000u;  // INTERNET_FLAG_NO_CACHE_WRITE
inline constexpr DWORD kFlagKeepConnection = 0x00400000u;  // INTERNET_FLAG_KEEP_CONNECTION
inline constexpr DWORD kFlagNoUi = 0x00000200u;         // INTERNET_FLAG_NO_UI
inline constexpr DWORD kFlagSecure = 0x00800000u;       // INTERNET_FLAG_SECURE
inline constexpr DWORD kFlagNoAutoRedirect = 0x00200000u;  // INTERNET_FLAG_NO_AUTO_REDIRECT
inline constexpr DWORD kQueryContentLength = 5;         // HTTP_QUERY_CONTENT_LENGTH
inline constexpr DWORD kQueryStatusCode = 19;           // HTTP_QUERY_STATUS_CODE
inline constexpr DWORD kQueryCustom = 65535;            // HTTP_QUERY_CUSTOM: the buffer names the header
inline constexpr DWORD kQueryFlagNumber = 0x20000000u;  // HTTP_QUERY_FLAG_NUMBER
inline constexpr DWORD kOptionConnectTimeout = 2;       // INTERNET_OPTION_CONNECT_TIMEOUT
inline constexpr DWORD kOptionSendTimeout = 5;          // INTERNET_OPTION_SEND_TIMEOUT
inline constexpr DWORD kOptionReceiveTimeout = 6;       // INTERNET_OPTION_RECEIVE_TIMEOUT
inline constexpr DWORD kErrorTimeout = 12002;           // ERROR_INTERNET_TIMEOUT
inline constexpr DWORD kErrorCannotConnect = 12029;     // ERROR_INTERNET_CANNOT_CONNECT
inline constexpr DWORD kErrorHeaderNotFound = 12150;    // ERROR_HTTP_HEADER_NOT_FOUND
// The certificate errors of an https answer: ERROR_INTERNET_SEC_CERT_DATE_INVALID,
// _SEC_CERT_CN_INVALID, _INVALID_CA, _SEC_CERT_ERRORS, _SEC_CERT_NO_REV,
// _SEC_CERT_REV_FAILED, _SEC_INVALID_CERT, _SEC_CERT_REVOKED.
inline constexpr DWORD kCertificateErrors[] = {12037, 12038, 12045, 12055, 12056, 12057, 12169, 12170};

}  // namespace velmora::wininet

namespace velmora {

// One entry per function, with the platform's names and signatures (ANSI forms).
// InternetSetOptionA sets the time-outs; GetLastError (kernel32) reads why a call
// failed, for the download's diagnostics.
struct WinInetApi {
  using HINTERNET = wininet::HINTERNET;
  using DWORD = wininet::DWORD;
  using BOOL = wininet::BOOL;

  HINTERNET(VELMORA_WINAPI* InternetOpenA)
  (const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass, DWORD flags);
  HINTERNET(VELMORA_WINAPI* InternetConnectA)
  (HINTERNET internet, const char* serverName, wininet::INTERNET_PORT port, const char* userName,
   const char* password, DWORD service, DWORD flags, wininet::DWORD_PTR context);
  HINTERNET(VELMORA_WINAPI* HttpOpenRequestA)
  (HINTERNET connect, const char* verb, const char* objectName, const char* version,
   const char* referrer, const char** acceptTypes, DWORD flags, wininet::DWORD_PTR context);
  BOOL(VELMORA_WINAPI* HttpSendRequestA)
  (HINTERNET request, const char* headers, DWORD headersLength, void* optional,
   DWORD optionalLength);
  BOOL(VELMORA_WINAPI* HttpQueryInfoA)
  (HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);
  BOOL(VELMORA_WINAPI* InternetReadFile)
  (HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead);
  BOOL(VELMORA_WINAPI* InternetCloseHandle)(HINTERNET handle);
  BOOL(VELMORA_WINAPI* InternetSetOptionA)
  (HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength);
  DWORD(VELMORA_WINAPI* GetLastError)();
};

// Owns one HINTERNET and closes it through the table.
class InternetHandle {
 public:
  InternetHandle() = default;
  InternetHandle(const WinInetApi& api, wininet::HINTERNET h) : api_(&api), h_(h) {}
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  InternetHandle(InternetHandle&& o) noexcept : api_(o.api_), h_(o.h_) { o.h_ = nullptr; }
  InternetHandle& operator=(InternetHandle&& o) noexcept {
    if (this != &o) {
      Reset();
      api_ = o.api_;
      h_ = o.h_;
      o.h_ = nullptr;
    }
    return *this;
  }
  ~InternetHandle() { Reset(); }

  void Reset() {
    if (h_ != nullptr) api_->InternetCloseHandle(h_);
    h_ = nullptr;
  }
  wininet::HINTERNET Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  const WinInetApi* api_ = nullptr;
  wininet::HINTERNET h_ = nullptr;
};

#if defined(_WIN32)
// The table bound to wininet.dll; the library is loaded when the first of its
// functions is called.
const WinInetApi& SystemWinInet();
#endif

}  // namespace velmora
