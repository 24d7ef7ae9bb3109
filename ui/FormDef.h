// Window definitions as data: a window and its units, each with kind, name,
// position, size, flags and text. The form engine realises them; the UI test
// driver finds windows and units by the same definitions, through the
// automation contract at the end of this header.
#pragma once

#include <cstddef>
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
};

// Unit flags: bit 0 visible, bit 1 disabled, bit 2 can take the keyboard focus.
enum UnitFlag : unsigned {
  kNone = 0,
  kVisible = 1u << 0,
  kDisabled = 1u << 1,
  kFocus = 1u << 2,
  // Ours: an edit box the user can read and scroll but not change.
  kReadOnly = 1u << 3,
};

struct UnitDef {
  UnitKind kind;
  std::string_view name;
  int x, y, width, height;  // client coordinates of the window (or of `parent`)
  unsigned flags;
  std::string_view text;
  std::string_view parent = {};  // name of the containing unit, empty for the window
};

struct WindowDef {
  int number;              // 1-based place among the program's definitions
  std::string_view name;   // stable internal name, e.g. "main", "list:mz", "plugin:3"
  std::string_view title;  // empty: no title
  int width, height;       // outer size
  bool framed;             // a top-level window with a frame (pages are frameless children)
  std::span<const UnitDef> units;
};

// A unit as the program's code names it. Made only by CheckedUnit, at compile
// time, from a window's unit table: a name that is not in the table does not
// build, so no handler or text can go to a unit that does not exist.
class UnitName {
 public:
  constexpr std::string_view str() const { return name_; }

 private:
  constexpr explicit UnitName(std::string_view name) : name_(name) {}
  template <std::size_t N>
  friend consteval UnitName CheckedUnit(const UnitDef (&units)[N], std::string_view name);
  std::string_view name_;
};

template <std::size_t N>
consteval UnitName CheckedUnit(const UnitDef (&units)[N], std::string_view name) {
  for (const UnitDef& u : units) {
    if (u.name == name) return UnitName(name);
  }
  throw "no unit of this name in the window's definition";  // not a constant: the build stops
}

inline const UnitDef* FindUnit(const WindowDef& window, std::string_view unitName) {
  for (const UnitDef& u : window.units) {
    if (u.name == unitName) return &u;
  }
  return nullptr;
}

// --- automation contract, shared by the form engine and the UI test driver ---
// Every realised window carries this property, holding its definition's number.
inline constexpr wchar_t kDefinitionProperty[] = L"VelmoraDefinition";
// A unit's control id is kFirstUnitId + its index in the definition.
inline constexpr int kFirstUnitId = 1000;
// Row buttons of a list page are not units; row r has control id kFirstRowButtonId + r.
inline constexpr int kFirstRowButtonId = 2000;

}  // namespace velmora
