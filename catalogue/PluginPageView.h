// What the install and uninstall flows need from a plug-in page. The Win32 page
// implements it; unit tests record it.
#pragma once

#include <string_view>

#include "ui/MainWindowTexts.h"

namespace velmora {

class PluginPageView {
 public:
  virtual ~PluginPageView() = default;
  // Caption of the install button 按钮1: "安装" or "已安装".
  virtual void SetInstallCaption(std::string_view caption) = 0;
  // A message box; returns when the user has closed it.
  virtual void ShowMessage(std::string_view text, std::string_view title = text::kMessageTitle) = 0;
};

}  // namespace velmora
