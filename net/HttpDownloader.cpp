#include "net/HttpDownloader.h"

#include <algorithm>
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


// The three header lines, byte for byte, as the tool server has always seen them
// (docs/compatibility.md).
std::string RequestHeaders(uint64_t offset) {
  return "Accept:  */*\r\nrange:bytes=" + std::to_string(offset) + "-\r\nContent-Length: 0\r\n";
}

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
    case DownloadOutcome::TooLarge: return "TooLarge";
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

struct HttpDownloader::Transfer {
  const std::string& object;
  DownloadView& view;
  TransferHandles& handles;
  std::string content;
};

std::string HttpDownloader::Download(const std::string& object, bool resume, DownloadView& view,
                                     TransferHandles& handles) {
  report_ = {};
  Transfer t{object, view, handles, {}};
  uint64_t offset = PrepareTempFile(object, resume);
  // The content is kept in memory as it is written to the temporary file, so the
  // finished file need not be read back: held bytes once now, new bytes as they come.
  if (offset > 0 && (offset > settings_.maxBytes || !fs_.ReadFile(tempFile_, t.content) ||
                     t.content.size() != offset)) {
    fs_.RemoveFile(tempFile_);  // unreadable partial data is no base for a resume
    t.content.clear();
    offset = 0;
  }
  Step step = LoggedAttempt(t, offset);
  if (step == Step::AskAgainFromStart) {
    // The held bytes cannot be continued (the server refused the range, as it does
    // for a file that is already complete): drop them and ask once for the whole file.
    fs_.RemoveFile(tempFile_);
    totalSizeText_.clear();
    t.content.clear();
    step = LoggedAttempt(t, 0);
    if (step == Step::AskAgainFromStart) step = Fail(DownloadOutcome::ErrorStatus);
  }
  // A file past the limit is no plug-in archive: nothing of it stays to resume.
  if (report_.outcome == DownloadOutcome::TooLarge) {
    DropTempFile();
    totalSizeText_.clear();
  }
  // A failure leaves the page as it was: the status keeps the last state text
  // written, so the user sees how far the download got.
  if (step != Step::Done) return {};

  view.SetState(DownloadState::Finished);
  DropTempFile();
  report_.outcome = DownloadOutcome::Completed;
  return std::move(t.content);
}

