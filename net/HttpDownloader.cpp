#include "net/HttpDownloader.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string_view>

namespace velmora {
namespace {

// The three header lines, byte for byte, as the tool server has always seen them
// (docs/compatibility.md).
std::string RequestHeaders(uint64_t offset) {
  return "Accept:  */*\r\nrange:bytes=" + std::to_string(offset) + "-\r\nContent-Length: 0\r\n";
}

// "bytes 1048576-3145727/3145728": the first byte and the total ("*": unknown).
struct ContentRange {
  uint64_t first = 0;
  std::optional<uint64_t> total;
};
std::optional<ContentRange> ParseContentRange(std::string_view text) {
  constexpr std::string_view kUnit = "bytes ";
  if (text.substr(0, kUnit.size()) != kUnit) return std::nullopt;
  text.remove_prefix(kUnit.size());
  const size_t dash = text.find('-'), slash = text.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) return std::nullopt;
  std::optional<uint64_t> first = ParseLength(text.substr(0, dash));
  if (!first || !ParseLength(text.substr(dash + 1, slash - dash - 1))) return std::nullopt;
  ContentRange r{*first, std::nullopt};
  const std::string_view total = text.substr(slash + 1);
  if (total != "*") {
    r.total = ParseLength(total);
    if (!r.total) return std::nullopt;
  }
  return r;
}

}  // namespace

std::string TempFilePath(const std::string& folder, uint32_t number) {
  bool endsWithSeparator = !folder.empty() && folder.back() == '\\';
  return folder + (endsWithSeparator ? "~~" : "\\~~") + std::to_string(number) + ".tmp";
}

HttpDownloader::HttpDownloader(const WinInetApi& api, FileSystem& fs, RequestOptions server,
                               std::string tempFolder, DownloadSettings settings)
    : api_(api),
      fs_(fs),
      server_(std::move(server)),
      tempFolder_(std::move(tempFolder)),
      settings_(std::move(settings)) {
  if (!settings_.drawNumber) {
    settings_.drawNumber = [engine = std::mt19937(std::random_device{}())]() mutable {
      return static_cast<uint32_t>(engine());
    };
  }
  if (settings_.bufferSize == 0) settings_.bufferSize = 64 * 1024;
  // A redirect is a failed download: an archive comes from the tool server only.
  server_.followRedirects = false;
  server_.keepConnection = true;
}

TransferOutcome HttpDownloader::Download(const std::string& object, bool resume,
                                         const std::string& destination, DownloadView& view,
                                         TransferHandles& handles) {
  report_ = {};
  const Transfer t{object, view, handles};
  Step step = LoggedAttempt(t, PrepareTempFile(object, resume));
  if (step == Step::AskAgainFromStart) {
    // The held bytes cannot be continued (the server refused the range, as it does
    // for a file that is already complete, or the file changed on the server):
    // drop them and ask once for the whole file, in the same press.
    // Failing to remove it is harmless: the new attempt opens it anew, empty.
    (void)fs_.RemoveFile(tempFile_);
    totalSizeText_.clear();
    step = LoggedAttempt(t, 0);
    if (step == Step::AskAgainFromStart) step = Fail(TransferOutcome::ErrorStatus);
  }
  // A file past the limit is no plug-in archive: nothing of it stays to resume.
  if (report_.outcome == TransferOutcome::TooLarge) {
    DropTempFile();
    totalSizeText_.clear();
  }
  // A failure leaves the page as it was: the status keeps the last state text
  // written, so the user sees how far the download got.
  if (step != Step::Done) return report_.outcome;

  view.SetState(DownloadState::Finished);
  // The whole file becomes the stored archive: a rename on one volume, a copy
  // from another (MoveReplace).
  if (!fs_.MoveReplace(tempFile_, destination)) {
    if (settings_.log) settings_.log("download " + object + ": not stored as " + destination);
    DropTempFile();
    report_.outcome = TransferOutcome::StoreFailed;
    return report_.outcome;
  }
  tempFile_.clear();
  tempFileObject_.clear();
  report_.outcome = TransferOutcome::Completed;
  return report_.outcome;
}

void HttpDownloader::DropTempFile() {
  // A file that will not go now is one the next run's fresh draw passes by.
  if (!tempFile_.empty() && fs_.Kind(tempFile_) != PathKind::Missing && !fs_.RemoveFile(tempFile_) &&
      settings_.log) {
    settings_.log("download: " + tempFile_ + " could not be removed");
  }
  tempFile_.clear();
  tempFileObject_.clear();
}

