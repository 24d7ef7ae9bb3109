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
#include "ui/UpdateWindowTexts.h"
#include "update/ReleaseSignature.h"
#include "update/Version.h"

namespace velmora {

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
