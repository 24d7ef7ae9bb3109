#include "update/Announcement.h"

#include "text/Text.h"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/Encoding.h"

namespace velmora {
namespace {

constexpr size_t npos = std::string_view::npos;

enum Marker : size_t {
  kRestriction,
  kLatest,
  kOfficial,
  kAddress,
  kFileName,
  kNotes,
  kAddressEnd,
  kNotesEnd,
  kLineEnd,  // "【": where a one-line field ends at the latest
  kMarkerCount
};

constexpr std::array<std::string_view, kMarkerCount> kUtf8Markers = {
    "限制：", "最新版本：", "官方版本：", "下载地址：", "文件名：",
    "更新说明：【", "【下载地址结束】", "<p>【结束】", "【"};

// The markers in GB18030, the encoding the page is read in.
const std::array<std::string, kMarkerCount>& GbMarkers() {
  static const std::array<std::string, kMarkerCount> markers = [] {
    std::array<std::string, kMarkerCount> m;
    for (size_t i = 0; i < kMarkerCount; ++i) {
      if (!Utf8ToGb18030(kUtf8Markers[i], m[i])) m[i].clear();
    }
    return m;
  }();
  return markers;
}

// Character starts of GB18030 text. Its trail bytes overlap ASCII and lead bytes,
// so a marker found by bytes alone may begin in the middle of a character.
class GbText {
 public:
  explicit GbText(std::string_view bytes) : bytes_(bytes), starts_(bytes.size() + 1, false) {
    size_t i = 0;
    while (i < bytes.size()) {
      starts_[i] = true;
      i += CharLength(i);
    }
    starts_[bytes.size()] = true;
  }

  // First occurrence of `marker` at a character start within [from, to).
  size_t Find(std::string_view marker, size_t from, size_t to) const {
    if (marker.empty() || to > bytes_.size()) return npos;
    while (from < to) {
      size_t at = bytes_.find(marker, from);
      if (at == npos || at + marker.size() > to) return npos;
      if (starts_[at]) return at;
      from = at + 1;
    }
    return npos;
  }

  bool At(size_t i, std::string_view marker) const {
    return !marker.empty() && starts_[i] && bytes_.substr(i, marker.size()) == marker;
  }

  size_t Next(size_t i) const {
    do ++i;
    while (i < bytes_.size() && !starts_[i]);
    return i;
  }

 private:
  // One byte for ASCII and for a byte that starts no valid character, so that
  // any input is walked to its end.
  size_t CharLength(size_t i) const {
    auto b = [this](size_t k) { return static_cast<uint8_t>(bytes_[k]); };
    if (b(i) < 0x81 || b(i) == 0xFF || i + 1 >= bytes_.size()) return 1;
    uint8_t second = b(i + 1);
    if (second >= 0x30 && second <= 0x39) {
      bool four = i + 3 < bytes_.size() && b(i + 2) >= 0x81 && b(i + 2) <= 0xFE && b(i + 3) >= 0x30 &&
                  b(i + 3) <= 0x39;
      return four ? 4 : 1;
    }
    return (second >= 0x40 && second <= 0xFE && second != 0x7F) ? 2 : 1;
  }

  std::string_view bytes_;
  std::vector<bool> starts_;
};

bool StripPrefix(std::string_view& s, std::string_view p) {
  if (s.substr(0, p.size()) != p) return false;
  s.remove_prefix(p.size());
  return true;
}

std::optional<std::string> ToUtf8(std::string_view gb) {
  std::string out;
  if (!Gb18030ToUtf8(gb, out)) return std::nullopt;
  return out;
}


// The longest entity ("&#x10FFFF;") and tag this reader knows: the end of each is
// looked for within that distance only, so reading a page is linear in its size.
constexpr size_t kMaxEntity = 10;
constexpr size_t kMaxTag = 4096;

// "&amp;" and friends at the start of `s` (which begins with '&'); the length
// consumed, 0 when it is no entity this reader knows.
size_t DecodeEntity(std::string_view s, std::string& out) {
  size_t semi = s.substr(0, kMaxEntity + 1).find(';');
  if (semi == npos) return 0;
  std::string_view name = s.substr(1, semi - 1);
  static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
      {"nbsp", " "}, {"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}};
  for (auto [n, text] : kNamed) {
    if (name == n) {
      out += text;
      return semi + 1;
    }
  }
  if (name.size() < 2 || name[0] != '#') return 0;
  bool hex = name[1] == 'x' || name[1] == 'X';
  std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return 0;
  uint32_t cp = 0;
  for (char c : digits) {
    int d = c >= '0' && c <= '9' ? c - '0'
            : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
            : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
    if (d < 0) return 0;
    cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
    if (cp > 0x10FFFF) return 0;
  }
  if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  // A control character shows as nothing in the notes ("&#13;" would make a
  // line break that is no CR LF); a tab as a blank.
  if (cp == '\t') {
    out += ' ';
  } else if (cp >= 0x20 && !(cp >= 0x7F && cp <= 0x9F)) {
    AppendUtf8(out, cp);
  }
  return semi + 1;
}

// "</p>" and "<br>" ("<br/>", "<BR >") end a line; every other tag is dropped.
bool IsLineBreakTag(std::string_view tag) {
  const bool closing = !tag.empty() && tag[0] == '/';
  if (closing) tag.remove_prefix(1);
  std::string name;
  for (char c : tag) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c < 'a' || c > 'z') break;
    name += c;
  }
  return closing ? name == "p" : name == "br";
}

}  // namespace

