#include "update/UpdateFlow.h"

#include "update/Announcement.h"
#include "update/Sha256.h"
#include "update/UpdateRules.h"
#include "update/VersionCheck.h"

namespace velmora {

std::string CurrentVersionText(std::string_view running) {
  return "当前版本：" + std::string(running);
}

UpdateFlow::UpdateFlow(BackgroundDownload& task, FileSystem& fs, UpdateSettings settings,
                       UpdateView& view, EventLog& log, MillisecondClock clock)
    : task_(task),
      fs_(fs),
      settings_(std::move(settings)),
      view_(view),
      log_(log),
      clock_(std::move(clock)),
      rate_(clock_) {}

UpdateFlow::~UpdateFlow() { Stop(); }

void UpdateFlow::Stop() {
  if (stage_ == Stage::ReadingPage || stage_ == Stage::Downloading) {
    task_.Stop();
    stage_ = Stage::Failed;
    log_.Write("update: stopped by closing the window");
  }
}

void UpdateFlow::Begin() {
  view_.ShowState(kStateReadingPage);
  if (!task_.Start(AnnouncementRequest(settings_.siteHost, settings_.sitePort))) {
    return Fail(kPageFailedText, "the task is busy");
  }
  stage_ = Stage::ReadingPage;
}

bool UpdateFlow::Tick() {
  if (stage_ == Stage::ReadingPage) {
    if (task_.State() == TaskState::Running) return true;
    PageArrived();
  } else if (stage_ == Stage::Downloading) {
    if (task_.State() == TaskState::Running) {
      const uint64_t received = task_.Received();
      if (auto r = rate_.Sample(received)) {
        rateBytesPerSecond_ = static_cast<uint64_t>(*r);
        rateMeasured_ = true;
      } else if (int64_t ms = clock_() - downloadStartMs_; !rateMeasured_ && ms > 0) {
        // Until the first interval closes, the rate since the start.
        rateBytesPerSecond_ = received * 1000 / static_cast<uint64_t>(ms);
      }
      ShowProgress();
      return true;
    }
    DownloadEnded();
  }
  return stage_ == Stage::ReadingPage || stage_ == Stage::Downloading;
}

void UpdateFlow::PageArrived() {
  std::optional<std::string> body = task_.TakeResult();
  std::optional<Announcement> page = body ? ReadAnnouncement(*body) : std::nullopt;
  if (!page) {
    return Fail(kPageFailedText, body ? "no announcement page"
                                      : std::string("page ") + FetchOutcomeName(task_.LastOutcome()));
  }
  if (page->notes) view_.ShowNotes(HtmlToText(*page->notes));

  std::optional<DownloadTarget> target;
  if (page->downloadAddress) {
    target = DownloadTargetOnSite(*page->downloadAddress, settings_.siteHost, settings_.sitePort);
  }
  if (!target) {
    return Fail(kAddressRefusedText, "address refused: " + page->downloadAddress.value_or("(none)"));
  }
  if (page->sha256) {
    // A check that is there but cannot be read is no reason to skip it.
    expected_ = ParseSha256Field(*page->sha256);
    if (!expected_) return Fail(kVerifyFailedText, "unreadable SHA256 field");
  }
  std::optional<Version> published = PublishedVersion(*page);
  std::optional<std::string> name = NewVersionFileName(
      page->fileName, settings_.runningExeName, published ? published->text() : std::string());
  if (!name) return Fail(kStoreFailedText, "no name for the new version");
  fileName_ = *name;

  FetchRequest request;
  request.host = target->host;
  request.port = target->port;
  request.object = target->object;
  request.maxBytes = settings_.maxExeBytes;
  request.requireLength = true;  // the only way to tell a whole program from a cut one
  request.receiveTimeoutMs = settings_.receiveTimeoutMs;
  log_.Write("update: downloading http://" + request.host + ":" + std::to_string(request.port) +
             request.object + " as " + fileName_);
  if (!task_.Start(std::move(request))) return Fail(kDownloadFailedText, "the task is busy");
  stage_ = Stage::Downloading;
  rate_.Start(0);
  downloadStartMs_ = clock_();
  rateMeasured_ = false;
  rateBytesPerSecond_ = 0;
  view_.ShowState(kStateDownloading);
  ShowProgress();
}

void UpdateFlow::DownloadEnded() {
  std::optional<std::string> content = task_.TakeResult();
  ShowProgress();  // what arrived, whether or not it is whole
  if (!content) {
    return Fail(kDownloadFailedText, std::string("download ") + FetchOutcomeName(task_.LastOutcome()) +
                                         " after " + std::to_string(task_.Received()) + " bytes");
  }
  if (expected_ && std::string_view(reinterpret_cast<const char*>(Sha256(*content).data()), 32) !=
                       *expected_) {
    return Fail(kVerifyFailedText, "SHA-256 differs");
  }
  // Written beside its final name and moved there once whole.
  const std::string path = settings_.programDir + fileName_;
  if (!fs_.WriteFileAtomic(path, *content)) return Fail(kStoreFailedText, "cannot write " + path);
  storedPath_ = path;
  log_.Write("update: stored " + std::to_string(content->size()) + " bytes as " + path);
  stage_ = Stage::Done;
  view_.ShowState(kStateDone);
  view_.Tell(kDownloadedText);
  if (view_.Ask(kStartNewText)) {
    started_ = view_.StartProgram(path);
    if (!started_) view_.Tell(kStartFailedText);
  }
}

void UpdateFlow::Fail(std::string_view text, std::string_view why) {
  stage_ = Stage::Failed;
  log_.Write("update: failed, " + std::string(why));
  view_.ShowState(kStateFailed);
  view_.Tell(text);
}

void UpdateFlow::ShowProgress() {
  const int percent = Percent(task_.Received(), task_.Total());
  view_.ShowProgress(UpdateKilobyteText(rateBytesPerSecond_), UpdatePercentText(percent), percent);
}

}  // namespace velmora
