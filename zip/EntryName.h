// Names of zip entries: how the stored bytes become text, and which names may be
// unpacked at all. Chinese zip tools store GBK names without saying so; others
// mark UTF-8 with flag bit 11 or carry an Info-ZIP Unicode path extra field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The folder below the target where an unpacking is staged before anything is
// moved into place. No entry may name it.
inline constexpr std::string_view kStagingFolder = "velmora-unpack~";

// The entry name as UTF-8: the raw bytes when flag bit 11 says UTF-8, else the
// Unicode path extra field (0x7075) when its checksum matches the raw name, else
// the raw bytes read as GBK. Empty when the bytes are not valid in that encoding.
std::optional<std::string> DecodeEntryName(std::string_view raw, uint16_t flags,
                                           std::string_view extraField);

// A name that is safe to unpack below a target folder.
struct EntryPath {
  std::vector<std::string> parts;  // folder names, then the file name; never empty
  bool isFolder = false;           // the name ended in a separator
  // The parts joined with "\", to append after the target folder and a "\".
  std::string Joined() const;
};

// Accepts "/" and "\" as separators and drops empty and "." parts. Refuses (empty
// result) absolute names, drive letters and UNC prefixes, "..", Windows device
// names (CON, NUL, COM1, ...), characters Windows does not allow in names, parts
// ending in a dot or a blank (Windows would strip them and so alias another name),
// parts holding "~" and a digit (a short-name alias such as "PROFIL~1"), and the
// staging folder.
std::optional<EntryPath> CheckEntryPath(std::string_view utf8Name);

// True for an entry that stores a symbolic link or another reparse point: a Unix
// host's link mode in the high word, or the DOS reparse-point attribute.
bool IsLinkEntry(uint32_t versionMadeBy, uint32_t externalAttributes);

}  // namespace velmora
