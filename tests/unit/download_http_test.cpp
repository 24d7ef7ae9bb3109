#include <gtest/gtest.h>

#include <map>

#include "net/HttpDownloader.h"
#include "support/FaultyFileSystem.h"
#include "support/RecordingViews.h"
#include "support/ScriptedWinInet.h"
#include "support/TempDir.h"

namespace velmora {
namespace {

using testing::RecordingDownloadView;
using testing::ScriptedAnswer;
using testing::ScriptedWinInet;
using testing::ArchiveBytes;
using End = ScriptedAnswer::End;
using Strings = std::vector<std::string>;

constexpr const char* kObject = "/wot/wows/cj/pd/lpx.zip";
constexpr size_t kMiB = 1048576;

// Archives are binary: tell sizes and the first difference, not the bytes.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  return ::testing::AssertionFailure() << "got " << got.size() << " bytes, want " << want.size()
                                       << ", first difference at " << at;
}

class HttpDownloadTest : public ::testing::Test {
 protected:
  HttpDownloader MakeDownloader(FileSystem& fs, const std::string& folder,
                                const std::string& systemTemp = "/nonexistent") {
    DownloadSettings s;
    s.clock = [this] { return nowMs += msPerReading; };
    s.drawNumber = [this] { return nextNumber++; };
    s.fallbackTempFolder = systemTemp;
    s.maxBytes = maxBytes;
    RequestOptions tools;
    tools.host = "tools.test";
    tools.port = 8080;
    return HttpDownloader(server.Api(), fs, tools, folder, std::move(s));
  }
  // The stored file's bytes when the download completed; nothing otherwise.
  std::string Get(HttpDownloader& d, const std::string& object, bool resume, RecordingDownloadView& v) {
    const std::string stored = dir.Join("\\stored.zip");
    NativeFileSystem().RemoveFile(stored);
    if (d.Download(object, resume, stored, v, v.Handles(server.Api())) != TransferOutcome::Completed) {
      EXPECT_FALSE(dir.Exists("\\stored.zip")) << "nothing is stored of a download that failed";
      return {};
    }
    std::string bytes;
    EXPECT_TRUE(NativeFileSystem().ReadFile(stored, bytes));
    return bytes;
  }
  HttpDownloader MakeDownloader() { return MakeDownloader(NativeFileSystem(), dir.path()); }
  uint64_t HeldBytes(const HttpDownloader& d) {
    return NativeFileSystem().FileSize(d.TempFile()).value_or(0);
  }

