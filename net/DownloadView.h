// What a plug-in download tells its page while it runs: the status label 标签2,
// the progress bar 进度条1 and the rate label 标签4. Called on the worker that
// runs the download; the page shows each at once on the interface thread.
#pragma once

#include <string_view>

namespace velmora {

namespace text {
inline constexpr std::string_view kDownloadFinished = "下载完毕";
inline constexpr std::string_view kDownloadCancelled = "已取消下载";
}  // namespace text

class DownloadView {
 public:
  virtual ~DownloadView() = default;
  virtual void SetStatus(std::string_view text) = 0;
  virtual void SetProgress(int percent) = 0;
  virtual void SetRate(std::string_view rate) = 0;
};

}  // namespace velmora
