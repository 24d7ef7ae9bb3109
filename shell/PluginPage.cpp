#include "shell/PluginPage.h"

#include <commctrl.h>

#include <algorithm>

#include "catalogue/InstalledState.h"
#include "catalogue/Uninstall.h"
#include "platform/win32/MessageBox.h"
#include "platform/win32/PictureBitmap.h"
#include "platform/win32/Process.h"
#include "platform/win32/WinText.h"
#include "shell/AppServices.h"
#include "shell/Pictures.h"
#include "ui/UnitNames.h"
#include "ui/WindowDefs.h"

namespace velmora {
namespace unit = units::plugin_page;

namespace {

// What the install shows on its page from the worker, as posted calls: by the
// time they run the page may have gone, and then they do nothing.
class PostedProgress final : public InstallView {
 public:
  PostedProgress(UiQueue& ui, std::shared_ptr<PluginPages::Install> install)
      : ui_(ui), install_(std::move(install)) {}

  void ShowStatus(std::string_view text) override {
    Show([text = std::string(text)](PluginPage& p) { p.ShowStatus(text); });
  }
  void ShowProgress(int percent) override {
    Show([percent](PluginPage& p) { p.ShowProgress(percent); });
  }
  void ShowRate(std::string_view figure) override {
    Show([figure = std::string(figure)](PluginPage& p) { p.ShowRate(figure); });
  }

 private:
  template <class F>
  void Show(F show) {
    ui_.Post([install = install_, show = std::move(show)] {
      if (install->page) show(*install->page);
    });
  }

