// Loading in plain steps, each checked: validate, plan the page rights, place
// the pages, lay the image out, relocate, read the exports and TLS callbacks,
// bind the imports, protect, register the exception table, attach. A failed
// step leaves nothing: the members release what the earlier steps took.
#include "skin/win32/MemoryLibrary.h"

namespace velmora::win32 {
namespace {

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
using TlsCallback = VOID(NTAPI*)(PVOID, DWORD, PVOID);

class VirtualPages : public PageAllocator {
 public:
  void* Allocate(void* at, std::size_t size) override {
    void* p = VirtualAlloc(at, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (p && at && p != at) {
      VirtualFree(p, 0, MEM_RELEASE);
      return nullptr;
    }
    return p;
  }
  bool Protect(void* at, std::size_t size, DWORD protection) override {
    DWORD old = 0;
    return VirtualProtect(at, size, protection, &old) != FALSE;
  }
  void Free(void* base) override { VirtualFree(base, 0, MEM_RELEASE); }
};

class SystemLoader : public pe::ImportResolver {
 public:
  // The mapped library's imports come from the system folder, never from beside
  // the program or the current folder.
  void* LoadModule(const char* name) override {
    return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  std::uint64_t FindByName(void* module, const char* name) override {
    return reinterpret_cast<std::uintptr_t>(GetProcAddress(static_cast<HMODULE>(module), name));
  }
  std::uint64_t FindByOrdinal(void* module, std::uint16_t ordinal) override {
    return reinterpret_cast<std::uintptr_t>(GetProcAddress(static_cast<HMODULE>(module), MAKEINTRESOURCEA(ordinal)));
  }
  void ReleaseModule(void* module) override { FreeLibrary(static_cast<HMODULE>(module)); }
};

std::uint32_t PageSize() {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  return si.dwPageSize;
}

DWORD Protection(const pe::PageRun& run) {
  if (run.execute) return PAGE_EXECUTE_READ;
  return run.write ? PAGE_READWRITE : PAGE_READONLY;
}

}  // namespace

PageAllocator& SystemPages() {
  static VirtualPages pages;
  return pages;
}

pe::ImportResolver& SystemImports() {
  static SystemLoader loader;
  return loader;
}

MemoryLibrary::Pages::~Pages() {
  if (base) allocator->Free(base);
}

MemoryLibrary::Modules::~Modules() {
  for (auto it = loaded.rbegin(); it != loaded.rend(); ++it) resolver->ReleaseModule(*it);
}

MemoryLibrary::FunctionTableEntry::~FunctionTableEntry() {
#if defined(__x86_64__) || defined(_M_X64)
  if (table) RtlDeleteFunctionTable(static_cast<PRUNTIME_FUNCTION>(table));
#endif
}

std::unique_ptr<MemoryLibrary> MemoryLibrary::Load(std::span<const std::uint8_t> file, PageAllocator& pages,
                                                   pe::ImportResolver& imports) {
  std::unique_ptr<MemoryLibrary> lib(new MemoryLibrary);
  auto info = pe::ParseImage(file, kBuildMachine);
  if (!info) return nullptr;
  lib->info_ = std::move(*info);
  // Refused before any memory is taken: an image that needs a page both
  // writable and executable.
  auto rights = pe::PageRights(lib->info_, PageSize());
  if (!rights) return nullptr;
  if (!lib->Place(pages)) return nullptr;
  if (!pe::LayOut(file, lib->info_, lib->Image())) return nullptr;
  if (!pe::Relocate(lib->Image(), lib->info_, reinterpret_cast<std::uintptr_t>(lib->pages_.base))) return nullptr;
  auto exports = pe::ReadExports(lib->Image(), lib->info_);
  auto tls = pe::TlsCallbacks(lib->Image(), lib->info_);
  if (!exports || !tls) return nullptr;
  lib->exports_ = *exports;
  lib->tlsCallbacks_ = std::move(*tls);
  lib->modules_.resolver = &imports;
  if (!pe::BindImports(lib->Image(), lib->info_, imports, lib->modules_.loaded)) return nullptr;
  for (const pe::PageRun& run : *rights) {
    if (!pages.Protect(lib->pages_.base + run.rva, run.size, Protection(run))) return nullptr;
  }
  FlushInstructionCache(GetCurrentProcess(), lib->pages_.base, lib->info_.sizeOfImage);
  if (!lib->RegisterExceptionTable()) return nullptr;
  if (!lib->Attach()) return nullptr;
  return lib;
}

MemoryLibrary::~MemoryLibrary() {
  if (attached_) Notify(DLL_PROCESS_DETACH);
}

bool MemoryLibrary::Place(PageAllocator& pages) {
  pages_.allocator = &pages;
  // The preferred base spares the relocations; anywhere else will do.
  pages_.base = static_cast<std::uint8_t*>(
      pages.Allocate(reinterpret_cast<void*>(static_cast<std::uintptr_t>(info_.imageBase)), info_.sizeOfImage));
  if (!pages_.base) pages_.base = static_cast<std::uint8_t*>(pages.Allocate(nullptr, info_.sizeOfImage));
  return pages_.base != nullptr;
}

bool MemoryLibrary::RegisterExceptionTable() {
  auto table = pe::ExceptionTable(Image(), info_);
  if (!table) return false;
#if defined(__x86_64__) || defined(_M_X64)
  if (table->count == 0) return true;
  auto* entries = reinterpret_cast<PRUNTIME_FUNCTION>(pages_.base + table->rva);
  if (!RtlAddFunctionTable(entries, table->count, reinterpret_cast<DWORD64>(pages_.base))) return false;
  functionTable_.table = entries;
#endif
  return true;
}

// TLS callbacks come before the entry point, for attach and for detach, as
// the system loader orders them. The entry point's answer counts for attach.
BOOL MemoryLibrary::Notify(DWORD reason) {
  for (std::uint32_t rva : tlsCallbacks_) {
    reinterpret_cast<TlsCallback>(pages_.base + rva)(pages_.base, reason, nullptr);
  }
  if (!info_.entryPoint) return TRUE;
  return reinterpret_cast<DllEntry>(pages_.base + info_.entryPoint)(Base(), reason, nullptr);
}

bool MemoryLibrary::Attach() {
  if (!Notify(DLL_PROCESS_ATTACH)) {
    // As after a refused LoadLibrary: the module hears of its detach.
    Notify(DLL_PROCESS_DETACH);
    return false;
  }
  attached_ = true;
  return true;
}

FARPROC MemoryLibrary::Resolve(const std::optional<pe::Export>& e) {
  if (!e) return nullptr;
  if (!e->Forwarded()) return reinterpret_cast<FARPROC>(pages_.base + e->rva);
  void* module = modules_.resolver->LoadModule(e->forwardModule.c_str());
  if (!module) return nullptr;
  modules_.loaded.push_back(module);
  std::uint64_t address = e->forwardName.empty() ? modules_.resolver->FindByOrdinal(module, e->forwardOrdinal)
                                                 : modules_.resolver->FindByName(module, e->forwardName.c_str());
  return reinterpret_cast<FARPROC>(static_cast<std::uintptr_t>(address));
}

FARPROC MemoryLibrary::GetProc(std::string_view name) {
  return Resolve(pe::FindExportByName(Image(), info_, exports_, name));
}

}  // namespace velmora::win32
