// Builds: the same check with a unit the main window has (the control of the two that must not).
#include "ui/UnitNames.h"
constexpr auto kBrowse = velmora::CheckedUnit(velmora::window_units::kMainUnits, "按钮6");
static_assert(kBrowse.str() == velmora::units::main_window::kBrowse.str());
