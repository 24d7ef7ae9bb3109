// Velmora's side of the download benchmark: the product's HttpDownloader over
// the real WinINet, one fresh download of the object per line read from stdin
// (so the driver runs the other sides between, under the same load), split into
// where its time goes by the timing seams of bench/support/Timing.h. The view
// does nothing: the page's own drawing is not part of the figure.
//
//   download_timer --host H --port P --object O --tmp DIR --out FILE
//
// Per run: "run N ok 1 total_ms T send_ms S read_ms R write_ms W remove_ms X
// bytes B" (total: the whole Download call; send: inside HttpSendRequestA; read:
// inside InternetReadFile; write: opening, writing and closing the temporary
// file; remove: deleting files). The whole file becomes FILE, within the figure
// (a rename), for the driver to compare with the archive.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/support/Timing.h"
#include "net/HttpDownloader.h"
#include "platform/FileSystem.h"
#include "platform/win32/WinText.h"

namespace {

using namespace velmora;

class QuietView final : public DownloadView {
 public:
  void SetState(DownloadState) override {}
  void SetProgress(int) override {}
  void SetRate(std::string_view) override {}
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::string host = "127.0.0.1", object, tmp, out;
  int port = 80;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string key = Utf8(argv[i]), value = Utf8(argv[i + 1]);
    if (key == "--host") host = value;
    else if (key == "--port") port = std::stoi(value);
    else if (key == "--object") object = value;
    else if (key == "--tmp") tmp = value;
    else if (key == "--out") out = value;
  }
  if (object.empty() || out.empty()) {
    std::fprintf(stderr, "usage: download_timer --host H --port P --object O --tmp DIR --out FILE\n");
    return 2;
  }
  bench::WinInetTimes net;
  bench::TimedFileSystem fs(NativeFileSystem());
  RequestOptions server;
  server.host = host;
  server.port = static_cast<uint16_t>(port);
  HttpDownloader downloader(bench::TimedWinInet(net), fs, server, tmp);
  bool allOk = true;
  char line[64];
  for (int run = 1; std::fgets(line, sizeof line, stdin); ++run) {
    net = {};
    fs.Reset();
    QuietView view;
    const double t0 = bench::NowMs();
    TransferHandles handles(bench::TimedWinInet(net));
    const bool ok = downloader.Download(object, false, out, view, handles) == TransferOutcome::Completed;
    const double total = bench::NowMs() - t0;
    const uint64_t size = NativeFileSystem().FileSize(out).value_or(0);
    allOk = allOk && ok;
    std::printf("run %d ok %d total_ms %.1f send_ms %.1f read_ms %.1f write_ms %.1f remove_ms %.1f bytes %zu\n", run,
                ok ? 1 : 0, total, net.sendMs, net.readMs, fs.writeMs.load(), fs.removeMs.load(), static_cast<size_t>(size));
    std::fflush(stdout);
  }
  return allOk ? 0 : 1;
}
