#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <functional>

#include "app/Settings.h"
#include "catalogue/InstalledState.h"
#include "catalogue/Uninstall.h"
#include "support/FaultyFileSystem.h"
#include "support/FolderLink.h"
#include "support/RecordingViews.h"
#include "support/TempDir.h"

namespace velmora {
namespace {

namespace fsys = std::filesystem;

// Logs every delete it is asked for, on top of the faults.
class DeleteLog : public testing::FaultyFileSystem {
 public:
  std::vector<std::string> deleted;
  std::function<void()> onDelete;  // runs after each delete
  bool RemoveFile(const std::string& p) override { return Logged(p, FaultyFileSystem::RemoveFile(p)); }
  bool DeleteTree(const std::string& p) override { return Logged(p, FaultyFileSystem::DeleteTree(p)); }

 private:
  bool Logged(const std::string& p, bool ok) {
    deleted.push_back(p);
    if (onDelete) onDelete();
    return ok;
  }
};

const CatalogueEntry& Named(std::string_view name) {
  for (const CatalogueEntry& e : AllEntries()) {
    if (e.displayName == name) return e;
  }
  throw std::runtime_error("no entry " + std::string(name));
}

fsys::path Native(const std::string& windowsText) {
  std::string s = windowsText;
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  return s;
}

struct UninstallTest : ::testing::Test {
  testing::TempDir program, game, outside;
  DeleteLog fs;
  testing::RecordingPage page;

