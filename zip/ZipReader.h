// minizip's unzip reader over an archive held in memory. Reading from memory keeps
// the archive's path away from minizip's fopen (ANSI text on Windows), and the
// archive is read from disk once, through the file-system seam.
#pragma once

#include <unzip.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// One entry as the central directory describes it.
struct ZipEntryInfo {
  std::string rawName;  // the stored name bytes
  std::string extraField;
  uint16_t flags = 0;
  uint32_t versionMadeBy = 0;
  uint32_t externalAttributes = 0;
  uint64_t statedSize = 0;  // uncompressed size
  tm_unz time{};
  unz64_file_pos position{};
};

class ZipReader {
 public:
  ZipReader() = default;
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // The bytes must outlive the reader. False when they are not a zip archive.
  bool Open(std::string_view archive);

  // Walks the central directory: First, then Next until it is not Step::Entry.
  enum class Step { Entry, End, Fault };
  Step First();
  Step Next();
  bool Current(ZipEntryInfo& info);

  // Reads the entry's data; Read returns bytes read, 0 at its end, <0 on a fault.
  bool OpenEntry(const unz64_file_pos& position);
  int Read(void* buffer, unsigned size);
  // False when the data does not match the entry's checksum.
  bool CloseEntry();

  struct Cursor {
    std::string_view bytes;
    uint64_t position = 0;
  };

 private:
  Cursor cursor_;
  unzFile file_ = nullptr;
  bool entryOpen_ = false;
  uint64_t entryCount_ = 0;
};

}  // namespace velmora
