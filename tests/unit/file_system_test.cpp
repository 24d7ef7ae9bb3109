// The file-system seam on the real file system of the machine: the native half
// here, the Windows half when these run under Windows.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/FileSystem.h"
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

TEST(NativeFileSystem, FoldersDeeperThanMaxPathWithChineseNames) {
  TempDir dir;
  FileSystem& fs = NativeFileSystem();
  std::string deep = dir.path();
  for (int i = 0; i < 30; ++i) deep += "\\深层目录名称" + std::to_string(i);
  ASSERT_GT(deep.size(), 400u);  // well past MAX_PATH (260) in UTF-16 units too
  ASSERT_TRUE(fs.CreateFolders(deep));
  EXPECT_EQ(fs.Kind(deep), PathKind::Folder);
  const std::string file = deep + "\\战舰.xml";
  ASSERT_TRUE(fs.WriteFileAtomic(file, "内容"));
  std::string bytes;
  ASSERT_TRUE(fs.ReadFile(file, bytes));
  EXPECT_EQ(bytes, "内容");
  EXPECT_EQ(fs.FileSize(file), std::optional<uint64_t>(6));
  EXPECT_TRUE(Listed(fs, deep, "战舰.xml", PathKind::File));
  EXPECT_TRUE(fs.FreeSpace(deep).has_value());

  const std::string top = dir.path() + "\\深层目录名称0";
  ASSERT_TRUE(fs.DeleteTree(top));
  EXPECT_EQ(fs.Kind(top), PathKind::Missing);
  EXPECT_EQ(fs.Kind(file), PathKind::Missing);
}

TEST(NativeFileSystem, ReadOnlyFilesAreReplacedMovedOverAndDeleted) {
  TempDir dir;
  FileSystem& fs = NativeFileSystem();
  const std::string target = dir.Join("\\profile\\icons.xml");
  dir.WriteFile("\\profile\\icons.xml", "old");
  dir.WriteFile("\\staged.xml", "new");
  ASSERT_TRUE(fs.SetReadOnly(target, true));
  ASSERT_TRUE(fs.MoveReplace(dir.Join("\\staged.xml"), target));
  EXPECT_EQ(dir.Read("\\profile\\icons.xml"), "new");
  EXPECT_FALSE(dir.Exists("\\staged.xml"));

  ASSERT_TRUE(fs.SetReadOnly(target, true));
  EXPECT_TRUE(fs.RemoveFile(target));
  EXPECT_FALSE(dir.Exists("\\profile\\icons.xml"));

  dir.WriteFile("\\tree\\sub\\a.dds");
  ASSERT_TRUE(fs.SetReadOnly(dir.Join("\\tree\\sub\\a.dds"), true));
  ASSERT_TRUE(fs.SetReadOnly(dir.Join("\\tree\\sub"), true));
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
