// Text helpers every layer uses: UTF-8 coding, and trimming blanks. Text is UTF-8
// everywhere inside the program.
#pragma once

#include <cstddef>
#include <array>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

// Byte length of the code point that starts at s[i] (cut at the end of s).
size_t Utf8Length(std::string_view s, size_t i);
// The code point of the n bytes at s[i] (as Utf8Length measured them).
char32_t DecodeUtf8(std::string_view s, size_t i, size_t n);
void AppendUtf8(std::string& out, char32_t cp);
// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The blanks around a value as people type them: ASCII blanks and the
// ideographic space.
inline constexpr std::array<std::string_view, 5> kTypedBlanks = {" ", "\t", "\r", "\n", "\u3000"};

// `s` without any of `blanks` at either end.
std::string_view Trim(std::string_view s, std::span<const std::string_view> blanks = kTypedBlanks);

}  // namespace velmora
