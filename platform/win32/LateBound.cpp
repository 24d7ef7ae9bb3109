#include "platform/win32/LateBound.h"

#include <mutex>

#include "platform/win32/WinHandle.h"

namespace velmora::win32::late {
namespace {

enum Library { kOle32, kOleAut32, kShell32, kLibraries };
constexpr const wchar_t* kLibraryNames[kLibraries] = {L"ole32.dll", L"oleaut32.dll", L"shell32.dll"};

// Loaded once for the process, from the system folder only (never beside the
// program), and released when the process ends.
HMODULE Loaded(Library which) {
  static ModuleHandle modules[kLibraries];
  static std::once_flag once[kLibraries];
  std::call_once(once[which], [which] {
    modules[which].Reset(LoadLibraryExW(kLibraryNames[which], nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  });
  return modules[which].Get();
}

// The entry `name` of a library, bound on the first call of each function.
template <typename F>
F* Entry(Library which, const char* name) {
  HMODULE m = Loaded(which);
  return m ? reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

#define VELMORA_LATE(library, function) \
  static auto* const bound = Entry<decltype(::function)>(library, #function)

}  // namespace

HRESULT OleInitialize(LPVOID reserved) {
  VELMORA_LATE(kOle32, OleInitialize);
  return bound ? bound(reserved) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

void OleUninitialize() {
  VELMORA_LATE(kOle32, OleUninitialize);
  if (bound) bound();
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
  VELMORA_LATE(kOle32, CoCreateInstance);
  if (bound) return bound(clsid, outer, context, iid, out);
  *out = nullptr;
  return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

void CoTaskMemFree(LPVOID p) {
  VELMORA_LATE(kOle32, CoTaskMemFree);
  if (bound) bound(p);
}

BSTR SysAllocString(const OLECHAR* text) {
  VELMORA_LATE(kOleAut32, SysAllocString);
  return bound ? bound(text) : nullptr;
}

void SysFreeString(BSTR text) {
  VELMORA_LATE(kOleAut32, SysFreeString);
  if (bound) bound(text);
}

void VariantInit(VARIANTARG* v) {
  VELMORA_LATE(kOleAut32, VariantInit);
  if (bound) {
    bound(v);
  } else {
    *v = VARIANTARG{};  // what VariantInit does: VT_EMPTY
  }
}

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info) {
  VELMORA_LATE(kShell32, SHBrowseForFolderW);
  return bound ? bound(info) : nullptr;
}

BOOL SHGetPathFromIDListEx(PCIDLIST_ABSOLUTE pidl, PWSTR path, DWORD chars, GPFIDL_FLAGS flags) {
  VELMORA_LATE(kShell32, SHGetPathFromIDListEx);
  return bound ? bound(pidl, path, chars, flags) : FALSE;
}

}  // namespace velmora::win32::late
