// The game root: the game's folder, valid when it holds WorldOfWarships.exe.
// Established at start-up from config.ini or by asking the user, chosen again
// with "浏览", and the folder "启动" starts the game from.
#pragma once

#include <string>
#include <string_view>

#include "app/DiagnosticsLog.h"
#include "platform/FileSystem.h"
#include "ui/MainWindowTexts.h"

namespace velmora {

inline constexpr std::string_view kGameExecutable = "\\WorldOfWarships.exe";

// True when folder + "\WorldOfWarships.exe" is an existing file. An empty folder
// is never a game root (it would name the root of the current drive).
bool IsGameRoot(FileSystem& fs, const std::string& folder);

// The stored game root when it still passes the check, otherwise empty: a game
// moved or uninstalled since is treated as no game root at all.
std::string ValidGameRoot(FileSystem& fs, const std::string& programDir);

// What the game-root flow needs from the main window.
class GameRootView {
 public:
  virtual ~GameRootView() = default;
  virtual void ShowMessage(std::string_view text) = 0;
  // The platform's folder browser (file-system folders only); empty when cancelled.
  virtual std::string BrowseForFolder(std::string_view prompt) = 0;
  virtual void ShowGameRoot(std::string_view root) = 0;
};

class GameRootSetup {
 public:
  GameRootSetup(FileSystem& fs, std::string programDir, GameRootView& view, EventLog& log = NoLog())
      : fs_(fs), programDir_(std::move(programDir)), view_(view), log_(log) {}

  // Start-up: a valid stored root is shown; otherwise the user is told and asked,
  // again after each wrong folder, until a right one or a cancel (then the program
  // goes on without a game root).
  void EstablishAtStartUp();
  // "浏览": one choice; a wrong folder or a cancel leaves everything as it was.
  void Choose();
  // Checks a chosen folder; stores, shows and confirms it when it passes.
  bool TakeChosenFolder(const std::string& folder);

 private:
  FileSystem& fs_;
  std::string programDir_;
  GameRootView& view_;
  EventLog& log_;
};

// Starting the game: the executable's path and its working folder (the game root).
class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  virtual bool Start(const std::string& executable, const std::string& workingFolder) = 0;
};

// "启动": starts WorldOfWarships.exe from the stored game root, or tells the user why not.
void StartGame(FileSystem& fs, const std::string& programDir, ProcessStarter& starter,
               GameRootView& view);

}  // namespace velmora
