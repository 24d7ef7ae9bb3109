// The settings file: config.ini beside the program, section "设置", key "游戏路径".
// The file holds GB18030 bytes whatever the system locale, unless the user saved
// it as UTF-8 or UTF-16 with a byte-order mark; the API speaks UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace velmora {

inline constexpr std::string_view kSettingsSection = "设置";
inline constexpr std::string_view kGameRootKey = "游戏路径";

// The program directory followed by "/config.ini", as the file has always been named.
std::string SettingsFilePath(const std::string& programDir);

// Value of `key` in `section` of INI bytes; empty when the section or key is missing.
// Reads UTF-8 and UTF-16 files by their byte-order mark; tolerates LF or CRLF line
// ends, blanks around the names and the "=", and lines that are not INI at all.
// Names match ignoring ASCII case.
std::string IniValue(std::string_view fileBytes, std::string_view section, std::string_view key);

// The INI bytes with `key` in `section` set to `value`: only that one line changes
// (or is added, with the section when missing), in the file's own coding and line
// ends; every other byte stays as it was. Returns false when the file cannot hold
// the value: a line break in it, or a character its coding has no form for.
bool IniWithValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                  std::string_view value, std::string& result);

// File-level read and write; each call goes to the file.
std::string ReadSetting(FileSystem& fs, const std::string& iniPath, std::string_view section,
                        std::string_view key);
bool WriteSetting(FileSystem& fs, const std::string& iniPath, std::string_view section,
                  std::string_view key, std::string_view value);

// Whether the settings file, in its coding as it stands, could hold `value` as the
// game root (see IniWithValue); a file that cannot be read says nothing against it.
bool SettingsFileCanHold(FileSystem& fs, const std::string& iniPath, std::string_view value);

// The stored game root, read afresh from the settings file.
std::string ReadGameRoot(FileSystem& fs, const std::string& programDir);

}  // namespace velmora
