// One HTTP GET through the WinINet table, up to the head of the answer: the
// sequence both transports share (the plug-in archive download and the
// whole-object fetch of the site). Every wait is bounded, and another thread can
// end the request at any point by closing its handles (TransferHandles::Cancel),
// which is how WinINet lets another thread end a blocking call.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinInet.h"

namespace velmora {

// The open handles of one transfer, and its cancel switch. The working thread
// registers each handle it opens; Cancel, from any thread, closes them all and
// marks the transfer cancelled, so a handle registered afterwards is closed at
// once. Whatever is still open is closed at the end.
class TransferHandles {
 public:
  explicit TransferHandles(const WinInetApi& api) : api_(api) {}
  ~TransferHandles() { CloseAll(); }
  TransferHandles(const TransferHandles&) = delete;
  TransferHandles& operator=(const TransferHandles&) = delete;

  // Takes `h` over; returns it, or nothing (having closed it) after a Cancel.
  wininet::HINTERNET Hold(wininet::HINTERNET h);
  void Cancel();
  bool Cancelled() const;
  void CloseAll();

 private:
  const WinInetApi& api_;
  mutable std::mutex mutex_;
  std::vector<InternetHandle> open_;  // in the order opened; closed newest first
  bool cancelled_ = false;
};

// Everything one request needs: where it goes and how long it may wait.
struct RequestOptions {
  bool secure = false;  // https
  std::string host;
  uint16_t port = 80;
  std::string object;
  std::string headers;  // extra request lines, each ending in CR LF; none when empty
  // A redirect is followed only where something else vouches for the bytes (a
  // signature); otherwise a 3xx is an error status.
  bool followRedirects = false;
  bool keepConnection = false;
  uint32_t connectTimeoutMs = 5000;
  uint32_t receiveTimeoutMs = 20000;  // for each wait for the server
};

enum class RequestFailure {
  None,
  ConnectFailed,   // InternetOpenA, InternetConnectA or HttpOpenRequestA failed
  WaitsUnbounded,  // a time-out option was refused: the request could wait forever
  SendFailed,      // no answer: refused, reset, timed out
  CertificateRefused,  // https: the server's certificate is not trusted for its name
};

struct Answer {
  RequestFailure failure = RequestFailure::None;
  uint32_t error = 0;                     // GetLastError of the failing call
  wininet::HINTERNET request = nullptr;  // held by the transfer's handles
  int status = 0;                         // 0 when none could be read
  std::string lengthText;                 // Content-Length as sent; empty when none
  std::optional<uint64_t> length;         // the same, when it is a plain number
  // What tells one version of a file from another, as sent; empty when none.
  std::string contentRange, etag, lastModified;
};

// Opens the Internet handle, the connection and the request, sends it and reads
// the head of the answer.
Answer SendRequest(const WinInetApi& api, TransferHandles& handles, const RequestOptions& options);

// A Content-Length text: digits only, nothing else.
std::optional<uint64_t> ParseLength(std::string_view text);

}  // namespace velmora
