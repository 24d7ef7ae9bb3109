#include "update/UpdateFlow.h"

#include "update/Announcement.h"
#include "update/UpdateRules.h"
#include "update/VersionCheck.h"

namespace velmora {

std::string UpdateKilobyteText(uint64_t bytes) {
  return std::string(text::kRatePrefix) + KilobyteFigure(static_cast<double>(bytes)) + std::string(text::kRateUnit);
}

std::string UpdatePercentText(int percent) {
  return std::string(text::kSharePrefix) + std::to_string(percent) + std::string(text::kShareSuffix);
}

std::string CurrentVersionText(std::string_view running) {
  return std::string(text::kVersionPrefix) + std::string(running);
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

bool UpdateFlow::Working() const {
  return stage_ == Stage::ReadingPage || stage_ == Stage::Downloading ||
         stage_ == Stage::FetchingSignature;
}

void UpdateFlow::Stop() {
  if (Working()) {
    task_.Stop();
    stage_ = Stage::Failed;
    log_.Write("update: stopped by closing the window");
  }
}

void UpdateFlow::Begin() {
  view_.ShowState(text::kUpdateReadingPage);
  if (!Start(AnnouncementRequest(settings_.siteHost, settings_.sitePort))) {
    return Fail(text::kUpdatePageFailed, "the task is busy or cannot start");
  }
  stage_ = Stage::ReadingPage;
}

bool UpdateFlow::Tick() {
  if (stage_ == Stage::Downloading && task_.State() == TaskState::Running) {
    const uint64_t received = task_.Received();
    if (auto r = rate_.Sample(received)) {
      rateBytesPerSecond_ = static_cast<uint64_t>(*r);
      rateMeasured_ = true;
    } else if (int64_t ms = clock_() - downloadStartMs_; !rateMeasured_ && ms > 0) {
      // Until the first interval closes, the rate since the start.
      rateBytesPerSecond_ = received * 1000 / static_cast<uint64_t>(ms);
    }
    ShowProgress();
  }
  return Working();
}

bool UpdateFlow::Start(FetchRequest request) {
  // Told on the interface thread when the task has ended by itself; never after
  // Stop, and never once this flow has gone.
  return task_.Start(std::move(request), [this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.lock()) TaskEnded();
  });
}

void UpdateFlow::TaskEnded() {
  switch (stage_) {
    case Stage::ReadingPage: return PageArrived();
    case Stage::Downloading: return DownloadEnded();
    case Stage::FetchingSignature: return SignatureArrived();
    case Stage::Idle:
    case Stage::Done:
    case Stage::Failed: return;
  }
}

void UpdateFlow::PageArrived() {
  std::optional<std::string> body = task_.TakeResult();
  std::optional<Announcement> page = body ? ReadAnnouncement(*body) : std::nullopt;
  if (!page) {
    if (!body && task_.LastOutcome() == TransferOutcome::CertificateRefused) {
      return Fail(text::kUpdateCertificateRefused, "page " + task_.LastFailure());
    }
    return Fail(text::kUpdatePageFailed, body ? "no announcement page" : "page " + task_.LastFailure());
  }
  if (page->notes) view_.ShowNotes(HtmlToText(*page->notes));

  std::optional<DownloadTarget> target, signature;
  if (page->downloadAddress) {
    target = ParseDownloadAddress(*page->downloadAddress);
    // The signature lies beside the exe, at its address + ".minisig".
    signature = ParseDownloadAddress(*page->downloadAddress + ".minisig");
  }
  if (!target || !signature) {
    return Fail(text::kUpdateAddressRefused, "address refused: " + page->downloadAddress.value_or("(none)"));
  }
  // What the signature must vouch for is settled before anything is fetched.
  std::optional<Version> published = PublishedVersion(*page);
  std::optional<Version> running = Version::Parse(settings_.runningVersion);
  if (!published || !running || !(*running < *published)) {
    return Fail(text::kUpdateVerifyFailed, "the page publishes no newer version");
  }
  std::optional<ReleaseKey> key = ParseReleaseKey(settings_.publicKey);
  if (!key) return Fail(text::kUpdateVerifyFailed, "this build carries no update signing key");
  key_ = *key;
  comment_ = ReleaseComment(published->text(), page->fileName.value_or(""));
  std::optional<std::string> name =
      NewVersionFileName(page->fileName, settings_.runningExeName, published->text());
  if (!name) return Fail(text::kUpdateStoreFailed, "no name for the new version");
  fileName_ = *name;

  // Redirects are followed for these two only: the signature checks the bytes.
  auto requestOf = [this](const DownloadTarget& t, uint64_t maxBytes) {
    FetchRequest r;
    r.request.secure = t.secure;
    r.request.host = t.host;
    r.request.port = t.port;
    r.request.object = t.object;
    r.request.followRedirects = true;
    r.request.receiveTimeoutMs = settings_.receiveTimeoutMs;
    r.maxBytes = maxBytes;
    return r;
  };
  FetchRequest request = requestOf(*target, settings_.maxExeBytes);
  request.requireLength = true;  // the only way to tell a whole program from a cut one
  signatureRequest_ = requestOf(*signature, kMaxSignatureFileBytes);
  const RequestOptions& exe = request.request;
  log_.Write(std::string("update: downloading ") + (exe.secure ? "https://" : "http://") + exe.host + ":" +
             std::to_string(exe.port) + exe.object + " as " + fileName_);
  if (!Start(std::move(request))) return Fail(text::kUpdateDownloadFailed, "the task is busy or cannot start");
  stage_ = Stage::Downloading;
  rate_.Start(0);
  downloadStartMs_ = clock_();
  rateMeasured_ = false;
  rateBytesPerSecond_ = 0;
  view_.ShowState(text::kUpdateDownloading);
  ShowProgress();
}

void UpdateFlow::DownloadEnded() {
  std::optional<std::string> content = task_.TakeResult();
  ShowProgress();  // what arrived, whether or not it is whole
  if (!content) {
    const bool certificate = task_.LastOutcome() == TransferOutcome::CertificateRefused;
    return Fail(certificate ? text::kUpdateCertificateRefused : text::kUpdateDownloadFailed,
                "download " + task_.LastFailure() + " after " + std::to_string(task_.Received()) + " bytes");
  }
  exe_ = std::move(*content);
  if (!Start(signatureRequest_)) return Fail(text::kUpdateVerifyFailed, "the task is busy or cannot start");
  stage_ = Stage::FetchingSignature;
}

void UpdateFlow::SignatureArrived() {
  std::optional<std::string> signature = task_.TakeResult();
  std::string content = std::move(exe_);
  exe_.clear();
  if (!signature) {
    const bool certificate = task_.LastOutcome() == TransferOutcome::CertificateRefused;
    return Fail(certificate ? text::kUpdateCertificateRefused : text::kUpdateVerifyFailed,
                "signature " + task_.LastFailure());
  }
  const SignatureVerdict verdict = VerifyRelease(*signature, content, key_, comment_);
  if (verdict != SignatureVerdict::Good) {
    return Fail(text::kUpdateVerifyFailed, std::string("signature ") + SignatureVerdictName(verdict) +
                                       ", expected \"" + comment_ + "\"");
  }
  // Written beside its final name and moved there once whole.
  const std::string path = settings_.programDir + fileName_;
  if (!fs_.WriteFileAtomic(path, content)) return Fail(text::kUpdateStoreFailed, "cannot write " + path);
  storedPath_ = path;
  log_.Write("update: stored " + std::to_string(content.size()) + " bytes as " + path);
  stage_ = Stage::Done;
  view_.ShowState(text::kUpdateDone);
  view_.Tell(text::kUpdateDownloaded);
  if (view_.Ask(text::kUpdateStartNew)) {
    started_ = view_.StartProgram(path);
    if (!started_) view_.Tell(text::kUpdateStartFailed);
  }
}

void UpdateFlow::Fail(std::string_view text, std::string_view why) {
  stage_ = Stage::Failed;
  log_.Write("update: failed, " + std::string(why));
  view_.ShowState(text::kUpdateFailed);
  view_.Tell(text);
}

void UpdateFlow::ShowProgress() {
  const int percent = Percent(task_.Received(), task_.Total());
  view_.ShowProgress(UpdateKilobyteText(rateBytesPerSecond_), UpdatePercentText(percent), percent);
}

}  // namespace velmora
