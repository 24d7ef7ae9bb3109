#include "app/DiagnosticsLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace velmora {

EventLog& NoLog() {
  struct Null final : EventLog {
    void Write(std::string_view) override {}
  };
  static Null log;
  return log;
}

std::string DiagnosticsLogPath(const std::string& programDir) { return programDir + "\\velmora.log"; }

std::string LocalTimeStamp() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms));
  return text;
}

DiagnosticsLog::DiagnosticsLog(FileSystem& fs, std::string path, Clock clock, uint64_t capBytes)
    : fs_(fs), path_(std::move(path)), clock_(std::move(clock)), cap_(capBytes) {}

void DiagnosticsLog::Write(std::string_view event) {
  bool cut = false;
  if (event.size() > kMaxEventBytes) {
    size_t end = kMaxEventBytes;
    while (end > 0 && (static_cast<unsigned char>(event[end]) & 0xC0) == 0x80) --end;  // a UTF-8 trail byte
    event = event.substr(0, end);
    cut = true;
  }
  std::string line = clock_() + " ";
  for (char c : event) line += (c == '\r' || c == '\n') ? ' ' : c;
  if (cut) line += kCutMark;
  line += "\r\n";
  std::lock_guard<std::mutex> lock(mutex_);
  if (holding_) {
    held_ += line;
    return;
  }
  Append(line);
}

void DiagnosticsLog::Hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  holding_ = true;
}

void DiagnosticsLog::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  holding_ = false;
  if (!held_.empty()) Append(held_);
  held_.clear();
}

void DiagnosticsLog::Append(const std::string& lines) {
  std::unique_ptr<OutputFile> out = fs_.OpenForWrite(path_, true);
  if (!out) return;
  bool written = out->Write(lines.data(), lines.size());
  if (!out->Close() || !written) return;
  if (fs_.FileSize(path_).value_or(0) > cap_) DropOldestHalf();
}

void DiagnosticsLog::DropOldestHalf() {
  std::string bytes;
  if (!fs_.ReadFile(path_, bytes)) return;
  // Keep the newer half, from the first whole line in it; when the newest line
  // alone is longer than that, from its start, so it never takes the log with it.
  size_t from = bytes.size() - static_cast<size_t>(cap_ / 2);
  size_t lineStart = bytes.find('\n', from);
  if (lineStart == std::string::npos || lineStart + 1 == bytes.size()) {
    lineStart = from == 0 ? std::string::npos : bytes.rfind('\n', from - 1);
  }
  lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
  // A log that cannot be written has nowhere to say so; the program goes on.
  (void)fs_.WriteFileAtomic(path_, std::string_view(bytes).substr(lineStart));
}

}  // namespace velmora
