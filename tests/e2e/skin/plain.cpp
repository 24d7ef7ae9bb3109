// The smallest DLL of the ordinary kind, with writable data: built with the
// page size alignment it loads (and without relocations it loads only at its
// base); with sections below the page size its code shares a page with data.
int calls = 0;
extern "C" __declspec(dllexport) int Plain() { return 100 + calls++; }
