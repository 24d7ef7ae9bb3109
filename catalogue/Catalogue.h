// The plug-in catalogue: the 21 built-in plug-ins in five categories, fixed at
// build time. Nothing of it is stored or downloaded; whether an entry is installed
// is read from the game root each time (catalogue/InstalledState.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ui/PluginPageTexts.h"

namespace velmora {

// In the order of the main window's page buttons; the value is the list page's
// index (ListPageDef).
enum class Category : int { Aiming = 0, TechTree = 1, Icons = 2, Shells = 3, Other = 4 };

inline constexpr int kCategoryCount = 5;
inline constexpr int kEntryCount = 21;

struct CategoryInfo {
  Category category;
  std::string_view pageButton;      // "瞄准"
  std::string_view directory;       // "mz": server folder of its archives
  std::string_view iconResource;    // 35x35 PNG shown on every row, "ICON_MZ"
  std::string_view uninstalledText; // after a successful uninstall: "卸载成功！" or "插件已卸载"
};

struct CatalogueEntry {
  Category category;
  int position;  // 1-based row on its list page
  std::string_view displayName;
  std::string_view description;
  std::string_view sizeLabel;     // shown as it stands ("0.85K"), never parsed
  std::string_view authorCredit;  // "作者：" + handle
  std::string_view stem;          // archive name without ".zip", case as on the server
  std::string_view probePath;     // below the game root, "\profile\..."; installed while it exists
  std::span<const std::string_view> removalSet;  // deleted in this order by an uninstall
  std::string_view notInstalledText;
  uint32_t forumThread;
  std::string_view previewResource;  // 405x245 JPEG of the plug-in page, "PREVIEW_WGMZ"
};

// All entries in list order (category by category, rows in position order); an
// entry's index here is its plug-in page's index.
std::span<const CatalogueEntry> AllEntries();
const CatalogueEntry& EntryAt(int index);
int IndexOf(const CatalogueEntry& entry);
// The rows of one list page, in order.
std::span<const CatalogueEntry> EntriesOf(Category category);

std::span<const CategoryInfo> AllCategories();
const CategoryInfo& InfoOf(Category category);

// The names an entry's archive goes by: on the tool server, and as tails joined to
// the program directory (both forms name the same file there).
struct ArchiveNames {
  std::string serverPath;     // "/wot/wows/cj/tb/al.zip"
  std::string slashTail;      // "/al.zip"
  std::string backslashTail;  // "\al.zip"
};
ArchiveNames ArchiveNamesOf(const CatalogueEntry& entry);

// "http://host[:port]/thread-N-1-1.html" on the forum host of the build (":80" left out).
std::string ForumThreadAddress(const CatalogueEntry& entry);
std::string ForumThreadPath(uint32_t thread);  // "/thread-N-1-1.html"

}  // namespace velmora
