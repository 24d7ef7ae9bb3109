#include "net/HttpRequest.h"

#include <charconv>

namespace velmora {
namespace {

namespace wi = wininet;

// As the maker's servers have always been asked.
constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

int QueryStatus(const WinInetApi& api, wi::HINTERNET request) {
  wi::DWORD status = 0;
  wi::DWORD size = sizeof status;
  if (!api.HttpQueryInfoA(request, wi::kQueryStatusCode | wi::kQueryFlagNumber, &status, &size,
                          nullptr)) {
    return 0;
  }
  return static_cast<int>(status);
}

std::string QueryLengthText(const WinInetApi& api, wi::HINTERNET request) {
  char text[32] = {};
  wi::DWORD size = sizeof text - 1;
  if (!api.HttpQueryInfoA(request, wi::kQueryContentLength, text, &size, nullptr)) return {};
  return std::string(text, size < sizeof text ? size : sizeof text - 1);
}

// A header by name; empty when the answer has none (or it is over 255 bytes,
// which no header of these is).
std::string QueryHeader(const WinInetApi& api, wi::HINTERNET request, std::string_view name) {
  char text[256] = {};
  name.copy(text, sizeof text - 1);
  wi::DWORD size = sizeof text - 1;
  if (!api.HttpQueryInfoA(request, wi::kQueryCustom, text, &size, nullptr)) return {};
  return std::string(text, size < sizeof text ? size : sizeof text - 1);
}

}  // namespace

wi::HINTERNET TransferHandles::Hold(wi::HINTERNET h) {
  if (h == nullptr) return nullptr;
  InternetHandle held(api_, h);
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return nullptr;  // closed as `held` goes
  open_.push_back(std::move(held));
  return h;
}

void TransferHandles::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  while (!open_.empty()) open_.pop_back();
}

bool TransferHandles::Cancelled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

void TransferHandles::CloseAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  while (!open_.empty()) open_.pop_back();  // newest first: a request before its connection
}

std::optional<uint64_t> ParseLength(std::string_view text) {
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

Answer SendRequest(const WinInetApi& api, TransferHandles& handles, const RequestOptions& options) {
  Answer a;
  auto fail = [&](RequestFailure failure) {
    a.failure = failure;
    a.error = api.GetLastError();
    return a;
  };
  wi::HINTERNET internet =
      handles.Hold(api.InternetOpenA(kUserAgent, wi::kOpenTypePreconfig, nullptr, nullptr, 0));
  if (!internet) return fail(RequestFailure::ConnectFailed);
  wi::HINTERNET connection = handles.Hold(api.InternetConnectA(
      internet, options.host.c_str(), options.port, nullptr, nullptr, wi::kServiceHttp, 0, 0));
  if (!connection) return fail(RequestFailure::ConnectFailed);
  // Never from the system cache, nor into it: a cached copy and a range of the
  // live file do not mix, a cached page could hide a newer version, and what we
  // fetch is ours to keep.
  wi::DWORD flags = wi::kFlagReload | wi::kFlagNoCacheWrite | wi::kFlagNoUi;
  if (options.secure) flags |= wi::kFlagSecure;
  if (!options.followRedirects) flags |= wi::kFlagNoAutoRedirect;
  if (options.keepConnection) flags |= wi::kFlagKeepConnection;
  a.request = handles.Hold(api.HttpOpenRequestA(connection, "GET", options.object.c_str(), "HTTP/1.1",
                                                nullptr, nullptr, flags, 0));
  if (!a.request) return fail(RequestFailure::ConnectFailed);
  // Set on the request handle itself, which every WinINet honours. Every wait
  // of the program rests on them: a request without them is not sent.
  wi::DWORD connectTimeout = options.connectTimeoutMs;
  wi::DWORD receiveTimeout = options.receiveTimeoutMs;
  if (!api.InternetSetOptionA(a.request, wi::kOptionConnectTimeout, &connectTimeout, sizeof connectTimeout) ||
      !api.InternetSetOptionA(a.request, wi::kOptionSendTimeout, &receiveTimeout, sizeof receiveTimeout) ||
      !api.InternetSetOptionA(a.request, wi::kOptionReceiveTimeout, &receiveTimeout, sizeof receiveTimeout)) {
    return fail(RequestFailure::WaitsUnbounded);
  }
  const char* headers = options.headers.empty() ? nullptr : options.headers.data();
  if (!api.HttpSendRequestA(a.request, headers, static_cast<wi::DWORD>(options.headers.size()), nullptr,
                            0)) {
    fail(RequestFailure::SendFailed);
    for (wi::DWORD e : wi::kCertificateErrors) {
      if (a.error == e) a.failure = RequestFailure::CertificateRefused;
    }
    return a;
  }
  a.status = QueryStatus(api, a.request);
  a.lengthText = QueryLengthText(api, a.request);
  a.length = ParseLength(a.lengthText);
  a.contentRange = QueryHeader(api, a.request, "Content-Range");
  a.etag = QueryHeader(api, a.request, "ETag");
  a.lastModified = QueryHeader(api, a.request, "Last-Modified");
  return a;
}

}  // namespace velmora
