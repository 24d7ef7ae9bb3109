// The file-system seam. Every path is Windows path text in UTF-8, exactly as the
// program joins it ("D:\tools/config.ini", "E:\WoWS\\profile\gui" after a game root
// with a trailing backslash): the Windows half hands it to the W functions, the
// native half used by the unit tests maps the separators.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class PathKind {
  Missing,
  File,
  Folder,
  Link,  // symbolic link or junction: reported as such, never followed
};

// A local date and time as a zip archive stores it.
struct LocalTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct FolderItem {
  std::string name;
  PathKind kind = PathKind::Missing;
};

// A file opened for writing; closed (and flushed) by Close or the destructor.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const void* data, size_t size) = 0;
  // The file's modification time, through the open file (no second open). Call
  // after the last Write: a later write would move it again.
  virtual bool SetModifiedTime(const LocalTime& time) = 0;
  virtual bool Close() = 0;
};

// A file opened for reading at any offset (the zip reader seeks through an
// archive); each reader opens its own.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to `size` bytes at `offset`: the count read, 0 past the end,
  // nothing on a fault.
  virtual std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size) = 0;
  virtual uint64_t Size() const = 0;
};

// A lock on a file that every program on the machine honours; released when
// it goes (and by the system when its program ends, however it ends).
class FileLock {
 public:
  virtual ~FileLock() = default;
};

enum class LockResult {
  Locked,
  HeldElsewhere,  // another program holds it now
  Failed,         // the file cannot be made (a read-only folder, say)
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // What the path names, without following a link at its last component.
  virtual PathKind Kind(const std::string& path) = 0;
  virtual std::optional<uint64_t> FileSize(const std::string& path) = 0;
  virtual bool ReadFile(const std::string& path, std::string& bytes) = 0;
  // Replaces the file as a whole: written beside it and moved over it, so a crash
  // leaves either the old or the new content, never a half-written file.
  virtual bool WriteFileAtomic(const std::string& path, std::string_view bytes) = 0;
  // Opens for writing, truncating (append=false) or after the last byte.
  virtual std::unique_ptr<OutputFile> OpenForWrite(const std::string& path, bool append) = 0;
  virtual std::unique_ptr<InputFile> OpenForRead(const std::string& path) = 0;
  // Deletes one file (or one link); a read-only file is made writable first.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Deletes a folder with everything below it. Links below it are removed as
  // links; what they point to is left alone. Read-only items are deleted too.
  virtual bool DeleteTree(const std::string& path) = 0;
  // Creates the folder and every missing parent.
  virtual bool CreateFolders(const std::string& path) = 0;
  // Moves a file over another, replacing it even when the target is read-only;
  // across volumes the file is copied and the original removed.
  virtual bool MoveReplace(const std::string& from, const std::string& to) = 0;
  virtual std::optional<std::vector<FolderItem>> ListFolder(const std::string& path) = 0;
  // Takes the lock of the file `path` (made when missing, gone when released).
  virtual LockResult LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) = 0;
  // Bytes free for the caller on the volume that holds the path.
  virtual std::optional<uint64_t> FreeSpace(const std::string& path) = 0;
};

// The file system of the machine the program runs on.
FileSystem& NativeFileSystem();

}  // namespace velmora
