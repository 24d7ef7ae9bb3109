// minizip's unzip reader over an archive file opened through the file-system
// seam (minizip's file interface): the path never reaches minizip's fopen (ANSI
// text on Windows), and the archive is read from disk as the entries need it.
#pragma once

#include <unzip.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

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

  // False when the file is not a zip archive.
  bool Open(std::unique_ptr<InputFile> archive);

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
    // Measured: 64 KiB made the unpacking 1.6x slower under Wine; 1 MiB gained nothing.
    static constexpr size_t kWindow = 256 * 1024;
    std::unique_ptr<InputFile> file;
    uint64_t position = 0;
    bool fault = false;
    uint64_t windowStart = 0;
    std::string window;  // the bytes of the file from windowStart
  };

 private:
  Cursor cursor_;
  unzFile file_ = nullptr;
  bool entryOpen_ = false;
  uint64_t entryCount_ = 0;
};

}  // namespace velmora
