#include "shell/PluginPage.h"

#include <commctrl.h>

#include <algorithm>

#include "app/WindowDefs.h"
#include "catalogue/InstalledTest.h"
#include "catalogue/Uninstall.h"
#include "platform/win32/MessageBox.h"
#include "platform/win32/Process.h"
#include "platform/win32/WinText.h"
#include "platform/win32/PictureBitmap.h"
#include "shell/AppServices.h"
#include "shell/Pictures.h"

namespace velmora {

PluginPage::PluginPage(const CatalogueEntry& entry, AppServices& app)
    : Form(PluginPageDef(IndexOf(entry))), entry_(entry), app_(app) {
  OnCreated([this] {
    ShowInstallState(app_.fs, app_.programDir, entry_, *this);
    if (app_.pluginPages->InstallRunning()) EnableButtons(false);
  });
  OnClick("按钮1", [this] { Install(); });
  OnClick("按钮2", [this] {
    Uninstall(app_.fs, app_.programDir, entry_, *this, app_.log);
    app_.pluginPages->InstalledStateChanged();
  });
  OnClick("图形按钮1", [this] {
    win32::OpenWithExplorer(ForumThreadAddress(entry_));
  });
}

bool PluginPage::Open(HWND owner) {
  if (!Create(owner)) return false;
  Show(true);
  return true;
}

void PluginPage::Install() {
  if (busy_ || app_.pluginPages->InstallRunning()) return;
  busy_ = true;
  app_.pluginPages->SetInstallRunning(true);
  InstallPlugin(app_.fs, app_.programDir, app_.downloader, entry_, *this, app_.log);
  app_.pluginPages->SetInstallRunning(false);
  busy_ = false;
  app_.pluginPages->InstalledStateChanged();
  // The user closed the page while it worked: the install has stopped; now it can go.
  if (closeRequested_) DestroyWindow(hwnd());
}

void PluginPage::EnableButtons(bool enabled) {
  EnableWindow(Unit("按钮1"), enabled);
  EnableWindow(Unit("按钮2"), enabled);
}

void PluginPage::Repaint(std::string_view unit) {
  if (HWND h = Unit(unit)) {
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
  }
}

void PluginPage::SetInstallCaption(std::string_view caption) { SetText("按钮1", caption); }

void PluginPage::ShowMessage(std::string_view text, std::string_view title) {
  win32::ShowMessageBox(hwnd(), text, title);
}

void PluginPage::SetStatus(std::string_view text) {
  SetText("标签2", text);
  Repaint("标签2");
}

void PluginPage::SetProgress(int percent) {
  SendMessageW(Unit("进度条1"), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  Repaint("进度条1");
}

void PluginPage::SetRate(std::string_view rate) {
  SetText("标签4", rate);
  Repaint("标签4");
}

bool PluginPage::KeepGoing() {
  // Let the page repaint and move between pieces; clicks on its disabled
  // buttons go nowhere, and a close only sets closeRequested_.
  MSG msg;
  while (!closeRequested_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      closeRequested_ = true;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return !closeRequested_;
}

bool PluginPage::OnUnpackProgress(const UnpackProgress& progress) {
  SendMessageW(Unit("进度条2"), PBM_SETPOS, static_cast<WPARAM>(progress.percent), 0);
  return true;
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
  HGDIOBJ old = SelectObject(item.hDC, font.Get());
  std::wstring name = Wide(entry_.displayName);
  DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &r,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(item.hDC, old);
}

bool PluginPage::HandleMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg == WM_DRAWITEM) {
    auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (item->hwndItem == Unit("图形按钮1")) {
      DrawPreview(*item);
      result = TRUE;
      return true;
    }
  }
  if (msg == WM_CLOSE && busy_) {
    // Closing while the install works cancels the download; the window goes
    // once the pipeline has returned.
    closeRequested_ = true;
    result = 0;
    return true;
  }
  // Destroyed with its owner, the main window: a running download stops too.
  if (msg == WM_DESTROY) closeRequested_ = true;
  return false;
}

void PluginPages::SetInstallRunning(bool running) {
  installRunning_ = running;
  // Nothing else may change the game folder or the download meanwhile.
  for (auto& page : pages_) {
    if (page && page->hwnd()) page->EnableButtons(!running);
  }
  if (listener_) listener_(running);
}

void PluginPages::Open(int entryIndex, HWND owner) {
  // A page whose window was closed is made anew, so it tests the entry afresh.
  if (auto& page = pages_[entryIndex]; page && page->hwnd()) {
    ShowWindow(page->hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(page->hwnd());
    return;
  }
  auto page = std::make_unique<PluginPage>(EntryAt(entryIndex), app_);
  if (page->Open(owner)) pages_[entryIndex] = std::move(page);
}

}  // namespace velmora
