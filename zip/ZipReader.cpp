#include "zip/ZipReader.h"

#include <algorithm>
#include <cstring>

namespace velmora {
namespace {

using Cursor = ZipReader::Cursor;

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buf, uLong size) {
  auto* c = static_cast<Cursor*>(stream);
  uint64_t left = c->bytes.size() - c->position;
  uLong n = static_cast<uLong>(std::min<uint64_t>(size, left));
  std::memcpy(buf, c->bytes.data() + c->position, n);
  c->position += n;
  return n;
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream) { return static_cast<Cursor*>(stream)->position; }

long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* c = static_cast<Cursor*>(stream);
  const uint64_t size = c->bytes.size();
  uint64_t target = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: target = offset; break;
    // minizip steps back (over an extra field) by an unsigned offset that has
    // wrapped around, as fseeko would read it: unsigned addition does the same.
    case ZLIB_FILEFUNC_SEEK_CUR: target = c->position + offset; break;
    case ZLIB_FILEFUNC_SEEK_END: target = size + offset; break;
    default: return -1;
  }
  // Offsets come from the archive itself: one outside the bytes is refused.
  if (target > size) return -1;
  c->position = target;
  return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf) { return 0; }
int ZCALLBACK ErrorMemory(voidpf, voidpf) { return 0; }

}  // namespace

ZipReader::~ZipReader() {
  if (entryOpen_) unzCloseCurrentFile(file_);
  if (file_) unzClose(file_);
}

bool ZipReader::Open(std::string_view archive) {
  cursor_ = Cursor{archive, 0};
  zlib_filefunc64_def io{};
  io.zopen64_file = OpenMemory;
  io.zread_file = ReadMemory;
  io.zwrite_file = WriteMemory;
  io.ztell64_file = TellMemory;
  io.zseek64_file = SeekMemory;
  io.zclose_file = CloseMemory;
  io.zerror_file = ErrorMemory;
  io.opaque = &cursor_;
  file_ = unzOpen2_64("", &io);
  if (!file_) return false;
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(file_, &global) != UNZ_OK) return false;
  entryCount_ = global.number_entry;
  return true;
}

namespace {
ZipReader::Step StepOf(int status) {
  if (status == UNZ_OK) return ZipReader::Step::Entry;
  return status == UNZ_END_OF_LIST_OF_FILE ? ZipReader::Step::End : ZipReader::Step::Fault;
}
}  // namespace

ZipReader::Step ZipReader::First() {
  if (!file_) return Step::Fault;
  return entryCount_ == 0 ? Step::End : StepOf(unzGoToFirstFile(file_));
}

ZipReader::Step ZipReader::Next() { return file_ ? StepOf(unzGoToNextFile(file_)) : Step::Fault; }

bool ZipReader::Current(ZipEntryInfo& info) {
  unz_file_info64 fi{};
  if (unzGetCurrentFileInfo64(file_, &fi, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  // One spare byte each: minizip writes a terminating zero when there is room.
  std::string name(fi.size_filename + 1, '\0'), extra(fi.size_file_extra + 1, '\0');
  if (unzGetCurrentFileInfo64(file_, &fi, name.data(), static_cast<uLong>(name.size()), extra.data(),
                              static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK) {
    return false;
  }
  info.rawName.assign(name.data(), fi.size_filename);
  info.extraField.assign(extra.data(), fi.size_file_extra);
  info.flags = static_cast<uint16_t>(fi.flag);
  info.versionMadeBy = static_cast<uint32_t>(fi.version);
  info.externalAttributes = static_cast<uint32_t>(fi.external_fa);
  info.statedSize = fi.uncompressed_size;
  info.time = fi.tmu_date;
  return unzGetFilePos64(file_, &info.position) == UNZ_OK;
}

bool ZipReader::OpenEntry(const unz64_file_pos& position) {
  unz64_file_pos pos = position;
  if (unzGoToFilePos64(file_, &pos) != UNZ_OK || unzOpenCurrentFile(file_) != UNZ_OK) return false;
  entryOpen_ = true;
  return true;
}

int ZipReader::Read(void* buffer, unsigned size) { return unzReadCurrentFile(file_, buffer, size); }

bool ZipReader::CloseEntry() {
  entryOpen_ = false;
  return unzCloseCurrentFile(file_) == UNZ_OK;
}

}  // namespace velmora
