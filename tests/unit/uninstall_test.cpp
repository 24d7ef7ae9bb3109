#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <functional>
#include <set>

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

// The catalogue's shape: five categories of rows numbered from 1, 21 entries
// under unique names, each probing a path of its own removal set below \profile.
TEST_F(UninstallTest, TheCatalogueHoldsFiveCategoriesOfUniqueEntries) {
  ASSERT_EQ(AllEntries().size(), static_cast<size_t>(kEntryCount));
  ASSERT_EQ(AllCategories().size(), static_cast<size_t>(kCategoryCount));
  std::set<std::string_view> names, stems;
  for (const CategoryInfo& c : AllCategories()) {
    std::span<const CatalogueEntry> rows = EntriesOf(c.category);
    EXPECT_FALSE(rows.empty()) << c.pageButton;
    for (size_t i = 0; i < rows.size(); ++i) {
      const CatalogueEntry& e = rows[i];
      EXPECT_EQ(e.position, static_cast<int>(i) + 1) << e.displayName;
      EXPECT_TRUE(names.insert(e.displayName).second && stems.insert(e.stem).second) << e.displayName;
      EXPECT_NE(std::find(e.removalSet.begin(), e.removalSet.end(), e.probePath), e.removalSet.end()) << e.stem;
      for (std::string_view p : e.removalSet) {
        EXPECT_TRUE(p.starts_with("\\profile\\") && p.find("..") == p.npos) << e.stem << " " << p;
      }
      EXPECT_TRUE(e.notInstalledText.starts_with("未安装")) << e.stem;
    }
  }
  EXPECT_EQ(names.size(), AllEntries().size());
}

// In a game holding every entry's paths (the folders with something deep in
// them), each entry reads as installed and its uninstall removes exactly its
// own set, shared paths included, and nothing else.
TEST_F(UninstallTest, EveryEntryRemovesExactlyItsSetFromAFullGame) {
  std::set<std::string_view> all;
  for (const CatalogueEntry& e : AllEntries()) all.insert(e.removalSet.begin(), e.removalSet.end());
  for (const CatalogueEntry& e : AllEntries()) {
    testing::TempDir full;
    UseGameRoot(full.path());
    for (std::string_view p : all) full.WriteFile(p.find('.') == p.npos ? std::string(p) + "\\x\\y\\a.dds" : p);
    EXPECT_TRUE(IsInstalled(fs, program.path(), e)) << e.stem;
    page.events.clear();
    EXPECT_EQ(Uninstall(fs, program.path(), e, page), UninstallOutcome::Removed) << e.stem;
    const std::set<std::string_view> own(e.removalSet.begin(), e.removalSet.end());
    for (std::string_view p : all) EXPECT_EQ(full.Exists(p), !own.contains(p)) << e.stem << " " << p;
    EXPECT_FALSE(IsInstalled(fs, program.path(), e)) << e.stem;
    EXPECT_EQ(page.events.front(), "提示:" + std::string(InfoOf(e.category).uninstalledText)) << e.stem;
  }
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
  EXPECT_TRUE(fs.deleted.back().ends_with("\\profile\\gui\\flash\\fonts_all.swf")) << "probe path last";
  for (std::string_view p : Named("舰名汉化").removalSet) EXPECT_FALSE(game.Exists(p)) << p;
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
  ASSERT_EQ(page.events.size(), AllEntries().size()) << "each entry tells it is not installed";
  for (size_t i = 0; i < page.events.size(); ++i) {
    EXPECT_EQ(page.events[i], "提示:" + std::string(AllEntries()[i].notInstalledText));
  }
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
