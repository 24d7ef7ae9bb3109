// Figures of a running download: the share received, the kilobyte figures (a
// kilobyte is 1024 bytes) and the rate over a recent interval. Shared by the
// plug-in page (fed by the download after every piece) and the update window (fed
// by its timer); the texts around them belong to the windows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace velmora {

// Milliseconds from any fixed point; injectable so that tests need no sleeping.
using MillisecondClock = std::function<int64_t()>;
MillisecondClock SteadyClock();

// Whole percentage, cut (100 only when everything has arrived), clamped to 0..100;
// 0 while the total is unknown (0).
int Percent(uint64_t received, uint64_t total);

// A kilobyte figure, rounded, short enough for the plug-in page's rate label:
// "1.5" (1536 bytes), "153" (below 10000 kilobytes whole), then in ten-thousands
// of kilobytes, "1.02万" (10 MiB), "12.8万" (125 MiB).
std::string KilobyteFigure(double bytes);

// Rate over the most recent interval of at least `intervalMs`: each interval that
// closes gives a new figure, so a stall shows as a falling rate rather than being
// averaged away since the start.
class RateMeter {
 public:
  explicit RateMeter(MillisecondClock clock, int64_t intervalMs = 1000);

  // Starts measuring at the count `bytes` (the bytes already held count as
  // received before the start, not as transferred).
  void Start(uint64_t bytes);
  // Bytes per second over the interval just closed, or nothing while it runs.
  std::optional<double> Sample(uint64_t bytes);
  // At the end: the rate since the last closed interval when no figure has been
  // given yet, or when that interval lasted at least a tenth of a second.
  std::optional<double> Finish(uint64_t bytes);

 private:
  MillisecondClock clock_;
  int64_t intervalMs_;
  int64_t windowStartMs_ = 0;
  uint64_t windowStartBytes_ = 0;
  bool gaveFigure_ = false;
};

}  // namespace velmora
