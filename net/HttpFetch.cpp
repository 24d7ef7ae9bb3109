#include "net/HttpFetch.h"

#include <optional>

namespace velmora {

FetchResult HttpFetch(const WinInetApi& api, const FetchRequest& request, FetchCounters& counters,
                      TransferHandles& handles, const MillisecondClock& clock) {
  FetchResult r;
  const int64_t startMs = clock();
  auto fail = [&](TransferOutcome outcome, uint32_t error = 0) {
    r.outcome = handles.Cancelled() ? TransferOutcome::Cancelled : outcome;
    r.error = error;
    r.body.clear();
    return std::move(r);
  };

  const Answer answer = SendRequest(api, handles, request.request);
  if (answer.failure != RequestFailure::None) return fail(OutcomeOf(answer.failure), answer.error);
  r.status = answer.status;
  if (r.status != 200) return fail(TransferOutcome::ErrorStatus);
  if (!answer.length && request.requireLength) return fail(TransferOutcome::NoLength);
  if (answer.length) counters.total = *answer.length;

  MemorySink sink;
  // One allocation when the length is known and within the limit.
  if (answer.length && *answer.length <= request.maxBytes && !sink.Reserve(*answer.length)) {
    return fail(TransferOutcome::WriteFailed);
  }
  BodyRead read = ReadBody(api, handles, answer, {request.maxBytes}, sink, [&](uint64_t received) {
    counters.received = received;
    return !request.deadlineMs || clock() - startMs <= static_cast<int64_t>(request.deadlineMs);
  });
  if (read.outcome != TransferOutcome::Completed) return fail(read.outcome, read.error);
  r.outcome = TransferOutcome::Completed;
  r.body = std::move(sink.bytes);
  return r;
}

}  // namespace velmora
