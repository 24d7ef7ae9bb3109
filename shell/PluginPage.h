// A plug-in page: the small "下载" window of one catalogue entry with its preview
// picture, install and uninstall buttons and download progress.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "catalogue/Catalogue.h"
#include "catalogue/Install.h"
#include "ui/win32/Form.h"

namespace velmora {

struct AppServices;

class PluginPage final : public win32::Form, public PluginPageView, public InstallView {
 public:
  PluginPage(const CatalogueEntry& entry, AppServices& app);
  bool Open(HWND owner);
  const CatalogueEntry& entry() const { return entry_; }
  // Brought forward again: the entry's state is read afresh, as at creation.
  void BringForward();

  // PluginPageView
  void SetInstallCaption(std::string_view caption) override;
  void ShowMessage(std::string_view text, std::string_view title) override;
  // InstallView, here on the interface thread
  void ShowStatus(std::string_view text) override;
  void ShowProgress(int percent) override;
  void ShowRate(std::string_view figure) override;
  void EnableButtons(bool enabled);

 private:
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void Repaint(UnitName unit);
  void DrawPreview(const DRAWITEMSTRUCT& item);

  const CatalogueEntry& entry_;
  AppServices& app_;
  BitmapHandle preview_;  // drawn at the button's size, made anew when the DPI changes it
  SIZE previewSize_{};
};

// The 21 plug-in pages, opened on demand; a second open brings the page forward.
// The one place that knows whether an install runs: one at a time, on the
// install worker, from the press until its job has returned (a page closed
// meanwhile only lets go of it); while it runs, every page's buttons are off
// and the listener (the main window's "浏览") is told.
class PluginPages {
 public:
  explicit PluginPages(AppServices& app);
  ~PluginPages();
  void Open(int entryIndex, HWND owner);

  // One install as the interface thread knows it; the worker's job holds it too.
  struct Install {
    explicit Install(const WinInetApi& api, PluginPage* p) : cancel(api), page(p) {}
    InstallCancel cancel;
    PluginPage* page;  // read and written on the interface thread; null once the page has gone
  };

  bool InstallRunning() const { return running_ != nullptr; }
  void StartInstall(PluginPage& page);
  // The page is going: its install is cancelled and lets go of the page; it
  // still counts as running until its job has returned.
  void PageClosing(PluginPage& page);
  void OnInstallRunning(std::function<void(bool)> listener) { listener_ = std::move(listener); }
  // After every install and uninstall: the list pages read their rows again.
  void OnInstalledStateChanged(std::function<void()> listener) { stateListener_ = std::move(listener); }
  void InstalledStateChanged() {
    if (stateListener_) stateListener_();
  }

 private:
  void SetInstallRunning(std::shared_ptr<Install> install);
  void Finished(const std::shared_ptr<Install>& install, const InstallOutcome& outcome);

  AppServices& app_;
  std::array<std::unique_ptr<PluginPage>, kEntryCount> pages_;
  std::shared_ptr<Install> running_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::function<void(bool)> listener_;
  std::function<void()> stateListener_;
};

}  // namespace velmora
