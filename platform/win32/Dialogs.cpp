#include "platform/win32/Dialogs.h"

#include <shlobj.h>

#include <memory>

#include "platform/WinHandle.h"
#include "platform/WinText.h"

namespace velmora::win32 {

void ShowMessageBox(HWND owner, std::string_view text, std::string_view title) {
  MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), MB_OK | MB_ICONINFORMATION);
}

bool AskYesNo(HWND owner, std::string_view text, std::string_view title) {
  return MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), MB_YESNO | MB_ICONQUESTION) ==
         IDYES;
}

namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

struct PidlDeleter {
  void operator()(ITEMIDLIST* p) const { CoTaskMemFree(p); }
};

}  // namespace

std::string BrowseForFolder(HWND owner, std::string_view prompt, const std::string& initial) {
  std::wstring title = Wide(prompt);
  std::wstring start = Wide(initial);
  BROWSEINFOW bi{};
  bi.hwndOwner = owner;
  bi.lpszTitle = title.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  if (!start.empty()) {
    bi.lpfn = BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(start.c_str());
  }
  std::unique_ptr<ITEMIDLIST, PidlDeleter> pidl(SHBrowseForFolderW(&bi));
  if (!pidl) return {};
  std::wstring path(32768, L'\0');
  if (!SHGetPathFromIDListEx(pidl.get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    return {};
  }
  path.resize(wcslen(path.c_str()));
  return Utf8(path);
}

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

bool RunCommandLine(const std::string& commandLine) {
  return Spawn(nullptr, Wide(commandLine), nullptr);
}

std::string ProgramDirectory() {
  std::wstring path(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) path.resize(slash);
  return Utf8(path);
}

}  // namespace velmora::win32
