#include "update/UpdateRules.h"

#include <charconv>

#include "platform/AsciiCase.h"
#include "update/Version.h"

namespace velmora {
namespace {

constexpr std::string_view kExe = ".exe";

bool EndsWithIgnoringCase(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && EqualsIgnoringAsciiCase(s.substr(s.size() - tail.size()), tail);
}

bool IsDeviceName(std::string_view name) {
  // Windows reserves these whatever extension follows ("nul.exe" is the device).
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string s = AsciiLower(std::string(stem));
  if (s == "con" || s == "prn" || s == "aux" || s == "nul" || s == "conin$" || s == "conout$") {
    return true;
  }
  if (s.size() < 4 || (s.substr(0, 3) != "com" && s.substr(0, 3) != "lpt")) return false;
  std::string_view n = std::string_view(s).substr(3);
  // A digit, or superscript one, two or three, which Windows counts as well.
  return (n.size() == 1 && n[0] >= '0' && n[0] <= '9') || n == "\xC2\xB9" || n == "\xC2\xB2" ||
         n == "\xC2\xB3";
}

}  // namespace

std::optional<DownloadTarget> DownloadTargetOnSite(std::string_view address,
                                                   std::string_view siteHost, uint16_t sitePort) {
  constexpr std::string_view kScheme = "http://";
  if (address.size() <= kScheme.size() ||
      !EqualsIgnoringAsciiCase(address.substr(0, kScheme.size()), kScheme)) {
    return std::nullopt;
  }
  address.remove_prefix(kScheme.size());
  for (char c : address) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '\\') return std::nullopt;
  }
  const size_t pathAt = address.find_first_of("/?#");
  std::string_view authority = address.substr(0, pathAt);
  if (authority.find('@') != std::string_view::npos) return std::nullopt;  // no user names

  DownloadTarget t;
  std::string_view host = authority;
  if (size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    std::string_view digits = authority.substr(colon + 1);
    unsigned value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value == 0 ||
        value > 65535) {
      return std::nullopt;
    }
    t.port = static_cast<uint16_t>(value);
  }
  if (host.empty() || !EqualsIgnoringAsciiCase(host, siteHost) || t.port != sitePort) {
    return std::nullopt;
  }
  t.host = std::string(siteHost);

  std::string_view rest = pathAt == std::string_view::npos ? std::string_view() : address.substr(pathAt);
  rest = rest.substr(0, rest.find('#'));  // a fragment is never sent
  if (rest.empty() || rest[0] != '/' || rest == "/") return std::nullopt;  // no file named
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : rest) {
    auto b = static_cast<unsigned char>(c);
    if (b == ' ' || b >= 0x80) {
      t.object += '%';
      t.object += kHex[b >> 4];
      t.object += kHex[b & 15];
    } else {
      t.object += c;
    }
  }
  return t;
}

std::optional<std::string> BareExeName(std::string_view field) {
  std::string_view name = field.substr(field.find_last_of("\\/") + 1);
  if (name.empty() || name.size() > 200 || name.find("..") != std::string_view::npos) {
    return std::nullopt;
  }
  for (char c : name) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      return std::nullopt;
    }
  }
  // Windows drops a trailing blank or dot, which would give another name than the
  // one checked here; ".exe" itself is no name.
  if (name.back() == ' ' || name.back() == '.' || name.size() <= kExe.size() ||
      !EndsWithIgnoringCase(name, kExe) || name.front() == ' ' || IsDeviceName(name)) {
    return std::nullopt;
  }
  return std::string(name);
}

std::optional<std::string> NewVersionFileName(const std::optional<std::string>& field,
                                              std::string_view runningExeName,
                                              std::string_view newVersion) {
  std::string name(kFallbackExeName.substr(1));
  if (field) {
    if (auto bare = BareExeName(*field)) name = *bare;
  }
  if (EqualsIgnoringAsciiCase(name, runningExeName)) {
    if (!Version::Parse(newVersion)) return std::nullopt;
    name = name.substr(0, name.size() - kExe.size()) + "-" + std::string(newVersion) + ".exe";
    if (EqualsIgnoringAsciiCase(name, runningExeName) || !BareExeName(name)) return std::nullopt;
  }
  return "\\" + name;
}

std::optional<std::string> ParseSha256Field(std::string_view field) {
  if (field.size() != 64) return std::nullopt;
  std::string digest;
  for (size_t i = 0; i < 64; i += 2) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(field.data() + i, field.data() + i + 2, value, 16);
    if (ec != std::errc() || end != field.data() + i + 2) return std::nullopt;
    digest += static_cast<char>(value);
  }
  return digest;
}

}  // namespace velmora
