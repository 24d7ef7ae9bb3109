#include "zip/EntryName.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "platform/Encoding.h"
#include "text/AsciiCase.h"
#include "text/Text.h"
#include "text/WindowsNames.h"

namespace velmora {
namespace {

constexpr uint16_t kUtf8Flag = 0x0800;
constexpr uint16_t kUnicodePathTag = 0x7075;

uint16_t Le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}

uint32_t Le32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(Le16(b, at)) | (static_cast<uint32_t>(Le16(b, at + 2)) << 16);
}

// The UTF-8 name of a valid Info-ZIP Unicode path field, if the extra data has one.
std::optional<std::string> UnicodePathField(std::string_view raw, std::string_view extra) {
  size_t at = 0;
  while (extra.size() - at >= 4) {
    uint16_t tag = Le16(extra, at);
    uint16_t size = Le16(extra, at + 2);
    at += 4;
    if (size > extra.size() - at) return std::nullopt;
    std::string_view data = extra.substr(at, size);
    at += size;
    if (tag != kUnicodePathTag || data.size() < 5 || data[0] != 1) continue;
    // The field belongs to this name only while its checksum matches: a tool that
    // renamed the entry without updating the field leaves a stale one.
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uInt>(raw.size())));
    if (Le32(data, 1) != crc) continue;
    std::string_view name = data.substr(5);
    if (IsValidUtf8(name)) return std::string(name);
  }
  return std::nullopt;
}


// The archive's own folder separators are split off before this.
bool IsAllowedPart(std::string_view part) { return IsPlainWindowsName(part); }

}  // namespace

std::optional<std::string> DecodeEntryName(std::string_view raw, uint16_t flags,
                                           std::string_view extraField) {
  if (flags & kUtf8Flag) {
    if (!IsValidUtf8(raw)) return std::nullopt;
    return std::string(raw);
  }
  if (auto unicode = UnicodePathField(raw, extraField)) return unicode;
  std::string text;
  if (!Gb18030ToUtf8(raw, text)) return std::nullopt;
  return text;
}

std::string EntryPath::Joined() const {
  std::string joined;
  for (const std::string& p : parts) {
    if (!joined.empty()) joined += '\\';
    joined += p;
  }
  return joined;
}

std::optional<EntryPath> CheckEntryPath(std::string_view name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return std::nullopt;  // root, UNC
  EntryPath path;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (!part.empty() && part != ".") {
      if (!IsAllowedPart(part)) return std::nullopt;
      path.parts.emplace_back(part);
    }
    start = end + 1;
  }
  if (path.parts.empty()) return std::nullopt;
  if (EqualsIgnoringAsciiCase(path.parts.front(), kStagingFolder)) return std::nullopt;
  path.isFolder = name.back() == '/' || name.back() == '\\';
  return path;
}

bool IsLinkEntry(uint32_t versionMadeBy, uint32_t externalAttributes) {
  constexpr uint32_t kUnixHost = 3;
  constexpr uint32_t kTypeMask = 0170000, kLinkType = 0120000;
  constexpr uint32_t kDosReparsePoint = 0x400;
  if ((versionMadeBy >> 8) == kUnixHost && ((externalAttributes >> 16) & kTypeMask) == kLinkType) {
    return true;
  }
  return (externalAttributes & kDosReparsePoint) != 0;
}

}  // namespace velmora
