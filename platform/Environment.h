// The process environment seam: variables and the folders the platform names.
#pragma once

#include <string>

namespace velmora {

// Value of an environment variable as UTF-8 text, empty when it is not set.
std::string EnvironmentText(const char* name);

// The system's temporary folder as the platform reports it (GetTempPathW on
// Windows), without a trailing separator.
std::string SystemTempFolder();

}  // namespace velmora
