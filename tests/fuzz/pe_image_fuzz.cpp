// The PE validator and everything a load reads after it, on arbitrary bytes:
// no crash, no read or write outside the file or the image (ASan), and what is
// accepted stays inside the image: sections, page runs, TLS callbacks, the
// function table, the imports' slots and the exports found.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "skin/PeImage.h"

namespace {

using namespace velmora;

void Require(bool ok) {
  if (!ok) std::abort();
}

class AnyModule : public pe::ImportResolver {
 public:
  int open = 0;
  void* LoadModule(const char*) override { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(++open)); }
  std::uint64_t FindByName(void*, const char*) override { return 0x7F0000001000ull; }
  std::uint64_t FindByOrdinal(void*, std::uint16_t ordinal) override { return ordinal ? 0x7F0000002000ull : 0; }
  void ReleaseModule(void*) override {}
};

void CheckExport(const std::optional<pe::Export>& e, const pe::ImageInfo& info) {
  if (e && !e->Forwarded()) Require(e->rva != 0 && e->rva < info.sizeOfImage);
  if (e && e->Forwarded()) Require(!e->forwardName.empty() || e->forwardOrdinal != 0);
}

void Exercise(std::span<const std::uint8_t> file, std::uint16_t machine) {
  auto parsed = pe::ParseImage(file, machine);
  if (!parsed) return;
  pe::ImageInfo info = *parsed;
  for (const pe::Section& s : info.sections) {
    Require(std::uint64_t{s.rva} + s.size <= info.sizeOfImage && s.fileSize <= s.size);
    Require(std::uint64_t{s.fileOffset} + s.fileSize <= file.size());
  }
  if (auto runs = pe::PageRights(info, 4096)) {
    std::uint64_t end = 0;
    for (const pe::PageRun& r : *runs) {
      Require(r.rva == end && !(r.write && r.execute));
      end += r.size;
    }
    Require(end >= info.sizeOfImage);
  }
  if (info.sizeOfImage > (1u << 20)) return;  // a claimed size the fuzzer need not allocate
  std::vector<std::uint8_t> image(info.sizeOfImage);
  Require(pe::LayOut(file, info, image));
  if (!pe::Relocate(image, info, info.imageBase ^ 0x10000)) return;
  if (auto tls = pe::TlsCallbacks(image, info)) {
    for (std::uint32_t rva : *tls) Require(rva < info.sizeOfImage);
  }
  if (auto table = pe::ExceptionTable(image, info)) {
    Require(std::uint64_t{table->rva} + 12ull * table->count <= info.sizeOfImage);
  }
  AnyModule modules;
  std::vector<void*> loaded;
  pe::BindImports(image, info, modules, loaded);
  Require(static_cast<int>(loaded.size()) == modules.open);
  auto exports = pe::ReadExports(image, info);
  if (!exports) return;
  for (const char* name : {"SkinH_AttachRes", "a", "DllMain"}) {
    CheckExport(pe::FindExportByName(image, info, *exports, name), info);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const std::uint8_t> file(data, size);
  Exercise(file, pe::kMachineAmd64);
  Exercise(file, pe::kMachineI386);
  return 0;
}
