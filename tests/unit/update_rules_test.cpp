// What the self-update accepts from the page: the download address and the
// stored file name.
#include <gtest/gtest.h>

#include "update/UpdateRules.h"

namespace velmora {
namespace {

TEST(UpdateRules, DownloadAddressesOnAnyHostHttpOrHttps) {
  auto t = ParseDownloadAddress("http://www.velmora.example/1507/velmora.exe");
  ASSERT_TRUE(t);
  EXPECT_FALSE(t->secure);
  EXPECT_EQ(t->host, "www.velmora.example");
  EXPECT_EQ(t->port, 80);
  EXPECT_EQ(t->object, "/1507/velmora.exe");
  // Case of the scheme, another host, the default port of https; a fragment is dropped.
  t = ParseDownloadAddress("HTTPS://Releases.Example.org/d/v.exe?x=1#top");
  ASSERT_TRUE(t);
  EXPECT_TRUE(t->secure);
  EXPECT_EQ(t->port, 443);
  EXPECT_EQ(t->object, "/d/v.exe?x=1");
  t = ParseDownloadAddress("http://127.0.0.1:8080/新 版/v.exe");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->port, 8080);
  EXPECT_EQ(t->object, "/%E6%96%B0%20%E7%89%88/v.exe");

  for (std::string_view refused : {
           "http://user@www.velmora.example/v.exe",
           "http://www.velmora.example:/v.exe",
           "http://www.velmora.example:0/v.exe",
           "https://www.velmora.example:99999/v.exe",
           "ftp://www.velmora.example/v.exe",
           "//www.velmora.example/v.exe",
           "/1507/v.exe",
           "http://www.velmora.example",
           "https://www.velmora.example/",
           "http://www.velmora.example\\@evil.example/v.exe",
           "http://www.velmora.example/v.exe\r\nHost: evil.example",
           "",
       }) {
    EXPECT_FALSE(ParseDownloadAddress(refused)) << refused;
  }
}

TEST(UpdateRules, TheStoredNameIsABareExeName) {
  struct Case {
    std::string_view field;
    const char* bare;  // nullptr: refused
  } cases[] = {
      {"Velmora1.1.3.exe", "Velmora1.1.3.exe"},
      {"Velmora 新版.EXE", "Velmora 新版.EXE"},
      {"C:\\Windows\\System32\\v.exe", "v.exe"},
      {"../../Startup/v.exe", "v.exe"},
      {"..\\v.exe", "v.exe"},
      {"..", nullptr},
      {"v..exe", nullptr},
      {"", nullptr},
      {"dir\\", nullptr},
      {"velmora.zip", nullptr},
      {"velmora.exe.txt", nullptr},
      {".exe", nullptr},
      {"v.exe.", nullptr},
      {"v.exe ", nullptr},
      {" v.exe", nullptr},
      {"v.exe:stream", nullptr},
      {"C:v.exe", nullptr},
      {"v?.exe", nullptr},
      {"v\x01.exe", nullptr},
      {"CON.exe", nullptr},
      {"nul.exe", nullptr},
      {"Com1.exe", nullptr},
      {"LPT9.exe", nullptr},
      {"COM\xC2\xB9.exe", nullptr},
      {"con .exe", nullptr},
      {"console.exe", "console.exe"},
      {"com10.exe", "com10.exe"},
      // Names Windows or the program start by name, 8.3 aliases, bidi controls.
      {"Explorer.EXE", nullptr},
      {"worldofwarships.exe", nullptr},
      {"VELMOR~1.EXE", nullptr},
      {"v~x.exe", "v~x.exe"},
      {"v\u202Eexe.exe", nullptr},
      {"v\u2066.exe", nullptr},
      {"v\u200F.exe", nullptr},
  };
  for (const Case& c : cases) {
    auto bare = BareExeName(c.field);
    EXPECT_EQ(bare ? *bare : "refused", c.bare ? c.bare : "refused") << c.field;
  }

  EXPECT_EQ(NewVersionFileName("Velmora1.1.3.exe", "velmora.exe", "1.1.3"), "\\Velmora1.1.3.exe");
  EXPECT_EQ(NewVersionFileName(std::nullopt, "velmora.exe", "1.1.3"), "\\Velmora测试.exe");
  EXPECT_EQ(NewVersionFileName("..\\..", "velmora.exe", "1.1.3"), "\\Velmora测试.exe");
  EXPECT_EQ(NewVersionFileName("explorer.exe", "velmora.exe", "1.1.3"), "\\Velmora测试.exe");
  // Never the running program's own name.
  EXPECT_EQ(NewVersionFileName("VELMORA.exe", "velmora.exe", "1.1.3"), "\\VELMORA-1.1.3.exe");
  EXPECT_EQ(NewVersionFileName(std::nullopt, "Velmora测试.exe", "1.1.3"), "\\Velmora测试-1.1.3.exe");
  EXPECT_FALSE(NewVersionFileName("v.exe", "v.exe", ""));
}

}  // namespace
}  // namespace velmora
