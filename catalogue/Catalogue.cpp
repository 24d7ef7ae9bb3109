#include "catalogue/Catalogue.h"

#include <array>

#include "BuildConfig.h"
#include "app/SiteAddresses.h"

namespace velmora {
namespace {

using C = Category;
using Paths = std::span<const std::string_view>;

// Probe paths that several entries share: they read as installed together.
constexpr std::string_view kCrosshair = "\\profile\\gui\\flash\\crosshair_screen.swf";
constexpr std::string_view kShipPreviewsDs = "\\profile\\gui\\ship_previews_ds";
constexpr std::string_view kBattleStatsSwf = "\\profile\\gui\\flash\\battle_stats.swf";
constexpr std::string_view kTrails = "\\profile\\particles\\trails";
constexpr std::string_view kAnimated = "\\profile\\particles\\animated";
constexpr std::string_view kFontsAll = "\\profile\\gui\\flash\\fonts_all.swf";
constexpr std::string_view kMinimapSwf = "\\profile\\gui\\flash\\minimap.swf";
constexpr std::string_view kIconsXml = "\\profile\\icons.xml";
constexpr std::string_view kCamerasConfig = "\\profile\\camerasConfig.xml";
constexpr std::string_view kPostfx = "\\profile\\postfx_animations.xml";

// Removal sets. A path with an extension is a file, one without a folder. Each
// holds its entry's probe path; the uninstall deletes that one last.
constexpr std::string_view kIconsSet[] = {
    "\\profile\\gui\\ship_dead_icons", "\\profile\\gui\\ship_icons",
    "\\profile\\gui\\ship_own_icons",  "\\profile\\gui\\battle_loading.xml",
    "\\profile\\gui\\battle_stats.xml", "\\profile\\gui\\results_screen.xml",
    kBattleStatsSwf,
};
constexpr std::string_view kTechTreeSet[] = {kShipPreviewsDs, "\\profile\\gui\\ship_previews"};
constexpr std::string_view kShipNameSet[] = {
    kFontsAll, "\\profile\\gui\\battle_loading.xml", "\\profile\\gui\\battle_stats.xml",
    "\\profile\\texts\\ru\\LC_MESSAGES\\global.mo", "\\profile\\fontconfig.xml"};
constexpr std::string_view kMinimapSet[] = {kMinimapSwf, "\\profile\\minimapConfig.xml"};
constexpr std::string_view kCrosshairSet[] = {kCrosshair};
constexpr std::string_view kAnimatedSet[] = {kAnimated};
constexpr std::string_view kTrailsSet[] = {kTrails};
constexpr std::string_view kIconsXmlSet[] = {kIconsXml};
constexpr std::string_view kCamerasSet[] = {kCamerasConfig};
constexpr std::string_view kPostfxSet[] = {kPostfx};

constexpr std::string_view kUninstalled = "卸载成功！";
constexpr std::string_view kTechTreeUninstalled = "插件已卸载";

constexpr std::array<CategoryInfo, kCategoryCount> kCategories = {{
    {C::Aiming, "瞄准", "mz", "ICON_MZ", kUninstalled},
    {C::TechTree, "科技树", "kjs", "ICON_KJS", kTechTreeUninstalled},
    {C::Icons, "图标", "tb", "ICON_TB", kUninstalled},
    {C::Shells, "炮弹", "pd", "ICON_PD", kUninstalled},
    {C::Other, "其他", "qt", "ICON_QT", kUninstalled},
}};

constexpr std::string_view kPorter = "作者：外服搬运";
constexpr std::string_view kAimingAuthor = "作者：蓝鲸";
constexpr std::string_view kPacificAuthor = "作者：樱岚";
constexpr std::string_view kShellsAuthor = "作者：炽焰";
constexpr std::string_view kApheAuthor = "作者：晨风";  // also "彩色预览"
constexpr std::string_view kOtherAuthor = "作者：灯塔";

constexpr std::string_view kAimingMissing = "未安装瞄准插件！";
constexpr std::string_view kTechTreeMissing = "未安装插件，请下载安装";
constexpr std::string_view kIconsMissing = "未安装图标插件，请下载安装";
constexpr std::string_view kShellsMissing = "未安装炮弹插件！";

// category, position, name, description, size, credit, stem, probe, removal set,
// not-installed text, forum thread, preview picture
constexpr std::array<CatalogueEntry, kEntryCount> kEntries = {{
    {C::Aiming, 1, "网格瞄准", "密集恐惧症患者慎下", "673K", kPorter, "wgmz", kCrosshair,
     Paths(kCrosshairSet), kAimingMissing, 43433004, "PREVIEW_WGMZ"},
    {C::Aiming, 2, "偏航准星", "长标尺白色偏航参考瞄准", "155K", kPorter, "ckmz", kCrosshair,
     Paths(kCrosshairSet), kAimingMissing, 43341403, "PREVIEW_CKMZ"},
    {C::Aiming, 3, "蓝色科技", "蓝色科技感鹰眼模式内瞄", "394K", kAimingAuthor, "lsmz", kCrosshair,
     Paths(kCrosshairSet), kAimingMissing, 42727543, "PREVIEW_LSMZ"},
    {C::Aiming, 4, "白色精简准星", "白色精简风格准星", "328K", kAimingAuthor, "htmz", kCrosshair,
     Paths(kCrosshairSet), kAimingMissing, 42999549, "PREVIEW_HTMZ"},
    {C::Aiming, 5, "绿色科技", "眼熟的老婆婆风", "122K", kAimingAuthor, "lvmz", kCrosshair,
     Paths(kCrosshairSet), kAimingMissing, 42581277, "PREVIEW_LVMZ"},

    {C::TechTree, 1, "PacificGirls", "PacificGirls科技树图标替换", "9.76M", kPacificAuthor, "PG",
     kShipPreviewsDs, Paths(kTechTreeSet), kTechTreeMissing, 43110800, "PREVIEW_PG"},
    {C::TechTree, 2, "舰C舰N", "根据目前舰N和舰C的制作", "12.1M", kPacificAuthor, "JCJN",
     kShipPreviewsDs, Paths(kTechTreeSet), "未安装插件，请下载安装！", 43102387, "PREVIEW_JCJN"},
    {C::TechTree, 3, "舰C1", "舰队collection系列图标", "2.35M", "作者：北港", "JC1", kShipPreviewsDs,
     Paths(kTechTreeSet), kTechTreeMissing, 43271999, "PREVIEW_JC1"},
    {C::TechTree, 4, "舰C2", "舰队collection系列图标", "5.5M", "作者：秋水", "JC2", kShipPreviewsDs,
     Paths(kTechTreeSet), kTechTreeMissing, 43386461, "PREVIEW_JC2"},

    {C::Icons, 1, "精简图标", "精简风格设计", "1.45M", "作者：海燕、礁石", "xbb", kBattleStatsSwf,
     Paths(kIconsSet), kIconsMissing, 43305579, "PREVIEW_XBB"},
    {C::Icons, 2, "巨响图标", "传统坦克世界风格配色", "1.40M", "作者：远雷", "jx", kBattleStatsSwf,
     Paths(kIconsSet), kIconsMissing, 43305567, "PREVIEW_JX"},
    {C::Icons, 3, "彩字图标", "彩色文字类图标", "923K", "作者：白鸥", "al", kBattleStatsSwf,
     Paths(kIconsSet), kIconsMissing, 43291520, "PREVIEW_AL"},

    {C::Shells, 1, "蓝色火焰", "与炮线插件不冲突，可自选组合安装", "54.9M", kShellsAuthor, "lh",
     kAnimated, Paths(kAnimatedSet), kShellsMissing, 43180919, "PREVIEW_LH"},
    {C::Shells, 2, "蓝色炮线", "所有炮弹轨迹均为蓝色", "3.56M", kShellsAuthor, "lpx", kTrails,
     Paths(kTrailsSet), kShellsMissing, 42918187, "PREVIEW_LPX"},
    {C::Shells, 3, "红色炮线", "所有炮弹轨迹均为红色", "3.56M", "作者：红隼", "hpx", kTrails,
     Paths(kTrailsSet), kShellsMissing, 42873802, "PREVIEW_HPX"},
    {C::Shells, 4, "AP蓝HE红", "AP弹是蓝色HE是红色", "79.2K", kApheAuthor, "aphe", kTrails,
     Paths(kTrailsSet), kShellsMissing, 43291531, "PREVIEW_APHE"},

    {C::Other, 1, "舰名汉化", "舰船名称汉化", "7.77M", kOtherAuthor, "hh", kFontsAll,
     Paths(kShipNameSet), "未安装舰名汉化插件！", 43364915, "PREVIEW_HH"},
    {C::Other, 2, "小地图增强", "小地图显示战舰名称", "191K", kOtherAuthor, "xdtzq", kMinimapSwf,
     Paths(kMinimapSet), "未安装小地图增强插件！", 43367166, "PREVIEW_XDTZQ"},
    {C::Other, 3, "大地图血条", "大地图显示敌人血条", "14.7K", kOtherAuthor, "ddtxt", kIconsXml,
     Paths(kIconsXmlSet), "未安装大地图血条插件！", 43367166, "PREVIEW_DDTXT"},
    {C::Other, 4, "战列舰视角增强", "只限用于战列舰，其他船只无效。", "5.36K", kPorter, "zljsj",
     kCamerasConfig, Paths(kCamerasSet), "未安装战列舰视角增强插件！", 43433022, "PREVIEW_ZLJSJ"},
    {C::Other, 5, "彩色预览", "可以彩色预览没有研发的舰艇！", "0.85K", kApheAuthor, "csyl", kPostfx,
     Paths(kPostfxSet), "未安装彩色预览插件！", 43050036, "PREVIEW_CSYL"},
}};

// Offsets of each category's first row; the table is grouped by category.
constexpr std::array<int, kCategoryCount + 1> kCategoryStart = {0, 5, 9, 12, 16, 21};

constexpr bool GroupedInOrder() {
  for (int c = 0; c < kCategoryCount; ++c) {
    for (int i = kCategoryStart[c]; i < kCategoryStart[c + 1]; ++i) {
      const CatalogueEntry& e = kEntries[static_cast<size_t>(i)];
      if (static_cast<int>(e.category) != c || e.position != i - kCategoryStart[c] + 1) return false;
    }
  }
  return true;
}
static_assert(GroupedInOrder(), "rows grouped by category, positions 1..n in order");

}  // namespace

std::span<const CatalogueEntry> AllEntries() { return kEntries; }

const CatalogueEntry& EntryAt(int index) { return kEntries.at(static_cast<size_t>(index)); }

int IndexOf(const CatalogueEntry& entry) { return static_cast<int>(&entry - kEntries.data()); }

std::span<const CatalogueEntry> EntriesOf(Category category) {
  auto c = static_cast<size_t>(category);
  return std::span(kEntries).subspan(static_cast<size_t>(kCategoryStart.at(c)),
                                     static_cast<size_t>(kCategoryStart[c + 1] - kCategoryStart[c]));
}

std::span<const CategoryInfo> AllCategories() { return kCategories; }

const CategoryInfo& InfoOf(Category category) { return kCategories.at(static_cast<size_t>(category)); }

ArchiveNames ArchiveNamesOf(const CatalogueEntry& entry) {
  std::string file = std::string(entry.stem) + ".zip";
  return {"/wot/wows/cj/" + std::string(InfoOf(entry.category).directory) + "/" + file, "/" + file,
          "\\" + file};
}

std::string ForumThreadPath(uint32_t thread) {
  return "/thread-" + std::to_string(thread) + "-1-1.html";
}

std::string ForumThreadAddress(const CatalogueEntry& entry) {
  return HttpAddress(config::kForumHost, config::kForumPort, ForumThreadPath(entry.forumThread));
}

}  // namespace velmora
