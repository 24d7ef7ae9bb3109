// The program's 29 window definitions as data: each window a list of units with
// kind, name, position, size, flags and text. The form engine realises them; the
// UI test driver reads the same tables to find units by name.
#pragma once

#include <span>
#include <string_view>

namespace velmora {

enum class UnitKind {
  Button,
  Label,
  TransparentLabel,
  EditBox,
  GroupBox,
  ProgressBar,
  CheckListBox,
  PictureButton,
  HtmlBrowser,
  Timer,    // non-visual
  ZipUnit,  // non-visual
};

// Unit flags: bit 0 visible, bit 1 disabled, bit 2 can take the keyboard focus.
enum UnitFlag : unsigned {
  kNone = 0,
  kVisible = 1u << 0,
  kDisabled = 1u << 1,
  kFocus = 1u << 2,
};

struct UnitDef {
  UnitKind kind;
  std::string_view name;
  int x, y, width, height;  // client coordinates of the window (or of `parent`)
  unsigned flags;
  std::string_view text;
  std::string_view parent = {};  // name of the containing unit, empty for the window
};

enum class WindowKind { Main, News, ListPage, PluginPage, Update };

struct WindowDef {
  WindowKind kind;
  std::string_view name;   // stable internal name, e.g. "main", "list:mz", "plugin:3"
  std::string_view title;  // empty: no title
  int width, height;       // outer size
  bool framed;             // a top-level window with a frame (pages are frameless children)
  std::span<const UnitDef> units;
  int pluginIndex = -1;    // plug-in pages: index of their catalogue entry (list order)
};

inline constexpr int kWindowCount = 29;
inline constexpr int kPluginPageCount = 21;

std::span<const WindowDef> AllWindows();
const WindowDef& MainWindowDef();
const WindowDef& NewsPageDef();
const WindowDef& UpdateWindowDef();
// Category order of the page buttons: 0 "瞄准" .. 4 "其他".
const WindowDef& ListPageDef(int category);
const WindowDef& PluginPageDef(int pluginIndex);

const UnitDef* FindUnit(const WindowDef& window, std::string_view unitName);

// The version the program shows and compares.
inline constexpr std::string_view kProgramVersion = "1.1.2";

}  // namespace velmora
