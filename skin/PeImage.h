// The Windows image format (PE/COFF) as a loader of DLLs needs it, over plain
// bytes: a DLL file validated into a description, its sections laid out in an
// image, base relocations, imports bound through a resolver, exports looked up,
// TLS callbacks, the exception table and the rights of each page. Portable, so
// it is unit-tested and fuzzed natively; skin/win32/MemoryLibrary maps it.
//
// `file` is the DLL as stored; `image` is its laid-out copy of SizeOfImage bytes
// (relative address = index). Every offset read from either is checked first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::pe {

inline constexpr std::uint16_t kMachineI386 = 0x014c;   // PE32 images
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;  // PE32+ images
inline constexpr std::uint32_t kMaxImageSize = 256u << 20;

struct Range {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
  bool Empty() const { return size == 0; }
};

struct Section {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;        // extent in the image (VirtualSize, else the raw size)
  std::uint32_t fileOffset = 0;  // of its raw data
  std::uint32_t fileSize = 0;    // raw bytes copied; the rest of the extent is zero
  bool write = false;
  bool execute = false;
};

struct ImageInfo {
  std::uint16_t machine = 0;
  bool pe32plus = false;
  std::uint64_t imageBase = 0;  // preferred; Relocate sets the actual one
  std::uint32_t sizeOfImage = 0;
  std::uint32_t sizeOfHeaders = 0;
  std::uint32_t sectionAlignment = 0;
  std::uint32_t entryPoint = 0;      // 0: none
  std::uint32_t imageBaseField = 0;  // file offset of the ImageBase field
  bool relocationsStripped = false;
  std::vector<Section> sections;
  Range exports, imports, relocations, tls, exceptions;

  std::uint32_t PointerSize() const { return pe32plus ? 8 : 4; }
};

// Validates a DLL for `machine` (PE32 for i386, PE32+ for AMD64): signatures,
// header sizes, alignments, sections ascending inside the image and their raw
// data inside the file, and each directory used here inside one section.
std::optional<ImageInfo> ParseImage(std::span<const std::uint8_t> file, std::uint16_t machine);

// Copies the headers and each section's raw data to their places in `image`
// (SizeOfImage bytes) and zeroes everything else.
bool LayOut(std::span<const std::uint8_t> file, const ImageInfo& info, std::span<std::uint8_t> image);

// Moves the laid-out image to `base`: applies every HIGHLOW and DIR64 entry and
// records `base` in the header and in info. False when it would have to move
// but carries no relocations, or a block or target lies outside the image.
bool Relocate(std::span<std::uint8_t> image, ImageInfo& info, std::uint64_t base);

// What binding imports needs from the system; the program passes LoadLibraryA,
// GetProcAddress and FreeLibrary, the tests a table.
class ImportResolver {
 public:
  virtual ~ImportResolver() = default;
  virtual void* LoadModule(const char* name) = 0;  // nullptr: not there
  virtual std::uint64_t FindByName(void* module, const char* name) = 0;  // 0: not there
  virtual std::uint64_t FindByOrdinal(void* module, std::uint16_t ordinal) = 0;
  virtual void ReleaseModule(void* module) = 0;
};

// Resolves every import into its address slot. Each module loaded is appended
// to `modules`, which the caller releases, also after a failure.
bool BindImports(std::span<std::uint8_t> image, const ImageInfo& info, ImportResolver& resolver,
                 std::vector<void*>& modules);

// The export directory, checked: its arrays lie inside the image.
struct ExportTable {
  Range directory;
  std::uint32_t ordinalBase = 0;
  std::uint32_t functionCount = 0, functions = 0;  // array of RVAs
  std::uint32_t nameCount = 0, names = 0, nameOrdinals = 0;
};
std::optional<ExportTable> ReadExports(std::span<const std::uint8_t> image, const ImageInfo& info);

// An export: its RVA, or, when it is forwarded, "module.name" or "module.#n".
struct Export {
  std::uint32_t rva = 0;
  std::string forwardModule;  // empty: not forwarded
  std::string forwardName;    // empty: by ordinal
  std::uint16_t forwardOrdinal = 0;
  bool Forwarded() const { return !forwardModule.empty(); }
};
// By name, a binary search over the sorted name table (the program looks up
// nothing by ordinal).
std::optional<Export> FindExportByName(std::span<const std::uint8_t> image, const ImageInfo& info,
                                       const ExportTable& table, std::string_view name);

// The TLS callbacks of the relocated image, as RVAs inside executable sections,
// in their order; none when it has no TLS directory, nothing when malformed.
std::optional<std::vector<std::uint32_t>> TlsCallbacks(std::span<const std::uint8_t> image,
                                                       const ImageInfo& info);

// The x64 function table (12-byte entries, each inside the image); PE32 has none.
struct FunctionTable {
  std::uint32_t rva = 0;
  std::uint32_t count = 0;
};
std::optional<FunctionTable> ExceptionTable(std::span<const std::uint8_t> image, const ImageInfo& info);

// Page rights of the whole image in ascending runs. Every page is readable; a
// page takes the union of the sections on it. Nothing when a page would be both
// writable and executable: such an image is refused rather than mapped so.
struct PageRun {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
  bool write = false;
  bool execute = false;
};
std::optional<std::vector<PageRun>> PageRights(const ImageInfo& info, std::uint32_t pageSize);

}  // namespace velmora::pe
