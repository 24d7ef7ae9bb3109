// The announcement page: an article of the maker's web site whose body carries
// marked fields (docs/announcement-page.md gives the authoring rules). The page
// arrives as UTF-8 and is read as GB18030, the program's page encoding; markers
// are matched exactly, at character starts only.
#pragma once

#include <array>

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Blanks a page editor puts around a value: ASCII blanks, the ideographic space
// and "&nbsp;".
inline constexpr std::array<std::string_view, 6> kPageBlanks = {" ", "\t", "\r", "\n", "\u3000", "&nbsp;"};

// Each field as UTF-8 text without surrounding blanks; nullopt when the page
// lacks the field's marker (or, for the address and the notes, their end marker).
struct Announcement {
  std::optional<std::string> restriction;      // "限制："
  std::optional<std::string> latest;           // "最新版本：", up to a "；"
  std::optional<std::string> official;         // "官方版本：", up to a "；"
  std::optional<std::string> downloadAddress;  // "下载地址：" .. "【下载地址结束】", tags removed
  std::optional<std::string> fileName;         // "文件名："
  std::optional<std::string> notes;            // "更新说明：【" .. "<p>【结束】", as written (HTML)
};

// Cuts the fields out of the page's GB18030 bytes. Any bytes are accepted, in
// time linear in their number.
Announcement ParseAnnouncement(std::string_view gb18030Page);

// The page as fetched. Nothing when it is no announcement page: not valid UTF-8,
// not convertible, or without any of "限制：", "最新版本：" and "官方版本：".
std::optional<Announcement> ReadAnnouncement(std::string_view utf8Page);

// HTML of the page as plain text: tags removed, "</p>" and "<br>" as CR LF line
// breaks, the common entities decoded, the source's own line breaks dropped, and
// blanks at the ends of each line and blank lines at both ends removed.
std::string HtmlToText(std::string_view html);

}  // namespace velmora
