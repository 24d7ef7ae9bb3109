#include "shell/MainWindow.h"

#include "app/SiteAddresses.h"
#include "app/WindowDefs.h"
#include "catalogue/Install.h"
#include "catalogue/PluginPageView.h"
#include "platform/win32/FolderBrowser.h"
#include "platform/win32/MessageBox.h"
#include "platform/win32/Process.h"
#include "shell/AppServices.h"
#include "shell/ListPage.h"
#include "shell/PluginPage.h"

namespace velmora {
namespace {

constexpr UINT kStartUpDuties = WM_APP + 1;
constexpr UINT kEmbedBrowser = WM_APP + 2;
// The page area: right of the page-button column (ends at x = 105), above the
// game path row (starts at y = 488), holding a 640 x 475 page.
constexpr POINT kPageOrigin = {107, 8};
constexpr const char* kPageButtons[6] = {"按钮1", "按钮2", "按钮3", "按钮4", "按钮5", "按钮8"};

}  // namespace

MainWindow::MainWindow(AppServices& app)
    : Form(MainWindowDef()), app_(app), gameRoot_(app.fs, app.programDir, *this, app.log) {
  OnCreated([this] {
    CreatePages();
    // The game root and the version check run once the window is on screen, so
    // their message boxes have a visible owner.
    PostMessageW(hwnd(), kStartUpDuties, 0, 0);
  });
  for (int i = 0; i < 6; ++i) OnClick(kPageButtons[i], [this, i] { ShowPage(i); });
  OnClick("按钮6", [this] {
    gameRoot_.Choose();
    RecoverInterruptedInstall();
  });
  // While a plug-in download runs, nothing else may change the game root: a modal
  // folder browser would also halt the transfer.
  app_.pluginPages->OnInstallRunning([this](bool running) { EnableWindow(Unit("按钮6"), !running); });
  app_.pluginPages->OnInstalledStateChanged([this] {
    for (auto& list : lists_) {
      if (list) list->RefreshRows();
    }
  });
  OnClick("按钮7", [this] { StartGame(app_.fs, app_.programDir, *this, *this); });
}

MainWindow::~MainWindow() = default;

bool MainWindow::Create() { return Form::Create(nullptr); }

void MainWindow::CreatePages() {
  news_ = std::make_unique<win32::Form>(NewsPageDef());
  // The browser box loads the news article by itself, right after the window is
  // on screen: loading the browser engine takes longer than all the rest.
  if (news_->Create(hwnd(), kPageOrigin)) PostMessageW(hwnd(), kEmbedBrowser, 0, 0);
  for (int c = 0; c < 5; ++c) {
    lists_[c] = std::make_unique<ListPage>(static_cast<Category>(c), app_);
    lists_[c]->Create(hwnd(), kPageOrigin);
  }
  ShowPage(0);
}

void MainWindow::ShowPage(int page) {
  // Show the new page before hiding the old one, so the area never flashes empty.
  win32::Form* pages[6] = {news_.get(), lists_[0].get(), lists_[1].get(),
                           lists_[2].get(), lists_[3].get(), lists_[4].get()};
  if (pages[page]) pages[page]->Show(true);
  for (int i = 0; i < 6; ++i) {
    if (i != page && pages[i]) pages[i]->Show(false);
  }
}

void MainWindow::RunStartUpDuties() {
  app_.log.Write("start: main window shown");
  gameRoot_.EstablishAtStartUp();
  RecoverInterruptedInstall();
}

void MainWindow::RecoverInterruptedInstall() {
  // As soon as the game root is known: until then the game would load a
  // half-replaced plug-in.
  if (velmora::RecoverInterruptedInstall(app_.fs, app_.programDir, app_.log) == RecoveryResult::Blocked) {
    ShowMessage(text::kInterruptedInstallBlocked);
  }
}

bool MainWindow::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  if (msg == kEmbedBrowser) {
    // Without a browser engine the page simply stays empty.
    if (browser_.Create(news_->Unit("超文本浏览框1"))) browser_.Navigate(NewsAddress());
    result = 0;
    return true;
  }
  if (msg == kStartUpDuties) {
    RunStartUpDuties();
    result = 0;
    return true;
  }
  if (msg == WM_SIZE) browser_.Resize();
  return false;
}

void MainWindow::ShowMessage(std::string_view text) {
  win32::ShowMessageBox(hwnd(), text, kMessageTitle);
}

std::string MainWindow::BrowseForFolder(std::string_view prompt) {
  return win32::BrowseForFolder(hwnd(), prompt, ValidGameRoot(app_.fs, app_.programDir));
}

void MainWindow::ShowGameRoot(std::string_view root) { SetText("编辑框1", root); }

bool MainWindow::Start(const std::string& executable, const std::string& workingFolder) {
  return win32::StartProcess(executable, workingFolder);
}

}  // namespace velmora
