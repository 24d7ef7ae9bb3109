// Starting processes, and where the running one lives, in UTF-8.
#pragma once

#include <string>

namespace velmora::win32 {

// Starts `executable` as a new process in `workingFolder` (empty: ours), with an
// optional command-line tail.
bool StartProcess(const std::string& executable, const std::string& workingFolder,
                  const std::string& arguments = {});

// Opens an address in the user's web browser: the command line "explorer " +
// address, run by the system's explorer.exe named by its full path.
bool OpenWithExplorer(const std::string& address);

// Whether a running process was started from exactly this executable file
// (its full path, any case); a program of the same name elsewhere is not it.
bool ProgramRunsFrom(const std::string& executable);

// The full form of a path (GetFullPathNameW): separators unified, "." and ".."
// and a relative start resolved; the path as given when that fails.
std::wstring FullPath(std::wstring path);

// The folder of the program's own executable, without a trailing separator.
std::string ProgramDirectory();
// The file name of the program's own executable ("velmora.exe").
std::string ProgramFileName();

}  // namespace velmora::win32
