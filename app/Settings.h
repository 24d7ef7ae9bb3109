// The settings file: config.ini beside the program, section "设置", key "游戏路径".
// The file holds GB18030 bytes whatever the system locale; the API speaks UTF-8.
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
// Tolerates a UTF-8 byte-order mark, LF or CRLF line ends, blanks around the
// names and the "=", and lines that are not INI at all. Names match ignoring ASCII case.
std::string IniValue(std::string_view fileBytes, std::string_view section, std::string_view key);

// The INI bytes with `key` in `section` set to `value`: only that one line changes
// (or is added, with the section when missing); every other byte stays as it was.
// Returns false when the value cannot be written (a line break in it).
bool IniWithValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                  std::string_view value, std::string& result);

// File-level read and write; each call goes to the file.
std::string ReadSetting(FileSystem& fs, const std::string& iniPath, std::string_view section,
                        std::string_view key);
bool WriteSetting(FileSystem& fs, const std::string& iniPath, std::string_view section,
                  std::string_view key, std::string_view value);

// The stored game root, read afresh from the settings file.
std::string ReadGameRoot(FileSystem& fs, const std::string& programDir);

}  // namespace velmora
