// The contents of a laid-out image's directories: base relocations, imports,
// exports, TLS callbacks and the x64 exception table. ParseImage has placed each
// directory inside a section; what the directories point at is checked here.
#include <charconv>

#include "skin/PeBytes.h"
#include "skin/PeImage.h"

namespace velmora::pe {
namespace {

constexpr std::size_t kMaxNameLength = 4096;  // module, import and export names
constexpr unsigned kRelocAbsolute = 0, kRelocHighLow = 3, kRelocDir64 = 10;

bool InExecutableSection(const ImageInfo& info, std::uint64_t rva) {
  for (const Section& s : info.sections) {
    if (rva >= s.rva && rva < std::uint64_t{s.rva} + s.size) return s.execute;
  }
  return false;
}

// "module.name" or "module.#ordinal", split at the last dot.
std::optional<Export> ParseForwarder(std::string_view text) {
  std::size_t dot = text.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == text.size()) return std::nullopt;
  Export e;
  e.forwardModule = std::string(text.substr(0, dot));
  std::string_view target = text.substr(dot + 1);
  if (target[0] != '#') {
    e.forwardName = std::string(target);
    return e;
  }
  unsigned value = 0;
  auto [end, error] = std::from_chars(target.data() + 1, target.data() + target.size(), value);
  if (error != std::errc{} || end != target.data() + target.size() || value == 0 || value > 0xFFFF) {
    return std::nullopt;
  }
  e.forwardOrdinal = static_cast<std::uint16_t>(value);
  return e;
}

std::optional<Export> ExportAt(std::span<const std::uint8_t> image, const ImageInfo& info,
                               const ExportTable& table, std::uint32_t index) {
  if (index >= table.functionCount) return std::nullopt;
  auto rva = Read32(image, table.functions + std::uint64_t{4} * index);
  if (!rva || *rva == 0 || *rva >= image.size()) return std::nullopt;
  // An address inside the export directory is a forwarder's text, not code.
  if (*rva >= table.directory.rva && *rva - table.directory.rva < table.directory.size) {
    auto text = CString(image, *rva, kMaxNameLength);
    return text ? ParseForwarder(*text) : std::nullopt;
  }
  // Anything else is code: an address in data would be run as code by whoever calls it.
  if (!InExecutableSection(info, *rva)) return std::nullopt;
  Export e;
  e.rva = *rva;
  return e;
}

bool BindModule(std::span<std::uint8_t> image, const ImageInfo& info, std::uint32_t lookup,
                std::uint32_t slots, void* module, ImportResolver& resolver) {
  const bool wide = info.pe32plus;
  const std::uint64_t byOrdinal = wide ? 1ull << 63 : 1ull << 31;
  for (std::uint64_t at = lookup, slot = slots;; at += info.PointerSize(), slot += info.PointerSize()) {
    auto thunk = ReadPointer(image, at, wide);
    if (!thunk) return false;
    if (*thunk == 0) return true;
    std::uint64_t address = 0;
    if (*thunk & byOrdinal) {
      address = resolver.FindByOrdinal(module, static_cast<std::uint16_t>(*thunk & 0xFFFF));
    } else {
      if (*thunk >> 31) return false;  // a name's RVA has 31 bits
      auto name = CString(image, *thunk + 2, kMaxNameLength);  // after the 2-byte hint
      if (!name || name->empty()) return false;
      address = resolver.FindByName(module, std::string(*name).c_str());
    }
    if (address == 0) return false;
    bool written = wide ? WriteLe<std::uint64_t>(image, slot, address)
                        : WriteLe<std::uint32_t>(image, slot, static_cast<std::uint32_t>(address));
    if (!written) return false;
  }
}

}  // namespace

bool Relocate(std::span<std::uint8_t> image, ImageInfo& info, std::uint64_t base) {
  if (base == info.imageBase) return true;
  if (info.relocationsStripped || info.relocations.Empty()) return false;
  if (!info.pe32plus && base > 0xFFFFFFFFu) return false;
  const std::uint64_t delta = base - info.imageBase;
  std::uint64_t at = info.relocations.rva;
  const std::uint64_t end = at + info.relocations.size;
  while (end - at >= 8) {
    auto page = Read32(image, at), blockSize = Read32(image, at + 4);
    if (!page || !blockSize) return false;
    if (*blockSize < 8 || *blockSize > end - at) return false;
    for (std::uint64_t e = at + 8; e + 2 <= at + *blockSize; e += 2) {
      auto entry = Read16(image, e);
      if (!entry) return false;
      const unsigned type = *entry >> 12;
      const std::uint64_t target = std::uint64_t{*page} + (*entry & 0xFFF);
      if (type == kRelocAbsolute) continue;
      if (type == kRelocHighLow) {
        auto v = Read32(image, target);
        if (!v || !WriteLe<std::uint32_t>(image, target, static_cast<std::uint32_t>(*v + delta))) return false;
      } else if (type == kRelocDir64) {
        auto v = Read64(image, target);
        if (!v || !WriteLe<std::uint64_t>(image, target, *v + delta)) return false;
      } else {
        return false;
      }
    }
    at += *blockSize;
  }
  bool written = info.pe32plus ? WriteLe<std::uint64_t>(image, info.imageBaseField, base)
                               : WriteLe<std::uint32_t>(image, info.imageBaseField, static_cast<std::uint32_t>(base));
  if (!written) return false;
  info.imageBase = base;
  return true;
}

