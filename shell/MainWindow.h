// The main window: six page buttons, the page area, and the game path row.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "app/GameRoot.h"
#include "platform/win32/WebBrowser.h"
#include "shell/SelfUpdateWindow.h"
#include "ui/win32/Form.h"
#include "update/VersionCheck.h"

namespace velmora {

struct AppServices;
class ListPage;

class MainWindow final : public win32::Form, private GameRootView, private ProcessStarter {
 public:
  explicit MainWindow(AppServices& app);
  ~MainWindow() override;
  bool Create();

  // 0 news, 1..5 the list pages in page-button order.
  void ShowPage(int page);

 private:
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void CreatePages();
  void RunStartUpDuties();
  void RecoverInterruptedInstall();
  void StartVersionCheck();
  void ShowVersionCheckOutcome(const CheckOutcome& outcome);
  void RefreshLists();
  void OpenUpdateWindow(bool endAfterwards);
  void UpdateWindowClosed(bool startedNewVersion);

  // GameRootView
  void ShowMessage(std::string_view text) override;
  std::string BrowseForFolder(std::string_view prompt) override;
  void ShowGameRoot(std::string_view root) override;
  // ProcessStarter
  bool Start(const std::string& executable, const std::string& workingFolder) override;

  AppServices& app_;
  GameRootSetup gameRoot_;
  std::unique_ptr<win32::Form> news_;
  std::array<std::unique_ptr<ListPage>, 5> lists_;
  win32::WebBrowser browser_;
  std::shared_ptr<TransferHandles> check_;  // the running version check, cancelled with the window
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for calls posted to this window
  bool endAfterUpdate_ = false;      // out of service: the program ends with the update window
  std::unique_ptr<SelfUpdateWindow> update_;
};

}  // namespace velmora
