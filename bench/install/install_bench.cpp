// Installs the 54.9M plug-in (蓝色火焰, lh.zip) through the real pipeline and
// WinINet from a local server, once per line read from stdin (so the driver can
// run its baseline between runs, under the same load), printing each run's time;
// at the end of input, the program's peak memory.
//   install_bench --host H --port P --program DIR --game DIR --tmp DIR
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
  double firstUnpackMs = 0;
  void SetInstallCaption(std::string_view) override {}
  void ShowMessage(std::string_view text, std::string_view) override { messages.emplace_back(text); }
  void SetStatus(std::string_view) override {}
  void SetProgress(int) override {}
  void SetRate(std::string_view) override {}
  bool KeepGoing() override { return true; }
  bool OnUnpackProgress(const UnpackProgress& p) override {
    if (p.done == 1) firstUnpackMs = NowMs();
    return true;
  }
};

// Times the download inside the pipeline.
class TimedDownloader : public ArchiveDownloader {
 public:
  explicit TimedDownloader(ArchiveDownloader& inner) : inner_(inner) {}
  double ms = 0;
  std::string Download(const std::string& object, bool resume, DownloadView& view) override {
    double t0 = NowMs();
    std::string content = inner_.Download(object, resume, view);
    ms = NowMs() - t0;
    return content;
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

  HttpDownloader http(SystemWinInet(), fs, host, static_cast<uint16_t>(port), tmp);
  TimedDownloader downloader(http);
  bool allOk = true;
  char line[64];
  for (int run = 1; std::fgets(line, sizeof line, stdin); ++run) {
    fs.DeleteTree(game + "\\profile");
    QuietView view;
    double t0 = NowMs();
    bool ok = InstallPlugin(fs, program, downloader, *entry, view);
    double total = NowMs() - t0;
    ok = ok && view.messages == std::vector<std::string>{"插件安装完毕"};
    allOk = allOk && ok;
    std::printf("run %d total_ms %.1f download_ms %.1f store_ms %.1f ok %d\n", run, total, downloader.ms,
                view.firstUnpackMs - t0 - downloader.ms, ok ? 1 : 0);
    std::fflush(stdout);
  }
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  std::printf("peak_working_set %llu peak_private %llu\n", static_cast<unsigned long long>(pmc.PeakWorkingSetSize),
              static_cast<unsigned long long>(pmc.PeakPagefileUsage));
  return allOk ? 0 : 1;
}