bool BindImports(std::span<std::uint8_t> image, const ImageInfo& info, ImportResolver& resolver,
                 std::vector<void*>& modules) {
  if (info.imports.Empty()) return true;
  // Descriptors of 20 bytes up to the one whose name is 0.
  for (std::uint64_t at = info.imports.rva;; at += 20) {
    auto lookup = Read32(image, at), nameRva = Read32(image, at + 12), slots = Read32(image, at + 16);
    if (!lookup || !nameRva || !slots) return false;
    if (*nameRva == 0) return true;
    auto name = CString(image, *nameRva, kMaxNameLength);
    if (!name || name->empty() || *slots == 0) return false;
    void* module = resolver.LoadModule(std::string(*name).c_str());
    if (!module) return false;
    modules.push_back(module);
    if (!BindModule(image, info, *lookup ? *lookup : *slots, *slots, module, resolver)) return false;
  }
}

std::optional<ExportTable> ReadExports(std::span<const std::uint8_t> image, const ImageInfo& info) {
  ExportTable t;
  if (info.exports.Empty()) return t;
  if (info.exports.size < 40) return std::nullopt;
  const std::uint32_t at = info.exports.rva;
  auto base = Read32(image, at + 16), functionCount = Read32(image, at + 20), nameCount = Read32(image, at + 24),
       functions = Read32(image, at + 28), names = Read32(image, at + 32), ordinals = Read32(image, at + 36);
  if (!base || !functionCount || !nameCount || !functions || !names || !ordinals) return std::nullopt;
  t.directory = info.exports;
  t.ordinalBase = *base;
  t.functionCount = *functionCount;
  t.functions = *functions;
  t.nameCount = *nameCount;
  t.names = *names;
  t.nameOrdinals = *ordinals;
  if (!Fits(image, t.functions, std::uint64_t{4} * t.functionCount) ||
      !Fits(image, t.names, std::uint64_t{4} * t.nameCount) ||
      !Fits(image, t.nameOrdinals, std::uint64_t{2} * t.nameCount)) {
    return std::nullopt;
  }
  return t;
}

std::optional<Export> FindExportByName(std::span<const std::uint8_t> image, const ImageInfo& info,
                                       const ExportTable& table, std::string_view name) {
  // The linker sorts the name table by byte value, as string_view compares.
  std::uint32_t low = 0, high = table.nameCount;
  while (low < high) {
    const std::uint32_t mid = low + (high - low) / 2;
    auto nameRva = Read32(image, table.names + std::uint64_t{4} * mid);
    if (!nameRva) return std::nullopt;
    auto candidate = CString(image, *nameRva, kMaxNameLength);
    if (!candidate) return std::nullopt;
    const int order = candidate->compare(name);
    if (order == 0) {
      auto index = Read16(image, table.nameOrdinals + std::uint64_t{2} * mid);
      return index ? ExportAt(image, info, table, *index) : std::nullopt;
    }
    if (order < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return std::nullopt;
}

std::optional<std::vector<std::uint32_t>> TlsCallbacks(std::span<const std::uint8_t> image,
                                                       const ImageInfo& info) {
  std::vector<std::uint32_t> callbacks;
  if (info.tls.Empty()) return callbacks;
  const bool wide = info.pe32plus;
  if (info.tls.size < (wide ? 40u : 24u)) return std::nullopt;
  // The directory holds addresses, not RVAs: the image must be relocated first.
  auto toRva = [&](std::uint64_t va) -> std::optional<std::uint64_t> {
    if (va < info.imageBase || va - info.imageBase >= info.sizeOfImage) return std::nullopt;
    return va - info.imageBase;
  };
  auto list = ReadPointer(image, info.tls.rva + 3 * info.PointerSize(), wide);
  if (!list) return std::nullopt;
  if (*list == 0) return callbacks;
  auto at = toRva(*list);
  if (!at) return std::nullopt;
  for (;; *at += info.PointerSize()) {
    auto va = ReadPointer(image, *at, wide);
    if (!va) return std::nullopt;
    if (*va == 0) return callbacks;
    auto rva = toRva(*va);
    if (!rva || !InExecutableSection(info, *rva)) return std::nullopt;
    callbacks.push_back(static_cast<std::uint32_t>(*rva));
  }
}

std::optional<FunctionTable> ExceptionTable(std::span<const std::uint8_t> image, const ImageInfo& info) {
  FunctionTable table;
  if (!info.pe32plus || info.exceptions.Empty()) return table;
  if (info.exceptions.size % 12 != 0) return std::nullopt;
  table.rva = info.exceptions.rva;
  table.count = info.exceptions.size / 12;
  for (std::uint64_t i = 0; i < table.count; ++i) {
    auto begin = Read32(image, table.rva + 12 * i), end = Read32(image, table.rva + 12 * i + 4),
         unwind = Read32(image, table.rva + 12 * i + 8);
    if (!begin || !end || !unwind) return std::nullopt;
    // The low bit of the unwind RVA marks a chained entry; either way it is 4-aligned data.
    if (*begin >= *end || *end > info.sizeOfImage || !Fits(image, *unwind & ~1u, 4)) return std::nullopt;
  }
  return table;
}

}  // namespace velmora::pe
