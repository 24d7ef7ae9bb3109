// The plug-in archive download: one HTTP/1.1 GET through WinINet with a byte-range
// line that starts at the size of the temporary file kept from an earlier,
// unfinished attempt of the same object. The body goes straight into that file,
// which becomes the stored archive once it is whole. Runs on the install worker
// and tells its page its state, percentage and rate as it goes.
//
// One instance lives for the whole program: it holds the two program-wide slots,
// the temporary file (with the object it belongs to) and the total size. Only
// the install worker calls it, one download at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/ArchiveDownloader.h"
#include "net/Progress.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace velmora {

struct DownloadReport {
  TransferOutcome outcome = TransferOutcome::Completed;
  int status = 0;            // HTTP status of the last answer, 0 when none came
  uint32_t error = 0;        // GetLastError of the failing WinINet call
  uint64_t resumeOffset = 0;  // the range start of the last request
  uint64_t received = 0;      // body bytes of the last answer
  int attempts = 0;           // requests sent (a refused resume is asked once more from 0)
};

struct DownloadSettings {
  MillisecondClock clock = SteadyClock();
  std::function<uint32_t()> drawNumber;  // the number in the temporary file's name; random when empty
  uint32_t bufferSize = 256 * 1024;
  // No plug-in archive comes near it (the largest is 55 MB); a server that
  // sends on and on does not fill the user's disk.
  uint64_t maxBytes = uint64_t{192} << 20;
  // Where the temporary file goes when "tmp" names no existing folder.
  std::string fallbackTempFolder = SystemTempFolder();
  // Told one line per request sent (object, offset, status, bytes, error), for
  // the diagnostics log; nothing when empty.
  std::function<void(const std::string&)> log;
};

// "<folder>\~~<number>.tmp" with exactly one backslash before "~~", whether or not
// the folder text ends with one.
std::string TempFilePath(const std::string& folder, uint32_t number);

class HttpDownloader final : public ArchiveDownloader {
 public:
  // server: the tool server's host, port and time-outs. tempFolder: the value
  // of the environment variable "tmp"; when it is unset, empty or no existing
  // folder, the temporary file goes to the platform's temporary folder instead
  // (joined to nothing, the path would name the root of the current drive).
  HttpDownloader(const WinInetApi& api, FileSystem& fs, RequestOptions server, std::string tempFolder,
                 DownloadSettings settings = {});

  TransferOutcome Download(const std::string& object, bool resume, const std::string& destination,
                           DownloadView& view, TransferHandles& handles) override;

  const DownloadReport& LastReport() const { return report_; }
  const std::string& TempFile() const { return tempFile_; }
  const std::string& TotalSizeText() const { return totalSizeText_; }

 private:
  // AskAgainFromStart: the held bytes cannot be continued (the range was
  // refused, or the file on the server is no longer the one they came from).
  enum class Step { Done, Failed, AskAgainFromStart };
  struct Transfer {
    const std::string& object;
    DownloadView& view;
    TransferHandles& handles;
  };

  uint64_t PrepareTempFile(const std::string& object, bool resume);
  std::string DrawTempFile();
  Step Attempt(const Transfer& t, uint64_t offset);
  Step LoggedAttempt(const Transfer& t, uint64_t offset);
  Step Fail(TransferOutcome outcome, uint32_t error = 0);
  bool ContinuesHeldFile(const Answer& answer, uint64_t offset) const;
  void DropTempFile();

  const WinInetApi& api_;
  FileSystem& fs_;
  RequestOptions server_;
  std::string tempFolder_;
  DownloadSettings settings_;

  std::string tempFile_;        // empty, or the file an unfinished download continues
  std::string tempFileObject_;  // the object whose bytes tempFile_ holds
  std::string totalSizeText_;   // body length of the answer that started at byte 0
  std::string heldEtag_, heldLastModified_;  // as that answer named its file
  DownloadReport report_;
};

}  // namespace velmora
