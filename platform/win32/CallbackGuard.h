// The one rule for code the system calls (window procedures, subclass and COM
// callbacks): nothing unwinds into the system's frames. An exception that
// leaves a body ends that one call with what `fallback` answers, and the log
// says where and why.
#pragma once

#include <windows.h>

#include <exception>
#include <string_view>

#include "platform/Worker.h"

namespace velmora::win32 {

// Where the failures go (the program's log); set once at start-up.
void SetCallbackFailureReport(FailureReport report);
void ReportCallbackFailure(std::string_view where, UINT msg, std::string_view why);

template <typename Body, typename Fallback>
auto Guarded(std::string_view where, UINT msg, Body&& body, Fallback&& fallback) -> decltype(body()) {
  try {
    return body();
  } catch (const std::exception& e) {
    ReportCallbackFailure(where, msg, e.what());
  } catch (...) {
    ReportCallbackFailure(where, msg, "not a standard exception");
  }
  return fallback();
}

}  // namespace velmora::win32
