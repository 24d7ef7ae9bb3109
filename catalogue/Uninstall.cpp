#include "catalogue/Uninstall.h"

#include "app/Settings.h"
#include "catalogue/InstalledState.h"
#include "zip/FolderLock.h"

namespace velmora {
namespace {

// Deletes one path of a removal set; true when nothing is left there afterwards.
bool Remove(FileSystem& fs, const GamePath& target) {
  switch (target.kind) {
    case PathKind::Missing:
      return true;  // never installed, or already gone
    case PathKind::Folder:
      (void)fs.DeleteTree(target.path);  // judged below, by what is left
      break;
    case PathKind::File:
    case PathKind::Link:  // the link itself, never what it points to
      (void)fs.RemoveFile(target.path);
      break;
  }
  // A partly deleted folder reports failure but may still be there, and the other
  // way round; only what is left counts.
  return fs.Kind(target.path) == PathKind::Missing;
}

}  // namespace

UninstallOutcome Uninstall(FileSystem& fs, const std::string& programDir, const CatalogueEntry& entry,
                           PluginPageView& page, EventLog& log) {
  const std::string what = "uninstall " + std::string(entry.stem) + ": ";
  if (!IsInstalled(fs, programDir, entry)) {
    log.Write(what + "not installed");
    page.ShowMessage(entry.notInstalledText);
    return UninstallOutcome::NotInstalled;
  }
  // Never beside another program's install or uninstall of the same folder;
  // read once, so every path is removed in the folder that is locked.
  std::unique_ptr<FileLock> lock;
  const std::string gameRoot = ReadGameRoot(fs, programDir);
  if (LockFolder(fs, gameRoot, lock, 0) == LockResult::HeldElsewhere) {
    log.Write(what + "another program is changing " + gameRoot);
    page.ShowMessage(text::kGameFolderBusy);
    return UninstallOutcome::Busy;
  }
  // The probe path goes last, and only when everything else is gone: a removal
  // that stops half-way still reads as installed, so the next press finishes it.
  bool complete = true;
  bool holdsProbe = false;
  for (std::string_view tail : entry.removalSet) {
    if (tail == entry.probePath) {
      holdsProbe = true;
      continue;
    }
    // A path that cannot be deleted does not stop the others.
    complete = Remove(fs, FindBelowGameRoot(fs, gameRoot, tail)) && complete;
  }
  if (complete && holdsProbe) {
    complete = Remove(fs, FindBelowGameRoot(fs, gameRoot, entry.probePath));
  }
  log.Write(what + (complete ? "removed" : "partly removed") + " in " + gameRoot);
  if (!complete) {
    page.ShowMessage(text::kUninstallIncomplete);
    ShowInstallState(fs, programDir, entry, page);
    return UninstallOutcome::PartlyRemoved;
  }
  page.ShowMessage(InfoOf(entry.category).uninstalledText);
  page.SetInstallCaption(text::kInstallCaption);
  return UninstallOutcome::Removed;
}

}  // namespace velmora
