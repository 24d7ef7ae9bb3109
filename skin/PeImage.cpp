// Headers, sections and page rights of a PE image. The directories' contents
// (relocations, imports, exports, TLS, exception table) are in PeDirectories.cpp.
#include "skin/PeImage.h"

#include <algorithm>
#include <cstring>

#include "skin/PeBytes.h"

namespace velmora::pe {
namespace {

constexpr std::uint16_t kDosMagic = 0x5A4D;      // "MZ"
constexpr std::uint32_t kNtSignature = 0x4550;   // "PE\0\0"
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
constexpr std::uint16_t kFileRelocsStripped = 0x0001;
constexpr std::uint16_t kFileExecutable = 0x0002;
constexpr std::uint16_t kFileDll = 0x2000;
constexpr std::uint32_t kSectionExecute = 0x20000000;
constexpr std::uint32_t kSectionWrite = 0x80000000;
constexpr std::uint32_t kFileHeaderSize = 20;
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint16_t kMaxSections = 96;
constexpr std::uint32_t kDirectoryCount = 16;

enum Directory : std::uint32_t { kExport = 0, kImport = 1, kException = 3, kBaseReloc = 5, kTls = 9 };

bool PowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// The section whose extent holds [rva, rva + size), if any.
const Section* SectionHolding(const ImageInfo& info, std::uint64_t rva, std::uint64_t size) {
  for (const Section& s : info.sections) {
    if (rva >= s.rva && rva + size <= std::uint64_t{s.rva} + s.size) return &s;
  }
  return nullptr;
}

bool ReadSections(std::span<const std::uint8_t> file, std::uint32_t at, std::uint16_t count, ImageInfo& info) {
  std::uint64_t end = info.sizeOfHeaders;
  for (std::uint16_t i = 0; i < count; ++i, at += kSectionHeaderSize) {
    auto virtualSize = Read32(file, at + 8), rva = Read32(file, at + 12), rawSize = Read32(file, at + 16),
         rawOffset = Read32(file, at + 20), flags = Read32(file, at + 36);
    if (!virtualSize || !rva || !rawSize || !rawOffset || !flags) return false;
    Section s;
    s.rva = *rva;
    s.size = *virtualSize ? *virtualSize : *rawSize;
    s.fileSize = std::min(*rawSize, s.size);
    s.fileOffset = s.fileSize ? *rawOffset : 0;
    s.write = (*flags & kSectionWrite) != 0;
    s.execute = (*flags & kSectionExecute) != 0;
    // Ascending, after the headers, aligned, inside the image; raw data in the file.
    if (s.rva < end || s.rva % info.sectionAlignment != 0) return false;
    if (std::uint64_t{s.rva} + s.size > info.sizeOfImage) return false;
    if (!Fits(file, s.fileOffset, s.fileSize)) return false;
    end = std::uint64_t{s.rva} + s.size;
    info.sections.push_back(s);
  }
  return true;
}

// A directory used here: empty, or inside one section.
bool ReadDirectory(std::span<const std::uint8_t> file, std::uint32_t table, std::uint32_t count,
                   std::uint32_t index, const ImageInfo& info, Range& out) {
  if (index >= count) return true;
  auto rva = Read32(file, table + 8 * index), size = Read32(file, table + 8 * index + 4);
  if (!rva || !size) return false;
  if (*size == 0) return true;
  if (*rva == 0 || !SectionHolding(info, *rva, *size)) return false;
  out = Range{*rva, *size};
  return true;
}

}  // namespace

std::optional<ImageInfo> ParseImage(std::span<const std::uint8_t> file, std::uint16_t machine) {
  if (Read16(file, 0) != kDosMagic) return std::nullopt;
  auto ntAt = Read32(file, 0x3C);
  if (!ntAt || Read32(file, *ntAt) != kNtSignature) return std::nullopt;
  const std::uint64_t fileHeader = std::uint64_t{*ntAt} + 4;
  auto fileMachine = Read16(file, fileHeader), sectionCount = Read16(file, fileHeader + 2),
       optionalSize = Read16(file, fileHeader + 16), characteristics = Read16(file, fileHeader + 18);
  if (!characteristics || *fileMachine != machine) return std::nullopt;
  if ((*characteristics & (kFileExecutable | kFileDll)) != (kFileExecutable | kFileDll)) return std::nullopt;
  if (*sectionCount == 0 || *sectionCount > kMaxSections) return std::nullopt;

  ImageInfo info;
  info.machine = machine;
  info.relocationsStripped = (*characteristics & kFileRelocsStripped) != 0;
  const std::uint64_t opt = fileHeader + kFileHeaderSize;
  auto magic = Read16(file, opt);
  if (!magic) return std::nullopt;
  if (machine == kMachineAmd64 && *magic == kMagicPe32Plus) {
    info.pe32plus = true;
  } else if (machine != kMachineI386 || *magic != kMagicPe32) {
    return std::nullopt;
  }
  const std::uint32_t fixedSize = info.pe32plus ? 112 : 96;  // up to the directories
  auto entry = Read32(file, opt + 16);
  auto base = info.pe32plus ? Read64(file, opt + 24) : ReadPointer(file, opt + 28, false);
  auto sectionAlign = Read32(file, opt + 32), fileAlign = Read32(file, opt + 36),
       sizeOfImage = Read32(file, opt + 56), sizeOfHeaders = Read32(file, opt + 60),
       directoryCount = Read32(file, opt + fixedSize - 4);
  if (!entry || !base || !sectionAlign || !fileAlign || !sizeOfImage || !sizeOfHeaders || !directoryCount) {
    return std::nullopt;
  }
  const std::uint32_t directories = std::min(*directoryCount, kDirectoryCount);
  if (*optionalSize < fixedSize + 8 * directories) return std::nullopt;
  const std::uint64_t sectionTable = opt + *optionalSize;
  const std::uint64_t headersEnd = sectionTable + std::uint64_t{kSectionHeaderSize} * *sectionCount;

  info.imageBase = *base;
  info.imageBaseField = static_cast<std::uint32_t>(opt + (info.pe32plus ? 24 : 28));
  info.sizeOfImage = *sizeOfImage;
  info.sizeOfHeaders = *sizeOfHeaders;
  info.sectionAlignment = *sectionAlign;
  info.entryPoint = *entry;
  if (!PowerOfTwo(*sectionAlign) || !PowerOfTwo(*fileAlign) || *fileAlign > *sectionAlign) return std::nullopt;
  if (info.imageBase % 0x10000 != 0 || info.imageBase + info.sizeOfImage < info.imageBase) return std::nullopt;
  if (info.sizeOfImage == 0 || info.sizeOfImage > kMaxImageSize) return std::nullopt;
  if (headersEnd > info.sizeOfHeaders || info.sizeOfHeaders > info.sizeOfImage ||
      !Fits(file, 0, info.sizeOfHeaders)) {
    return std::nullopt;
  }
  if (!ReadSections(file, static_cast<std::uint32_t>(sectionTable), *sectionCount, info)) return std::nullopt;

  if (info.entryPoint != 0) {
    const Section* s = SectionHolding(info, info.entryPoint, 1);
    if (!s || !s->execute) return std::nullopt;
  }
  const auto table = static_cast<std::uint32_t>(opt + fixedSize);
  if (!ReadDirectory(file, table, directories, kExport, info, info.exports) ||
      !ReadDirectory(file, table, directories, kImport, info, info.imports) ||
      !ReadDirectory(file, table, directories, kException, info, info.exceptions) ||
      !ReadDirectory(file, table, directories, kBaseReloc, info, info.relocations) ||
      !ReadDirectory(file, table, directories, kTls, info, info.tls)) {
    return std::nullopt;
  }
  return info;
}

bool LayOut(std::span<const std::uint8_t> file, const ImageInfo& info, std::span<std::uint8_t> image) {
  if (image.size() != info.sizeOfImage || !Fits(file, 0, info.sizeOfHeaders)) return false;
  std::fill(image.begin(), image.end(), std::uint8_t{0});
  std::memcpy(image.data(), file.data(), info.sizeOfHeaders);
  for (const Section& s : info.sections) {
    if (!Fits(file, s.fileOffset, s.fileSize) || !Fits(image, s.rva, s.size)) return false;
    if (s.fileSize) std::memcpy(image.data() + s.rva, file.data() + s.fileOffset, s.fileSize);
  }
  return true;
}

std::optional<std::vector<PageRun>> PageRights(const ImageInfo& info, std::uint32_t pageSize) {
  if (!PowerOfTwo(pageSize) || info.sizeOfImage == 0) return std::nullopt;
  struct Rights {
    bool write = false, execute = false;
  };
  const std::uint32_t pages = (info.sizeOfImage - 1) / pageSize + 1;
  std::vector<Rights> page(pages);
  for (const Section& s : info.sections) {
    if (s.size == 0) continue;
    if (std::uint64_t{s.rva} + s.size > info.sizeOfImage) return std::nullopt;
    for (std::uint32_t p = s.rva / pageSize; p <= (s.rva + s.size - 1) / pageSize; ++p) {
      page[p].write |= s.write;
      page[p].execute |= s.execute;
      if (page[p].write && page[p].execute) return std::nullopt;
    }
  }
  std::vector<PageRun> runs;
  for (std::uint32_t p = 0; p < pages; ++p) {
    if (!runs.empty() && runs.back().write == page[p].write && runs.back().execute == page[p].execute) {
      runs.back().size += pageSize;
    } else {
      runs.push_back(PageRun{p * pageSize, pageSize, page[p].write, page[p].execute});
    }
  }
  return runs;
}

}  // namespace velmora::pe
