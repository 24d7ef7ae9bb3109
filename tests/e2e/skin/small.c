/* A DLL without the C runtime, linked with sections aligned below the page
   size: code, constants, unwind data and exports all share one page, the
   relocations another. It imports nothing, as any writable section (import
   slots included) would share the code's page. */
#include <windows.h>

static int Five(void) { return 5; }
static int Seven(void) { return 7; }
static const char* const kNames[] = {"north", "east", "south", "west"};
static int (*const kParts[])(void) = {Five, Seven, Five};

BOOL WINAPI SmallEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance; (void)reason; (void)reserved;
  return TRUE;
}

__declspec(dllexport) const char* Name(int i) { return kNames[i & 3]; }
/* The first n parts through the table of addresses: n comes at run time. */
__declspec(dllexport) int Sum(int n) {
  int total = 0;
  for (int i = 0; i < n && i < 3; ++i) total += kParts[i]();
  return total;
}
