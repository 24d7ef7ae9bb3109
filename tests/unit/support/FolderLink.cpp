#include "support/FolderLink.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "platform/win32/WinHandle.h"
#include "platform/win32/WinText.h"
#else
#include <unistd.h>

#include <filesystem>
#endif

namespace velmora::testing {

#ifdef _WIN32
namespace {

std::wstring FullPath(const std::string& path) {
  std::wstring w = Wide(path);
  DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
  full.resize(n);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

// The mount-point layout of REPARSE_DATA_BUFFER (ntifs.h, not in the SDK headers).
struct MountPointHeader {
  DWORD reparseTag;
  WORD reparseDataLength;
  WORD reserved;
  WORD substituteNameOffset, substituteNameLength, printNameOffset, printNameLength;
};

bool MakeJunction(const std::wstring& target, const std::wstring& link, DWORD& error) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) {
    error = GetLastError();
    return false;
  }
  const std::wstring substitute = L"\\??\\" + target;
  const size_t subBytes = substitute.size() * sizeof(wchar_t);
  const size_t printBytes = target.size() * sizeof(wchar_t);
  // Both names, each followed by a terminating zero the lengths do not count.
  const size_t pathBytes = subBytes + sizeof(wchar_t) + printBytes + sizeof(wchar_t);
  std::vector<char> buffer(sizeof(MountPointHeader) + pathBytes, '\0');
  MountPointHeader header{};
  header.reparseTag = IO_REPARSE_TAG_MOUNT_POINT;
  header.reparseDataLength = static_cast<WORD>(8 + pathBytes);
  header.substituteNameOffset = 0;
  header.substituteNameLength = static_cast<WORD>(subBytes);
  header.printNameOffset = static_cast<WORD>(subBytes + sizeof(wchar_t));
  header.printNameLength = static_cast<WORD>(printBytes);
  std::memcpy(buffer.data(), &header, sizeof header);
  char* names = buffer.data() + sizeof header;
  std::memcpy(names, substitute.data(), subBytes);
  std::memcpy(names + header.printNameOffset, target.data(), printBytes);

  bool ok = false;
  {
    FileHandle h(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD returned = 0;
    ok = h && DeviceIoControl(h.Get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                              static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr) != 0;
    error = ok ? 0 : GetLastError();
  }
  if (!ok) RemoveDirectoryW(link.c_str());
  return ok;
}

}  // namespace

void MakeFolderLink(const std::string& target, const std::string& link) {
  const std::wstring to = FullPath(target), at = FullPath(link);
  DWORD junctionError = 0;
  if (MakeJunction(to, at, junctionError)) return;
#ifndef SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
#define SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE 0x2
#endif
  BOOL made = CreateSymbolicLinkW(at.c_str(), to.c_str(),
                                  SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  DWORD linkError = made ? 0 : GetLastError();
  // Believed only when the link is there: a test must not pass on a link never made.
  const DWORD a = GetFileAttributesW(at.c_str());
  if (made && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  throw std::runtime_error("no folder link at " + link + ": junction error " + std::to_string(junctionError) +
                           (made ? ", symbolic link reported made but absent"
                                 : ", symbolic link error " + std::to_string(linkError)));
}

#else

void MakeFolderLink(const std::string& target, const std::string& link) {
  auto native = [](std::string s) {
    for (char& c : s) {
      if (c == '\\') c = '/';
    }
    return std::filesystem::path(s);
  };
  std::error_code ec;
  std::filesystem::create_directory_symlink(native(target), native(link), ec);
  if (ec) throw std::runtime_error("no folder link at " + link + ": " + ec.message());
}

#endif

}  // namespace velmora::testing
