// The whole-object fetch and the background download task over the scripted
// WinINet: whole bodies or nothing, and a worker that can be stopped at any point.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/BackgroundDownload.h"
#include "support/ManualUiQueue.h"
#include "support/ScriptedWinInet.h"

namespace velmora {
namespace {

using testing::ArchiveBytes;
using testing::ScriptedAnswer;
using testing::ScriptedWinInet;
using End = ScriptedAnswer::End;

FetchRequest Request(uint64_t maxBytes = 1u << 20, bool requireLength = false) {
  FetchRequest r;
  r.request.host = "www.site.test";
  r.request.port = 8433;
  r.request.object = "/1507/302203109570.html";
  r.maxBytes = maxBytes;
  r.requireLength = requireLength;
  return r;
}

FetchResult Fetch(ScriptedWinInet& server, const FetchRequest& request) {
  FetchCounters counters;
  TransferHandles handles(server.Api());
  FetchResult r = HttpFetch(server.Api(), request, counters, handles);
  handles.CloseAll();
  return r;
}

// Bounded wait for another thread; never a timing assertion.
template <typename F>
bool Eventually(F condition) {
  for (int i = 0; i < 20000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

TEST(HttpFetch, TheWholeBodyOrNothing) {
  ScriptedWinInet server;
  const std::string body = ArchiveBytes(200000);
  server.answers.push_back(ScriptedAnswer::Whole(200, body, 7000));
  FetchResult ok = Fetch(server, Request());
  EXPECT_EQ(ok.outcome, TransferOutcome::Completed);
  EXPECT_TRUE(ok.body == body);
  ASSERT_EQ(server.requests.size(), 1u);
  const testing::RecordedRequest& r = server.requests[0];
  EXPECT_EQ(r.host, "www.site.test");
  EXPECT_EQ(r.port, 8433);
  EXPECT_EQ(r.verb, "GET");
  EXPECT_EQ(r.object, "/1507/302203109570.html");
  EXPECT_NE(r.flags & wininet::kFlagReload, 0u) << "never an old copy from the system cache";
  EXPECT_NE(r.flags & wininet::kFlagNoAutoRedirect, 0u) << "no redirect unless asked for";
  EXPECT_EQ(r.options.at(wininet::kOptionConnectTimeout), 5000u);
  EXPECT_EQ(r.options.at(wininet::kOptionReceiveTimeout), 20000u);

  // A chunked answer (no length) is whole at its clean end, unless a length is required.
  ScriptedAnswer chunked = ScriptedAnswer::Whole(200, body);
  chunked.contentLength.reset();
  server.answers.push_back(chunked);
  EXPECT_EQ(Fetch(server, Request()).outcome, TransferOutcome::Completed);
  server.answers.push_back(chunked);
  EXPECT_EQ(Fetch(server, Request(1u << 20, true)).outcome, TransferOutcome::NoLength);

  struct Case {
    const char* what;
    ScriptedAnswer answer;
    TransferOutcome outcome;
  } failures[] = {
      {"cut short, clean end", ScriptedAnswer::Cut(200, body.size(), body.substr(0, 150000), End::Clean),
       TransferOutcome::Truncated},
      {"reset", ScriptedAnswer::Cut(200, body.size(), body.substr(0, 9000), End::Reset),
       TransferOutcome::ReadFailed},
      {"stalled until the receive time-out", ScriptedAnswer::Cut(200, body.size(), "", End::Stall),
       TransferOutcome::ReadFailed},
      {"an error page", ScriptedAnswer::Whole(404, "<html>404</html>"), TransferOutcome::ErrorStatus},
      {"a partial answer", ScriptedAnswer::Whole(206, body), TransferOutcome::ErrorStatus},
      {"announced too long", ScriptedAnswer::Cut(200, 2u << 20, body, End::Clean), TransferOutcome::TooLarge},
      {"no answer", [] { ScriptedAnswer a; a.sendFails = true; return a; }(), TransferOutcome::SendFailed},
  };
  for (const Case& c : failures) {
    SCOPED_TRACE(c.what);
    server.answers.push_back(c.answer);
    FetchResult r = Fetch(server, Request());
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_TRUE(r.body.empty());
  }
  // Too long without announcing it: refused as it comes, never held whole.
  chunked = ScriptedAnswer::Whole(200, ArchiveBytes(300000));
  chunked.contentLength.reset();
  server.answers.push_back(chunked);
  EXPECT_EQ(Fetch(server, Request(100000)).outcome, TransferOutcome::TooLarge);

  EXPECT_EQ(server.openHandles, 0);
  EXPECT_EQ(server.badCloses, 0);
}

TEST(BackgroundDownload, RunsBesideTheCallerAndHandsOverTheResultOnce) {
  ScriptedWinInet server;
  const std::string body = ArchiveBytes(3u << 20);
  server.answers.push_back(ScriptedAnswer::Whole(200, body, 65536));
  int ended = 0;
  testing::ManualUiQueue ui;
  {
    Worker worker;
    BackgroundDownload task(server.Api(), worker, ui);
    ASSERT_TRUE(task.Start(Request(8u << 20, true), [&] { ++ended; }));
    EXPECT_FALSE(task.Start(Request())) << "one download at a time";
    ASSERT_TRUE(Eventually([&] { return ui.RunPosted() > 0; })) << "told on the interface thread";
    EXPECT_EQ(task.State(), TaskState::Completed);
    EXPECT_EQ(task.Received(), body.size());
    EXPECT_EQ(task.Total(), body.size());
    EXPECT_EQ(ended, 1);
    std::optional<std::string> got = task.TakeResult();
    ASSERT_TRUE(got);
    EXPECT_TRUE(*got == body);
    EXPECT_FALSE(task.TakeResult());

    // The same task serves the next download; a failed one hands over nothing.
    server.answers.push_back(ScriptedAnswer::Cut(200, body.size(), body.substr(0, 1000), End::Clean));
    ASSERT_TRUE(task.Start(Request(8u << 20, true), [&] { ++ended; }));
    ASSERT_TRUE(Eventually([&] { return ui.RunPosted() > 0; }));
    EXPECT_EQ(task.State(), TaskState::Failed);
    EXPECT_EQ(task.LastOutcome(), TransferOutcome::Truncated);
    EXPECT_FALSE(task.TakeResult());
    EXPECT_EQ(ended, 2);
  }
  EXPECT_EQ(server.openHandles, 0);
}

TEST(BackgroundDownload, StopEndsABlockedReadWithoutWaitingAndTheWorkerIsJoinedAtTheEnd) {
  ScriptedWinInet server;
  const std::string body = ArchiveBytes(1u << 20);
  // Half the body, then a server that holds the connection and sends nothing.
  server.answers.push_back(ScriptedAnswer::Cut(200, body.size(), body.substr(0, body.size() / 2), End::Hold));
  int ended = 0;
  testing::ManualUiQueue ui;
  {
    Worker worker;
    BackgroundDownload task(server.Api(), worker, ui);
    ASSERT_TRUE(task.Start(Request(8u << 20, true), [&] { ++ended; }));
    ASSERT_TRUE(Eventually([&] { return server.HeldReads() == 1; }));
    EXPECT_EQ(task.State(), TaskState::Running);
    EXPECT_EQ(task.Received(), body.size() / 2);
    task.Stop();
    EXPECT_EQ(task.State(), TaskState::Stopped);
    ASSERT_TRUE(Eventually([&] { return server.HeldReads() == 0 && !worker.Busy(); }));
    EXPECT_FALSE(task.TakeResult());
    ui.RunPosted();
    EXPECT_EQ(ended, 0) << "a stopped download tells nobody it ended";
    EXPECT_EQ(server.openHandles, 0);

    // Left running when the program ends mid-download: stopped, then joined.
    server.answers.push_back(ScriptedAnswer::Cut(200, body.size(), body.substr(0, 4096), End::Hold));
    ASSERT_TRUE(task.Start(Request(8u << 20, true)));
    ASSERT_TRUE(Eventually([&] { return server.HeldReads() == 1; }));
    task.Stop();
  }
  EXPECT_EQ(server.HeldReads(), 0);
  EXPECT_EQ(server.openHandles, 0);
  EXPECT_EQ(server.badCloses, 0) << "no handle closed twice";
}

}  // namespace
}  // namespace velmora
