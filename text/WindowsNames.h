// What Windows makes of a file or folder name, in one place: the names it turns
// into devices, the short-name aliases it may read in place of another name, and
// the characters it does not allow. Every name that comes from outside (an
// archive entry, the update's file name, a path below the game root) is judged
// here.
#pragma once

#include <string_view>

namespace velmora {

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, CLOCK$, COM0-9 and LPT0-9 (with the
// superscripts ¹ ² ³ Windows also maps to ports), in any case, whatever extension
// or trailing blanks follow: Windows opens the device in every folder.
bool IsDeviceName(std::string_view name);

// "PROFIL~1": a "~" followed by a digit may be read as the 8.3 alias of another
// name, one that passed the checks.
bool LooksLikeShortName(std::string_view name);

// Control characters and < > : " / \ | ? *.
bool HasForbiddenCharacter(std::string_view name);

// One name that Windows stores and opens as written: not empty, "." or "..", no
// trailing dot or blank (Windows would drop it and so alias another name), no
// forbidden character, no device, no short-name alias.
bool IsPlainWindowsName(std::string_view name);

}  // namespace velmora
