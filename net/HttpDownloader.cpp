#include "net/HttpDownloader.h"

#include <charconv>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <vector>

#include "net/PieceWriter.h"

namespace velmora {
namespace {

constexpr uint64_t kReserveLimit = uint64_t{512} << 20;

namespace wi = wininet;

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

constexpr const char* kConnecting = "正在连接Internet";
constexpr const char* kConnected = "Internet连接已建立";
constexpr const char* kRangeHonoured = "服务器支持网络续传";
constexpr const char* kRangeIgnored = "服务器不支持网络续传";
constexpr const char* kReading = "开始下载";
constexpr const char* kFinished = "下载完毕";
constexpr const char* kCancelled = "已取消下载";

// The three header lines, byte for byte, as the tool server has always seen them.
std::string RequestHeaders(uint64_t offset) {
  return "Accept:  */*\r\nrange:bytes=" + std::to_string(offset) + "-\r\nContent-Length: 0\r\n";
}

std::optional<uint64_t> ParseLength(const std::string& text) {
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

int QueryStatus(const WinInetApi& api, wi::HINTERNET request) {
  wi::DWORD status = 0;
  wi::DWORD size = sizeof status;
  if (!api.HttpQueryInfoA(request, wi::kQueryStatusCode | wi::kQueryFlagNumber, &status, &size,
                          nullptr)) {
    return 0;
  }
  return static_cast<int>(status);
}

// The answer's Content-Length as the text WinINet gives; empty when there is none
// (a chunked answer).
std::string QueryLengthText(const WinInetApi& api, wi::HINTERNET request) {
  char text[32] = {};
  wi::DWORD size = sizeof text;
  if (!api.HttpQueryInfoA(request, wi::kQueryContentLength, text, &size, nullptr)) return {};
  return std::string(text, size < sizeof text ? size : sizeof text - 1);
}

// Clears the busy mark however the download ends.
class RunningMark {
 public:
  explicit RunningMark(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningMark() { flag_ = false; }
  RunningMark(const RunningMark&) = delete;
  RunningMark& operator=(const RunningMark&) = delete;

 private:
  bool& flag_;
};

}  // namespace

std::string_view OutcomeName(DownloadOutcome outcome) {
  switch (outcome) {
    case DownloadOutcome::None: return "None";
    case DownloadOutcome::Completed: return "Completed";
    case DownloadOutcome::Cancelled: return "Cancelled";
    case DownloadOutcome::ConnectFailed: return "ConnectFailed";
    case DownloadOutcome::SendFailed: return "SendFailed";
    case DownloadOutcome::ErrorStatus: return "ErrorStatus";
    case DownloadOutcome::ReadFailed: return "ReadFailed";
    case DownloadOutcome::Truncated: return "Truncated";
    case DownloadOutcome::FileFailed: return "FileFailed";
  }
  return "Unknown";
}

std::string TempFilePath(const std::string& folder, uint32_t number) {
  bool endsWithSeparator = !folder.empty() && folder.back() == '\\';
  return folder + (endsWithSeparator ? "~~" : "\\~~") + std::to_string(number) + ".tmp";
}

HttpDownloader::HttpDownloader(const WinInetApi& api, FileSystem& fs, std::string host,
                               uint16_t port, std::string tempFolder, DownloadSettings settings)
    : api_(api),
      fs_(fs),
      host_(std::move(host)),
      port_(port),
      tempFolder_(std::move(tempFolder)),
      settings_(std::move(settings)) {
  if (!settings_.drawNumber) {
    settings_.drawNumber = [engine = std::mt19937(std::random_device{}())]() mutable {
      return static_cast<uint32_t>(engine());
    };
  }
  if (settings_.bufferSize == 0) settings_.bufferSize = 64 * 1024;
}

std::string HttpDownloader::Download(const std::string& object, bool resume, DownloadView& view) {
  // The page lets window messages run between pieces; a second press must not
  // start a download inside the running one, nor disturb its state.
  if (running_) return {};
  RunningMark mark(running_);
  report_ = {};

  uint64_t offset = PrepareTempFile(object, resume);
  // The content is kept in memory as it is written to the temporary file, so the
  // finished file need not be read back: held bytes once now, new bytes as they come.
  std::string content;
  if (offset > 0 && (!fs_.ReadFile(tempFile_, content) || content.size() != offset)) {
    fs_.RemoveFile(tempFile_);  // unreadable partial data is no base for a resume
    content.clear();
    offset = 0;
  }
  Step step = LoggedAttempt(object, offset, view, content);
  if (step == Step::AskAgainFromStart) {
    // The held bytes cannot be continued (the server refused the range, as it does
    // for a file that is already complete): drop them and ask once for the whole file.
    fs_.RemoveFile(tempFile_);
    totalSizeText_.clear();
    content.clear();
    step = LoggedAttempt(object, 0, view, content);
    if (step == Step::AskAgainFromStart) step = Fail(DownloadOutcome::ErrorStatus);
  }
  // A failure leaves the page as it was: the status keeps the last state text
  // written, so the user sees how far the download got.
  if (step != Step::Done) return {};

  view.SetStatus(kFinished);
  fs_.RemoveFile(tempFile_);
  tempFile_.clear();
  tempFileObject_.clear();
  report_.outcome = DownloadOutcome::Completed;
  return content;
}

uint64_t HttpDownloader::PrepareTempFile(const std::string& object, bool resume) {
  // Partial data continues only the object it came from; another object's bytes in
  // front of this one would make a corrupt archive.
  if (resume && !tempFile_.empty() && tempFileObject_ == object) {
    return fs_.FileSize(tempFile_).value_or(0);
  }
  if (!tempFile_.empty()) fs_.RemoveFile(tempFile_);
  tempFile_ = DrawTempFile();
  tempFileObject_ = object;
  totalSizeText_.clear();
  return 0;
}

std::string HttpDownloader::DrawTempFile() {
  const std::string& folder = !tempFolder_.empty() && fs_.Kind(tempFolder_) == PathKind::Folder
                                  ? tempFolder_
                                  : settings_.fallbackTempFolder;
  // A random number, drawn again while it names a file left by another run.
  std::string path = TempFilePath(folder, settings_.drawNumber());
  for (int i = 0; i < 16 && fs_.Kind(path) != PathKind::Missing; ++i) {
    path = TempFilePath(folder, settings_.drawNumber());
  }
  return path;
}

HttpDownloader::Step HttpDownloader::LoggedAttempt(const std::string& object, uint64_t offset,
                                                   DownloadView& view, std::string& content) {
  Step step = Attempt(object, offset, view, content);
  if (settings_.log) {
    const char* how = step == Step::Done ? "Completed"
                      : step == Step::AskAgainFromStart ? "RangeRefused"
                                                        : OutcomeName(report_.outcome).data();
    settings_.log("download " + object + " from " + std::to_string(report_.resumeOffset) +
                  ": status " + std::to_string(report_.status) + ", " +
                  std::to_string(report_.received) + " bytes, " + how + ", error " +
                  std::to_string(report_.error));
  }
  return step;
}

HttpDownloader::Step HttpDownloader::Fail(DownloadOutcome outcome, uint32_t error) {
  report_.outcome = outcome;
  report_.error = error;
  return Step::Failed;
}

HttpDownloader::Step HttpDownloader::Attempt(const std::string& object, uint64_t offset,
                                             DownloadView& view, std::string& content) {
  ++report_.attempts;
  report_.resumeOffset = offset;
  report_.status = 0;
  report_.received = 0;

  view.SetStatus(kConnecting);
  InternetHandle internet(api_, api_.InternetOpenA(kUserAgent, wi::kOpenTypePreconfig, nullptr,
                                                   nullptr, 0));
  if (!internet) return Fail(DownloadOutcome::ConnectFailed, api_.GetLastError());
  InternetHandle connection(api_, api_.InternetConnectA(internet.Get(), host_.c_str(), port_,
                                                        nullptr, nullptr, wi::kServiceHttp, 0, 0));
  if (!connection) return Fail(DownloadOutcome::ConnectFailed, api_.GetLastError());
  // Never from the system cache: a cached copy and a range of the live file do not
  // mix. The archive is not written to the cache either, it is ours to keep.
  // A redirect is a failed download: an archive comes from the tool server only.
  const wi::DWORD flags = wi::kFlagReload | wi::kFlagNoCacheWrite | wi::kFlagKeepConnection |
                          wi::kFlagNoUi | wi::kFlagNoAutoRedirect;
  InternetHandle request(api_, api_.HttpOpenRequestA(connection.Get(), "GET", object.c_str(),
                                                     "HTTP/1.1", nullptr, nullptr, flags, 0));
  if (!request) return Fail(DownloadOutcome::ConnectFailed, api_.GetLastError());

  // Bounded waits, so a dead or stalled server fails instead of freezing the page.
  // Set on the request handle itself, which every WinINet honours.
  wi::DWORD connectTimeout = settings_.connectTimeoutMs;
  wi::DWORD receiveTimeout = settings_.receiveTimeoutMs;
  api_.InternetSetOptionA(request.Get(), wi::kOptionConnectTimeout, &connectTimeout,
                          sizeof connectTimeout);
  api_.InternetSetOptionA(request.Get(), wi::kOptionSendTimeout, &receiveTimeout,
                          sizeof receiveTimeout);
  api_.InternetSetOptionA(request.Get(), wi::kOptionReceiveTimeout, &receiveTimeout,
                          sizeof receiveTimeout);

  const std::string headers = RequestHeaders(offset);
  if (!api_.HttpSendRequestA(request.Get(), headers.data(), static_cast<wi::DWORD>(headers.size()),
                             nullptr, 0)) {
    return Fail(DownloadOutcome::SendFailed, api_.GetLastError());
  }
  view.SetStatus(kConnected);

  const int status = QueryStatus(api_, request.Get());
  report_.status = status;
  const bool rangeHonoured = status == 206;
  view.SetStatus(rangeHonoured ? kRangeHonoured : kRangeIgnored);
  if (status == 416 && offset > 0) return Step::AskAgainFromStart;
  // An error page is never an archive; the held bytes stay for a later resume.
  if (status != 200 && status != 206) return Fail(DownloadOutcome::ErrorStatus);
  if (!rangeHonoured) {  // the answer is the whole file: the held bytes go
    offset = 0;
    content.clear();
  }

  const std::string lengthText = QueryLengthText(api_, request.Get());
  const std::optional<uint64_t> length = ParseLength(lengthText);
  if (offset == 0) totalSizeText_ = lengthText;
  uint64_t total = ParseLength(totalSizeText_).value_or(0);
  if (total == 0 && length) total = offset + *length;  // first attempt told no length

  view.SetStatus(kReading);
  report_.resumeOffset = offset;
  Step step = ReadBody(request.Get(), offset, rangeHonoured, total, content, view);
  if (step != Step::Done) return step;
  // A clean end before the announced length is a dropped connection, not a file.
  if (length && report_.received != *length) return Fail(DownloadOutcome::Truncated);
  return Step::Done;
}

HttpDownloader::Step HttpDownloader::ReadBody(wi::HINTERNET request, uint64_t offset, bool append,
                                              uint64_t total, std::string& content,
                                              DownloadView& view) {
  std::unique_ptr<OutputFile> file = fs_.OpenForWrite(tempFile_, append);
  if (!file) return Fail(DownloadOutcome::FileFailed);
  // One allocation for the whole file when its size is known and plausible for
  // a plug-in archive; larger ones grow as they come.
  if (total > offset && total <= kReserveLimit) content.reserve(static_cast<size_t>(total));

  PieceWriter writer(*file, content, settings_.bufferSize);
  RateMeter rate(settings_.clock);
  rate.Start(offset);
  int shownPercent = -1;
  std::string shownRate;
  auto showRate = [&](std::optional<double> bytesPerSecond) {
    if (!bytesPerSecond) return;
    std::string text = KilobyteFigure(*bytesPerSecond);
    if (text != shownRate) view.SetRate(text);
    shownRate = text;
  };

  // Every way out waits for the pieces already read to reach the file, so a
  // resume continues after the last byte received.
  auto stop = [&](DownloadOutcome outcome, uint32_t error = 0) {
    writer.Finish();
    file->Close();
    return Fail(outcome, error);
  };
  uint64_t& received = report_.received;
  for (;;) {
    char* buffer = writer.Acquire();
    if (!buffer) return stop(DownloadOutcome::FileFailed);
    wi::DWORD got = 0;
    if (!api_.InternetReadFile(request, buffer, settings_.bufferSize, &got)) {
      uint32_t error = api_.GetLastError();
      writer.Submit(buffer, 0);
      return stop(DownloadOutcome::ReadFailed, error);
    }
    writer.Submit(buffer, got);
    if (got == 0) break;
    received += got;
    // The percentage counts the bytes held from before, so a resume carries on
    // where the bar stopped.
    int percent = Percent(offset + received, total);
    if (percent != shownPercent) view.SetProgress(percent);
    shownPercent = percent;
    showRate(rate.Sample(offset + received));
    if (!view.KeepGoing()) {
      view.SetStatus(kCancelled);
      return stop(DownloadOutcome::Cancelled);
    }
  }
  if (!writer.Finish()) return stop(DownloadOutcome::FileFailed);
  if (!file->Close()) return Fail(DownloadOutcome::FileFailed);
  showRate(rate.Finish(offset + received));
  if (shownPercent != 100 && (total == 0 || offset + received >= total)) view.SetProgress(100);
  return Step::Done;
}

}  // namespace velmora
