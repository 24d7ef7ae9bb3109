// The platform's floor under Velmora's download and install: the least a Windows
// program does to fetch an object over WinINet into a file, and, with --unpack,
// to unpack that file with plain minizip into a folder. Reads go into a buffer of
// Velmora's download size and each piece is written with WriteFile; entries are
// unpacked one after the other, unzReadCurrentFile into that buffer, WriteFile.
// No progress, no staging, no checks beyond what the calls return: what is left
// is the cost of the platform (WinINet, the file system, inflate) under Wine.
//
//   bare_loop --host H --port P --object /x.zip --out FILE [--unpack DIR] [--repeat]
//
// Runs once, or with --repeat once per line read from stdin (a driver runs its
// other sides between runs). Prints per run
//   run N ok 1 total_ms T answer_ms A fetch_ms F read_ms R write_ms W unpack_ms U bytes B entries E
// (answer: until HttpSendRequestA returned; fetch: until the file is closed;
// read: inside InternetReadFile; write: creating, writing and closing the file;
// unpack: from unzOpen64 to unzClose) and at the end
//   buffer_bytes S peak_working_set W
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "bench/support/Timing.h"
#include "net/HttpDownloader.h"
#include "unzip.h"

namespace {

using velmora::bench::NowMs;

std::wstring Wide(const std::string& utf8) {
  std::wstring w(utf8.size(), L'\0');
  w.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(),
                               static_cast<int>(w.size())));
  return w;
}

struct Run {
  bool ok = false;
  double answerMs = 0, fetchMs = 0, readMs = 0, writeMs = 0, unpackMs = 0;
  unsigned long long bytes = 0;
  int entries = 0;
};

bool Fetch(const std::string& host, int port, const std::string& object, const std::string& out,
           std::vector<char>& buffer, Run& run, double t0) {
  HINTERNET net = InternetOpenA("bare_loop", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET connection = net ? InternetConnectA(net, host.c_str(), static_cast<INTERNET_PORT>(port),
                                                nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)
                             : nullptr;
  // Not from or into the WinINet cache, as any downloader that keeps its own file.
  HINTERNET request =
      connection ? HttpOpenRequestA(connection, "GET", object.c_str(), "HTTP/1.1", nullptr, nullptr,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                        INTERNET_FLAG_KEEP_CONNECTION,
                                    0)
                 : nullptr;
  bool ok = request && HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  run.answerMs = NowMs() - t0;
  DWORD status = 0, size = sizeof status;
  ok = ok && HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                            nullptr) &&
       status == 200;
  double w0 = NowMs();
  HANDLE file = ok ? CreateFileW(Wide(out).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)
                   : INVALID_HANDLE_VALUE;
  run.writeMs += NowMs() - w0;
  ok = ok && file != INVALID_HANDLE_VALUE;
  for (DWORD got = 0; ok;) {
    const double r0 = NowMs();
    ok = InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got);
    const double r1 = NowMs();
    run.readMs += r1 - r0;
    if (!ok || got == 0) break;
    DWORD written = 0;
    ok = WriteFile(file, buffer.data(), got, &written, nullptr) && written == got;
    run.writeMs += NowMs() - r1;
    run.bytes += got;
  }
  w0 = NowMs();
  if (file != INVALID_HANDLE_VALUE) ok = CloseHandle(file) && ok;
  run.writeMs += NowMs() - w0;
  for (HINTERNET h : {request, connection, net}) {
    if (h) InternetCloseHandle(h);
  }
  run.fetchMs = NowMs() - t0;
  return ok;
}

// Creates the folders on the way to `path` (a file's path) that this unpack has
// not made yet.
bool MakeParents(const std::wstring& path, std::set<std::wstring>& made) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    std::wstring folder = path.substr(0, at);
    if (made.count(folder)) continue;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    made.insert(folder);
  }
  return true;
}

bool Unpack(const std::string& archive, const std::string& folder, std::vector<char>& buffer, Run& run) {
  unzFile zip = unzOpen64(archive.c_str());
  if (!zip) return false;
  std::set<std::wstring> made;
  const std::wstring base = Wide(folder) + L"\\";
  bool ok = unzGoToFirstFile(zip) == UNZ_OK;
  while (ok) {
    char name[1024];
    unz_file_info64 info{};
    ok = unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK;
    if (!ok) break;
    std::wstring target = base + Wide(name);
    for (wchar_t& c : target) {
      if (c == L'/') c = L'\\';
    }
    if (target.back() == L'\\') {
      ok = MakeParents(target, made);
    } else {
      ok = MakeParents(target, made) && unzOpenCurrentFile(zip) == UNZ_OK;
      HANDLE file = ok ? CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)
                       : INVALID_HANDLE_VALUE;
      ok = ok && file != INVALID_HANDLE_VALUE;
      for (int got = 0; ok && (got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) != 0;) {
        DWORD written = 0;
        ok = got > 0 && WriteFile(file, buffer.data(), static_cast<DWORD>(got), &written, nullptr) &&
             written == static_cast<DWORD>(got);
      }
      if (file != INVALID_HANDLE_VALUE) ok = CloseHandle(file) && ok;
      ok = unzCloseCurrentFile(zip) == UNZ_OK && ok;  // UNZ_CRCERROR for a damaged entry
      ++run.entries;
    }
    if (!ok) break;
    int next = unzGoToNextFile(zip);
    if (next == UNZ_END_OF_LIST_OF_FILE) break;
    ok = next == UNZ_OK;
  }
  unzClose(zip);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::string host = "127.0.0.1", object, out, unpack;
  int port = 80;
  bool repeat = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring key = argv[i];
    if (key == L"--repeat") {
      repeat = true;
      continue;
    }
    if (i + 1 >= argc) break;
    char value[2048];
    WideCharToMultiByte(CP_UTF8, 0, argv[++i], -1, value, sizeof value, nullptr, nullptr);
    if (key == L"--host") host = value;
    else if (key == L"--port") port = std::atoi(value);
    else if (key == L"--object") object = value;
    else if (key == L"--out") out = value;
    else if (key == L"--unpack") unpack = value;
  }
  if (object.empty() || out.empty()) {
    std::fprintf(stderr, "usage: bare_loop --host H --port P --object O --out FILE [--unpack DIR] [--repeat]\n");
    return 2;
  }
  // The same size as Velmora's download buffer, whatever it is in this build.
  std::vector<char> buffer(velmora::DownloadSettings{}.bufferSize);
  bool allOk = true;
  char line[64];
  for (int n = 1; !repeat || std::fgets(line, sizeof line, stdin); ++n) {
    Run run;
    const double t0 = NowMs();
    run.ok = Fetch(host, port, object, out, buffer, run, t0);
    if (run.ok && !unpack.empty()) {
      const double u0 = NowMs();
      run.ok = Unpack(out, unpack, buffer, run);
      run.unpackMs = NowMs() - u0;
    }
    const double total = NowMs() - t0;
    allOk = allOk && run.ok;
    std::printf(
        "run %d ok %d total_ms %.1f answer_ms %.1f fetch_ms %.1f read_ms %.1f write_ms %.1f unpack_ms %.1f bytes %llu "
        "entries %d\n",
        n, run.ok ? 1 : 0, total, run.answerMs, run.fetchMs, run.readMs, run.writeMs, run.unpackMs, run.bytes,
        run.entries);
    std::fflush(stdout);
    if (!repeat) break;
  }
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  std::printf("buffer_bytes %zu peak_working_set %llu\n", buffer.size(),
              static_cast<unsigned long long>(pmc.PeakWorkingSetSize));
  return allOk ? 0 : 1;
}
