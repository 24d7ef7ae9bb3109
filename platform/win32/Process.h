// Starting processes, and where the running one lives, in UTF-8.
#pragma once

#include <string>

namespace velmora::win32 {

// Starts `executable` as a new process in `workingFolder` (empty: ours), with an
// optional command-line tail.
bool StartProcess(const std::string& executable, const std::string& workingFolder,
                  const std::string& arguments = {});

// Runs a command line as a new process (the system searches the program).
bool RunCommandLine(const std::string& commandLine);

// The folder of the program's own executable, without a trailing separator.
std::string ProgramDirectory();
// The file name of the program's own executable ("velmora.exe").
std::string ProgramFileName();

}  // namespace velmora::win32
