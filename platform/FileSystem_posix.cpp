// Native half of the file-system seam, for the unit tests on Linux. Windows path
// text maps to POSIX by turning every backslash into a slash ("/tmp/g\\profile"
// becomes "/tmp/g//profile", which POSIX treats like one slash).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

#include "platform/FileSystem.h"

namespace velmora {
namespace {

std::string Native(const std::string& path) {
  std::string p = path;
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

time_t LocalSeconds(const LocalTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override { Close(); }
  bool Write(const void* data, size_t size) override {
    auto p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = ::write(fd_, p, size);
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  bool SetModifiedTime(const LocalTime& t) override {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = LocalSeconds(t);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return fd_ >= 0 && ::futimens(fd_, times) == 0;
  }
  bool Close() override {
    if (fd_ < 0) return true;
    bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~PosixInputFile() override { ::close(fd_); }
  std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size) override {
    ssize_t n = ::pread(fd_, data, size, static_cast<off_t>(offset));
    if (n < 0) return std::nullopt;
    return static_cast<size_t>(n);
  }
  uint64_t Size() const override { return size_; }

 private:
  int fd_;
  uint64_t size_;
};

class PosixFileLock final : public FileLock {
 public:
  PosixFileLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFileLock() override {
    ::unlink(path_.c_str());  // while still held, so no one else's lock goes
    ::close(fd_);
  }

 private:
  int fd_;
  std::string path_;
};

class PosixFileSystem final : public FileSystem {
 public:
  PathKind Kind(const std::string& path) override {
    struct stat st {};
    if (path.empty() || ::lstat(Native(path).c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISLNK(st.st_mode)) return PathKind::Link;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::File;
  }

  std::optional<uint64_t> FileSize(const std::string& path) override {
    struct stat st {};
    if (::stat(Native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
  }

  bool ReadFile(const std::string& path, std::string& bytes) override {
    FILE* f = std::fopen(Native(path).c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
  }

  bool WriteFileAtomic(const std::string& path, std::string_view bytes) override {
    std::string target = Native(path);
    std::string temp = target + ".new~" + std::to_string(std::random_device{}());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    PosixOutputFile out(fd);
    bool ok = out.Write(bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = out.Close() && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
      ::unlink(temp.c_str());
      return false;
    }
    return true;
  }

  std::unique_ptr<OutputFile> OpenForWrite(const std::string& path, bool append) override {
    int flags = O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC);
    int fd = ::open(Native(path).c_str(), flags, 0644);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOutputFile>(fd);
  }

  std::unique_ptr<InputFile> OpenForRead(const std::string& path) override {
    int fd = ::open(Native(path).c_str(), O_RDONLY);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixInputFile>(fd, static_cast<uint64_t>(st.st_size));
  }

  bool RemoveFile(const std::string& path) override {
    return ::unlink(Native(path).c_str()) == 0;
  }

  bool DeleteTree(const std::string& path) override {
    std::string p = Native(path);
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return ::unlink(p.c_str()) == 0;
    ::chmod(p.c_str(), st.st_mode | S_IRWXU);  // a read-only folder is deleted too
    bool ok = true;
    if (DIR* d = ::opendir(p.c_str())) {
      while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        ok = DeleteTree(p + "/" + name) && ok;
      }
      ::closedir(d);
    }
    return ::rmdir(p.c_str()) == 0 && ok;
  }

  bool CreateFolders(const std::string& path) override {
    std::string p = Native(path);
    for (size_t i = 1; i <= p.size(); ++i) {
      if (i == p.size() || p[i] == '/') {
        std::string part = p.substr(0, i);
        struct stat st {};
        if (::stat(part.c_str(), &st) == 0) {
          if (!S_ISDIR(st.st_mode)) return false;
          continue;
        }
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
      }
    }
    return true;
  }

  bool MoveReplace(const std::string& from, const std::string& to) override {
    if (::rename(Native(from).c_str(), Native(to).c_str()) == 0) return true;
    return errno == EXDEV && CopyAcross(from, to) && RemoveFile(from);
  }

  std::optional<std::vector<FolderItem>> ListFolder(const std::string& path) override {
    std::string p = Native(path);
    DIR* d = ::opendir(p.c_str());
    if (!d) return std::nullopt;
    std::vector<FolderItem> items;
    while (dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      items.push_back({name, Kind(p + "/" + name)});
    }
    ::closedir(d);
    return items;
  }

  LockResult LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    const std::string p = Native(path);
    int fd = ::open(p.c_str(), O_RDWR | O_CREAT, 0644);
    if (fd < 0) return LockResult::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool held = errno == EWOULDBLOCK;
      ::close(fd);
      return held ? LockResult::HeldElsewhere : LockResult::Failed;
    }
    lock = std::make_unique<PosixFileLock>(fd, p);
    return LockResult::Locked;
  }

  // Another volume: a streamed copy, as the Windows half's MoveFileExW makes it.
  bool CopyAcross(const std::string& from, const std::string& to) {
    std::unique_ptr<InputFile> in = OpenForRead(from);
    std::unique_ptr<OutputFile> out = in ? OpenForWrite(to, false) : nullptr;
    if (!out) return false;
    std::vector<char> buffer(256 * 1024);
    for (uint64_t at = 0;;) {
      std::optional<size_t> n = in->ReadAt(at, buffer.data(), buffer.size());
      if (!n) return false;
      if (*n == 0) break;
      if (!out->Write(buffer.data(), *n)) return false;
      at += *n;
    }
    return out->Close();
  }

  std::optional<uint64_t> FreeSpace(const std::string& path) override {
    struct statvfs vfs {};
    if (::statvfs(Native(path).c_str(), &vfs) != 0) return std::nullopt;
    return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace velmora
