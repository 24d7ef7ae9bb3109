// Message boxes in UTF-8.
#pragma once

#include <windows.h>

#include <string_view>

namespace velmora::win32 {

void ShowMessageBox(HWND owner, std::string_view text, std::string_view title);
// A yes/no question; true for yes.
bool AskYesNo(HWND owner, std::string_view text, std::string_view title);

}  // namespace velmora::win32
