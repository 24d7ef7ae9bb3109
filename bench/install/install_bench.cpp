// Installs the 54.9M plug-in (蓝色火焰, lh.zip) through the real pipeline and
// WinINet from a local server, once per line read from stdin (so the driver can
// run the other sides between runs, under the same load), printing each run's
// time and its steps; at the end of input, the program's peak memory.
//   install_bench --host H --port P --program DIR --game DIR --tmp DIR
//
// Per run: "run N ok 1 total_ms T download_ms D store_ms S unpack_ms U finish_ms F":
// the download (request to content in memory, temporary file deleted), storing
// the archive beside the program (to the stored file closed), unpacking (checks,
// staging, entries, up to the last entry's progress) and the rest (placing the
// staged files, clean-up, the page's texts, the stored archive deleted).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "catalogue/Install.h"
#include "net/HttpDownloader.h"
#include "platform/FileSystem.h"
#include "platform/win32/WinText.h"

namespace {

using namespace velmora;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

class QuietView : public InstallView {
 public:
  std::vector<std::string> messages;
  double lastUnpackMs = 0;
  void SetInstallCaption(std::string_view) override {}
  void ShowMessage(std::string_view text, std::string_view) override { messages.emplace_back(text); }
  void SetStatus(std::string_view) override {}
  void SetProgress(int) override {}
  void SetRate(std::string_view) override {}
  bool KeepGoing() override { return true; }
  bool OnUnpackProgress(const UnpackProgress& p) override {
    if (p.done == p.total) lastUnpackMs = NowMs();
    return true;
  }
};

// Times the download inside the pipeline.
class TimedDownloader : public ArchiveDownloader {
 public:
  explicit TimedDownloader(ArchiveDownloader& inner) : inner_(inner) {}
  double endMs = 0;
  std::string Download(const std::string& object, bool resume, DownloadView& view) override {
    std::string content = inner_.Download(object, resume, view);
    endMs = NowMs();
    return content;
  }

 private:
  ArchiveDownloader& inner_;
};

// The pipeline's file system, noting when the first file it writes (the stored
// archive: the downloader has a file system of its own) is closed.
class TimedFileSystem final : public FileSystem {
 public:
  explicit TimedFileSystem(FileSystem& inner) : in_(inner) {}
  double firstCloseMs = 0;

  std::unique_ptr<OutputFile> OpenForWrite(const std::string& path, bool append) override {
    struct Timed final : OutputFile {
      Timed(std::unique_ptr<OutputFile> f, double& at) : file(std::move(f)), closedAt(at) {}
      bool Write(const void* data, size_t size) override { return file->Write(data, size); }
      bool SetModifiedTime(const LocalTime& time) override { return file->SetModifiedTime(time); }
      bool Close() override {
        bool ok = file->Close();
        if (closedAt == 0) closedAt = NowMs();
        return ok;
      }
      std::unique_ptr<OutputFile> file;
      double& closedAt;
    };
    std::unique_ptr<OutputFile> f = in_.OpenForWrite(path, append);
    if (!f) return f;
    return std::make_unique<Timed>(std::move(f), firstCloseMs);
  }
  PathKind Kind(const std::string& p) override { return in_.Kind(p); }
  std::optional<uint64_t> FileSize(const std::string& p) override { return in_.FileSize(p); }
  bool ReadFile(const std::string& p, std::string& b) override { return in_.ReadFile(p, b); }
  bool WriteFileAtomic(const std::string& p, std::string_view b) override { return in_.WriteFileAtomic(p, b); }
  bool RemoveFile(const std::string& p) override { return in_.RemoveFile(p); }
  bool DeleteTree(const std::string& p) override { return in_.DeleteTree(p); }
  bool CreateFolders(const std::string& p) override { return in_.CreateFolders(p); }
  bool MoveReplace(const std::string& f, const std::string& t) override { return in_.MoveReplace(f, t); }
  bool SetModifiedTime(const std::string& p, const LocalTime& t) override { return in_.SetModifiedTime(p, t); }
  std::optional<LocalTime> ModifiedTime(const std::string& p) override { return in_.ModifiedTime(p); }
  bool SetReadOnly(const std::string& p, bool r) override { return in_.SetReadOnly(p, r); }
  std::optional<std::vector<FolderItem>> ListFolder(const std::string& p) override { return in_.ListFolder(p); }
  std::optional<uint64_t> FreeSpace(const std::string& p) override { return in_.FreeSpace(p); }

 private:
  FileSystem& in_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::string host = "127.0.0.1", program, game, tmp;
  int port = 80;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string key = Utf8(argv[i]), value = Utf8(argv[i + 1]);
    if (key == "--host") host = value;
    else if (key == "--port") port = std::stoi(value);
    else if (key == "--program") program = value;
    else if (key == "--game") game = value;
    else if (key == "--tmp") tmp = value;
  }
  FileSystem& fs = NativeFileSystem();
  fs.CreateFolders(program);
  fs.CreateFolders(game);
  fs.WriteFileAtomic(game + "\\WorldOfWarships.exe", "game");
  WriteSetting(fs, SettingsFilePath(program), kSettingsSection, kGameRootKey, game);
  const CatalogueEntry* entry = nullptr;
  for (const CatalogueEntry& e : AllEntries()) {
    if (e.stem == "lh") entry = &e;
  }

  HttpDownloader http(SystemWinInet(), fs, host, static_cast<uint16_t>(port), tmp);
  TimedDownloader downloader(http);
  bool allOk = true;
  char line[64];
  for (int run = 1; std::fgets(line, sizeof line, stdin); ++run) {
    fs.DeleteTree(game + "\\profile");  // every run installs afresh
    QuietView view;
    TimedFileSystem timed(fs);
    const double t0 = NowMs();
    bool ok = InstallPlugin(timed, program, downloader, *entry, view);
    const double end = NowMs();
    ok = ok && view.messages == std::vector<std::string>{"插件安装完毕"} && timed.firstCloseMs > 0 &&
         view.lastUnpackMs > 0;
    allOk = allOk && ok;
    std::printf("run %d ok %d total_ms %.1f download_ms %.1f store_ms %.1f unpack_ms %.1f finish_ms %.1f\n", run,
                ok ? 1 : 0, end - t0, downloader.endMs - t0, timed.firstCloseMs - downloader.endMs,
                view.lastUnpackMs - timed.firstCloseMs, end - view.lastUnpackMs);
    std::fflush(stdout);
  }
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  std::printf("peak_working_set %llu peak_private %llu\n", static_cast<unsigned long long>(pmc.PeakWorkingSetSize),
              static_cast<unsigned long long>(pmc.PeakPagefileUsage));
  return allOk ? 0 : 1;
}