  ScriptedWinInet server;
  testing::TempDir dir;
  RecordingDownloadView view;
  int64_t nowMs = 0;
  int64_t msPerReading = 0;
  uint64_t maxBytes = uint64_t{192} << 20;  // the rate meter reads the clock once a piece
  uint32_t nextNumber = 4711;
};

TEST_F(HttpDownloadTest, FreshDownloadSendsTheRequestByteForByteAndHandsOverTheFile) {
  const std::string body = ArchiveBytes(300000);
  server.answers.push_back(ScriptedAnswer::Whole(206, body));
  HttpDownloader d = MakeDownloader();

  EXPECT_TRUE(SameBytes(Get(d, kObject, false, view), body));

  ASSERT_EQ(server.requests.size(), 1u);
  const testing::RecordedRequest& r = server.requests[0];
  EXPECT_EQ(r.agent, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(r.host, "tools.test");
  EXPECT_EQ(r.port, 8080);
  EXPECT_EQ(r.service, wininet::kServiceHttp);
  EXPECT_EQ(r.verb, "GET");
  EXPECT_EQ(r.object, kObject);
  EXPECT_EQ(r.version, "HTTP/1.1");
  EXPECT_EQ(r.headers, "Accept:  */*\r\nrange:bytes=0-\r\nContent-Length: 0\r\n");
  EXPECT_NE(r.flags & wininet::kFlagReload, 0u) << "the system cache must not serve the archive";
  EXPECT_NE(r.flags & wininet::kFlagNoAutoRedirect, 0u) << "a redirect is a failed download";
  // Bounded waits: a few seconds to connect, longer to receive.
  ASSERT_TRUE(r.options.count(wininet::kOptionConnectTimeout));
  ASSERT_TRUE(r.options.count(wininet::kOptionReceiveTimeout));
  EXPECT_GE(r.options.at(wininet::kOptionConnectTimeout), 2000u);
  EXPECT_LE(r.options.at(wininet::kOptionConnectTimeout), 10000u);
  EXPECT_GT(r.options.at(wininet::kOptionReceiveTimeout), r.options.at(wininet::kOptionConnectTimeout));

  // A 206 to a range from 0 still reads as a server that resumes.
  EXPECT_EQ(view.statuses, (Strings{"正在连接Internet", "Internet连接已建立", "服务器支持网络续传",
                                    "开始下载", "下载完毕"}));
  ASSERT_FALSE(view.percents.empty());
  EXPECT_EQ(view.percents.back(), 100);
  EXPECT_TRUE(std::is_sorted(view.percents.begin(), view.percents.end()));
  EXPECT_EQ(d.TotalSizeText(), "300000");
  EXPECT_EQ(d.TempFile(), "") << "the slot is emptied when a download completes";
  EXPECT_FALSE(dir.Exists("\\~~4711.tmp"));
  EXPECT_EQ(server.openHandles, 0);
  EXPECT_EQ(server.badCloses, 0);
  EXPECT_EQ(d.LastReport().outcome, TransferOutcome::Completed);
}

TEST_F(HttpDownloadTest, ResumeAfterAMebibyteAsksForTheTailAndAppendsIt) {
  const std::string body = ArchiveBytes(3 * kMiB);
  // The connection is reset after the first MiB.
  server.answers.push_back(ScriptedAnswer::Cut(206, body.size(), body.substr(0, kMiB), End::Reset));
  server.answers.push_back(ScriptedAnswer::Whole(206, body.substr(kMiB)));
  HttpDownloader d = MakeDownloader();

  EXPECT_EQ(Get(d, kObject, false, view), "");
  EXPECT_EQ(d.LastReport().outcome, TransferOutcome::ReadFailed);
  EXPECT_EQ(d.LastReport().error, 10054u);
  EXPECT_EQ(HeldBytes(d), kMiB) << "partial data is kept for a resume";
  EXPECT_EQ(std::count(view.statuses.begin(), view.statuses.end(), "下载完毕"), 0);
  EXPECT_EQ(view.statuses.back(), "开始下载") << "the status keeps the last state text";
  EXPECT_EQ(view.percents.back(), 33);

  RecordingDownloadView again;
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, again), body));
  ASSERT_EQ(server.requests.size(), 2u);
  EXPECT_EQ(server.requests[1].headers, "Accept:  */*\r\nrange:bytes=1048576-\r\nContent-Length: 0\r\n");
  // The bar carries on from the bytes already held, against the first answer's total.
  ASSERT_FALSE(again.percents.empty());
  EXPECT_GE(again.percents.front(), 33);
  EXPECT_EQ(again.percents.back(), 100);
  EXPECT_EQ(d.TotalSizeText(), std::to_string(body.size()));
  EXPECT_EQ(server.openHandles, 0);
}

