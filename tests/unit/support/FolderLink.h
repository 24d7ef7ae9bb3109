// What the tests need from the host beyond the file-system seam: making a link
// to a folder, and whether permissions bind the user running the tests.
#pragma once

#include <string>

namespace velmora::testing {

// Makes `link` (path text, "\" or "/" separated; its parent must exist) lead to
// the folder `target`: a symbolic link on POSIX; on Windows a junction, which
// needs no privilege, or else an unprivileged directory symbolic link. Throws
// std::runtime_error when the file system can make neither.
void MakeFolderLink(const std::string& target, const std::string& link);

// True when read-only files and folders do not stop this user (root on POSIX).
// The Windows read-only attribute binds administrators too.
bool IsSuperuser();

}  // namespace velmora::testing
