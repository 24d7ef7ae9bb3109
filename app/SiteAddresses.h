// Addresses on the maker's web site; the host and port are build configuration.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::string_view kNewsPath = "/1507/m_301940739763.html";
inline constexpr std::string_view kAnnouncementPath = "/1507/302203109570.html";

// "http://" + host (+ ":" + port unless 80) + path.
std::string HttpAddress(std::string_view host, unsigned short port, std::string_view path);

std::string NewsAddress();

// Where an address the news page is asked to go to belongs: the maker's site
// (http, this build's host and port), "about:blank", any other http or
// https address, or anything else (file:, javascript:, ...).
enum class NewsLink { OnSite, Blank, Elsewhere, Refused };
NewsLink ClassifyNewsLink(std::string_view url, std::string_view siteHost, unsigned short sitePort);

}  // namespace velmora
