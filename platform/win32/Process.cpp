#include "platform/win32/Process.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cwctype>

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

// The file a path names, in one spelling: full, long names, "\\?\" off, lower case.
std::wstring Canonical(std::wstring path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
  path = FullPath(std::move(path));
  DWORD m = GetLongPathNameW(path.c_str(), nullptr, 0);
  if (m > 0) {
    std::wstring longer(m, L'\0');
    m = GetLongPathNameW(path.c_str(), longer.data(), m);
    longer.resize(m);
    path = longer;
  }
  for (wchar_t& c : path) c = static_cast<wchar_t>(std::towlower(c));
  return path;
}

}  // namespace

std::wstring FullPath(std::wstring path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(n);
  return full;
}

bool ProgramRunsFrom(const std::string& executable) {
  const std::wstring wanted = Canonical(Wide(executable));
  FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // INVALID_HANDLE_VALUE on failure
  if (!snapshot) return false;
  const std::wstring name = wanted.substr(wanted.find_last_of(L'\\') + 1);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    std::wstring exe = entry.szExeFile;
    for (wchar_t& c : exe) c = static_cast<wchar_t>(std::towlower(c));
    if (exe != name) continue;  // only a program of that name can be it
    KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (!process) continue;
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (!QueryFullProcessImageNameW(process.Get(), 0, image.data(), &size)) continue;
    image.resize(size);
    if (Canonical(image) == wanted) return true;
  }
  return false;
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
