// The file-system seam on the real file system of the machine: the native half
// here, the Windows half under Wine (e2e.core_tests), where read-only files bind
// even for the superuser. Paths deeper than MAX_PATH are the install probe's,
// which runs on the Windows half.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/FileSystem.h"
#include "support/FileAttributes.h"
#include "support/FolderLink.h"
#include "support/TempDir.h"

namespace velmora {
namespace {

using testing::TempDir;

bool Listed(FileSystem& fs, const std::string& folder, const std::string& name, PathKind kind) {
  auto items = fs.ListFolder(folder);
  return items && std::any_of(items->begin(), items->end(), [&](const FolderItem& i) {
           return i.name == name && i.kind == kind;
         });
}

TEST(NativeFileSystem, ReadOnlyFilesAreReplacedMovedOverAndDeleted) {
  TempDir dir;
  FileSystem& fs = NativeFileSystem();
  const std::string target = dir.Join("\\profile\\icons.xml");
  dir.WriteFile("\\profile\\icons.xml", "old");
  dir.WriteFile("\\staged.xml", "new");
  ASSERT_TRUE(testing::MakeReadOnly(target));
  ASSERT_TRUE(fs.MoveReplace(dir.Join("\\staged.xml"), target));
  EXPECT_EQ(dir.Read("\\profile\\icons.xml"), "new");
  EXPECT_FALSE(dir.Exists("\\staged.xml"));

  ASSERT_TRUE(testing::MakeReadOnly(target));
  EXPECT_TRUE(fs.RemoveFile(target));
  EXPECT_FALSE(dir.Exists("\\profile\\icons.xml"));

  dir.WriteFile("\\tree\\sub\\a.dds");
  ASSERT_TRUE(testing::MakeReadOnly(dir.Join("\\tree\\sub\\a.dds")));
  ASSERT_TRUE(testing::MakeReadOnly(dir.Join("\\tree\\sub")));
  EXPECT_TRUE(fs.DeleteTree(dir.Join("\\tree")));
  EXPECT_FALSE(dir.Exists("\\tree"));
}

TEST(NativeFileSystem, FolderLinksAreReportedAndNeverEntered) {
  TempDir dir, outside;
  FileSystem& fs = NativeFileSystem();
  outside.WriteFile("\\keep\\a.dds", "precious");
  dir.MakeFolder("\\profile");
  testing::MakeFolderLink(outside.Join("\\keep"), dir.Join("\\profile\\link"));
  EXPECT_EQ(fs.Kind(dir.Join("\\profile\\link")), PathKind::Link);
  EXPECT_TRUE(Listed(fs, dir.Join("\\profile"), "link", PathKind::Link));

  EXPECT_TRUE(fs.DeleteTree(dir.Join("\\profile")));
  EXPECT_FALSE(dir.Exists("\\profile"));
  EXPECT_EQ(outside.Read("\\keep\\a.dds"), "precious");

  dir.MakeFolder("\\profile");
  testing::MakeFolderLink(outside.Join("\\keep"), dir.Join("\\profile\\link"));
  EXPECT_TRUE(fs.RemoveFile(dir.Join("\\profile\\link")));
  EXPECT_FALSE(dir.Exists("\\profile\\link"));
  EXPECT_EQ(outside.Read("\\keep\\a.dds"), "precious");
}

}  // namespace
}  // namespace velmora
