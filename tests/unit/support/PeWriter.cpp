#include "support/PeWriter.h"

#include <algorithm>
#include <map>

namespace velmora::testing {
namespace {

std::uint32_t Align(std::uint32_t v, std::uint32_t a) { return (v + a - 1) / a * a; }

}  // namespace

void Put32At(std::string& b, std::size_t at, std::uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4, '\0');
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}
void Put64At(std::string& b, std::size_t at, std::uint64_t v) {
  Put32At(b, at, static_cast<std::uint32_t>(v));
  Put32At(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}
std::uint32_t Get32At(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t{static_cast<unsigned char>(b[at + i])} << (8 * i);
  return v;
}
std::uint64_t Get64At(const std::string& b, std::size_t at) {
  return Get32At(b, at) | std::uint64_t{Get32At(b, at + 4)} << 32;
}

std::uint32_t PeSection::Put(const std::string& bytes) {
  std::uint32_t at = Next();
  data += bytes;
  return at;
}
std::uint32_t PeSection::Put32(std::uint32_t v) {
  std::uint32_t at = Next();
  Put32At(data, data.size(), v);
  return at;
}
std::uint32_t PeSection::PutPointer(std::uint64_t v, bool wide) {
  std::uint32_t at = Next();
  if (wide) {
    Put64At(data, data.size(), v);
  } else {
    Put32At(data, data.size(), static_cast<std::uint32_t>(v));
  }
  return at;
}
void PeSection::Patch32(std::uint32_t at, std::uint32_t v) { Put32At(data, at - rva, v); }

PeWriter::PeWriter(bool wide, std::uint32_t alignment)
    : pe32plus(wide), machine(wide ? 0x8664 : 0x014c), imageBase(wide ? 0x180000000ull : 0x10000000ull),
      sectionAlignment(alignment), fileAlignment(std::min<std::uint32_t>(alignment, 0x200)) {}

std::uint32_t PeWriter::SizeOfHeaders() const {
  std::uint32_t optional = pe32plus ? 240 : 224;
  return Align(0x40 + 4 + 20 + optional + 40 * static_cast<std::uint32_t>(sections.size()), fileAlignment);
}

PeSection& PeWriter::AddSection(const std::string& name, std::uint32_t flags, std::uint32_t slot) {
  std::uint32_t rva = sections.empty() ? Align(0x400, sectionAlignment)
                                       : sections.back().rva + std::max(slot, sectionAlignment);
  sections.push_back(PeSection{name, flags, rva, 0, {}});
  return sections.back();
}

void PeWriter::AddExports(PeSection& into, const std::string& dllName, std::uint32_t ordinalBase,
                          const std::vector<PeExport>& exports) {
  const std::uint32_t start = into.Next();
  into.Put(std::string(40, '\0'));
  std::uint32_t nameRva = into.PutString(dllName);
  std::map<std::string, std::uint16_t> named;  // sorted by byte value, as a linker writes it
  std::vector<std::uint32_t> forwarders;
  for (std::size_t i = 0; i < exports.size(); ++i) {
    if (!exports[i].name.empty()) named[exports[i].name] = static_cast<std::uint16_t>(i);
    forwarders.push_back(exports[i].forwarder.empty() ? exports[i].rva : into.PutString(exports[i].forwarder));
  }
  std::uint32_t functions = into.Next();
  for (std::uint32_t rva : forwarders) into.Put32(rva);
  std::vector<std::uint32_t> nameRvas;
  for (const auto& [n, index] : named) nameRvas.push_back(into.PutString(n));
  std::uint32_t names = into.Next();
  for (std::uint32_t r : nameRvas) into.Put32(r);
  std::uint32_t ordinals = into.Next();
  for (const auto& [n, index] : named) into.Put(std::string{static_cast<char>(index), static_cast<char>(index >> 8)});
  const std::uint32_t fields[] = {nameRva, ordinalBase, static_cast<std::uint32_t>(exports.size()),
                                  static_cast<std::uint32_t>(named.size()), functions, names, ordinals};
  for (int i = 0; i < 7; ++i) into.Patch32(start + 12 + 4 * i, fields[i]);
  directory[0][0] = start;
  directory[0][1] = into.Next() - start;
}

std::vector<std::uint32_t> PeWriter::AddImport(PeSection& into, PeSection& slotsIn, const std::string& module,
                                               const std::vector<PeImport>& imports) {
  const std::uint64_t byOrdinal = pe32plus ? 1ull << 63 : 1ull << 31;
  std::vector<std::uint64_t> thunks;
  for (const PeImport& i : imports) {
    thunks.push_back(i.name.empty() ? byOrdinal | i.ordinal : into.Put(std::string(2, '\0') + i.name + '\0'));
  }
  std::uint32_t nameRva = into.PutString(module);
  std::uint32_t lookup = into.Next();
  for (std::uint64_t t : thunks) into.PutPointer(t, pe32plus);
  into.PutPointer(0, pe32plus);
  const std::uint32_t first = slotsIn.Next();
  std::vector<std::uint32_t> slots;
  for (std::uint64_t t : thunks) slots.push_back(slotsIn.PutPointer(t, pe32plus));
  slotsIn.PutPointer(0, pe32plus);
  descriptors_.push_back({lookup, nameRva, first});
  return slots;
}

void PeWriter::FinishImports(PeSection& into) {
  std::uint32_t start = into.Next();
  for (const Descriptor& d : descriptors_) {
    into.Put32(d.lookup);
    into.Put32(0);
    into.Put32(0);
    into.Put32(d.name);
    into.Put32(d.slots);
  }
  into.Put(std::string(20, '\0'));
  directory[1][0] = start;
  directory[1][1] = into.Next() - start;
}

void PeWriter::AddRelocations(PeSection& into, const std::vector<std::pair<unsigned, std::uint32_t>>& entries) {
  std::map<std::uint32_t, std::vector<std::uint16_t>> pages;
  for (const auto& [type, target] : entries) {
    pages[target & ~0xFFFu].push_back(static_cast<std::uint16_t>(type << 12 | (target & 0xFFF)));
  }
  std::uint32_t start = into.Next();
  for (auto& [page, list] : pages) {
    if (list.size() % 2) list.push_back(0);  // ABSOLUTE: pads the block to 4 bytes
    into.Put32(page);
    into.Put32(static_cast<std::uint32_t>(8 + 2 * list.size()));
    for (std::uint16_t e : list) into.Put(std::string{static_cast<char>(e), static_cast<char>(e >> 8)});
  }
  directory[5][0] = start;
  directory[5][1] = into.Next() - start;
}

std::vector<std::uint32_t> PeWriter::AddTls(PeSection& into, const std::vector<std::uint32_t>& callbacks) {
  std::vector<std::uint32_t> fields;
  std::uint32_t list = into.Next();
  for (std::uint32_t rva : callbacks) fields.push_back(into.PutPointer(imageBase + rva, pe32plus));
  into.PutPointer(0, pe32plus);
  std::uint32_t index = into.Put32(0);
  std::uint32_t start = into.Next();
  into.PutPointer(0, pe32plus);  // raw data start, end: no template
  into.PutPointer(0, pe32plus);
  fields.push_back(into.PutPointer(imageBase + index, pe32plus));
  fields.push_back(into.PutPointer(imageBase + list, pe32plus));
  into.Put32(0);
  into.Put32(0);
  directory[9][0] = start;
  directory[9][1] = into.Next() - start;
  return fields;
}

std::string PeWriter::Build() const {
  std::string b(SizeOfHeaders(), '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32At(b, 0x3C, 0x40);
  Put32At(b, 0x40, 0x4550);
  const std::size_t fh = 0x44, opt = fh + 20;
  const std::uint32_t optSize = pe32plus ? 240 : 224;
  Put32At(b, fh, machine | static_cast<std::uint32_t>(sections.size()) << 16);
  Put32At(b, fh + 16, optSize | std::uint32_t{characteristics} << 16);
  Put32At(b, opt, pe32plus ? 0x20b : 0x10b);
  Put32At(b, opt + 16, entryPoint);
  if (pe32plus) {
    Put64At(b, opt + 24, imageBase);
  } else {
    Put32At(b, opt + 28, static_cast<std::uint32_t>(imageBase));
  }
  Put32At(b, opt + 32, sectionAlignment);
  Put32At(b, opt + 36, fileAlignment);
  std::uint32_t sizeOfImage = SizeOfHeaders();
  for (const PeSection& s : sections) {
    sizeOfImage = Align(s.rva + std::max<std::uint32_t>(s.virtualSize, static_cast<std::uint32_t>(s.data.size())),
                        sectionAlignment);
  }
  Put32At(b, opt + 56, sizeOfImage);
  Put32At(b, opt + 60, SizeOfHeaders());
  const std::size_t dirs = opt + (pe32plus ? 112 : 96);
  Put32At(b, dirs - 4, 16);
  for (int i = 0; i < 16; ++i) {
    Put32At(b, dirs + 8 * i, directory[i][0]);
    Put32At(b, dirs + 8 * i + 4, directory[i][1]);
  }
  // Raw data follows the headers, each section at the file alignment; the
  // last one ends the file, so every shorter prefix cuts something.
  std::size_t header = dirs + 128;
  std::string raw;
  for (const PeSection& s : sections) {
    std::uint32_t offset = s.data.empty() ? 0 : SizeOfHeaders() + static_cast<std::uint32_t>(raw.size());
    std::string name = s.name.substr(0, 8);
    b.replace(header, name.size(), name);
    Put32At(b, header + 8, s.virtualSize ? s.virtualSize : static_cast<std::uint32_t>(s.data.size()));
    Put32At(b, header + 12, s.rva);
    Put32At(b, header + 16, static_cast<std::uint32_t>(s.data.size()));
    Put32At(b, header + 20, offset);
    Put32At(b, header + 36, s.flags);
    header += 40;
    raw += s.data;
    if (&s != &sections.back()) raw.resize(Align(static_cast<std::uint32_t>(raw.size()), fileAlignment), '\0');
  }
  return b + raw;
}

}  // namespace velmora::testing
