// The plug-in archive download: one HTTP/1.1 GET through WinINet with a byte-range
// line that starts at the size of the temporary file kept from an earlier,
// unfinished attempt of the same object. Runs on the install worker and tells
// its page its state texts, percentage and rate as it goes.
//
// One instance lives for the whole program: it holds the two program-wide slots,
// the temporary file (with the object it belongs to) and the total size. Only
// the install worker calls it, one download at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/ArchiveDownloader.h"
#include "net/HttpRequest.h"
#include "net/Progress.h"
#include "platform/WinInet.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace velmora {

// Why the last download ended; for diagnostics and for the message after a failure.
enum class DownloadOutcome {
  None,
  Completed,
  Cancelled,      // the page asked to stop; the partial data is kept
  ConnectFailed,  // InternetOpenA, InternetConnectA or HttpOpenRequestA failed
  SendFailed,     // no answer: refused, reset, timed out
  ErrorStatus,    // the server answered with something other than 200 or 206
  ReadFailed,     // a read of the body failed (reset, time-out); partial data kept
  Truncated,      // the body ended before its announced length; partial data kept
  TooLarge,       // announced or grown past the limit; nothing of it is kept
  FileFailed,     // the temporary file could not be written or read back
};

struct DownloadReport {
  DownloadOutcome outcome = DownloadOutcome::None;
  int status = 0;            // HTTP status of the last answer, 0 when none came
  uint32_t error = 0;        // GetLastError of the failing WinINet call
  uint64_t resumeOffset = 0;  // the range start of the last request
  uint64_t received = 0;      // body bytes of the last answer
  int attempts = 0;           // requests sent (a refused resume is asked once more from 0)
};

struct DownloadSettings {
  MillisecondClock clock = SteadyClock();
  std::function<uint32_t()> drawNumber;  // the number in the temporary file's name; random when empty
  uint32_t connectTimeoutMs = 5000;
  uint32_t receiveTimeoutMs = 20000;
  uint32_t bufferSize = 256 * 1024;
  // No plug-in archive comes near it (the largest is 55 MB), and the whole file
  // is held in memory once, which a 32-bit process must still afford.
  uint64_t maxBytes = uint64_t{192} << 20;
  // Where the temporary file goes when "tmp" names no existing folder.
  std::string fallbackTempFolder = SystemTempFolder();
  // Told one line per request sent (object, offset, status, bytes, error), for
  // the diagnostics log; nothing when empty.
  std::function<void(const std::string&)> log;
};

// "Completed", "ReadFailed", ...: for the diagnostics log.
std::string_view OutcomeName(DownloadOutcome outcome);

// "<folder>\~~<number>.tmp" with exactly one backslash before "~~", whether or not
// the folder text ends with one.
std::string TempFilePath(const std::string& folder, uint32_t number);

class HttpDownloader final : public ArchiveDownloader {
 public:
  // tempFolder: the value of the environment variable "tmp"; when it is unset,
  // empty or no existing folder, the temporary file goes to the platform's
  // temporary folder instead (joined to nothing, the path would name the root
  // of the current drive, where writing usually fails).
  HttpDownloader(const WinInetApi& api, FileSystem& fs, std::string host, uint16_t port,
                 std::string tempFolder, DownloadSettings settings = {});

  std::string Download(const std::string& object, bool resume, DownloadView& view,
                       TransferHandles& handles) override;

  const DownloadReport& LastReport() const { return report_; }
  const std::string& TempFile() const { return tempFile_; }
  const std::string& TotalSizeText() const { return totalSizeText_; }

 private:
  enum class Step { Done, Failed, AskAgainFromStart };

  uint64_t PrepareTempFile(const std::string& object, bool resume);
  std::string DrawTempFile();
  struct Transfer;  // one call's view, handles and content
  Step Attempt(Transfer& t, uint64_t offset);
  Step LoggedAttempt(Transfer& t, uint64_t offset);
  Step Fail(DownloadOutcome outcome, uint32_t error = 0);
  Step ReadBody(Transfer& t, wininet::HINTERNET request, uint64_t offset, bool append,
                uint64_t total, std::optional<uint64_t> length);
  void DropTempFile();

  const WinInetApi& api_;
  FileSystem& fs_;
  std::string host_;
  uint16_t port_;
  std::string tempFolder_;
  DownloadSettings settings_;

  std::string tempFile_;        // empty, or the file an unfinished download continues
  std::string tempFileObject_;  // the object whose bytes tempFile_ holds
  std::string totalSizeText_;   // body length of the answer that started at byte 0
  DownloadReport report_;
};

}  // namespace velmora
