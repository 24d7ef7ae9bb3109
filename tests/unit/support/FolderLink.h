// Making a link to a folder, which the file-system seam itself never does.
#pragma once

#include <string>

namespace velmora::testing {

// Makes `link` (path text, "\" or "/" separated; its parent must exist) lead to
// the folder `target`: a symbolic link on POSIX; on Windows a junction, which
// needs no privilege, or else an unprivileged directory symbolic link. Throws
// std::runtime_error when the file system can make neither.
void MakeFolderLink(const std::string& target, const std::string& link);

}  // namespace velmora::testing
