// A DLL of the ordinary kind (mingw runtime, libstdc++ and libgcc linked in),
// loaded from memory by the probe: records its TLS callback and DllMain calls
// in VELMORA_SKIN_EVENTS, imports by ordinal, exports by name, by ordinal only
// and forwarded, holds addresses that relocation must fix, and throws C++
// exceptions inside and out of itself.
#include <windows.h>

#include <cstring>
#include <stdexcept>
#include <string>

extern "C" int Triple(int);  // skin_provider.dll, by ordinal
extern "C" int Square(int);

namespace {

void Record(const char* event) {
  char events[1024] = "";
  GetEnvironmentVariableA("VELMORA_SKIN_EVENTS", events, sizeof events);
  strncat(events, event, sizeof events - strlen(events) - 2);
  strcat(events, ";");
  SetEnvironmentVariableA("VELMORA_SKIN_EVENTS", events);
}

void NTAPI OnTls(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_PROCESS_ATTACH) Record("tls-attach");
  if (reason == DLL_PROCESS_DETACH) Record("tls-detach");
}

int counter = 0;
const char* const kWords[] = {"alpha", "beta", "gamma"};  // addresses: relocated

}  // namespace

// Between the runtime's __xl_a and __xl_z, so it is in the image's callback list.
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK velmora_tls_callback = OnTls;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    Record("main-attach");
    char refuse[8] = "";
    if (GetEnvironmentVariableA("VELMORA_SKIN_REFUSE", refuse, sizeof refuse) && refuse[0] == '1') return FALSE;
  }
  if (reason == DLL_PROCESS_DETACH) Record("main-detach");
  return TRUE;
}

extern "C" int Add(int a, int b) { return a + b + counter++; }
extern "C" int* Counter() { return &counter; }
extern "C" const char* const* Words() { return kWords; }
extern "C" int UsesProvider(int x) { return Triple(x) + Square(x); }
extern "C" int Hidden() { return 4040; }

extern "C" int CatchInside() {
  try {
    throw std::runtime_error(std::string("inside ") + kWords[0]);
  } catch (const std::exception& e) {
    return std::strcmp(e.what(), "inside alpha") == 0 ? 42 : -1;
  }
}

extern "C" void ThrowOut(const char* message) { throw std::runtime_error(message); }
