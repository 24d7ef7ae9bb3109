// Builds small DLL images in memory for the PE tests and the fuzz seeds: PE32 or
// PE32+, sections at fixed slots, and export, import, relocation and TLS
// directories written into a section whose RVA is known while it is filled.
// Nothing is checked, so the tests can also write what no linker would.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace velmora::testing {

inline constexpr std::uint32_t kScnCode = 0x60000020;   // code, execute, read
inline constexpr std::uint32_t kScnRead = 0x40000040;   // initialised data, read
inline constexpr std::uint32_t kScnWrite = 0xC0000040;  // initialised data, read, write

struct PeSection {
  std::string name;
  std::uint32_t flags = kScnRead;
  std::uint32_t rva = 0;
  std::uint32_t virtualSize = 0;  // 0: the data's size
  std::string data;

  // Appends bytes and returns their RVA.
  std::uint32_t Put(const std::string& bytes);
  std::uint32_t Put32(std::uint32_t v);
  std::uint32_t PutPointer(std::uint64_t v, bool wide);
  std::uint32_t PutString(const std::string& s) { return Put(s + '\0'); }
  void Patch32(std::uint32_t rva, std::uint32_t v);
  std::uint32_t Next() const { return rva + static_cast<std::uint32_t>(data.size()); }
};

struct PeImport {
  std::string name;         // empty: by ordinal
  std::uint16_t ordinal = 0;
};

struct PeExport {
  std::string name;       // empty: by ordinal only
  std::uint32_t rva = 0;  // or
  std::string forwarder;  // "module.name" / "module.#n"
};

class PeWriter {
 public:
  explicit PeWriter(bool pe32plus = true, std::uint32_t sectionAlignment = 0x1000);

  bool pe32plus;
  std::uint16_t machine;
  std::uint16_t characteristics = 0x2022;  // DLL, executable, large address aware
  std::uint64_t imageBase;
  std::uint32_t sectionAlignment, fileAlignment;
  std::uint32_t entryPoint = 0;
  std::uint32_t directory[16][2] = {};
  std::deque<PeSection> sections;  // references stay valid as sections are added

  // A section in the next slot of `slot` bytes (a multiple of the alignment).
  PeSection& AddSection(const std::string& name, std::uint32_t flags, std::uint32_t slot = 0x4000);

  // Directories written into `into`; each returns what the tests check against.
  void AddExports(PeSection& into, const std::string& dllName, std::uint32_t ordinalBase,
                  const std::vector<PeExport>& exports);
  // The RVAs of the address slots, in the order given, the slots in `slotsIn`.
  std::vector<std::uint32_t> AddImport(PeSection& into, PeSection& slotsIn, const std::string& module,
                                       const std::vector<PeImport>& imports);
  void FinishImports(PeSection& into);  // the terminating descriptor, the directory
  // Entries of {type, target RVA}, grouped into blocks per 4 KiB page.
  void AddRelocations(PeSection& into, const std::vector<std::pair<unsigned, std::uint32_t>>& entries);
  // A TLS directory whose callback list holds these RVAs (as addresses at
  // imageBase); returns the RVAs of the fields holding addresses.
  std::vector<std::uint32_t> AddTls(PeSection& into, const std::vector<std::uint32_t>& callbacks);

  std::string Build() const;
  std::uint32_t SizeOfHeaders() const;

 private:
  struct Descriptor {
    std::uint32_t lookup, name, slots;
  };
  std::vector<Descriptor> descriptors_;
};

void Put32At(std::string& bytes, std::size_t at, std::uint32_t v);
void Put64At(std::string& bytes, std::size_t at, std::uint64_t v);
std::uint32_t Get32At(const std::string& bytes, std::size_t at);
std::uint64_t Get64At(const std::string& bytes, std::size_t at);

}  // namespace velmora::testing
