#include "net/HttpTransfer.h"

#include <algorithm>
#include <new>
#include <vector>

namespace velmora {

std::string_view OutcomeName(TransferOutcome outcome) {
  switch (outcome) {
    case TransferOutcome::Completed: return "Completed";
    case TransferOutcome::Cancelled: return "Cancelled";
    case TransferOutcome::ConnectFailed: return "ConnectFailed";
    case TransferOutcome::WaitsUnbounded: return "WaitsUnbounded";
    case TransferOutcome::SendFailed: return "SendFailed";
    case TransferOutcome::CertificateRefused: return "CertificateRefused";
    case TransferOutcome::ErrorStatus: return "ErrorStatus";
    case TransferOutcome::NoLength: return "NoLength";
    case TransferOutcome::TooLarge: return "TooLarge";
    case TransferOutcome::ReadFailed: return "ReadFailed";
    case TransferOutcome::Truncated: return "Truncated";
    case TransferOutcome::TimedOut: return "TimedOut";
    case TransferOutcome::WriteFailed: return "WriteFailed";
    case TransferOutcome::StoreFailed: return "StoreFailed";
  }
  return "Unknown";
}

TransferOutcome OutcomeOf(RequestFailure failure) {
  switch (failure) {
    case RequestFailure::None: return TransferOutcome::Completed;
    case RequestFailure::ConnectFailed: return TransferOutcome::ConnectFailed;
    case RequestFailure::WaitsUnbounded: return TransferOutcome::WaitsUnbounded;
    case RequestFailure::SendFailed: return TransferOutcome::SendFailed;
    case RequestFailure::CertificateRefused: return TransferOutcome::CertificateRefused;
  }
  return TransferOutcome::SendFailed;
}

bool MemorySink::Append(const char* data, size_t size) {
  try {
    bytes.append(data, size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;  // a failed transfer, told as such
  }
}

bool MemorySink::Reserve(uint64_t size) {
  try {
    bytes.reserve(static_cast<size_t>(size));
    return true;
  } catch (const std::exception&) {  // bad_alloc, or length_error past size_t
    return false;
  }
}

BodyRead ReadBody(const WinInetApi& api, TransferHandles& handles, const Answer& answer,
                  const BodyLimits& limits, BodySink& sink, const std::function<bool(uint64_t)>& onPiece) {
  BodyRead r;
  auto end = [&](TransferOutcome outcome, uint32_t error = 0) {
    // A read that the cancel ended, as a failure or as a clean end, is a cancel.
    r.outcome = handles.Cancelled() ? TransferOutcome::Cancelled : outcome;
    r.error = error;
    return r;
  };
  if (answer.length && *answer.length > limits.maxBytes) return end(TransferOutcome::TooLarge);
  std::vector<char> buffer(std::max<size_t>(limits.bufferSize, 4096));
  for (;;) {
    // The read stops at the announced length: what a server sends past it is
    // not part of the file.
    uint64_t want = buffer.size();
    if (answer.length) want = std::min<uint64_t>(want, *answer.length - r.received);
    if (want == 0) break;
    wininet::DWORD got = 0;
    if (!api.InternetReadFile(answer.request, buffer.data(), static_cast<wininet::DWORD>(want), &got)) {
      return end(TransferOutcome::ReadFailed, api.GetLastError());
    }
    if (handles.Cancelled()) return end(TransferOutcome::Cancelled);
    if (got == 0) break;
    if (got > limits.maxBytes - r.received) return end(TransferOutcome::TooLarge);
    if (!sink.Append(buffer.data(), got)) return end(TransferOutcome::WriteFailed);
    r.received += got;
    if (onPiece && !onPiece(r.received)) return end(TransferOutcome::TimedOut);
  }
  // A clean end before the announced length is a dropped connection, not a file.
  if (answer.length && r.received != *answer.length) return end(TransferOutcome::Truncated);
  return end(TransferOutcome::Completed);
}

}  // namespace velmora
