#include "platform/Encoding.h"

#include <cstdint>

namespace velmora {

}  // namespace velmora
