// The system's WebBrowser control, embedded in a host window: a minimal OLE
// container (client site, in-place site and frame) and nothing more.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace velmora::win32 {

class WebBrowser {
 public:
  WebBrowser();
  ~WebBrowser();
  WebBrowser(const WebBrowser&) = delete;
  WebBrowser& operator=(const WebBrowser&) = delete;

  // Asked before every navigation (newWindow: a page asks for a window of its
  // own, which is never opened here): true lets the control go there in place.
  using Guard = std::function<bool(const std::string& url, bool newWindow)>;

  // Embeds the control into `host` (sized to its client area), every navigation
  // asked of `guard`. False when the system has no WebBrowser control; the host
  // then simply stays empty.
  bool Create(HWND host, Guard guard);
  bool Navigate(const std::string& url);
  void Resize();

 private:
  class Site;
  class Events;
  std::unique_ptr<Site> site_;
  std::unique_ptr<Events> events_;
};

}  // namespace velmora::win32
