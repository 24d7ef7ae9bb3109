#include "platform/win32/ProgramFolderClaim.h"

#include <cstdint>
#include <cwctype>

#include "platform/win32/Process.h"
#include "platform/win32/WinText.h"

namespace velmora::win32 {
namespace {

// "Local\Velmora-<hash>": the same for every spelling of the folder's path
// (separators, case, a relative start), another for every other folder.
std::wstring ClaimName(const std::string& programDir) {
  const std::wstring path = FullPath(Wide(programDir));
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (wchar_t c : path) {
    if (c == L'/') c = L'\\';
    hash = (hash ^ static_cast<uint64_t>(std::towlower(c))) * 1099511628211ull;
  }
  wchar_t text[17];
  swprintf(text, 17, L"%016llx", static_cast<unsigned long long>(hash));
  return std::wstring(L"Local\\Velmora-") + text;
}

}  // namespace

ProgramFolderClaim::ProgramFolderClaim(const std::string& programDir, DWORD waitMs) {
  const std::wstring name = ClaimName(programDir);
  mutex_.Reset(CreateMutexW(nullptr, TRUE, name.c_str()));
  if (!mutex_) return;  // no claim to be had: the program runs unguarded rather than not at all
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    const DWORD got = WaitForSingleObject(mutex_.Get(), waitMs);
    held_ = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;  // abandoned: its program ended
  } else {
    held_ = true;
  }
  mapping_.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(uint64_t),
                                    (name + L"-window").c_str()));
  if (mapping_) view_ = MapViewOfFile(mapping_.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(uint64_t));
}

ProgramFolderClaim::~ProgramFolderClaim() {
  if (view_) {
    if (held_) *static_cast<volatile uint64_t*>(view_) = 0;
    UnmapViewOfFile(view_);
  }
  if (held_) ReleaseMutex(mutex_.Get());
}

void ProgramFolderClaim::Publish(HWND mainWindow) {
  if (held_ && view_) {
    *static_cast<volatile uint64_t*>(view_) = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(mainWindow));
  }
}

bool ProgramFolderClaim::BringOwnerForward() const {
  if (!view_) return false;
  HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(*static_cast<volatile uint64_t*>(view_)));
  if (!owner || !IsWindow(owner)) return false;
  if (IsIconic(owner)) ShowWindow(owner, SW_RESTORE);
  SetForegroundWindow(owner);
  return true;
}

}  // namespace velmora::win32
