// The program's 29 window definitions: the main window, the news page, five list
// pages, 21 plug-in pages and the update window.
#pragma once

#include <span>

#include "ui/FormDef.h"

namespace velmora {

inline constexpr int kWindowCount = 29;
inline constexpr int kPluginPageCount = 21;

std::span<const WindowDef> AllWindows();
const WindowDef& MainWindowDef();
const WindowDef& NewsPageDef();
const WindowDef& UpdateWindowDef();
// Category order of the page buttons: 0 "瞄准" .. 4 "其他".
const WindowDef& ListPageDef(int category);
const WindowDef& PluginPageDef(int pluginIndex);

}  // namespace velmora