std::string HtmlToText(std::string_view html) {
  std::string flat;  // lines separated by '\n'
  size_t close = 0;  // the first '>' at or after the last '<' looked at: each byte is searched once
  for (size_t i = 0; i < html.size();) {
    char c = html[i];
    if (c == '<') {
      if (close != npos && close <= i) close = html.find('>', i);
      if (close != npos && close - i <= kMaxTag) {
        if (IsLineBreakTag(html.substr(i + 1, close - i - 1))) flat += '\n';
        i = close + 1;
        continue;
      }
    } else if (c == '&') {
      if (size_t n = DecodeEntity(html.substr(i), flat)) {
        i += n;
        continue;
      }
    } else if (c == '\r' || c == '\n') {
      ++i;  // the source's own line breaks are no breaks in the text
      continue;
    } else if (c == '\t') {
      c = ' ';
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      ++i;  // other control characters show as nothing
      continue;
    }
    flat += c;
    ++i;
  }

  std::vector<std::string_view> lines;
  std::string_view rest = flat;
  for (;;) {
    size_t nl = rest.find('\n');
    std::string_view line = Trim(rest.substr(0, nl), kPageBlanks);
    // One empty line between paragraphs at most.
    if (!line.empty() || (!lines.empty() && !lines.back().empty())) lines.push_back(line);
    if (nl == npos) break;
    rest.remove_prefix(nl + 1);
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

Announcement ParseAnnouncement(std::string_view page) {
  const auto& m = GbMarkers();
  const GbText text(page);
  Announcement a;

  // The notes first: marker texts inside them belong to the notes, not to fields.
  size_t skipFrom = npos, skipTo = npos;
  if (size_t at = text.Find(m[kNotes], 0, page.size()); at != npos) {
    size_t from = at + m[kNotes].size();
    if (size_t end = text.Find(m[kNotesEnd], from, page.size()); end != npos) {
      a.notes = ToUtf8(page.substr(from, end - from));
      skipFrom = at;
      skipTo = end + m[kNotesEnd].size();
    }
  }
  auto find = [&](const std::string& marker) {
    size_t at = text.Find(marker, 0, page.size());
    if (at != npos && skipFrom != npos && at >= skipFrom && at < skipTo) {
      at = text.Find(marker, skipTo, page.size());
    }
    return at;
  };
  // Where the text that begins at `from` may run at most: the notes or the page end.
  auto limit = [&](size_t from) { return skipFrom != npos && from < skipFrom ? skipFrom : page.size(); };

  // A one-line field ends at a tag, a line break, "【", the next marker or the notes.
  auto lineField = [&](Marker which) -> std::optional<std::string> {
    size_t at = find(m[which]);
    if (at == npos) return std::nullopt;
    const size_t from = at + m[which].size();
    const size_t to = limit(from);
    size_t end = from;
    while (end < to) {
      char c = page[end];
      if (c == '<' || c == '\r' || c == '\n' || text.At(end, m[kLineEnd])) break;
      bool marker = false;
      for (size_t k = kRestriction; k <= kNotes && !marker; ++k) marker = text.At(end, m[k]);
      if (marker) break;
      end = text.Next(end);
    }
    std::optional<std::string> value = ToUtf8(page.substr(from, end - from));
    if (value) *value = std::string(Trim(*value, kPageBlanks));
    return value;
  };
  a.restriction = lineField(kRestriction);
  // A version holds no "；": one there ends the field ("最新版本：1.1.3；").
  auto versionField = [&](Marker which) {
    std::optional<std::string> value = lineField(which);
    if (value) *value = std::string(Trim(std::string_view(*value).substr(0, value->find("；")), kPageBlanks));
    return value;
  };
  a.latest = versionField(kLatest);
  a.official = versionField(kOfficial);
  a.fileName = lineField(kFileName);

  if (size_t at = find(m[kAddress]); at != npos) {
    size_t from = at + m[kAddress].size();
    if (size_t end = text.Find(m[kAddressEnd], from, limit(from)); end != npos) {
      // The page editor may have made the address a link: its text is the address.
      if (auto raw = ToUtf8(page.substr(from, end - from))) {
        std::string plain = HtmlToText(*raw);
        a.downloadAddress = plain.find('\n') == npos ? plain : std::string();
      }
    }
  }
  return a;
}

std::optional<Announcement> ReadAnnouncement(std::string_view utf8Page) {
  StripPrefix(utf8Page, "\xEF\xBB\xBF");  // a byte-order mark is no text of the page
  std::string gb;
  if (!Utf8ToGb18030(utf8Page, gb)) return std::nullopt;
  Announcement a = ParseAnnouncement(gb);
  if (!a.restriction && !a.latest && !a.official) return std::nullopt;
  return a;
}

}  // namespace velmora
