#include "catalogue/InstalledState.h"

#include "text/WindowsNames.h"

#include "app/Settings.h"

namespace velmora {
namespace {

// One name of a path below the game root: no "." or "..", nothing Windows would
// read as a drive, stream, wildcard or second separator, and no trailing dot or
// blank (Windows drops those, so "x." would name "x").

bool PlainTail(std::string_view tail) {
  if (tail.size() < 2 || tail[0] != '\\') return false;
  size_t start = 1;
  while (true) {
    size_t end = tail.find('\\', start);
    if (!IsPlainWindowsName(tail.substr(start, end == std::string_view::npos ? end : end - start))) return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace

GamePath FindBelowGameRoot(FileSystem& fs, const std::string& gameRoot, std::string_view tail) {
  GamePath found{gameRoot + std::string(tail), PathKind::Missing};
  // An empty game root would put every path at the root of the current drive.
  if (gameRoot.empty() || !PlainTail(tail)) return found;
  PathKind root = fs.Kind(gameRoot);
  if (root != PathKind::Folder && root != PathKind::Link) return found;  // the chosen root may be a link
  // Walk down: every folder between the root and the last component must be a
  // real folder, so the path cannot leave the game root through a link.
  for (size_t sep = tail.find('\\', 1); sep != std::string_view::npos; sep = tail.find('\\', sep + 1)) {
    if (fs.Kind(gameRoot + std::string(tail.substr(0, sep))) != PathKind::Folder) return found;
  }
  found.kind = fs.Kind(found.path);
  return found;
}

bool IsInstalled(FileSystem& fs, const std::string& programDir, const CatalogueEntry& entry) {
  return FindBelowGameRoot(fs, ReadGameRoot(fs, programDir), entry.probePath).kind != PathKind::Missing;
}

void ShowInstallState(FileSystem& fs, const std::string& programDir, const CatalogueEntry& entry,
                      PluginPageView& page) {
  page.SetInstallCaption(IsInstalled(fs, programDir, entry) ? text::kInstalledCaption
                                                            : text::kInstallCaption);
}

}  // namespace velmora
