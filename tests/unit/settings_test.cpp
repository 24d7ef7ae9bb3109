#include <gtest/gtest.h>

#include "app/Settings.h"
#include "platform/Encoding.h"
#include "support/TempDir.h"

namespace velmora {
namespace {

// "[设置]" and "游戏路径" as GB18030 bytes, spelled out so the test does not
// depend on the converter it checks.
const std::string kSectionGb = "[\xC9\xE8\xD6\xC3]";
const std::string kKeyGb = "\xD3\xCE\xCF\xB7\xC2\xB7\xBE\xB6";

// UTF-16 bytes as Notepad saves "Unicode" (little endian) and its big-endian twin.
std::string Utf16(std::u16string_view text, bool bigEndian = false) {
  std::string out;
  for (char16_t u : text) {
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

std::string Gb(std::string_view utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToGb18030(utf8, out));
  return out;
}

TEST(SettingsFile, NewFileHoldsExactlyTheSectionAndKeyInGb18030) {
  testing::TempDir dir;
  std::string ini = SettingsFilePath(dir.path());
  EXPECT_EQ(ini, dir.path() + "/config.ini");
  ASSERT_TRUE(WriteSetting(NativeFileSystem(), ini, kSettingsSection, kGameRootKey, "D:\\游戏\\WoWS"));
  EXPECT_EQ(dir.Read("/config.ini"),
            kSectionGb + "\r\n" + kKeyGb + "=D:\\\xD3\xCE\xCF\xB7\\WoWS\r\n");
  EXPECT_EQ(ReadGameRoot(NativeFileSystem(), dir.path()), "D:\\游戏\\WoWS");
}

TEST(SettingsFile, RoundTripsTextOutsideGbk) {
  testing::TempDir dir;
  std::string ini = SettingsFilePath(dir.path());
  const std::string root = "E:\\게임\\戰艦世界\\𠀀🎮";
  ASSERT_TRUE(WriteSetting(NativeFileSystem(), ini, kSettingsSection, kGameRootKey, root));
  EXPECT_EQ(ReadGameRoot(NativeFileSystem(), dir.path()), root);
  EXPECT_EQ(dir.Read("/config.ini").find("\xEF\xBB\xBF"), std::string::npos) << "no BOM";
}

TEST(SettingsFile, MissingFileSectionOrKeyReadsEmpty) {
  testing::TempDir dir;
  EXPECT_EQ(ReadGameRoot(NativeFileSystem(), dir.path()), "");
  dir.WriteFile("/config.ini", "[other]\r\n" + kKeyGb + "=C:\\x\r\n");
  EXPECT_EQ(ReadGameRoot(NativeFileSystem(), dir.path()), "");
  dir.WriteFile("/config.ini", kSectionGb + "\r\nfoo=bar\r\n");
  EXPECT_EQ(ReadGameRoot(NativeFileSystem(), dir.path()), "");
}

TEST(IniRewrite, ChangesOnlyItsLineInTheFilesOwnCodingAndLineEnds) {
  struct Case {
    const char* what;
    std::string before, value, after;
  };
  const std::string head = "; written by hand\r\n[Window]\r\nX=10\r\n" + kSectionGb + "\r\nlang=zh\r\n" + kKeyGb + "=";
  const std::string tail = "\r\n\xFF\xFE garbage\r\n[Tail]\r\nk=v";
  const std::string utf8 = "\xEF\xBB\xBF[设置]\r\n注释=中文\r\n";
  const Case cases[] = {
      {"replaces the one line, every other byte kept", head + "C:\\old" + tail, "D:\\新", head + Gb("D:\\新") + tail},
      {"adds the key inside its section, with LF", kSectionGb + "\nlang=zh\n[Tail]\nk=v\n", "C:\\g",
       kSectionGb + "\nlang=zh\n" + kKeyGb + "=C:\\g\n[Tail]\nk=v\n"},
      {"appends the section after a last line without line end", "[a]\r\nb=c", "C:\\g",
       "[a]\r\nb=c\r\n" + kSectionGb + "\r\n" + kKeyGb + "=C:\\g\r\n"},
      {"keeps a UTF-8 file with BOM in UTF-8", utf8, "C:\\游戏", utf8 + "游戏路径=C:\\游戏\r\n"},
      // A lone surrogate is garbage kept as it stands; Korean and emoji fit in UTF-16.
      {"keeps a UTF-16LE file in UTF-16LE, other lines byte for byte",
       "\xFF\xFE" + Utf16(u"; 记事本\r\n[设置]\r\n游戏路径=D:\\旧\r\n\xD800x\r\n[其他]\r\nx=1\r\n"), "E:\\게임🎮",
       "\xFF\xFE" + Utf16(u"; 记事本\r\n[设置]\r\n游戏路径=E:\\게임\U0001F3AE\r\n\xD800x\r\n[其他]\r\nx=1\r\n")},
      {"appends to a UTF-16LE file in UTF-16LE with its LF", "\xFF\xFE" + Utf16(u"[其他]\nx=1"), "C:\\g",
       "\xFF\xFE" + Utf16(u"[其他]\nx=1\n[设置]\n游戏路径=C:\\g\n")},
      {"keeps a big-endian UTF-16 file big-endian", "\xFE\xFF" + Utf16(u"[设置]\r\n", true), "C:\\g",
       "\xFE\xFF" + Utf16(u"[设置]\r\n游戏路径=C:\\g\r\n", true)},
  };
  for (const Case& c : cases) {
    std::string after;
    ASSERT_TRUE(IniWithValue(c.before, "设置", "游戏路径", c.value, after)) << c.what;
    EXPECT_EQ(after, c.after) << c.what;
    EXPECT_EQ(IniValue(after, "设置", "游戏路径"), c.value) << c.what;
  }
  std::string after;
  EXPECT_FALSE(IniWithValue("", "设置", "游戏路径", "C:\\a\r\n[x]", after)) << "a value that would break the line";
}

TEST(IniRead, ToleratesBomBlanksLfAndGarbage) {
  EXPECT_EQ(IniValue("\xEF\xBB\xBF[设置]\n  游戏路径 =  C:\\Games\\WoWS  \n", "设置", "游戏路径"),
            "C:\\Games\\WoWS");
  EXPECT_EQ(IniValue("\x81\x30\xFF\n\x00\x01\n" + kSectionGb + "\r\n\xFE\xFE\r\n" + kKeyGb + "=X\r\n",
                     "设置", "游戏路径"),
            "X");
  EXPECT_EQ(IniValue("[SETTINGS]\nPath=1\n", "settings", "path"), "1") << "ASCII case is ignored";
  EXPECT_EQ(IniValue(kSectionGb + "\r\n;" + kKeyGb + "=commented\r\n", "设置", "游戏路径"), "");
}

TEST(SettingsFile, RewriteLeavesNoTemporaryFileBehind) {
  testing::TempDir dir;
  std::string ini = SettingsFilePath(dir.path());
  ASSERT_TRUE(WriteSetting(NativeFileSystem(), ini, "设置", "游戏路径", "C:\\a"));
  ASSERT_TRUE(WriteSetting(NativeFileSystem(), ini, "设置", "游戏路径", "C:\\b"));
  auto items = NativeFileSystem().ListFolder(dir.path());
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 1u);
  EXPECT_EQ(items->front().name, "config.ini");
  EXPECT_EQ(ReadGameRoot(NativeFileSystem(), dir.path()), "C:\\b");
}

}  // namespace
}  // namespace velmora
