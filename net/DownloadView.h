// What a plug-in download tells whoever shows it while it runs: the state it is
// in, the share received and the rate. Called on the worker that runs the
// download; the words for the states belong to the page that shows them.
#pragma once

#include <string_view>

namespace velmora {

enum class DownloadState {
  Connecting,     // before the connection is opened
  Connected,      // the request has been sent
  RangeHonoured,  // the answer is 206
  RangeIgnored,   // any other answer
  Reading,        // the body is about to be read
  Finished,       // the body has been read completely
  Cancelled,      // cancelled before the end
};

class DownloadView {
 public:
  virtual ~DownloadView() = default;
  virtual void SetState(DownloadState state) = 0;
  virtual void SetProgress(int percent) = 0;
  // Kilobytes per second, as a figure ("153.6").
  virtual void SetRate(std::string_view figure) = 0;
};

}  // namespace velmora
