#include "platform/win32/MessageBox.h"

#include "platform/win32/WinText.h"

namespace velmora::win32 {

void ShowMessageBox(HWND owner, std::string_view text, std::string_view title) {
  MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), MB_OK | MB_ICONINFORMATION);
}

bool AskYesNo(HWND owner, std::string_view text, std::string_view title) {
  return MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), MB_YESNO | MB_ICONQUESTION) ==
         IDYES;
}

}  // namespace velmora::win32
