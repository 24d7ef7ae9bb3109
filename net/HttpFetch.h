// One HTTP GET of a whole object into memory through the WinINet table: the body
// when it arrived completely with status 200, nothing otherwise. Every wait is
// bounded, and another thread can cancel the fetch at any point
// (TransferHandles::Cancel), which also ends a blocked WinINet call.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "net/HttpRequest.h"
#include "net/Progress.h"

namespace velmora {

struct FetchRequest {
  bool secure = false;  // https
  std::string host;
  uint16_t port = 80;
  std::string object;
  uint64_t maxBytes = uint64_t{4} << 20;  // a longer body is refused, never held
  bool requireLength = false;  // refuse an answer that does not announce its length
  uint32_t connectTimeoutMs = 5000;
  uint32_t receiveTimeoutMs = 10000;  // for each wait for the server
  uint32_t deadlineMs = 0;            // for the whole fetch; 0: none
  // A redirect is followed only where something else vouches for the bytes (a
  // signature); otherwise a 3xx is an error status.
  bool followRedirects = false;
};

enum class FetchOutcome {
  Completed,
  Cancelled,
  ConnectFailed,  // InternetOpenA, InternetConnectA or HttpOpenRequestA failed
  SendFailed,     // no answer: refused, reset, timed out
  ErrorStatus,    // an answer other than 200
  NoLength,       // no Content-Length where one is required
  TooLarge,       // longer than maxBytes, announced or as it came
  ReadFailed,     // a read failed (reset, time-out)
  Truncated,      // the body ended before (or ran past) its announced length
  TimedOut,       // the deadline passed
  OutOfMemory,
};

// "completed", "send-failed", ... for the diagnostics log.
const char* FetchOutcomeName(FetchOutcome outcome);

struct FetchResult {
  FetchOutcome outcome = FetchOutcome::ConnectFailed;
  int status = 0;      // HTTP status, 0 when no answer came
  uint32_t error = 0;  // GetLastError of the failing WinINet call
  std::string body;    // only for Completed
};

// Received bytes and announced total, read by another thread while the fetch runs.
struct FetchCounters {
  std::atomic<uint64_t> received{0};
  std::atomic<uint64_t> total{0};  // 0 until the answer has announced its length
};

FetchResult HttpFetch(const WinInetApi& api, const FetchRequest& request, FetchCounters& counters,
                      TransferHandles& handles, const MillisecondClock& clock = SteadyClock());

}  // namespace velmora
