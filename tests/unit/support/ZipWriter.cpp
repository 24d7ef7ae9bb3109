#include "support/ZipWriter.h"

#include <zlib.h>

#include <stdexcept>

namespace velmora::testing {
namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

uint16_t DosTime(const LocalTime& t) { return static_cast<uint16_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2)); }
uint16_t DosDate(const LocalTime& t) { return static_cast<uint16_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day); }

}  // namespace

std::string Deflate(std::string_view data) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (r != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

ZipWriterEntry& ZipWriter::Add(std::string name, std::string data) {
  ZipWriterEntry& e = entries_.emplace_back();
  e.name = std::move(name);
  e.data = std::move(data);
  return e;
}

std::string ZipWriter::UnicodePathExtra(std::string_view rawName, std::string_view utf8) {
  std::string field;
  Put16(field, 0x7075);
  Put16(field, static_cast<uint32_t>(5 + utf8.size()));
  field += '\x01';
  Put32(field, Crc(rawName));
  field += utf8;
  return field;
}

std::string ZipWriter::Build() const {
  std::string out, central;
  for (const ZipWriterEntry& e : entries_) {
    std::string packed = e.deflate ? Deflate(e.data) : e.data;
    uint32_t crc = e.statedCrc.value_or(Crc(e.data));
    uint32_t size = e.statedSize.value_or(static_cast<uint32_t>(e.data.size()));
    uint16_t method = e.deflate ? 8 : 0;
    uint32_t offset = static_cast<uint32_t>(out.size());

    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, e.flags);
    Put16(out, method);
    Put16(out, DosTime(e.time));
    Put16(out, DosDate(e.time));
    Put32(out, crc);
    Put32(out, static_cast<uint32_t>(packed.size()));
    Put32(out, size);
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, 0);
    out += e.name;
    out += packed;

    Put32(central, 0x02014b50);
    Put16(central, e.versionMadeBy);
    Put16(central, 20);
    Put16(central, e.flags);
    Put16(central, method);
    Put16(central, DosTime(e.time));
    Put16(central, DosDate(e.time));
    Put32(central, crc);
    Put32(central, static_cast<uint32_t>(packed.size()));
    Put32(central, size);
    Put16(central, static_cast<uint32_t>(e.name.size()));
    Put16(central, static_cast<uint32_t>(e.centralExtra.size()));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, e.externalAttributes);
    Put32(central, offset);
    central += e.name;
    central += e.centralExtra;
  }
  uint32_t centralOffset = static_cast<uint32_t>(out.size());
  out += central;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries_.size()));
  Put16(out, static_cast<uint32_t>(entries_.size()));
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, centralOffset);
  Put16(out, 0);
  return out;
}

}  // namespace velmora::testing
