#include "app/SiteAddresses.h"

#include "BuildConfig.h"
#include "text/AsciiCase.h"

namespace velmora {

std::string HttpAddress(std::string_view host, unsigned short port, std::string_view path) {
  std::string url = "http://" + std::string(host);
  if (port != 80) url += ":" + std::to_string(port);
  return url + std::string(path);
}

std::string NewsAddress() { return HttpAddress(config::kSiteHost, config::kSitePort, kNewsPath); }

NewsLink ClassifyNewsLink(std::string_view url, std::string_view siteHost, unsigned short sitePort) {
  if (EqualsIgnoringAsciiCase(url, "about:blank")) return NewsLink::Blank;
  unsigned port = 80;
  bool secure = false;  // the site of the build is served over http
  if (url.size() > 8 && EqualsIgnoringAsciiCase(url.substr(0, 8), "https://")) {
    port = 443;
    secure = true;
    url.remove_prefix(8);
  } else if (url.size() > 7 && EqualsIgnoringAsciiCase(url.substr(0, 7), "http://")) {
    url.remove_prefix(7);
  } else {
    return NewsLink::Refused;
  }
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return NewsLink::Refused;
  }
  std::string_view authority = url.substr(0, url.find_first_of("/?#\\"));
  std::string_view host = authority;
  if (size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    std::string_view digits = authority.substr(colon + 1);
    port = 0;
    for (char c : digits) {
      if (c < '0' || c > '9' || port > 65535) return NewsLink::Elsewhere;
      port = port * 10 + static_cast<unsigned>(c - '0');
    }
  }
  const bool onSite = !secure && authority.find('@') == std::string_view::npos &&
                      EqualsIgnoringAsciiCase(host, siteHost) && port == sitePort;
  return onSite ? NewsLink::OnSite : NewsLink::Elsewhere;
}

}  // namespace velmora
