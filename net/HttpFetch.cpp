#include "net/HttpFetch.h"

#include <new>
#include <optional>

namespace velmora {
namespace {

namespace wi = wininet;

constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

const char* FetchOutcomeName(FetchOutcome outcome) {
  switch (outcome) {
    case FetchOutcome::Completed: return "completed";
    case FetchOutcome::Cancelled: return "cancelled";
    case FetchOutcome::ConnectFailed: return "connect-failed";
    case FetchOutcome::SendFailed: return "send-failed";
    case FetchOutcome::ErrorStatus: return "error-status";
    case FetchOutcome::NoLength: return "no-length";
    case FetchOutcome::TooLarge: return "too-large";
    case FetchOutcome::ReadFailed: return "read-failed";
    case FetchOutcome::Truncated: return "truncated";
    case FetchOutcome::TimedOut: return "timed-out";
    case FetchOutcome::OutOfMemory: return "out-of-memory";
  }
  return "?";
}

FetchResult HttpFetch(const WinInetApi& api, const FetchRequest& request, FetchCounters& counters,
                      TransferHandles& handles, const MillisecondClock& clock) {
  FetchResult r;
  const int64_t startMs = clock();
  auto fail = [&](FetchOutcome outcome, uint32_t error = 0) {
    r.outcome = handles.Cancelled() ? FetchOutcome::Cancelled : outcome;
    r.error = error;
    r.body.clear();
    return std::move(r);
  };

  RequestOptions options;
  options.host = request.host;
  options.port = request.port;
  options.object = request.object;
  options.connectTimeoutMs = request.connectTimeoutMs;
  options.receiveTimeoutMs = request.receiveTimeoutMs;
  // Only a download whose bytes a signature checks may be sent elsewhere.
  if (request.secure) options.flags |= wi::kFlagSecure;
  if (!request.followRedirects) options.flags |= wi::kFlagNoAutoRedirect;
  const Answer answer = SendRequest(api, handles, options);
  if (answer.failure == RequestFailure::ConnectFailed) return fail(FetchOutcome::ConnectFailed, answer.error);
  if (answer.failure == RequestFailure::SendFailed) return fail(FetchOutcome::SendFailed, answer.error);
  wi::HINTERNET req = answer.request;
  r.status = answer.status;
  if (r.status != 200) return fail(FetchOutcome::ErrorStatus);
  const std::optional<uint64_t> length = answer.length;
  if (!length && request.requireLength) return fail(FetchOutcome::NoLength);
  if (length && *length > request.maxBytes) return fail(FetchOutcome::TooLarge);
  if (length) counters.total = *length;

  try {
    if (length) r.body.reserve(static_cast<size_t>(*length));
    std::string buffer(kBufferSize, '\0');
    for (;;) {
      wi::DWORD got = 0;
      if (!api.InternetReadFile(req, buffer.data(), static_cast<wi::DWORD>(buffer.size()), &got)) {
        return fail(FetchOutcome::ReadFailed, api.GetLastError());
      }
      if (handles.Cancelled()) return fail(FetchOutcome::Cancelled);
      if (got == 0) break;
      if (r.body.size() + got > request.maxBytes) return fail(FetchOutcome::TooLarge);
      r.body.append(buffer.data(), got);
      counters.received = r.body.size();
      if (length && r.body.size() > *length) return fail(FetchOutcome::Truncated);
      if (request.deadlineMs && clock() - startMs > static_cast<int64_t>(request.deadlineMs)) {
        return fail(FetchOutcome::TimedOut);
      }
    }
  } catch (const std::bad_alloc&) {
    return fail(FetchOutcome::OutOfMemory);
  }
  // A clean end before the announced length is a dropped connection, not the file.
  if (length && r.body.size() != *length) return fail(FetchOutcome::Truncated);
  r.outcome = FetchOutcome::Completed;
  return r;
}

}  // namespace velmora
