// The units the program's code touches, named by what they do. Each is checked
// against its window's unit table when the program is compiled
// (ui/FormDef.h, CheckedUnit): a misspelled or missing unit does not build.
#pragma once

#include "ui/WindowUnits.h"

namespace velmora::units {

namespace main_window {
inline constexpr UnitName kNews = CheckedUnit(window_units::kMainUnits, "按钮1");        // "资讯"
inline constexpr UnitName kAiming = CheckedUnit(window_units::kMainUnits, "按钮2");      // "瞄准"
inline constexpr UnitName kTechTree = CheckedUnit(window_units::kMainUnits, "按钮3");    // "科技树"
inline constexpr UnitName kIcons = CheckedUnit(window_units::kMainUnits, "按钮4");       // "图标"
inline constexpr UnitName kShells = CheckedUnit(window_units::kMainUnits, "按钮5");      // "炮弹"
inline constexpr UnitName kOther = CheckedUnit(window_units::kMainUnits, "按钮8");       // "其他"
inline constexpr UnitName kBrowse = CheckedUnit(window_units::kMainUnits, "按钮6");      // "浏览"
inline constexpr UnitName kStartGame = CheckedUnit(window_units::kMainUnits, "按钮7");   // "启动"
inline constexpr UnitName kGameRoot = CheckedUnit(window_units::kMainUnits, "编辑框1");  // the game path
// The page buttons in the order of their pages: news, then the five categories.
inline constexpr UnitName kPageButtons[6] = {kNews, kAiming, kTechTree, kIcons, kShells, kOther};
}  // namespace main_window

namespace news_page {
inline constexpr UnitName kBrowser = CheckedUnit(window_units::kNewsUnits, "超文本浏览框1");
}  // namespace news_page

namespace list_page {
// The check-list box of each category, in category order.
inline constexpr UnitName kLists[5] = {
    CheckedUnit(window_units::kListUnits[0], "列表框"), CheckedUnit(window_units::kListUnits[1], "科技树列表框"),
    CheckedUnit(window_units::kListUnits[2], "图标列表框"), CheckedUnit(window_units::kListUnits[3], "炮弹列表框"),
    CheckedUnit(window_units::kListUnits[4], "其他列表框")};
}  // namespace list_page

namespace plugin_page {
inline constexpr UnitName kPreview = CheckedUnit(window_units::kPluginUnits, "图形按钮1");
inline constexpr UnitName kProgress = CheckedUnit(window_units::kPluginUnits, "进度条1");
inline constexpr UnitName kStatus = CheckedUnit(window_units::kPluginUnits, "标签2");
inline constexpr UnitName kRate = CheckedUnit(window_units::kPluginUnits, "标签4");
inline constexpr UnitName kInstall = CheckedUnit(window_units::kPluginUnits, "按钮1");
inline constexpr UnitName kUninstall = CheckedUnit(window_units::kPluginUnits, "按钮2");
}  // namespace plugin_page

namespace update_window {
inline constexpr UnitName kNotes = CheckedUnit(window_units::kUpdateUnits, "编辑框3");
inline constexpr UnitName kVersion = CheckedUnit(window_units::kUpdateUnits, "标签1");
inline constexpr UnitName kState = CheckedUnit(window_units::kUpdateUnits, "透明标签5");
inline constexpr UnitName kProgress = CheckedUnit(window_units::kUpdateUnits, "进度条1");
inline constexpr UnitName kRate = CheckedUnit(window_units::kUpdateUnits, "透明标签1");
inline constexpr UnitName kShare = CheckedUnit(window_units::kUpdateUnits, "透明标签4");
inline constexpr UnitName kTimer = CheckedUnit(window_units::kUpdateUnits, "时钟1");
}  // namespace update_window

}  // namespace velmora::units
