// The update window's work from the page to the stored new version, over the
// scripted WinINet and the real file system, with the window as a recording view.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/ScriptedWinInet.h"
#include "support/SignedRelease.h"
#include "support/TempDir.h"
#include "update/UpdateFlow.h"
#include "support/ManualUiQueue.h"

namespace velmora {
namespace {

using testing::ArchiveBytes;
using testing::ScriptedAnswer;
using testing::ScriptedWinInet;
using testing::TempDir;
using End = ScriptedAnswer::End;

class RecordingUpdateView : public UpdateView {
 public:
  void ShowNotes(std::string_view text) override { notes = text; }
  void ShowState(std::string_view text) override { states.emplace_back(text); }
  void ShowProgress(std::string_view kb, std::string_view, int percent) override {
    kilobyteText = kb;
    percents.push_back(percent);
  }
  void Tell(std::string_view text) override { messages.emplace_back(text); }
  bool Ask(std::string_view question) override {
    messages.emplace_back(question);
    return answer;
  }
  bool StartProgram(const std::string& path) override {
    started.push_back(path);
    return true;
  }

  bool answer = true;
  std::string notes, kilobyteText;
  std::vector<std::string> states, messages, started;
  std::vector<int> percents;
};

constexpr const char* kSite = "www.site.test";
constexpr uint16_t kPort = 8433;

std::string Page(std::string_view fields) {
  return "<html><body><p>其他公告：限制：9.9</p><p>更新说明：【</p><p>1. 新的插件</p><p>2. 修复</p>"
         "<p>【结束】</p><p>页尾</p>" + std::string(fields) + "</body></html>";
}

class UpdateFlowTest : public ::testing::Test {
 protected:
  UpdateSettings Settings() {
    UpdateSettings s;
    s.siteHost = kSite;
    s.sitePort = kPort;
    s.runningVersion = "1.1.2";
    s.publicKey = testing::kMakerKey;
    s.programDir = dir.path();
    s.runningExeName = "velmora.exe";
    return s;
  }
  // The interface thread: the task's posted calls and the window's timer
  // ticks, until the flow has ended (bounded).
  void RunToEnd(UpdateFlow& flow) {
    flow.Begin();
    for (int i = 0; i < 20000 && (ui.RunPosted(), flow.Tick()); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  ScriptedWinInet server;
  TempDir dir;
  RecordingUpdateView view;
  int64_t now = 0;
  testing::ManualUiQueue ui;
  Worker worker;
  BackgroundDownload task{server.Api(), worker, ui};
};

TEST_F(UpdateFlowTest, DownloadsVerifiesStoresAndOffersTheNewVersion) {
  const std::string& exe = testing::kReleaseExe;
  server.answers.push_back(ScriptedAnswer::Whole(
      200, Page("<p>最新版本：1.1.3</p><p>文件名：Velmora 1.1.3.exe</p>"
                "<p>下载地址：https://releases.test/down/v113.exe【下载地址结束】</p>")));
  server.answers.push_back(ScriptedAnswer::Whole(200, exe, 8));
  server.answers.push_back(ScriptedAnswer::Whole(200, testing::kMakerSignature));
  UpdateFlow flow(task, NativeFileSystem(), Settings(), view, NoLog(), [this] { return now; });
  RunToEnd(flow);

  EXPECT_EQ(flow.stage(), UpdateFlow::Stage::Done);
  EXPECT_EQ(view.notes, "1. 新的插件\r\n2. 修复");
  ASSERT_EQ(server.requests.size(), 3u);
  EXPECT_EQ(server.requests[0].object, "/1507/302203109570.html");
  EXPECT_TRUE(server.requests[0].flags & wininet::kFlagNoAutoRedirect);
  EXPECT_FALSE(server.requests[0].flags & wininet::kFlagSecure);
  // The exe and its signature: over TLS, redirects followed (the signature checks the bytes).
  for (size_t i : {1, 2}) {
    EXPECT_EQ(server.requests[i].host, "releases.test");
    EXPECT_EQ(server.requests[i].port, 443);
    EXPECT_TRUE(server.requests[i].flags & wininet::kFlagSecure);
    EXPECT_FALSE(server.requests[i].flags & wininet::kFlagNoAutoRedirect);
  }
  EXPECT_EQ(server.requests[1].object, "/down/v113.exe");
  EXPECT_EQ(server.requests[2].object, "/down/v113.exe.minisig");
  EXPECT_TRUE(dir.Read("\\Velmora 1.1.3.exe") == exe);
  EXPECT_FALSE(dir.Exists("\\Velmora 1.1.3.exe.new~"));
  EXPECT_EQ(view.percents.back(), 100);
  EXPECT_EQ(view.states, (std::vector<std::string>{"正在读取公告", "正在下载", "下载完成"}));
  EXPECT_EQ(view.messages, (std::vector<std::string>{"新版本已经下载完成，感谢您的支持！", "是否立即启动新版本？"}));
  EXPECT_EQ(view.started, (std::vector<std::string>{dir.path() + "\\Velmora 1.1.3.exe"}));
  EXPECT_TRUE(flow.startedNewVersion());
}

TEST_F(UpdateFlowTest, NeverClaimsSuccessForWhatDidNotArriveWhole) {
  const std::string exe = ArchiveBytes(1u << 20, 3);
  const std::string address = "<p>下载地址：http://www.site.test:8433/v.exe【下载地址结束】</p>";
  struct Case {
    const char* what;
    std::vector<ScriptedAnswer> answers;
    const char* message;
    size_t requests;
  } cases[] = {
      {"no page", {[] { ScriptedAnswer a; a.sendFails = true; return a; }()}, "读取更新公告失败，请稍后重试。", 1},
      {"a page without markers", {ScriptedAnswer::Whole(200, "<html>维护中</html>")},
       "读取更新公告失败，请稍后重试。", 1},
      {"a truncated download",
       {ScriptedAnswer::Whole(200, Page("<p>最新版本：1.1.3</p>" + address)),
        ScriptedAnswer::Cut(200, exe.size(), exe.substr(0, exe.size() - 1), End::Clean)},
       "新版本下载失败，请稍后重试。", 2},
      {"an error page for the program",
       {ScriptedAnswer::Whole(200, Page("<p>最新版本：1.1.3</p>" + address)),
        ScriptedAnswer::Whole(404, "<html>404</html>")},
       "新版本下载失败，请稍后重试。", 2},
      {"a certificate refused (unknown issuer)",
       {ScriptedAnswer::Whole(200, Page("<p>最新版本：1.1.3</p>" + address)),
        [] { ScriptedAnswer a; a.sendFails = true; a.sendError = 12045; return a; }()},
       "新版本下载地址的安全证书不受信任，已停止更新。请检查系统时间，或稍后重试。", 2},
      {"no address", {ScriptedAnswer::Whole(200, Page("<p>最新版本：1.1.3</p>"))},
       "更新公告中的下载地址无效，已停止更新。", 1},
      {"no newer version is never fetched",
       {ScriptedAnswer::Whole(200, Page("<p>最新版本：1.1.2</p>" + address))},
       "新版本校验失败，已停止更新。", 1},
      {"no signature",
       {ScriptedAnswer::Whole(200, Page("<p>最新版本：1.1.3</p>" + address)),
        ScriptedAnswer::Whole(200, testing::kReleaseExe), ScriptedAnswer::Whole(404, "<html>404</html>")},
       "新版本校验失败，已停止更新。", 3},
      {"a signature for another file name",
       {ScriptedAnswer::Whole(200, Page("<p>最新版本：1.1.3</p>" + address)),
        ScriptedAnswer::Whole(200, testing::kReleaseExe), ScriptedAnswer::Whole(200, testing::kMakerSignature)},
       "新版本校验失败，已停止更新。", 3},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.answers.assign(c.answers.begin(), c.answers.end());
    server.requests.clear();
    view = {};
    {
      UpdateFlow flow(task, NativeFileSystem(), Settings(), view, NoLog(), [this] { return now; });
      RunToEnd(flow);
      EXPECT_EQ(flow.stage(), UpdateFlow::Stage::Failed);
    }
    EXPECT_EQ(view.messages, (std::vector<std::string>{c.message}));
    EXPECT_EQ(view.states.back(), "更新失败");
    EXPECT_EQ(server.requests.size(), c.requests);
    EXPECT_FALSE(dir.Exists("\\Velmora测试.exe"));
    EXPECT_FALSE(dir.Exists("\\Velmora测试.exe.new~"));
  }
}

TEST_F(UpdateFlowTest, LeftMidDownloadItStopsAndStoresNothing) {
  const std::string exe = ArchiveBytes(2u << 20, 5);
  server.answers.push_back(ScriptedAnswer::Whole(
      200, Page("<p>最新版本：1.1.3</p><p>下载地址：http://www.site.test:8433/v.exe【下载地址结束】</p>")));
  server.answers.push_back(ScriptedAnswer::Cut(200, exe.size(), exe.substr(0, 1u << 20), End::Hold, 65536));
  view.answer = false;
  {
    UpdateFlow flow(task, NativeFileSystem(), Settings(), view, NoLog(), [this] { return now; });
    flow.Begin();
    for (int i = 0; i < 20000 && server.HeldReads() == 0; ++i) {
      ui.RunPosted();
      flow.Tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(server.HeldReads(), 1);
    now = 500;  // before the rate's first interval closes: the rate since the start
    EXPECT_TRUE(flow.Tick());
    const std::string early = view.kilobyteText;
    EXPECT_NE(early.find_first_of("123456789"), std::string::npos) << "a rate shows: " << early;
    now = 1000;  // the first interval of a second: half the rate since the start
    EXPECT_TRUE(flow.Tick());
    EXPECT_EQ(view.percents.back(), 50);
    EXPECT_NE(view.kilobyteText, early) << "the rate follows the clock";
  }  // the window closes
  EXPECT_EQ(task.State(), TaskState::Stopped);
  for (int i = 0; i < 20000 && worker.Busy(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(server.HeldReads(), 0);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(dir.Exists("\\Velmora测试.exe"));
  EXPECT_EQ(server.openHandles, 0);
}

}  // namespace
}  // namespace velmora
