#include "ui/WindowDefs.h"

#include <array>

#include "BuildConfig.h"
#include "ui/WindowUnits.h"

namespace velmora {
namespace {

using namespace window_units;

constexpr std::string_view kListNames[5] = {"list:mz", "list:kjs", "list:tb", "list:pd", "list:qt"};
constexpr std::string_view kPluginNames[kPluginPageCount] = {
    "plugin:0",  "plugin:1",  "plugin:2",  "plugin:3",  "plugin:4",  "plugin:5",  "plugin:6",
    "plugin:7",  "plugin:8",  "plugin:9",  "plugin:10", "plugin:11", "plugin:12", "plugin:13",
    "plugin:14", "plugin:15", "plugin:16", "plugin:17", "plugin:18", "plugin:19", "plugin:20"};

constexpr std::array<WindowDef, kWindowCount> MakeWindows() {
  std::array<WindowDef, kWindowCount> w{};
  w[0] = {1, "main", config::kMainTitle, 755, 569, true, kMainUnits};
  w[1] = {2, "news", "", 640, 475, false, kNewsUnits};
  for (int c = 0; c < 5; ++c) {
    w[2 + c] = {3 + c, kListNames[c], "", 640, 475, false, kListUnits[c]};
  }
  for (int i = 0; i < kPluginPageCount; ++i) {
    w[7 + i] = {8 + i, kPluginNames[i], "下载", 411, 368, true, kPluginUnits};
  }
  w[28] = {29, "update", "", 407, 337, true, kUpdateUnits};
  return w;
}

constexpr std::array<WindowDef, kWindowCount> kWindows = MakeWindows();

}  // namespace

std::span<const WindowDef> AllWindows() { return kWindows; }
const WindowDef& MainWindowDef() { return kWindows[0]; }
const WindowDef& NewsPageDef() { return kWindows[1]; }
const WindowDef& ListPageDef(int category) { return kWindows[2 + category]; }
const WindowDef& PluginPageDef(int pluginIndex) { return kWindows[7 + pluginIndex]; }
const WindowDef& UpdateWindowDef() { return kWindows[28]; }

}  // namespace velmora
