// Windows half of the file-system seam: W functions on extended-length paths
// ("\\?\C:\..."), so game folders deeper than MAX_PATH and names outside the
// ANSI code page work on every Windows.
#include <windows.h>

#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/win32/WinHandle.h"
#include "platform/win32/WinText.h"

namespace velmora {
namespace {

// Full, normalised, extended-length form of the program's path text: separators
// unified and doubled ones collapsed (GetFullPathNameW), then the \\?\ prefix.
std::wstring Win32Path(const std::string& path) {
  std::wstring w = Wide(path);
  for (wchar_t& c : w) {
    if (c == L'/') c = L'\\';
  }
  if (w.rfind(L"\\\\?\\", 0) == 0) return w;
  DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) return w;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
  full.resize(n);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

void MakeWritable(const std::wstring& p) {
  DWORD a = GetFileAttributesW(p.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(p.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  }
}

// A local date and time as the file time Windows stores (UTC).
bool ToFileTime(const LocalTime& t, FILETIME& ft) {
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(t.year);
  local.wMonth = static_cast<WORD>(t.month);
  local.wDay = static_cast<WORD>(t.day);
  local.wHour = static_cast<WORD>(t.hour);
  local.wMinute = static_cast<WORD>(t.minute);
  local.wSecond = static_cast<WORD>(t.second);
  SYSTEMTIME utc;
  return TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && SystemTimeToFileTime(&utc, &ft);
}

class WinOutputFile final : public OutputFile {
 public:
  explicit WinOutputFile(FileHandle h) : h_(std::move(h)) {}
  ~WinOutputFile() override { Close(); }
  bool Write(const void* data, size_t size) override {
    auto p = static_cast<const char*>(data);
    while (size > 0) {
      DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!WriteFile(h_.Get(), p, chunk, &written, nullptr) || written == 0) return false;
      p += written;
      size -= written;
    }
    return true;
  }
  bool SetModifiedTime(const LocalTime& t) override {
    FILETIME ft;
    return h_ && ToFileTime(t, ft) && SetFileTime(h_.Get(), nullptr, &ft, &ft);
  }
  // Writes the file's data to the disk; the atomic replace needs it there before
  // the rename, or a power cut could leave the new name over half a file.
  bool Flush() { return h_ && FlushFileBuffers(h_.Get()) != 0; }
  bool Close() override {
    if (!h_) return true;
    return CloseHandle(h_.Release()) != 0;
  }

 private:
  FileHandle h_;
};

class WinInputFile final : public InputFile {
 public:
  WinInputFile(FileHandle h, uint64_t size) : h_(std::move(h)), size_(size) {}
  std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size) override {
    // The offset travels with the call, so no shared file pointer is moved.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (ReadFile(h_.Get(), data, chunk, &got, &at)) return got;
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    return std::nullopt;
  }
  uint64_t Size() const override { return size_; }

 private:
  FileHandle h_;
  uint64_t size_;
};

// Held through a handle that shares nothing; the system deletes the file when
// the handle closes, also when its program dies.
class WinFileLock final : public FileLock {
 public:
  explicit WinFileLock(FileHandle h) : h_(std::move(h)) {}

 private:
  FileHandle h_;
};

bool DeleteTreeW(const std::wstring& p) {
  DWORD a = GetFileAttributesW(p.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(p.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(p.c_str()) != 0;
  // A junction or directory symlink is removed itself; its target is not entered.
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveDirectoryW(p.c_str()) != 0;
  bool ok = true;
  WIN32_FIND_DATAW fd;
  FindHandle find(FindFirstFileExW((p + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                   nullptr, 0));
  if (find) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      ok = DeleteTreeW(p + L"\\" + name) && ok;
    } while (FindNextFileW(find.Get(), &fd));
  }
  return RemoveDirectoryW(p.c_str()) != 0 && ok;
}

class WinFileSystem final : public FileSystem {
 public:
  PathKind Kind(const std::string& path) override {
    if (path.empty()) return PathKind::Missing;
    DWORD a = GetFileAttributesW(Win32Path(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Link;
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
  }

  std::optional<uint64_t> FileSize(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(Win32Path(path).c_str(), GetFileExInfoStandard, &d)) return std::nullopt;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  }

  bool ReadFile(const std::string& path, std::string& bytes) override {
    FileHandle h(CreateFileW(Win32Path(path).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.Get(), &size)) return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      DWORD got = 0;
      if (!::ReadFile(h.Get(), bytes.data() + done, want, &got, nullptr)) return false;
      if (got == 0) break;
      done += got;
    }
    bytes.resize(done);
    return true;
  }

  bool WriteFileAtomic(const std::string& path, std::string_view bytes) override {
    std::wstring target = Win32Path(path);
    std::wstring temp = target + L".new~";
    {
      FileHandle h(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!h) return false;
      WinOutputFile out(std::move(h));
      bool ok = out.Write(bytes.data(), bytes.size()) && out.Flush();
      if (!out.Close() || !ok) {
        DeleteFileW(temp.c_str());
        return false;
      }
    }
    MakeWritable(target);
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      DeleteFileW(temp.c_str());
      return false;
    }
    return true;
  }

  LockResult LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    const std::wstring p = Win32Path(path);
    FileHandle h(CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!h) {
      const DWORD e = GetLastError();
      if (e == ERROR_SHARING_VIOLATION) return LockResult::HeldElsewhere;
      // Access to a lock file that is there is denied while its release
      // deletes it; to one that is not, the folder is not writable.
      const bool there = GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
      return e == ERROR_ACCESS_DENIED && there ? LockResult::HeldElsewhere : LockResult::Failed;
    }
    lock = std::make_unique<WinFileLock>(std::move(h));
    return LockResult::Locked;
  }

