// The Win32 code-page functions: code page 54936 is GB18030, whatever the system
// locale, so config.ini keeps the same bytes on an English or a Chinese Windows.
#include <windows.h>

#include "platform/Encoding.h"

namespace velmora {
namespace {

constexpr UINT kGb18030 = 54936;

bool Recode(UINT from, UINT to, std::string_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  int wlen = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                                 nullptr, 0);
  if (wlen <= 0) return false;
  std::wstring wide(static_cast<size_t>(wlen), L'\0');
  MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                      wide.data(), wlen);
  int len = WideCharToMultiByte(to, 0, wide.data(), wlen, nullptr, 0, nullptr, nullptr);
  if (len <= 0) return false;
  out.assign(static_cast<size_t>(len), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wlen, out.data(), len, nullptr, nullptr);
  return true;
}

}  // namespace

bool Gb18030ToUtf8(std::string_view gb, std::string& out) { return Recode(kGb18030, CP_UTF8, gb, out); }

bool Utf8ToGb18030(std::string_view utf8, std::string& out) {
  return Recode(CP_UTF8, kGb18030, utf8, out);
}

}  // namespace velmora
