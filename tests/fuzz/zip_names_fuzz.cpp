// Entry-name handling on arbitrary bytes: decoding never yields invalid UTF-8, and
// a name that passes the check can only name something below the target.
// Input: 2 bytes of flags, 2 bytes of extra-field length, the extra field, the name.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/Encoding.h"
#include "text/Text.h"
#include "zip/EntryName.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

void CheckAccepted(const velmora::EntryPath& path) {
  Require(!path.parts.empty());
  for (const std::string& part : path.parts) {
    Require(!part.empty() && part != "." && part != "..");
    Require(part.find_first_of("/\\:") == std::string::npos);
    Require(part.back() != '.' && part.back() != ' ');
  }
  std::string joined = path.Joined();
  Require(!joined.empty() && joined.front() != '\\');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  auto flags = static_cast<uint16_t>(data[0] | (data[1] << 8));
  size_t extraSize = static_cast<size_t>(data[2] | (data[3] << 8));
  std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
  if (extraSize > rest.size()) extraSize = rest.size();
  std::string_view extra = rest.substr(0, extraSize);
  std::string_view raw = rest.substr(extraSize);

  if (auto name = velmora::DecodeEntryName(raw, flags, extra)) {
    Require(velmora::IsValidUtf8(*name));
    if (auto path = velmora::CheckEntryPath(*name)) CheckAccepted(*path);
  }
  // The check also runs on the raw bytes, as a tool might hand them over.
  if (auto path = velmora::CheckEntryPath(raw)) CheckAccepted(*path);
  return 0;
}
