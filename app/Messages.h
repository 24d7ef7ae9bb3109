// Every message box of the program carries the same title.
#pragma once

#include <string_view>

namespace velmora::text {
inline constexpr std::string_view kMessageTitle = "提示";
}  // namespace velmora::text
