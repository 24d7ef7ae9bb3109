// Stands in for WorldOfWarships.exe: records that it was started, and in which
// working folder, in "started.txt" beside itself, then ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t exe[32768], cwd[32768];
  DWORD n = GetModuleFileNameW(nullptr, exe, 32768);
  std::wstring record(exe, n);
  record = record.substr(0, record.find_last_of(L'\\')) + L"\\started.txt";
  DWORD c = GetCurrentDirectoryW(32768, cwd);
  char utf8[65536];
  int len = WideCharToMultiByte(CP_UTF8, 0, cwd, static_cast<int>(c), utf8, sizeof utf8, nullptr, nullptr);
  HANDLE f = CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(f, utf8, static_cast<DWORD>(len), &written, nullptr);
  CloseHandle(f);
  return 0;
}
