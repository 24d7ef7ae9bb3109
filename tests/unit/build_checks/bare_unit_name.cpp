// Must not build: a unit is named only through CheckedUnit.
#include "ui/UnitNames.h"
constexpr velmora::UnitName kBare("按钮6");
