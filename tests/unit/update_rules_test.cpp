// What the self-update accepts from the page: the download address, the stored
// file name, the SHA-256 check.
#include <gtest/gtest.h>

#include "update/Sha256.h"
#include "update/UpdateRules.h"

namespace velmora {
namespace {

TEST(UpdateRules, OnlyAddressesOnTheSiteOfTheBuild) {
  const std::string host = "www.velmora.example";
  auto on = [&](std::string_view address, uint16_t port = 80) {
    return DownloadTargetOnSite(address, host, port);
  };
  auto t = on("http://www.velmora.example/1507/velmora.exe");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->host, host);
  EXPECT_EQ(t->port, 80);
  EXPECT_EQ(t->object, "/1507/velmora.exe");
  // Case of scheme and host, an explicit default port, a query; a fragment is dropped.
  t = on("HTTP://WWW.Velmora.Example:80/d/v.exe?x=1#top");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->object, "/d/v.exe?x=1");
  t = on("http://www.velmora.example:8080/新 版/v.exe", 8080);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->port, 8080);
  EXPECT_EQ(t->object, "/%E6%96%B0%20%E7%89%88/v.exe");

  for (std::string_view refused : {
           "http://evil.example/velmora.exe",
           "http://www.velmora.example.evil.example/v.exe",
           "http://evil.example/www.velmora.example/v.exe",
           "http://evil.example/?h=www.velmora.example",
           "http://www.velmora.example@evil.example/v.exe",
           "http://user@www.velmora.example/v.exe",
           "http://www.velmora.example:8080/v.exe",  // another port of the same host
           "http://www.velmora.example:/v.exe",
           "http://www.velmora.example:0/v.exe",
           "http://www.velmora.example:99999/v.exe",
           "https://www.velmora.example/v.exe",
           "ftp://www.velmora.example/v.exe",
           "//www.velmora.example/v.exe",
           "/1507/v.exe",
           "http://www.velmora.example",
           "http://www.velmora.example/",
           "http://www.velmora.example\\@evil.example/v.exe",
           "http://www.velmora.example/v.exe\r\nHost: evil.example",
           "",
       }) {
    EXPECT_FALSE(on(refused)) << refused;
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
  };
  for (const Case& c : cases) {
    auto bare = BareExeName(c.field);
    EXPECT_EQ(bare ? *bare : "refused", c.bare ? c.bare : "refused") << c.field;
  }

  EXPECT_EQ(NewVersionFileName("Velmora1.1.3.exe", "velmora.exe", "1.1.3"), "\\Velmora1.1.3.exe");
  EXPECT_EQ(NewVersionFileName(std::nullopt, "velmora.exe", "1.1.3"), "\\Velmora测试.exe");
  EXPECT_EQ(NewVersionFileName("..\\..", "velmora.exe", "1.1.3"), "\\Velmora测试.exe");
  // Never the running program's own name.
  EXPECT_EQ(NewVersionFileName("VELMORA.exe", "velmora.exe", "1.1.3"), "\\VELMORA-1.1.3.exe");
  EXPECT_EQ(NewVersionFileName(std::nullopt, "Velmora测试.exe", "1.1.3"), "\\Velmora测试-1.1.3.exe");
  EXPECT_FALSE(NewVersionFileName("v.exe", "v.exe", ""));
}

TEST(UpdateRules, Sha256) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits the first padding block.
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

  auto digest = ParseSha256Field("BA7816BF8F01CFEA414140DE5DAE2223b00361a396177a9cb410ff61f20015ad");
  ASSERT_TRUE(digest);
  auto abc = Sha256("abc");
  EXPECT_EQ(*digest, std::string(reinterpret_cast<const char*>(abc.data()), abc.size()));
  for (std::string_view bad : {"", "ba7816bf", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015adff",
                               "za7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
                               "+a7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}) {
    EXPECT_FALSE(ParseSha256Field(bad)) << bad;
  }
}

}  // namespace
}  // namespace velmora