TEST_F(HttpDownloadTest, ServerThatIgnoresTheRangeGivesTheWholeFileExactlyOnce) {
  const std::string body = ArchiveBytes(200000, 7);
  server.answers.push_back(ScriptedAnswer::Cut(200, body.size(), body.substr(0, 50000), End::Reset));
  server.answers.push_back(ScriptedAnswer::Whole(200, body));
  HttpDownloader d = MakeDownloader();
  EXPECT_EQ(Get(d, kObject, false, view), "");
  ASSERT_EQ(HeldBytes(d), 50000u);

  RecordingDownloadView again;
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, again), body));
  EXPECT_EQ(server.requests[1].headers, "Accept:  */*\r\nrange:bytes=50000-\r\nContent-Length: 0\r\n");
  EXPECT_EQ(again.statuses, (Strings{"正在连接Internet", "Internet连接已建立", "服务器不支持网络续传",
                                     "开始下载", "下载完毕"}));
  // The whole answer starts at byte 0: the bar starts low again.
  ASSERT_FALSE(again.percents.empty());
  EXPECT_LT(again.percents.front(), 5);

  // The file changed on the server meanwhile: its new size is the total.
  const std::string newer = ArchiveBytes(150000, 8);
  server.answers.push_back(ScriptedAnswer::Cut(206, body.size(), body.substr(0, 60000), End::Reset));
  server.answers.push_back(ScriptedAnswer::Whole(200, newer));
  Get(d, kObject, false, view);
  RecordingDownloadView third;
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, third), newer));
  EXPECT_EQ(d.TotalSizeText(), "150000");
  EXPECT_LT(third.percents.front(), 5);
  EXPECT_EQ(third.percents.back(), 100);
}

// A file replaced on the server between two presses, answered with 206 all the
// same: the other total in Content-Range, or another ETag, starts afresh at
// once, in the same press, and never splices two files.
TEST_F(HttpDownloadTest, AResumeOfAFileThatChangedOnTheServerStartsAfreshInTheSamePress) {
  const std::string body = ArchiveBytes(300000, 11), newer = ArchiveBytes(280000, 12);
  struct Case {
    const char* what;
    std::map<std::string, std::string> first, resumed;
  } cases[] = {
      {"another total", {{"Content-Range", "bytes 0-299999/300000"}}, {{"Content-Range", "bytes 100000-279999/280000"}}},
      {"another ETag", {{"ETag", "\"a1\""}}, {{"ETag", "\"b2\""}, {"Content-Range", "bytes 100000-299999/300000"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HttpDownloader d = MakeDownloader();
    ScriptedAnswer cut = ScriptedAnswer::Cut(206, body.size(), body.substr(0, 100000), End::Reset);
    cut.headers = c.first;
    server.answers.push_back(cut);
    ScriptedAnswer tail = ScriptedAnswer::Whole(206, newer.substr(100000));
    tail.headers = c.resumed;
    server.answers.push_back(tail);
    server.answers.push_back(ScriptedAnswer::Whole(206, newer));
    EXPECT_EQ(Get(d, kObject, false, view), "");
    const size_t before = server.requests.size();
    RecordingDownloadView again;
    EXPECT_TRUE(SameBytes(Get(d, kObject, true, again), newer));
    ASSERT_EQ(server.requests.size(), before + 2) << "one press: the resume, then the whole file";
    EXPECT_EQ(server.requests[before].headers, "Accept:  */*\r\nrange:bytes=100000-\r\nContent-Length: 0\r\n");
    EXPECT_EQ(server.requests[before + 1].headers, "Accept:  */*\r\nrange:bytes=0-\r\nContent-Length: 0\r\n");
    EXPECT_EQ(d.LastReport().attempts, 2);
  }
}

TEST_F(HttpDownloadTest, ABodyEndingBeforeItsLengthIsNotAFileAndResumesByteIdentical) {
  const std::string body = ArchiveBytes(100000, 3);
  // The server closes cleanly mid-body: the read says "no more bytes" early.
  server.answers.push_back(ScriptedAnswer::Cut(206, body.size(), body.substr(0, 40000), End::Clean, 1000));
  HttpDownloader d = MakeDownloader();
  EXPECT_EQ(Get(d, kObject, false, view), "");
  EXPECT_EQ(d.LastReport().outcome, TransferOutcome::Truncated);
  EXPECT_EQ(HeldBytes(d), 40000u);
  EXPECT_EQ(std::count(view.statuses.begin(), view.statuses.end(), "下载完毕"), 0);
  EXPECT_NE(view.percents.back(), 100);

  // A stall on the next attempt keeps what it got too.
  server.answers.push_back(ScriptedAnswer::Cut(206, 60000, body.substr(40000, 10000), End::Stall, 999));
  EXPECT_EQ(Get(d, kObject, true, view), "");
  EXPECT_EQ(d.LastReport().error, wininet::kErrorTimeout);
  EXPECT_EQ(HeldBytes(d), 50000u);

  server.answers.push_back(ScriptedAnswer::Whole(206, body.substr(50000), 777));
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, view), body));
  EXPECT_EQ(server.requests[2].headers, "Accept:  */*\r\nrange:bytes=50000-\r\nContent-Length: 0\r\n");
}

