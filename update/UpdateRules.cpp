#include "update/UpdateRules.h"

#include <charconv>

#include "text/AsciiCase.h"
#include "text/WindowsNames.h"
#include "update/Version.h"

namespace velmora {
namespace {

constexpr std::string_view kExe = ".exe";

bool EndsWithIgnoringCase(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && EqualsIgnoringAsciiCase(s.substr(s.size() - tail.size()), tail);
}

// A name that shows otherwise than it is: the bidi controls (U+200E/F,
// U+202A..E, U+2066..9) reorder what the user reads.
bool ShowsOtherwise(std::string_view name) {
  for (size_t i = 0; i + 2 < name.size(); ++i) {
    if (name[i] != '\xE2') continue;
    auto b1 = static_cast<uint8_t>(name[i + 1]), b2 = static_cast<uint8_t>(name[i + 2]);
    if (b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) return true;
    if (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9) return true;
  }
  return false;
}

// Programs started by name: the shell for the forum threads, and the game.
bool IsStartedByName(std::string_view name) {
  return EqualsIgnoringAsciiCase(name, "explorer.exe") ||
         EqualsIgnoringAsciiCase(name, "WorldOfWarships.exe");
}

}  // namespace

std::optional<DownloadTarget> ParseDownloadAddress(std::string_view address) {
  DownloadTarget t;
  constexpr std::string_view kHttp = "http://", kHttps = "https://";
  if (address.size() > kHttps.size() && EqualsIgnoringAsciiCase(address.substr(0, kHttps.size()), kHttps)) {
    t.secure = true;
    t.port = 443;
    address.remove_prefix(kHttps.size());
  } else if (address.size() > kHttp.size() &&
             EqualsIgnoringAsciiCase(address.substr(0, kHttp.size()), kHttp)) {
    address.remove_prefix(kHttp.size());
  } else {
    return std::nullopt;
  }
  for (char c : address) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '\\') return std::nullopt;
  }
  const size_t pathAt = address.find_first_of("/?#");
  std::string_view authority = address.substr(0, pathAt);
  if (authority.find('@') != std::string_view::npos) return std::nullopt;  // no user names

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
  if (host.empty() || host.size() > 253 || host.find_first_of(" []") != std::string_view::npos) {
    return std::nullopt;
  }
  t.host = std::string(host);

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
  // A name Windows opens as written, that reads as it is, ends in ".exe" (which
  // is no name by itself) and is none that Windows or Velmora starts by name.
  if (!IsPlainWindowsName(name) || name.find('\x7F') != std::string_view::npos || name.front() == ' ' ||
      name.size() <= kExe.size() || !EndsWithIgnoringCase(name, kExe) || ShowsOtherwise(name) ||
      IsStartedByName(name)) {
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

}  // namespace velmora
