// Runs the plug-in download over the real WinINet, step by step, and prints what
// the page would show. One program run is one program lifetime: the downloader's
// slots carry over from step to step, as they do between presses of "安装".
//
//   download_probe --host 127.0.0.1 --port 8080 --out Z:\tmp\got [--tmp <folder>]
//                  [--cancel-after <pieces> | --cancel-at-end] fresh|resume <object> ...
//
// The options before a step apply to that step only (except --host, --port, --out
// and --tmp). Each step's content, when not empty, goes to <out>.<step number>.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "net/HttpDownloader.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/win32/WinText.h"
#include "support/RecordingViews.h"

namespace {

using namespace velmora;
using testing::RecordingDownloadView;

int Usage() {
  std::fprintf(stderr,
               "usage: download_probe --host H --port P --out PATH [--tmp DIR] "
               "[--cancel-after N|--cancel-at-end] fresh|resume OBJECT ...\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));

  std::string host = "127.0.0.1", out, tmp = EnvironmentText("tmp");
  int port = 80;
  size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) == 0 && i + 1 < args.size(); i += 2) {
    if (args[i] == "--host") host = args[i + 1];
    else if (args[i] == "--port") port = std::stoi(args[i + 1]);
    else if (args[i] == "--out") out = args[i + 1];
    else if (args[i] == "--tmp") tmp = args[i + 1];
    else break;
  }
  if (out.empty()) return Usage();

  FileSystem& fs = NativeFileSystem();
  RequestOptions server;
  server.host = host;
  server.port = static_cast<uint16_t>(port);
  HttpDownloader downloader(SystemWinInet(), fs, server, tmp);
  std::printf("tmp %s\n", tmp.c_str());

  int step = 0;
  bool allCompleted = true;
  while (i < args.size()) {
    RecordingDownloadView view;
    int cancelAfter = -1;  // pieces
    bool cancelAtEnd = false;
    while (i < args.size() && args[i].rfind("--", 0) == 0) {
      if (args[i] == "--cancel-at-end") {
        cancelAtEnd = true;
        i += 1;
      } else if (args[i] == "--cancel-after" && i + 1 < args.size()) {
        cancelAfter = std::stoi(args[i + 1]);
        i += 2;
      } else {
        return Usage();
      }
    }
    if (i + 1 >= args.size() || (args[i] != "fresh" && args[i] != "resume")) return Usage();
    view.onPiece = [&](int pieces) {
      if (cancelAfter >= 0 && pieces >= cancelAfter) return false;
      return !(cancelAtEnd && !view.percents.empty() && view.percents.back() == 100);
    };
    const bool resume = args[i] == "resume";
    const std::string object = args[i + 1];
    i += 2;
    ++step;

    std::printf("step %d %s %s\n", step, resume ? "resume" : "fresh", object.c_str());
    std::fflush(stdout);
    LARGE_INTEGER frequency, started, ended;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    const std::string stored = out + "." + std::to_string(step);
    downloader.Download(object, resume, stored, view, view.Handles(SystemWinInet()));
    QueryPerformanceCounter(&ended);
    const double elapsedMs =
        1000.0 * static_cast<double>(ended.QuadPart - started.QuadPart) / frequency.QuadPart;
    // Printed after the step, so console output stays out of its time.
    for (std::string line : view.events) {
      line[line.find(':')] = ' ';  // "status:..." -> "status ..."
      std::printf("%s\n", line.c_str());
    }
    const DownloadReport& r = downloader.LastReport();
    std::printf(
        "result step=%d outcome=%s status=%d error=%u offset=%llu received=%llu bytes=%zu "
        "attempts=%d pieces=%d ms=%.1f total=%s temp=%s\n",
        step, OutcomeName(r.outcome).data(), r.status, r.error,
        static_cast<unsigned long long>(r.resumeOffset),
        static_cast<unsigned long long>(r.received),
        static_cast<size_t>(fs.FileSize(stored).value_or(0)), r.attempts, view.pieces,
        elapsedMs, downloader.TotalSizeText().c_str(),
        downloader.TempFile().c_str());
    std::fflush(stdout);
    if (r.outcome != TransferOutcome::Completed) allCompleted = false;
  }
  return allCompleted ? 0 : 1;
}
