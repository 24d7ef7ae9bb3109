#include "app/SiteAddresses.h"

#include "BuildConfig.h"

namespace velmora {

std::string HttpAddress(std::string_view host, unsigned short port, std::string_view path) {
  std::string url = "http://" + std::string(host);
  if (port != 80) url += ":" + std::to_string(port);
  return url + std::string(path);
}

std::string NewsAddress() { return HttpAddress(config::kSiteHost, config::kSitePort, kNewsPath); }

}  // namespace velmora
