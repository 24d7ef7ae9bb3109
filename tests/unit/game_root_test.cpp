#include <gtest/gtest.h>

#include "app/GameRoot.h"
#include "app/Settings.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace velmora {
namespace {

// Records what the flow shows and answers the folder browser from a script.
class ScriptedView : public GameRootView {
 public:
  std::vector<std::string> answers;  // folder browser results, in order ("" = cancel)
  std::vector<std::string> events;

  void ShowMessage(std::string_view t) override { events.push_back("msg:" + std::string(t)); }
  std::string BrowseForFolder(std::string_view prompt) override {
    events.push_back("browse:" + std::string(prompt));
    if (answers.empty()) return {};
    std::string a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  void ShowGameRoot(std::string_view r) override { events.push_back("show:" + std::string(r)); }
};

class RecordingStarter : public ProcessStarter {
 public:
  bool succeed = true;
  std::string exe, folder;
  bool Start(const std::string& e, const std::string& f) override {
    exe = e;
    folder = f;
    return succeed;
  }
};

struct GameRootTest : ::testing::Test {
  testing::TempDir program, game;
  FileSystem& fs = NativeFileSystem();
  void SetUp() override { game.WriteFile("\\WorldOfWarships.exe", "MZ"); }
};

TEST_F(GameRootTest, CheckNeedsTheExecutableDirectlyInTheFolder) {
  EXPECT_TRUE(IsGameRoot(fs, game.path()));
  EXPECT_TRUE(IsGameRoot(fs, game.path() + "\\")) << "trailing backslash: doubled separator";
  EXPECT_FALSE(IsGameRoot(fs, "")) << "empty text would name the drive root";
  testing::TempDir parent;
  parent.WriteFile("\\sub\\WorldOfWarships.exe");
  EXPECT_FALSE(IsGameRoot(fs, parent.path())) << "executable only in a subfolder";
  parent.MakeFolder("\\odd\\WorldOfWarships.exe");
  EXPECT_FALSE(IsGameRoot(fs, parent.path() + "\\odd")) << "a folder of that name is no executable";
}

TEST_F(GameRootTest, FirstStartAsksUntilARightFolderAndStoresIt) {
  ScriptedView view;
  testing::TempDir wrong;
  view.answers = {wrong.path(), game.path()};
  GameRootSetup(fs, program.path(), view).EstablishAtStartUp();
  const std::string ask(text::kAskForGameRoot);
  EXPECT_EQ(view.events, (std::vector<std::string>{
                             "msg:" + ask, "browse:" + ask, "msg:指定的游戏目录不正确", "browse:" + ask,
                             "show:" + game.path(), "msg:游戏目录设置完成！"}));
  EXPECT_EQ(ReadGameRoot(fs, program.path()), game.path());
}

TEST_F(GameRootTest, StartUpShowsAStoredRootThatPassesAndOtherwiseAsks) {
  const std::string ask = "msg:" + std::string(text::kAskForGameRoot);
  ScriptedView cancelled;
  GameRootSetup(fs, program.path(), cancelled).EstablishAtStartUp();
  EXPECT_EQ(cancelled.events, (std::vector<std::string>{ask, "browse:" + std::string(text::kAskForGameRoot)}));
  EXPECT_FALSE(program.Exists("/config.ini")) << "a cancelled browser stores nothing";

  ASSERT_TRUE(WriteSetting(fs, SettingsFilePath(program.path()), "设置", "游戏路径", game.path()));
  ScriptedView stored;
  GameRootSetup(fs, program.path(), stored).EstablishAtStartUp();
  EXPECT_EQ(stored.events, (std::vector<std::string>{"show:" + game.path()}));

  ASSERT_TRUE(WriteSetting(fs, SettingsFilePath(program.path()), "设置", "游戏路径", game.path() + "\\gone"));
  ScriptedView stale;
  GameRootSetup(fs, program.path(), stale).EstablishAtStartUp();
  EXPECT_EQ(stale.events.at(0), ask) << "a stored root that no longer passes is none";
  EXPECT_EQ(ValidGameRoot(fs, program.path()), "");
}

TEST_F(GameRootTest, BrowseWrongFolderKeepsStoredRootAndSameFolderConfirmsAgain) {
  ASSERT_TRUE(WriteSetting(fs, SettingsFilePath(program.path()), "设置", "游戏路径", game.path()));
  ScriptedView view;
  testing::TempDir wrong;
  view.answers = {wrong.path(), game.path()};
  GameRootSetup setup(fs, program.path(), view);
  setup.Choose();
  EXPECT_EQ(view.events.front(), "browse:请选择游戏根目录") << "a set game root is not missing";
  EXPECT_EQ(view.events.back(), "msg:指定的游戏目录不正确");
  EXPECT_EQ(ReadGameRoot(fs, program.path()), game.path());
  setup.Choose();
  EXPECT_EQ(view.events.back(), "msg:游戏目录设置完成！");
}

TEST_F(GameRootTest, UnsavableChoiceIsNotConfirmedAndToldForWhatItIs) {
  testing::FaultyFileSystem faulty;
  faulty.lockedPaths.insert(SettingsFilePath(program.path()));
  ScriptedView view;
  EXPECT_FALSE(GameRootSetup(faulty, program.path(), view).TakeChosenFolder(game.path()));
  EXPECT_EQ(view.events, (std::vector<std::string>{"msg:" + std::string(text::kGameRootNotSaved)}));

  // A writable program folder, but a name the file cannot spell (a line break, which
  // no file system holds either, so the game is only said to be there): told as such.
  struct GameWithOddName : testing::FaultyFileSystem {
    std::string exe;
    PathKind Kind(const std::string& p) override { return p == exe ? PathKind::File : FaultyFileSystem::Kind(p); }
  } odd;
  odd.exe = game.path() + "\\a\nb\\WorldOfWarships.exe";
  view.events.clear();
  EXPECT_FALSE(GameRootSetup(odd, program.path(), view).TakeChosenFolder(game.path() + "\\a\nb"));
  EXPECT_EQ(view.events, (std::vector<std::string>{"msg:" + std::string(text::kGameRootNameNotStorable)}));
}

TEST_F(GameRootTest, StartGameRunsTheExecutableInTheGameRoot) {
  ScriptedView view;
  RecordingStarter starter;
  StartGame(fs, program.path(), starter, view);
  EXPECT_EQ(view.events, (std::vector<std::string>{"msg:" + std::string(text::kNoGameRootForStart)}));
  EXPECT_EQ(starter.exe, "");

  ASSERT_TRUE(WriteSetting(fs, SettingsFilePath(program.path()), "设置", "游戏路径", game.path()));
  view.events.clear();
  StartGame(fs, program.path(), starter, view);
  EXPECT_TRUE(view.events.empty());
  EXPECT_EQ(starter.exe, game.path() + "\\WorldOfWarships.exe");
  EXPECT_EQ(starter.folder, game.path());

  starter.succeed = false;
  StartGame(fs, program.path(), starter, view);
  EXPECT_EQ(view.events, (std::vector<std::string>{"msg:" + std::string(text::kGameStartFailed)}));
}

}  // namespace
}  // namespace velmora
