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
  }
  return "unknown";
}

}  // namespace

bool InstallPlugin(FileSystem& fs, const std::string& programDir, ArchiveDownloader& downloader,
                   const CatalogueEntry& entry, InstallView& view, EventLog& log) {
  const std::string what = "install " + std::string(entry.stem) + ": ";
  // Checked before anything is fetched: without a game root the download would be
  // wasted. The root is read again below, where it is used.
  if (ValidGameRoot(fs, programDir).empty()) {
    log.Write(what + "no game root");
    view.ShowMessage(text::kNoGameRootForInstall);
    return false;
  }
  const ArchiveNames names = ArchiveNamesOf(entry);
  // Resumed: a press after an interrupted download continues it. The downloader
  // continues only an attempt at the same object and starts afresh otherwise.
  std::string content = downloader.Download(names.serverPath, true, view);
  if (content.empty()) {
    log.Write(what + "download failed");
    return false;
  }

  const std::string storedArchive = programDir + names.slashTail;
  if (!StoreArchive(fs, storedArchive, content) ||
      fs.FileSize(programDir + names.backslashTail) != content.size()) {
    fs.RemoveFile(storedArchive);
    log.Write(what + "archive not saved in " + programDir);
    view.ShowMessage(text::kArchiveNotSaved);
    return false;
  }

  const std::string gameRoot = ReadGameRoot(fs, programDir);
  UnpackResult result = UnpackResult::NoArchive;
  if (IsGameRoot(fs, gameRoot)) {
    ZipUnit zip(fs);
    // Every path a plug-in uses lies below "\profile\": an archive that would put
    // anything beside the game's own files (its executable, a DLL) is refused.
    zip.SetOnlyBelow("profile");
    zip.SetProgressHandler([&view](const UnpackProgress& p) { return view.OnUnpackProgress(p); });
    // The archive file (programDir + names.backslashTail) holds exactly these
    // bytes, just written and checked; reading them back would only copy a large
    // archive once more.
    result = zip.UnpackBytes(content, gameRoot);
  }
  log.Write(what + std::string(ResultName(result)) + " (" + std::to_string(content.size()) +
            " bytes into " + gameRoot + ")");
  if (result != UnpackResult::Done) {
    fs.RemoveFile(storedArchive);
    if (!IsGameRoot(fs, gameRoot)) {
      view.ShowMessage(text::kNoGameRootForInstall);
    } else if (std::string_view why = FailureText(result); !why.empty()) {
      view.ShowMessage(why);
    }
    return false;
  }

  view.SetInstallCaption(text::kInstalledCaption);
  view.ShowMessage(text::kInstallDone);
  fs.RemoveFile(storedArchive);
  return true;
}

RecoveryResult RecoverInterruptedInstall(FileSystem& fs, const std::string& programDir,
                                         EventLog& log) {
  const std::string gameRoot = ValidGameRoot(fs, programDir);
  if (gameRoot.empty()) return RecoveryResult::NothingToDo;
  RecoveryResult r = ZipUnit(fs).RecoverInterrupted(gameRoot);
  if (r == RecoveryResult::Undone) log.Write("interrupted install undone in " + gameRoot);
  if (r == RecoveryResult::Blocked) log.Write("interrupted install cannot be undone yet in " + gameRoot);
  return r;
}

}  // namespace velmora
