#include "platform/win32/CallbackGuard.h"

#include <string>

namespace velmora::win32 {
namespace {
FailureReport g_report;  // the interface thread's: set before the first window
}  // namespace

void SetCallbackFailureReport(FailureReport report) { g_report = std::move(report); }

void ReportCallbackFailure(std::string_view where, UINT msg, std::string_view why) {
  if (!g_report) return;
  try {
    g_report(std::string(where) + ": message " + std::to_string(msg) + " ended by an exception: " +
             std::string(why));
  } catch (const std::exception&) {
    // The log itself ran out of memory: there is nowhere left to tell it.
  }
}

}  // namespace velmora::win32
