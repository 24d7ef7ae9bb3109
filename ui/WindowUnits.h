// The units of the program's windows, as data: kind, name, place, size, flags
// and text of each. In a header so that the names the shell uses can be checked
// against them when the program is compiled (ui/UnitNames.h).
#pragma once

#include "BuildConfig.h"
#include "ui/FormDef.h"

namespace velmora::window_units {
namespace detail {
using K = UnitKind;
inline constexpr unsigned V = kVisible, D = kDisabled, F = kFocus;
}  // namespace detail
using namespace detail;

inline constexpr UnitDef kMainUnits[] = {
    {K::Button, "按钮1", 5, 8, 100, 32, V | F, "资讯"},
    {K::Button, "按钮2", 5, 40, 100, 32, V | F, "瞄准"},
    {K::Button, "按钮3", 5, 72, 100, 32, V | F, "科技树"},
    {K::Button, "按钮4", 5, 104, 100, 32, V | F, "图标"},
    {K::Button, "按钮5", 5, 136, 100, 32, V | F, "炮弹"},
    {K::Button, "按钮8", 5, 168, 100, 32, V | F, "其他"},
    {K::Button, "按钮6", 592, 488, 69, 39, V | F, "浏览"},
    {K::Button, "按钮7", 672, 488, 72, 39, V | F, "启动"},
    {K::Label, "标签1", 187, 509, 56, 23, V, "游戏路径："},
    {K::EditBox, "编辑框1", 252, 509, 324, 23, V | D | F, ""},
    // Never shown: it holds the version for the scripts that read it.
    {K::Label, "标签11", 584, 400, 104, 48, kNone, config::kProgramVersion},
};

inline constexpr UnitDef kNewsUnits[] = {
    {K::HtmlBrowser, "超文本浏览框1", 0, 0, 640, 475, V, ""},
};

inline constexpr UnitDef kListUnits[5][1] = {
    {{K::CheckListBox, "列表框", 0, 0, 640, 450, V | F, ""}},
    {{K::CheckListBox, "科技树列表框", 0, 0, 640, 450, V | F, ""}},
    {{K::CheckListBox, "图标列表框", 0, 0, 640, 450, V | F, ""}},
    {{K::CheckListBox, "炮弹列表框", 0, 0, 640, 450, V | F, ""}},
    {{K::CheckListBox, "其他列表框", 0, 0, 640, 450, V | F, ""}},
};

// One layout for all 21 plug-in pages; they differ only in the entry they serve.
inline constexpr UnitDef kPluginUnits[] = {
    {K::PictureButton, "图形按钮1", 0, 0, 405, 245, V, ""},
    {K::ProgressBar, "进度条1", 78, 262, 232, 16, V, ""},
    {K::Label, "标签2", 318, 262, 72, 16, V, "等待下载"},
    {K::Label, "标签8", 86, 286, 56, 16, V, "下载速度："},
    {K::Label, "标签4", 150, 286, 72, 16, V, ""},
    {K::Label, "标签6", 196, 290, 40, 8, V, "k/S"},
    {K::Button, "按钮1", 78, 310, 112, 24, V | F, "安装"},
    {K::Button, "按钮2", 214, 310, 112, 24, V | F, "卸载"},
};

inline constexpr UnitDef kUpdateUnits[] = {
    {K::GroupBox, "分组框1", 8, 56, 384, 200, V, "更新说明"},
    // Read-only rather than disabled: a disabled box greys the notes and cannot
    // be scrolled past its first lines.
    {K::EditBox, "编辑框3", 8, 16, 368, 176, V | kReadOnly, "", "分组框1"},
    {K::Label, "标签1", 148, 16, 118, 32, V, ""},  // the running version, set by the window,
    {K::TransparentLabel, "透明标签5", 24, 16, 104, 32, V, ""},
    {K::ProgressBar, "进度条1", 138, 272, 160, 24, V, ""},
    {K::TransparentLabel, "透明标签1", 13, 272, 107, 24, V, ""},
    {K::TransparentLabel, "透明标签4", 315, 272, 79, 24, V, ""},
    {K::Timer, "时钟1", 0, 0, 0, 0, kNone, ""},
};

}  // namespace velmora::window_units
