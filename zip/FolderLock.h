// The lock that every change to a game folder holds (an install's commit, an
// uninstall, the undo of an interrupted install), honoured by every copy of
// Velmora on the machine, wherever it is started from: a file in the folder
// itself, so any spelling of the folder's path meets the same lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace velmora {

inline constexpr std::string_view kLockFile = "velmora-lock~";

// Takes the lock of `folder`, waiting up to `waitMs` while another program
// holds it. Locked: `lock` holds it until it goes.
LockResult LockFolder(FileSystem& fs, const std::string& folder, std::unique_ptr<FileLock>& lock,
                      uint32_t waitMs);

}  // namespace velmora
