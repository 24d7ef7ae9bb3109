// ole32, oleaut32 and shell32 functions bound by name on their first call. The
// three libraries take a good part of a start-up to load and none is needed
// before the first window (OLE, the web view and the folder browser come later),
// so the program does not import them. Each function keeps the system's name and
// signature; a missing library or name fails it the way the system fails one.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

namespace velmora::win32::late {

HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out);
void CoTaskMemFree(LPVOID p);

BSTR SysAllocString(const OLECHAR* text);
void SysFreeString(BSTR text);
void VariantInit(VARIANTARG* v);

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info);
BOOL SHGetPathFromIDListEx(PCIDLIST_ABSOLUTE pidl, PWSTR path, DWORD chars, GPFIDL_FLAGS flags);

}  // namespace velmora::win32::late
