#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "skin/PeImage.h"
#include "support/PeWriter.h"

namespace velmora {
namespace {

using namespace velmora::testing;

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A DLL as a linker writes one: code, read-only data with the import and
// export directories, data with the address slots, TLS, a zero-filled section
// and relocations for every address it holds.
struct Sample {
  explicit Sample(bool wide) : w(wide) {}
  PeWriter w;
  std::uint32_t code = 0, pointerField = 0, wordField = 0, firstCallbackField = 0;
  std::vector<std::uint32_t> slots;
  std::uint16_t Machine() const { return w.machine; }
};

Sample MakeSample(bool wide) {
  Sample s(wide);
  PeWriter& w = s.w;
  PeSection& text = w.AddSection(".text", kScnCode);
  s.code = text.Put(std::string(256, '\xCC'));
  w.entryPoint = s.code;
  PeSection& rdata = w.AddSection(".rdata", kScnRead);
  PeSection& data = w.AddSection(".data", kScnWrite);
  s.pointerField = data.PutPointer(w.imageBase + s.code, wide);
  s.wordField = data.Put32(static_cast<std::uint32_t>(w.imageBase + s.code + 4));
  s.slots = w.AddImport(rdata, data, "KERNEL32.dll", {{"GetTickCount"}, {"", 7}});
  w.FinishImports(rdata);
  w.AddExports(rdata, "sample.dll", 1, {{"Alpha", s.code, ""}, {"Beta", s.code + 16, ""}});
  std::vector<std::uint32_t> tlsFields = w.AddTls(data, {s.code + 32, s.code + 48});
  s.firstCallbackField = tlsFields[0];
  if (wide) {
    std::uint32_t unwind = rdata.Put32(0x00000001);
    w.directory[3][0] = rdata.Put32(s.code);
    rdata.Put32(s.code + 16);
    rdata.Put32(unwind);
    w.directory[3][1] = 12;
  }
  w.AddSection(".bss", kScnWrite).virtualSize = 0x800;
  std::vector<std::pair<unsigned, std::uint32_t>> relocs{{wide ? 10u : 3u, s.pointerField}, {3u, s.wordField}};
  for (std::uint32_t f : tlsFields) relocs.push_back({wide ? 10u : 3u, f});
  w.AddRelocations(w.AddSection(".reloc", kScnRead), relocs);
  return s;
}

std::vector<std::uint8_t> LaidOut(const std::string& file, const pe::ImageInfo& info) {
  std::vector<std::uint8_t> image(info.sizeOfImage);
  EXPECT_TRUE(pe::LayOut(Bytes(file), info, image));
  return image;
}

std::uint64_t Get(const std::vector<std::uint8_t>& image, std::uint32_t at, int size) {
  std::uint64_t v = 0;
  for (int i = 0; i < size; ++i) v |= std::uint64_t{image[at + i]} << (8 * i);
  return v;
}

TEST(PeImage, RefusesTruncatedAndDamagedHeaders) {
  Sample s = MakeSample(true);
  const std::string good = s.w.Build();
  const auto machine = s.Machine();
  ASSERT_TRUE(pe::ParseImage(Bytes(good), machine));
  // Every prefix cuts a header or a section's raw data.
  for (std::size_t n = 0; n < good.size(); ++n) {
    ASSERT_FALSE(pe::ParseImage(Bytes(good.substr(0, n)), machine)) << n;
  }
  const std::size_t fh = 0x44, opt = 0x58, dirs = opt + 112, sec = opt + 240;
  auto refused = [&](const char* what, auto change) {
    std::string bad = good;
    change(bad);
    EXPECT_FALSE(pe::ParseImage(Bytes(bad), machine)) << what;
  };
  refused("dos magic", [](std::string& b) { b[1] = 'X'; });
  refused("nt header outside", [](std::string& b) { Put32At(b, 0x3C, 0x7FFFFFF0); });
  refused("nt signature", [](std::string& b) { b[0x41] = 'X'; });
  refused("machine", [&](std::string& b) { b[fh] = 0x4C; b[fh + 1] = 0x01; });
  refused("no sections", [&](std::string& b) { b[fh + 2] = 0; });
  refused("optional magic", [&](std::string& b) { b[opt] = 0x0b; b[opt + 1] = 0x01; });
  refused("optional header short", [&](std::string& b) { b[fh + 16] = 0x70; });
  refused("not a dll", [&](std::string& b) { b[fh + 19] = 0; });
  refused("unaligned base", [&](std::string& b) { Put64At(b, opt + 24, 0x180001000ull); });
  refused("alignment not a power of two", [&](std::string& b) { Put32At(b, opt + 32, 0x1800); });
  refused("image too large", [&](std::string& b) { Put32At(b, opt + 56, 0x40000000); });
  refused("headers past the image", [&](std::string& b) { Put32At(b, opt + 60, 0x20000); });
  refused("section past the image", [&](std::string& b) { Put32At(b, sec + 4 * 40 + 8, 0x2000); });
  refused("sections overlapping", [&](std::string& b) { Put32At(b, sec + 8, 0x4001); });
  refused("section unaligned", [&](std::string& b) { Put32At(b, sec + 40 + 12, 0x5200); });
  refused("raw data past the file", [&](std::string& b) { Put32At(b, sec + 40 + 20, 0x7FFFF000); });
  refused("section into the headers", [&](std::string& b) { Put32At(b, sec + 12, 0); });
  refused("entry in data", [&](std::string& b) { Put32At(b, opt + 16, s.pointerField); });
  refused("exports across sections", [&](std::string& b) { Put32At(b, dirs + 4, 0x4F00); });
  refused("imports outside sections", [&](std::string& b) { Put32At(b, dirs + 8, 0x8000); });
  refused("relocations past the image", [&](std::string& b) { Put32At(b, dirs + 5 * 8, 0x7FFFFFF0); });
}

TEST(PeImage, LaysOutAndMovesByItsRelocations) {
  for (bool wide : {true, false}) {
    Sample s = MakeSample(wide);
    std::string file = s.w.Build();
    auto info = pe::ParseImage(Bytes(file), s.Machine());
    ASSERT_TRUE(info);
    std::vector<std::uint8_t> image = LaidOut(file, *info);
    EXPECT_EQ(image[s.code], 0xCC);
    EXPECT_TRUE(std::all_of(image.begin() + info->sections[3].rva, image.begin() + info->sections[4].rva,
                            [](std::uint8_t b) { return b == 0; }));
    const int width = wide ? 8 : 4;
    const std::vector<std::uint8_t> before = image;
    EXPECT_TRUE(pe::Relocate(image, *info, s.w.imageBase));
    EXPECT_EQ(image, before);

    const std::uint64_t moved = wide ? 0x7FF612340000ull : 0x00560000ull;
    ASSERT_TRUE(pe::Relocate(image, *info, moved));
    EXPECT_EQ(Get(image, s.pointerField, width), moved + s.code);
    EXPECT_EQ(Get(image, s.wordField, 4), static_cast<std::uint32_t>(moved + s.code + 4));
    EXPECT_EQ(Get(image, info->imageBaseField, width), moved);
    EXPECT_EQ(info->imageBase, moved);
    auto tls = pe::TlsCallbacks(image, *info);
    ASSERT_TRUE(tls);
    EXPECT_EQ(*tls, (std::vector<std::uint32_t>{s.code + 32, s.code + 48}));
    if (!wide) {
      EXPECT_FALSE(pe::Relocate(image, *info, 0x100000000ull)) << "PE32 stays below 4 GiB";
    }
  }

  Sample s = MakeSample(true);
  std::string good = s.w.Build();
  auto refused = [&](const char* what, auto change) {
    std::string file = good;
    auto info = pe::ParseImage(Bytes(file), s.Machine());
    ASSERT_TRUE(info);
    std::vector<std::uint8_t> image = LaidOut(file, *info);
    change(image, *info);
    EXPECT_FALSE(pe::Relocate(image, *info, 0x10000000ull)) << what;
  };
  const std::uint32_t block = s.w.directory[5][0];
  refused("no relocations", [](auto&, pe::ImageInfo& i) { i.relocations = {}; });
  refused("relocations stripped", [](auto&, pe::ImageInfo& i) { i.relocationsStripped = true; });
  refused("block past the directory", [&](auto& im, auto&) { im[block + 4] = 0x40; });
  refused("block too small", [&](auto& im, auto&) { im[block + 4] = 4; });
  refused("target past the image", [&](auto& im, auto&) { im[block] = 0; im[block + 1] = 0; im[block + 2] = 0x20; });
  refused("unknown type", [&](auto& im, auto&) { im[block + 9] = 0x50; });
}

class TableResolver : public pe::ImportResolver {
 public:
  std::map<std::string, std::map<std::string, std::uint64_t>> names;
  std::map<std::string, std::map<std::uint16_t, std::uint64_t>> ordinals;
  std::vector<std::string> loaded;

