// The shell's folder browser, in UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace velmora::win32 {

// Offers file-system folders only, opened on `initial` when it names a folder.
// Empty when the user cancels.
std::string BrowseForFolder(HWND owner, std::string_view prompt, const std::string& initial);

}  // namespace velmora::win32
