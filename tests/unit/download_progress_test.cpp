#include <gtest/gtest.h>

#include "net/Progress.h"

namespace velmora {
namespace {

TEST(DownloadProgressTest, PercentIsCutAndStaysWithinTheBar) {
  EXPECT_EQ(Percent(0, 1000), 0);
  EXPECT_EQ(Percent(999, 1000), 99) << "100 only when everything has arrived";
  EXPECT_EQ(Percent(1000, 1000), 100);
  EXPECT_EQ(Percent(2000, 1000), 100);
  EXPECT_EQ(Percent(500, 0), 0) << "unknown total";
  const uint64_t big = 5ull * 1024 * 1024 * 1024;  // no overflow for large files
  EXPECT_EQ(Percent(big / 2, big), 50);
}

// The rate label has room for about four half-width characters before "k/S".
TEST(DownloadProgressTest, RatesUpToAGigabitFitBeforeTheirUnit) {
  EXPECT_EQ(KilobyteFigure(1024), "1.0");
  EXPECT_EQ(KilobyteFigure(10 * 1024 * 1024), "1.02万");
  EXPECT_EQ(KilobyteFigure(125 * 1024 * 1024), "12.8万") << "a little above 1 Gbit/s";
  EXPECT_EQ(KilobyteFigure(9999.4 * 1024), "9999");
  EXPECT_EQ(KilobyteFigure(9999.6 * 1024), "1.00万") << "rounded up into the next form, never \"10000\"";
}

TEST(DownloadProgressTest, RateMeterMeasuresTheIntervalJustClosed) {
  int64_t now = 0;
  RateMeter meter([&] { return now; });
  meter.Start(1000000);  // held bytes are not transferred bytes
  now = 500;
  EXPECT_FALSE(meter.Sample(1000000 + 512 * 1024));
  now = 1000;
  ASSERT_TRUE(meter.Sample(1000000 + 1024 * 1024));
  // A slow second interval shows as slow, not averaged with the fast first one.
  now = 2000;
  auto slow = meter.Sample(1000000 + 1024 * 1024 + 10 * 1024);
  ASSERT_TRUE(slow);
  EXPECT_DOUBLE_EQ(*slow, 10 * 1024);
  // The tail is reported at the end only when it is long enough to mean something.
  now = 2050;
  EXPECT_FALSE(meter.Finish(1000000 + 1024 * 1024 + 20 * 1024));
  now = 2500;
  EXPECT_TRUE(meter.Finish(1000000 + 1024 * 1024 + 20 * 1024));
}

TEST(DownloadProgressTest, ShortDownloadStillGetsARate) {
  int64_t now = 0;
  RateMeter meter([&] { return now; });
  meter.Start(0);
  now = 200;
  EXPECT_FALSE(meter.Sample(20 * 1024));
  auto rate = meter.Finish(20 * 1024);
  ASSERT_TRUE(rate);
  EXPECT_DOUBLE_EQ(*rate, 100 * 1024);
  meter.Start(0);  // within one clock step
  EXPECT_TRUE(meter.Finish(1024));
}

}  // namespace
}  // namespace velmora
