#include <gtest/gtest.h>

#include <set>
#include <string>

#include "BuildConfig.h"
#include "app/WindowDefs.h"

namespace velmora {
namespace {

TEST(WindowDefs, InventoryHasTheTwentyNineWindows) {
  auto all = AllWindows();
  ASSERT_EQ(all.size(), 29u);
  int lists = 0, plugins = 0;
  std::set<std::string_view> names;
  for (size_t i = 0; i < all.size(); ++i) {
    const WindowDef& w = all[i];
    lists += w.name.starts_with("list:");
    plugins += w.name.starts_with("plugin:");
    EXPECT_TRUE(names.insert(w.name).second) << "window names identify windows: " << w.name;
    // The UI driver finds a window by this number.
    EXPECT_EQ(w.number, static_cast<int>(i) + 1) << w.name;
  }
  EXPECT_EQ(lists, 5);
  EXPECT_EQ(plugins, 21);
  for (int i = 0; i < kPluginPageCount; ++i) {
    EXPECT_EQ(PluginPageDef(i).name, "plugin:" + std::to_string(i));
  }
  EXPECT_EQ(MainWindowDef().title, "Velmora（Ver 1.1.2）");
  EXPECT_EQ(FindUnit(MainWindowDef(), "标签11")->text, config::kProgramVersion);
}

TEST(WindowDefs, UnitsAreFindableAndConsistent) {
  for (const WindowDef& w : AllWindows()) {
    std::set<std::string_view> names;
    for (const UnitDef& u : w.units) {
      EXPECT_TRUE(names.insert(u.name).second) << w.name << " has two units named " << u.name;
      if (!u.parent.empty()) {
        const UnitDef* p = FindUnit(w, u.parent);
        ASSERT_NE(p, nullptr) << u.name;
        EXPECT_LE(u.x + u.width, p->width) << u.name << " fits inside " << p->name;
        EXPECT_LE(u.y + u.height, p->height);
      }
      bool nonVisual = u.kind == UnitKind::Timer || u.kind == UnitKind::ZipUnit;
      if (nonVisual) EXPECT_EQ(u.flags & kVisible, 0u) << u.name << " has nothing to show";
    }
  }
}

TEST(WindowDefs, MainWindowHidesExactlyItsUnusedUnits) {
  std::set<std::string_view> hidden;
  for (const UnitDef& u : MainWindowDef().units) {
    if (!(u.flags & kVisible)) hidden.insert(u.name);
  }
  EXPECT_EQ(hidden, (std::set<std::string_view>{"标签11", "标签8", "标签9", "标签10", "进度条1",
                                                "ZIP压缩1"}));
  const UnitDef* path = FindUnit(MainWindowDef(), "编辑框1");
  EXPECT_EQ(path->flags, kVisible | kDisabled | kFocus) << "shown, not typed into";
  // The page buttons stand in one column, 32 pixels apart, in page order.
  const char* buttons[] = {"按钮1", "按钮2", "按钮3", "按钮4", "按钮5", "按钮8"};
  const char* captions[] = {"资讯", "瞄准", "科技树", "图标", "炮弹", "其他"};
  for (int i = 0; i < 6; ++i) {
    const UnitDef* b = FindUnit(MainWindowDef(), buttons[i]);
    EXPECT_EQ(b->x, 5);
    EXPECT_EQ(b->y, 8 + 32 * i);
    EXPECT_EQ(b->text, captions[i]);
  }
}

TEST(WindowDefs, PluginPageHasItsWorkingUnitsInsideAndTheUnseenOnesBelow) {
  const WindowDef& page = PluginPageDef(0);
  EXPECT_EQ(page.title, "下载");
  for (std::string_view n : {"图形按钮1", "进度条1", "标签2", "标签8", "标签4", "标签6", "按钮1", "按钮2"}) {
    const UnitDef* u = FindUnit(page, n);
    ASSERT_NE(u, nullptr) << n;
    EXPECT_TRUE(u->flags & kVisible) << n;
    EXPECT_LE(u->y + u->height, page.height) << n << " lies inside the window";
  }
  for (std::string_view n : {"标签1", "标签3", "标签5"}) {
    EXPECT_GE(FindUnit(page, n)->y, page.height) << n << " lies below the lower edge";
  }
  EXPECT_EQ(FindUnit(page, "标签2")->text, "等待下载");
  EXPECT_EQ(FindUnit(page, "按钮1")->text, "安装");
  EXPECT_EQ(FindUnit(page, "标签6")->text, "k/S");
}

}  // namespace
}  // namespace velmora
