// Maps our test DLLs from memory with MemoryLibrary and prints one line per
// case: "case <name> ok" or "case <name> FAIL <why>"; exit code 0 when every
// case passed. The DLLs lie beside the probe and are read as bytes.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "generated_exports.h"
#include "platform/FileSystem.h"
#include "platform/win32/Process.h"
#include "skin/PeImage.h"
#include "skin/win32/MemoryLibrary.h"

namespace {

using namespace velmora;
using win32::MemoryLibrary;
using Bytes = std::vector<std::uint8_t>;

int failures = 0;

void Report(const char* name, const std::string& why) {
  std::printf("case %s %s%s%s\n", name, why.empty() ? "ok" : "FAIL", why.empty() ? "" : " ", why.c_str());
  std::fflush(stdout);
  if (!why.empty()) ++failures;
}

// The first failure of several checks, or "".
std::string First(std::initializer_list<std::string> whys) {
  for (const std::string& w : whys) {
    if (!w.empty()) return w;
  }
  return "";
}

Bytes ReadDll(const char* name) {
  std::string bytes;
  NativeFileSystem().ReadFile(win32::ProgramDirectory() + "\\" + name, bytes);
  return Bytes(bytes.begin(), bytes.end());
}

pe::ImageInfo Describe(const Bytes& dll) {
  return pe::ParseImage(dll, win32::kBuildMachine).value_or(pe::ImageInfo{});
}

std::string Events() {
  char events[1024] = "";
  GetEnvironmentVariableA("VELMORA_SKIN_EVENTS", events, sizeof events);
  return events;
}
void ClearEvents() { SetEnvironmentVariableA("VELMORA_SKIN_EVENTS", nullptr); }

// What loads take and give back.
class CountingPages : public win32::PageAllocator {
 public:
  int taken = 0, given = 0;
  void* Allocate(void* at, std::size_t size) override {
    void* p = win32::SystemPages().Allocate(at, size);
    taken += p != nullptr;
    return p;
  }
  bool Protect(void* at, std::size_t size, DWORD protection) override {
    return win32::SystemPages().Protect(at, size, protection);
  }
  void Free(void* base) override {
    ++given;
    win32::SystemPages().Free(base);
  }
};

class CountingImports : public pe::ImportResolver {
 public:
  std::string refuse;
  int loaded = 0, released = 0;
  void* LoadModule(const char* name) override {
    if (refuse == name) return nullptr;
    // The test's own provider DLL lies beside the probe, outside the system folder.
    void* m = std::string(name) != "skin_provider.dll"
                  ? win32::SystemImports().LoadModule(name)
                  : LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
    loaded += m != nullptr;
    return m;
  }
  std::uint64_t FindByName(void* m, const char* name) override { return win32::SystemImports().FindByName(m, name); }
  std::uint64_t FindByOrdinal(void* m, std::uint16_t ordinal) override {
    return win32::SystemImports().FindByOrdinal(m, ordinal);
  }
  void ReleaseModule(void* m) override {
    ++released;
    win32::SystemImports().ReleaseModule(m);
  }
};

// Holds the address range a DLL prefers, so that it must move.
class Occupied {
 public:
  Occupied(std::uint64_t base, std::size_t size)
      : p_(VirtualAlloc(reinterpret_cast<void*>(base), size, MEM_RESERVE, PAGE_NOACCESS)) {}
  ~Occupied() {
    if (p_) VirtualFree(p_, 0, MEM_RELEASE);
  }
  bool Held() const { return p_ != nullptr; }

