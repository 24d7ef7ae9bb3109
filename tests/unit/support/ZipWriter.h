// Builds zip archives in memory for the tests, including ones no honest tool
// writes: stated sizes and checksums that lie, link entries, any name bytes.
// Local headers and the central directory are written here; zlib deflates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace velmora::testing {

struct ZipWriterEntry {
  std::string name;  // stored as given (UTF-8 or GBK bytes)
  std::string data;  // the uncompressed content
  bool deflate = true;
  uint16_t flags = 0;
  uint16_t versionMadeBy = 20;  // host 0 (MS-DOS)
  uint32_t externalAttributes = 0;
  std::string centralExtra;
  LocalTime time{2015, 7, 1, 12, 30, 0};
  std::optional<uint32_t> statedSize;  // instead of data.size()
  std::optional<uint32_t> statedCrc;   // instead of the real checksum

  ZipWriterEntry& Utf8() { flags |= 0x0800; return *this; }
  ZipWriterEntry& Stored() { deflate = false; return *this; }
  ZipWriterEntry& UnixLink() {
    versionMadeBy = (3 << 8) | 20;
    externalAttributes = 0120777u << 16;
    return *this;
  }
};

class ZipWriter {
 public:
  ZipWriterEntry& Add(std::string name, std::string data = "");
  std::string Build() const;

  // An Info-ZIP Unicode path extra field naming `utf8` for the stored `rawName`.
  static std::string UnicodePathExtra(std::string_view rawName, std::string_view utf8);

 private:
  std::vector<ZipWriterEntry> entries_;
};

std::string Deflate(std::string_view data);

}  // namespace velmora::testing
