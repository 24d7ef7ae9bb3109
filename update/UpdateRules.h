// What the self-update accepts from the announcement page: where it may download
// from, under which name the new version is stored, and the notes as shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The name the new version is stored under when the page names no usable one;
// joined directly to the program directory (its backslash is the separator).
inline constexpr std::string_view kFallbackExeName = "\\Velmora测试.exe";

struct DownloadTarget {
  std::string host;
  uint16_t port = 80;
  std::string object;  // path and query, with blanks and non-ASCII bytes %-encoded
};

// The download address when it is an "http://" address on the maker's web site
// of this build (same host, same port); nothing for anything else, so that a page
// altered in transit cannot make the program fetch an executable from elsewhere.
std::optional<DownloadTarget> DownloadTargetOnSite(std::string_view address,
                                                   std::string_view siteHost, uint16_t sitePort);

// "文件名：" reduced to a bare file name: the part after the last "\" or "/",
// refused when it is empty, holds "..", a character Windows does not allow in a
// name, ends in a blank or a dot, names a device (CON, NUL, COM1, ...) or does not
// end in ".exe".
std::optional<std::string> BareExeName(std::string_view field);

// The name (with its leading "\") the new version is stored under: the page's
// name, else kFallbackExeName; when that is the running program's own name, the
// new version's number goes before ".exe". Nothing when even that is taken.
std::optional<std::string> NewVersionFileName(const std::optional<std::string>& field,
                                              std::string_view runningExeName,
                                              std::string_view newVersion);

// "SHA256：" as 32 bytes: exactly 64 hex digits, either case; nothing otherwise.
std::optional<std::string> ParseSha256Field(std::string_view field);

}  // namespace velmora
