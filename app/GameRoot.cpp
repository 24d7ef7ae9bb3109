#include "app/GameRoot.h"

#include "app/Settings.h"

namespace velmora {

bool IsGameRoot(FileSystem& fs, const std::string& folder) {
  if (folder.empty()) return false;
  return fs.Kind(folder + std::string(kGameExecutable)) == PathKind::File;
}

std::string ValidGameRoot(FileSystem& fs, const std::string& programDir) {
  std::string root = ReadGameRoot(fs, programDir);
  return IsGameRoot(fs, root) ? root : std::string();
}

void GameRootSetup::EstablishAtStartUp() {
  std::string root = ValidGameRoot(fs_, programDir_);
  if (!root.empty()) {
    view_.ShowGameRoot(root);
    return;
  }
  view_.ShowMessage(text::kAskForGameRoot);
  for (;;) {
    std::string folder = view_.BrowseForFolder(text::kAskForGameRoot);
    if (folder.empty() || TakeChosenFolder(folder)) return;
  }
}

void GameRootSetup::Choose() {
  const bool haveRoot = !ValidGameRoot(fs_, programDir_).empty();
  std::string folder = view_.BrowseForFolder(haveRoot ? text::kChooseGameRoot : text::kAskForGameRoot);
  if (!folder.empty()) TakeChosenFolder(folder);
}

bool GameRootSetup::TakeChosenFolder(const std::string& folder) {
  if (!IsGameRoot(fs_, folder)) {
    log_.Write("game root refused (no WorldOfWarships.exe): " + folder);
    view_.ShowMessage(text::kGameRootWrong);
    return false;
  }
  // Every operation reads the game root from the file, so one that was not
  // saved is no game root; say so rather than confirming it.
  const std::string ini = SettingsFilePath(programDir_);
  if (!WriteSetting(fs_, ini, kSettingsSection, kGameRootKey, folder)) {
    const bool storable = SettingsFileCanHold(fs_, ini, folder);
    log_.Write(std::string(storable ? "game root not saved: " : "game root not storable in config.ini: ") + folder);
    view_.ShowMessage(storable ? text::kGameRootNotSaved : text::kGameRootNameNotStorable);
    return false;
  }
  log_.Write("game root chosen: " + folder);
  view_.ShowGameRoot(folder);
  view_.ShowMessage(text::kGameRootSet);
  return true;
}

void StartGame(FileSystem& fs, const std::string& programDir, ProcessStarter& starter,
               GameRootView& view) {
  std::string root = ValidGameRoot(fs, programDir);
  if (root.empty()) {
    view.ShowMessage(text::kNoGameRootForStart);
    return;
  }
  if (!starter.Start(root + std::string(kGameExecutable), root)) {
    view.ShowMessage(text::kGameStartFailed);
  }
}

}  // namespace velmora
