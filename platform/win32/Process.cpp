#include "platform/win32/Process.h"

#include <windows.h>

#include "platform/win32/WinHandle.h"
#include "platform/win32/WinText.h"

namespace velmora::win32 {
namespace {

// A new process that runs on its own: its handles are closed at once.
bool Spawn(const wchar_t* application, std::wstring commandLine, const wchar_t* workingFolder) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder, &si, &pi)) {
    return false;
  }
  KernelHandle process(pi.hProcess), thread(pi.hThread);
  return true;
}

}  // namespace

bool StartProcess(const std::string& executable, const std::string& workingFolder,
                  const std::string& arguments) {
  std::wstring exe = Wide(executable);
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!arguments.empty()) cmd += L" " + Wide(arguments);
  std::wstring cwd = Wide(workingFolder);
  return Spawn(exe.c_str(), std::move(cmd), cwd.empty() ? nullptr : cwd.c_str());
}

bool OpenWithExplorer(const std::string& address) {
  // The system's explorer by its full path: a bare "explorer" would be looked for
  // in the program's folder first.
  wchar_t windows[MAX_PATH];
  UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  std::wstring application = std::wstring(windows, n) + L"\\explorer.exe";
  return Spawn(application.c_str(), L"explorer " + Wide(address), nullptr);
}

namespace {

std::wstring ModulePath() {
  std::wstring path(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  return path;
}

}  // namespace

std::string ProgramDirectory() {
  std::wstring path = ModulePath();
  size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) path.resize(slash);
  return Utf8(path);
}

std::string ProgramFileName() {
  std::wstring path = ModulePath();
  size_t slash = path.find_last_of(L"\\/");
  return Utf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

}  // namespace velmora::win32
