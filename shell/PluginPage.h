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

class PluginPage final : public win32::Form, public InstallView {
 public:
  PluginPage(const CatalogueEntry& entry, AppServices& app);
  bool Open(HWND owner);
  const CatalogueEntry& entry() const { return entry_; }

  // PluginPageView
  void SetInstallCaption(std::string_view caption) override;
  void ShowMessage(std::string_view text, std::string_view title) override;
  // DownloadView
  void SetStatus(std::string_view text) override;
  void SetProgress(int percent) override;
  void SetRate(std::string_view rate) override;
  bool KeepGoing() override;
  // The zip unit's progress event: shown on the hidden 进度条2; never stops.
  bool OnUnpackProgress(const UnpackProgress& progress) override;

 private:
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void Install();
  void EnableButtons(bool enabled);
  friend class PluginPages;
  void Repaint(std::string_view unit);
  void DrawPreview(const DRAWITEMSTRUCT& item);

  const CatalogueEntry& entry_;
  AppServices& app_;
  BitmapHandle preview_;  // drawn at the button's size, made anew when the DPI changes it
  SIZE previewSize_{};
  bool busy_ = false;
  bool closeRequested_ = false;
};

// The 21 plug-in pages, opened on demand; a second open brings the page forward.
// One install runs at a time: while it does, every page's buttons are off and
// the listener (the main window's "浏览") is told.
class PluginPages {
 public:
  explicit PluginPages(AppServices& app) : app_(app) {}
  void Open(int entryIndex, HWND owner);

  bool InstallRunning() const { return installRunning_; }
  void SetInstallRunning(bool running);
  void OnInstallRunning(std::function<void(bool)> listener) { listener_ = std::move(listener); }
  // After every install and uninstall: the list pages read their rows again.
  void OnInstalledStateChanged(std::function<void()> listener) { stateListener_ = std::move(listener); }
  void InstalledStateChanged() {
    if (stateListener_) stateListener_();
  }

 private:
  AppServices& app_;
  std::array<std::unique_ptr<PluginPage>, kEntryCount> pages_;
  bool installRunning_ = false;
  std::function<void(bool)> listener_;
  std::function<void()> stateListener_;
};

}  // namespace velmora
