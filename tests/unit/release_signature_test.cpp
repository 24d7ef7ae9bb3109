// The release signature against files made by minisign itself.
#include <gtest/gtest.h>

#include "support/SignedRelease.h"
#include "update/ReleaseSignature.h"

namespace velmora {
namespace {

using namespace velmora::testing;

std::string Replaced(std::string s, std::string_view from, std::string_view to) {
  return s.replace(s.find(from), from.size(), to);
}

TEST(ReleaseSignature, TheMakersSignatureOfThisReleaseAndNothingElse) {
  const auto key = ParseReleaseKey(kMakerKey);
  ASSERT_TRUE(key);
  EXPECT_EQ(ParseReleaseKey(kMakerKeyFile)->key, key->key);
  EXPECT_EQ(ReleaseComment("1.1.3", "Velmora 1.1.3.exe"), kReleaseComment);
  auto verify = [&](const std::string& sig, const std::string& exe, const std::string& comment) {
    return VerifyRelease(sig, exe, *key, comment);
  };
  using V = SignatureVerdict;
  EXPECT_EQ(verify(kMakerSignature, kReleaseExe, kReleaseComment), V::Good);
  EXPECT_EQ(verify(kMakerLegacySignature, kReleaseExe, kReleaseComment), V::Good);
  EXPECT_EQ(verify(Replaced(kMakerSignature, "\n", "\r\n"), kReleaseExe, kReleaseComment), V::Good);
  // One byte of the exe changed, appended, or cut.
  EXPECT_EQ(verify(kMakerSignature, "Velmora 1.1.3 exe bytes\n", kReleaseComment), V::BadSignature);
  EXPECT_EQ(verify(kMakerSignature, kReleaseExe + "x", kReleaseComment), V::BadSignature);
  EXPECT_EQ(verify(kMakerLegacySignature, kReleaseExe.substr(1), kReleaseComment), V::BadSignature);
  EXPECT_EQ(verify(kOtherKeySignature, kReleaseExe, kReleaseComment), V::OtherKey);
  // The trusted comment: another release's, or edited after signing.
  EXPECT_EQ(verify(kMakerSignature, kReleaseExe, ReleaseComment("1.1.4", "Velmora 1.1.3.exe")),
            V::OtherRelease);
  EXPECT_EQ(verify(kMakerSignature, kReleaseExe, ReleaseComment("1.1.3", "explorer.exe")),
            V::OtherRelease);
  const std::string edited = Replaced(kMakerSignature, "version=1.1.3", "version=1.1.4");
  EXPECT_EQ(verify(edited, kReleaseExe, ReleaseComment("1.1.4", "Velmora 1.1.3.exe")), V::BadSignature);
  // A key id forged onto another key's signature still fails the check itself.
  const std::string forged = Replaced(kOtherKeySignature, "RURUiX2H3gfdGR", "RUSuqy8tdV2LCN");
  EXPECT_EQ(verify(forged, kReleaseExe, kReleaseComment), V::BadSignature);
}

TEST(ReleaseSignature, AnythingButASignatureFileIsMalformed) {
  const auto key = ParseReleaseKey(kMakerKey);
  ASSERT_TRUE(key);
  const std::string cases[] = {
      "",
      "<html>404</html>",
      Replaced(kMakerSignature, "RUSuqy8", "RUSuq!8"),            // not base64
      Replaced(kMakerSignature, "AA==\n", "AA=\n"),                // cut padding
      Replaced(kMakerSignature, "EQU=\n", "EQU=AAAA\n"),           // a longer signature
      Replaced(kMakerSignature, "RUSuqy8", "RVSuqy8"),             // algorithm "ET"
      Replaced(kMakerSignature, "trusted comment: ", "comment: "),  // no trusted comment
      kMakerSignature + "trusted comment: x\n",                     // a fifth line
      kMakerSignature + std::string(kMaxSignatureFileBytes, '\n'),  // oversize
  };
  for (const std::string& sig : cases) {
    EXPECT_EQ(VerifyRelease(sig, kReleaseExe, *key, kReleaseComment), SignatureVerdict::Malformed)
        << sig.substr(0, 200);
  }
  EXPECT_FALSE(ParseReleaseKey(""));
  EXPECT_FALSE(ParseReleaseKey(kMakerKey.substr(1)));
  EXPECT_FALSE(ParseReleaseKey(Replaced(kMakerKey, "RWS", "RXS")));  // not "Ed"
  EXPECT_FALSE(ParseReleaseKey(std::string(kMaxSignatureFileBytes + 1, 'A')));
}

}  // namespace
}  // namespace velmora
