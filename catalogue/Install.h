// The install pipeline behind a plug-in page's 按钮1: download the entry's
// archive into the file it is stored as beside the program, unpack that file
// into the game root, then show the page as installed, tell the user and
// delete the archive. One routine for all 21 entries: the work runs as one job
// beside the interface thread, and its outcome is shown once, on that thread,
// when the job has returned.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "app/DiagnosticsLog.h"
#include "catalogue/Catalogue.h"
#include "catalogue/PluginPageView.h"
#include "net/ArchiveDownloader.h"
#include "net/DownloadView.h"
#include "platform/FileSystem.h"
#include "ui/PluginPageTexts.h"
#include "zip/ArchiveUnpacker.h"

namespace velmora {

// The page's status label 标签2 for each state of the download.
std::string_view StateText(DownloadState state);

// What the install shows on its page while it works, in the page's words.
// Called on the install worker.
class InstallView {
 public:
  virtual ~InstallView() = default;
  virtual void ShowStatus(std::string_view text) = 0;  // 标签2
  virtual void ShowProgress(int percent) = 0;          // 进度条1
  virtual void ShowRate(std::string_view figure) = 0;  // 标签4
};

// The one switch that ends an install from another thread: the download at
// once (its WinINet handles are closed), the unpacking before its commit; a
// commit that has begun finishes.
class InstallCancel {
 public:
  explicit InstallCancel(const WinInetApi& api) : transfer(api) {}
  void Cancel() {
    asked_ = true;
    transfer.Cancel();
  }
  bool Asked() const { return asked_; }

  TransferHandles transfer;

 private:
  std::atomic<bool> asked_{false};
};

struct InstallOutcome {
  bool installed = false;
  std::string_view message;  // what to tell the user; empty: nothing (cancelled)
  std::string_view status;   // the status label afterwards; empty: as the download left it
  std::string archive;       // the stored archive, deleted once the user has been told (whatever the outcome)
};

// Whether a program runs from this executable, named by its full path (the
// system's process list in the program).
using RunningCheck = std::function<bool(const std::string& executable)>;

// The whole install of one entry, on the install worker; the outcome is
// written to the log. A game running from the game root (`gameRuns`) stops it
// before anything is fetched.
InstallOutcome InstallPlugin(FileSystem& fs, const std::string& programDir,
                             ArchiveDownloader& downloader, const CatalogueEntry& entry,
                             InstallView& view, InstallCancel& cancel, EventLog& log = NoLog(),
                             const RunningCheck& gameRuns = {});

// On the interface thread, once the job has returned: the page as the user
// sees it afterwards (caption, progress, status) and the message, when the
// page is still there; then the stored archive goes.
void ShowInstallOutcome(FileSystem& fs, const InstallOutcome& outcome, PluginPageView* page,
                        InstallView* progress, EventLog& log = NoLog());

// Undoes, in the stored game root, an install that a crash cut short (a commit
// half done leaves a half-replaced plug-in that the game would load). Runs as
// soon as the game root is known: at start-up and when one is chosen.
RecoveryResult RecoverInterruptedInstall(FileSystem& fs, const std::string& programDir,
                                         EventLog& log = NoLog());

}  // namespace velmora
