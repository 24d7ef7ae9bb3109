#include "app/Settings.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/Encoding.h"
#include "text/AsciiCase.h"
#include "text/Text.h"

namespace velmora {
namespace {

// How the file's text is stored. A file that starts with a byte-order mark was
// saved by an editor as UTF-8 or as "Unicode" (UTF-16, little or big endian); it
// is read and written back in that form so its other lines stay intact. Every
// other file is GB18030.
enum class Coding { Gb18030, Utf8, Utf16Le, Utf16Be };

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

struct FileText {
  Coding coding = Coding::Gb18030;
  size_t bomSize = 0;
  std::string_view body;  // after the byte-order mark
};

FileText Classify(std::string_view bytes) {
  FileText f;
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    f.coding = Coding::Utf8;
    f.bomSize = kUtf8Bom.size();
  } else if (bytes.substr(0, kUtf16LeBom.size()) == kUtf16LeBom) {
    f.coding = Coding::Utf16Le;
    f.bomSize = kUtf16LeBom.size();
  } else if (bytes.substr(0, kUtf16BeBom.size()) == kUtf16BeBom) {
    f.coding = Coding::Utf16Be;
    f.bomSize = kUtf16BeBom.size();
  }
  f.body = bytes.substr(f.bomSize);
  return f;
}

bool IsUtf16(Coding c) { return c == Coding::Utf16Le || c == Coding::Utf16Be; }
size_t UnitSize(Coding c) { return IsUtf16(c) ? 2 : 1; }

// True when the code unit at `at` is the ASCII character `c`.
bool UnitIs(std::string_view bytes, size_t at, char c, Coding coding) {
  if (at + UnitSize(coding) > bytes.size()) return false;
  switch (coding) {
    case Coding::Utf16Le: return bytes[at] == c && bytes[at + 1] == '\0';
    case Coding::Utf16Be: return bytes[at] == '\0' && bytes[at + 1] == c;
    default: return bytes[at] == c;
  }
}

bool EndsWithLf(std::string_view bytes, Coding coding) {
  const size_t unit = UnitSize(coding);
  return bytes.size() >= unit && UnitIs(bytes, bytes.size() - unit, '\n', coding);
}

struct Line {
  size_t begin = 0;  // offset of the first byte
  size_t end = 0;    // offset after the line's text, before its CR LF / LF
  size_t next = 0;   // offset of the following line
};

// LF never occurs inside a GB18030 or UTF-8 character, and a UTF-16 file is split
// on whole code units, so splitting never cuts a character.
std::vector<Line> SplitLines(std::string_view bytes, Coding coding) {
  const size_t unit = UnitSize(coding);
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    Line l;
    l.begin = pos;
    size_t at = pos;
    while (at < bytes.size() && !UnitIs(bytes, at, '\n', coding)) at += unit;
    l.end = std::min(at, bytes.size());
    l.next = std::min(at + unit, bytes.size());
    if (l.end >= l.begin + unit && UnitIs(bytes, l.end - unit, '\r', coding)) l.end -= unit;
    lines.push_back(l);
    pos = l.next;
  }
  return lines;
}

bool Utf16ToUtf8(std::string_view raw, bool bigEndian, std::string& out) {
  out.clear();
  if (raw.size() % 2 != 0) return false;
  auto unitAt = [&](size_t i) {
    const auto lo = static_cast<unsigned char>(raw[bigEndian ? i + 1 : i]);
    const auto hi = static_cast<unsigned char>(raw[bigEndian ? i : i + 1]);
    return static_cast<char16_t>(lo | (hi << 8));
  };
  for (size_t i = 0; i < raw.size(); i += 2) {
    char32_t cp = unitAt(i);
    if (cp >= 0xDC00 && cp <= 0xDFFF) return false;  // a low surrogate alone
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 2 >= raw.size()) return false;
      char16_t low = unitAt(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, cp);
  }
  return true;
}