TEST_F(HttpDownloadTest, ErrorStatusIsAFailureThatLeavesTheHeldBytesAlone) {
  const std::string body = ArchiveBytes(80000, 5);
  server.answers.push_back(ScriptedAnswer::Cut(206, body.size(), body.substr(0, 30000), End::Reset));
  HttpDownloader d = MakeDownloader();
  Get(d, kObject, false, view);
  ASSERT_EQ(HeldBytes(d), 30000u);
  const std::string held = dir.Read("\\~~4711.tmp");

  for (int status : {404, 500, 503}) {
    RecordingDownloadView page;
    server.answers.push_back(ScriptedAnswer::Whole(status, "<html>error page</html>"));
    EXPECT_EQ(Get(d, kObject, true, page), "") << status;
    EXPECT_EQ(d.LastReport().outcome, TransferOutcome::ErrorStatus);
    EXPECT_EQ(d.LastReport().status, status);
    EXPECT_EQ(dir.Read("\\~~4711.tmp"), held) << "an error page never touches the held bytes";
    EXPECT_EQ(std::count(page.statuses.begin(), page.statuses.end(), "开始下载"), 0);
    EXPECT_EQ(page.statuses.back(), "服务器不支持网络续传");
  }
  server.answers.push_back(ScriptedAnswer::Whole(206, body.substr(30000)));
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, view), body));
  EXPECT_EQ(server.openHandles, 0);
}

TEST_F(HttpDownloadTest, ResumeOfACompleteFileRefusedWith416AsksOnceForTheWholeFile) {
  const std::string body = ArchiveBytes(20000, 9);
  HttpDownloader d = MakeDownloader();
  // All bytes arrived, then the page was closed: the held file is complete.
  view.onPiece = [](int piece) { return piece < 5; };
  server.answers.push_back(ScriptedAnswer::Whole(206, body, 4000));
  EXPECT_EQ(Get(d, kObject, false, view), "");
  ASSERT_EQ(HeldBytes(d), body.size());

  server.answers.push_back(ScriptedAnswer::Whole(416, "<html>416</html>"));
  server.answers.push_back(ScriptedAnswer::Whole(206, body));
  RecordingDownloadView again;
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, again), body));
  ASSERT_EQ(server.requests.size(), 3u);
  EXPECT_EQ(server.requests[1].headers, "Accept:  */*\r\nrange:bytes=20000-\r\nContent-Length: 0\r\n");
  EXPECT_EQ(server.requests[2].headers, "Accept:  */*\r\nrange:bytes=0-\r\nContent-Length: 0\r\n");

  // A server that refuses even the whole file gets asked no more than that.
  view.onPiece = [](int piece) { return piece < 5; };
  server.answers.push_back(ScriptedAnswer::Whole(206, body, 4000));
  Get(d, kObject, false, view);
  for (int i = 0; i < 4; ++i) server.answers.push_back(ScriptedAnswer::Whole(416, "nope"));
  EXPECT_EQ(Get(d, kObject, true, again), "");
  EXPECT_EQ(d.LastReport().attempts, 2);
  EXPECT_EQ(server.answers.size(), 2u);
  EXPECT_EQ(server.openHandles, 0);
}

