// Writes the seed corpus of pe_image_fuzz into a folder: small DLLs of either
// width with every directory the loader reads, and one with sections below the
// page size.  pe_seeds <folder>
#include <cstdio>
#include <string>

#include "support/PeWriter.h"

using namespace velmora::testing;

namespace {

std::string Dll(bool wide) {
  PeWriter w(wide);
  PeSection& text = w.AddSection(".text", kScnCode, 0x1000);
  std::uint32_t code = text.Put(std::string(64, '\xC3'));
  w.entryPoint = code;
  PeSection& rdata = w.AddSection(".rdata", kScnRead, 0x1000);
  PeSection& data = w.AddSection(".data", kScnWrite, 0x1000);
  std::uint32_t pointer = data.PutPointer(w.imageBase + code, wide);
  w.AddImport(rdata, data, "KERNEL32.dll", {{"GetTickCount", 0}, {"", 7}});
  w.AddImport(rdata, data, "USER32.dll", {{"MessageBoxA", 0}});
  w.FinishImports(rdata);
  w.AddExports(rdata, "seed.dll", 1,
               {{"SkinH_AttachRes", code, ""}, {"a", code + 1, ""}, {"", code + 2, ""}, {"Fwd", 0, "KERNEL32.Sleep"}});
  auto tls = w.AddTls(data, {code + 8});
  if (wide) {
    std::uint32_t unwind = rdata.Put32(1);
    w.directory[3][0] = rdata.Put32(code);
    rdata.Put32(code + 16);
    rdata.Put32(unwind);
    w.directory[3][1] = 12;
  }
  std::vector<std::pair<unsigned, std::uint32_t>> relocs{{wide ? 10u : 3u, pointer}};
  for (std::uint32_t f : tls) relocs.push_back({wide ? 10u : 3u, f});
  w.AddRelocations(w.AddSection(".reloc", kScnRead, 0x1000), relocs);
  return w.Build();
}

std::string Small() {
  PeWriter w(true, 0x200);
  w.AddSection(".text", kScnCode, 0x200).Put(std::string(0x100, '\xC3'));
  w.AddSection(".rdata", kScnRead, 0x200).Put("read only");
  w.AddSection(".data", kScnWrite, 0x200).Put("data");
  return w.Build();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::pair<const char*, std::string> seeds[] = {{"pe32plus", Dll(true)}, {"pe32", Dll(false)}, {"small", Small()}};
  for (const auto& [name, bytes] : seeds) {
    std::FILE* f = std::fopen((std::string(argv[1]) + "/" + name).c_str(), "wb");
    if (!f) return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return 0;
}
