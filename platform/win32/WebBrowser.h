// The system's WebBrowser control, embedded in a host window: a minimal OLE
// container (client site, in-place site and frame) and nothing more.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace velmora::win32 {

class WebBrowser {
 public:
  WebBrowser();
  ~WebBrowser();
  WebBrowser(const WebBrowser&) = delete;
  WebBrowser& operator=(const WebBrowser&) = delete;

  // Embeds the control into `host` (sized to its client area). False when the
  // system has no WebBrowser control; the host then simply stays empty.
  bool Create(HWND host);
  bool Navigate(const std::string& url);
  void Resize();

 private:
  class Site;
  std::unique_ptr<Site> site_;
};

}  // namespace velmora::win32
