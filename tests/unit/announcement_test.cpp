// The announcement page: versions, the fields as the authoring rules cut them, and
// the version check's decision and what follows it. Pages are written here in
// UTF-8 as the web site serves them, and read through the GB18030 conversion.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/Encoding.h"
#include "update/Announcement.h"
#include "update/VersionCheck.h"

namespace velmora {
namespace {

Version V(std::string_view text) {
  auto v = Version::Parse(text);
  EXPECT_TRUE(v) << text;
  return v.value_or(*Version::Parse("0"));
}

// An article as the site's editor writes it, around the given body.
std::string Article(std::string_view body) {
  return "<html><head><meta charset=\"utf-8\"><title>Velmora 公告</title></head><body>\n"
         "<div class=\"article\">" + std::string(body) + "</div></body></html>\n";
}

TEST(Version, ComparesNumberByNumber) {
  EXPECT_LT(V("1.1.9"), V("1.1.10"));
  EXPECT_LT(V("1.1.2"), V("1.2"));
  EXPECT_LT(V("1.9.9"), V("2"));
  EXPECT_EQ(V("1.1"), V("1.1.0.0"));
  EXPECT_EQ(V("1.01.002"), V("1.1.2"));
  EXPECT_LT(V("1.1.2"), V("1.1.2.1"));
  // Numbers beyond 64 bits compare without overflow.
  EXPECT_LT(V("1.99999999999999999999"), V("1.100000000000000000000"));
  EXPECT_EQ(V("1.000000000000000000000000007"), V("1.7"));
  // The running version is never newer than itself.
  EXPECT_FALSE(V("1.1.2") < V("1.1.2"));
  EXPECT_EQ(Compare(V("1.1.2"), V("1.1.2")), 0);

  for (std::string_view bad : {"", "1.", ".1", "1..2", "v1.2", "1.2 ", " 1.2", "1.-2", "1,2", "１.２",
                               "1.2beta", "-1"}) {
    EXPECT_FALSE(Version::Parse(bad)) << bad;
  }
}

TEST(VersionCheck, RestrictionNamesVersionsListsAndRanges) {
  const Version running = V("1.1.2");
  struct Case {
    std::string_view restriction;
    bool names;
  } cases[] = {
      {"1.1.2", true},
      {"1.1.2.0", true},
      {"1.1.1", false},
      {"1.0.0；1.1.2；1.1.5", true},
      {"1.0.0；1.1.1；1.1.5", false},
      {"1.0.0 ； 1.1.2", true},                // blanks around items
      {"1.0.0；；1.1.2；", true},              // empty items name nothing
      {"1.0.0;1.1.2", false},                 // only "；" divides items
      {"1.0-1.1.5", true},
      {"1.1.2-1.1.2", true},                  // both ends belong to the range
      {"1.1.3-1.2", false},
      {"1.0 - 1.1.1", false},
      {"-1.1.2", true},                       // everything up to 1.1.2
      {"-1.1.1", false},
      {"1.1-", true},                         // everything from 1.1 on
      {"1.1.5-1.0", false},                   // a reversed range names nothing
      {"1.0-1.1-1.2", false},
      {"-", false},
      {"无", false},
      {"", false},
      {"全部；1.1.2", true},                   // an unreadable item does not hide the rest
      {"1.1.2版", false},
  };
  for (const Case& c : cases) EXPECT_EQ(RestrictionNames(c.restriction, running), c.names) << c.restriction;
}

TEST(VersionCheck, PageVariants) {
  const Version running = V("1.1.2");
  struct Case {
    const char* what;
    std::string body;
    bool reached, outOfService;
    const char* newer;  // nullptr: none
  } cases[] = {
      {"equal versions", "<p>限制：1.0.0</p><p>最新版本：1.1.2</p><p>官方版本：1.1.2</p>", true, false,
       nullptr},
      {"newer", "<p>限制：1.0.0</p><p>最新版本：1.1.10</p><p>官方版本：1.1.3</p>", true, false, "1.1.10"},
      {"an older published version is no update", "<p>最新版本：1.1.1</p><p>官方版本：1.0</p>", true,
       false, nullptr},
      {"最新版本 decides, not 官方版本", "<p>最新版本：1.1.2</p><p>官方版本：1.2</p>", true, false, nullptr},
      {"官方版本 stands in for a missing 最新版本", "<p>官方版本：1.1.3</p>", true, false, "1.1.3"},
      {"官方版本 stands in for an unreadable 最新版本", "<p>最新版本：新版</p><p>官方版本：1.1.3</p>", true,
       false, "1.1.3"},
      {"out of service by list", "<p>限制：1.0.9；1.1.2</p><p>最新版本：1.1.5</p>", true, true, "1.1.5"},
      {"out of service by range", "<p>限制：1.0-1.1.4</p><p>最新版本：1.1.2</p>", true, true, nullptr},
      {"no 限制 is no restriction", "<p>最新版本：1.1.2</p><p>官方版本：1.1.2</p>", true, false, nullptr},
      {"限制 alone", "<p>限制：-1.1.2</p>", true, true, nullptr},
      {"none of the three markers", "<p>更新说明：【新功能<p>【结束】</p><p>下载地址：http://x/a.exe【下载地址结束】",
       false, false, nullptr},
      {"markers in odd order", "<p>官方版本：1.1.3</p><p>最新版本：1.1.4</p><p>限制：1.1.1</p>", true, false,
       "1.1.4"},
      {"fields on one line end at the next marker", "最新版本：1.1.4官方版本：1.1.3限制：1.1.2", true, true,
       "1.1.4"},
      {"blanks and &nbsp; around a value", "<p>最新版本：&nbsp; 1.1.3　</p>", true, false, "1.1.3"},
      {"a \"；\" ends a version", "<p>限制：无；</p><p>最新版本：1.1.3；</p><p>官方版本：1.1.2；</p>", true,
       false, "1.1.3"},
      {"a line break ends a value", "最新版本：1.1.3\r\n官方版本：1.1.3", true, false, "1.1.3"},
      {"a marker with a half-width colon is no marker", "<p>最新版本:1.1.3</p>", false, false, nullptr},
      {"the first of two markers counts", "<p>最新版本：1.1.2</p><p>最新版本：1.1.9</p>", true, false,
       nullptr},
      {"markers inside the notes are not fields",
       "<p>更新说明：【旧版限制：1.1.2；最新版本：9.9</p><p>【结束】</p><p>最新版本：1.1.2</p>", true, false,
       nullptr},
      {"missing notes and address do not disturb the check",
       "<p>更新说明：【没有结束标记</p><p>最新版本：1.1.3</p>", true, false, "1.1.3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CheckOutcome o = DecideVersionCheck(ReadAnnouncement(Article(c.body)), running);
    EXPECT_EQ(o.reached, c.reached);
    EXPECT_EQ(o.outOfService, c.outOfService);
    EXPECT_EQ(o.newer ? o.newer->text() : std::string("none"), c.newer ? c.newer : "none");
  }
  // Nothing fetched at all.
  EXPECT_FALSE(DecideVersionCheck(std::nullopt, running).reached);
}

TEST(Announcement, MarkersMatchOnlyAtCharacterStarts) {
  // "跋拗疲骸" is B0CF DED6 C6A3 BAA1 in GBK: the bytes of "限制：" stand inside it,
  // beginning in the middle of a character, followed by a version.
  std::string misaligned;
  ASSERT_TRUE(Gb18030ToUtf8("\xB0\xCF\xDE\xD6\xC6\xA3\xBA\xA1", misaligned));
  ASSERT_EQ(misaligned, "跋拗疲骸");
  std::string gb;
  ASSERT_TRUE(Utf8ToGb18030(Article("<p>" + misaligned + "1.1.2</p><p>最新版本：1.1.2</p>"), gb));
  ASSERT_NE(gb.find("\xCF\xDE\xD6\xC6\xA3\xBA"), std::string::npos);
  Announcement a = ParseAnnouncement(gb);
  EXPECT_FALSE(a.restriction) << *a.restriction;
  EXPECT_EQ(a.latest, "1.1.2");

  // Cut GB18030 and stray bytes never make the parser read past the page.
  for (std::string_view raw : {std::string_view("\x81"), std::string_view("\x81\x30"),
                               std::string_view("\x81\x30\x81"), std::string_view("\xA3")}) {
    Announcement cut = ParseAnnouncement(raw);
    EXPECT_FALSE(cut.latest || cut.restriction || cut.notes);
  }
}

TEST(Announcement, TheFieldsOfTheSelfUpdate) {
  auto a = ReadAnnouncement(Article(
      "<p>公告正文：请勿外传。</p>\n"
      "<p>更新说明：【</p>\n<p>1. 新增&lt;炮弹&gt;插件</p><p>2. 修复  下载&amp;安装</p><p><br></p>"
      "<p>3. 最后一条</p><p>【结束】</p>\n"
      "<p>最新版本：1.1.3</p><p>文件名：Velmora 1.1.3.exe</p>"
      "<p>下载地址：<a href=\"http://www.site.test/d/v.exe\">http://www.site.test/d/v.exe</a>【下载地址结束】</p>"
));
  ASSERT_TRUE(a);
  ASSERT_TRUE(a->notes);
  // Nothing of the page before "更新说明：【" or from "<p>【结束】" on; "</p>" as line breaks.
  EXPECT_EQ(HtmlToText(*a->notes), "1. 新增<炮弹>插件\r\n2. 修复  下载&安装\r\n\r\n3. 最后一条");
  // Control characters, written or as entities, show as nothing: a lone CR would
  // break a line the edit box does not show as one (found by fuzzing).
  EXPECT_EQ(HtmlToText("a&#13;b&#x0A;c\x01" "d&#9;e</p>f"), "abcd e\r\nf");
  EXPECT_EQ(a->downloadAddress, "http://www.site.test/d/v.exe");
  EXPECT_EQ(a->fileName, "Velmora 1.1.3.exe");

  // The address ends only at its end marker; without it there is none.
  auto open = ReadAnnouncement(Article("<p>最新版本：1.1.3</p><p>下载地址：http://www.site.test/v.exe</p>"));
  ASSERT_TRUE(open);
  EXPECT_FALSE(open->downloadAddress);
  EXPECT_FALSE(open->notes);
}

TEST(Announcement, WhatIsNoPage) {
  // Invalid UTF-8 anywhere makes the whole page unreadable, as an unreachable one.
  std::string page = Article("<p>最新版本：1.1.3</p>");
  EXPECT_TRUE(ReadAnnouncement(page));
  EXPECT_FALSE(ReadAnnouncement(page + "\xC0\xAF"));            // overlong "/"
  EXPECT_FALSE(ReadAnnouncement("\xED\xA0\x80" + page));        // a surrogate
  EXPECT_FALSE(ReadAnnouncement(page.substr(0, page.size() - 1) + "\xE6\x96"));  // cut character
  EXPECT_FALSE(ReadAnnouncement(""));
  EXPECT_FALSE(ReadAnnouncement("<html>404 Not Found</html>"));
  // A byte-order mark in front is no text of the page.
  EXPECT_TRUE(ReadAnnouncement("\xEF\xBB\xBF" + page));
}

TEST(Announcement, HugePageWithTheFieldsAtItsEnd) {
  std::string body;
  body.reserve(9u << 20);
  while (body.size() < (8u << 20)) body += "<p>战舰世界插件合集，版本说明与下载 1.1.2-1.1.9；</p>\n";
  body += "<p>限制：1.1.2</p><p>最新版本：1.1.3</p>";
  auto a = ReadAnnouncement(Article(body));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->restriction, "1.1.2");
  EXPECT_EQ(a->latest, "1.1.3");
  // A field without any end runs to the page's end.
  auto endless = ReadAnnouncement("最新版本：1.1.3" + std::string(1u << 20, 'x'));
  ASSERT_TRUE(endless);
  EXPECT_EQ(endless->latest->size(), 5 + (1u << 20));
  EXPECT_FALSE(PublishedVersion(*endless));

  // Megabytes of "&" and "<" (each once searched the rest of the page for its end)
  // are read in linear time: a 4 MiB page at the fetch's limit, decided at once.
  const std::string hostile = "<p>下载地址：" + std::string(3u << 19, '&') + std::string(3u << 19, '<') +
                              "【下载地址结束】</p><p>最新版本：1.1.3</p><p>更新说明：【" +
                              std::string(1u << 20, '<') + "&#x41;" + "<p>【结束】";
  const auto start = std::chrono::steady_clock::now();
  auto h = ReadAnnouncement(hostile);
  ASSERT_TRUE(h && h->notes && h->downloadAddress);
  EXPECT_EQ(h->latest, "1.1.3");
  EXPECT_EQ(HtmlToText(*h->notes).size(), (1u << 20) + 1);
  EXPECT_EQ(h->downloadAddress->size(), 3u << 20);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

class ScriptedDialogs : public CheckDialogs {
 public:
  explicit ScriptedDialogs(bool answer) : answer_(answer) {}
  void Tell(std::string_view text) override { shown.emplace_back(text); }
  bool Ask(std::string_view question) override {
    shown.emplace_back(question);
    return answer_;
  }
  std::vector<std::string> shown;

 private:
  bool answer_;
};

TEST(VersionCheck, WhatFollowsEachOutcome) {
  using S = std::vector<std::string>;
  const std::string failed(text::kCheckConnectFailed), stopped(text::kCheckOutOfService), offer(text::kCheckUpdateOffer);
  const std::optional<Version> newer = V("1.1.3");
  struct Case {
    const char* what;
    CheckOutcome outcome;
    bool answer;
    S shown;
    AfterCheck after;
  } cases[] = {
      {"unreachable: told, and the program goes on", {false, false, std::nullopt}, true, {failed},
       AfterCheck::GoOn},
      {"up to date: nothing shown", {true, false, std::nullopt}, true, {}, AfterCheck::GoOn},
      {"newer, yes", {true, false, newer}, true, {offer}, AfterCheck::OpenUpdate},
      {"newer, no: the check ends", {true, false, newer}, false, {offer}, AfterCheck::GoOn},
      {"out of service, none published: ends", {true, true, std::nullopt}, true, {stopped},
       AfterCheck::End},
      {"out of service, update taken", {true, true, newer}, true, {stopped, offer},
       AfterCheck::OpenUpdateThenEnd},
      {"out of service, update declined: ends", {true, true, newer}, false, {stopped, offer},
       AfterCheck::End},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs(c.answer);
    EXPECT_EQ(ConcludeVersionCheck(c.outcome, dialogs), c.after);
    EXPECT_EQ(dialogs.shown, c.shown);
  }
}

}  // namespace
}  // namespace velmora
