// A plug-in page stand-in that records what the download writes into it, in order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "net/DownloadView.h"

namespace velmora::testing {

class RecordingView : public DownloadView {
 public:
  std::vector<std::string> statuses;
  std::vector<int> percents;
  std::vector<std::string> rates;
  int pieces = 0;                       // KeepGoing calls
  std::function<bool(int)> onPiece;     // given the piece count; false cancels

  void SetStatus(std::string_view text) override { statuses.emplace_back(text); }
  void SetProgress(int percent) override { percents.push_back(percent); }
  void SetRate(std::string_view rate) override { rates.emplace_back(rate); }
  bool KeepGoing() override {
    ++pieces;
    return onPiece ? onPiece(pieces) : true;
  }
};

}  // namespace velmora::testing
