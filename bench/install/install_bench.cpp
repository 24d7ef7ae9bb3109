// Installs the 54.9M plug-in (蓝色火焰, lh.zip) through the real pipeline and
// WinINet from a local server, once per line read from stdin (so the driver can
// run the other sides between runs, under the same load), printing each run's
// time and its steps; at the end of input, the program's peak memory.
//   install_bench --host H --port P --program DIR --game DIR --tmp DIR
//
// Per run: "run N ok 1 total_ms T download_ms D store_ms S unpack_ms U finish_ms F
// send_ms . read_ms . tempfile_ms . move_ms . remove_ms .": the download (request
// to the temporary file renamed to the stored archive), within it the rename
// (store), unpacking (checks, staging, entries, up to the last entry's progress)
// and the rest (placing the staged files, clean-up, the page's texts, the stored
// archive deleted); within the download, the time inside HttpSendRequestA,
// inside InternetReadFile, and writing the temporary file; within the rest, the
// time moving files (the staged files into place) and removing them (the
// stored archive) (bench/support/Timing.h).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "bench/support/Timing.h"
#include "catalogue/Install.h"
#include "net/HttpDownloader.h"
#include "platform/FileSystem.h"
#include "platform/win32/WinText.h"

namespace {

using namespace velmora;

using bench::NowMs;

class QuietView : public InstallView {
 public:
  double lastUnpackMs = 0;
  void ShowStatus(std::string_view text) override { unpacking_ = text == velmora::text::kUnpacking; }
  void ShowProgress(int percent) override {
    if (unpacking_ && percent == 100) lastUnpackMs = NowMs();
  }
  void ShowRate(std::string_view) override {}

 private:
  bool unpacking_ = false;
};

// Times the download inside the pipeline.
class TimedDownloader : public ArchiveDownloader {
 public:
  explicit TimedDownloader(ArchiveDownloader& inner) : inner_(inner) {}
  double endMs = 0;
  TransferOutcome Download(const std::string& object, bool resume, const std::string& destination,
                           DownloadView& view, TransferHandles& handles) override {
    TransferOutcome outcome = inner_.Download(object, resume, destination, view, handles);
    endMs = NowMs();
    return outcome;
  }

 private:
  ArchiveDownloader& inner_;
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

  // The downloader's file system and the pipeline's are timed apart: the first
  // file the pipeline writes is the stored archive.
  bench::WinInetTimes net;
  bench::TimedFileSystem downloadFs(fs);
  RequestOptions server;
  server.host = host;
  server.port = static_cast<uint16_t>(port);
  HttpDownloader http(bench::TimedWinInet(net), downloadFs, server, tmp);
  TimedDownloader downloader(http);
  bool allOk = true;
  char line[64];
  for (int run = 1; std::fgets(line, sizeof line, stdin); ++run) {
    fs.DeleteTree(game + "\\profile");  // every run installs afresh
    QuietView view;
    net = {};
    downloadFs.Reset();
    bench::TimedFileSystem timed(fs);
    const double t0 = NowMs();
    InstallCancel cancel(bench::TimedWinInet(net));
    const InstallOutcome outcome = InstallPlugin(timed, program, downloader, *entry, view, cancel);
    ShowInstallOutcome(timed, outcome, nullptr, nullptr);
    const double end = NowMs();
    const bool ok = outcome.installed && outcome.message == "插件安装完毕" && view.lastUnpackMs > 0;
    allOk = allOk && ok;
    std::printf(
        "run %d ok %d total_ms %.1f download_ms %.1f store_ms %.1f unpack_ms %.1f finish_ms %.1f send_ms %.1f "
        "read_ms %.1f tempfile_ms %.1f move_ms %.1f remove_ms %.1f\n",
        run, ok ? 1 : 0, end - t0, downloader.endMs - t0, downloadFs.moveMs.load(),
        view.lastUnpackMs - downloader.endMs, end - view.lastUnpackMs, net.sendMs, net.readMs,
        downloadFs.writeMs + downloadFs.removeMs, timed.moveMs.load(), timed.removeMs.load());
    std::fflush(stdout);
  }
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  std::printf("peak_working_set %llu peak_private %llu\n", static_cast<unsigned long long>(pmc.PeakWorkingSetSize),
              static_cast<unsigned long long>(pmc.PeakPagefileUsage));
  return allOk ? 0 : 1;
}
