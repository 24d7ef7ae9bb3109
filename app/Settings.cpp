#include "app/Settings.h"

#include <array>

#include "forms/Text.h"

#include <vector>

#include "platform/AsciiCase.h"
#include "platform/Encoding.h"

namespace velmora {
namespace {

struct Line {
  size_t begin = 0;  // offset of the first byte
  size_t end = 0;    // offset after the line's text, before its CR LF / LF
  size_t next = 0;   // offset of the following line
};

// LF never occurs inside a GB18030 character, so splitting on bytes is safe.
std::vector<Line> SplitLines(std::string_view bytes) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t lf = bytes.find('\n', pos);
    Line l;
    l.begin = pos;
    l.next = lf == std::string_view::npos ? bytes.size() : lf + 1;
    l.end = lf == std::string_view::npos ? bytes.size() : lf;
    if (l.end > l.begin && bytes[l.end - 1] == '\r') --l.end;
    lines.push_back(l);
    pos = l.next;
  }
  return lines;
}

// What a Windows INI reader skips around names and values.
constexpr std::array<std::string_view, 3> kIniBlanks = {" ", "\t", "\r"};

// A file that starts with a UTF-8 byte-order mark was saved as UTF-8 by an editor;
// it is read and written as UTF-8 so its other lines stay intact. Every other file
// is GB18030.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool HasBom(std::string_view bytes) { return bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom; }

// One line decoded to UTF-8 for parsing; a line that is not valid text (garbage)
// decodes to nothing and so never matches.
std::string Decode(std::string_view raw, bool utf8File) {
  if (utf8File) return IsValidUtf8(raw) ? std::string(raw) : std::string();
  std::string utf8;
  if (!Gb18030ToUtf8(raw, utf8)) return {};
  return utf8;
}

bool Encode(const std::string& utf8, bool utf8File, std::string& out) {
  if (utf8File) {
    out = utf8;
    return IsValidUtf8(utf8);
  }
  return Utf8ToGb18030(utf8, out);
}

enum class Kind { Other, Section, Entry };

struct Parsed {
  Kind kind = Kind::Other;
  std::string name;   // section name or key
  std::string value;  // entry value
};

Parsed Parse(std::string_view raw, bool utf8File) {
  std::string text = Decode(raw, utf8File);
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

size_t BodyStart(std::string_view bytes) { return HasBom(bytes) ? kUtf8Bom.size() : 0; }

}  // namespace

std::string SettingsFilePath(const std::string& programDir) { return programDir + "/config.ini"; }

std::string IniValue(std::string_view fileBytes, std::string_view section, std::string_view key) {
  std::string_view body = fileBytes.substr(BodyStart(fileBytes));
  bool inSection = false;
  for (const Line& l : SplitLines(body)) {
    Parsed p = Parse(body.substr(l.begin, l.end - l.begin), HasBom(fileBytes));
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
  const bool utf8File = HasBom(fileBytes);
  std::string lineText;
  if (!Encode(std::string(key) + "=" + std::string(value), utf8File, lineText)) return false;

  std::string_view body = fileBytes.substr(BodyStart(fileBytes));
  size_t offset = BodyStart(fileBytes);
  std::vector<Line> lines = SplitLines(body);

  // Line end of the file as it stands; CR LF for a new file, as Windows writes it.
  std::string eol = "\r\n";
  if (!lines.empty() && lines.front().next > lines.front().end &&
      body[lines.front().end] == '\n') {
    eol = "\n";
  }

  bool inSection = false;
  size_t sectionLast = std::string::npos;  // end (next) of the section's last entry line
  for (const Line& l : lines) {
    Parsed p = Parse(body.substr(l.begin, l.end - l.begin), utf8File);
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
    if (sectionLast > 0 && body[sectionLast - 1] != '\n') result += eol;
    result += lineText + eol;
    result.append(fileBytes.substr(offset + sectionLast));
    return true;
  }

  // Section missing: append it at the end of the file.
  std::string header;
  if (!Encode("[" + std::string(section) + "]", utf8File, header)) return false;
  result.assign(fileBytes);
  if (!result.empty() && result.back() != '\n') result += eol;
  result += header + eol + lineText + eol;
  return true;
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
