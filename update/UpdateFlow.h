// The update window's work, step by step: read the announcement page, show its
// notes, check the download address, download the new version on the background
// task while each timer tick shows the progress, fetch its signature on the same
// task, verify it (update/ReleaseSignature) and only then store it under an exe
// name and offer to start it. The window supplies the view; everything here runs on the
// interface thread, the downloads on the task's worker.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/DiagnosticsLog.h"
#include "net/BackgroundDownload.h"
#include "net/Progress.h"
#include "platform/FileSystem.h"
#include "update/ReleaseSignature.h"
#include "update/Version.h"

namespace velmora {

namespace text {
// State texts beside the current-version line.
inline constexpr std::string_view kUpdateReadingPage = "正在读取公告";
inline constexpr std::string_view kUpdateDownloading = "正在下载";
inline constexpr std::string_view kUpdateDone = "下载完成";
inline constexpr std::string_view kUpdateFailed = "更新失败";
// Messages of the update window.
inline constexpr std::string_view kUpdatePageFailed = "读取更新公告失败，请稍后重试。";
inline constexpr std::string_view kUpdateAddressRefused = "更新公告中的下载地址无效，已停止更新。";
inline constexpr std::string_view kUpdateDownloadFailed = "新版本下载失败，请稍后重试。";
// The https server's certificate was refused (self-signed, unknown issuer, another name).
inline constexpr std::string_view kUpdateCertificateRefused =
    "新版本下载地址的安全证书不受信任，已停止更新。请检查系统时间，或稍后重试。";
inline constexpr std::string_view kUpdateVerifyFailed = "新版本校验失败，已停止更新。";
inline constexpr std::string_view kUpdateStoreFailed = "新版本保存失败，请检查程序目录是否可以写入。";
inline constexpr std::string_view kUpdateDownloaded = "新版本已经下载完成，感谢您的支持！";
inline constexpr std::string_view kUpdateStartNew = "是否立即启动新版本？";
inline constexpr std::string_view kUpdateStartFailed = "新版本启动失败，请到程序目录中手动启动。";
}  // namespace text

// "当前版本：" + the running version, for 标签1.
std::string CurrentVersionText(std::string_view running);
// The left and right labels under the progress: "下载进度：" + figure + " KB/S" and
// "已完成：" + percentage + "%  " (two blanks).
std::string UpdateKilobyteText(uint64_t bytes);
std::string UpdatePercentText(int percent);

class UpdateView {
 public:
  virtual ~UpdateView() = default;
  virtual void ShowNotes(std::string_view text) = 0;  // lines separated by CR LF
  virtual void ShowState(std::string_view text) = 0;
  virtual void ShowProgress(std::string_view kilobyteText, std::string_view percentText,
                            int percent) = 0;
  virtual void Tell(std::string_view text) = 0;
  virtual bool Ask(std::string_view question) = 0;  // true for yes
  virtual bool StartProgram(const std::string& path) = 0;
};

struct UpdateSettings {
  std::string siteHost;
  uint16_t sitePort = 80;
  std::string runningVersion;
  std::string publicKey;  // the maker's minisign key; empty or unreadable: every update is refused
  std::string programDir;
  std::string runningExeName;  // the running program's file name, never overwritten
  uint64_t maxExeBytes = uint64_t{512} << 20;
  uint32_t receiveTimeoutMs = 20000;
};

class UpdateFlow {
 public:
  enum class Stage { Idle, ReadingPage, Downloading, FetchingSignature, Done, Failed };

  UpdateFlow(BackgroundDownload& task, FileSystem& fs, UpdateSettings settings, UpdateView& view,
             EventLog& log = NoLog(), MillisecondClock clock = SteadyClock());
  // A flow that is left while it works stops its download.
  ~UpdateFlow();
  UpdateFlow(const UpdateFlow&) = delete;
  UpdateFlow& operator=(const UpdateFlow&) = delete;

  // Starts reading the page (the window's creation).
  void Begin();
  // One timer tick: the progress while the download runs. False once the flow
  // has ended, so the timer can stop. Each next step is taken when the task
  // tells, on the interface thread, that it has ended.
  bool Tick();
  void Stop();

  Stage stage() const { return stage_; }
  bool startedNewVersion() const { return started_; }
  const std::string& storedPath() const { return storedPath_; }

 private:
  bool Start(FetchRequest request);
  void TaskEnded();
  void PageArrived();
  void DownloadEnded();
  void SignatureArrived();
  bool Working() const;
  void Fail(std::string_view text, std::string_view why);
  void ShowProgress();

  BackgroundDownload& task_;
  FileSystem& fs_;
  UpdateSettings settings_;
  UpdateView& view_;
  EventLog& log_;
  MillisecondClock clock_;
  RateMeter rate_;
  int64_t downloadStartMs_ = 0;
  bool rateMeasured_ = false;  // an interval of the rate meter has closed
  Stage stage_ = Stage::Idle;
  std::string fileName_;  // "\" + name, joined to the program directory
  ReleaseKey key_;
  std::string comment_;  // the trusted comment the signature must carry
  FetchRequest signatureRequest_;
  std::string exe_;  // the downloaded new version, held until its signature is checked
  uint64_t rateBytesPerSecond_ = 0;
  std::string storedPath_;
  bool started_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for the task's posted call
};

}  // namespace velmora
