#include "shell/MainWindow.h"

#include "BuildConfig.h"
#include "app/SiteAddresses.h"
#include "catalogue/Install.h"
#include "catalogue/PluginPageView.h"
#include "platform/win32/FolderBrowser.h"
#include "platform/win32/MessageBox.h"
#include "platform/win32/Process.h"
#include "shell/AppServices.h"
#include "shell/ListPage.h"
#include "shell/PluginPage.h"
#include "ui/UnitNames.h"
#include "ui/WindowDefs.h"
#include "update/VersionCheck.h"

namespace velmora {
namespace unit = units::main_window;
namespace {

constexpr UINT kStartUpDuties = WM_APP + 1;
constexpr UINT kEmbedBrowser = WM_APP + 2;
constexpr UINT kUpdateClosed = WM_APP + 4;    // wParam: the new version was started
// The page area: right of the page-button column (ends at x = 105), above the
// game path row (starts at y = 488), holding a 640 x 475 page.
constexpr POINT kPageOrigin = {107, 8};

// The check's texts as message boxes titled "提示", owned by the main window.
class MessageBoxDialogs final : public CheckDialogs {
 public:
  explicit MessageBoxDialogs(HWND owner) : owner_(owner) {}
  void Tell(std::string_view text) override { win32::ShowMessageBox(owner_, text, text::kMessageTitle); }
  bool Ask(std::string_view question) override { return win32::AskYesNo(owner_, question, text::kMessageTitle); }

