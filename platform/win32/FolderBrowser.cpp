#include "platform/win32/FolderBrowser.h"

#include <shlobj.h>

#include <memory>

#include "platform/win32/CallbackGuard.h"
#include "platform/win32/LateBound.h"
#include "platform/win32/WinText.h"

namespace velmora::win32 {
namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  return Guarded("folder browser", msg, [&] {
    if (msg == BFFM_INITIALIZED && data) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
  }, [] { return 0; });
}

struct PidlDeleter {
  void operator()(ITEMIDLIST* p) const { late::CoTaskMemFree(p); }
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
  std::unique_ptr<ITEMIDLIST, PidlDeleter> pidl(late::SHBrowseForFolderW(&bi));
  if (!pidl) return {};
  std::wstring path(32768, L'\0');
  if (!late::SHGetPathFromIDListEx(pidl.get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    return {};
  }
  path.resize(wcslen(path.c_str()));
  return Utf8(path);
}

}  // namespace velmora::win32
