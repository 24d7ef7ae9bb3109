// A fresh folder below the system's temporary folder, removed with everything in
// it when the test ends. Paths are handed to the code as Windows path text would
// be: the folder, then "\"-separated tails (the native file system maps them).
#pragma once

#include <string>
#include <string_view>

namespace velmora::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + tail, e.g. Join("\\profile\\icons.xml").
  std::string Join(std::string_view tail) const { return path_ + std::string(tail); }

  // Writes a file (creating its folders) below the folder; tail begins with "\".
  void WriteFile(std::string_view tail, std::string_view bytes = "x") const;
  void MakeFolder(std::string_view tail) const;
  bool Exists(std::string_view tail) const;
  std::string Read(std::string_view tail) const;

 private:
  std::string path_;
};

}  // namespace velmora::testing
