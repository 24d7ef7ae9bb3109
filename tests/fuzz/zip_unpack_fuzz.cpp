// The zip unit on arbitrary archive bytes: no crash, and nothing appears outside
// the target folder. Each input unpacks into a fresh target below a private root;
// afterwards the root must hold the target alone, and the target neither links
// nor its staging folder.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/FaultyFileSystem.h"
#include "zip/EntryName.h"
#include "zip/ArchiveUnpacker.h"

namespace {

namespace fs = std::filesystem;

const std::string& Root() {
  static const std::string root = [] {
    std::string pattern = (fs::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
  }();
  return root;
}

void Require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A small disk, so stated sizes that are absurd are refused before inflating.
  static velmora::testing::SmallDisk disk(8u << 20);
  const std::string target = Root() + "/target";
  velmora::ArchiveUnpacker unit(disk);
  int events = 0;
  unit.SetProgressHandler([&events](const velmora::UnpackProgress& p) {
    Require(p.done >= 1 && p.done <= p.total && p.percent >= 0 && p.percent <= 100);
    return ++events < 64;
  });
  // The archive as the install hands it over: a file, outside the private root.
  static const std::string archive = Root() + "-archive.zip";
  Require(disk.WriteFileAtomic(archive, std::string_view(reinterpret_cast<const char*>(data), size)));
  velmora::UnpackResult r = unit.Unpack(archive, target);

  for (const auto& item : fs::directory_iterator(Root())) Require(item.path().filename() == "target");
  std::error_code ec;
  if (fs::exists(target, ec)) {
    for (const auto& item : fs::recursive_directory_iterator(target)) Require(!item.is_symlink());
    // The staging folder lives directly below the target (an archive may well
    // have a folder of that name deeper down).
    Require(!fs::exists(fs::path(target) / std::string(velmora::kStagingFolder), ec));
    if (r != velmora::UnpackResult::Done) Require(fs::is_empty(target));  // failures change nothing
  }
  fs::remove_all(target, ec);
  return 0;
}