  void* LoadModule(const char* name) override {
    if (!names.count(name) && !ordinals.count(name)) return nullptr;
    loaded.push_back(name);
    return reinterpret_cast<void*>(loaded.size());
  }
  std::uint64_t FindByName(void* m, const char* name) override { return names[Module(m)][name]; }
  std::uint64_t FindByOrdinal(void* m, std::uint16_t ordinal) override { return ordinals[Module(m)][ordinal]; }
  void ReleaseModule(void*) override {}

 private:
  const std::string& Module(void* m) { return loaded.at(reinterpret_cast<std::uintptr_t>(m) - 1); }
};

TEST(PeImage, BindsImportsByNameAndOrdinal) {
  for (bool wide : {true, false}) {
    Sample s = MakeSample(wide);
    std::string file = s.w.Build();
    auto info = pe::ParseImage(Bytes(file), s.Machine());
    ASSERT_TRUE(info);
    std::vector<std::uint8_t> image = LaidOut(file, *info);
    TableResolver system;
    system.names["KERNEL32.dll"]["GetTickCount"] = 0x7A0011;
    system.ordinals["KERNEL32.dll"][7] = 0x7A0077;
    std::vector<void*> modules;
    ASSERT_TRUE(pe::BindImports(image, *info, system, modules));
    EXPECT_EQ(modules.size(), 1u);
    EXPECT_EQ(Get(image, s.slots[0], wide ? 8 : 4), 0x7A0011u);
    EXPECT_EQ(Get(image, s.slots[1], wide ? 8 : 4), 0x7A0077u);

    TableResolver without;
    without.names["KERNEL32.dll"]["GetTickCount"] = 0x7A0011;  // ordinal 7 is not there
    modules.clear();
    EXPECT_FALSE(pe::BindImports(image, *info, without, modules));
    EXPECT_EQ(modules.size(), 1u) << "the caller releases what was loaded";
    TableResolver empty;
    EXPECT_FALSE(pe::BindImports(image, *info, empty, modules));
  }

  // A module name that runs to the end of the image without its terminator.
  Sample s = MakeSample(true);
  PeSection& tail = s.w.AddSection(".tail", kScnRead);
  tail.Put(std::string(0x1000, 'A'));
  std::string file = s.w.Build();
  auto info = pe::ParseImage(Bytes(file), s.Machine());
  ASSERT_TRUE(info);
  std::vector<std::uint8_t> image = LaidOut(file, *info);
  ASSERT_EQ(tail.rva + 0x1000, info->sizeOfImage);
  const std::uint32_t descriptor = info->imports.rva;
  for (int i = 0; i < 4; ++i) image[descriptor + 12 + i] = static_cast<std::uint8_t>((tail.rva + 0x800) >> (8 * i));
  TableResolver system;
  std::vector<void*> modules;
  EXPECT_FALSE(pe::BindImports(image, *info, system, modules));
  EXPECT_TRUE(modules.empty());
}

TEST(PeImage, FindsExportsByBinarySearchOrdinalAndForwarder) {
  PeWriter w(true);
  PeSection& text = w.AddSection(".text", kScnCode);
  text.Put(std::string(0x1000, '\xC3'));
  PeSection& edata = w.AddSection(".edata", kScnRead, 0x8000);
  PeSection& data = w.AddSection(".data", kScnWrite);
  data.Put(std::string(16, '\xC3'));
  std::vector<std::string> names{"a", "ab", "abc", "B", "_x", "Z", "z", "\x7f", "SkinH_AttachRes"};
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) names.push_back("f" + std::to_string(random() % 100000) + "_" + std::to_string(i));
  std::shuffle(names.begin(), names.end(), random);
  std::vector<PeExport> exports;
  for (std::size_t i = 0; i < names.size(); ++i) exports.push_back({names[i], text.rva + static_cast<std::uint32_t>(i), ""});
  exports.push_back({"", text.rva + 0x800, ""});                 // by ordinal only
  exports.push_back({"GetPid", 0, "KERNEL32.GetCurrentProcessId"});
  exports.push_back({"Third", 0, "prov.#7"});
  exports.push_back({"NoDot", 0, "KERNEL32"});
  exports.push_back({"BadOrdinal", 0, "prov.#7x"});
  exports.push_back({"InData", data.rva, ""});  // not code: refused
  w.AddExports(edata, "many.dll", 5, exports);
  std::string file = w.Build();
  auto info = pe::ParseImage(Bytes(file), w.machine);
  ASSERT_TRUE(info);
  std::vector<std::uint8_t> image = LaidOut(file, *info);
  auto table = pe::ReadExports(image, *info);
  ASSERT_TRUE(table);

