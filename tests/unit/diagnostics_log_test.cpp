#include <gtest/gtest.h>

#include "app/DiagnosticsLog.h"
#include "support/TempDir.h"

namespace velmora {
namespace {

TEST(DiagnosticsLog, KeepsWholeLinesAndDropsTheOldestHalfPastItsCap) {
  testing::TempDir program;
  const std::string path = DiagnosticsLogPath(program.path());
  int tick = 0;
  DiagnosticsLog log(NativeFileSystem(), path, [&] { return "t" + std::to_string(tick++); }, 1000);
  log.Hold();  // as during start-up: nothing written until Flush
  log.Write("first\r\nevent");
  EXPECT_FALSE(program.Exists("\\velmora.log"));
  log.Flush();
  EXPECT_EQ(program.Read("\\velmora.log"), "t0 first  event\r\n") << "one event, one line, its own time";
  for (int i = 1; i < 200; ++i) {
    log.Write("download /wot/wows/cj/pd/lpx.zip #" + std::to_string(i));
    ASSERT_LE(NativeFileSystem().FileSize(path).value_or(0), 1000u) << i;
  }
  const std::string text = program.Read("\\velmora.log");
  EXPECT_GE(text.size(), 400u) << "only the oldest half goes";
  EXPECT_EQ(text.rfind("t199 download /wot/wows/cj/pd/lpx.zip #199\r\n"), text.size() - 44);
  EXPECT_EQ(text.find("t0 "), std::string::npos);
  EXPECT_EQ(text.rfind('t', 0), 0u) << "it starts at a whole line";

  // A line longer than half the cap leaves the log holding it, not empty.
  log.Write(std::string(5000, 'x'));
  EXPECT_EQ(program.Read("\\velmora.log"), "t200 " + std::string(1024, 'x') + " [...]\r\n");

  // One huge event (a 300,000-digit version from a page) is cut to a bounded
  // line with a mark, and the older lines stay.
  DiagnosticsLog big(NativeFileSystem(), path, [&] { return "t" + std::to_string(tick++); }, 4096);
  big.Write("version " + std::string(300000, '9'));
  const std::string after = program.Read("\\velmora.log");
  const std::string cut = "t201 version " + std::string(1024 - 8, '9') + " [...]\r\n";
  ASSERT_GE(after.size(), cut.size());
  EXPECT_EQ(after.substr(after.size() - cut.size()), cut);
  EXPECT_EQ(after.find("t200 "), 0u) << "the older line stays";
}

}  // namespace
}  // namespace velmora
