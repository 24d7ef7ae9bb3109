// What the tests set and read on files that the program itself never does.
#pragma once

#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace velmora::testing {

std::optional<LocalTime> ModifiedTime(const std::string& path);
// Read-only attribute on Windows; no write permission elsewhere.
bool MakeReadOnly(const std::string& path);

}  // namespace velmora::testing
