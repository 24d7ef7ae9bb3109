// Maps a DLL held in memory into the process and runs it as the system loader
// would, with no file: MemoryLibrary::Load, GetProc, and the unload when the
// object goes. The format work is skin/PeImage; this is the Windows half:
// pages, protections, the exception table and the calls into the image.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "skin/PeImage.h"

namespace velmora::win32 {

// Where an image's pages come from: VirtualAlloc and its kin in the program,
// a counting stand-in in the tests.
class PageAllocator {
 public:
  virtual ~PageAllocator() = default;
  // `size` committed read-write bytes at `at` (any address when null); null on failure.
  virtual void* Allocate(void* at, std::size_t size) = 0;
  virtual bool Protect(void* at, std::size_t size, DWORD protection) = 0;
  virtual void Free(void* base) = 0;
};

PageAllocator& SystemPages();               // VirtualAlloc, VirtualProtect, VirtualFree
pe::ImportResolver& SystemImports();        // system-folder LoadLibraryExA, GetProcAddress, FreeLibrary
inline constexpr std::uint16_t kBuildMachine =
#if defined(__x86_64__) || defined(_M_X64)
    pe::kMachineAmd64;
#elif defined(__i386__) || defined(_M_IX86)
    pe::kMachineI386;
#else
#error "MemoryLibrary maps x86 and x86-64 images only"
#endif

class MemoryLibrary {
 public:
  // Maps `file` (only read) and runs its TLS callbacks and entry point for
  // process attach; null when the image is malformed, for another machine,
  // cannot be placed, an import is missing or the entry point refuses.
  static std::unique_ptr<MemoryLibrary> Load(std::span<const std::uint8_t> file,
                                             PageAllocator& pages = SystemPages(),
                                             pe::ImportResolver& imports = SystemImports());
  // Process detach, then the imports, the exception table and the pages go.
  ~MemoryLibrary();
  MemoryLibrary(const MemoryLibrary&) = delete;
  MemoryLibrary& operator=(const MemoryLibrary&) = delete;

  // The mapped address of an export, or null; a forwarded export is resolved
  // through the import resolver (its module stays loaded until the unload).
  FARPROC GetProc(std::string_view name);

  HMODULE Base() const { return reinterpret_cast<HMODULE>(pages_.base); }
  std::size_t Size() const { return info_.sizeOfImage; }

 private:
  struct Pages {  // the image's memory
    PageAllocator* allocator = nullptr;
    std::uint8_t* base = nullptr;
    ~Pages();
  };
  struct Modules {  // what the imports and forwarders loaded
    pe::ImportResolver* resolver = nullptr;
    std::vector<void*> loaded;
    ~Modules();
  };
  struct FunctionTableEntry {  // the x64 exception table, registered
    void* table = nullptr;
    ~FunctionTableEntry();
  };

  MemoryLibrary() = default;
  std::span<std::uint8_t> Image() const { return {pages_.base, info_.sizeOfImage}; }
  bool Place(PageAllocator& pages);
  bool RegisterExceptionTable();
  bool Attach();
  BOOL Notify(DWORD reason);
  FARPROC Resolve(const std::optional<pe::Export>& e);

  // Released in reverse: the table, then the modules, then the pages.
  Pages pages_;
  Modules modules_;
  FunctionTableEntry functionTable_;
  pe::ImageInfo info_;
  pe::ExportTable exports_;
  std::vector<std::uint32_t> tlsCallbacks_;
  bool attached_ = false;
};

}  // namespace velmora::win32