 private:
  void* p_;
};

DWORD RightsAt(const void* p) {
  MEMORY_BASIC_INFORMATION m{};
  VirtualQuery(p, &m, sizeof m);
  return m.Protect;
}

bool Inside(const MemoryLibrary& lib, const void* p) {
  auto base = reinterpret_cast<const std::uint8_t*>(lib.Base());
  auto at = static_cast<const std::uint8_t*>(p);
  return at >= base && at < base + lib.Size();
}

// No page of the image is both writable and executable.
std::string NoWritableCode(const MemoryLibrary& lib) {
  auto at = reinterpret_cast<const std::uint8_t*>(lib.Base());
  const auto* end = at + lib.Size();
  while (at < end) {
    MEMORY_BASIC_INFORMATION m{};
    if (!VirtualQuery(at, &m, sizeof m)) return "VirtualQuery failed";
    if (m.Protect & (PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) return "a page is writable and executable";
    at = static_cast<const std::uint8_t*>(m.BaseAddress) + m.RegionSize;
  }
  return "";
}

template <typename F>
F Proc(MemoryLibrary& lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(lib.GetProc(name)));
}

// --- case_features.dll: the checks that hold wherever it was placed ----------

std::string ExportsByName(MemoryLibrary& lib) {
  auto add = Proc<int (*)(int, int)>(lib, "Add");
  auto words = Proc<const char* const* (*)()>(lib, "Words");
  if (!add || !words) return "Add or Words not found";
  if (add(2, 3) != 5 || add(2, 3) != 6) return "Add does not count in its data";
  const char* const* w = words();
  if (!Inside(lib, w) || !Inside(lib, w[1]) || std::strcmp(w[1], "beta") != 0) return "Words' addresses not relocated";
  if (lib.GetProc("add") || lib.GetProc("Ad") || lib.GetProc("Adds")) return "found a name it does not export";
  if (lib.GetProc("Hidden")) return "Hidden is exported by ordinal only: no name to find";
  return "";
}

std::string ImportsByOrdinal(MemoryLibrary& lib) {
  auto uses = Proc<int (*)(int)>(lib, "UsesProvider");
  HMODULE provider = GetModuleHandleA("skin_provider.dll");
  if (!provider) return "skin_provider.dll not loaded for the import";
  if (GetProcAddress(provider, "Triple")) return "skin_provider.dll exports a name";
  if (!uses || uses(4) != 3 * 4 + 4 * 4) return "UsesProvider(4) wrong";
  return "";
}

std::string Forwarded(MemoryLibrary& lib) {
  auto pid = Proc<DWORD (*)()>(lib, "Pid");
  auto square = Proc<int (*)(int)>(lib, "ProviderSquare");
  if (!pid || pid() != GetCurrentProcessId()) return "Pid is not kernel32's GetCurrentProcessId";
  if (!square || square(7) != 49) return "ProviderSquare is not skin_provider's #9";
  return "";
}

std::string ExceptionInside(MemoryLibrary& lib) {
  auto inside = Proc<int (*)()>(lib, "CatchInside");
  if (!inside) return "CatchInside not found";
#if defined(_WIN64)
  DWORD64 base = 0;
  if (!RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(inside), &base, nullptr)) return "no function table entry";
  if (base != reinterpret_cast<DWORD64>(lib.Base())) return "function table of another base";
#endif
  // x86: the module's own start-up code registered its unwind tables.
  return inside() == 42 ? "" : "not caught inside";
}

std::string ExceptionOut(MemoryLibrary& lib) {
  auto throwOut = Proc<void (*)(const char*)>(lib, "ThrowOut");
  if (!throwOut) return "ThrowOut not found";
  try {
    throwOut("thrown out of the module");
  } catch (const std::runtime_error& e) {
    return std::strcmp(e.what(), "thrown out of the module") == 0 ? "" : "caught with another message";
  } catch (...) {
    return "caught as something else";
  }
  return "nothing thrown";
}

std::string PageRights(MemoryLibrary& lib) {
  auto counter = Proc<int* (*)()>(lib, "Counter");
  if (!counter) return "Counter not found";
  if (RightsAt(lib.Base()) != PAGE_READONLY) return "headers not read-only";
  if (RightsAt(reinterpret_cast<void*>(lib.GetProc("Add"))) != PAGE_EXECUTE_READ) return "code not execute-read";
  if (RightsAt(counter()) != PAGE_READWRITE) return "data not read-write";
  if (RightsAt(Proc<const char* const* (*)()>(lib, "Words")()[0]) != PAGE_READONLY) return "constants not read-only";
  return NoWritableCode(lib);
}

