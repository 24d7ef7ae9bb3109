// One program per program folder: the first Velmora started from a folder
// claims it (a named mutex keyed by the folder's full path) and publishes its
// main window; a second start from the same folder brings that window forward
// and ends. The new version that the self-update starts waits a moment for the
// old one to end instead.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/WinHandle.h"

namespace velmora::win32 {

// The command-line tail of the new version started by the self-update.
inline constexpr char kAfterUpdateArgument[] = "/after-update";

class ProgramFolderClaim {
 public:
  // Claims `programDir`, waiting up to `waitMs` for a program that holds it.
  ProgramFolderClaim(const std::string& programDir, DWORD waitMs);
  ~ProgramFolderClaim();
  ProgramFolderClaim(const ProgramFolderClaim&) = delete;
  ProgramFolderClaim& operator=(const ProgramFolderClaim&) = delete;

  bool Held() const { return held_; }
  // The window a second start brings forward.
  void Publish(HWND mainWindow);
  // For a start that did not get the claim: the first program's main window
  // comes forward (restored only when minimised). False when it has none yet.
  bool BringOwnerForward() const;

 private:
  KernelHandle mutex_;
  KernelHandle mapping_;
  void* view_ = nullptr;
  bool held_ = false;
};

}  // namespace velmora::win32
