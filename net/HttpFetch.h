// One HTTP GET of a whole object into memory: the body when it arrived
// completely with status 200, nothing otherwise. Every wait is bounded, and
// another thread can cancel the fetch at any point (TransferHandles::Cancel),
// which also ends a blocked WinINet call.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "net/HttpTransfer.h"
#include "net/Progress.h"

namespace velmora {

struct FetchRequest {
  RequestOptions request;
  uint64_t maxBytes = uint64_t{4} << 20;  // a longer body is refused, never held
  bool requireLength = false;  // refuse an answer that does not announce its length
  uint32_t deadlineMs = 0;     // for the whole fetch; 0: none
};

struct FetchResult {
  TransferOutcome outcome = TransferOutcome::ConnectFailed;
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
