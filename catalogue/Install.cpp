#include "catalogue/Install.h"

#include "app/GameRoot.h"
#include "app/Settings.h"

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
    case UnpackResult::NoArchive:
    case UnpackResult::Corrupt:
    case UnpackResult::Done:
      break;
  }
  return text::kUnpackFailed;
}

bool StoreArchive(FileSystem& fs, const std::string& path, const std::string& content) {
  std::unique_ptr<OutputFile> out = fs.OpenForWrite(path, false);
  bool ok = out && out->Write(content.data(), content.size());
  return out && out->Close() && ok;
}

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
    case DownloadState::Connecting: return "正在连接Internet";
    case DownloadState::Connected: return "Internet连接已建立";
    case DownloadState::RangeHonoured: return "服务器支持网络续传";
    case DownloadState::RangeIgnored: return "服务器不支持网络续传";
    case DownloadState::Reading: return "开始下载";
    case DownloadState::Finished: return "下载完毕";
    case DownloadState::Cancelled: return "已取消下载";
  }
  return {};
}

InstallOutcome InstallPlugin(FileSystem& fs, const std::string& programDir,
                             ArchiveDownloader& downloader, const CatalogueEntry& entry,
                             InstallProgressView& view, TransferHandles& cancel, EventLog& log) {
  const std::string what = "install " + std::string(entry.stem) + ": ";
  // Checked before anything is fetched: without a game root the download would be
  // wasted. The root is read again below, where it is used.
  if (ValidGameRoot(fs, programDir).empty()) {
    log.Write(what + "no game root");
    return Failed(text::kNoGameRootForInstall);
  }
  const ArchiveNames names = ArchiveNamesOf(entry);
  // Resumed: a press after an interrupted download continues it. The downloader
  // continues only an attempt at the same object and starts afresh otherwise.
  std::string content = downloader.Download(names.serverPath, true, view, cancel);
  if (content.empty()) {
    if (cancel.Cancelled()) {
      log.Write(what + "download cancelled");
      return {};
    }
    log.Write(what + "download failed");
    return Failed(text::kDownloadFailed);
  }

  // Stored beside the program as the maker's tool always did, and deleted once
  // unpacked: a user who looks there mid-install finds the archive.
  const std::string storedArchive = programDir + names.slashTail;
  if (!StoreArchive(fs, storedArchive, content) ||
      fs.FileSize(programDir + names.backslashTail) != content.size()) {
    fs.RemoveFile(storedArchive);
    log.Write(what + "archive not saved in " + programDir);
    return Failed(text::kArchiveNotSaved);
  }

  const std::string gameRoot = ReadGameRoot(fs, programDir);
  UnpackResult result = UnpackResult::NoArchive;
  if (IsGameRoot(fs, gameRoot)) {
    ArchiveUnpacker zip(fs);
    // Every path a plug-in uses lies below "\profile\": an archive that would put
    // anything beside the game's own files (its executable, a DLL) is refused.
    zip.SetOnlyBelow("profile");
    zip.SetProgressHandler([&view, &cancel](const UnpackProgress& p) {
      view.OnUnpackProgress(p);
      return !cancel.Cancelled();  // up to the commit; nothing has changed yet
    });
    // The archive file (programDir + names.backslashTail) holds exactly these
    // bytes, just written and checked; reading them back would only copy a large
    // archive once more.
    result = zip.UnpackBytes(content, gameRoot);
  }
  log.Write(what + std::string(ResultName(result)) + " (" + std::to_string(content.size()) +
            " bytes into " + gameRoot + ")");
  if (result == UnpackResult::Done) return {true, text::kInstallDone, storedArchive};
  fs.RemoveFile(storedArchive);
  if (!IsGameRoot(fs, gameRoot)) return Failed(text::kNoGameRootForInstall);
  return Failed(FailureText(result));
}

void FinishInstall(FileSystem& fs, const InstallOutcome& outcome, PluginPageView* page,
                   DownloadView* progress) {
  if (outcome.installed && progress) {
    progress->SetProgress(100);
    progress->SetState(DownloadState::Finished);
  }
  if (outcome.installed && page) page->SetInstallCaption(text::kInstalledCaption);
  if (!outcome.message.empty() && page) page->ShowMessage(outcome.message);
  if (!outcome.archive.empty()) fs.RemoveFile(outcome.archive);
}

RecoveryResult RecoverInterruptedInstall(FileSystem& fs, const std::string& programDir,
                                         EventLog& log) {
  const std::string gameRoot = ValidGameRoot(fs, programDir);
  if (gameRoot.empty()) return RecoveryResult::NothingToDo;
  RecoveryResult r = ArchiveUnpacker(fs).RecoverInterrupted(gameRoot);
  if (r == RecoveryResult::Undone) log.Write("interrupted install undone in " + gameRoot);
  if (r == RecoveryResult::Blocked) log.Write("interrupted install cannot be undone yet in " + gameRoot);
  return r;
}

}  // namespace velmora
