// The Win32 code-page functions. Code page 54936 is GB18030 whatever the system
// locale, so config.ini keeps the same bytes on an English or a Chinese Windows.
// A system without it gets GBK (936), GB18030's two-byte part, which writes the
// same bytes for every GBK character and refuses the others rather than
// replacing them with "?".
#include <windows.h>

#include "platform/Encoding.h"

namespace velmora {
namespace {

constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

UINT GbCodePage() {
  static const UINT cp = IsValidCodePage(kGb18030) ? kGb18030 : kGbk;
  return cp;
}

bool ToWide(UINT cp, std::string_view in, std::wstring& wide) {
  wide.clear();
  if (in.empty()) return true;
  int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                              nullptr, 0);
  if (n <= 0) return false;
  wide.assign(static_cast<size_t>(n), L'\0');
  return MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                             wide.data(), n) == n;
}

bool FromWide(UINT cp, const std::wstring& wide, std::string& out) {
  out.clear();
  if (wide.empty()) return true;
  // GB18030 and UTF-8 encode every character; for GBK, ask whether one was replaced.
  BOOL replaced = FALSE;
  BOOL* replacedOut = cp == kGbk ? &replaced : nullptr;
  DWORD flags = cp == kGbk ? WC_NO_BEST_FIT_CHARS : 0;
  int n = WideCharToMultiByte(cp, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, replacedOut);
  if (n <= 0 || replaced) return false;
  out.assign(static_cast<size_t>(n), '\0');
  return WideCharToMultiByte(cp, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                             nullptr, nullptr) == n;
}

}  // namespace

bool Gb18030ToUtf8(std::string_view gb, std::string& out) {
  std::wstring wide;
  return ToWide(GbCodePage(), gb, wide) && FromWide(CP_UTF8, wide, out);
}

bool Utf8ToGb18030(std::string_view utf8, std::string& out) {
  std::wstring wide;
  return ToWide(CP_UTF8, utf8, wide) && FromWide(GbCodePage(), wide, out);
}

}  // namespace velmora
