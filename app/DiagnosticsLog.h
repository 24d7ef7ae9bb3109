// velmora.log: a short diagnostics log in the program directory, one line per
// event (download attempts, installs and uninstalls, the game root chosen, the
// steps of start-up), so that a failure the page shows no message for leaves a
// trace. Capped: past the cap the oldest half is dropped. Nothing personal is
// written beyond paths.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace velmora {

// Where events go; the core writes to it, the program decides where it lands.
class EventLog {
 public:
  virtual ~EventLog() = default;
  virtual void Write(std::string_view event) = 0;
};

// A log that keeps nothing, for callers that have none.
EventLog& NoLog();

std::string DiagnosticsLogPath(const std::string& programDir);  // programDir + "\velmora.log"

// "2026-12-08 08:30:01.123", local time.
std::string LocalTimeStamp();

class DiagnosticsLog final : public EventLog {
 public:
  using Clock = std::function<std::string()>;
  static constexpr uint64_t kDefaultCap = 256 * 1024;
  // An event longer than this is cut (at a character start) and ends in kCutMark,
  // so that no line from the network can push the others out.
  static constexpr size_t kMaxEventBytes = 1024;
  static constexpr std::string_view kCutMark = " [...]";

  DiagnosticsLog(FileSystem& fs, std::string path, Clock clock = LocalTimeStamp,
                 uint64_t capBytes = kDefaultCap);
  ~DiagnosticsLog() override { Flush(); }

  // Appends "<time> <event>" as one line (line breaks in the event become blanks).
  // A log that cannot be written is given up silently: it must never stop the program.
  void Write(std::string_view event) override;

  // Until Flush, lines are kept in memory (each with the time it was written):
  // the steps of start-up are logged without file writes on the way to the
  // first window.
  void Hold();
  void Flush();

 private:
  void Append(const std::string& lines);
  void DropOldestHalf();

  FileSystem& fs_;
  std::string path_;
  Clock clock_;
  uint64_t cap_;
  std::mutex mutex_;  // the workers write beside the interface thread
  bool holding_ = false;
  std::string held_;
};

}  // namespace velmora
