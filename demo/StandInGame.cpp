// Stands in for WorldOfWarships.exe in the demo world and the E2E tests (and for
// explorer.exe in the forum-thread scenario): records that it was started, with
// its working folder and command line, in "<its name>.started.txt" beside itself
// (UTF-8, one per line). With VELMORA_FAKEGAME_WINDOW set, as the demo world
// sets it, it also shows a small window saying the game started, until closed.
#define UNICODE
#define _UNICODE
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

bool Record() {
  wchar_t exe[32768], cwd[32768];
  DWORD n = GetModuleFileNameW(nullptr, exe, 32768);
  std::wstring path(exe, n);
  path = path.substr(0, path.find_last_of(L'.')) + L".started.txt";
  DWORD c = GetCurrentDirectoryW(32768, cwd);
  std::string text = Utf8(std::wstring(cwd, c)) + "\n" + Utf8(GetCommandLineW()) + "\n";
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  return true;
}

LRESULT CALLBACK WindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT r;
    GetClientRect(h, &r);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, L"游戏已启动（演示用的 WorldOfWarships.exe）", -1, &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(h, &ps);
    return 0;
  }
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  if (!Record()) return 1;
  if (GetEnvironmentVariableW(L"VELMORA_FAKEGAME_WINDOW", nullptr, 0) == 0) return 0;
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"VelmoraFakeGame";
  RegisterClassW(&wc);
  HWND w = CreateWindowW(wc.lpszClassName, L"World of Warships", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 420, 160, nullptr, nullptr, instance, nullptr);
  ShowWindow(w, show);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
