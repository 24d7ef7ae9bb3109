// Timing seams the benchmark programs put around the product's own parts, so a
// figure can be split into where its time went: a copy of the WinINet table
// whose send and read calls add up their time, and a file system that adds up
// its writes and removals and notes when its first written file was closed.
// Reading the performance counter costs well under a microsecond a call.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "platform/FileSystem.h"
#include "platform/WinInet.h"

namespace velmora::bench {

inline double NowMs() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct WinInetTimes {
  double sendMs = 0;  // inside HttpSendRequestA: the request sent, the answer's head read
  double readMs = 0;  // inside InternetReadFile
  int reads = 0;
};

namespace detail {
inline WinInetTimes* times = nullptr;
inline WinInetApi system{};

inline wininet::BOOL VELMORA_WINAPI TimedSend(wininet::HINTERNET request, const char* headers,
                                              wininet::DWORD length, void* optional,
                                              wininet::DWORD optionalLength) {
  const double t0 = NowMs();
  wininet::BOOL ok = system.HttpSendRequestA(request, headers, length, optional, optionalLength);
  times->sendMs += NowMs() - t0;
  return ok;
}

inline wininet::BOOL VELMORA_WINAPI TimedRead(wininet::HINTERNET file, void* buffer, wininet::DWORD size,
                                              wininet::DWORD* got) {
  const double t0 = NowMs();
  wininet::BOOL ok = system.InternetReadFile(file, buffer, size, got);
  times->readMs += NowMs() - t0;
  ++times->reads;
  return ok;
}
}  // namespace detail

// The system's table with HttpSendRequestA and InternetReadFile timed into
// `times` (one table per program).
inline const WinInetApi& TimedWinInet(WinInetTimes& times) {
  static WinInetApi timed = [] {
    detail::system = SystemWinInet();
    WinInetApi t = detail::system;
    t.HttpSendRequestA = detail::TimedSend;
    t.InternetReadFile = detail::TimedRead;
    return t;
  }();
  detail::times = &times;
  return timed;
}

// Forwards to another file system, adding up the time spent writing files
// (Write and Close of every file it opens), removing them and moving them. The
// sums are atomic: the unpacking writes its staged files from several threads.
class TimedFileSystem final : public FileSystem {
 public:
  explicit TimedFileSystem(FileSystem& inner) : in_(inner) {}
  std::atomic<double> writeMs{0};
  std::atomic<double> removeMs{0};
  std::atomic<double> moveMs{0};
  std::atomic<double> firstCloseAt{0};  // NowMs() when the first file opened here was closed; 0: none yet

  void Reset() { writeMs = removeMs = moveMs = firstCloseAt = 0; }

  std::unique_ptr<OutputFile> OpenForWrite(const std::string& path, bool append) override {
    struct Timed final : OutputFile {
      Timed(std::unique_ptr<OutputFile> f, TimedFileSystem& o) : file(std::move(f)), owner(o) {}
      bool Write(const void* data, size_t size) override {
        const double t0 = NowMs();
        bool ok = file->Write(data, size);
        owner.writeMs += NowMs() - t0;
        return ok;
      }
      bool SetModifiedTime(const LocalTime& time) override { return file->SetModifiedTime(time); }
      bool Close() override {
        const double t0 = NowMs();
        bool ok = file->Close();
        const double t1 = NowMs();
        owner.writeMs += t1 - t0;
        double none = 0;
        owner.firstCloseAt.compare_exchange_strong(none, t1);
        return ok;
      }
      std::unique_ptr<OutputFile> file;
      TimedFileSystem& owner;
    };
    const double t0 = NowMs();
    std::unique_ptr<OutputFile> f = in_.OpenForWrite(path, append);
    writeMs += NowMs() - t0;
    if (!f) return f;
    return std::make_unique<Timed>(std::move(f), *this);
  }
  bool RemoveFile(const std::string& p) override {
    const double t0 = NowMs();
    bool ok = in_.RemoveFile(p);
    removeMs += NowMs() - t0;
    return ok;
  }
  PathKind Kind(const std::string& p) override { return in_.Kind(p); }
  std::optional<uint64_t> FileSize(const std::string& p) override { return in_.FileSize(p); }
  bool ReadFile(const std::string& p, std::string& b) override { return in_.ReadFile(p, b); }
  std::unique_ptr<InputFile> OpenForRead(const std::string& p) override { return in_.OpenForRead(p); }
  bool WriteFileAtomic(const std::string& p, std::string_view b) override { return in_.WriteFileAtomic(p, b); }
  bool DeleteTree(const std::string& p) override { return in_.DeleteTree(p); }
  bool CreateFolders(const std::string& p) override { return in_.CreateFolders(p); }
  bool MoveReplace(const std::string& f, const std::string& t) override {
    const double t0 = NowMs();
    bool ok = in_.MoveReplace(f, t);
    moveMs += NowMs() - t0;
    return ok;
  }
  std::optional<std::vector<FolderItem>> ListFolder(const std::string& p) override { return in_.ListFolder(p); }
  LockResult LockFile(const std::string& p, std::unique_ptr<FileLock>& l) override { return in_.LockFile(p, l); }
  std::optional<uint64_t> FreeSpace(const std::string& p) override { return in_.FreeSpace(p); }

 private:
  FileSystem& in_;
};

}  // namespace velmora::bench
