// Native half of the environment seam, for the unit tests.
#include <cstdlib>

#include "platform/Environment.h"

namespace velmora {

std::string EnvironmentText(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string SystemTempFolder() {
  std::string dir = EnvironmentText("TMPDIR");
  if (dir.empty()) dir = "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

}  // namespace velmora
