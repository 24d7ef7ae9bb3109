#include "net/Progress.h"

#include <chrono>
#include <cstdio>

namespace velmora {

MillisecondClock SteadyClock() {
  return [] {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  };
}

int Percent(uint64_t received, uint64_t total) {
  if (total == 0) return 0;
  if (received >= total) return 100;
  // received < total, so received * 100 fits for every real file size.
  return static_cast<int>(received * 100 / total);
}

std::string KilobyteFigure(double bytes) {
  // The page's rate label has room for four half-width characters, or three and
  // one Chinese one, before its "k/S": one decimal below 100, whole kilobytes below
  // 10000, then ten-thousands ("万", as Chinese counts) to three figures, which
  // holds every rate up to 1 Gbit/s ("12.2万").
  const double kilobytes = bytes < 0 ? 0.0 : bytes / 1024.0;
  const double wan = kilobytes / 10000.0;
  char text[32];
  if (kilobytes < 99.95) {
    std::snprintf(text, sizeof text, "%.1f", kilobytes);
  } else if (kilobytes < 9999.5) {
    std::snprintf(text, sizeof text, "%.0f", kilobytes);
  } else {
    std::snprintf(text, sizeof text, wan < 9.995 ? "%.2f万" : wan < 99.95 ? "%.1f万" : "%.0f万", wan);
  }
  return text;
}

RateMeter::RateMeter(MillisecondClock clock, int64_t intervalMs)
    : clock_(std::move(clock)), intervalMs_(intervalMs) {}

void RateMeter::Start(uint64_t bytes) {
  windowStartMs_ = clock_();
  windowStartBytes_ = bytes;
  gaveFigure_ = false;
}

std::optional<double> RateMeter::Sample(uint64_t bytes) {
  int64_t now = clock_();
  int64_t elapsed = now - windowStartMs_;
  if (elapsed < intervalMs_ || elapsed <= 0) return std::nullopt;
  double rate = static_cast<double>(bytes - windowStartBytes_) * 1000.0 / static_cast<double>(elapsed);
  windowStartMs_ = now;
  windowStartBytes_ = bytes;
  gaveFigure_ = true;
  return rate;
}

std::optional<double> RateMeter::Finish(uint64_t bytes) {
  int64_t elapsed = clock_() - windowStartMs_;
  if (gaveFigure_ && elapsed < 100) return std::nullopt;
  if (elapsed <= 0) elapsed = 1;  // all of it within one clock step
  return static_cast<double>(bytes - windowStartBytes_) * 1000.0 / static_cast<double>(elapsed);
}

}  // namespace velmora
