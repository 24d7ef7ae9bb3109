// The announcement page parser over any bytes, read both as the GB18030 text it
// is parsed in and as the UTF-8 page the site serves; then the self-update's
// rules over whatever fields came out. Beyond not crashing: every field is valid
// UTF-8, a download target is always a plain path, a stored name is always bare.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/Encoding.h"
#include "text/Text.h"
#include "update/Announcement.h"
#include "update/UpdateRules.h"
#include "update/VersionCheck.h"

namespace {

using namespace velmora;

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckFields(const Announcement& a) {
  for (const auto* field : {&a.restriction, &a.latest, &a.official, &a.downloadAddress, &a.fileName,
                            &a.notes}) {
    if (*field) Require(IsValidUtf8(**field));
  }
  if (a.notes) {
    std::string text = HtmlToText(*a.notes);
    Require(IsValidUtf8(text));
    // Lines end in CR LF only, and the text neither begins nor ends with a break.
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') Require(i > 0 && text[i - 1] == '\r');
      if (text[i] == '\r') Require(i + 1 < text.size() && text[i + 1] == '\n');
    }
    Require(text.empty() || (text.front() != '\r' && text.back() != '\n'));
  }
  if (a.downloadAddress) {
    if (auto t = ParseDownloadAddress(*a.downloadAddress)) {
      Require(!t->host.empty() && t->port != 0);
      Require(!t->object.empty() && t->object[0] == '/');
      for (char c : t->object) {
        auto b = static_cast<unsigned char>(c);
        Require(b > 0x20 && b < 0x7F && c != '\\');
      }
    }
  }
  auto published = PublishedVersion(a);
  auto name = NewVersionFileName(a.fileName, "velmora.exe", published ? published->text() : "");
  if (name) {
    Require((*name)[0] == '\\' && name->find_first_of("/:", 0) == std::string::npos &&
            name->find('\\', 1) == std::string::npos && name->find("..") == std::string::npos);
    Require(BareExeName(name->substr(1)).has_value());
  }
  const Version running = *Version::Parse("1.1.2");
  CheckOutcome o = DecideVersionCheck(a, running);
  Require(!o.newer || running < *o.newer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckFields(ParseAnnouncement(bytes));
  if (auto page = ReadAnnouncement(bytes)) CheckFields(*page);
  return 0;
}
