#include <gtest/gtest.h>

#include <functional>

#include "app/Settings.h"
#include "catalogue/Install.h"
#include "net/HttpDownloader.h"
#include "support/FakeDownloader.h"
#include "support/FileAttributes.h"
#include "support/FaultyFileSystem.h"
#include "support/FolderLink.h"
#include "support/RecordingViews.h"
#include "support/ScriptedWinInet.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

namespace velmora {
namespace {

using testing::FakeDownloader;
using testing::FaultyFileSystem;
using testing::Message;
using testing::RecordingInstallView;
using testing::TempDir;
using testing::ZipWriter;

const CatalogueEntry& BlueTrails() {
  for (const CatalogueEntry& e : AllEntries()) {
    if (e.stem == "lpx") return e;
  }
  throw std::logic_error("no lpx entry");
}

std::string TrailsArchive(const std::string& content) {
  ZipWriter zip;
  zip.Add("profile/particles/trails/");
  zip.Add("profile/particles/trails/blue.xml", content);
  return zip.Build();
}

const WinInetApi kNoWinInet{};  // the fake downloader opens no handle

class InstallTest : public ::testing::Test {
 protected:
  InstallTest() {
    game.WriteFile("\\WorldOfWarships.exe", "game");
    SetGameRoot(game.path());
  }
  void SetGameRoot(const std::string& root) {
    ASSERT_TRUE(WriteSetting(NativeFileSystem(), SettingsFilePath(program.path()), kSettingsSection,
                             kGameRootKey, root));
  }
  bool Install(FileSystem& fs = NativeFileSystem()) {
    downloader.fs = &fs;
    return InstallThrough(downloader, kNoWinInet, fs);
  }
  // The worker's part, then what the page shows on the interface thread.
  bool InstallThrough(ArchiveDownloader& d, const WinInetApi& api, FileSystem& fs = NativeFileSystem(),
                      EventLog& log = NoLog()) {
    InstallOutcome outcome = InstallPlugin(fs, program.path(), d, BlueTrails(), view, view.Cancel(api), log);
    ShowInstallOutcome(fs, outcome, &view, &view);
    return outcome.installed;
  }
  bool ArchiveLeft() const { return program.Exists("/lpx.zip"); }

