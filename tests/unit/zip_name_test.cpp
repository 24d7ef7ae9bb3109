#include <gtest/gtest.h>

#include "platform/Encoding.h"
#include "support/ZipWriter.h"
#include "zip/EntryName.h"

namespace velmora {
namespace {

TEST(ZipEntryName, DecodesByFlagThenUnicodeFieldThenGbk) {
  std::string gbk;
  ASSERT_TRUE(Utf8ToGb18030("准星/瞄准.swf", gbk));

  EXPECT_EQ(DecodeEntryName(gbk, 0, ""), "准星/瞄准.swf");
  EXPECT_EQ(DecodeEntryName("准星.swf", 0x0800, ""), "准星.swf");
  // UTF-8 flag on bytes that are not UTF-8 is a broken name, not GBK.
  EXPECT_EQ(DecodeEntryName(gbk, 0x0800, ""), std::nullopt);

  std::string field = testing::ZipWriter::UnicodePathExtra("a.swf", "图标.swf");
  EXPECT_EQ(DecodeEntryName("a.swf", 0, field), "图标.swf");
  // A field whose checksum belongs to another name is stale and ignored.
  EXPECT_EQ(DecodeEntryName("b.swf", 0, field), "b.swf");
  // A truncated extra block is not read past its end.
  EXPECT_EQ(DecodeEntryName("a.swf", 0, field.substr(0, field.size() - 3)), "a.swf");
}

TEST(ZipEntryName, AcceptsRelativeNamesWithEitherSeparator) {
  auto p = CheckEntryPath("profile\\gui/flash//./battle_stats.swf");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Joined(), "profile\\gui\\flash\\battle_stats.swf");
  EXPECT_FALSE(p->isFolder);

  auto folder = CheckEntryPath("profile/particles/trails/");
  ASSERT_TRUE(folder);
  EXPECT_TRUE(folder->isFolder);
  EXPECT_EQ(folder->parts.size(), 3u);

  // Names that merely look like devices or climbing are ordinary names.
  for (const char* ok : {"CONFIG.xml", "console/a", "COM10", "..a/b", "a..b", "nul_icon.png", "舰名.mo"}) {
    EXPECT_TRUE(CheckEntryPath(ok)) << ok;
  }
}

TEST(ZipEntryName, RefusesNamesThatLeaveTheTargetOrNameDevices) {
  for (const char* bad :
       {"", "/", "/etc/passwd", "\\Windows\\x", "C:\\x", "c:x", "\\\\server\\share\\x", "//server/share/x",
        "..", "../x", "a/../../x", "a\\..\\x", "profile/..", "CON", "con.txt", "profile/NUL.xml", "Aux .swf",
        "com1", "LPT9.log", "COM\u00b9", "CONIN$", "a:stream", "a/b?.xml", "a|b", "a\"b", "a<b", "a*",
        "tab\there", "trailing.", "profile./x", "blank ", "velmora-unpack~/x", "VELMORA-UNPACK~\\0",
        "PROFIL~1/gui/x.xml", "profile/SHIP_I~12/a.dds"}) {
    EXPECT_FALSE(CheckEntryPath(bad)) << bad;
  }
  EXPECT_FALSE(CheckEntryPath(std::string_view("a\0b", 3)));
}

TEST(ZipEntryName, RecognisesLinkEntries) {
  EXPECT_TRUE(IsLinkEntry((3 << 8) | 30, 0120777u << 16));
  EXPECT_FALSE(IsLinkEntry((3 << 8) | 30, 0100644u << 16));
  EXPECT_FALSE(IsLinkEntry((3 << 8) | 30, 040755u << 16));
  EXPECT_TRUE(IsLinkEntry(20, 0x400));  // DOS reparse point
  EXPECT_FALSE(IsLinkEntry(20, 0x20));  // archive bit
  // A link mode in the high word means nothing on a DOS host.
  EXPECT_FALSE(IsLinkEntry(20, 0120777u << 16));
}

}  // namespace
}  // namespace velmora
