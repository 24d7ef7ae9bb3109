#include "catalogue/Install.h"

#include "app/GameRoot.h"

namespace velmora {
namespace {

// The message for an unpacking that did not finish; none when the user stopped it.
std::string_view FailureText(UnpackResult r) {
  switch (r) {
    case UnpackResult::InUse: return text::kGameFilesInUse;
    case UnpackResult::NoSpace: return text::kNoDiskSpace;
    case UnpackResult::LinkInTarget: return text::kLinkInGameRoot;
    case UnpackResult::WriteFailed: return text::kGameFilesNotWritten;
    case UnpackResult::Hostile: return text::kArchiveRefused;
    case UnpackResult::Stopped: return {};
    case UnpackResult::RepairPending: return text::kRepairAtNextStart;
    case UnpackResult::Busy: return text::kGameFolderBusy;
    case UnpackResult::NoArchive:
    case UnpackResult::Corrupt:
    case UnpackResult::Done:
      break;
  }
  return text::kUnpackFailed;
}

// The download's states and figures, in the page's words.
class DownloadWords final : public DownloadView {
 public:
  explicit DownloadWords(InstallView& view) : view_(view) {}
  void SetState(DownloadState state) override { view_.ShowStatus(StateText(state)); }
  void SetProgress(int percent) override { view_.ShowProgress(percent); }
  void SetRate(std::string_view figure) override { view_.ShowRate(figure); }

