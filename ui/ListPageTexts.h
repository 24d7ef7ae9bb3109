// The texts of a list page, exactly as the user reads them: one home
// for each, so a change of wording is made here and nowhere else.
#pragma once

#include <string_view>

namespace velmora::text {

// The row button: a plug-in that is not installed, one that is.
inline constexpr std::string_view kRowNotInstalled = "详细";
inline constexpr std::string_view kRowInstalled = "已安装";
}  // namespace velmora::text
