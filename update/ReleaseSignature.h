// A release is trusted by its maker's signature, not by the host it came from:
// the exe's minisign signature (Ed25519 over the BLAKE2b-512 hash of the file,
// and a second signature binding the trusted comment), checked against the
// public key the build carries. libsodium does the cryptography.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// A signature file is a few short lines; anything longer is no signature.
inline constexpr size_t kMaxSignatureFileBytes = 4096;

struct ReleaseKey {
  std::array<uint8_t, 8> keyId{};
  std::array<uint8_t, 32> key{};
};

// The key as minisign prints it ("RW...", the second line of minisign.pub), or
// the whole minisign.pub; nothing when it is not an Ed25519 minisign key.
std::optional<ReleaseKey> ParseReleaseKey(std::string_view text);

// The trusted comment that binds a signature to one release on the page.
std::string ReleaseComment(std::string_view version, std::string_view fileName);

enum class SignatureVerdict {
  Good,
  Malformed,     // not a minisign signature file, or longer than kMaxSignatureFileBytes
  OtherKey,      // signed with another key than the build's
  BadSignature,  // the file or the trusted comment differs from what was signed
  OtherRelease,  // a good signature of another release (its trusted comment differs)
};

// "good", "malformed", ... for the diagnostics log.
const char* SignatureVerdictName(SignatureVerdict verdict);

// Whether `signatureFile` is the maker's signature of `content` with exactly the
// trusted comment `expectedComment`.
SignatureVerdict VerifyRelease(std::string_view signatureFile, std::string_view content,
                               const ReleaseKey& key, std::string_view expectedComment);

}  // namespace velmora