bool Utf8ToUtf16(std::string_view utf8, bool bigEndian, std::string& out) {
  out.clear();
  if (!IsValidUtf8(utf8)) return false;
  auto put = [&](char32_t u) {
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  for (size_t i = 0; i < utf8.size();) {
    size_t n = Utf8Length(utf8, i);
    char32_t cp = DecodeUtf8(utf8, i, n);
    i += n;
    if (cp < 0x10000) {
      put(cp);
    } else {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return true;
}

// What a Windows INI reader skips around names and values.
constexpr std::array<std::string_view, 3> kIniBlanks = {" ", "\t", "\r"};

// One line decoded to UTF-8 for parsing; a line that is not valid text (garbage)
// decodes to nothing and so never matches.
std::string Decode(std::string_view raw, Coding coding) {
  std::string utf8;
  switch (coding) {
    case Coding::Utf8:
      if (IsValidUtf8(raw)) utf8 = raw;
      break;
    case Coding::Utf16Le:
    case Coding::Utf16Be:
      if (!Utf16ToUtf8(raw, coding == Coding::Utf16Be, utf8)) utf8.clear();
      break;
    case Coding::Gb18030:
      if (!Gb18030ToUtf8(raw, utf8)) utf8.clear();
      break;
  }
  return utf8;
}

// False when the file's coding has no form for the text (GBK without Korean, say).
bool Encode(std::string_view utf8, Coding coding, std::string& out) {
  switch (coding) {
    case Coding::Utf8:
      out = utf8;
      return IsValidUtf8(utf8);
    case Coding::Utf16Le:
    case Coding::Utf16Be:
      return Utf8ToUtf16(utf8, coding == Coding::Utf16Be, out);
    case Coding::Gb18030:
      return Utf8ToGb18030(utf8, out);
  }
  return false;
}

enum class Kind { Other, Section, Entry };

struct Parsed {
  Kind kind = Kind::Other;
  std::string name;   // section name or key
  std::string value;  // entry value
};

Parsed Parse(std::string_view raw, Coding coding) {
  std::string text = Decode(raw, coding);
  std::string_view t = Trim(text, kIniBlanks);
  Parsed p;
  if (t.empty() || t.front() == ';' || t.front() == '#') return p;
  if (t.front() == '[') {
    size_t close = t.find(']');
    if (close == std::string_view::npos) return p;
    p.kind = Kind::Section;
    p.name = std::string(Trim(t.substr(1, close - 1), kIniBlanks));
    return p;
  }
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return p;
  p.kind = Kind::Entry;
  p.name = std::string(Trim(t.substr(0, eq), kIniBlanks));
  p.value = std::string(Trim(t.substr(eq + 1), kIniBlanks));
  return p;
}

}  // namespace

std::string SettingsFilePath(const std::string& programDir) { return programDir + "/config.ini"; }

std::string IniValue(std::string_view fileBytes, std::string_view section, std::string_view key) {
  const FileText file = Classify(fileBytes);
  bool inSection = false;
  for (const Line& l : SplitLines(file.body, file.coding)) {
    Parsed p = Parse(file.body.substr(l.begin, l.end - l.begin), file.coding);
    if (p.kind == Kind::Section) {
      inSection = EqualsIgnoringAsciiCase(p.name, section);
    } else if (inSection && p.kind == Kind::Entry && EqualsIgnoringAsciiCase(p.name, key)) {
      return p.value;
    }
  }
  return {};
}

bool IniWithValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                  std::string_view value, std::string& result) {
  if (value.find_first_of("\r\n") != std::string_view::npos) return false;
  const FileText file = Classify(fileBytes);
  const std::string_view body = file.body;
  const size_t offset = file.bomSize;
  std::string lineText, header;
  if (!Encode(std::string(key) + "=" + std::string(value), file.coding, lineText) ||
      !Encode("[" + std::string(section) + "]", file.coding, header)) {
    return false;
  }
  std::vector<Line> lines = SplitLines(body, file.coding);

  // Line end of the file as it stands; CR LF for a new file, as Windows writes it.
  std::string eol;
  const bool lfOnly = !lines.empty() && lines.front().next > lines.front().end &&
                      UnitIs(body, lines.front().end, '\n', file.coding);
  Encode(lfOnly ? "\n" : "\r\n", file.coding, eol);

  bool inSection = false;
  size_t sectionLast = std::string::npos;  // end (next) of the section's last entry line
  for (const Line& l : lines) {
    Parsed p = Parse(body.substr(l.begin, l.end - l.begin), file.coding);
    if (p.kind == Kind::Section) {
      if (inSection) break;  // the wanted section ended without the key
      inSection = EqualsIgnoringAsciiCase(p.name, section);
      if (inSection) sectionLast = l.next;
    } else if (inSection) {
      if (p.kind == Kind::Entry && EqualsIgnoringAsciiCase(p.name, key)) {
        result.assign(fileBytes.substr(0, offset + l.begin));
        result += lineText;
        result.append(fileBytes.substr(offset + l.end));
        return true;
      }
      if (p.kind == Kind::Entry) sectionLast = l.next;
    }
  }

  if (sectionLast != std::string::npos) {
    // Key missing: add it after the section's last entry.
    result.assign(fileBytes.substr(0, offset + sectionLast));
    if (!EndsWithLf(body.substr(0, sectionLast), file.coding)) result += eol;
    result += lineText + eol;
    result.append(fileBytes.substr(offset + sectionLast));
    return true;
  }

  // Section missing: append it at the end of the file.
  result.assign(fileBytes);
  if (!body.empty() && !EndsWithLf(body, file.coding)) result += eol;
  result += header + eol + lineText + eol;
  return true;
}

bool SettingsFileCanHold(FileSystem& fs, const std::string& iniPath, std::string_view value) {
  std::string bytes, updated;
  if (fs.Kind(iniPath) == PathKind::File && !fs.ReadFile(iniPath, bytes)) return true;
  return IniWithValue(bytes, kSettingsSection, kGameRootKey, value, updated);
}

std::string ReadSetting(FileSystem& fs, const std::string& iniPath, std::string_view section,
                        std::string_view key) {
  std::string bytes;
  if (!fs.ReadFile(iniPath, bytes)) return {};
  return IniValue(bytes, section, key);
}

bool WriteSetting(FileSystem& fs, const std::string& iniPath, std::string_view section,
                  std::string_view key, std::string_view value) {
  std::string bytes;
  if (fs.Kind(iniPath) == PathKind::File && !fs.ReadFile(iniPath, bytes)) return false;
  std::string updated;
  if (!IniWithValue(bytes, section, key, value, updated)) return false;
  return fs.WriteFileAtomic(iniPath, updated);
}

std::string ReadGameRoot(FileSystem& fs, const std::string& programDir) {
  return ReadSetting(fs, SettingsFilePath(programDir), kSettingsSection, kGameRootKey);
}

}  // namespace velmora