TEST_F(HttpDownloadTest, ResumeForAnotherObjectStartsAfresh) {
  const std::string a = ArchiveBytes(50000, 11), b = ArchiveBytes(70000, 12);
  server.answers.push_back(ScriptedAnswer::Cut(206, a.size(), a.substr(0, 20000), End::Reset));
  server.answers.push_back(ScriptedAnswer::Whole(206, b));
  HttpDownloader d = MakeDownloader();
  Get(d, "/wot/wows/cj/tb/al.zip", false, view);
  const std::string partialOfA = d.TempFile();
  ASSERT_EQ(HeldBytes(d), 20000u);

  EXPECT_TRUE(SameBytes(Get(d, "/wot/wows/cj/pd/lpx.zip", true, view), b));
  EXPECT_EQ(server.requests[1].headers, "Accept:  */*\r\nrange:bytes=0-\r\nContent-Length: 0\r\n");
  EXPECT_EQ(NativeFileSystem().Kind(partialOfA), PathKind::Missing);
}

TEST_F(HttpDownloadTest, ResumeWithNothingHeldAndANewDownloadBothStartFromZero) {
  const std::string body = ArchiveBytes(10000, 13);
  HttpDownloader d = MakeDownloader();
  server.answers.push_back(ScriptedAnswer::Whole(206, body));
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, view), body));

  server.answers.push_back(ScriptedAnswer::Cut(206, body.size(), body.substr(0, 5000), End::Reset));
  Get(d, kObject, true, view);
  const std::string partial = d.TempFile();
  server.answers.push_back(ScriptedAnswer::Whole(200, body));
  EXPECT_TRUE(SameBytes(Get(d, kObject, false, view), body));  // not a resume: a new file
  EXPECT_EQ(server.requests[2].headers, "Accept:  */*\r\nrange:bytes=0-\r\nContent-Length: 0\r\n");
  EXPECT_EQ(NativeFileSystem().Kind(partial), PathKind::Missing);
}

TEST_F(HttpDownloadTest, TemporaryFileGetsOneBackslashBeforeTheTildes) {
  for (const std::string& folder : {dir.path(), dir.path() + "\\"}) {
    server.answers.push_back(ScriptedAnswer::Cut(206, 10, "abc", End::Reset));
    HttpDownloader d = MakeDownloader(NativeFileSystem(), folder);
    Get(d, kObject, false, view);
    EXPECT_EQ(d.TempFile(), dir.path() + "\\~~" + std::to_string(nextNumber - 1) + ".tmp");
    EXPECT_EQ(dir.Read("\\~~" + std::to_string(nextNumber - 1) + ".tmp"), "abc");
  }
  // A number that names a file left by another run is drawn again.
  dir.WriteFile("\\~~" + std::to_string(nextNumber) + ".tmp", "left by another run");
  server.answers.push_back(ScriptedAnswer::Cut(206, 10, "abc", End::Reset));
  HttpDownloader d = MakeDownloader();
  Get(d, kObject, false, view);
  EXPECT_EQ(d.TempFile(), dir.Join("\\~~" + std::to_string(nextNumber - 1) + ".tmp"));
  EXPECT_EQ(dir.Read("\\~~" + std::to_string(nextNumber - 2) + ".tmp"), "left by another run");

  // "tmp" unset or naming no folder: the platform's temporary folder, never the
  // root of the current drive.
  testing::TempDir systemTemp;
  for (const std::string& tmp : {std::string(), dir.Join("\\gone")}) {
    server.answers.push_back(ScriptedAnswer::Cut(206, 10, "abc", End::Reset));
    HttpDownloader fallback = MakeDownloader(NativeFileSystem(), tmp, systemTemp.path());
    Get(fallback, kObject, false, view);
    const std::string name = "\\~~" + std::to_string(nextNumber - 1) + ".tmp";
    EXPECT_EQ(fallback.TempFile(), systemTemp.path() + name) << "tmp=" << tmp;
    EXPECT_EQ(systemTemp.Read(name), "abc");
  }
}

