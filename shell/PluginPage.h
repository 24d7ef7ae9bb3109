// A plug-in page: the small "下载" window of one catalogue entry with its preview
// picture, install and uninstall buttons and download progress.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "catalogue/Catalogue.h"
#include "catalogue/Install.h"
#include "platform/win32/Form.h"

namespace velmora {

struct AppServices;

class PluginPage final : public win32::Form, public PluginPageView, public DownloadView {
 public:
  PluginPage(const CatalogueEntry& entry, AppServices& app);
  bool Open(HWND owner);
  const CatalogueEntry& entry() const { return entry_; }
  // Brought forward again: the entry's state is read afresh, as at creation.
  void BringForward();

  // PluginPageView
  void SetInstallCaption(std::string_view caption) override;
  void ShowMessage(std::string_view text, std::string_view title) override;
  // DownloadView, on the interface thread
  void SetState(DownloadState state) override;
  void SetStatus(std::string_view text);
  void SetProgress(int percent) override;
  void SetRate(std::string_view rate) override;
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
// install worker; while it does, every page's buttons are off and the listener
// (the main window's "浏览") is told.
class PluginPages {
 public:
  explicit PluginPages(AppServices& app);
  ~PluginPages();
  void Open(int entryIndex, HWND owner);

  // One install as the interface thread knows it; the worker's job holds it too.
  struct Install {
    explicit Install(const WinInetApi& api, PluginPage* p) : cancel(api), page(p) {}
    TransferHandles cancel;
    PluginPage* page;  // read and written on the interface thread; null once the page has gone
  };

  bool InstallRunning() const { return running_ != nullptr; }
  void StartInstall(PluginPage& page);
  // The page is going: its install is cancelled at once, and the page forgets it.
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