// Unloads: detach in the loader's order, the memory, the imports and the
// function table all gone.
std::string Unload(std::unique_ptr<MemoryLibrary> lib, const std::string& eventsBefore) {
  const void* base = lib->Base();
  auto code = reinterpret_cast<std::uintptr_t>(lib->GetProc("CatchInside"));
  lib.reset();
  MEMORY_BASIC_INFORMATION m{};
  VirtualQuery(base, &m, sizeof m);
  if (Events() != eventsBefore + "tls-detach;main-detach;") return "events " + Events();
  // Our allocation is gone. (32-bit Wine hands a freed range back to a
  // reservation of its own; that one is not ours.)
  if (m.State != MEM_FREE && m.AllocationBase == base) return "image memory still there";
  if (GetModuleHandleA("skin_provider.dll")) return "skin_provider.dll still loaded";
#if defined(_WIN64)
  DWORD64 imageBase = 0;
  if (RtlLookupFunctionEntry(code, &imageBase, nullptr)) return "function table still registered";
#else
  (void)code;  // x86 has no function table
#endif
  return "";
}

void FeaturesAtPreferredBase() {
  Bytes dll = ReadDll("case_features.dll");
  const pe::ImageInfo info = Describe(dll);
  ClearEvents();
  CountingImports imports;  // skin_provider.dll from beside the probe
  auto lib = MemoryLibrary::Load(dll, win32::SystemPages(), imports);
  if (!lib) return Report("preferred-base", "not loaded");
  Report("preferred-base", reinterpret_cast<std::uint64_t>(lib->Base()) == info.imageBase ? "" : "placed elsewhere");
  const std::string attached = Events();
  Report("dllmain-tls-attach", attached == "tls-attach;main-attach;" ? "" : "events " + attached);
  Report("exports-by-name", ExportsByName(*lib));
  Report("imports-by-ordinal", ImportsByOrdinal(*lib));
  Report("forwarded-exports", Forwarded(*lib));
  Report("exception-inside", ExceptionInside(*lib));
  Report("exception-out", ExceptionOut(*lib));
  Report("page-rights", PageRights(*lib));
  Report("unload", Unload(std::move(lib), attached));
}

void FeaturesRelocated() {
  Bytes dll = ReadDll("case_features.dll");
  const pe::ImageInfo info = Describe(dll);
  Occupied taken(info.imageBase, info.sizeOfImage);
  if (!taken.Held()) return Report("forced-relocation", "could not occupy the preferred base");
  ClearEvents();
  CountingImports imports;  // skin_provider.dll from beside the probe
  auto lib = MemoryLibrary::Load(dll, win32::SystemPages(), imports);
  if (!lib) return Report("forced-relocation", "not loaded");
  if (reinterpret_cast<std::uint64_t>(lib->Base()) == info.imageBase) return Report("forced-relocation", "not moved");
  const std::string attached = Events();
  Report("forced-relocation", First({ExportsByName(*lib), ImportsByOrdinal(*lib), Forwarded(*lib),
                                     ExceptionInside(*lib), ExceptionOut(*lib), PageRights(*lib),
                                     Unload(std::move(lib), attached)}));
}

std::string SmallAlignment() {
  Bytes dll = ReadDll("case_small.dll");
  const pe::ImageInfo info = Describe(dll);
  if (info.sectionAlignment != 512) return "not built with 512-byte sections";
  Occupied taken(info.imageBase, info.sizeOfImage);
  auto lib = MemoryLibrary::Load(dll);
  if (!lib) return "not loaded";
  if (reinterpret_cast<std::uint64_t>(lib->Base()) == info.imageBase) return "not moved";
  auto name = Proc<const char* (*)(int)>(*lib, "Name");
  auto sum = Proc<int (*)(int)>(*lib, "Sum");
  if (!name || !sum) return "an export is missing";
  if (std::strcmp(name(2), "south") != 0 || !Inside(*lib, name(2))) return "Name(2) wrong";
  if (sum(3) != 17) return "Sum(3) through relocated addresses wrong";
  // One page holds the headers, code, constants and exports: executable.
  if (RightsAt(reinterpret_cast<void*>(sum)) != PAGE_EXECUTE_READ || RightsAt(lib->Base()) != PAGE_EXECUTE_READ) {
    return "the shared page is not execute-read";
  }
  return NoWritableCode(*lib);
}

