// Windows half of the environment seam.
#include <windows.h>

#include "platform/Environment.h"
#include "platform/win32/WinText.h"

namespace velmora {

std::string EnvironmentText(const char* name) {
  std::wstring wname = Wide(name);
  DWORD n = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(wname.c_str(), value.data(), n);
  value.resize(n);
  return Utf8(value);
}

std::string SystemTempFolder() {
  wchar_t path[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, path);
  if (n == 0 || n > MAX_PATH) return {};
  std::wstring dir(path, n);
  // "C:\" keeps its separator; any other folder loses it.
  while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
  return Utf8(dir);
}

}  // namespace velmora
