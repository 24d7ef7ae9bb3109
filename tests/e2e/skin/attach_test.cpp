// Stands in for the closed skin library in the tests: exports SkinH_AttachRes
// with the library's own prototype (stdcall, six arguments, exported by the
// plain name as the library does) and records what it was given in the folder
// named by VELMORA_SKIN_RECORD: skin.bin (the bytes) and attach.txt (the other
// arguments and how it was reached).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Windows that can show: the program's message-only window (its queue of posted
// calls, made before the skin on purpose) has nothing to skin, and Wine lists it
// among the thread's windows only at times.
BOOL CALLBACK CountWindow(HWND h, LPARAM count) {
  if (GetAncestor(h, GA_PARENT) == GetDesktopWindow()) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// FNV-1a, 32 bits: the test compares it with its own over the carried file.
std::uint32_t Hash(const unsigned char* bytes, int size) {
  std::uint32_t h = 2166136261u;
  for (int i = 0; i < size; ++i) h = (h ^ bytes[i]) * 16777619u;
  return h;
}

}  // namespace

extern "C" __declspec(dllexport) int __stdcall SkinH_AttachRes(const unsigned char* skin, int size,
                                                              const char* password, int hue, int saturation,
                                                              int brightness) {
  char folder[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("VELMORA_SKIN_RECORD", folder, sizeof folder)) return -1;
  std::string base(folder);
  if (size < 0 || size > (64 << 20)) return -2;
  if (FILE* f = std::fopen((base + "\\skin.bin").c_str(), "wb")) {
    std::fwrite(skin, 1, static_cast<std::size_t>(size), f);
    std::fclose(f);
  }
  // Mapped from memory, the system loader does not know this module; and no
  // window of the program that can show exists yet.
  HMODULE known = nullptr;
  BOOL byLoader = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     reinterpret_cast<LPCSTR>(&SkinH_AttachRes), &known);
  int windows = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  if (FILE* f = std::fopen((base + "\\attach.txt").c_str(), "w")) {
    std::fprintf(f, "size=%d hash=%08x password=%s hue=%d saturation=%d brightness=%d loader-knows=%d windows=%d\n",
                 size, static_cast<unsigned>(Hash(skin, size)), password ? "set" : "null", hue, saturation,
                 brightness, byLoader ? 1 : 0, windows);
    std::fclose(f);
  }
  return 1;
}