  for (std::size_t i = 0; i < names.size(); ++i) {
    auto e = pe::FindExportByName(image, *info, *table, names[i]);
    ASSERT_TRUE(e) << names[i];
    EXPECT_EQ(e->rva, text.rva + i) << names[i];
  }
  for (const char* missing : {"", "A", "abcd", "aa", "f", "zz", "\x80", "SkinH_Attach"}) {
    EXPECT_FALSE(pe::FindExportByName(image, *info, *table, missing)) << missing;
  }
  auto pid = pe::FindExportByName(image, *info, *table, "GetPid");
  ASSERT_TRUE(pid && pid->Forwarded());
  EXPECT_EQ(pid->forwardModule, "KERNEL32");
  EXPECT_EQ(pid->forwardName, "GetCurrentProcessId");
  auto third = pe::FindExportByName(image, *info, *table, "Third");
  ASSERT_TRUE(third && third->Forwarded());
  EXPECT_EQ(third->forwardModule, "prov");
  EXPECT_EQ(third->forwardOrdinal, 7);
  EXPECT_FALSE(pe::FindExportByName(image, *info, *table, "NoDot"));
  EXPECT_FALSE(pe::FindExportByName(image, *info, *table, "BadOrdinal"));
  EXPECT_FALSE(pe::FindExportByName(image, *info, *table, "InData"));

