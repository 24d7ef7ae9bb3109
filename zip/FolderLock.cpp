#include "zip/FolderLock.h"

#include <chrono>
#include <thread>

namespace velmora {

LockResult LockFolder(FileSystem& fs, const std::string& folder, std::unique_ptr<FileLock>& lock,
                      uint32_t waitMs) {
  constexpr uint32_t kStepMs = 50;
  const std::string path = folder + "\\" + std::string(kLockFile);
  LockResult r = fs.LockFile(path, lock);
  // Bounded: one try every 50 ms until the wait is over.
  for (uint32_t waited = 0; r == LockResult::HeldElsewhere && waited < waitMs; waited += kStepMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    r = fs.LockFile(path, lock);
  }
  return r;
}

}  // namespace velmora
