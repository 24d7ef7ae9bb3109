#include "support/FileAttributes.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/WinText.h"
#else
#include <sys/stat.h>

#include <ctime>
#endif

namespace velmora::testing {

#ifdef _WIN32
namespace {
// Extended-length form: tests make trees deeper than MAX_PATH.
std::wstring Long(const std::string& path) { return L"\\\\?\\" + Wide(path); }
}  // namespace

std::optional<LocalTime> ModifiedTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  SYSTEMTIME utc, local;
  if (!GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &d) ||
      !FileTimeToSystemTime(&d.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return std::nullopt;
  }
  return LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

bool MakeReadOnly(const std::string& path) {
  DWORD a = GetFileAttributesW(Long(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && SetFileAttributesW(Long(path).c_str(), a | FILE_ATTRIBUTE_READONLY);
}
#else
namespace {
std::string Native(std::string p) {
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}
}  // namespace

std::optional<LocalTime> ModifiedTime(const std::string& path) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return std::nullopt;
  std::tm tm{};
  ::localtime_r(&st.st_mtime, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool MakeReadOnly(const std::string& path) {
  struct stat st {};
  const std::string p = Native(path);
  return ::stat(p.c_str(), &st) == 0 && ::chmod(p.c_str(), st.st_mode & ~mode_t{S_IWUSR | S_IWGRP | S_IWOTH}) == 0;
}
#endif

}  // namespace velmora::testing
