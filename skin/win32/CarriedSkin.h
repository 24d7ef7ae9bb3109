// The attach step of a build that carries a skin (VELMORA_SKIN_LIBRARY and
// VELMORA_SKIN_FILE): the carried library is mapped from memory and attached.
#pragma once

#include "app/DiagnosticsLog.h"
#include "skin/ApplySkin.h"

namespace velmora {

AppliedSkin AttachCarriedSkin(EventLog& log);

}  // namespace velmora
