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

}  // namespace

bool InstallPlugin(FileSystem& fs, const std::string& programDir, ArchiveDownloader& downloader,
                   const CatalogueEntry& entry, InstallView& view) {
  // Checked before anything is fetched: without a game root the download would be
  // wasted. The root is read again below, where it is used.
  if (ValidGameRoot(fs, programDir).empty()) {
    view.ShowMessage(text::kNoGameRootForInstall);
    return false;
  }
  const ArchiveNames names = ArchiveNamesOf(entry);
  // Resumed: a press after an interrupted download continues it. The downloader
  // continues only an attempt at the same object and starts afresh otherwise.
  std::string content = downloader.Download(names.serverPath, true, view);
  if (content.empty()) return false;

  const std::string storedArchive = programDir + names.slashTail;
  if (!StoreArchive(fs, storedArchive, content) ||
      fs.FileSize(programDir + names.backslashTail) != content.size()) {
    fs.RemoveFile(storedArchive);
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

}  // namespace velmora
