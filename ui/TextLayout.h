// How a label's text is laid out: the room a label takes beyond its defined
// size, and where its text breaks into lines. The definitions give some labels
// less room than their texts need in 宋体 9 pt ("服务器不支持网络续传" in the
// 72-pixel status label); a label keeps its origin and grows into free space,
// to the right and to a second line, so every text can be read in full.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/FormDef.h"

namespace velmora {

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// The box of label `index` of `window`: its defined box (`boxes[index]`, in
// pixels, as the other units' boxes) grown to the right up to the next unit in
// its row or the client edge, and down to `lines` lines of `lineHeight` where
// nothing lies below. A label that another unit overlaps keeps its defined box
// (its neighbour is laid over it on purpose), only made one line high.
Box LabelBox(const WindowDef& window, size_t index, const std::vector<Box>& boxes, const Box& client,
             int lineHeight, int lines = 2);

// Breaks UTF-8 text into lines no wider than `width` as `measure` tells widths:
// between any two CJK characters, at blanks, and inside a Latin word only when
// the word alone is wider than a line. Full-width closing punctuation ("：", "！")
// stays with the character before it.
std::vector<std::string> WrapLines(std::string_view utf8, int width,
                                   const std::function<int(std::string_view)>& measure);

}  // namespace velmora
