// The update window ("update"): the notes of the announcement page, the current version, and
// the progress of the new version's download, which runs on the program-wide
// background task while 时钟1 ticks. Closing it stops the download.
#pragma once

#include <functional>

#include "ui/win32/Form.h"
#include "update/UpdateFlow.h"

namespace velmora {

struct AppServices;

class SelfUpdateWindow final : public win32::Form, private UpdateView {
 public:
  // `onClosed` runs as the window goes, with whether the user started the new
  // version; it must not delete this window (post, and delete from there).
  SelfUpdateWindow(AppServices& app, std::function<void(bool startedNewVersion)> onClosed);
  bool Open(HWND owner);

 private:
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void Repaint(UnitName unit);

  // UpdateView
  void ShowNotes(std::string_view text) override;
  void ShowState(std::string_view text) override;
  void ShowProgress(std::string_view kilobyteText, std::string_view percentText, int percent) override;
  void Tell(std::string_view text) override;
  bool Ask(std::string_view question) override;
  bool StartProgram(const std::string& path) override;

  AppServices& app_;
  UpdateFlow flow_;
  std::function<void(bool)> onClosed_;
};

}  // namespace velmora
