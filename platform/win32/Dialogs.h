// Message boxes, the folder browser and process start-up, in UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace velmora::win32 {

void ShowMessageBox(HWND owner, std::string_view text, std::string_view title);
bool AskYesNo(HWND owner, std::string_view text, std::string_view title);

// The shell's folder browser, offering file-system folders only, opened on
// `initial` when it names a folder. Empty when the user cancels.
std::string BrowseForFolder(HWND owner, std::string_view prompt, const std::string& initial);

// Starts `executable` as a new process in `workingFolder` (no arguments, or the
// given command-line tail).
bool StartProcess(const std::string& executable, const std::string& workingFolder,
                  const std::string& arguments = {});

// Runs a command line as a new process (the system searches the program).
bool RunCommandLine(const std::string& commandLine);

// The folder of the program's own executable, without a trailing separator.
std::string ProgramDirectory();

}  // namespace velmora::win32