TEST_F(HttpDownloadTest, ClosingThePageCancelsAndKeepsThePartForTheSameObject) {
  const std::string body = ArchiveBytes(40000, 17);
  server.answers.push_back(ScriptedAnswer::Whole(206, body, 1000));
  view.onPiece = [](int piece) { return piece < 3; };
  HttpDownloader d = MakeDownloader();
  EXPECT_EQ(Get(d, kObject, false, view), "");
  EXPECT_EQ(view.statuses.back(), "已取消下载");
  EXPECT_EQ(d.LastReport().outcome, TransferOutcome::Cancelled);
  EXPECT_EQ(HeldBytes(d), 3000u);
  EXPECT_EQ(server.openHandles, 0);

  server.answers.push_back(ScriptedAnswer::Whole(206, body.substr(3000)));
  RecordingDownloadView again;
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, again), body));
}

TEST_F(HttpDownloadTest, UnreachableServerAndUnwritableFileFailWithEmptyContent) {
  HttpDownloader d = MakeDownloader();
  ScriptedAnswer refused;
  refused.sendFails = true;
  server.answers.push_back(refused);
  EXPECT_EQ(Get(d, kObject, false, view), "");
  EXPECT_EQ(d.LastReport().outcome, TransferOutcome::SendFailed);
  EXPECT_EQ(view.statuses, (Strings{"正在连接Internet"}));
  EXPECT_EQ(server.openHandles, 0);

  server.failInternetOpen = true;
  EXPECT_EQ(Get(d, kObject, false, view), "");
  EXPECT_EQ(d.LastReport().outcome, TransferOutcome::ConnectFailed);
  server.failInternetOpen = false;

  testing::FaultyFileSystem fs;
  fs.lockedPaths.insert(dir.Join("\\~~" + std::to_string(nextNumber) + ".tmp"));
  HttpDownloader locked = MakeDownloader(fs, dir.path());
  server.answers.push_back(ScriptedAnswer::Whole(200, "bytes"));
  EXPECT_EQ(Get(locked, kObject, false, view), "");
  EXPECT_EQ(locked.LastReport().outcome, TransferOutcome::WriteFailed);
  EXPECT_EQ(server.openHandles, 0);
}

// A disk that fills up: writes fail once `room` bytes have been written.
class FillingDisk : public testing::FaultyFileSystem {
 public:
  size_t room = 0;
  std::unique_ptr<OutputFile> OpenForWrite(const std::string& p, bool append) override {
    struct File : OutputFile {
      std::unique_ptr<OutputFile> inner;
      size_t& room;
      File(std::unique_ptr<OutputFile> f, size_t& r) : inner(std::move(f)), room(r) {}
      bool Write(const void* d, size_t n) override {
        if (n > room) return false;
        room -= n;
        return inner->Write(d, n);
      }
      bool SetModifiedTime(const LocalTime& t) override { return inner->SetModifiedTime(t); }
      bool Close() override { return inner->Close(); }
    };
    auto inner = FaultyFileSystem::OpenForWrite(p, append);
    return inner ? std::make_unique<File>(std::move(inner), room) : nullptr;
  }
};

