#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velmora::testing {
namespace {

std::filesystem::path Native(const std::string& p) {
  std::string s = p;
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  return s;
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests make files read-only; give the owner write access back before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::none, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink()) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
  }
  std::filesystem::remove_all(path_, ec);
}

void TempDir::WriteFile(std::string_view tail, std::string_view bytes) const {
  auto p = Native(Join(tail));
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TempDir::MakeFolder(std::string_view tail) const {
  std::filesystem::create_directories(Native(Join(tail)));
}

bool TempDir::Exists(std::string_view tail) const {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(Native(Join(tail)), ec));
}

std::string TempDir::Read(std::string_view tail) const {
  std::ifstream in(Native(Join(tail)), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace velmora::testing