  void SetUp() override { UseGameRoot(game.path()); }
  void UseGameRoot(const std::string& root) {
    ASSERT_TRUE(WriteSetting(fs, SettingsFilePath(program.path()), kSettingsSection, kGameRootKey, root));
  }
  // What an archive of the entry would leave: every path of its removal set, with
  // some content in the folders.
  void Install(const CatalogueEntry& e) {
    for (std::string_view p : e.removalSet) {
      if (p.find('.') == std::string_view::npos) {
        game.WriteFile(std::string(p) + "\\sub\\a.dds", "dds");
      } else {
        game.WriteFile(p, "mod");
      }
    }
  }
  bool Installed(std::string_view name) { return IsInstalled(fs, program.path(), Named(name)); }
  UninstallOutcome Run(std::string_view name) { return Uninstall(fs, program.path(), Named(name), page); }
  void Link(const std::string& target, std::string_view tail) {
    fsys::create_directories(Native(game.Join(tail)).parent_path());
    testing::MakeFolderLink(target, game.Join(tail));
  }
};

TEST_F(UninstallTest, InstalledTestReadsTheProbePathsOnly) {
  for (const CatalogueEntry& e : AllEntries()) EXPECT_FALSE(IsInstalled(fs, program.path(), e)) << e.displayName;

  game.WriteFile("\\profile\\particles\\trails\\blue.xml");  // what 蓝色炮线 brings
  EXPECT_TRUE(Installed("蓝色炮线"));
  EXPECT_TRUE(Installed("红色炮线"));
  EXPECT_TRUE(Installed("AP蓝HE红"));
  EXPECT_FALSE(Installed("蓝色火焰"));
  int installed = 0;
  for (const CatalogueEntry& e : AllEntries()) installed += IsInstalled(fs, program.path(), e);
  EXPECT_EQ(installed, 3);

  ShowInstallState(fs, program.path(), Named("红色炮线"), page);
  ShowInstallState(fs, program.path(), Named("蓝色火焰"), page);
  EXPECT_EQ(page.events, (std::vector<std::string>{"caption:已安装", "caption:安装"}));

  UseGameRoot(game.path() + "\\");  // stored with a trailing backslash
  EXPECT_TRUE(Installed("蓝色炮线"));
  UseGameRoot(game.path() + "\\gone");
  EXPECT_FALSE(Installed("蓝色炮线")) << "game root that does not exist";
}

// The catalogue through what it does: in a game holding every plug-in path (the
// folders with something deep in them), each entry reads as installed, and its
// uninstall removes exactly its own paths, shared ones included.
TEST_F(UninstallTest, EveryEntryRemovesExactlyItsPathsFromAFullGame) {
  using V = std::vector<std::string_view>;
  const V layout = {"\\profile\\camerasConfig.xml", "\\profile\\fontconfig.xml", "\\profile\\icons.xml",
                    "\\profile\\minimapConfig.xml", "\\profile\\postfx_animations.xml",
                    "\\profile\\gui\\battle_loading.xml", "\\profile\\gui\\battle_stats.xml",
                    "\\profile\\gui\\results_screen.xml", "\\profile\\gui\\flash\\battle_stats.swf", "\\profile\\gui\\flash\\crosshair_screen.swf",
                    "\\profile\\gui\\flash\\fonts_all.swf", "\\profile\\gui\\flash\\minimap.swf",
                    "\\profile\\gui\\ship_dead_icons", "\\profile\\gui\\ship_icons", "\\profile\\gui\\ship_own_icons",
                    "\\profile\\gui\\ship_previews", "\\profile\\gui\\ship_previews_ds",
                    "\\profile\\particles\\animated", "\\profile\\particles\\trails",
                    "\\profile\\texts\\ru\\LC_MESSAGES\\global.mo"};
  // Which layout paths (by their index above) each group of entries removes.
  const std::vector<std::pair<V, std::vector<int>>> removes = {
      {{"wgmz", "ckmz", "lsmz", "htmz", "lvmz"}, {9}},       {{"PG", "JCJN", "JC1", "JC2"}, {15, 16}},
      {{"xbb", "jx", "al"}, {5, 6, 7, 8, 12, 13, 14}},      {{"lh"}, {17}},
      {{"lpx", "hpx", "aphe"}, {18}},                       {{"hh"}, {1, 5, 6, 10, 19}},
      {{"xdtzq"}, {3, 11}}, {{"ddtxt"}, {2}}, {{"zljsj"}, {0}}, {{"csyl"}, {4}}};
  int checked = 0;
  for (const auto& [stems, removed] : removes) {
    for (std::string_view stem : stems) {
      const auto e = std::find_if(AllEntries().begin(), AllEntries().end(),
                                  [&](const CatalogueEntry& c) { return c.stem == stem; });
      ASSERT_NE(e, AllEntries().end()) << stem;
      testing::TempDir full;
      UseGameRoot(full.path());
      for (std::string_view p : layout) full.WriteFile(p.find('.') == p.npos ? std::string(p) + "\\x\\y\\a.dds" : p);
      EXPECT_TRUE(IsInstalled(fs, program.path(), *e)) << stem;
      page.events.clear();
      EXPECT_EQ(Uninstall(fs, program.path(), *e, page), UninstallOutcome::Removed) << stem;
      for (int i = 0; i < static_cast<int>(layout.size()); ++i) {
        const bool gone = std::find(removed.begin(), removed.end(), i) != removed.end();
        EXPECT_EQ(full.Exists(layout[static_cast<size_t>(i)]), !gone) << stem << " " << layout[static_cast<size_t>(i)];
      }
      EXPECT_FALSE(IsInstalled(fs, program.path(), *e)) << stem;
      EXPECT_EQ(page.events.front(), e->category == Category::TechTree ? "提示:插件已卸载" : "提示:卸载成功！");
      ++checked;
    }
  }
  EXPECT_EQ(checked, kEntryCount);
}

TEST_F(UninstallTest, PressingUninstallTwice) {
  Install(Named("偏航准星"));
  EXPECT_EQ(Run("网格瞄准"), UninstallOutcome::Removed) << "shared probe path";
  EXPECT_EQ(Run("网格瞄准"), UninstallOutcome::NotInstalled);
  EXPECT_EQ(page.events, (std::vector<std::string>{"提示:卸载成功！", "caption:安装", "提示:未安装瞄准插件！"}));
  EXPECT_FALSE(game.Exists("\\profile\\gui\\flash\\crosshair_screen.swf"));
  EXPECT_TRUE(game.Exists("\\profile\\gui\\flash")) << "only the file goes";
  for (const CatalogueEntry& e : EntriesOf(Category::Aiming)) EXPECT_FALSE(IsInstalled(fs, program.path(), e));
}

TEST_F(UninstallTest, MissingPathsArePassedOverAndNotInstalledDeletesNothing) {
  game.WriteFile("\\profile\\gui\\flash\\minimap.swf");  // minimapConfig.xml never came
  EXPECT_EQ(Run("小地图增强"), UninstallOutcome::Removed);
  EXPECT_EQ(page.events, (std::vector<std::string>{"提示:卸载成功！", "caption:安装"}));

  // A probe path gone by other hands, the rest of the set still there: left alone.
  Install(Named("精简图标"));
  game.WriteFile("\\profile\\minimapConfig.xml");
  std::filesystem::remove(Native(game.Join("\\profile\\gui\\flash\\battle_stats.swf")));
  fs.deleted.clear();
  page.events.clear();
  EXPECT_EQ(Run("精简图标"), UninstallOutcome::NotInstalled);
  EXPECT_EQ(Run("小地图增强"), UninstallOutcome::NotInstalled);
  EXPECT_TRUE(fs.deleted.empty());
  EXPECT_TRUE(game.Exists("\\profile\\gui\\ship_icons\\sub\\a.dds"));
  EXPECT_EQ(page.events,
            (std::vector<std::string>{"提示:未安装图标插件，请下载安装", "提示:未安装小地图增强插件！"}));
}

TEST_F(UninstallTest, TrailingBackslashInTheGameRoot) {
  UseGameRoot(game.path() + "\\");
  Install(Named("舰名汉化"));
  EXPECT_EQ(Run("舰名汉化"), UninstallOutcome::Removed);
  EXPECT_EQ(fs.deleted.back(), game.path() + "\\\\profile\\gui\\flash\\fonts_all.swf") << "probe path last";
  EXPECT_EQ(fs.deleted.size(), 5u);
  EXPECT_FALSE(game.Exists("\\profile\\fontconfig.xml"));
}

// --- safety -----------------------------------------------------------------

TEST_F(UninstallTest, EmptyGameRootTestsAndDeletesNothing) {
  UseGameRoot("");
  for (const CatalogueEntry& e : AllEntries()) {
    EXPECT_FALSE(IsInstalled(fs, program.path(), e));
    Uninstall(fs, program.path(), e, page);
  }
  for (const std::string& p : fs.probed) EXPECT_EQ(p.find("profile"), std::string::npos) << p;
  EXPECT_TRUE(fs.deleted.empty());
  // Messages that differ by one character, as the maker wrote them.
  const std::string aim = "提示:未安装瞄准插件！", tt = "提示:未安装插件，请下载安装",
                    icon = "提示:未安装图标插件，请下载安装", shell = "提示:未安装炮弹插件！";
  EXPECT_EQ(page.events, (std::vector<std::string>{aim, aim, aim, aim, aim, tt, tt + "！", tt, tt, icon, icon, icon,
                                                   shell, shell, shell, shell, "提示:未安装舰名汉化插件！",
                                                   "提示:未安装小地图增强插件！", "提示:未安装大地图血条插件！",
                                                   "提示:未安装战列舰视角增强插件！", "提示:未安装彩色预览插件！"}));
}

TEST_F(UninstallTest, PathsThatWouldLeaveTheGameRootAreRefused) {
  outside.WriteFile("\\victim.xml");
  game.WriteFile("\\profile\\gui\\x.xml");
  const std::string escape = "\\profile\\..\\..\\" + fsys::path(outside.path()).filename().string() + "\\victim.xml";
  ASSERT_TRUE(fsys::exists(Native(game.Join(escape))));
  EXPECT_EQ(FindBelowGameRoot(fs, game.path(), escape).kind, PathKind::Missing);
  EXPECT_EQ(FindBelowGameRoot(fs, game.path(), "profile\\gui\\x.xml").kind, PathKind::Missing);
  EXPECT_EQ(FindBelowGameRoot(fs, game.path(), "\\profile\\gui\\.\\x.xml").kind, PathKind::Missing);
  EXPECT_EQ(FindBelowGameRoot(fs, game.path(), "\\profile\\gui\\x.xml").kind, PathKind::File);
  EXPECT_EQ(FindBelowGameRoot(fs, game.path(), "\\profile\\gui").kind, PathKind::Folder);
}

TEST_F(UninstallTest, LinkInsideARemovedFolderIsRemovedAsALink) {
  outside.WriteFile("\\keep\\a.dds", "precious");
  Install(Named("彩字图标"));
  Link(outside.Join("\\keep"), "\\profile\\gui\\ship_icons\\junction");
  EXPECT_EQ(Run("彩字图标"), UninstallOutcome::Removed);
  EXPECT_FALSE(game.Exists("\\profile\\gui\\ship_icons"));
  EXPECT_EQ(outside.Read("\\keep\\a.dds"), "precious");
}

TEST_F(UninstallTest, LinkAtTheProbePathItselfIsRemovedNotItsTarget) {
  outside.WriteFile("\\trails\\red.xml", "precious");
  Link(outside.Join("\\trails"), "\\profile\\particles\\trails");
  EXPECT_TRUE(Installed("红色炮线"));
  EXPECT_EQ(Run("红色炮线"), UninstallOutcome::Removed);
  EXPECT_FALSE(game.Exists("\\profile\\particles\\trails"));
  EXPECT_EQ(outside.Read("\\trails\\red.xml"), "precious");
}

TEST_F(UninstallTest, NothingIsTestedOrDeletedThroughALinkedFolder) {
  // "\profile\gui" leads out of the game root: what is behind it is not the game's.
  for (std::string_view p : Named("精简图标").removalSet) {
    outside.WriteFile(std::string(p.substr(std::string_view("\\profile\\gui").size())), "precious");
  }
  Link(outside.path(), "\\profile\\gui");
  EXPECT_FALSE(Installed("精简图标"));
  EXPECT_EQ(Run("精简图标"), UninstallOutcome::NotInstalled);
  EXPECT_EQ(outside.Read("\\flash\\battle_stats.swf"), "precious");

  // Ship names installed for real except the texts folder, which is a link out.
  testing::TempDir game2, texts;
  UseGameRoot(game2.path());
  game2.WriteFile("\\profile\\gui\\flash\\fonts_all.swf");
  game2.WriteFile("\\profile\\fontconfig.xml");
  texts.WriteFile("\\ru\\LC_MESSAGES\\global.mo", "precious");
  testing::MakeFolderLink(texts.path(), game2.Join("\\profile\\texts"));
  page.events.clear();
  EXPECT_EQ(Run("舰名汉化"), UninstallOutcome::Removed);
  EXPECT_EQ(texts.Read("\\ru\\LC_MESSAGES\\global.mo"), "precious");
  EXPECT_TRUE(game2.Exists("\\profile\\texts")) << "the link is not one of the set's paths";
  EXPECT_FALSE(game2.Exists("\\profile\\fontconfig.xml"));
}

// In every set of more than one path: a path that cannot be deleted (held open by
// the game) does not stop the others, the probe path stays so the plug-in still
// reads as installed, and the next press removes the rest.
TEST_F(UninstallTest, UndeletablePathKeepsTheProbeUntilTheNextPressFinishes) {
  int checked = 0;
  for (const CatalogueEntry& e : AllEntries()) {
    if (e.removalSet.size() < 2) continue;
    testing::TempDir g;
    UseGameRoot(g.path());
    for (std::string_view p : e.removalSet) g.WriteFile(p.find('.') == p.npos ? std::string(p) + "\\a.dds" : p);
    const std::string_view held = e.removalSet[e.removalSet[0] == e.probePath ? 1 : 0];
    fs.lockedPaths = {g.Join(held)};
    page.events.clear();
    EXPECT_EQ(Uninstall(fs, program.path(), e, page), UninstallOutcome::PartlyRemoved) << e.displayName;
    EXPECT_EQ(page.events, (std::vector<std::string>{
                               "提示:部分插件文件无法删除，游戏可能正在运行，请先关闭游戏再卸载插件", "caption:已安装"}))
        << e.displayName;
    for (std::string_view p : e.removalSet) {
      EXPECT_EQ(g.Exists(p), p == held || p == e.probePath) << e.displayName << " " << p;
    }

    fs.lockedPaths.clear();  // the game has closed
    page.events.clear();
    EXPECT_EQ(Uninstall(fs, program.path(), e, page), UninstallOutcome::Removed) << e.displayName;
    for (std::string_view p : e.removalSet) EXPECT_FALSE(g.Exists(p)) << e.displayName << " " << p;
    EXPECT_EQ(page.events.back(), "caption:安装");
    ++checked;
  }
  EXPECT_EQ(checked, 3 + 4 + 1 + 1) << "icons, tech tree, ship names, minimap";
}

}  // namespace
}  // namespace velmora
