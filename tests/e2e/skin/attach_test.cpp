// Stands in for the closed skin library in the tests: exports SkinH_AttachRes
// and records what it was given in the folder named by VELMORA_SKIN_RECORD:
// skin.bin (the bytes) and attach.txt (how it was reached).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

}  // namespace

extern "C" __declspec(dllexport) int __stdcall SkinH_AttachRes(const unsigned char* skin, unsigned size) {
  char folder[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("VELMORA_SKIN_RECORD", folder, sizeof folder)) return -1;
  std::string base(folder);
  if (FILE* f = std::fopen((base + "\\skin.bin").c_str(), "wb")) {
    std::fwrite(skin, 1, size, f);
    std::fclose(f);
  }
  // Mapped from memory, the system loader does not know this module; and no
  // window of the program exists yet.
  HMODULE known = nullptr;
  BOOL byLoader = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     reinterpret_cast<LPCSTR>(&SkinH_AttachRes), &known);
  int windows = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  if (FILE* f = std::fopen((base + "\\attach.txt").c_str(), "w")) {
    std::fprintf(f, "size=%u loader-knows=%d windows=%d\n", size, byLoader ? 1 : 0, windows);
    std::fclose(f);
  }
  return 1;
}