  TempDir program, game;  // two folders: the game root is not below the program
  FakeDownloader downloader;
  RecordingInstallView view;
};

TEST_F(InstallTest, StoresUnpacksMarksAndTellsThenDeletesTheArchive) {
  downloader.content = {TrailsArchive("blue")};
  bool archiveAtMessage = false;
  view.onMessage = [&](const Message&) { archiveAtMessage = ArchiveLeft(); };

  EXPECT_TRUE(Install());
  EXPECT_EQ(downloader.objects, std::vector<std::string>{"/wot/wows/cj/pd/lpx.zip"});
  EXPECT_EQ(game.Read("\\profile\\particles\\trails\\blue.xml"), "blue");
  EXPECT_EQ(view.captions, std::vector<std::string>{"已安装"});
  EXPECT_EQ(view.messages, (std::vector<Message>{{"插件安装完毕", "提示"}}));
  EXPECT_TRUE(archiveAtMessage);  // stored beside the program, deleted after the message
  EXPECT_FALSE(ArchiveLeft());
  EXPECT_EQ(view.statuses, (std::vector<std::string>{"正在解压", "下载完毕"}));
  EXPECT_EQ(view.percents.front(), 50);  // entry by entry
  EXPECT_EQ(view.percents.back(), 100);
}

TEST_F(InstallTest, EmptyDownloadWritesNothingAndLeavesThePage) {
  EXPECT_FALSE(Install());
  EXPECT_EQ(downloader.objects.size(), 1u);
  EXPECT_FALSE(ArchiveLeft());
  EXPECT_FALSE(game.Exists("\\profile"));
  EXPECT_TRUE(view.captions.empty());
  EXPECT_EQ(view.messages, (std::vector<Message>{{"插件下载失败，请检查网络连接后重试。", "提示"}}));
}

TEST_F(InstallTest, InstallingTwiceReplacesTheFilesAndKeepsTheCaption) {
  downloader.content = {TrailsArchive("first"), TrailsArchive("second")};
  EXPECT_TRUE(Install());
  testing::MakeReadOnly(game.Join("\\profile\\particles\\trails\\blue.xml"));
  EXPECT_TRUE(Install());
  EXPECT_EQ(game.Read("\\profile\\particles\\trails\\blue.xml"), "second");
  EXPECT_EQ(view.captions, (std::vector<std::string>{"已安装", "已安装"}));
  EXPECT_EQ(view.messages.size(), 2u);
  EXPECT_FALSE(ArchiveLeft());
}

TEST_F(InstallTest, WithoutAValidGameRootNothingIsDownloaded) {
  for (const std::string& root : {std::string(), program.path(), game.Join("\\missing")}) {
    SetGameRoot(root);
    view.messages.clear();
    EXPECT_FALSE(Install());
    EXPECT_EQ(view.messages, (std::vector<Message>{{"请先设置游戏目录，再安装插件", "提示"}})) << root;
  }
  EXPECT_TRUE(downloader.objects.empty());
  EXPECT_TRUE(view.captions.empty());
}

TEST_F(InstallTest, AGameFolderThatGoesDuringTheDownloadIsToldAsMissing) {
  downloader.content = {TrailsArchive("again")};
  downloader.during = [&] { NativeFileSystem().DeleteTree(game.path()); };
  EXPECT_FALSE(Install());
  EXPECT_EQ(view.messages.at(0).text, "请先设置游戏目录，再安装插件");
  EXPECT_EQ(view.statuses.back(), "安装失败");
  EXPECT_FALSE(ArchiveLeft());
}

TEST_F(InstallTest, FailedUnpackingIsToldAndTheArchiveStillDeleted) {
  FaultyFileSystem locked;
  testing::SmallDisk small(1000);
  struct Case {
    const char* what;
    std::string archive;
    FileSystem* fs;
    std::string_view text;
  };
  auto beside = [](const char* name) {
    ZipWriter zip;
    zip.Add("profile/particles/trails/blue.xml", "new");
    zip.Add(name, "a stranger's program");
    return zip.Build();
  };
  std::vector<Case> cases = {
      {"not a zip", "<html>404</html>", &NativeFileSystem(), text::kUnpackFailed},
      {"leaves the target", beside("../outside.xml"), &NativeFileSystem(), text::kArchiveRefused},
      {"replaces the game", beside("WorldOfWarships.exe"), &NativeFileSystem(), text::kArchiveRefused},
      {"beside the game", beside("bin/evil.dll"), &NativeFileSystem(), text::kArchiveRefused},
      {"a file named profile", beside("Profile"), &NativeFileSystem(), text::kArchiveRefused},
      {"short-name alias", beside("PROFIL~1/gui/x.xml"), &NativeFileSystem(), text::kArchiveRefused},
      {"game running", TrailsArchive("new"), &locked, text::kGameFilesInUse},
      {"disk full", TrailsArchive(std::string(5000, 'x')), &small, text::kNoDiskSpace},
  };
  game.WriteFile("\\profile\\particles\\trails\\blue.xml", "old");
  locked.lockedPaths.insert(game.path() + "\\profile\\particles\\trails\\blue.xml");
  for (const Case& c : cases) {
    downloader.content.push_back(c.archive);
    view.messages.clear();
    EXPECT_FALSE(Install(*c.fs)) << c.what;
    EXPECT_EQ(view.messages, (std::vector<Message>{{std::string(c.text), "提示"}})) << c.what;
    EXPECT_EQ(view.statuses.back(), "安装失败") << c.what << ": the failure, not 正在解压";
    EXPECT_FALSE(ArchiveLeft()) << c.what;
    EXPECT_EQ(game.Read("\\profile\\particles\\trails\\blue.xml"), "old") << c.what;
    EXPECT_EQ(game.Read("\\WorldOfWarships.exe"), "game") << c.what;
    EXPECT_FALSE(game.Exists("\\bin")) << c.what;
  }
  EXPECT_TRUE(view.captions.empty());
}

TEST_F(InstallTest, LinkedFolderInTheGameRootIsToldAndNotWrittenThrough) {
  // A player who moved "\profile\particles" to another disk: nothing is written
  // through the link, and the user learns why, not that the archive is broken.
  TempDir elsewhere;
  elsewhere.WriteFile("\\kept.txt", "mine");
  game.MakeFolder("\\profile");
  testing::MakeFolderLink(elsewhere.path(), game.path() + "/profile/particles");
  downloader.content.push_back(TrailsArchive("new"));
  EXPECT_FALSE(Install());
  EXPECT_EQ(view.messages, (std::vector<Message>{{std::string(text::kLinkInGameRoot), "提示"}}));
  EXPECT_FALSE(ArchiveLeft());
  EXPECT_FALSE(elsewhere.Exists("\\trails"));
  EXPECT_EQ(elsewhere.Read("\\kept.txt"), "mine");
}

TEST_F(InstallTest, StoppedUnpackingOrUnwritableProgramFolderChangesNothing) {
  downloader.content = {TrailsArchive("blue"), TrailsArchive("blue")};
  view.onPiece = [](int) { return false; };  // the page closed at the first entry
  EXPECT_FALSE(Install());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(ArchiveLeft());

  FaultyFileSystem fs;
  fs.lockedPaths.insert(program.path() + "/lpx.zip");
  EXPECT_FALSE(Install(fs));
  EXPECT_EQ(view.messages, (std::vector<Message>{{"插件保存失败，请检查程序目录是否可写", "提示"}}));
  EXPECT_FALSE(game.Exists("\\profile"));
  EXPECT_TRUE(view.captions.empty());
}

TEST_F(InstallTest, ThroughTheRealDownloaderLeavingATraceInTheLog) {
  struct Lines : EventLog {
    std::vector<std::string> lines;
    void Write(std::string_view e) override { lines.emplace_back(e); }
  } log;
  testing::ScriptedWinInet server;
  const std::string archive = TrailsArchive("over http");
  server.answers.push_back(testing::ScriptedAnswer::Whole(404, "<html>gone</html>"));
  server.answers.push_back(testing::ScriptedAnswer::Whole(206, archive, 1000));
  TempDir tmp;
  DownloadSettings settings;
  settings.log = [&log](const std::string& line) { log.Write(line); };
  RequestOptions tools;
  tools.host = "tools.test";
  HttpDownloader http(server.Api(), NativeFileSystem(), tools, tmp.path(), settings);
  EXPECT_FALSE(InstallThrough(http, server.Api(), NativeFileSystem(), log));
  EXPECT_EQ(view.messages.at(0).text, "插件下载失败，请检查网络连接后重试。");
  EXPECT_TRUE(InstallThrough(http, server.Api(), NativeFileSystem(), log));
  ASSERT_EQ(server.requests.size(), 2u);
  EXPECT_EQ(server.requests[0].object, "/wot/wows/cj/pd/lpx.zip");
  EXPECT_EQ(game.Read("\\profile\\particles\\trails\\blue.xml"), "over http");
  EXPECT_FALSE(ArchiveLeft());
  const std::string size = std::to_string(archive.size());
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "download /wot/wows/cj/pd/lpx.zip from 0: status 404, 0 bytes, ErrorStatus, error 0",
                           "install lpx: download ErrorStatus",
                           "download /wot/wows/cj/pd/lpx.zip from 0: status 206, " + size +
                               " bytes, Completed, error 0",
                           "install lpx: installed (" + size + " bytes into " + game.path() + ")"}));
}

}  // namespace
}  // namespace velmora
