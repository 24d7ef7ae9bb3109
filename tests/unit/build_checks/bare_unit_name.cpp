// Must not build: a unit is named only through CheckedUnit.
#include "app/UnitNames.h"
constexpr velmora::UnitName kBare("按钮6");