  std::unique_ptr<InputFile> OpenForRead(const std::string& path) override {
    FileHandle h(CreateFileW(Win32Path(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!h || !GetFileSizeEx(h.Get(), &size)) return nullptr;
    return std::make_unique<WinInputFile>(std::move(h), static_cast<uint64_t>(size.QuadPart));
  }

  std::unique_ptr<OutputFile> OpenForWrite(const std::string& path, bool append) override {
    FileHandle h(CreateFileW(Win32Path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return nullptr;
    if (append && SetFilePointer(h.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
      return nullptr;
    }
    return std::make_unique<WinOutputFile>(std::move(h));
  }

  bool RemoveFile(const std::string& path) override {
    std::wstring p = Win32Path(path);
    DWORD a = GetFileAttributesW(p.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    MakeWritable(p);
    if ((a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return RemoveDirectoryW(p.c_str()) != 0;
    }
    return DeleteFileW(p.c_str()) != 0;
  }

  bool DeleteTree(const std::string& path) override { return DeleteTreeW(Win32Path(path)); }

  bool CreateFolders(const std::string& path) override {
    std::wstring p = Win32Path(path);
    // Skip the prefix and the volume ("\\?\C:\" or "\\?\UNC\server\share\").
    size_t start = 4;
    if (p.rfind(L"\\\\?\\UNC\\", 0) == 0) {
      start = p.find(L'\\', 8);
      start = start == std::wstring::npos ? p.size() : p.find(L'\\', start + 1);
    } else {
      start = p.find(L'\\', 4);
    }
    if (start == std::wstring::npos) return true;
    for (size_t i = start + 1; i <= p.size(); ++i) {
      if (i == p.size() || p[i] == L'\\') {
        std::wstring part = p.substr(0, i);
        DWORD a = GetFileAttributesW(part.c_str());
        if (a != INVALID_FILE_ATTRIBUTES) {
          if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return false;
          continue;
        }
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
          return false;
        }
      }
    }
    return true;
  }

  bool MoveReplace(const std::string& from, const std::string& to) override {
    std::wstring target = Win32Path(to);
    MakeWritable(target);
    return MoveFileExW(Win32Path(from).c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
  }

  std::optional<std::vector<FolderItem>> ListFolder(const std::string& path) override {
    std::wstring p = Win32Path(path);
    WIN32_FIND_DATAW fd;
    FindHandle find(FindFirstFileExW((p + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                     nullptr, 0));
    if (!find) return std::nullopt;
    std::vector<FolderItem> items;
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      PathKind kind = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? PathKind::Link
                      : (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? PathKind::Folder
                                                                            : PathKind::File;
      items.push_back({Utf8(name), kind});
    } while (FindNextFileW(find.Get(), &fd));
    return items;
  }

  // Measured on the volume the folder's contents really go to: a junction or link
  // on the way is followed (the open handle's final path), and a volume mounted on
  // a folder is found as its own volume (GetVolumePathNameW), not the one that
  // holds the mount point.
  std::optional<uint64_t> FreeSpace(const std::string& path) override {
    std::wstring where = Win32Path(path);
    FileHandle folder(CreateFileW(where.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder) {
      std::wstring real(MAX_PATH, L'\0');
      DWORD n = GetFinalPathNameByHandleW(folder.Get(), real.data(), static_cast<DWORD>(real.size()), 0);
      if (n >= real.size()) {
        real.resize(n + 1);
        n = GetFinalPathNameByHandleW(folder.Get(), real.data(), static_cast<DWORD>(real.size()), 0);
      }
      if (n > 0 && n < real.size()) where.assign(real.data(), n);
    }
    std::wstring volume(where.size() + 2, L'\0');
    if (GetVolumePathNameW(where.c_str(), volume.data(), static_cast<DWORD>(volume.size()))) {
      volume.resize(wcslen(volume.c_str()));
    } else {
      volume = where;
    }
    if (!volume.empty() && volume.back() != L'\\') volume += L'\\';
    ULARGE_INTEGER avail;
    if (!GetDiskFreeSpaceExW(volume.c_str(), &avail, nullptr, nullptr)) return std::nullopt;
    return avail.QuadPart;
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static WinFileSystem fs;
  return fs;
}

}  // namespace velmora
