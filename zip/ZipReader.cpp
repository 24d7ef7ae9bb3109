#include "zip/ZipReader.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace velmora {
namespace {

using Cursor = ZipReader::Cursor;

voidpf ZCALLBACK ZipOpen(voidpf opaque, const void*, int) { return opaque; }

// minizip reads the directory a few bytes at a time: those reads come from a
// window of the file kept here, large reads go to the file directly.
std::optional<size_t> ReadThrough(Cursor& c, char* out, size_t size) {
  if (size >= Cursor::kWindow) return c.file->ReadAt(c.position, out, size);
  if (c.position < c.windowStart || c.position >= c.windowStart + c.window.size()) {
    c.window.resize(Cursor::kWindow);
    std::optional<size_t> n = c.file->ReadAt(c.position, c.window.data(), c.window.size());
    if (!n) {
      c.window.clear();
      return std::nullopt;
    }
    c.window.resize(*n);
    c.windowStart = c.position;
    if (*n == 0) return 0;
  }
  const size_t at = static_cast<size_t>(c.position - c.windowStart);
  const size_t n = std::min(size, c.window.size() - at);
  std::memcpy(out, c.window.data() + at, n);
  return n;
}

uLong ZCALLBACK ZipRead(voidpf, voidpf stream, void* buf, uLong size) {
  auto* c = static_cast<Cursor*>(stream);
  // A short count tells minizip of the end, or of a fault that ZERROR reports.
  uLong done = 0;
  while (done < size) {
    std::optional<size_t> n = ReadThrough(*c, static_cast<char*>(buf) + done, size - done);
    if (!n) c->fault = true;
    if (!n || *n == 0) break;
    done += static_cast<uLong>(*n);
    c->position += *n;
  }
  return done;
}

uLong ZCALLBACK ZipWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK ZipTell(voidpf, voidpf stream) { return static_cast<Cursor*>(stream)->position; }

long ZCALLBACK ZipSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* c = static_cast<Cursor*>(stream);
  const uint64_t size = c->file->Size();
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

int ZCALLBACK ZipClose(voidpf, voidpf) { return 0; }
int ZCALLBACK ZipError(voidpf, voidpf stream) { return static_cast<Cursor*>(stream)->fault ? 1 : 0; }

}  // namespace

ZipReader::~ZipReader() {
  if (entryOpen_) unzCloseCurrentFile(file_);
  if (file_) unzClose(file_);
}

bool ZipReader::Open(std::unique_ptr<InputFile> archive) {
  if (!archive) return false;
  cursor_ = Cursor{};
  cursor_.file = std::move(archive);
  zlib_filefunc64_def io{};
  io.zopen64_file = ZipOpen;
  io.zread_file = ZipRead;
  io.zwrite_file = ZipWrite;
  io.ztell64_file = ZipTell;
  io.zseek64_file = ZipSeek;
  io.zclose_file = ZipClose;
  io.zerror_file = ZipError;
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
