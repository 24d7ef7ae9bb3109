#include "text/WindowsNames.h"

#include <array>

#include "text/AsciiCase.h"

namespace velmora {

bool IsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 7> kPlain = {"CON", "PRN", "AUX", "NUL",
                                                             "CONIN$", "CONOUT$", "CLOCK$"};
  for (std::string_view d : kPlain) {
    if (EqualsIgnoringAsciiCase(stem, d)) return true;
  }
  std::string_view head = stem.substr(0, 3);
  if (!EqualsIgnoringAsciiCase(head, "COM") && !EqualsIgnoringAsciiCase(head, "LPT")) return false;
  std::string_view digit = stem.substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\u00b9" ||
         digit == "\u00b2" || digit == "\u00b3";
}

bool LooksLikeShortName(std::string_view name) {
  for (size_t i = name.find('~'); i != std::string_view::npos; i = name.find('~', i + 1)) {
    if (i + 1 < name.size() && name[i + 1] >= '0' && name[i + 1] <= '9') return true;
  }
  return false;
}

bool HasForbiddenCharacter(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
    if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) return true;
  }
  return false;
}

bool IsPlainWindowsName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  return !HasForbiddenCharacter(name) && !IsDeviceName(name) && !LooksLikeShortName(name);
}

}  // namespace velmora
