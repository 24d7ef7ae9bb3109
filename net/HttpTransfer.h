// The body of an answer, read through the WinINet table into a sink: the one
// read loop of the program, behind the plug-in download (into its temporary
// file) and the whole-object fetch of the site (into memory). The read stops at
// the announced length, is bounded where none is announced, and ends at once
// when another thread cancels the transfer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/HttpRequest.h"
#include "platform/FileSystem.h"

namespace velmora {

// Why a transfer ended; for the diagnostics log and the message after a failure.
enum class TransferOutcome {
  Completed,
  Cancelled,
  ConnectFailed,   // InternetOpenA, InternetConnectA or HttpOpenRequestA failed
  WaitsUnbounded,  // WinINet refused a time-out: nothing was sent
  SendFailed,      // no answer: refused, reset, timed out
  CertificateRefused,  // https: the server's certificate is not trusted for its name
  ErrorStatus,     // an answer that is not the file
  NoLength,        // no Content-Length where one is required
  TooLarge,        // announced or grown past the limit
  ReadFailed,      // a read of the body failed (reset, time-out)
  Truncated,       // the body ended before its announced length
  TimedOut,        // the deadline of the whole transfer passed
  WriteFailed,     // the body could not be kept: the disk is full, memory ran out
  StoreFailed,     // the finished download could not become its file
};

// "Completed", "ReadFailed", ...
std::string_view OutcomeName(TransferOutcome outcome);
// The outcome of a request that got no answer.
TransferOutcome OutcomeOf(RequestFailure failure);

// Where the bytes of a body go.
class BodySink {
 public:
  virtual ~BodySink() = default;
  virtual bool Append(const char* data, size_t size) = 0;
};

class MemorySink final : public BodySink {
 public:
  bool Append(const char* data, size_t size) override;
  // Room for `size` bytes at once; false when memory runs out.
  bool Reserve(uint64_t size);
  std::string bytes;
};

class FileSink final : public BodySink {
 public:
  explicit FileSink(OutputFile& file) : file_(file) {}
  bool Append(const char* data, size_t size) override { return file_.Write(data, size); }

 private:
  OutputFile& file_;
};

struct BodyRead {
  TransferOutcome outcome = TransferOutcome::Completed;
  uint32_t error = 0;     // GetLastError of a failed read
  uint64_t received = 0;  // bytes handed to the sink
};

struct BodyLimits {
  uint64_t maxBytes = 0;  // at most this many; a longer body is refused
  size_t bufferSize = 64 * 1024;
};

// Reads the body of `answer` into `sink`. `onPiece(received)` runs after each
// piece; false ends the transfer as TimedOut.
BodyRead ReadBody(const WinInetApi& api, TransferHandles& handles, const Answer& answer,
                  const BodyLimits& limits, BodySink& sink,
                  const std::function<bool(uint64_t)>& onPiece = {});

}  // namespace velmora
