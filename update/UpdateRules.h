// What the self-update accepts from the announcement page: what it may download,
// under which name the new version is stored, and the notes as shown.
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
  bool secure = false;  // https
  std::string host;
  uint16_t port = 80;
  std::string object;  // path and query, with blanks and non-ASCII bytes %-encoded
};

// The download address, "http://" or "https://" on any host (the signature, not
// the host, vouches for what comes from there); nothing when it names no file,
// carries a user name or holds control characters. The default port is 80 or 443.
std::optional<DownloadTarget> ParseDownloadAddress(std::string_view address);

// "文件名：" reduced to a bare file name: the part after the last "\" or "/",
// refused when it is empty, holds "..", a character Windows does not allow in a
// name, ends in a blank or a dot, names a device (CON, NUL, COM1, ...) or does not
// end in ".exe"; and when Windows or this program would start it by name from the
// program folder (explorer.exe, the game's exe), it may pass for another file (an
// 8.3 alias such as "VELMOR~1.EXE") or holds bidi controls that show it otherwise.
std::optional<std::string> BareExeName(std::string_view field);

// The name (with its leading "\") the new version is stored under: the page's
// name, else kFallbackExeName; when that is the running program's own name, the
// new version's number goes before ".exe". Nothing when even that is taken.
std::optional<std::string> NewVersionFileName(const std::optional<std::string>& field,
                                              std::string_view runningExeName,
                                              std::string_view newVersion);

}  // namespace velmora