uint64_t HttpDownloader::PrepareTempFile(const std::string& object, bool resume) {
  // Partial data continues only the object it came from; another object's bytes in
  // front of this one would make a corrupt archive.
  if (resume && !tempFile_.empty() && tempFileObject_ == object) {
    const uint64_t held = fs_.FileSize(tempFile_).value_or(0);
    if (held <= settings_.maxBytes) return held;
  }
  DropTempFile();
  tempFile_ = DrawTempFile();
  tempFileObject_ = object;
  totalSizeText_.clear();
  heldEtag_.clear();
  heldLastModified_.clear();
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

HttpDownloader::Step HttpDownloader::LoggedAttempt(const Transfer& t, uint64_t offset) {
  Step step = Attempt(t, offset);
  if (settings_.log) {
    const std::string_view how = step == Step::Done ? std::string_view("Completed")
                                 : step == Step::AskAgainFromStart
                                     ? std::string_view(report_.status == 206 ? "FileChanged" : "RangeRefused")
                                     : OutcomeName(report_.outcome);
    settings_.log("download " + t.object + " from " + std::to_string(report_.resumeOffset) +
                  ": status " + std::to_string(report_.status) + ", " +
                  std::to_string(report_.received) + " bytes, " + std::string(how) + ", error " +
                  std::to_string(report_.error));
  }
  t.handles.CloseAll();
  return step;
}

HttpDownloader::Step HttpDownloader::Fail(TransferOutcome outcome, uint32_t error) {
  report_.outcome = outcome;
  report_.error = error;
  return Step::Failed;
}

bool HttpDownloader::ContinuesHeldFile(const Answer& answer, uint64_t offset) const {
  // Told only by what the server sends: a validator it leaves out proves nothing.
  if (!answer.contentRange.empty()) {
    const std::optional<ContentRange> range = ParseContentRange(answer.contentRange);
    if (!range || range->first != offset) return false;
    const std::optional<uint64_t> heldTotal = ParseLength(totalSizeText_);
    if (heldTotal && range->total && *range->total != *heldTotal) return false;
  }
  if (!heldEtag_.empty() && !answer.etag.empty() && answer.etag != heldEtag_) return false;
  return heldLastModified_.empty() || answer.lastModified.empty() || answer.lastModified == heldLastModified_;
}

HttpDownloader::Step HttpDownloader::Attempt(const Transfer& t, uint64_t offset) {
  ++report_.attempts;
  report_.resumeOffset = offset;
  report_.status = 0;
  report_.received = 0;
  DownloadView& view = t.view;

  view.SetState(DownloadState::Connecting);
  RequestOptions options = server_;
  options.object = t.object;
  options.headers = RequestHeaders(offset);
  const Answer answer = SendRequest(api_, t.handles, options);
  if (t.handles.Cancelled()) {
    view.SetState(DownloadState::Cancelled);
    return Fail(TransferOutcome::Cancelled);
  }
  if (answer.failure != RequestFailure::None) return Fail(OutcomeOf(answer.failure), answer.error);
  view.SetState(DownloadState::Connected);

  const int status = answer.status;
  report_.status = status;
  const bool rangeHonoured = status == 206;
  view.SetState(rangeHonoured ? DownloadState::RangeHonoured : DownloadState::RangeIgnored);
  if (status == 416 && offset > 0) return Step::AskAgainFromStart;
  if (rangeHonoured && offset > 0 && !ContinuesHeldFile(answer, offset)) return Step::AskAgainFromStart;
  // An error page is never an archive; the held bytes stay for a later resume.
  if (status != 200 && status != 206) return Fail(TransferOutcome::ErrorStatus);
  if (!rangeHonoured) offset = 0;  // the answer is the whole file: the held bytes go

  if (offset == 0) {
    totalSizeText_ = answer.lengthText;
    heldEtag_ = answer.etag;
    heldLastModified_ = answer.lastModified;
  }
  uint64_t total = ParseLength(totalSizeText_).value_or(0);
  if (total == 0 && answer.length) total = offset + *answer.length;  // first attempt told no length

  view.SetState(DownloadState::Reading);
  report_.resumeOffset = offset;
  std::unique_ptr<OutputFile> file = fs_.OpenForWrite(tempFile_, rangeHonoured);
  if (!file) return Fail(TransferOutcome::WriteFailed);
  FileSink sink(*file);
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
  const BodyLimits limits{settings_.maxBytes - std::min(offset, settings_.maxBytes), settings_.bufferSize};
  const BodyRead read = ReadBody(api_, t.handles, answer, limits, sink, [&](uint64_t received) {
    // The percentage counts the bytes held from before, so a resume carries on
    // where the bar stopped.
    const int percent = Percent(offset + received, total);
    if (percent != shownPercent) view.SetProgress(percent);
    shownPercent = percent;
    showRate(rate.Sample(offset + received));
    return true;
  });
  report_.received = read.received;
  // Closed on every way out, so a resume continues after the last byte received.
  const bool closed = file->Close();
  if (read.outcome == TransferOutcome::Cancelled) view.SetState(DownloadState::Cancelled);
  if (read.outcome != TransferOutcome::Completed) return Fail(read.outcome, read.error);
  if (!closed) return Fail(TransferOutcome::WriteFailed);
  showRate(rate.Finish(offset + read.received));
  if (shownPercent != 100 && (total == 0 || offset + read.received >= total)) view.SetProgress(100);
  return Step::Done;
}

}  // namespace velmora
