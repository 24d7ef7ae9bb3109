#include "update/ReleaseSignature.h"

#include <sodium.h>

#include <vector>

namespace velmora {
namespace {

constexpr std::string_view kUntrusted = "untrusted comment: ";
constexpr std::string_view kTrusted = "trusted comment: ";
constexpr size_t kKeyBytes = 2 + 8 + 32;        // "Ed", key id, key
constexpr size_t kSignatureBytes = 2 + 8 + 64;  // "ED" (or legacy "Ed"), key id, signature

// The lines of a short text, each without its line break ("\n" or "\r\n").
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return lines;
}

// Strict base64 of exactly `size` bytes.
bool DecodeBase64(std::string_view text, uint8_t* out, size_t size) {
  size_t got = 0;
  const char* end = nullptr;
  if (sodium_base642bin(out, size, text.data(), text.size(), nullptr, &got, &end,
                        sodium_base64_VARIANT_ORIGINAL) != 0) {
    return false;
  }
  return got == size && end == text.data() + text.size();
}

bool Ready() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

}  // namespace

std::optional<ReleaseKey> ParseReleaseKey(std::string_view text) {
  if (text.size() > kMaxSignatureFileBytes) return std::nullopt;
  std::vector<std::string_view> lines = Lines(text);
  // A whole minisign.pub: the key is the line after the comment.
  if (lines.size() >= 2 && lines[0].substr(0, kUntrusted.size()) == kUntrusted) {
    lines.erase(lines.begin());
  }
  if (lines.empty() || !Ready()) return std::nullopt;
  uint8_t raw[kKeyBytes];
  if (!DecodeBase64(lines[0], raw, sizeof raw) || raw[0] != 'E' || raw[1] != 'd') return std::nullopt;
  ReleaseKey k;
  std::copy(raw + 2, raw + 10, k.keyId.begin());
  std::copy(raw + 10, raw + kKeyBytes, k.key.begin());
  return k;
}

std::string ReleaseComment(std::string_view version, std::string_view fileName) {
  return "velmora-release version=" + std::string(version) + " file=" + std::string(fileName);
}

const char* SignatureVerdictName(SignatureVerdict verdict) {
  switch (verdict) {
    case SignatureVerdict::Good: return "good";
    case SignatureVerdict::Malformed: return "malformed";
    case SignatureVerdict::OtherKey: return "other-key";
    case SignatureVerdict::BadSignature: return "bad-signature";
    case SignatureVerdict::OtherRelease: return "other-release";
  }
  return "?";
}

SignatureVerdict VerifyRelease(std::string_view signatureFile, std::string_view content,
                               const ReleaseKey& key, std::string_view expectedComment) {
  if (signatureFile.size() > kMaxSignatureFileBytes || !Ready()) return SignatureVerdict::Malformed;
  std::vector<std::string_view> lines = Lines(signatureFile);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() != 4 || lines[0].substr(0, kUntrusted.size()) != kUntrusted ||
      lines[2].substr(0, kTrusted.size()) != kTrusted) {
    return SignatureVerdict::Malformed;
  }
  uint8_t sig[kSignatureBytes];
  uint8_t global[crypto_sign_BYTES];
  if (!DecodeBase64(lines[1], sig, sizeof sig) || !DecodeBase64(lines[3], global, sizeof global)) {
    return SignatureVerdict::Malformed;
  }
  const bool prehashed = sig[0] == 'E' && sig[1] == 'D';
  if (!prehashed && !(sig[0] == 'E' && sig[1] == 'd')) return SignatureVerdict::Malformed;
  if (!std::equal(key.keyId.begin(), key.keyId.end(), sig + 2)) return SignatureVerdict::OtherKey;

  const uint8_t* signature = sig + 10;
  int ok;
  if (prehashed) {
    uint8_t hash[crypto_generichash_BYTES_MAX];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const uint8_t*>(content.data()),
                       content.size(), nullptr, 0);
    ok = crypto_sign_verify_detached(signature, hash, sizeof hash, key.key.data());
  } else {
    ok = crypto_sign_verify_detached(signature, reinterpret_cast<const uint8_t*>(content.data()),
                                     content.size(), key.key.data());
  }
  if (ok != 0) return SignatureVerdict::BadSignature;

  // The global signature covers the file's signature and the trusted comment.
  const std::string_view comment = lines[2].substr(kTrusted.size());
  std::string signedPart(reinterpret_cast<const char*>(signature), crypto_sign_BYTES);
  signedPart += comment;
  if (crypto_sign_verify_detached(global, reinterpret_cast<const uint8_t*>(signedPart.data()),
                                  signedPart.size(), key.key.data()) != 0) {
    return SignatureVerdict::BadSignature;
  }
  return comment == expectedComment ? SignatureVerdict::Good : SignatureVerdict::OtherRelease;
}

}  // namespace velmora
