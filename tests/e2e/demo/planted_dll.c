/* A DLL planted beside velmora.exe under a system DLL's name (wininet.dll):
   when anything loads it, it leaves "<its name>.loaded.txt" beside itself and
   refuses to stay. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 16];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return FALSE;
  while (n > 0 && path[n - 1] != L'.') --n;
  lstrcpyW(path + (n ? n - 1 : 0), L".loaded.txt");
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  return FALSE;
}
