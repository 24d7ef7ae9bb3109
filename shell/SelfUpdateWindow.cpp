#include "shell/SelfUpdateWindow.h"

#include <commctrl.h>

#include "BuildConfig.h"
#include "catalogue/PluginPageView.h"
#include "platform/win32/MessageBox.h"
#include "platform/win32/Process.h"
#include "platform/win32/ProgramFolderClaim.h"
#include "shell/AppServices.h"
#include "ui/UnitNames.h"
#include "ui/WindowDefs.h"

namespace velmora {
namespace unit = units::update_window;
namespace {

// Four ticks a second: the figures move visibly without costing anything.
constexpr UINT kTickMs = 250;

UpdateSettings SettingsOf(const AppServices& app) {
  UpdateSettings s;
  s.siteHost = config::kSiteHost;
  s.sitePort = config::kSitePort;
  s.runningVersion = config::kProgramVersion;
  s.publicKey = config::kUpdatePublicKey;
  s.programDir = app.programDir;
  s.runningExeName = win32::ProgramFileName();
  return s;
}

}  // namespace

SelfUpdateWindow::SelfUpdateWindow(AppServices& app, std::function<void(bool)> onClosed)
    : Form(UpdateWindowDef()),
      app_(app),
      flow_(app.updateTask, app.fs, SettingsOf(app), *this, app.log),
      onClosed_(std::move(onClosed)) {
  OnCreated([this] {
    SetText(unit::kVersion, CurrentVersionText(config::kProgramVersion));
    SetText(unit::kRate, UpdateKilobyteText(0));
    SetText(unit::kShare, UpdatePercentText(0));
    flow_.Begin();
    SetTimerInterval(unit::kTimer, kTickMs);
  });
  OnTimer(unit::kTimer, [this] {
    if (flow_.Tick()) return;
    SetTimerInterval(unit::kTimer, 0);
  });
}

bool SelfUpdateWindow::Open(HWND owner) {
  if (!Create(owner)) return false;
  Show(true);
  return true;
}

bool SelfUpdateWindow::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT&) {
  if (msg == WM_DESTROY) {
    // Closed by the user or with the main window: the download stops here, and
    // nothing is stored.
    SetTimerInterval(unit::kTimer, 0);
    flow_.Stop();
    if (onClosed_) onClosed_(flow_.startedNewVersion());
  }
  return false;
}

void SelfUpdateWindow::Repaint(UnitName unit) {
  if (HWND h = Unit(unit)) InvalidateRect(h, nullptr, TRUE);
}

void SelfUpdateWindow::ShowNotes(std::string_view text) { SetText(unit::kNotes, text); }

void SelfUpdateWindow::ShowState(std::string_view text) {
  SetText(unit::kState, text);
  Repaint(unit::kState);
}

void SelfUpdateWindow::ShowProgress(std::string_view kilobyteText, std::string_view percentText,
                                int percent) {
  SetText(unit::kRate, kilobyteText);
  SetText(unit::kShare, percentText);
  SendMessageW(Unit(unit::kProgress), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  Repaint(unit::kRate);
  Repaint(unit::kShare);
}

void SelfUpdateWindow::Tell(std::string_view text) { win32::ShowMessageBox(hwnd(), text, text::kMessageTitle); }

bool SelfUpdateWindow::Ask(std::string_view question) {
  return win32::AskYesNo(hwnd(), question, text::kMessageTitle);
}

bool SelfUpdateWindow::StartProgram(const std::string& path) {
  if (!win32::StartProcess(path, app_.programDir, win32::kAfterUpdateArgument)) return false;
  // The new version takes over: this window goes, and the program with it. Told
  // here, not by the timer, which may have stopped while the question was open.
  PostMessageW(hwnd(), WM_CLOSE, 0, 0);
  return true;
}

}  // namespace velmora
