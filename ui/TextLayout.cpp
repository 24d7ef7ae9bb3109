#include "ui/TextLayout.h"

#include "text/Text.h"

#include <algorithm>

namespace velmora {
namespace {

constexpr int kMargin = 2;  // kept free at the client edge

bool Overlaps(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool HasWindow(const UnitDef& u) {
  return u.kind != UnitKind::Timer && (u.flags & kVisible);
}

bool IsWide(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
         (c >= 0x3000 && c <= 0x303F);
}

bool IsClosingPunctuation(char32_t c) {
  switch (c) {
    case U'：': case U'，': case U'。': case U'！': case U'？': case U'；': case U'）': case U'、':
    case U'%':
      return true;
    default:
      return false;
  }
}

// The text as pieces that a line may not split: one CJK character (with the
// closing punctuation after it), a Latin word, or a run of blanks.
std::vector<std::string_view> Pieces(std::string_view s) {
  std::vector<std::string_view> pieces;
  size_t i = 0;
  while (i < s.size()) {
    size_t start = i;
    size_t n = Utf8Length(s, i);
    char32_t c = DecodeUtf8(s, i, n);
    i += n;
    if (IsWide(c)) {
      while (i < s.size()) {
        size_t m = Utf8Length(s, i);
        if (!IsClosingPunctuation(DecodeUtf8(s, i, m))) break;
        i += m;
      }
    } else {
      const bool blank = c == ' ';
      while (i < s.size()) {
        size_t m = Utf8Length(s, i);
        char32_t d = DecodeUtf8(s, i, m);
        if (IsWide(d) || (d == ' ') != blank) break;
        i += m;
      }
    }
    pieces.push_back(s.substr(start, i - start));
  }
  return pieces;
}

}  // namespace

Box LabelBox(const WindowDef& window, size_t index, const std::vector<Box>& boxes, const Box& client,
             int lineHeight, int lines) {
  Box box = boxes[index];
  box.bottom = std::max(box.bottom, box.top + lineHeight);
  for (size_t k = 0; k < window.units.size(); ++k) {
    if (k != index && HasWindow(window.units[k]) && Overlaps(boxes[k], boxes[index])) return box;
  }
  int right = client.right - kMargin;
  for (size_t k = 0; k < window.units.size(); ++k) {
    const Box& o = boxes[k];
    if (k == index || !HasWindow(window.units[k])) continue;
    if (o.top < box.bottom && box.top < o.bottom && o.left >= box.right) right = std::min(right, o.left - 1);
  }
  box.right = std::max(box.right, right);
  int bottom = client.bottom;
  for (size_t k = 0; k < window.units.size(); ++k) {
    const Box& o = boxes[k];
    if (k == index || !HasWindow(window.units[k])) continue;
    if (o.left < box.right && box.left < o.right && o.top >= box.bottom) bottom = std::min(bottom, o.top);
  }
  const int wanted = box.top + lines * lineHeight;
  if (wanted <= bottom) box.bottom = std::max(box.bottom, wanted);
  return box;
}

std::vector<std::string> WrapLines(std::string_view utf8, int width,
                                   const std::function<int(std::string_view)>& measure) {
  std::vector<std::string> lines;
  std::string line;
  auto flush = [&] {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    line.clear();
  };
  for (std::string_view piece : Pieces(utf8)) {
    if (line.empty() && piece[0] == ' ') continue;  // no line starts with a blank
    if (measure(line + std::string(piece)) <= width) {
      line += piece;
      continue;
    }
    flush();
    if (piece[0] == ' ') continue;
    if (measure(piece) <= width) {
      line = std::string(piece);
      continue;
    }
    // A word wider than a line: broken where it must be.
    for (size_t i = 0; i < piece.size();) {
      size_t n = Utf8Length(piece, i);
      std::string next = line + std::string(piece.substr(i, n));
      if (!line.empty() && measure(next) > width) {
        flush();
        next = std::string(piece.substr(i, n));
      }
      line = std::move(next);
      i += n;
    }
  }
  flush();
  return lines;
}

}  // namespace velmora
