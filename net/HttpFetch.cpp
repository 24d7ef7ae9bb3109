#include "net/HttpFetch.h"

#include <charconv>
#include <new>
#include <optional>

namespace velmora {
namespace {

namespace wi = wininet;

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr size_t kBufferSize = 64 * 1024;

std::optional<uint64_t> ContentLength(const WinInetApi& api, wi::HINTERNET request) {
  char text[32] = {};
  wi::DWORD size = sizeof text - 1;
  if (!api.HttpQueryInfoA(request, wi::kQueryContentLength, text, &size, nullptr)) return std::nullopt;
  uint64_t value = 0;
  const char* end = text + (size < sizeof text ? size : sizeof text - 1);
  auto [at, ec] = std::from_chars(text, end, value);
  if (ec != std::errc() || at != end || at == text) return std::nullopt;
  return value;
}

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

wi::HINTERNET TransferHandles::Hold(wi::HINTERNET h) {
  if (h == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) {
    api_.InternetCloseHandle(h);
    return nullptr;
  }
  open_.push_back(h);
  return h;
}

void TransferHandles::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  while (!open_.empty()) {
    api_.InternetCloseHandle(open_.back());
    open_.pop_back();
  }
}

bool TransferHandles::Cancelled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

void TransferHandles::CloseAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  while (!open_.empty()) {
    api_.InternetCloseHandle(open_.back());
    open_.pop_back();
  }
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

  wi::HINTERNET internet =
      handles.Hold(api.InternetOpenA(kUserAgent, wi::kOpenTypePreconfig, nullptr, nullptr, 0));
  if (!internet) return fail(FetchOutcome::ConnectFailed, api.GetLastError());
  wi::HINTERNET connection = handles.Hold(api.InternetConnectA(
      internet, request.host.c_str(), request.port, nullptr, nullptr, wi::kServiceHttp, 0, 0));
  if (!connection) return fail(FetchOutcome::ConnectFailed, api.GetLastError());
  // Always from the server: a cached page could hide a newer version, and a new
  // program is not the cache's to keep.
  wi::DWORD flags = wi::kFlagReload | wi::kFlagNoCacheWrite | wi::kFlagNoUi;
  if (request.secure) flags |= wi::kFlagSecure;
  if (!request.followRedirects) flags |= wi::kFlagNoAutoRedirect;
  wi::HINTERNET req = handles.Hold(api.HttpOpenRequestA(connection, "GET", request.object.c_str(),
                                                        "HTTP/1.1", nullptr, nullptr, flags, 0));
  if (!req) return fail(FetchOutcome::ConnectFailed, api.GetLastError());
  wi::DWORD connectTimeout = request.connectTimeoutMs;
  wi::DWORD receiveTimeout = request.receiveTimeoutMs;
  api.InternetSetOptionA(req, wi::kOptionConnectTimeout, &connectTimeout, sizeof connectTimeout);
  api.InternetSetOptionA(req, wi::kOptionSendTimeout, &receiveTimeout, sizeof receiveTimeout);
  api.InternetSetOptionA(req, wi::kOptionReceiveTimeout, &receiveTimeout, sizeof receiveTimeout);

  if (!api.HttpSendRequestA(req, nullptr, 0, nullptr, 0)) {
    return fail(FetchOutcome::SendFailed, api.GetLastError());
  }
  wi::DWORD status = 0;
  wi::DWORD size = sizeof status;
  if (api.HttpQueryInfoA(req, wi::kQueryStatusCode | wi::kQueryFlagNumber, &status, &size, nullptr)) {
    r.status = static_cast<int>(status);
  }
  if (r.status != 200) return fail(FetchOutcome::ErrorStatus);
  const std::optional<uint64_t> length = ContentLength(api, req);
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
