// Stand-ins for a plug-in page that record what the core writes into it, in order:
// RecordingPage (what uninstall sees), RecordingDownloadView (the download's
// units) and RecordingInstallView (the whole install). The Wine probes use them too.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/Install.h"

namespace velmora::testing {

struct Message {
  std::string text, title;
  bool operator==(const Message&) const = default;
};

// What the views record; each fills the parts its interface has.
struct ViewRecord {
  // Every call in order: "caption:已安装", "<title>:<text>" for a message,
  // "status:<text>", "progress:<percent>", "rate:<rate>".
  std::vector<std::string> events;
  std::vector<std::string> captions;
  std::vector<Message> messages;
  std::vector<std::string> statuses;
  std::vector<int> percents;
  std::vector<std::string> rates;
  int pieces = 0;  // progress told so far

  std::function<void(const Message&)> onMessage;  // runs once a message is recorded
  std::function<bool(int)> onPiece;               // given the count of progress told; false cancels

 protected:
  void Caption(std::string_view c) {
    captions.emplace_back(c);
    events.push_back("caption:" + captions.back());
  }
  void Shown(std::string_view text, std::string_view title) {
    messages.push_back({std::string(text), std::string(title)});
    events.push_back(messages.back().title + ":" + messages.back().text);
    if (onMessage) onMessage(messages.back());
  }
  void Status(std::string_view s) {
    statuses.emplace_back(s);
    events.push_back("status:" + statuses.back());
  }
  void Progress(int p) {
    percents.push_back(p);
    events.push_back("progress:" + std::to_string(p));
    ++pieces;
    if (onPiece && !onPiece(pieces) && cancel_) cancel_->Cancel();
  }

 public:
  // The install's cancel switch, as the page's owner holds it; a new one once used.
  InstallCancel& Cancel(const WinInetApi& api) {
    if (!cancel_ || cancel_->Asked()) cancel_ = std::make_unique<InstallCancel>(api);
    return *cancel_;
  }
  TransferHandles& Handles(const WinInetApi& api) { return Cancel(api).transfer; }

 protected:
  std::unique_ptr<InstallCancel> cancel_;
  void Rate(std::string_view r) {
    rates.emplace_back(r);
    events.push_back("rate:" + rates.back());
  }
};

class RecordingPage : public PluginPageView, public ViewRecord {
 public:
  void SetInstallCaption(std::string_view c) override { Caption(c); }
  void ShowMessage(std::string_view text, std::string_view title) override { Shown(text, title); }
};

class RecordingDownloadView : public DownloadView, public ViewRecord {
 public:
  void SetState(DownloadState state) override { Status(StateText(state)); }
  void SetProgress(int percent) override { Progress(percent); }
  void SetRate(std::string_view rate) override { Rate(rate); }
};

class RecordingInstallView : public InstallView, public PluginPageView, public ViewRecord {
 public:
  void SetInstallCaption(std::string_view c) override { Caption(c); }
  void ShowMessage(std::string_view text, std::string_view title) override { Shown(text, title); }
  void ShowStatus(std::string_view text) override { Status(text); }
  void ShowProgress(int percent) override { Progress(percent); }
  void ShowRate(std::string_view figure) override { Rate(figure); }
};

}  // namespace velmora::testing