TEST_F(HttpDownloadTest, ADiskThatFillsUpMidwayFailsTheDownloadAndKeepsWhatWasWritten) {
  const std::string body = ArchiveBytes(1000000, 29);
  FillingDisk disk;
  disk.room = 300 * 1024;
  server.answers.push_back(ScriptedAnswer::Whole(206, body, 64 * 1024));
  HttpDownloader d = MakeDownloader(disk, dir.path());
  EXPECT_EQ(Get(d, kObject, false, view), "");
  EXPECT_EQ(d.LastReport().outcome, TransferOutcome::WriteFailed);
  EXPECT_EQ(std::count(view.statuses.begin(), view.statuses.end(), "下载完毕"), 0);
  const uint64_t held = HeldBytes(d);
  EXPECT_GT(held, 0u);
  EXPECT_LE(held, 300u * 1024) << "nothing past the failed write";
  EXPECT_EQ(dir.Read("\\~~4711.tmp"), body.substr(0, held)) << "what was written is the file's start";
  disk.room = SIZE_MAX;  // room again: the resume completes the file
  server.answers.push_back(ScriptedAnswer::Whole(206, body.substr(held)));
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, view), body));
  EXPECT_EQ(server.openHandles, 0);
}

TEST_F(HttpDownloadTest, AnswerWithoutLengthEndsAtTheCleanEnd) {
  const std::string body = ArchiveBytes(9000, 23);
  ScriptedAnswer chunked = ScriptedAnswer::Whole(200, body, 2000);
  chunked.contentLength.reset();
  server.answers.push_back(chunked);
  HttpDownloader d = MakeDownloader();
  EXPECT_TRUE(SameBytes(Get(d, kObject, false, view), body));
  EXPECT_EQ(view.percents.back(), 100);
  EXPECT_EQ(d.TotalSizeText(), "");
}

TEST_F(HttpDownloadTest, TheBodyEndsAtItsLengthAndNothingPastTheLimitIsKept) {
  const std::string body = ArchiveBytes(10000, 31);
  ScriptedAnswer longer = ScriptedAnswer::Whole(200, body + "not part of the file", 4096);
  longer.contentLength = std::to_string(body.size());
  server.answers.push_back(longer);
  maxBytes = 20000;
  HttpDownloader d = MakeDownloader();
  EXPECT_TRUE(SameBytes(Get(d, kObject, false, view), body));

  const std::string big = ArchiveBytes(30000, 37);
  ScriptedAnswer chunked = ScriptedAnswer::Whole(200, big, 4096);
  chunked.contentLength.reset();
  for (const ScriptedAnswer& a : {ScriptedAnswer::Whole(200, big, 4096), chunked}) {
    server.answers.push_back(a);
    EXPECT_EQ(Get(d, kObject, true, view), "");
    EXPECT_EQ(d.LastReport().outcome, TransferOutcome::TooLarge);
    EXPECT_TRUE(d.TempFile().empty());
    EXPECT_TRUE(NativeFileSystem().ListFolder(dir.path())->empty()) << "nothing of it is kept";
  }
  EXPECT_EQ(server.requests.size(), 3u);
}

TEST_F(HttpDownloadTest, RateShowsTheRecentIntervalAndLeavesTheHeldBytesOut) {
  const std::string body = ArchiveBytes(600 * 1024, 29);
  server.answers.push_back(ScriptedAnswer::Cut(206, body.size(), body.substr(0, 400 * 1024), End::Reset, 1024));
  HttpDownloader d = MakeDownloader();
  msPerReading = 10;  // 1 KiB pieces: 100 KiB/s
  Get(d, kObject, false, view);
  ASSERT_FALSE(view.rates.empty());
  EXPECT_EQ(view.rates.back(), "100");
  ASSERT_FALSE(view.percents.empty());

  // The resume runs at 50 KiB/s: the figure tells that, not held bytes / time.
  RecordingDownloadView again;
  msPerReading = 20;
  server.answers.push_back(ScriptedAnswer::Whole(206, body.substr(400 * 1024), 1024));
  EXPECT_TRUE(SameBytes(Get(d, kObject, true, again), body));
  ASSERT_FALSE(again.rates.empty());
  // Held bytes over the time would read 150; the transfer ran at 50 (the fake clock
  // steps between pieces, so an interval's edges shift the figure by a piece).
  for (const std::string& r : again.rates) EXPECT_NEAR(std::stod(r), 50, 1.5) << r;
}

}  // namespace
}  // namespace velmora
