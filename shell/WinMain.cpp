// Start-up: platform, the program folder's claim, global state, module
// initialisers, the main window, the message loop until the main window's life
// ends, then release.
#include <windows.h>

#include <commctrl.h>

#include "BuildConfig.h"
#include "platform/win32/CallbackGuard.h"
#include "platform/win32/Com.h"
#include "platform/win32/Process.h"
#include "platform/win32/ProgramFolderClaim.h"
#include "platform/win32/WinText.h"
#include "shell/AppServices.h"
#include "shell/MainWindow.h"
#include "ui/MainWindowTexts.h"
#if VELMORA_CARRIES_SKIN
#include "skin/win32/CarriedSkin.h"
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
  using namespace velmora;
  // 1. The platform. Every DLL loaded from now on comes from the system folder,
  //    never from the program's own (a Downloads folder) or the current one;
  //    the program directory becomes the current folder.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
  const std::string programDir = win32::ProgramDirectory();
  SetCurrentDirectoryW(Wide(programDir).c_str());
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);

  // One program per program folder: a second start brings the first forward
  // and ends. The new version the self-update started waits for the old one,
  // which ends right after starting it.
  const bool afterUpdate = commandLine && Utf8(commandLine).find(win32::kAfterUpdateArgument) != std::string::npos;
  win32::ProgramFolderClaim claim(programDir, afterUpdate ? 10000 : 0);
  if (!claim.Held()) {
    claim.BringOwnerForward();
    return 0;
  }

  int exitCode = 0;
  {
    // 2. Global state lives in this scope and is released after the loop.
    AppServices app(programDir);
    app.log.Hold();  // written once the window is up
    win32::SetCallbackFailureReport([&app](std::string_view what) { app.log.Write(what); });
    app.log.Write("start: Velmora " + std::string(config::kProgramVersion) + " (" + config::kArchitecture + ") in " +
                  programDir);
    // 3. Module initialisers. A build that carries a skin maps its library
    //    and attaches the skin before the first window exists; it stays
    //    mapped until the windows are gone. Without it the program goes on in
    //    the system's look; the log tells which.
#if VELMORA_CARRIES_SKIN
    AppliedSkin skin = AttachCarriedSkin(app.log);
#endif
    // 4. The start-up window, the main window.
    MainWindow main(app);
    if (!main.Create()) {
      MessageBoxW(nullptr, Wide(text::kStartWindowFailed).c_str(), L"Velmora", MB_OK | MB_ICONERROR);
      return 1;
    }
    app.log.Write("start: main window created");
    claim.Publish(main.hwnd());
    ShowWindow(main.hwnd(), showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
    UpdateWindow(main.hwnd());
    app.log.Write("start: main window shown");

    // 5. Until the main window's life ends, and with it every window it owns.
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      HWND root = GetAncestor(msg.hwnd, GA_ROOT);
      if (root && IsDialogMessageW(root, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    exitCode = static_cast<int>(msg.wParam);
  }
  // 6. Released: the global state above (OLE with it, when it was started).
  return exitCode;
}
