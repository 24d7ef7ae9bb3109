#include <gtest/gtest.h>

#include "app/WindowDefs.h"
#include "forms/TextLayout.h"

namespace velmora {
namespace {

// 宋体 at 9 pt as 96 DPI draws it: CJK characters 12 pixels, the rest 6.
int Measure(std::string_view s) {
  int w = 0;
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    w += n == 1 ? 6 : 12;
    i += n;
  }
  return w;
}

using Lines = std::vector<std::string>;

TEST(TextLayout, BreaksBetweenCjkCharactersKeepingWordsAndPunctuationWhole) {
  EXPECT_EQ(WrapLines("服务器不支持网络续传", 84, Measure), (Lines{"服务器不支持网", "络续传"}));
  EXPECT_EQ(WrapLines("Internet连接已建立", 84, Measure), (Lines{"Internet连接已", "建立"}));
  EXPECT_EQ(WrapLines("Internet连接已建立", 40, Measure), (Lines{"Intern", "et连接", "已建立"}))
      << "a word wider than a line is broken where it must be";
  EXPECT_EQ(WrapLines("下载速度：", 48, Measure), (Lines{"下载速", "度："})) << "no line starts with ：";
  EXPECT_EQ(WrapLines("已完成：45%  ", 200, Measure), (Lines{"已完成：45%"}));
  EXPECT_EQ(WrapLines("k/S", 40, Measure), (Lines{"k/S"}));
  EXPECT_EQ(WrapLines("", 40, Measure), (Lines{}));
}

std::vector<Box> DefinedBoxes(const WindowDef& w) {
  std::vector<Box> boxes;
  for (const UnitDef& u : w.units) {
    int x = u.x, y = u.y;
    if (const UnitDef* p = u.parent.empty() ? nullptr : FindUnit(w, u.parent)) x += p->x, y += p->y;
    boxes.push_back({x, y, x + u.width, y + u.height});
  }
  return boxes;
}

Box LabelOf(const WindowDef& w, std::string_view name, const Box& client) {
  size_t i = static_cast<size_t>(FindUnit(w, name) - w.units.data());
  return LabelBox(w, i, DefinedBoxes(w), client, 14);
}

TEST(TextLayout, LabelsGrowIntoFreeSpaceWithoutCoveringTheirNeighbours) {
  const WindowDef& page = PluginPageDef(0);
  const Box client{0, 0, 405, 340};
  Box status = LabelOf(page, "标签2", client);
  EXPECT_EQ(status.left, 318) << "a label keeps its origin";
  EXPECT_EQ(status.top, 262);
  EXPECT_GE(status.Width(), 84);
  EXPECT_EQ(status.Height(), 28) << "room for a second line above 按钮2";
  Box caption = LabelOf(page, "标签8", client);
  EXPECT_EQ(caption.right, 149) << "stops before the rate 标签4";
  Box rate = LabelOf(page, "标签4", client);
  EXPECT_EQ(rate.right, 222) << "标签6 lies over it on purpose: it keeps its box";
  Box unit = LabelOf(page, "标签6", client);
  EXPECT_EQ(unit.Height(), 14) << "\"k/S\", 8 pixels high in its definition, gets a line";

  const WindowDef& main = MainWindowDef();
  Box path = LabelOf(main, "标签1", {0, 0, 749, 540});
  EXPECT_EQ(path.right, 251) << "\"游戏路径：\" grows up to 编辑框1";
}

// Every definition: names find one unit, children lie inside their parents, and
// a plug-in page's units lie inside it or, the unused labels, wholly below it.
TEST(TextLayout, EveryShownUnitLiesInsideItsWindowAndParent) {
  for (const WindowDef& w : AllWindows()) {
    const std::vector<Box> boxes = DefinedBoxes(w);
    for (size_t i = 0; i < w.units.size(); ++i) {
      const UnitDef& u = w.units[i];
      EXPECT_EQ(FindUnit(w, u.name), &u) << w.name << " has two units named " << u.name;
      if (const UnitDef* p = u.parent.empty() ? nullptr : FindUnit(w, u.parent)) {
        EXPECT_LE(u.x + u.width, p->width) << u.name << " fits inside " << p->name;
        EXPECT_LE(u.y + u.height, p->height) << u.name;
      }
      if ((u.flags & kVisible) && w.name.starts_with("plugin:")) {
        EXPECT_TRUE(boxes[i].bottom <= w.height || boxes[i].top >= w.height) << w.name << ": " << u.name << " cut";
      }
    }
  }
}

}  // namespace
}  // namespace velmora
