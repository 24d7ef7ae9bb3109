#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "BuildConfig.h"
#include "app/SiteAddresses.h"
#include "catalogue/Catalogue.h"

namespace velmora {
namespace {

std::vector<std::string_view> Names(Category c) {
  std::vector<std::string_view> names;
  for (const CatalogueEntry& e : EntriesOf(c)) names.push_back(e.displayName);
  return names;
}

const CatalogueEntry& Named(std::string_view name) {
  for (const CatalogueEntry& e : AllEntries()) {
    if (e.displayName == name) return e;
  }
  throw std::runtime_error("no entry " + std::string(name));
}

using V = std::vector<std::string_view>;

TEST(CatalogueTable, CategoriesInPageButtonOrderWithTheirRows) {
  const V buttons = {"瞄准", "科技树", "图标", "炮弹", "其他"};
  const V dirs = {"mz", "kjs", "tb", "pd", "qt"};
  const size_t counts[] = {5, 4, 3, 4, 5};
  ASSERT_EQ(AllCategories().size(), 5u);
  std::set<std::string_view> icons;
  for (int c = 0; c < kCategoryCount; ++c) {
    const CategoryInfo& info = AllCategories()[static_cast<size_t>(c)];
    EXPECT_EQ(static_cast<int>(info.category), c);
    EXPECT_EQ(&InfoOf(info.category), &info);
    EXPECT_EQ(info.pageButton, buttons[static_cast<size_t>(c)]);
    EXPECT_EQ(info.directory, dirs[static_cast<size_t>(c)]);
    EXPECT_EQ(EntriesOf(info.category).size(), counts[c]) << info.pageButton;
    icons.insert(info.iconResource);
  }
  EXPECT_EQ(icons.size(), 5u) << "each category has its own icon";
  ASSERT_EQ(AllEntries().size(), 21u);
  for (int i = 0; i < kEntryCount; ++i) EXPECT_EQ(IndexOf(EntryAt(i)), i);
  EXPECT_EQ(IndexOf(EntriesOf(Category::Other)[0]), 16) << "plug-in page index of 舰名汉化";
}

TEST(CatalogueTable, RowsInListOrderWithExactTexts) {
  EXPECT_EQ(Names(Category::Aiming), (V{"网格瞄准", "偏航准星", "蓝色科技", "白色精简准星", "绿色科技"}));
  EXPECT_EQ(Names(Category::TechTree), (V{"PacificGirls", "舰C舰N", "舰C1", "舰C2"}));
  EXPECT_EQ(Names(Category::Icons), (V{"精简图标", "巨响图标", "彩字图标"}));
  EXPECT_EQ(Names(Category::Shells), (V{"蓝色火焰", "蓝色炮线", "红色炮线", "AP蓝HE红"}));
  EXPECT_EQ(Names(Category::Other), (V{"舰名汉化", "小地图增强", "大地图血条", "战列舰视角增强", "彩色预览"}));

  V sizes, descriptions;
  for (const CatalogueEntry& e : AllEntries()) {
    sizes.push_back(e.sizeLabel);
    descriptions.push_back(e.description);
  }
  EXPECT_EQ(sizes, (V{"673K", "155K", "394K", "328K", "122K", "9.76M", "12.1M", "2.35M", "5.5M", "1.45M",
                      "1.40M", "923K", "54.9M", "3.56M", "3.56M", "79.2K", "7.77M", "191K", "14.7K",
                      "5.36K", "0.85K"}));
  EXPECT_EQ(descriptions[3], "白色精简风格准星");
  EXPECT_EQ(descriptions[7], "舰队collection系列图标");
  EXPECT_EQ(descriptions[8], descriptions[7]);
  EXPECT_EQ(descriptions[12], "与炮线插件不冲突，可自选组合安装");
  EXPECT_EQ(descriptions[19], "只限用于战列舰，其他船只无效。");
  EXPECT_EQ(descriptions[20], "可以彩色预览没有研发的舰艇！");
}

TEST(CatalogueTable, AuthorCreditsRepeatWhereTheRowAboveIsRepeated) {
  auto credit = [](int i) { return EntryAt(i).authorCredit; };
  for (const CatalogueEntry& e : AllEntries()) {
    EXPECT_EQ(e.authorCredit.substr(0, std::string_view("作者：").size()), "作者：") << e.displayName;
    EXPECT_GT(e.authorCredit.size(), std::string_view("作者：").size()) << e.displayName;
  }
  EXPECT_EQ(credit(0), "作者：外服搬运");
  EXPECT_EQ(credit(1), credit(0));
  EXPECT_NE(credit(2), credit(1));
  EXPECT_EQ(credit(3), credit(2));
  EXPECT_EQ(credit(4), credit(2));
  EXPECT_EQ(credit(6), credit(5)) << "舰C舰N: same as PacificGirls";
  EXPECT_NE(credit(9).find("、"), std::string_view::npos) << "精简图标: two names";
  EXPECT_EQ(credit(13), credit(12)) << "蓝色炮线: same as 蓝色火焰";
  EXPECT_EQ(credit(17), credit(16));
  EXPECT_EQ(credit(18), credit(16));
  EXPECT_EQ(credit(19), "作者：外服搬运");
  EXPECT_EQ(credit(20), credit(15)) << "彩色预览 credits the author of AP蓝HE红";
}

TEST(CatalogueTable, SharedProbePathsAndTheirRemovalSets) {
  std::map<std::string_view, V> byProbe;
  for (const CatalogueEntry& e : AllEntries()) byProbe[e.probePath].push_back(e.stem);
  EXPECT_EQ(byProbe.size(), 10u);
  EXPECT_EQ(byProbe["\\profile\\gui\\flash\\crosshair_screen.swf"], (V{"wgmz", "ckmz", "lsmz", "htmz", "lvmz"}));
  EXPECT_EQ(byProbe["\\profile\\gui\\ship_previews_ds"], (V{"PG", "JCJN", "JC1", "JC2"}));
  EXPECT_EQ(byProbe["\\profile\\gui\\flash\\battle_stats.swf"], (V{"xbb", "jx", "al"}));
  EXPECT_EQ(byProbe["\\profile\\particles\\trails"], (V{"lpx", "hpx", "aphe"}));
  EXPECT_EQ(byProbe["\\profile\\particles\\animated"], (V{"lh"}));

  const V icons = {"\\profile\\gui\\ship_dead_icons",    "\\profile\\gui\\ship_icons",
                   "\\profile\\gui\\ship_own_icons",     "\\profile\\gui\\battle_loading.xml",
                   "\\profile\\gui\\battle_stats.xml",   "\\profile\\gui\\results_screen.xml",
                   "\\profile\\gui\\flash\\battle_stats.swf"};
  const V techTree = {"\\profile\\gui\\ship_previews_ds", "\\profile\\gui\\ship_previews"};
  const V shipNames = {"\\profile\\gui\\flash\\fonts_all.swf", "\\profile\\gui\\battle_loading.xml",
                       "\\profile\\gui\\battle_stats.xml",
                       "\\profile\\texts\\ru\\LC_MESSAGES\\global.mo", "\\profile\\fontconfig.xml"};
  std::set<std::string_view> allPaths;
  for (const CatalogueEntry& e : AllEntries()) {
    V set(e.removalSet.begin(), e.removalSet.end());
    allPaths.insert(set.begin(), set.end());
    if (e.category == Category::Icons) {
      EXPECT_EQ(set, icons) << e.displayName;
    } else if (e.category == Category::TechTree) {
      EXPECT_EQ(set, techTree) << e.displayName;
    } else if (e.stem == "hh") {
      EXPECT_EQ(set, shipNames);
    } else if (e.stem == "xdtzq") {
      EXPECT_EQ(set, (V{"\\profile\\gui\\flash\\minimap.swf", "\\profile\\minimapConfig.xml"}));
    } else {
      EXPECT_EQ(set, V{e.probePath}) << e.displayName;
    }
  }
  // Together they are exactly the paths below the game root that plug-ins use.
  const std::set<std::string_view> layout = {
      "\\profile\\camerasConfig.xml", "\\profile\\fontconfig.xml", "\\profile\\icons.xml",
      "\\profile\\minimapConfig.xml", "\\profile\\postfx_animations.xml",
      "\\profile\\gui\\battle_loading.xml", "\\profile\\gui\\battle_stats.xml",
      "\\profile\\gui\\results_screen.xml", "\\profile\\gui\\flash\\battle_stats.swf",
      "\\profile\\gui\\flash\\crosshair_screen.swf", "\\profile\\gui\\flash\\fonts_all.swf",
      "\\profile\\gui\\flash\\minimap.swf", "\\profile\\gui\\ship_dead_icons",
      "\\profile\\gui\\ship_icons", "\\profile\\gui\\ship_own_icons", "\\profile\\gui\\ship_previews",
      "\\profile\\gui\\ship_previews_ds", "\\profile\\particles\\animated",
      "\\profile\\particles\\trails", "\\profile\\texts\\ru\\LC_MESSAGES\\global.mo"};
  EXPECT_EQ(allPaths, layout);
}

TEST(CatalogueTable, MessagesThatDifferByOneCharacter) {
  V missing;
  for (const CatalogueEntry& e : AllEntries()) missing.push_back(e.notInstalledText);
  const std::string_view aim = "未安装瞄准插件！", tt = "未安装插件，请下载安装",
                         icon = "未安装图标插件，请下载安装", shell = "未安装炮弹插件！";
  EXPECT_EQ(missing, (V{aim, aim, aim, aim, aim, tt, "未安装插件，请下载安装！", tt, tt, icon, icon, icon,
                        shell, shell, shell, shell, "未安装舰名汉化插件！", "未安装小地图增强插件！",
                        "未安装大地图血条插件！", "未安装战列舰视角增强插件！", "未安装彩色预览插件！"}));
  for (const CategoryInfo& c : AllCategories()) {
    EXPECT_EQ(c.uninstalledText, c.category == Category::TechTree ? "插件已卸载" : "卸载成功！");
  }
}

TEST(CatalogueTable, ArchiveNamesForumThreadsAndPictures) {
  std::vector<std::string> serverPaths;
  for (const CatalogueEntry& e : AllEntries()) {
    ArchiveNames n = ArchiveNamesOf(e);
    EXPECT_EQ(n.slashTail, "/" + std::string(e.stem) + ".zip");
    EXPECT_EQ(n.backslashTail, "\\" + std::string(e.stem) + ".zip");
    serverPaths.push_back(n.serverPath);
  }
  const std::vector<std::string> expected = {
      "/wot/wows/cj/mz/wgmz.zip",   "/wot/wows/cj/mz/ckmz.zip",  "/wot/wows/cj/mz/lsmz.zip",
      "/wot/wows/cj/mz/htmz.zip",   "/wot/wows/cj/mz/lvmz.zip",  "/wot/wows/cj/kjs/PG.zip",
      "/wot/wows/cj/kjs/JCJN.zip",  "/wot/wows/cj/kjs/JC1.zip",  "/wot/wows/cj/kjs/JC2.zip",
      "/wot/wows/cj/tb/xbb.zip",    "/wot/wows/cj/tb/jx.zip",    "/wot/wows/cj/tb/al.zip",
      "/wot/wows/cj/pd/lh.zip",     "/wot/wows/cj/pd/lpx.zip",   "/wot/wows/cj/pd/hpx.zip",
      "/wot/wows/cj/pd/aphe.zip",   "/wot/wows/cj/qt/hh.zip",    "/wot/wows/cj/qt/xdtzq.zip",
      "/wot/wows/cj/qt/ddtxt.zip",  "/wot/wows/cj/qt/zljsj.zip", "/wot/wows/cj/qt/csyl.zip"};
  EXPECT_EQ(serverPaths, expected);

  std::map<uint32_t, V> byThread;
  std::set<std::string_view> previews;
  for (const CatalogueEntry& e : AllEntries()) {
    byThread[e.forumThread].push_back(e.displayName);
    previews.insert(e.previewResource);
  }
  EXPECT_EQ(byThread.size(), 20u) << "one thread shared, the others each their own";
  EXPECT_EQ(byThread[43367166], (V{"小地图增强", "大地图血条"}));
  EXPECT_EQ(Named("网格瞄准").forumThread, 43433004u);
  EXPECT_EQ(Named("AP蓝HE红").forumThread, 43291531u);
  EXPECT_EQ(previews.size(), 21u) << "every entry has its own preview picture";

  EXPECT_EQ(HttpAddress("forum.example", 80, ForumThreadPath(43433004)),
            "http://forum.example/thread-43433004-1-1.html");
  EXPECT_EQ(HttpAddress("127.0.0.1", 8081, ForumThreadPath(42581277)),
            "http://127.0.0.1:8081/thread-42581277-1-1.html");
  EXPECT_EQ(ForumThreadAddress(Named("彩色预览")),
            HttpAddress(config::kForumHost, config::kForumPort, "/thread-43050036-1-1.html"));
}

}  // namespace
}  // namespace velmora