 private:
  HWND owner_;
};

}  // namespace

MainWindow::MainWindow(AppServices& app)
    : Form(MainWindowDef()), app_(app), gameRoot_(app.fs, app.programDir, *this, app.log) {
  // The program's windows live no longer than the main window, which owns them:
  // its end is the program's.
  OnDestroyed([] { PostQuitMessage(0); });
  OnCreated([this] {
    CreatePages();
    // The game root and the version check run once the window is on screen, so
    // their message boxes have a visible owner.
    PostMessageW(hwnd(), kStartUpDuties, 0, 0);
  });
  for (int i = 0; i < 6; ++i) OnClick(unit::kPageButtons[i], [this, i] { ShowPage(i); });
  OnClick(unit::kBrowse, [this] {
    // Off while an install runs; a click that reaches it all the same (posted
    // before it went off, or by automation) changes nothing either.
    if (app_.pluginPages->InstallRunning()) return;
    gameRoot_.Choose();
    RecoverInterruptedInstall();
    RefreshLists();  // the rows on screen show the new game root's state
  });
  // While a plug-in download runs, nothing else may change the game root: a modal
  // folder browser would also halt the transfer.
  app_.pluginPages->OnInstallRunning([this](bool running) {
    EnableWindow(Unit(unit::kBrowse), !running);
  });
  app_.pluginPages->OnInstalledStateChanged([this] { RefreshLists(); });
  OnClick(unit::kStartGame, [this] { StartGame(app_.fs, app_.programDir, *this, *this); });
}

MainWindow::~MainWindow() {
  if (check_) check_->Cancel();
}

void MainWindow::RefreshLists() {
  for (auto& list : lists_) {
    if (list) list->RefreshRows();
  }
}

bool MainWindow::Create() { return Form::Create(nullptr); }

void MainWindow::CreatePages() {
  news_ = std::make_unique<win32::Form>(NewsPageDef());
  // The browser box loads the news article by itself, right after the window is
  // on screen: loading the browser engine takes longer than all the rest.
  if (news_->Create(hwnd(), kPageOrigin)) PostMessageW(hwnd(), kEmbedBrowser, 0, 0);
  ShowPage(0);
}

void MainWindow::ShowPage(int page) {
  // A list page is made when it is first shown: the first paint waits for none.
  if (page > 0 && !lists_[page - 1]) {
    auto list = std::make_unique<ListPage>(static_cast<Category>(page - 1), app_);
    if (list->Create(hwnd(), kPageOrigin)) lists_[page - 1] = std::move(list);
  }
  // Show the new page before hiding the old one, so the area never flashes empty.
  win32::Form* pages[6] = {news_.get(), lists_[0].get(), lists_[1].get(),
                           lists_[2].get(), lists_[3].get(), lists_[4].get()};
  if (pages[page]) pages[page]->Show(true);
  for (int i = 0; i < 6; ++i) {
    if (i != page && pages[i]) pages[i]->Show(false);
  }
}

void MainWindow::RunStartUpDuties() {
  app_.log.Write("start: duties begin");
  app_.log.Flush();
  gameRoot_.EstablishAtStartUp();
  RecoverInterruptedInstall();
  StartVersionCheck();
}

void MainWindow::StartVersionCheck() {
  // Beside the interface thread, the reading of the page included: a slow,
  // silent or hostile site never holds up the window.
  const std::optional<Version> running = Version::Parse(config::kProgramVersion);
  if (!running) return;
  app_.log.Write("check: reading http://" + std::string(config::kSiteHost) + ":" +
                 std::to_string(config::kSitePort) + std::string(kAnnouncementPath));
  check_ = std::make_shared<TransferHandles>(app_.wininet);
  const bool started = app_.siteWorker.Submit([&app = app_, cancel = check_, running = *running,
                                               alive = std::weak_ptr<bool>(alive_), this] {
    CheckReport report = RunVersionCheck(app.wininet, *cancel, config::kSiteHost, config::kSitePort, running);
    if (cancel->Cancelled()) return;
    app.log.Write("check: " + report.log);
    app.ui.Post([alive, outcome = std::move(report.outcome), this] {
      if (alive.lock()) ShowVersionCheckOutcome(outcome);
    });
  });
  // Without the check the program works on; the next start checks again.
  if (!started) app_.log.Write("check: not started, no thread for it");
}

void MainWindow::ShowVersionCheckOutcome(const CheckOutcome& outcome) {
  check_.reset();
  MessageBoxDialogs dialogs(hwnd());
  switch (ConcludeVersionCheck(outcome, dialogs)) {
    case AfterCheck::GoOn:
      app_.log.Write("check: ended, the program goes on");
      break;
    case AfterCheck::OpenUpdate:
      OpenUpdateWindow(false);
      break;
    case AfterCheck::OpenUpdateThenEnd:
      OpenUpdateWindow(true);
      break;
    case AfterCheck::End:
      app_.log.Write("check: this version is out of service, the program ends");
      PostMessageW(hwnd(), WM_CLOSE, 0, 0);
      break;
  }
}

void MainWindow::OpenUpdateWindow(bool endAfterwards) {
  endAfterUpdate_ = endAfterwards;
  HWND self = hwnd();
  update_ = std::make_unique<SelfUpdateWindow>(app_, [self](bool started) {
    PostMessageW(self, kUpdateClosed, started ? 1 : 0, 0);
  });
  if (!update_->Open(hwnd())) {
    update_.reset();
    if (endAfterwards) PostMessageW(hwnd(), WM_CLOSE, 0, 0);
  }
}

void MainWindow::UpdateWindowClosed(bool startedNewVersion) {
  update_.reset();
  // The new version runs in this one's place; an out-of-service one ends anyway.
  if (startedNewVersion || endAfterUpdate_) PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void MainWindow::RecoverInterruptedInstall() {
  // As soon as the game root is known: until then the game would load a
  // half-replaced plug-in.
  if (velmora::RecoverInterruptedInstall(app_.fs, app_.programDir, app_.log) == RecoveryResult::Blocked) {
    ShowMessage(text::kInterruptedInstallBlocked);
  }
}

bool MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg == kEmbedBrowser) {
    // Without a browser engine the page simply stays empty.
    // The news page stays on the site: a link elsewhere, or a new window, opens
    // in the user's web browser instead.
    auto guard = [](const std::string& url, bool newWindow) {
      const NewsLink link = ClassifyNewsLink(url, config::kSiteHost, config::kSitePort);
      if (!newWindow && (link == NewsLink::OnSite || link == NewsLink::Blank)) return true;
      if (link == NewsLink::OnSite || link == NewsLink::Elsewhere) win32::OpenWithExplorer(url);
      return false;
    };
    const bool embedded = app_.ole.Ensure() && browser_.Create(news_->Unit(units::news_page::kBrowser), guard);
    app_.log.Write(embedded ? "news: browser embedded" : "news: no browser engine, the page stays empty");
    if (embedded) browser_.Navigate(NewsAddress());
    result = 0;
    return true;
  }
  if (msg == kStartUpDuties) {
    RunStartUpDuties();
    result = 0;
    return true;
  }
  if (msg == kUpdateClosed) {
    UpdateWindowClosed(wp != 0);
    result = 0;
    return true;
  }
  if (msg == WM_SIZE) browser_.Resize();
  return false;
}

void MainWindow::ShowMessage(std::string_view text) {
  win32::ShowMessageBox(hwnd(), text, text::kMessageTitle);
}

std::string MainWindow::BrowseForFolder(std::string_view prompt) {
  if (!app_.ole.Ensure()) return {};
  return win32::BrowseForFolder(hwnd(), prompt, ValidGameRoot(app_.fs, app_.programDir));
}

void MainWindow::ShowGameRoot(std::string_view root) { SetText(unit::kGameRoot, root); }

bool MainWindow::Start(const std::string& executable, const std::string& workingFolder) {
  return win32::StartProcess(executable, workingFolder);
}

}  // namespace velmora
