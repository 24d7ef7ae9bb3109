#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include "platform/win32/WinHandle.h"
#include "platform/win32/WinText.h"
#else
#include <cstdlib>
#endif

namespace velmora::testing {
namespace {

#ifdef _WIN32
// The program's path text is UTF-8; std::filesystem reads a char string in the
// ANSI code page on Windows, so it is handed over as UTF-16.
std::filesystem::path Native(const std::string& p) { return Wide(p); }

std::string MakeFreshFolder() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) throw std::runtime_error("GetTempPathW failed");
  // The real names, not 8.3 short ones: paths are compared as text.
  std::wstring base(MAX_PATH * 4, L'\0');
  n = GetLongPathNameW(temp, base.data(), static_cast<DWORD>(base.size()));
  base.resize(n == 0 || n >= MAX_PATH * 4 ? 0 : n);
  if (base.empty()) base = temp;
  if (base.back() != L'\\') base += L'\\';
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring folder = base + L"velmora-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(random());
    if (CreateDirectoryW(folder.c_str(), nullptr)) return Utf8(folder);
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("no fresh folder below the temporary folder");
}

// Removes without the seam under test: read-only items are made writable, and a
// junction or link is removed itself, never entered.
void RemoveTree(const std::wstring& p) {
  DWORD a = GetFileAttributesW(p.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return;
  if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(p.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(p.c_str());
    return;
  }
  if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW fd;
    FindHandle find(FindFirstFileW((p + L"\\*").c_str(), &fd));
    if (find) {
      do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") RemoveTree(p + L"\\" + name);
      } while (FindNextFileW(find.Get(), &fd));
    }
  }
  RemoveDirectoryW(p.c_str());
}
#else
std::filesystem::path Native(const std::string& p) {
  std::string s = p;
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  return s;
}

std::string MakeFreshFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  // Tests make files read-only; give the owner write access back before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path, std::filesystem::directory_options::none, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink()) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
  }
  std::filesystem::remove_all(path, ec);
}
#endif

}  // namespace

TempDir::TempDir() : path_(MakeFreshFolder()) {}

TempDir::~TempDir() {
#ifdef _WIN32
  // Extended-length form: tests make trees deeper than MAX_PATH.
  RemoveTree(L"\\\\?\\" + Wide(path_));
#else
  RemoveTree(path_);
#endif
}

void TempDir::WriteFile(std::string_view tail, std::string_view bytes) const {
  auto p = Native(Join(tail)).make_preferred();
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TempDir::MakeFolder(std::string_view tail) const {
  std::filesystem::create_directories(Native(Join(tail)).make_preferred());
}

bool TempDir::Exists(std::string_view tail) const {
#ifdef _WIN32
  // The attributes of a link itself: a dangling link still exists.
  return GetFileAttributesW(Wide(Join(tail)).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(Native(Join(tail)), ec));
#endif
}

std::string TempDir::Read(std::string_view tail) const {
  std::ifstream in(Native(Join(tail)), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace velmora::testing
