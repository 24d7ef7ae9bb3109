// The native file system with faults on chosen paths: deletes that fail as they do
// for a file the running game holds open, moves that fail, and a log of probes;
// and SmallDisk, the same with little free space.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace velmora::testing {

class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& inner = NativeFileSystem()) : inner_(inner) {}

  std::set<std::string> lockedPaths;  // delete/move/write on these fail (paths as given)
  std::vector<std::string> probed;    // every path handed to Kind()
  bool failFolderCreation = false;

  PathKind Kind(const std::string& p) override {
    probed.push_back(p);
    return inner_.Kind(p);
  }
  std::optional<uint64_t> FileSize(const std::string& p) override { return inner_.FileSize(p); }
  bool ReadFile(const std::string& p, std::string& b) override { return inner_.ReadFile(p, b); }
  bool WriteFileAtomic(const std::string& p, std::string_view b) override {
    return !Locked(p) && inner_.WriteFileAtomic(p, b);
  }
  std::unique_ptr<OutputFile> OpenForWrite(const std::string& p, bool append) override {
    return Locked(p) ? nullptr : inner_.OpenForWrite(p, append);
  }
  std::unique_ptr<InputFile> OpenForRead(const std::string& p) override { return inner_.OpenForRead(p); }
  bool RemoveFile(const std::string& p) override { return !Locked(p) && inner_.RemoveFile(p); }
  bool DeleteTree(const std::string& p) override { return !Locked(p) && inner_.DeleteTree(p); }
  bool CreateFolders(const std::string& p) override {
    return !failFolderCreation && inner_.CreateFolders(p);
  }
  bool MoveReplace(const std::string& from, const std::string& to) override {
    return !Locked(from) && !Locked(to) && inner_.MoveReplace(from, to);
  }
  std::optional<std::vector<FolderItem>> ListFolder(const std::string& p) override {
    return inner_.ListFolder(p);
  }
  LockResult LockFile(const std::string& p, std::unique_ptr<FileLock>& l) override { return inner_.LockFile(p, l); }
  std::optional<uint64_t> FreeSpace(const std::string& p) override { return inner_.FreeSpace(p); }

 private:
  bool Locked(const std::string& p) const { return lockedPaths.count(p) > 0; }
  FileSystem& inner_;
};

// A disk with `freeBytes` free, so archives whose stated sizes do not fit are refused.
class SmallDisk : public FaultyFileSystem {
 public:
  explicit SmallDisk(uint64_t freeBytes) : free_(freeBytes) {}
  std::optional<uint64_t> FreeSpace(const std::string&) override { return free_; }

 private:
  uint64_t free_;
};

}  // namespace velmora::testing
