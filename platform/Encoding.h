// Conversions between the program's UTF-8 and the GB18030 (GBK-compatible) bytes
// of config.ini, web pages' markers and Chinese zip tools' entry names.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Both return false, leaving `out` unspecified, when the input is not valid text
// in its encoding (or a character has no GB18030 form, which cannot happen).
bool Gb18030ToUtf8(std::string_view gb, std::string& out);
bool Utf8ToGb18030(std::string_view utf8, std::string& out);

}  // namespace velmora