std::string SmallAlignmentSharedPage() {
  Bytes dll = ReadDll("case_small_shared.dll");
  const pe::ImageInfo info = Describe(dll);
  if (info.sectionAlignment != 512 || pe::PageRights(info, 4096)) return "the DLL does not share a page of code and data";
  CountingPages pages;
  if (MemoryLibrary::Load(dll, pages)) return "loaded";
  return pages.taken == 0 ? "" : "memory taken before refusing";
}

std::string NoRelocations() {
  Bytes dll = ReadDll("case_norelocs.dll");
  const pe::ImageInfo info = Describe(dll);
  if (!info.relocations.Empty()) return "the DLL has relocations";
  {
    auto lib = MemoryLibrary::Load(dll);
    if (!lib) return "not loaded at its base";
    auto plain = Proc<int (*)()>(*lib, "Plain");
    if (!plain || plain() != 100 || plain() != 101) return "Plain() wrong";
  }
  Occupied taken(info.imageBase, info.sizeOfImage);
  CountingPages pages;
  if (MemoryLibrary::Load(dll, pages)) return "loaded away from its base";
  return pages.taken == pages.given ? "" : "memory left behind";
}

std::string ManyExports() {
  auto lib = MemoryLibrary::Load(ReadDll("case_exports.dll"));
  if (!lib) return "not loaded";
  for (const GeneratedExport& e : kGeneratedExports) {
    auto f = Proc<int (*)()>(*lib, e.name);
    if (!f) return std::string("not found: ") + e.name;
    if (f() != e.value) return std::string("wrong function: ") + e.name;
  }
  for (const char* missing : {"", "_", "a", "zzzzzzzz", "A_", "SkinH_AttachRes"}) {
    if (lib->GetProc(missing)) return std::string("found ") + missing;
  }
  return "";
}

std::string AttachRefused() {
  SetEnvironmentVariableA("VELMORA_SKIN_REFUSE", "1");
  ClearEvents();
  CountingPages pages;
  CountingImports imports;
  auto lib = MemoryLibrary::Load(ReadDll("case_features.dll"), pages, imports);
  SetEnvironmentVariableA("VELMORA_SKIN_REFUSE", nullptr);
  if (lib) return "loaded";
  // The mingw runtime itself gives DllMain the detach when it refused the
  // attach; the loader's detach reaches the TLS callback.
  if (Events() != "tls-attach;main-attach;main-detach;tls-detach;") return "events " + Events();
  if (pages.taken != 1 || pages.given != 1) return "memory left behind";
  return imports.loaded == imports.released ? "" : "imports left loaded";
}

std::string ImportMissing() {
  CountingPages pages;
  CountingImports imports;
  imports.refuse = "skin_provider.dll";
  ClearEvents();
  if (MemoryLibrary::Load(ReadDll("case_features.dll"), pages, imports)) return "loaded";
  if (!Events().empty()) return "the module ran: " + Events();
  if (pages.taken != pages.given) return "memory left behind";
  return imports.loaded == imports.released ? "" : "imports left loaded";
}

}  // namespace

int wmain() {
  FeaturesAtPreferredBase();
  FeaturesRelocated();
  Report("small-alignment", SmallAlignment());
  Report("small-alignment-shared-page", SmallAlignmentSharedPage());
  Report("no-relocations", NoRelocations());
  Report("many-exports", ManyExports());
  Report("attach-refused", AttachRefused());
  Report("import-missing", ImportMissing());
  // The program's resolver takes a library from the system folder only, never
  // the one lying beside the program.
  Report("imports-from-system-folder",
         win32::SystemImports().LoadModule("skin_provider.dll") ? "loaded from beside the probe" : "");
  return failures == 0 ? 0 : 1;
}