  // Tables that point outside the image.
  auto broken = [&](std::uint32_t field, std::uint32_t value) {
    std::vector<std::uint8_t> bad = image;
    for (int i = 0; i < 4; ++i) bad[info->exports.rva + field + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bad;
  };
  EXPECT_FALSE(pe::ReadExports(broken(32, info->sizeOfImage - 8), *info)) << "names";
  EXPECT_FALSE(pe::ReadExports(broken(24, 0x40000000), *info)) << "name count";
  EXPECT_FALSE(pe::ReadExports(broken(28, 0xFFFFFFF0), *info)) << "functions";
  std::vector<std::uint8_t> far = image;
  const std::uint32_t firstFunction = table->functions;
  for (int i = 0; i < 4; ++i) far[firstFunction + i] = 0xFF;
  EXPECT_FALSE(pe::FindExportByName(far, *info, *table, names[0]));
  std::vector<std::uint8_t> nameOut = image;
  for (int i = 0; i < 4; ++i) nameOut[table->names + 4 * (table->nameCount / 2) + i] = 0xEE;
  EXPECT_FALSE(pe::FindExportByName(nameOut, *info, *table, names[0]));
}

TEST(PeImage, TlsExceptionTableAndPageRights) {
  Sample s = MakeSample(true);
  std::string file = s.w.Build();
  auto info = pe::ParseImage(Bytes(file), s.Machine());
  ASSERT_TRUE(info);
  std::vector<std::uint8_t> image = LaidOut(file, *info);
  auto functions = pe::ExceptionTable(image, *info);
  ASSERT_TRUE(functions);
  EXPECT_EQ(functions->count, 1u);
  std::vector<std::uint8_t> bad = image;
  bad[functions->rva + 6] = 0x7F;  // end past the image
  EXPECT_FALSE(pe::ExceptionTable(bad, *info));
  pe::ImageInfo odd = *info;
  odd.exceptions.size = 10;
  EXPECT_FALSE(pe::ExceptionTable(image, odd));

  // A TLS callback that is not in code.
  bad = image;
  for (int i = 0; i < 8; ++i) {
    bad[s.firstCallbackField + i] = static_cast<std::uint8_t>((s.w.imageBase + s.pointerField) >> (8 * i));
  }
  EXPECT_FALSE(pe::TlsCallbacks(bad, *info));

  auto runs = pe::PageRights(*info, 0x1000);
  ASSERT_TRUE(runs);
  // Headers; code; read-only up to the data; data; read-only; bss; read-only to the end.
  ASSERT_EQ(runs->size(), 7u);
  EXPECT_TRUE((*runs)[1].execute && !(*runs)[1].write && (*runs)[1].size == 0x1000);
  EXPECT_TRUE(!(*runs)[2].execute && !(*runs)[2].write && (*runs)[2].rva == 0x2000 && (*runs)[2].size == 0x7000);
  EXPECT_TRUE((*runs)[3].write && (*runs)[3].rva == 0x9000 && (*runs)[3].size == 0x1000);
  EXPECT_TRUE((*runs)[5].write && (*runs)[5].rva == 0xD000);
  EXPECT_EQ((*runs)[6].rva + (*runs)[6].size, info->sizeOfImage);

  // Sections below the page size share pages: code with read-only data gives
  // code; read-only with writable data gives data; code with data is refused.
  for (std::uint32_t readOnlySlot : {0x200u, 0xC00u}) {
    PeWriter small(true, 0x200);
    small.AddSection(".text", kScnCode, 0x200).Put(std::string(0x100, '\xC3'));
    small.AddSection(".rdata", kScnRead, readOnlySlot).Put("ro");
    small.AddSection(".data", kScnWrite, 0x200).Put("rw");
    std::string smallFile = small.Build();
    auto smallInfo = pe::ParseImage(Bytes(smallFile), small.machine);
    ASSERT_TRUE(smallInfo);
    runs = pe::PageRights(*smallInfo, 0x1000);
    if (readOnlySlot == 0x200) {
      EXPECT_FALSE(runs) << "code and data on one page";
      continue;
    }
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 2u);
    EXPECT_TRUE((*runs)[0].execute && !(*runs)[0].write);
    EXPECT_TRUE((*runs)[1].write && !(*runs)[1].execute);
  }
}

}  // namespace
}  // namespace velmora