  UiQueue& ui_;
  std::shared_ptr<PluginPages::Install> install_;
};

}  // namespace

PluginPage::PluginPage(const CatalogueEntry& entry, AppServices& app)
    : Form(PluginPageDef(IndexOf(entry))), entry_(entry), app_(app) {
  OnCreated([this] {
    ShowInstallState(app_.fs, app_.programDir, entry_, *this);
    if (app_.pluginPages->InstallRunning()) EnableButtons(false);
  });
  OnClick(unit::kInstall, [this] { app_.pluginPages->StartInstall(*this); });
  OnClick(unit::kUninstall, [this] {
    if (app_.pluginPages->InstallRunning()) return;  // off meanwhile, as 按钮1
    Uninstall(app_.fs, app_.programDir, entry_, *this, app_.log);
    app_.pluginPages->InstalledStateChanged();
  });
  OnClick(unit::kPreview, [this] {
    win32::OpenWithExplorer(ForumThreadAddress(entry_));
  });
}

bool PluginPage::Open(HWND owner) {
  if (!Create(owner)) return false;
  Show(true);
  return true;
}

void PluginPage::BringForward() {
  // Another page may have removed what this entry shares with it meanwhile.
  ShowInstallState(app_.fs, app_.programDir, entry_, *this);
  ShowWindow(hwnd(), SW_SHOWNORMAL);
  SetForegroundWindow(hwnd());
}

void PluginPage::EnableButtons(bool enabled) {
  EnableWindow(Unit(unit::kInstall), enabled);
  EnableWindow(Unit(unit::kUninstall), enabled);
}

void PluginPage::Repaint(UnitName unit) {
  if (HWND h = Unit(unit)) InvalidateRect(h, nullptr, TRUE);
}

void PluginPage::SetInstallCaption(std::string_view caption) { SetText(unit::kInstall, caption); }

void PluginPage::ShowMessage(std::string_view text, std::string_view title) {
  win32::ShowMessageBox(hwnd(), text, title);
}

void PluginPage::ShowStatus(std::string_view text) {
  SetText(unit::kStatus, text);
  Repaint(unit::kStatus);
}

void PluginPage::ShowProgress(int percent) {
  SendMessageW(Unit(unit::kProgress), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void PluginPage::ShowRate(std::string_view figure) {
  SetText(unit::kRate, figure);
  Repaint(unit::kRate);
}

void PluginPage::DrawPreview(const DRAWITEMSTRUCT& item) {
  RECT r = item.rcItem;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (!preview_ || previewSize_.cx != w || previewSize_.cy != h) {
    preview_ = LoadPictureBitmap(entry_.previewResource, w, h);
    previewSize_ = {w, h};
  }
  if (win32::DrawBitmapPart(item.hDC, preview_.Get(), 0, 0, w, h, r.left, r.top)) return;
  // Without its picture (a broken resource) the button still names the plug-in.
  for (int y = r.top; y < r.bottom; ++y) {
    int t = (y - r.top) * 255 / std::max<int>(1, r.bottom - r.top);
    BrushHandle band(CreateSolidBrush(RGB(38 - 26 * t / 255, 86 - 56 * t / 255, 150 - 84 * t / 255)));
    RECT line{r.left, y, r.right, y + 1};
    FillRect(item.hDC, &line, band.Get());
  }
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, RGB(236, 240, 246));
  FontHandle font = win32::UiFont(Scale(28), FW_BOLD);
  Selection selected(item.hDC, font.Get());
  std::wstring name = Wide(entry_.displayName);
  DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &r,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

bool PluginPage::HandleMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg == WM_DRAWITEM) {
    auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (item->hwndItem == Unit(unit::kPreview)) {
      DrawPreview(*item);
      result = TRUE;
      return true;
    }
  }
  // Closed by the user, or with its owner, the main window: a running download
  // stops at once and keeps what it has for a resume.
  if (msg == WM_DESTROY && app_.pluginPages) app_.pluginPages->PageClosing(*this);
  return false;
}

PluginPages::PluginPages(AppServices& app) : app_(app) {}

PluginPages::~PluginPages() {
  if (running_) running_->cancel.Cancel();
}

void PluginPages::StartInstall(PluginPage& page) {
  if (running_) return;  // the buttons are off meanwhile; a press already queued goes nowhere
  auto install = std::make_shared<Install>(app_.wininet, &page);
  SetInstallRunning(install);
  const CatalogueEntry& entry = page.entry();
  const bool started = app_.installWorker.Submit([this, &app = app_, &entry, install,
                                                  alive = std::weak_ptr<bool>(alive_)] {
    // Whatever happens in it, the job tells the interface thread that it has
    // ended: until then the install counts as running.
    InstallOutcome outcome = {false, text::kInstallNotRun, text::kInstallFailedState, {}};
    RunReported(
        [&] {
          PostedProgress progress(app.ui, install);
          outcome = InstallPlugin(app.fs, app.programDir, app.downloader, entry, progress, install->cancel,
                                  app.log, win32::ProgramRunsFrom);
        },
        "install " + std::string(entry.stem), [&app](std::string_view why) { app.log.Write(why); });
    app.ui.Post([this, alive, install, outcome] {
      if (alive.lock()) Finished(install, outcome);
    });
  });
  if (!started) {
    app_.log.Write("install " + std::string(entry.stem) + ": not started, no thread for it");
    SetInstallRunning(nullptr);
    page.ShowMessage(text::kInstallNotRun, text::kMessageTitle);
  }
}

void PluginPages::Finished(const std::shared_ptr<Install>& install, const InstallOutcome& outcome) {
  SetInstallRunning(nullptr);
  InstalledStateChanged();
  ShowInstallOutcome(app_.fs, outcome, install->page, install->page, app_.log);
}

void PluginPages::PageClosing(PluginPage& page) {
  if (!running_ || running_->page != &page) return;
  running_->cancel.Cancel();
  running_->page = nullptr;
  app_.log.Write("install " + std::string(page.entry().stem) + ": cancelled, the page was closed");
}

void PluginPages::SetInstallRunning(std::shared_ptr<Install> install) {
  running_ = std::move(install);
  const bool running = running_ != nullptr;
  // Nothing else may change the game folder or the download meanwhile.
  for (auto& page : pages_) {
    if (page && page->hwnd()) page->EnableButtons(!running);
  }
  if (listener_) listener_(running);
}

void PluginPages::Open(int entryIndex, HWND owner) {
  // A page whose window was closed is made anew, so it tests the entry afresh.
  if (auto& page = pages_[entryIndex]; page && page->hwnd()) {
    page->BringForward();
    return;
  }
  auto page = std::make_unique<PluginPage>(EntryAt(entryIndex), app_);
  if (page->Open(owner)) pages_[entryIndex] = std::move(page);
}

}  // namespace velmora
