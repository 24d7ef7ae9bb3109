// Must not build: 按钮9 is no unit of the main window.
#include "ui/UnitNames.h"
constexpr auto kMisspelled = velmora::CheckedUnit(velmora::window_units::kMainUnits, "按钮9");
