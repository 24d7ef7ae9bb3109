// Measures "process start -> main window shown" the same way for every program
// it is given: CreateProcessW, then a 1 ms poll for a visible top-level window
// of that process whose title holds the given text, then a WM_NULL sent to it:
// the answer comes once the program's thread takes messages again, after
// ShowWindow and UpdateWindow have painted the window (a window can be visible
// from its creation on, long before it is painted). The window is then closed
// and the next program started. Every round starts each program once, round r
// beginning with program r mod n, so no program always follows the same one;
// the first round warms the caches and is marked as such.
//
//   startup_timer [--mark FILE] RUNS TITLE_TEXT EXE [TITLE_TEXT EXE ...]
//
// With --mark, the index of the program about to start (0, 1, ...) is written to
// FILE before each start, so a server the programs talk to can tell which one
// it serves.
//
// Prints per start "run<TAB>round<TAB>exe<TAB>shown ms<TAB>stamp<TAB>visible ms"
// (round 0: the warm-up; shown: the WM_NULL answered; stamp: the local wall
// time just before CreateProcessW, in the diagnostics log's format and from the
// same function, so the log's lines can be placed against it), or
// "fail<TAB>round<TAB>exe<TAB>why<TAB>stamp".
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DiagnosticsLog.h"
#include "platform/win32/WinHandle.h"
#include "platform/win32/WinText.h"

using namespace velmora;

namespace {

struct Search {
  DWORD pid;
  const std::wstring* titleText;
  HWND found = nullptr;
};

BOOL CALLBACK FindShown(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != s->pid || !IsWindowVisible(h)) return TRUE;
  wchar_t title[256];
  int n = GetWindowTextW(h, title, 256);
  if (std::wstring(title, n).find(*s->titleText) == std::wstring::npos) return TRUE;
  s->found = h;
  return FALSE;
}

double Ms(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER freq) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

struct Start {
  double ms = -1;  // shown; negative: no window
  double visibleMs = -1;
  std::string stamp, why;
};

Start TimeOneStart(const std::wstring& exe, const std::wstring& titleText) {
  Start result;
  std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/") + 1);
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER freq, start, now;
  QueryPerformanceFrequency(&freq);
  result.stamp = LocalTimeStamp();
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
    result.why = "cannot start: error " + std::to_string(GetLastError());
    return result;
  }
  KernelHandle process(pi.hProcess), thread(pi.hThread);
  Search s{pi.dwProcessId, &titleText};
  for (;;) {
    s.found = nullptr;
    EnumWindows(FindShown, reinterpret_cast<LPARAM>(&s));
    QueryPerformanceCounter(&now);
    if (s.found) {
      result.visibleMs = Ms(start, now, freq);
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutW(s.found, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer)) {
        QueryPerformanceCounter(&now);
        result.ms = Ms(start, now, freq);
      } else {
        result.why = "the window did not answer within 60 s";
      }
      break;
    }
    if (Ms(start, now, freq) > 60000) {
      result.why = "no window within 60 s";
      break;
    }
    if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process.Get(), &code);
      result.why = "ended without a window, exit code " + std::to_string(code);
      break;
    }
    Sleep(1);
  }
  if (s.found) PostMessageW(s.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.Get(), 15000) != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 5000);
  }
  return result;
}

// Replaces the mark file's content with the program's index.
bool Mark(const std::wstring& file, size_t index) {
  if (file.empty()) return true;
  FileHandle f(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  std::string text = std::to_string(index) + "\n";
  DWORD written = 0;
  return WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring markFile;
  if (argc > 2 && std::wstring(argv[1]) == L"--mark") {
    markFile = argv[2];
    argv += 2;
    argc -= 2;
  }
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: startup_timer [--mark FILE] RUNS TITLE_TEXT EXE [TITLE_TEXT EXE ...]\n");
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  struct Program {
    std::wstring titleText, exe;
  };
  std::vector<Program> programs;
  for (int i = 2; i + 1 < argc; i += 2) programs.push_back({argv[i], argv[i + 1]});

  const size_t n = programs.size();
  for (int round = 0; round <= runs; ++round) {
    for (size_t k = 0; k < n; ++k) {
      const size_t i = (round + k) % n;
      const Program& p = programs[i];
      const std::string exe = Utf8(p.exe);
      if (!Mark(markFile, i)) {
        std::fprintf(stderr, "cannot write the mark file\n");
        return 1;
      }
      const Start s = TimeOneStart(p.exe, p.titleText);
      if (s.ms < 0) {
        std::printf("fail\t%d\t%s\t%s\t%s\n", round, exe.c_str(), s.why.c_str(), s.stamp.c_str());
      } else {
        std::printf("run\t%d\t%s\t%.1f\t%s\t%.1f\n", round, exe.c_str(), s.ms, s.stamp.c_str(), s.visibleMs);
      }
      std::fflush(stdout);
    }
  }
  return 0;
}
