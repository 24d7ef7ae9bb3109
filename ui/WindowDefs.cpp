#include "ui/WindowDefs.h"

#include <array>

#include "BuildConfig.h"
#include "ui/WindowUnits.h"

namespace velmora {
namespace {

using namespace window_units;

constexpr std::string_view kListNames[5] = {"list:mz", "list:kjs", "list:tb", "list:pd", "list:qt"};
// "plugin:0" .. "plugin:20": the pages' stable names, made here once.
struct PluginName {
  char chars[10] = {};
  std::size_t size = 0;
};
constexpr std::array<PluginName, kPluginPageCount> kPluginNames = [] {
  std::array<PluginName, kPluginPageCount> names{};
  for (int i = 0; i < kPluginPageCount; ++i) {
    PluginName& n = names[i];
    for (char c : std::string_view("plugin:")) n.chars[n.size++] = c;
    if (i >= 10) n.chars[n.size++] = static_cast<char>('0' + i / 10);
    n.chars[n.size++] = static_cast<char>('0' + i % 10);
  }
  return names;
}();

constexpr std::array<WindowDef, kWindowCount> MakeWindows() {
  std::array<WindowDef, kWindowCount> w{};
  w[0] = {1, "main", config::kMainTitle, 755, 569, true, kMainUnits};
  w[1] = {2, "news", "", 640, 475, false, kNewsUnits};
  for (int c = 0; c < 5; ++c) {
    w[2 + c] = {3 + c, kListNames[c], "", 640, 475, false, kListUnits[c]};
  }
  for (int i = 0; i < kPluginPageCount; ++i) {
    w[7 + i] = {8 + i, {kPluginNames[i].chars, kPluginNames[i].size}, "下载", 411, 368, true, kPluginUnits};
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
