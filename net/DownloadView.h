// What a plug-in download writes into its page while it runs: the status label
// 标签2, the progress bar 进度条1 and the rate label 标签4. Each setter repaints
// its unit at once, before the download reads on.
#pragma once

#include <string_view>

namespace velmora {

class DownloadView {
 public:
  virtual ~DownloadView() = default;
  virtual void SetStatus(std::string_view text) = 0;
  virtual void SetProgress(int percent) = 0;
  virtual void SetRate(std::string_view rate) = 0;
  // Called between pieces: lets pending window messages run (the page repaints
  // and can be moved). Returns false when the user has closed the page, which
  // cancels the download.
  virtual bool KeepGoing() = 0;
};

}  // namespace velmora