 private:
  InstallView& view_;
};

std::string_view ResultName(UnpackResult r) {
  switch (r) {
    case UnpackResult::Done: return "installed";
    case UnpackResult::NoArchive: return "no game root";
    case UnpackResult::Corrupt: return "corrupt archive";
    case UnpackResult::Hostile: return "refused archive";
    case UnpackResult::LinkInTarget: return "link in the game root";
    case UnpackResult::NoSpace: return "no disk space";
    case UnpackResult::InUse: return "game files in use";
    case UnpackResult::WriteFailed: return "game root not writable";
    case UnpackResult::Stopped: return "stopped";
    case UnpackResult::RepairPending: return "failed, originals restored at the next start";
    case UnpackResult::Busy: return "another program is changing the game root";
  }
  return "unknown";
}

InstallOutcome Failed(std::string_view why) {
  InstallOutcome outcome;
  outcome.message = why;
  return outcome;
}

}  // namespace

std::string_view StateText(DownloadState state) {
  switch (state) {
    case DownloadState::Connecting: return text::kConnecting;
    case DownloadState::Connected: return text::kConnected;
    case DownloadState::RangeHonoured: return text::kRangeHonoured;
    case DownloadState::RangeIgnored: return text::kRangeIgnored;
    case DownloadState::Reading: return text::kReading;
    case DownloadState::Finished: return text::kFinished;
    case DownloadState::Cancelled: return text::kCancelled;
  }
  return {};
}

InstallOutcome InstallPlugin(FileSystem& fs, const std::string& programDir,
                             ArchiveDownloader& downloader, const CatalogueEntry& entry,
                             InstallView& view, InstallCancel& cancel, EventLog& log,
                             const RunningCheck& gameRuns) {
  const std::string what = "install " + std::string(entry.stem) + ": ";
  // Read once, before anything is fetched: without a game root the download
  // would be wasted, and "浏览" is off until the install has ended.
  const std::string gameRoot = ValidGameRoot(fs, programDir);
  if (gameRoot.empty()) {
    log.Write(what + "no game root");
    return Failed(text::kNoGameRootForInstall);
  }
  // The game started from this very folder holds or reads the files a plug-in
  // replaces: the user closes it first. A game run from another folder is not it.
  if (gameRuns && gameRuns(gameRoot + std::string(kGameExecutable))) {
    log.Write(what + "the game runs from " + gameRoot);
    return Failed(text::kGameRunningForInstall);
  }
  const ArchiveNames names = ArchiveNamesOf(entry);
  // Stored beside the program as the maker's tool always did, and deleted once
  // unpacked: a user who looks there mid-install finds the archive.
  const std::string storedArchive = programDir + names.slashTail;
  // Resumed: a press after an interrupted download continues it. The downloader
  // continues only an attempt at the same object and starts afresh otherwise.
  DownloadWords words(view);
  const TransferOutcome download =
      downloader.Download(names.serverPath, true, storedArchive, words, cancel.transfer);
  if (download != TransferOutcome::Completed) {
    if (cancel.Asked()) {
      log.Write(what + "download cancelled");
      return {};
    }
    log.Write(what + "download " + std::string(OutcomeName(download)));
    return Failed(download == TransferOutcome::StoreFailed ? text::kArchiveNotSaved : text::kDownloadFailed);
  }

  // The unpacking makes a missing target: a game folder that went during the
  // download (uninstalled, a drive taken away) must not come back as a shell.
  if (!IsGameRoot(fs, gameRoot)) {
    log.Write(what + "the game root went during the download");
    return {false, text::kNoGameRootForInstall, text::kInstallFailedState, storedArchive};
  }
  ArchiveUnpacker zip(fs);
  // Every path a plug-in uses lies below "\profile\": an archive that would put
  // anything beside the game's own files (its executable, a DLL) is refused.
  zip.SetOnlyBelow("profile");
  // Another program's change of the same folder (its commit, an uninstall)
  // takes seconds at most; past that the user is told.
  zip.SetLockWait(5000);
  int shownPercent = -1;
  zip.SetProgressHandler([&](const UnpackProgress& p) {
    if (shownPercent < 0) view.ShowStatus(text::kUnpacking);
    if (p.percent != shownPercent) view.ShowProgress(p.percent);
    shownPercent = p.percent;
    return !cancel.Asked();  // up to the commit; nothing has changed yet
  });
  const UnpackResult result = zip.Unpack(programDir + names.backslashTail, gameRoot);
  log.Write(what + std::string(ResultName(result)) + " (" +
            std::to_string(fs.FileSize(storedArchive).value_or(0)) + " bytes into " + gameRoot + ")");
  if (result == UnpackResult::Done) return {true, text::kInstallDone, {}, storedArchive};
  const std::string_view status = result == UnpackResult::Stopped ? std::string_view() : text::kInstallFailedState;
  return {false, FailureText(result), status, storedArchive};
}

void ShowInstallOutcome(FileSystem& fs, const InstallOutcome& outcome, PluginPageView* page,
                        InstallView* progress, EventLog& log) {
  if (progress && outcome.installed) {
    progress->ShowProgress(100);
    progress->ShowStatus(StateText(DownloadState::Finished));
  }
  if (progress && !outcome.status.empty()) progress->ShowStatus(outcome.status);
  if (outcome.installed && page) page->SetInstallCaption(text::kInstalledCaption);
  if (!outcome.message.empty() && page) page->ShowMessage(outcome.message);
  // Deleted after the message, as the maker's tool did; one that will not go
  // is replaced by the next download of its entry, so a failure is only logged.
  if (!outcome.archive.empty() && !fs.RemoveFile(outcome.archive)) {
    log.Write("install: " + outcome.archive + " stays");
  }
}

RecoveryResult RecoverInterruptedInstall(FileSystem& fs, const std::string& programDir,
                                         EventLog& log) {
  const std::string gameRoot = ValidGameRoot(fs, programDir);
  if (gameRoot.empty()) return RecoveryResult::NothingToDo;
  RecoveryResult r = ArchiveUnpacker(fs).RecoverInterrupted(gameRoot);
  if (r == RecoveryResult::Undone) log.Write("interrupted install undone in " + gameRoot);
  if (r == RecoveryResult::Blocked) log.Write("interrupted install cannot be undone yet in " + gameRoot);
  if (r == RecoveryResult::Busy) log.Write("another program is changing " + gameRoot + ": its staging is live");
  return r;
}

}  // namespace velmora