void HttpDownloader::DropTempFile() {
  if (!tempFile_.empty()) fs_.RemoveFile(tempFile_);
  tempFile_.clear();
  tempFileObject_.clear();
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

HttpDownloader::Step HttpDownloader::LoggedAttempt(Transfer& t, uint64_t offset) {
  Step step = Attempt(t, offset);
  if (settings_.log) {
    const char* how = step == Step::Done ? "Completed"
                      : step == Step::AskAgainFromStart ? "RangeRefused"
                                                        : OutcomeName(report_.outcome).data();
    settings_.log("download " + t.object + " from " + std::to_string(report_.resumeOffset) +
                  ": status " + std::to_string(report_.status) + ", " +
                  std::to_string(report_.received) + " bytes, " + how + ", error " +
                  std::to_string(report_.error));
  }
  t.handles.CloseAll();
  return step;
}

HttpDownloader::Step HttpDownloader::Fail(DownloadOutcome outcome, uint32_t error) {
  report_.outcome = outcome;
  report_.error = error;
  return Step::Failed;
}

HttpDownloader::Step HttpDownloader::Attempt(Transfer& t, uint64_t offset) {
  ++report_.attempts;
  report_.resumeOffset = offset;
  report_.status = 0;
  report_.received = 0;
  DownloadView& view = t.view;

  view.SetState(DownloadState::Connecting);
  RequestOptions options;
  options.host = host_;
  options.port = port_;
  options.object = t.object;
  options.headers = RequestHeaders(offset);
  // A redirect is a failed download: an archive comes from the tool server only.
  options.flags = wi::kFlagKeepConnection | wi::kFlagNoAutoRedirect;
  options.connectTimeoutMs = settings_.connectTimeoutMs;
  options.receiveTimeoutMs = settings_.receiveTimeoutMs;
  const Answer answer = SendRequest(api_, t.handles, options);
  if (t.handles.Cancelled()) {
    view.SetState(DownloadState::Cancelled);
    return Fail(DownloadOutcome::Cancelled);
  }
  if (answer.failure == RequestFailure::ConnectFailed) {
    return Fail(DownloadOutcome::ConnectFailed, answer.error);
  }
  if (answer.failure == RequestFailure::SendFailed) return Fail(DownloadOutcome::SendFailed, answer.error);
  view.SetState(DownloadState::Connected);

  const int status = answer.status;
  report_.status = status;
  const bool rangeHonoured = status == 206;
  view.SetState(rangeHonoured ? DownloadState::RangeHonoured : DownloadState::RangeIgnored);
  if (status == 416 && offset > 0) return Step::AskAgainFromStart;
  // An error page is never an archive; the held bytes stay for a later resume.
  if (status != 200 && status != 206) return Fail(DownloadOutcome::ErrorStatus);
  if (!rangeHonoured) {  // the answer is the whole file: the held bytes go
    offset = 0;
    t.content.clear();
  }

  if (offset == 0) totalSizeText_ = answer.lengthText;
  uint64_t total = ParseLength(totalSizeText_).value_or(0);
  if (total == 0 && answer.length) total = offset + *answer.length;  // first attempt told no length
  if (answer.length && *answer.length > settings_.maxBytes - std::min(offset, settings_.maxBytes)) {
    return Fail(DownloadOutcome::TooLarge);
  }

  view.SetState(DownloadState::Reading);
  report_.resumeOffset = offset;
  Step step = ReadBody(t, answer.request, offset, rangeHonoured, total, answer.length);
  if (step != Step::Done) return step;
  // A clean end before the announced length is a dropped connection, not a file.
  if (answer.length && report_.received != *answer.length) return Fail(DownloadOutcome::Truncated);
  return Step::Done;
}

HttpDownloader::Step HttpDownloader::ReadBody(Transfer& t, wi::HINTERNET request, uint64_t offset,
                                              bool append, uint64_t total,
                                              std::optional<uint64_t> length) {
  DownloadView& view = t.view;
  std::string& content = t.content;
  std::unique_ptr<OutputFile> file = fs_.OpenForWrite(tempFile_, append);
  if (!file) return Fail(DownloadOutcome::FileFailed);
  // One allocation for the whole file when its size is known (and within the limit).
  if (total > offset && total <= settings_.maxBytes) content.reserve(static_cast<size_t>(total));

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
    // The read stops at the announced length: what a server sends past it is
    // not part of the file.
    uint64_t want = settings_.bufferSize;
    if (length) want = std::min<uint64_t>(want, *length - received);
    if (want == 0) break;
    char* buffer = writer.Acquire();
    if (!buffer) return stop(DownloadOutcome::FileFailed);
    wi::DWORD got = 0;
    if (!api_.InternetReadFile(request, buffer, static_cast<wi::DWORD>(want), &got)) {
      uint32_t error = api_.GetLastError();
      writer.Submit(buffer, 0);
      if (!t.handles.Cancelled()) return stop(DownloadOutcome::ReadFailed, error);
      break;
    }
    writer.Submit(buffer, got);
    if (got == 0) break;
    received += got;
    if (offset + received > settings_.maxBytes) return stop(DownloadOutcome::TooLarge);
    // The percentage counts the bytes held from before, so a resume carries on
    // where the bar stopped.
    int percent = Percent(offset + received, total);
    if (percent != shownPercent) view.SetProgress(percent);
    shownPercent = percent;
    showRate(rate.Sample(offset + received));
    if (t.handles.Cancelled()) break;
  }
  // Cancelled between pieces, or a blocked read that the cancel ended, as a
  // failure or as a clean end of the body.
  if (t.handles.Cancelled()) {
    view.SetState(DownloadState::Cancelled);
    return stop(DownloadOutcome::Cancelled);
  }
  if (!writer.Finish()) return stop(DownloadOutcome::FileFailed);
  if (!file->Close()) return Fail(DownloadOutcome::FileFailed);
  showRate(rate.Finish(offset + received));
  if (shownPercent != 100 && (total == 0 || offset + received >= total)) view.SetProgress(100);
  return Step::Done;
}

}  // namespace velmora
